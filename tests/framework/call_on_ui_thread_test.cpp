#include "framework/call_on_ui_thread.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QThread>
#include <atomic>
#include <chrono>
#include <thread>

#include "framework_test_support.h"

namespace velmora {
namespace {

// Time for a worker to reach its wait; the checks hold whatever the timing, this only gives the
// faulty behaviour the chance to show.
constexpr std::chrono::milliseconds k_worker_settle_time{50};

TEST(CallOnUiThread, OnTheUiThreadRunsAtOnce) {
    bool ran = false;
    EXPECT_TRUE(call_on_ui_thread([&] { ran = true; }));
    EXPECT_TRUE(ran);
}

TEST(CallOnUiThread, AWorkerWaitsUntilTheUiThreadHasRunTheFunction) {
    std::atomic<bool> ran_on_ui_thread{false};
    std::atomic<bool> returned{false};
    bool result = false;
    int value = 0;
    std::thread worker([&] {
        result = call_on_ui_thread([&] {
            ran_on_ui_thread = QThread::currentThread() == qApp->thread();
            value = 42;
        });
        // Only once the UI thread ran the function may the worker go on, and see what it wrote.
        EXPECT_EQ(value, 42);
        returned = true;
    });
    std::this_thread::sleep_for(k_worker_settle_time);
    EXPECT_FALSE(returned);  // nothing ran yet: the UI thread has not processed events
    EXPECT_TRUE(test::process_events_until([&] { return returned.load(); }));
    worker.join();
    EXPECT_TRUE(result);
    EXPECT_TRUE(ran_on_ui_thread);
}

TEST(CallOnUiThread, ACallThrownAwayUnrunReleasesTheWorker) {
    std::atomic<bool> returned{false};
    bool result = true;
    bool ran = false;
    std::thread worker([&] {
        result = call_on_ui_thread([&] { ran = true; });
        returned = true;
    });
    std::this_thread::sleep_for(k_worker_settle_time);
    // What the application does with its queued calls when it ends.
    QCoreApplication::removePostedEvents(qApp, QEvent::MetaCall);
    worker.join();
    EXPECT_FALSE(result);
    EXPECT_FALSE(ran);
    QCoreApplication::processEvents();
    EXPECT_FALSE(ran);
}

TEST(CallOnUiThread, ClosingReleasesWaitingWorkersAndRefusesNewCalls) {
    std::atomic<int> ran{0};
    bool waiting_result = true;
    std::thread waiting([&] { waiting_result = call_on_ui_thread([&] { ++ran; }); });
    std::this_thread::sleep_for(k_worker_settle_time);
    // The UI thread quits and joins its worker without processing events again: no hang.
    close_ui_calls();
    waiting.join();
    EXPECT_FALSE(waiting_result);

    bool late_result = true;
    std::thread late([&] { late_result = call_on_ui_thread([&] { ++ran; }); });
    late.join();
    EXPECT_FALSE(late_result);

    QCoreApplication::processEvents();
    EXPECT_EQ(ran, 0);

    reopen_ui_calls();
    bool reopened_result = false;
    std::thread again([&] { reopened_result = call_on_ui_thread([&] { ++ran; }); });
    EXPECT_TRUE(test::process_events_until([&] { return ran.load() == 1; }));
    again.join();
    EXPECT_TRUE(reopened_result);
}

}  // namespace
}  // namespace velmora
