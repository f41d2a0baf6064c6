#include "config/crc32.h"

#include <gtest/gtest.h>

#include <string_view>

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

}  // namespace
}  // namespace velmora
