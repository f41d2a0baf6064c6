#include "config/crc32.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

namespace velmora {
namespace {

std::uint32_t crc_of(std::string_view text) {
    return crc32_update(k_crc32_initial, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

TEST(Crc32, MatchesTheJamcrcCheckValues) {
    struct Case {
        std::string_view text;
        std::uint32_t crc;
    };
    // JAMCRC is plain CRC-32 without the final inversion.
    for (const Case& c : {Case{"123456789", 0x340BC6D9u}, Case{"", 0xFFFFFFFFu}, Case{"a", ~0xE8B7BE43u}}) {
        EXPECT_EQ(crc_of(c.text), c.crc) << c.text;
    }
}

TEST(Crc32, PiecesGiveTheSameValueAsTheWhole) {
    const std::string_view text = "The quick brown fox jumps over the lazy dog";
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    std::uint32_t crc = crc32_update(k_crc32_initial, bytes, 10);
    crc = crc32_update(crc, bytes + 10, text.size() - 10);
    EXPECT_EQ(crc, crc_of(text));
    EXPECT_EQ(crc, ~0x414FA339u);
}

// Bytes that no two ranges below see alike, so a range that is off by one byte gives another CRC.
std::vector<std::uint8_t> varied_bytes(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    std::uint32_t state = 0x12345678u;
    for (std::uint8_t& b : bytes) {
        state = state * 1664525u + 1013904223u;
        b = static_cast<std::uint8_t>(state >> 24);
    }
    return bytes;
}

TEST(Crc32, ShiftEqualsFeedingZeros) {
    for (const std::uint64_t zeros : {0ull, 1ull, 3ull, 4ull, 255ull, 4096ull, 65537ull, 1ull << 20}) {
        const std::vector<std::uint8_t> buffer(static_cast<std::size_t>(zeros), 0);
        for (const std::uint32_t crc : {0u, 1u, k_crc32_initial, 0x80000000u, 0xDEADBEEFu}) {
            EXPECT_EQ(crc32_shift(crc, zeros), crc32_update(crc, buffer)) << zeros << " zeros from " << crc;
        }
    }
    // Counts far beyond any buffer: shifting by a and then b is shifting by a + b.
    EXPECT_EQ(crc32_shift(crc32_shift(0xDEADBEEFu, 1ull << 40), 1ull << 40),
              crc32_shift(0xDEADBEEFu, 1ull << 41));
    EXPECT_EQ(crc32_shift(0xDEADBEEFu, ~0ull), crc32_shift(crc32_shift(0xDEADBEEFu, ~0ull - 12345), 12345));
}

TEST(Crc32, RangeCrcsEqualTheDirectComputation) {
    const std::vector<std::uint8_t> data = varied_bytes(10'000);
    const std::vector<CrcRange> ranges = {
        {0, 10'000},     // the whole buffer
        {0, 0},          // empty, at the start
        {10'000, 0},     // empty, at the end
        {5'000, 0},      // empty, inside another range
        {100, 200},      // nested in the next one
        {50, 1'000},     //
        {900, 1'000},    // overlapping the one before
        {900, 1'000},    // the same range twice
        {9'999, 1},      // the last byte
        {0, 1},          // the first byte
        {1, 9'999},      // all but the first
        {4'321, 3'210},  //
    };
    const std::vector<std::uint32_t> crcs = range_crcs(data, ranges);
    ASSERT_EQ(crcs.size(), ranges.size());
    for (std::size_t i = 0; i < ranges.size(); ++i) {
        const auto offset = static_cast<std::size_t>(ranges[i].offset);
        const auto length = static_cast<std::size_t>(ranges[i].length);
        EXPECT_EQ(crcs[i], crc32_update(k_crc32_initial, data.data() + offset, length))
            << "range " << ranges[i].offset << "+" << ranges[i].length;
    }
    EXPECT_TRUE(range_crcs(data, {}).empty());
}

TEST(Crc32, SixtyNestedRangesOverAWholeMebibyte) {
    // As a crafted directory asks: every range covers nearly the whole buffer.
    const std::vector<std::uint8_t> data = varied_bytes(1u << 20);
    std::vector<CrcRange> ranges;
    for (std::uint64_t i = 0; i < 60; ++i) {
        ranges.push_back({i, data.size() - 2 * i});
    }
    const std::vector<std::uint32_t> crcs = range_crcs(data, ranges);
    for (std::size_t i = 0; i < ranges.size(); i += 7) {
        EXPECT_EQ(crcs[i], crc32_update(k_crc32_initial, data.data() + i, data.size() - 2 * i)) << i;
    }
}

}  // namespace
}  // namespace velmora
