#include "platform/manual_reset_event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <ostream>
#include <thread>

namespace velmora::platform {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Long enough that reaching it means a wake was lost, short enough to keep a failing run bearable.
constexpr auto k_never = 10s;
constexpr auto k_short = 50ms;

TEST(ManualResetEvent, StaysSetForEveryWaitUntilReset) {
    ManualResetEvent event;
    EXPECT_FALSE(event.is_set());
    event.set();
    const auto start = Clock::now();
    event.wait();
    EXPECT_TRUE(event.wait_for(k_never));
    EXPECT_TRUE(event.wait_for(0ms));
    EXPECT_LT(Clock::now() - start, 1s);

    event.reset();
    EXPECT_FALSE(event.is_set());
    EXPECT_FALSE(event.wait_for(0ms));
    EXPECT_TRUE(ManualResetEvent(true).is_set());
}

TEST(ManualResetEvent, WaitForTimesOutWhenNobodySetsIt) {
    ManualResetEvent event;
    const auto start = Clock::now();
    EXPECT_FALSE(event.wait_for(k_short));
    EXPECT_GE(Clock::now() - start, k_short);
}

TEST(ManualResetEvent, SetFromAnotherThreadWakesEveryWaiterAtOnce) {
    ManualResetEvent event;
    std::atomic<int> woken{0};
    std::thread waiters[3];
    for (auto& waiter : waiters) {
        waiter = std::thread([&] {
            if (event.wait_for(k_never)) {
                ++woken;
            }
        });
    }
    std::thread plain([&] { event.wait(); });
    std::this_thread::sleep_for(20ms);
    const auto start = Clock::now();
    event.set();
    for (auto& waiter : waiters) {
        waiter.join();
    }
    plain.join();
    EXPECT_EQ(woken, 3);
    EXPECT_LT(Clock::now() - start, 1s);
}

struct EitherCase {
    bool first_set;
    bool second_set;
    WaitResult expected;
};

void PrintTo(const EitherCase& c, std::ostream* os) {
    *os << "first " << (c.first_set ? "set" : "clear") << ", second " << (c.second_set ? "set" : "clear");
}

class WaitForEither : public ::testing::TestWithParam<EitherCase> {};

TEST_P(WaitForEither, ReportsTheEventThatIsSetWithFirstWinningATie) {
    const EitherCase& c = GetParam();
    ManualResetEvent first;
    ManualResetEvent second;
    if (c.first_set) {
        first.set();
    }
    if (c.second_set) {
        second.set();
    }
    EXPECT_EQ(wait_for_either(first, second, k_short), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Table, WaitForEither,
                         ::testing::Values(EitherCase{true, false, WaitResult::first},
                                           EitherCase{false, true, WaitResult::second},
                                           EitherCase{true, true, WaitResult::first},
                                           EitherCase{false, false, WaitResult::timeout}));

TEST(WaitForEitherThreads, WakesForWhicheverEventAnotherThreadSets) {
    for (const WaitResult which : {WaitResult::first, WaitResult::second}) {
        ManualResetEvent first;
        ManualResetEvent second;
        std::thread setter([&] {
            std::this_thread::sleep_for(20ms);
            (which == WaitResult::first ? first : second).set();
        });
        const auto start = Clock::now();
        EXPECT_EQ(wait_for_either(first, second, k_never), which);
        EXPECT_LT(Clock::now() - start, 1s);
        setter.join();
    }
}

TEST(WaitForEitherThreads, ASetRacingTheStartOfTheWaitIsNeverLost) {
    // Each round sets the event at a slightly different moment around the registration.
    for (int round = 0; round < 2000; ++round) {
        ManualResetEvent stop;
        ManualResetEvent ended;
        std::thread setter([&] { ended.set(); });
        EXPECT_EQ(wait_for_either(stop, ended, k_never), WaitResult::second) << "round " << round;
        setter.join();
    }
}

TEST(WaitForEitherThreads, SameEventTwiceAndTimeoutAfterReset) {
    ManualResetEvent event;
    EXPECT_EQ(wait_for_either(event, event, 0ms), WaitResult::timeout);
    std::thread setter([&] { event.set(); });
    EXPECT_EQ(wait_for_either(event, event, k_never), WaitResult::first);
    setter.join();

    ManualResetEvent other;
    event.reset();
    const auto start = Clock::now();
    EXPECT_EQ(wait_for_either(event, other, k_short), WaitResult::timeout);
    EXPECT_GE(Clock::now() - start, k_short);
}

}  // namespace
}  // namespace velmora::platform
