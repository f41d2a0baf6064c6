#include "platform/clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>

namespace velmora::platform {
namespace {

using namespace std::chrono_literals;

TEST(Clock, TicksFollowTheTimeSlept) {
    constexpr auto k_nap = 60ms;
    // Generous: a loaded machine may oversleep, never undersleep.
    constexpr std::uint32_t k_slack_ms = 1000;
    const std::uint32_t before = tick_count();
    const auto steady_before = std::chrono::steady_clock::now();
    sleep_for(k_nap);
    const auto slept = std::chrono::steady_clock::now() - steady_before;
    // Unsigned subtraction is how callers compare ticks across the wrap.
    const std::uint32_t elapsed = tick_count() - before;
    EXPECT_GE(slept, k_nap);
    EXPECT_GE(elapsed, static_cast<std::uint32_t>(k_nap.count()));
    EXPECT_LT(elapsed, static_cast<std::uint32_t>(k_nap.count()) + k_slack_ms);
}

TEST(Clock, TicksAreMillisecondsOfTheSteadyClock) {
    const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    const std::uint32_t tick = tick_count();
    EXPECT_LT(static_cast<std::uint32_t>(tick - static_cast<std::uint32_t>(now.count())), 1000u);
}

}  // namespace
}  // namespace velmora::platform
