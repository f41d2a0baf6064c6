#include "pages/models/checked_number.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace velmora {
namespace {

TEST(CheckedNumber, AcceptsOnlyADecimalWholeNumberFrom0To63) {
    const std::vector<std::pair<std::string, std::optional<std::uint8_t>>> cases{
        {"0", 0},
        {"63", 63},
        {"007", 7},
        {"+7", 7},
        {"-0", 0},
        {" \t7\t ", 7},
        {"64", std::nullopt},
        {"-1", std::nullopt},
        {"7x", std::nullopt},
        {"x7", std::nullopt},
        {"0x3", std::nullopt},
        {"6 4", std::nullopt},
        {"", std::nullopt},
        {"  ", std::nullopt},
        {"+", std::nullopt},
        {"-", std::nullopt},
        {"1.0", std::nullopt},
        {"18446744073709551617", std::nullopt},  // would wrap to 1 in 64 bits
        {"4294967296", std::nullopt},            // would wrap to 0 in 32 bits
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(read_checked_number(text), expected) << "'" << text << "'";
    }
}

}  // namespace
}  // namespace velmora
