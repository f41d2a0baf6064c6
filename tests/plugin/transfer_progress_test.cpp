// The progress bar of a long send: its "KiB, m:ss left" text, and when it shows and hides.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "plugin/transfer_progress.h"

namespace velmora {
namespace {

constexpr std::uint32_t k_kib = 1024;

struct TextCase {
    const char* name;
    std::uint32_t done;
    std::uint32_t total;
    qint64 elapsed_ms;
    const char* text;
};

class TransferTextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(TransferTextTest, GivesKibibytesAndTheTimeLeftAtThePaceSoFar) {
    const TextCase& c = GetParam();
    EXPECT_EQ(TransferProgress::text_for(c.done, c.total, c.elapsed_ms).toStdString(), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Sends, TransferTextTest,
    ::testing::Values(
        // Nothing gone out yet, or no time passed: no pace to judge by.
        TextCase{"just_started", 0, 2048 * k_kib, 5000, "0/2048 KiB"},
        TextCase{"no_time_passed", 512 * k_kib, 2048 * k_kib, 0, "512/2048 KiB"},
        // A quarter of the client download in 45 s leaves three times that.
        TextCase{"client_download", 512 * k_kib, 2048 * k_kib, 45000, "512/2048 KiB, 2:15 left"},
        // What has gone out counts whole KiB, the total a started one.
        TextCase{"partial_kib", 3000, 4000, 1500, "2/4 KiB, 0:01 left"},
        // Part of a second left is a second: the bar never says 0:00 while bytes remain.
        TextCase{"part_of_a_second", 1000, 3000, 1, "0/3 KiB, 0:01 left"},
        TextCase{"whole_minute", k_kib, 2 * k_kib, 60000, "1/2 KiB, 1:00 left"},
        TextCase{"seconds_two_digits", k_kib, 2 * k_kib, 65000, "1/2 KiB, 1:05 left"},
        TextCase{"ten_minutes_and_more", k_kib, 11 * k_kib, 61000, "1/11 KiB, 10:10 left"},
        TextCase{"all_gone_out", 4 * k_kib, 4 * k_kib, 3000, "4/4 KiB, 0:00 left"}),
    [](const ::testing::TestParamInfo<TextCase>& info) { return std::string(info.param.name); });

// One step of a send as the bar sees it: a completion count, or the link going idle.
struct Step {
    std::uint32_t done;
    std::uint32_t total;
    bool idle = false;
};

struct ShowCase {
    const char* name;
    std::vector<Step> steps;
    bool shown;
    // Checked when shown: the start of the bar's text and its value.
    const char* text_start = "";
    int value = 0;
};

class TransferProgressTest : public ::testing::TestWithParam<ShowCase> {
protected:
    static void deliver() { QCoreApplication::sendPostedEvents(); }

    QWidget parent;
    TransferProgress* bar = new TransferProgress(&parent);
};

TEST_P(TransferProgressTest, ShowsOnlyWhileALongSendRuns) {
    const ShowCase& c = GetParam();
    parent.show();
    for (const Step& step : c.steps) {
        if (step.idle) {
            bar->idle();
        } else {
            bar->report(step.done, step.total);
        }
        deliver();
    }
    EXPECT_EQ(bar->isVisible(), c.shown);
    if (c.shown) {
        EXPECT_EQ(bar->format().left(static_cast<int>(std::string(c.text_start).size())).toStdString(),
                  c.text_start);
        EXPECT_EQ(bar->value(), c.value);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sends, TransferProgressTest,
    ::testing::Values(
        ShowCase{"nothing_sent", {}, false},
        // A short send is over before a bar could be read.
        ShowCase{"short_send", {{0, k_kib - 1}, {512, k_kib - 1}}, false},
        ShowCase{"shortest_long_send", {{0, k_kib}}, true, "0/1 KiB", 0},
        ShowCase{"long_send_starts", {{0, 8 * k_kib}}, true, "0/8 KiB", 0},
        ShowCase{"long_send_runs", {{0, 8 * k_kib}, {3 * k_kib, 8 * k_kib}}, true, "3/8 KiB", 3 * 1024},
        ShowCase{"long_send_complete", {{0, 8 * k_kib}, {8 * k_kib, 8 * k_kib}}, false},
        ShowCase{"link_went_idle", {{0, 8 * k_kib}, {k_kib, 8 * k_kib}, {0, 0, true}}, false},
        ShowCase{"next_send_after_completion",
                 {{0, 8 * k_kib}, {8 * k_kib, 8 * k_kib}, {0, 4 * k_kib}, {2 * k_kib, 4 * k_kib}},
                 true,
                 "2/4 KiB",
                 2048},
        ShowCase{"next_send_after_idle",
                 {{0, 8 * k_kib}, {0, 0, true}, {k_kib, 2 * k_kib}},
                 true,
                 "1/2 KiB",
                 1024}),
    [](const ::testing::TestParamInfo<ShowCase>& info) { return std::string(info.param.name); });

TEST(TransferProgressThreadTest, AReportFromAnotherThreadChangesTheBarOnItsOwnThread) {
    QWidget parent;
    auto* bar = new TransferProgress(&parent);
    parent.show();
    std::thread sender([bar] { bar->report(k_kib, 4 * k_kib); });
    sender.join();
    EXPECT_FALSE(bar->isVisible());  // not yet: the bar's own thread has not run
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->value(), static_cast<int>(k_kib));
}

TEST(TransferProgressThreadTest, AReportLeftForABarThatWentAwayIsDropped) {
    auto parent = std::make_unique<QWidget>();
    auto* bar = new TransferProgress(parent.get());
    bar->report(k_kib, 4 * k_kib);
    parent.reset();
    QCoreApplication::sendPostedEvents();  // must not touch the destroyed bar
    SUCCEED();
}

}  // namespace
}  // namespace velmora
