// The connector's transmit queue: bytes leave in the order queued, and each transmission's running
// count ends at its full size however the port splits its reports.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/transmit_queue.h"

namespace velmora {
namespace {

struct Report {
    std::uint32_t sent;
    bool report;
    bool operator==(const Report&) const = default;
};

std::vector<Report> reports_of(const std::vector<TransmitQueue::Progress>& progress) {
    std::vector<Report> out;
    for (const auto& p : progress) {
        out.push_back({p.sent, p.report});
    }
    return out;
}

struct CreditCase {
    const char* name;
    std::vector<int> sizes;                     // one transmission each, all reporting
    std::vector<std::int64_t> writes;           // what the port reports, in turn
    std::vector<std::vector<Report>> expected;  // per write
};

class CreditTest : public ::testing::TestWithParam<CreditCase> {};

TEST_P(CreditTest, RunningCountsPerTransmission) {
    const CreditCase& c = GetParam();
    TransmitQueue queue;
    std::string all;
    for (std::size_t i = 0; i < c.sizes.size(); ++i) {
        const std::string bytes(static_cast<std::size_t>(c.sizes[i]), static_cast<char>('a' + i));
        queue.push(QByteArray::fromStdString(bytes), true);
        all += bytes;
    }
    EXPECT_EQ(queue.take_unsent().toStdString(), all);
    ASSERT_EQ(c.writes.size(), c.expected.size());
    for (std::size_t i = 0; i < c.writes.size(); ++i) {
        EXPECT_EQ(reports_of(queue.credit(c.writes[i])), c.expected[i]) << "write " << i;
    }
    EXPECT_TRUE(queue.idle());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CreditTest,
    ::testing::Values(CreditCase{"whole", {5}, {5}, {{{5, true}}}},
                      CreditCase{"in_pieces", {10}, {3, 3, 4}, {{{3, true}}, {{6, true}}, {{10, true}}}},
                      CreditCase{
                          "one_write_spans_two", {4, 6}, {7, 3}, {{{4, true}, {3, true}}, {{6, true}}}},
                      CreditCase{"empty_between", {2, 0, 2}, {2, 2}, {{{2, true}, {0, true}}, {{2, true}}}},
                      CreditCase{"empty_alone", {0}, {0}, {{{0, true}}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TransmitQueueTest, KeepsOrderAcrossTakesAndTellsWhoWantsProgress) {
    TransmitQueue queue;
    queue.push("ab", true);
    EXPECT_EQ(queue.take_unsent(), "ab");
    queue.push("cd", false);
    queue.push("ef", true);
    EXPECT_EQ(queue.take_unsent(), "cdef");
    EXPECT_EQ(queue.take_unsent(), "");
    EXPECT_EQ(reports_of(queue.credit(5)), (std::vector<Report>{{2, true}, {2, false}, {1, true}}));
    EXPECT_FALSE(queue.idle());
    // Nothing written yet for a transmission gives no report.
    EXPECT_TRUE(queue.credit(0).empty());
    EXPECT_EQ(reports_of(queue.credit(1)), (std::vector<Report>{{2, true}}));
}

TEST(TransmitQueueTest, ClearDropsQueuedAndInFlightBytes) {
    TransmitQueue queue;
    queue.push("abc", true);
    (void)queue.take_unsent();
    queue.push("def", true);
    queue.clear();
    EXPECT_TRUE(queue.idle());
    EXPECT_EQ(queue.take_unsent(), "");
    EXPECT_TRUE(queue.credit(3).empty());
}

}  // namespace
}  // namespace velmora
