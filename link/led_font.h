// The box's font for its seven-segment display: the table that the block upload writes over the
// start of the LED map (block offsets 32..145) with its entry count at offset 288, and the layout of
// a segment byte, which the LED map page also uses to draw what a map encodes.
//
// A segment byte has one bit per segment: segment a (the top bar) in bit 7 down to segment g (the
// middle bar) in bit 1, and the dot in bit 0. Segments are numbered 0..7 as the LED map page's
// buttons are: 0 top, 1 upper right, 2 lower right, 3 bottom, 4 lower left, 5 upper left, 6 middle,
// 7 the dot.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace velmora {

inline constexpr int k_led_segment_count = 8;
inline constexpr int k_led_dot_segment = 7;

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

// One character of the font: its code and its segment byte, two bytes in the block in this order.
struct LedFontEntry {
    std::uint8_t character;
    std::uint8_t segments;
};

inline constexpr std::array<LedFontEntry, 57> led_font{{
    {0x2E, 0x01}, {0x30, 0xFC}, {0x31, 0x60}, {0x32, 0xDA}, {0x33, 0xF2}, {0x34, 0x66}, {0x35, 0xB6},
    {0x36, 0xBE}, {0x37, 0xE0}, {0x38, 0xFE}, {0x39, 0xF6}, {0x61, 0xEE}, {0x41, 0xEE}, {0x62, 0x3E},
    {0x42, 0x3E}, {0x63, 0x9C}, {0x43, 0x9C}, {0x64, 0x7A}, {0x44, 0x7A}, {0x65, 0x9E}, {0x45, 0x9E},
    {0x66, 0x8E}, {0x46, 0x8E}, {0x67, 0xF6}, {0x47, 0xBC}, {0x68, 0x6E}, {0x48, 0x6E}, {0x69, 0x20},
    {0x49, 0x0C}, {0x6A, 0x70}, {0x4A, 0x70}, {0x6C, 0x1C}, {0x4C, 0x1C}, {0x6E, 0x2A}, {0x4E, 0xEC},
    {0x6F, 0x3A}, {0x4F, 0xFC}, {0x70, 0xCE}, {0x50, 0xCE}, {0x71, 0xE6}, {0x51, 0xE6}, {0x72, 0x0A},
    {0x52, 0xEE}, {0x73, 0xB6}, {0x53, 0xB6}, {0x74, 0x1E}, {0x54, 0x8C}, {0x75, 0x7C}, {0x55, 0x7C},
    {0x79, 0x76}, {0x59, 0x76}, {0x7A, 0xDA}, {0x5A, 0xDA}, {0x3A, 0x01}, {0x2D, 0x02}, {0x5F, 0x10},
    {0x20, 0x00},
}};
static_assert(sizeof(LedFontEntry) == 2);
inline constexpr std::size_t k_led_font_bytes = led_font.size() * sizeof(LedFontEntry);
static_assert(k_led_font_bytes == 114, "the font covers block offsets 32..145");

}  // namespace velmora
