// The check that pin positions and TV values get before a page stores them: the text must be a
// decimal whole number from 0 to 63, nothing else.
//
// Accepted: blanks (spaces, tabs) around it, an optional sign, at least one digit. Refused: an empty
// text, any other character ("7x", "0x3"), a number outside 0..63 however long it is.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace velmora {

inline constexpr std::uint8_t k_checked_number_max = 63;

std::optional<std::uint8_t> read_checked_number(std::string_view text);

}  // namespace velmora
