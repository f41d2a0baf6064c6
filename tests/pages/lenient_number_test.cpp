#include "pages/models/lenient_number.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace velmora {
namespace {

// The forms the lenient reading always took still read; a text without digits, or a value that does
// not fit the field, reads as nothing instead of 0 or the value's low bits.
TEST(FieldNumber, ReadsTheLenientFormsAndRefusesWhatDoesNotFitTheField) {
    struct Case {
        std::string text;
        std::uint32_t max;
        int base;
        std::optional<std::uint32_t> value;
    };
    const std::vector<Case> cases{
        {"63", 63, 10, 63},
        {"0", 63, 10, 0},
        {"  7", 63, 10, 7},
        {"+7", 63, 10, 7},
        {"-0", 63, 10, 0},
        {"7x", 63, 10, 7},     // trailing text after the digits
        {"0x1f", 255, 10, 0},  // in decimal, the 0 before the x
        {"64", 63, 10, std::nullopt},
        {"99", 63, 10, std::nullopt},
        {"-1", 63, 10, std::nullopt},
        {"abc", 255, 10, std::nullopt},
        {"", 63, 10, std::nullopt},
        {"  ", 63, 10, std::nullopt},
        {"-", 63, 10, std::nullopt},
        {"x7", 63, 10, std::nullopt},
        {"300", 255, 10, std::nullopt},
        {"4294967296", 65535, 10, std::nullopt},  // would wrap to 0 in 32 bits
        {"99999999999", 65535, 10, std::nullopt},
        {"-99999999999", 65535, 10, std::nullopt},
        {"65535", 65535, 10, 65535},
        {"ff", 255, 16, 255},
        {"0x1F", 255, 16, 31},
        {"0xg", 255, 16, 0},  // the prefix counts only before a hex digit
        {"100", 255, 16, std::nullopt},
        {"abc", 255, 16, std::nullopt},
        {"zz", 255, 16, std::nullopt},
        {"ffff", 0xFFFF, 16, 0xFFFF},
        {"10000", 0xFFFF, 16, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(read_field_number(c.text, c.max, c.base), c.value)
            << "'" << c.text << "' in base " << c.base << ", max " << c.max;
    }
}

TEST(LenientNumber, NeverFailsAndSaturatesAtThe32BitEnds) {
    EXPECT_EQ(read_lenient_number("abc"), 0);
    EXPECT_EQ(read_lenient_number(" -12x"), -12);
    EXPECT_EQ(read_lenient_number("99999999999"), 2147483647);
    EXPECT_EQ(read_lenient_number("-99999999999"), -2147483647 - 1);
    EXPECT_EQ(read_lenient_number("0x1f", 16), 31);
}

}  // namespace
}  // namespace velmora
