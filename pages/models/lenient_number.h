// Numbers typed by the user, read the forgiving way the box's tools always read them: leading blanks
// skipped, an optional sign, then the digits up to the first other character. In base 16 an optional
// "0x" or "0X" may follow the sign.
//
// Callers may rely on:
// - read_lenient_number never fails: no digits read as 0, and a value beyond the 32-bit signed range
//   reads as the nearest end of that range;
// - read_field_number reads the same forms, but only a value that fits its field: a text without
//   digits, or a value outside 0..max, gives nothing, so no value is ever cut to the field's width
//   behind the user's back.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace velmora {

std::int32_t read_lenient_number(std::string_view text, int base = 10);

std::optional<std::uint32_t> read_field_number(std::string_view text, std::uint32_t max, int base = 10);

}  // namespace velmora
