// What of the bytes a port took has left its line: the driver's queue and the line's pace both bound it.
#include <gtest/gtest.h>

#include "host/line_drain.h"

namespace velmora {
namespace {

using Clock = LineDrain::Clock;
using std::chrono::milliseconds;

// At 10000 baud a byte takes exactly one millisecond on the line.
constexpr std::uint32_t k_baud = 10000;

class LineDrainTest : public ::testing::Test {
protected:
    void SetUp() override { drain.clear(k_baud); }
    Clock::time_point at(int ms) const { return t0 + milliseconds(ms); }

    LineDrain drain;
    Clock::time_point t0{std::chrono::hours(1)};
};

TEST_F(LineDrainTest, BytesLeaveAtTheLinesPaceAndNotBeforeTheQueueLetsThemGo) {
    drain.written(100, t0);
    EXPECT_EQ(drain.left(at(0), 0), 0u);
    EXPECT_EQ(drain.left(at(30), 0), 30u);
    // The driver still holds 80: only 20 can have left, whatever the time says.
    EXPECT_EQ(drain.left(at(40), 80), 30u) << "never goes back";
    EXPECT_EQ(drain.left(at(60), 50), 50u);
    EXPECT_EQ(drain.left(at(99), 0), 99u);
    EXPECT_EQ(drain.left(at(100), 1), 99u);
    EXPECT_EQ(drain.left(at(100), 0), 100u);
    EXPECT_EQ(drain.line_free_at(), at(100));
}

TEST_F(LineDrainTest, BytesTakenWhileTheLineIsBusyWaitTheirTurnAndAQuietLineStartsAfresh) {
    drain.written(10, at(0));
    drain.written(10, at(5));
    EXPECT_EQ(drain.line_free_at(), at(20));
    EXPECT_EQ(drain.left(at(15), 0), 15u);
    drain.written(10, at(100));
    EXPECT_EQ(drain.left(at(100), 0), 20u);
    EXPECT_EQ(drain.left(at(104), 0), 24u);
    EXPECT_EQ(drain.written_total(), 30u);
    EXPECT_EQ(drain.line_free_at(), at(110));
}

TEST_F(LineDrainTest, BytesStuckInTheQueuePastTheirLineTimeAndTheMarginAreOverdue) {
    const milliseconds margin(50);
    drain.written(10, t0);
    EXPECT_EQ(drain.left(at(60), 10), 0u);
    EXPECT_FALSE(drain.overdue(at(60), margin)) << "10 ms on the line and 50 ms of margin";
    EXPECT_TRUE(drain.overdue(at(61), margin));
    EXPECT_EQ(drain.left(at(61), 0), 10u);
    EXPECT_FALSE(drain.overdue(at(61), margin)) << "all of it left";
}

TEST_F(LineDrainTest, WithoutABaudRateOnlyTheQueueCountsAndClearForgetsEverything) {
    drain.clear(0);
    drain.written(500, t0);
    EXPECT_EQ(drain.left(t0, 200), 300u);
    EXPECT_EQ(drain.left(t0, 0), 500u);
    drain.clear(k_baud);
    EXPECT_EQ(drain.written_total(), 0u);
    EXPECT_EQ(drain.left(at(1000), 0), 0u);
}

}  // namespace
}  // namespace velmora
