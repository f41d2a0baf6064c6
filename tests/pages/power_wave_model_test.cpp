#include "pages/models/power_wave_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace velmora {
namespace {

ConfigBlock patterned_block() {
    ConfigBlock block;
    for (std::size_t i = 0; i < block.bytes.size(); ++i) {
        block.bytes[i] = static_cast<std::uint8_t>(i * 37 + 11);
    }
    return block;
}

std::vector<std::uint16_t> words(const ConfigBlock& block) {
    std::vector<std::uint16_t> values;
    for (std::size_t k = 0; k < k_power_wave_values; ++k) {
        values.push_back(block.u16(336 + 2 * k));
    }
    return values;
}

std::string numbers(int first, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += (i == 0 ? "" : ",") + std::to_string(first + i);
    }
    return text;
}

// The words OK writes, from the given leading values; the rest are 0.
std::vector<std::uint16_t> leading(std::vector<std::uint16_t> values) {
    values.resize(k_power_wave_values, 0);
    return values;
}

// OK on `text` over a block of recognisable bytes: the block before and after, and what OK said.
struct OkRun {
    ConfigBlock before;
    ConfigBlock block;
    std::optional<PageMessage> message;
};

OkRun ok_on_patterned_block(const std::string& text) {
    PowerWaveModel dialog;
    dialog.text = text;
    OkRun run{patterned_block(), patterned_block(), std::nullopt};
    run.message = dialog.ok(run.block);
    return run;
}

TEST(PowerWaveModel, OkWritesAll63WordsAndNothingElse) {
    std::vector<std::uint16_t> counting;
    for (int i = 0; i < 63; ++i) {
        counting.push_back(static_cast<std::uint16_t>(1000 + i));
    }
    struct Case {
        std::string text;
        std::vector<std::uint16_t> expected;
    };
    const std::vector<Case> cases{
        {"", leading({})},
        {"5", leading({5})},
        {"1,,2,", leading({1, 2})},
        {",,,3,,,,4,,", leading({3, 4})},
        {"0,65535,-0", leading({0, 0xFFFF, 0})},
        {" 7,\t8", leading({7, 8})},
        {"0x10,12abc,+9", leading({0, 12, 9})},  // the lenient forms: trailing text after the digits
        {numbers(1000, 63), counting},
        {numbers(1000, 63) + ",,,", counting},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("'" + c.text + "'");
        const OkRun run = ok_on_patterned_block(c.text);
        ASSERT_EQ(run.message, std::nullopt);
        EXPECT_EQ(words(run.block), c.expected);
        for (std::size_t i = 0; i < run.block.bytes.size(); ++i) {
            if (i < 336 || i >= 462) {
                ASSERT_EQ(run.block.bytes[i], run.before.bytes[i]) << "byte " << i;
            }
        }
    }
}

// What the plot draws: one point a value, a gap where a value is not a plain number, 0 where the text
// gives no value, and every value past the 63rd kept.
TEST(PowerWavePoints, AreTheWordsOkWritesWithGapsForWhatIsNoNumber) {
    using P = PowerWavePoint;
    struct Case {
        std::string text;
        std::vector<P> leading;  // the first points; the rest of the 63 are 0
        std::size_t count = k_power_wave_values;
    };
    std::vector<P> five_hundreds(63, P{500});
    five_hundreds[20] = P{5000};
    const std::vector<Case> cases{
        {"", {}},
        {"5", {P{5}}},
        {",,1,,,2,", {P{1}, P{2}}},
        {" 7 ,+8,\t9", {P{7}, P{8}, P{9}}},  // blanks around and a sign are a plain number
        {"-1,65536,70000,65535",
         {std::nullopt, std::nullopt, std::nullopt, P{0xFFFF}}},  // OK refuses all but the last
        {"99999999999", {std::nullopt}},
        {"5o0,500", {std::nullopt, P{500}}},  // the typo OK would read as 5
        {"abc,0x10,12abc,-,+, ,1 2",
         {std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt}},
        {[] {
             std::string text = "500";
             for (int k = 1; k < 63; ++k) {
                 text += k == 20 ? ",5000" : ",500";
             }
             return text;
         }(),
         five_hundreds},
        {numbers(1, 65), {}, 65},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("'" + c.text + "'");
        const std::vector<P> points = power_wave_points(c.text);
        ASSERT_EQ(points.size(), c.count);
        std::vector<P> expected = c.leading;
        if (c.count > k_power_wave_values) {
            for (int k = 1; k <= static_cast<int>(c.count); ++k) {
                expected.push_back(P{static_cast<std::uint16_t>(k)});
            }
        }
        expected.resize(c.count, P{0});
        EXPECT_EQ(points, expected);

        // A value OK refuses is a gap; where the plot shows a number, it is the word OK writes there.
        if (const auto refused = refused_power_wave_value(c.text)) {
            EXPECT_EQ(points[*refused], std::nullopt);
        } else if (c.count <= k_power_wave_values) {
            PowerWaveModel dialog;
            dialog.text = c.text;
            ConfigBlock block;
            ASSERT_EQ(dialog.ok(block), std::nullopt);
            for (std::size_t k = 0; k < k_power_wave_values; ++k) {
                if (points[k]) {
                    EXPECT_EQ(*points[k], block.u16(336 + 2 * k)) << "place " << k;
                }
            }
        }
    }
}

