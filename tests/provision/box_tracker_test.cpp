// One port's box record as the tracker keeps it from the news of the link and the connector.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tools/velmora-provision/box_tracker.h"
#include "tools/velmora-provision/progress_board.h"

namespace velmora::provision {
namespace {

constexpr char k_reason[] = "Network port tcp://127.0.0.1:7000 closed: the server closed the connection";

struct LostCase {
    std::string name;
    std::vector<std::string> before;  // the link's texts before the connector's reason
    std::vector<std::string> after;   // and after it
};

class LostPortRecordTest : public testing::TestWithParam<LostCase> {};

// The link's failure and the connector's reason come on two threads, in either order: the record
// keeps every text, and its last word is why the box was lost.
TEST_P(LostPortRecordTest, TheReasonIsTheBoxsLastWordWhateverCameAfterIt) {
    const LostCase& c = GetParam();
    std::FILE* sink = std::fopen("/dev/null", "w");
    ASSERT_NE(sink, nullptr);
    {
        ProgressBoard board({"tcp://127.0.0.1:7000"}, ProgressStyle::plain, sink);
        BoxTracker tracker(0, "tcp://127.0.0.1:7000", ClientInfo{}, board, [] {});
        tracker.begin_box();
        for (const std::string& text : c.before) {
            tracker.on_text(text);
        }
        tracker.on_port_lost(k_reason);
        for (const std::string& text : c.after) {
            tracker.on_text(text);
        }
        BoxRecord kept;
        tracker.finish_box(BoxResult::failed, [&](const BoxRecord& record) { kept = record; });

        std::vector<std::string> expected = c.before;
        expected.insert(expected.end(), c.after.begin(), c.after.end());
        expected.push_back(k_reason);
        EXPECT_EQ(kept.messages, expected);
    }
    std::fclose(sink);
}

INSTANTIATE_TEST_SUITE_P(
    Orders, LostPortRecordTest,
    testing::Values(LostCase{"reason_last", {"Got sync byte!\n", "\n transfer error ....\n"}, {}},
                    LostCase{"link_failure_after_the_reason",
                             {"Got sync byte!\n"},
                             {"\n transfer error ....\n",
                              "\n!!The serial port is closed! Open it, then try again.\n"}},
                    LostCase{"nothing_before", {}, {"\n transfer error ....\n"}}),
    [](const testing::TestParamInfo<LostCase>& info) { return info.param.name; });

}  // namespace
}  // namespace velmora::provision
