// How the LED map encodes the digits of the box's seven-segment display, so that the LED map page can
// show which digits a map lights and how.
//
// The map holds pairs, as the box's font table does: a character code at an even offset, its segment
// byte after it. A segment byte has one bit per segment, segment a (the top bar, button "0" on the
// page) in bit 7 down to segment g (the middle bar, "6") in bit 1, and the dot ("7") in bit 0.
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

namespace velmora {

inline constexpr std::size_t k_led_map_bytes = 256;
// The seven bars a..g are segments 0..6, the dot is segment 7, numbered as the page's buttons are.
inline constexpr int k_led_bar_count = 7;
inline constexpr int k_led_segment_count = 8;
inline constexpr int k_led_dot_segment = 7;
inline constexpr int k_led_digit_count = 10;  // '0'..'9'

// The bit of segment `segment` (0..7) in a segment byte.
constexpr std::uint8_t led_segment_bit(int segment) {
    return static_cast<std::uint8_t>(1u << (k_led_segment_count - 1 - segment));
}
inline constexpr std::uint8_t k_led_dot_bit = 0x01;

static_assert(led_segment_bit(0) == 0x80, "segment a (top bar) is bit 7");
static_assert(led_segment_bit(6) == 0x02, "segment g (middle bar) is bit 1");
static_assert(led_segment_bit(k_led_dot_segment) == k_led_dot_bit, "the dot is bit 0");

constexpr bool led_segment_lit(std::uint8_t segments, int segment) {
    return (segments & led_segment_bit(segment)) != 0;
}

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