// A value without digits or outside 0..65535 is refused by name, place counted from 0, and nothing is
// stored: "abc" used to be stored as 0, -5 as 65531 and 70000 as 4464 without a word.
TEST(PowerWaveModel, AValueThatDoesNotFitAWordStoresNothing) {
    struct Case {
        std::string text;
        std::size_t place;
    };
    const std::vector<Case> cases{
        {"100,200,abc,300", 2}, {"-5", 0},
        {"-1,65536", 0},        {"1,65536", 1},
        {"1,70000", 1},         {"99999999999", 0},
        {"1, ,2", 1},  // a blank between commas has no digits
        {"1,2,-", 2},           {numbers(1, 62) + ",x", 62},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("'" + c.text + "'");
        const OkRun run = ok_on_patterned_block(c.text);
        EXPECT_EQ(
            run.message,
            (PageMessage{MessageKind::check_failed,
                         "The 'Power Wave Data " + std::to_string(c.place) + "' value is not valid!", ""}));
        EXPECT_EQ(run.block, run.before);
        EXPECT_EQ(refused_power_wave_value(c.text), c.place);
        EXPECT_EQ(check_power_wave(c.text), run.message);
    }
    EXPECT_EQ(check_power_wave(""), std::nullopt);
    EXPECT_EQ(refused_power_wave_value("1,2,3"), std::nullopt);
    // More than 63 values is told first, as it always was.
    EXPECT_EQ(check_power_wave("abc," + numbers(1, 63))->text,
              "There is more than 63 group data, please check!");
}

TEST(PowerWaveModel, MoreThan63ValuesStoreNothing) {
    for (const std::string& text : {numbers(1, 64), numbers(1, 63) + ",0", ",," + numbers(1, 200) + ","}) {
        PowerWaveModel dialog;
        dialog.text = text;
        const ConfigBlock before = patterned_block();
        ConfigBlock block = before;
        EXPECT_EQ(dialog.ok(block), (PageMessage{MessageKind::check_failed,
                                                 "There is more than 63 group data, please check!", ""}));
        EXPECT_EQ(block, before);
    }
}

TEST(PowerWaveModel, CancelLeavesTheBlockAndGivesBackTheTextItWasOpenedWith) {
    PowerWaveModel dialog;
    dialog.text = "1,2,3";
    const ConfigBlock block = patterned_block();
    ConfigBlock config = block;
    EXPECT_EQ(dialog.cancel(), "1,2,3");
    EXPECT_EQ(config, block);
}

TEST(PowerWaveModel, TextOfABlockIsReadBackToTheSameWords) {
    const ConfigBlock block = patterned_block();
    const std::string text = power_wave_text(block);
    EXPECT_EQ(text.find(' '), std::string::npos);
    EXPECT_NE(text.back(), ',');
    EXPECT_EQ(std::count(text.begin(), text.end(), ','), 62);

    PowerWaveModel dialog;
    dialog.text = text;
    ConfigBlock zero;
    ASSERT_EQ(dialog.ok(zero), std::nullopt);
    EXPECT_EQ(words(zero), words(block));

    ConfigBlock ones;
    ones.bytes.fill(0xFF);
    EXPECT_EQ(power_wave_text(ones).substr(0, 12), "65535,65535,");
    std::string zeros = "0";
    for (int i = 1; i < 63; ++i) {
        zeros += ",0";
    }
    EXPECT_EQ(power_wave_text(ConfigBlock{}), zeros);
}

}  // namespace
}  // namespace velmora
