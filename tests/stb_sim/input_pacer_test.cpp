// What the box takes in off its line: at the line's pace, with the host's pauses, in order.
#include <gtest/gtest.h>

#include <chrono>

#include "tests/stb_sim/wire.h"
#include "tools/velmora-stb-sim/sim_input_pacer.h"

namespace velmora::stb_sim::test {
namespace {

using Clock = SimInputPacer::Clock;
using std::chrono::microseconds;

// At 10000 baud a byte takes exactly one millisecond.
constexpr int k_baud = 10000;
constexpr Clock::duration k_byte = std::chrono::milliseconds(1);

class InputPacerTest : public ::testing::Test {
protected:
    SimInputPacer pacer{k_baud};
    Clock::time_point t0{std::chrono::hours(1)};
};

TEST_F(InputPacerTest, BytesReadAtOnceArriveOneByteTimeApart) {
    pacer.add(pattern(10, 1), t0);
    EXPECT_TRUE(pacer.take(t0).empty());
    EXPECT_EQ(pacer.next_arrival(), t0 + k_byte);
    EXPECT_TRUE(pacer.take(t0 + k_byte - microseconds(1)).empty());
    EXPECT_EQ(pacer.take(t0 + 3 * k_byte), pattern(3, 1));
    EXPECT_EQ(pacer.next_arrival(), t0 + 4 * k_byte);
    const Bytes rest = pacer.take(t0 + 100 * k_byte);
    EXPECT_EQ(pattern(3, 1) + rest, pattern(10, 1));
    EXPECT_EQ(pacer.next_arrival(), std::nullopt);
}

TEST_F(InputPacerTest, APauseOfTheHostIsKeptAndBytesWrittenMeanwhileWaitTheirTurn) {
    // Two bytes, then 200 ms later four more: the line is quiet in between.
    pacer.add(Bytes{1, 2}, t0);
    pacer.add(Bytes{3, 4, 5, 6}, t0 + std::chrono::milliseconds(200));
    EXPECT_EQ(pacer.take(t0 + std::chrono::milliseconds(150)), (Bytes{1, 2}));
    EXPECT_EQ(pacer.next_arrival(), t0 + std::chrono::milliseconds(200) + k_byte);
    EXPECT_EQ(pacer.take(t0 + std::chrono::milliseconds(202)), (Bytes{3, 4}));

    // Bytes read while the line still carries earlier ones follow them without a pause.
    pacer.add(Bytes{7}, t0 + std::chrono::milliseconds(203));
    EXPECT_EQ(pacer.take(t0 + std::chrono::milliseconds(205)), (Bytes{5, 6, 7}));
}

TEST_F(InputPacerTest, WithoutABaudRateNothingIsHeldAndAGoneLineGivesUpEverything) {
    SimInputPacer unpaced(0);
    unpaced.add(pattern(5000, 2), t0);
    EXPECT_EQ(unpaced.take(t0), pattern(5000, 2));
    EXPECT_EQ(unpaced.next_arrival(), std::nullopt);

    const Bytes sent = pattern(50, 3);
    pacer.add(sent, t0);
    EXPECT_EQ(pacer.take(t0 + 2 * k_byte).size(), 2u);
    EXPECT_EQ(pacer.take_all(), Bytes(sent.begin() + 2, sent.end()));
    EXPECT_TRUE(pacer.take(t0 + std::chrono::hours(1)).empty());
}

}  // namespace
}  // namespace velmora::stb_sim::test
