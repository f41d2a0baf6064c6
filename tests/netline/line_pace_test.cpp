// When a network line's bytes count as out: taken by the socket and past the remote line's time for
// them, piece after piece, on a clock of the test's own.
#include <gtest/gtest.h>

#include "netline/line_pace.h"

namespace velmora::netline {
namespace {

using Clock = LinePace::Clock;
using std::chrono::milliseconds;

// 1152 bytes a second: one byte in 868 microseconds, 1152 bytes in exactly a second.
constexpr std::uint32_t k_baud = 11520;
const Clock::time_point k_start = Clock::time_point() + std::chrono::hours(1);

TEST(LinePaceTest, BytesTakenAtOnceAreOutAsTheLineSendsThem) {
    LinePace pace(k_baud);
    pace.add(1152, k_start);
    pace.taken(1152);
    EXPECT_EQ(pace.all_out_at(), k_start + std::chrono::seconds(1));
    EXPECT_EQ(pace.release(k_start), 0u);
    EXPECT_EQ(pace.release(k_start + milliseconds(500)), 576u);
    EXPECT_EQ(pace.release(k_start + milliseconds(500)), 0u) << "nothing is given twice";
    EXPECT_EQ(pace.release(k_start + milliseconds(999)), 574u);
    EXPECT_EQ(pace.release(*pace.all_out_at()), 2u) << "at the time it names, all are out";
    EXPECT_EQ(pace.all_out_at(), std::nullopt);
}

TEST(LinePaceTest, ASocketSlowerThanTheLineHoldsTheCountBack) {
    LinePace pace(k_baud);
    pace.add(1152, k_start);
    pace.taken(100);
    EXPECT_EQ(pace.release(k_start + milliseconds(500)), 100u);
    EXPECT_EQ(pace.all_out_at(), std::nullopt) << "everything taken is out";
    pace.taken(1052);
    EXPECT_EQ(pace.release(k_start + std::chrono::seconds(5)), 1052u);
}

TEST(LinePaceTest, PiecesQueueBehindEachOtherAndAnIdleLineStartsAtOnce) {
    LinePace pace(k_baud);
    pace.add(576, k_start);                             // out at 0.5 s
    pace.add(576, k_start + milliseconds(100));         // queued: out at 1 s
    pace.add(1152, k_start + std::chrono::seconds(3));  // the line idled: out at 4 s
    pace.taken(576 + 576 + 1152);
    EXPECT_EQ(pace.release(k_start + milliseconds(500)), 576u);
    EXPECT_EQ(pace.release(k_start + std::chrono::seconds(2)), 576u);
    EXPECT_EQ(pace.release(k_start + std::chrono::seconds(3)), 0u);
    EXPECT_EQ(pace.all_out_at(), k_start + std::chrono::seconds(4));
    EXPECT_EQ(pace.release(k_start + std::chrono::seconds(4)), 1152u);

    pace.add(10, k_start + std::chrono::seconds(10));
    pace.taken(10);
    pace.clear();
    EXPECT_EQ(pace.release(k_start + std::chrono::seconds(20)), 0u) << "cleared bytes are never given";
    EXPECT_EQ(pace.all_out_at(), std::nullopt);
}

}  // namespace
}  // namespace velmora::netline
