#include "framework/window_message.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>
#include <memory>
#include <thread>
#include <vector>

#include "framework/dialog.h"
#include "framework_test_support.h"

namespace velmora {
namespace {

constexpr int k_lamp_test_ended = WM_USER + 18;
constexpr int k_key_captured = WM_USER + 24;

// Records each message it handles and the thread it was handled on.
class Listener : public Dialog {
public:
    Listener() {
        for (int message : {k_lamp_test_ended, k_key_captured}) {
            on_message(message, [this, message] {
                heard.push_back(message);
                on_ui_thread = on_ui_thread && QThread::currentThread() == qApp->thread();
                return 0L;
            });
        }
    }
    std::vector<int> heard;
    bool on_ui_thread = true;
};

TEST(PostMessage, FromTheUiThreadIsDispatchedLaterNeverInsideTheCall) {
    Listener listener;
    EXPECT_TRUE(post_message(&listener, k_lamp_test_ended));
    EXPECT_TRUE(listener.heard.empty());
    QCoreApplication::processEvents();
    EXPECT_EQ(listener.heard, std::vector<int>{k_lamp_test_ended});
}

TEST(PostMessage, FromWorkersArrivesOnTheUiThreadInOrder) {
    Listener listener;
    std::thread worker([&] {
        for (int i = 0; i < 3; ++i) {
            post_message(&listener, k_key_captured);
        }
        post_message(&listener, k_lamp_test_ended);
    });
    worker.join();
    EXPECT_TRUE(listener.heard.empty());
    ASSERT_TRUE(test::process_events_until([&] { return listener.heard.size() == 4; }));
    EXPECT_EQ(listener.heard,
              (std::vector<int>{k_key_captured, k_key_captured, k_key_captured, k_lamp_test_ended}));
    EXPECT_TRUE(listener.on_ui_thread);
}

TEST(PostMessage, AMessageWithoutAHandlerIsDropped) {
    Listener listener;
    EXPECT_TRUE(post_message(&listener, WM_USER + 99));
    QCoreApplication::processEvents();
    EXPECT_TRUE(listener.heard.empty());
}

TEST(PostMessage, ToADestroyedDialogIsDroppedSafely) {
    auto listener = std::make_unique<Listener>();
    Dialog* address = listener.get();
    // Posted while alive, destroyed before delivery: the message goes with the dialog.
    EXPECT_TRUE(post_message(address, k_lamp_test_ended));
    listener.reset();
    QCoreApplication::processEvents();
    // Posted after destruction, from the UI thread and from a worker.
    EXPECT_FALSE(post_message(address, k_lamp_test_ended));
    bool posted_by_worker = true;
    std::thread worker([&] { posted_by_worker = post_message(address, k_key_captured); });
    worker.join();
    EXPECT_FALSE(posted_by_worker);
    EXPECT_FALSE(post_message(nullptr, k_lamp_test_ended));
    QCoreApplication::processEvents();
}

TEST(PostMessage, RacingTheDialogsDestructionNeverReachesAGoneDialog) {
    // Workers keep posting while the UI thread destroys and makes dialogs; run under the sanitizers,
    // this shows any use of a dialog after its end.
    std::atomic<Dialog*> target{nullptr};
    std::atomic<bool> stop{false};
    std::vector<std::thread> workers;
    for (int i = 0; i < 2; ++i) {
        workers.emplace_back([&] {
            while (!stop) {
                post_message(target.load(), k_key_captured);
            }
        });
    }
    for (int round = 0; round < 200; ++round) {
        auto listener = std::make_unique<Listener>();
        target = listener.get();
        QCoreApplication::processEvents();
        target = nullptr;
        listener.reset();
    }
    stop = true;
    for (auto& worker : workers) {
        worker.join();
    }
    QCoreApplication::processEvents();
}

}  // namespace
}  // namespace velmora
