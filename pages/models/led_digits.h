// How the LED map encodes the digits of the box's seven-segment display, so that the LED map page can
// show which digits a map lights and how.
//
// The map holds pairs, as the box's font table does (link/led_font.h, which also gives the layout of
// a segment byte): a character code at an even offset, its segment byte after it.
//
// Callers may rely on: the first pair whose character byte matches wins; only the 128 pairs at even
// offsets are looked at, never a segment byte taken for a character; a digit no pair names has no
// segment byte. Qt-free.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "link/led_font.h"

namespace velmora {

inline constexpr std::size_t k_led_map_bytes = 256;
inline constexpr int k_led_digit_count = 10;  // '0'..'9'

struct LedDigit {
    char character;                        // '0'..'9'
    std::optional<std::uint8_t> segments;  // none when the map names no such character
};

// The segment byte of the first pair naming `character`.
std::optional<std::uint8_t> led_segments_of(std::span<const std::uint8_t, k_led_map_bytes> map,
                                            std::uint8_t character);

// The digits '0'..'9' as the map draws them.
std::array<LedDigit, k_led_digit_count> led_digits(std::span<const std::uint8_t, k_led_map_bytes> map);

}  // namespace velmora
