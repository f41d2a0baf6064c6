// The backlog between the delivering threads and the terminal pane: its bound, where and how much it
// drops, the order it keeps and how it wakes the pane.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "tools/velmora-host/terminal_backlog.h"

namespace velmora::host_app {
namespace {

using Kind = TerminalBacklog::Entry::Kind;

TEST(TerminalBacklogTest, FiftyMegabytesWithoutADrainStayWithinTheCapacity) {
    TerminalBacklog backlog;
    const QByteArray chunk(4096, 'x');
    constexpr std::uint64_t total = 50ull * 1000 * 1000;
    std::uint64_t pushed = 0;
    while (pushed < total) {
        backlog.push_bytes(chunk);
        pushed += static_cast<std::uint64_t>(chunk.size());
        ASSERT_LE(backlog.held(), TerminalBacklog::k_default_capacity);
    }

    bool more = true;
    const std::vector<TerminalBacklog::Entry> entries =
        backlog.take(TerminalBacklog::k_default_capacity, more);
    EXPECT_FALSE(more);
    EXPECT_EQ(backlog.held(), 0);
    ASSERT_FALSE(entries.empty());
    std::uint64_t kept = 0;
    for (std::size_t k = 0; k + 1 < entries.size(); ++k) {
        ASSERT_EQ(entries[k].kind, Kind::bytes);
        kept += static_cast<std::uint64_t>(entries[k].bytes.size());
    }
    // The newest bytes are the ones dropped, all in one run at the end.
    ASSERT_EQ(entries.back().kind, Kind::dropped);
    EXPECT_EQ(entries.back().dropped, backlog.dropped_total());
    EXPECT_EQ(kept + backlog.dropped_total(), pushed);
    EXPECT_GT(kept, static_cast<std::uint64_t>(TerminalBacklog::k_default_capacity) / 2);
}

TEST(TerminalBacklogTest, DropsAreMarkedWhereTheGapIsAndNoticesKeepTheirPlace) {
    constexpr qsizetype overhead = TerminalBacklog::k_entry_overhead;
    TerminalBacklog backlog(1024);
    backlog.push_bytes(QByteArray(500, 'a'));
    backlog.push_bytes(QByteArray(500, 'b'));  // only what leaves room for a drop entry fits
    backlog.push_notice(QStringLiteral("N"));
    backlog.push_bytes(QByteArray(10, 'c'));
    backlog.push_bytes(QByteArray(5, 'd'));

    const qsizetype kept_b = 1024 - (500 + overhead) - 2 * overhead;
    bool more = false;
    const std::vector<TerminalBacklog::Entry> entries = backlog.take(10000, more);
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries[0].bytes, QByteArray(500, 'a'));
    EXPECT_EQ(entries[1].bytes, QByteArray(kept_b, 'b'));
    EXPECT_EQ(entries[2].kind, Kind::dropped);
    EXPECT_EQ(entries[2].dropped, static_cast<std::uint64_t>(500 - kept_b));
    EXPECT_EQ(entries[3].kind, Kind::notice);
    EXPECT_EQ(entries[3].notice, QStringLiteral("N"));
    EXPECT_EQ(entries[4].kind, Kind::dropped);
    EXPECT_EQ(entries[4].dropped, 15u) << "drops in a row make one entry";
    EXPECT_EQ(backlog.dropped_total(), static_cast<std::uint64_t>(500 - kept_b + 15));
}

// A pane that fell behind cuts the oldest bytes: the cut is one drop entry where the bytes were (an
// earlier drop entry it reaches is merged into it), notices stay in their places, and the newest
// bytes are the ones kept.
TEST(TerminalBacklogTest, DroppingTheOldestKeepsTheNewestAndMarksTheCut) {
    constexpr qsizetype overhead = TerminalBacklog::k_entry_overhead;
    TerminalBacklog backlog(1000);
    backlog.push_bytes(QByteArray(300, 'a'));
    backlog.push_notice(QStringLiteral("N"));
    backlog.push_bytes(QByteArray(300, 'b'));
    backlog.push_bytes(QByteArray(300, 'c'));  // only part fits: the rest is a drop entry
    const std::uint64_t dropped_at_push = backlog.dropped_total();
    ASSERT_GT(dropped_at_push, 0u);
    backlog.push_bytes(QByteArray(10, 'd'));  // dropped too, into the same entry

    EXPECT_EQ(backlog.drop_oldest(1000), 0u) << "nothing to cut";
    const qsizetype c_kept = 1000 - 2 * (300 + overhead) - 2 - overhead - 2 * overhead;
    const std::uint64_t cut = 300 + 300 + static_cast<std::uint64_t>(c_kept) - 50;
    EXPECT_EQ(backlog.drop_oldest(50), cut);
    EXPECT_EQ(backlog.dropped_total(), dropped_at_push + 10 + cut);

    bool more = true;
    const std::vector<TerminalBacklog::Entry> entries = backlog.take(10000, more);
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries[0].kind, Kind::dropped);
    EXPECT_EQ(entries[0].dropped, 300u);
    EXPECT_EQ(entries[1].notice, QStringLiteral("N"));
    EXPECT_EQ(entries[2].kind, Kind::dropped);
    EXPECT_EQ(entries[2].dropped, 300u + static_cast<std::uint64_t>(c_kept) - 50);
    EXPECT_EQ(entries[3].bytes, QByteArray(50, 'c'));
    EXPECT_EQ(entries[4].kind, Kind::dropped);
    EXPECT_EQ(entries[4].dropped, dropped_at_push + 10);
    EXPECT_EQ(backlog.held(), 0);
}

