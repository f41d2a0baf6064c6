// Numbers typed by the user, read the forgiving way the box's tools always read them: leading blanks
// skipped, an optional sign, then the digits up to the first other character; no digits read as 0.
// In base 16 an optional "0x" or "0X" may follow the sign. A value beyond the 32-bit signed range
// reads as the nearest end of that range. Callers cut the result to their field's width.
#pragma once

#include <cstdint>
#include <string_view>

namespace velmora {

std::int32_t read_lenient_number(std::string_view text, int base = 10);

}  // namespace velmora
