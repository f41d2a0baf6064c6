// The caller's bytes credited as the wire's are written: in proportion within a piece, whole exactly
// at its last wire byte, and nothing for the layer's own answers.
#include <gtest/gtest.h>

#include "netline/wire_credit.h"

namespace velmora::netline {
namespace {

TEST(WireCreditTest, APieceIsWholeOnlyAtItsLastWireByte) {
    WireCredit credit;
    credit.add(12, 10);  // ten bytes, two of them 0xFF doubled
    EXPECT_EQ(credit.credit(6), 5u);
    EXPECT_EQ(credit.credit(5), 4u) << "one wire byte short of the end: not yet the last byte";
    EXPECT_EQ(credit.credit(1), 1u);
    EXPECT_TRUE(credit.empty());
    EXPECT_EQ(credit.credit(100), 0u) << "nothing is credited that was not added";
}

TEST(WireCreditTest, AnswersOfTheLayerCarryNoneOfTheCallersBytes) {
    WireCredit credit;
    credit.add(3, 0);  // IAC DONT ECHO
    credit.add(4, 4);
    credit.add(9, 0);  // a setting
    credit.add(2, 1);  // one 0xFF
    EXPECT_EQ(credit.credit(3), 0u);
    EXPECT_EQ(credit.credit(4 + 9 + 1), 4u) << "the doubled 0xFF is not out yet";
    EXPECT_EQ(credit.credit(1), 1u);
    EXPECT_TRUE(credit.empty());
}

TEST(WireCreditTest, CreditsNeverPassWhatWasAddedWhateverTheSplit) {
    for (std::uint64_t step = 1; step <= 7; ++step) {
        WireCredit credit;
        credit.add(7, 4);
        credit.add(0, 0);  // an empty piece is no piece
        credit.add(5, 5);
        std::uint64_t total = 0;
        std::uint64_t last = 0;
        for (std::uint64_t written = 0; written < 12; written += step) {
            total += credit.credit(step);
            EXPECT_GE(total, last) << "step " << step;
            EXPECT_LE(total, 9u) << "step " << step;
            last = total;
        }
        EXPECT_EQ(total, 9u) << "step " << step;
        credit.add(2, 1);
        credit.clear();
        EXPECT_EQ(credit.credit(2), 0u) << "cleared pieces are never credited";
    }
}

}  // namespace
}  // namespace velmora::netline
