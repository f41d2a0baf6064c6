#include "pages/models/led_digits.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

namespace velmora::testing {
namespace {

using Map = std::array<std::uint8_t, k_led_map_bytes>;

// The box's own font table as the block upload writes it; the rest of the map zero.
Map box_font_map() {
    Map map{};
    std::size_t at = 0;
    for (const LedFontEntry& entry : led_font) {
        map.at(at++) = entry.character;
        map.at(at++) = entry.segments;
    }
    return map;
}

Map map_with(std::initializer_list<std::pair<std::size_t, std::uint8_t>> bytes) {
    Map map{};
    for (const auto& [offset, value] : bytes) {
        map.at(offset) = value;
    }
    return map;
}

std::vector<int> lit_segments(std::uint8_t segments) {
    std::vector<int> lit;
    for (int segment = 0; segment < k_led_segment_count; ++segment) {
        if (led_segment_lit(segments, segment)) {
            lit.push_back(segment);
        }
    }
    return lit;
}

TEST(LedDigits, TheBoxFontGivesEveryDigitItsSegmentByte) {
    const auto digits = led_digits(box_font_map());
    const std::array<std::uint8_t, 10> expected{0xFC, 0x60, 0xDA, 0xF2, 0x66, 0xB6, 0xBE, 0xE0, 0xFE, 0xF6};
    for (std::size_t i = 0; i < digits.size(); ++i) {
        EXPECT_EQ(digits[i].character, static_cast<char>('0' + i));
        EXPECT_EQ(digits[i].segments, expected[i]) << "digit " << i;
    }
}

TEST(LedDigits, SegmentNumbersFollowThePageButtons) {
    struct Case {
        std::uint8_t segments;
        std::vector<int> lit;
    };
    for (const Case& c : {
             Case{0xFC, {0, 1, 2, 3, 4, 5}},     // '0': a..f
             Case{0x60, {1, 2}},                 // '1': b, c
             Case{0xFE, {0, 1, 2, 3, 4, 5, 6}},  // '8': all bars, no dot
             Case{0x02, {6}},                    // '-': the middle bar
             Case{0x01, {k_led_dot_segment}},    // '.': the dot alone
             Case{0x00, {}},
         }) {
        EXPECT_EQ(lit_segments(c.segments), c.lit) << int{c.segments};
    }
}

TEST(LedDigits, TheFirstPairNamingADigitWins) {
    const Map map = map_with({{10, '3'}, {11, 0x11}, {40, '3'}, {41, 0x22}});
    EXPECT_EQ(led_segments_of(map, '3'), 0x11);
}

// Only even offsets hold characters: a segment byte that happens to equal a digit's code names nothing.
TEST(LedDigits, ASegmentByteIsNeverTakenForACharacter) {
    const Map map = map_with({{0, 'A'}, {1, '5'}, {3, 0x77}, {4, '5'}, {5, 0xB6}});
    EXPECT_EQ(led_segments_of(map, '5'), 0xB6);
    EXPECT_EQ(led_segments_of(map, 0x77), std::nullopt);
}

TEST(LedDigits, TheLastPairCountsAndMissingDigitsHaveNoSegments) {
    const Map map = map_with({{254, '9'}, {255, 0xF6}});
    const auto digits = led_digits(map);
    EXPECT_EQ(digits[9].segments, 0xF6);
    for (std::size_t i = 0; i < 9; ++i) {
        EXPECT_EQ(digits[i].segments, std::nullopt) << "digit " << i;
    }
    // A zeroed map names character 0 only, which is no digit.
    for (const LedDigit& digit : led_digits(Map{})) {
        EXPECT_EQ(digit.segments, std::nullopt) << digit.character;
    }
}

}  // namespace
}  // namespace velmora::testing