TEST(TerminalBacklogTest, TakeStopsAtTheBudgetAndSplitsADelivery) {
    TerminalBacklog backlog;
    backlog.push_bytes("0123456789");
    backlog.push_notice(QStringLiteral("between"));
    backlog.push_bytes("abc");

    bool more = false;
    std::vector<TerminalBacklog::Entry> entries = backlog.take(4, more);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].bytes, QByteArray("0123"));
    EXPECT_TRUE(more);

    entries = backlog.take(6, more);
    ASSERT_EQ(entries.size(), 2u) << "the notice comes along without counting";
    EXPECT_EQ(entries[0].bytes, QByteArray("456789"));
    EXPECT_EQ(entries[1].notice, QStringLiteral("between"));
    EXPECT_TRUE(more);

    entries = backlog.take(6, more);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].bytes, QByteArray("abc"));
    EXPECT_FALSE(more);
    EXPECT_EQ(backlog.held(), 0);
}

TEST(TerminalBacklogTest, WakesTheConsumerOncePerIdleToBusyChange) {
    TerminalBacklog backlog;
    int wakes = 0;
    backlog.set_waker([&wakes] { ++wakes; });
    backlog.push_bytes("a");
    backlog.push_bytes("b");
    backlog.push_notice(QStringLiteral("c"));
    EXPECT_EQ(wakes, 1);

    bool more = false;
    backlog.take(1, more);
    ASSERT_TRUE(more);
    backlog.push_bytes("d");
    EXPECT_EQ(wakes, 1) << "the consumer is still draining and comes back by itself";

    backlog.take(100, more);
    ASSERT_FALSE(more);
    backlog.push_bytes("e");
    EXPECT_EQ(wakes, 2);

    backlog.take(100, more);
    backlog.set_waker({});
    backlog.push_bytes("f");
    EXPECT_EQ(wakes, 2);
}

TEST(TerminalBacklogTest, ConcurrentProducersLoseNothingUncounted) {
    TerminalBacklog backlog(64 * 1024);
    constexpr int producers = 3;
    constexpr int chunks = 2000;
    const QByteArray chunk(700, 'z');
    std::atomic<int> finished{0};
    std::vector<std::thread> threads;
    for (int p = 0; p < producers; ++p) {
        threads.emplace_back([&] {
            for (int k = 0; k < chunks; ++k) {
                backlog.push_bytes(chunk);
            }
            finished.fetch_add(1);
        });
    }
    std::uint64_t taken = 0;
    std::uint64_t dropped = 0;
    bool more = true;
    while (finished.load() < producers || more) {
        for (const TerminalBacklog::Entry& entry : backlog.take(8192, more)) {
            taken += static_cast<std::uint64_t>(entry.bytes.size());
            dropped += entry.dropped;
        }
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (const TerminalBacklog::Entry& entry : backlog.take(1 << 30, more)) {
        taken += static_cast<std::uint64_t>(entry.bytes.size());
        dropped += entry.dropped;
    }
    EXPECT_EQ(dropped, backlog.dropped_total());
    EXPECT_EQ(taken + dropped, static_cast<std::uint64_t>(producers) * chunks * chunk.size());
}

}  // namespace
}  // namespace velmora::host_app
