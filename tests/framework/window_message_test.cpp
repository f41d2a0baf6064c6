#include "framework/window_message.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "framework/dialog.h"
#include "framework_test_support.h"
#include "tests/support/turn_count.h"

namespace velmora {
namespace {

// The framework carries any message number; these two stand for a page's own messages.
constexpr int k_first_message = 2001;
constexpr int k_second_message = 2002;
constexpr int k_unhandled_message = 2099;

// Records each message it handles and the thread it was handled on.
class Listener : public Dialog {
public:
    Listener() {
        for (int message : {k_first_message, k_second_message}) {
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
    EXPECT_TRUE(post_message(&listener, k_first_message));
    EXPECT_TRUE(listener.heard.empty());
    QCoreApplication::processEvents();
    EXPECT_EQ(listener.heard, std::vector<int>{k_first_message});
}

TEST(PostMessage, FromWorkersArrivesOnTheUiThreadInOrder) {
    Listener listener;
    std::thread worker([&] {
        for (int i = 0; i < 3; ++i) {
            post_message(&listener, k_second_message);
        }
        post_message(&listener, k_first_message);
    });
    worker.join();
    EXPECT_TRUE(listener.heard.empty());
    ASSERT_TRUE(test::process_events_until([&] { return listener.heard.size() == 4; }));
    EXPECT_EQ(listener.heard,
              (std::vector<int>{k_second_message, k_second_message, k_second_message, k_first_message}));
    EXPECT_TRUE(listener.on_ui_thread);
}

TEST(PostMessage, AMessageWithoutAHandlerIsDropped) {
    Listener listener;
    EXPECT_TRUE(post_message(&listener, k_unhandled_message));
    QCoreApplication::processEvents();
    EXPECT_TRUE(listener.heard.empty());
}

TEST(PostMessage, ToADestroyedDialogIsDroppedSafely) {
    auto listener = std::make_unique<Listener>();
    Dialog* address = listener.get();
    // Posted while alive, destroyed before delivery: the message goes with the dialog.
    EXPECT_TRUE(post_message(address, k_first_message));
    listener.reset();
    QCoreApplication::processEvents();
    // Posted after destruction, from the UI thread and from a worker.
    EXPECT_FALSE(post_message(address, k_first_message));
    bool posted_by_worker = true;
    std::thread worker([&] { posted_by_worker = post_message(address, k_second_message); });
    worker.join();
    EXPECT_FALSE(posted_by_worker);
    EXPECT_FALSE(post_message(nullptr, k_first_message));
    QCoreApplication::processEvents();
}

TEST(PostMessage, RacingTheDialogsDestructionNeverReachesAGoneDialog) {
    // Workers post while the UI thread destroys and makes dialogs; run under the sanitizers, this
    // shows any use of a dialog after its end. Each worker posts a fixed number a round, once the
    // round has begun, so the queue holds no more on a busy machine than on an idle one.
    constexpr int k_rounds = 200;
    constexpr int k_posts_a_round = 50;
    std::atomic<Dialog*> target{nullptr};
    test::TurnCount rounds;
    std::vector<std::thread> workers;
    for (int i = 0; i < 2; ++i) {
        workers.emplace_back([&] {
            for (int round = 1; round <= k_rounds; ++round) {
                rounds.wait_for(round);
                for (int post = 0; post < k_posts_a_round; ++post) {
                    post_message(target.load(), k_second_message);
                }
            }
        });
    }
    for (int round = 0; round < k_rounds; ++round) {
        auto listener = std::make_unique<Listener>();
        target = listener.get();
        rounds.advance();
        QCoreApplication::processEvents();
        target = nullptr;
        listener.reset();
    }
    for (auto& worker : workers) {
        worker.join();
    }
    QCoreApplication::processEvents();
}

}  // namespace
}  // namespace velmora
