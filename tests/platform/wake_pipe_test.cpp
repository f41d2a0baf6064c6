#include "platform/wake_pipe.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>

#include <chrono>
#include <thread>

namespace velmora::platform {
namespace {

using namespace std::chrono_literals;

TEST(WakePipe, SignalWakesEveryPollerAndStaysSignalled) {
    WakePipe pipe;
    ASSERT_TRUE(pipe.open());
    EXPECT_FALSE(pipe.is_signalled());
    EXPECT_NE(::fcntl(pipe.read_fd(), F_GETFD) & FD_CLOEXEC, 0);

    auto poll_forever = [&pipe] {
        pollfd entry{pipe.read_fd(), POLLIN, 0};
        return ::poll(&entry, 1, -1);
    };
    std::thread first([&] { EXPECT_EQ(poll_forever(), 1); });
    std::thread second([&] { EXPECT_EQ(poll_forever(), 1); });
    std::this_thread::sleep_for(20ms);
    pipe.signal();
    first.join();
    second.join();
    EXPECT_TRUE(pipe.is_signalled());

    // Many signals never block, even when nobody drains the pipe.
    for (int i = 0; i < 100000; ++i) {
        pipe.signal();
    }
    EXPECT_TRUE(pipe.is_signalled());
}

TEST(WakePipe, ReopenStartsUnsignalledAndCloseIsHarmless) {
    WakePipe pipe;
    pipe.signal();  // not open: nothing to do
    EXPECT_FALSE(pipe.is_signalled());
    ASSERT_TRUE(pipe.open());
    pipe.signal();
    ASSERT_TRUE(pipe.open());
    EXPECT_FALSE(pipe.is_signalled());
    pipe.close();
    EXPECT_FALSE(pipe.is_open());
    pipe.signal();
    EXPECT_FALSE(pipe.is_signalled());
}

}  // namespace
}  // namespace velmora::platform
