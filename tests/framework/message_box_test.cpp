#include "framework/message_box.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <deque>
#include <thread>
#include <vector>

#include "framework/call_on_ui_thread.h"
#include "framework/caption_room.h"
#include "framework_test_support.h"

namespace velmora {
namespace {

// Records every box and answers from a script (ok when the script has run out).
class RecordingPresenter : public MessagePresenter {
public:
    struct Shown {
        QWidget* owner;
        std::string text;
        std::string caption;
        MessageButtons buttons;
        bool on_ui_thread;
    };

    MessageResult present(QWidget* owner, const std::string& text, const std::string& caption,
                          MessageButtons buttons) override {
        shown.push_back({owner, text, caption, buttons, QThread::currentThread() == qApp->thread()});
        if (answers.empty()) {
            return MessageResult::ok;
        }
        const MessageResult answer = answers.front();
        answers.pop_front();
        return answer;
    }

    std::vector<Shown> shown;
    std::deque<MessageResult> answers;
};

class MessageBoxTest : public ::testing::Test {
protected:
    void SetUp() override { previous_ = set_message_presenter(&presenter_); }
    void TearDown() override { set_message_presenter(previous_); }

    RecordingPresenter presenter_;
    MessagePresenter* previous_ = nullptr;
};

TEST_F(MessageBoxTest, ThePresenterSeesTextCaptionButtonsAndOwner) {
    QWidget owner;
    presenter_.answers = {MessageResult::ok, MessageResult::cancel};
    EXPECT_EQ(message_box(&owner, "Can't open binary file!", "error"), MessageResult::ok);
    EXPECT_EQ(message_box(nullptr, "Connection error! retry or not?", "", MessageButtons::retry_cancel),
              MessageResult::cancel);
    ASSERT_EQ(presenter_.shown.size(), 2u);
    EXPECT_EQ(presenter_.shown[0].owner, &owner);
    EXPECT_EQ(presenter_.shown[0].text, "Can't open binary file!");
    EXPECT_EQ(presenter_.shown[0].caption, "error");
    EXPECT_EQ(presenter_.shown[0].buttons, MessageButtons::ok);
    EXPECT_EQ(presenter_.shown[1].buttons, MessageButtons::retry_cancel);
}

// The real boxes, as the user gets them: each is wide enough for its whole caption beside the title
// bar's buttons (a box as narrow as "Load done!" cut "Success" to "Su… ss").
TEST(QtMessageBoxTest, EveryBoxIsWideEnoughForItsWholeCaption) {
    MessagePresenter* const previous = set_message_presenter(nullptr);
    struct Case {
        std::string text;
        std::string caption;
        MessageButtons buttons;
    };
    const std::vector<Case> cases{
        {"Load done!", "Success", MessageButtons::ok},
        {"Save Data Failed!!", "Error", MessageButtons::ok},
        {"x", "A caption longer than its text and its one button", MessageButtons::ok},
        {"Connection error! retry or not?", "velmora-host", MessageButtons::retry_cancel},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caption);
        int width = -1;
        QString title;
        // Looks once the box runs, then closes it; a box still open after the limit is closed too.
        QTimer look;
        look.setInterval(0);
        QObject::connect(&look, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                width = box->width();
                title = box->windowTitle();
                box->reject();
            }
        });
        look.start();
        message_box(nullptr, c.text, c.caption, c.buttons);
        look.stop();
        EXPECT_EQ(title.toStdString(), c.caption);
        EXPECT_GE(width, caption_room(QString::fromStdString(c.caption)));
    }
    set_message_presenter(previous);
}

TEST_F(MessageBoxTest, AnEmptyCaptionIsTheApplicationsDisplayName) {
    const QString before = QGuiApplication::applicationDisplayName();
    QGuiApplication::setApplicationDisplayName("Serial Host");
    message_box(nullptr, "Please select input file!");
    QGuiApplication::setApplicationDisplayName(before);
    ASSERT_EQ(presenter_.shown.size(), 1u);
    EXPECT_EQ(presenter_.shown[0].caption, "Serial Host");
}

TEST_F(MessageBoxTest, FromAWorkerTheBoxIsShownOnTheUiThreadAndTheWorkerGetsTheAnswer) {
    presenter_.answers = {MessageResult::retry, MessageResult::cancel};
    std::vector<MessageResult> answers;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        for (int i = 0; i < 2; ++i) {
            answers.push_back(
                message_box(nullptr, "Connection error! retry or not?", "", MessageButtons::retry_cancel));
        }
        done = true;
    });
    ASSERT_TRUE(test::process_events_until([&] { return done.load(); }));
    worker.join();
    EXPECT_EQ(answers, (std::vector<MessageResult>{MessageResult::retry, MessageResult::cancel}));
    ASSERT_EQ(presenter_.shown.size(), 2u);
    EXPECT_TRUE(presenter_.shown[0].on_ui_thread);
    EXPECT_TRUE(presenter_.shown[1].on_ui_thread);
}

TEST_F(MessageBoxTest, AQuittingApplicationShowsNothingAndGivesUp) {
    close_ui_calls();
    MessageResult retry_box = MessageResult::retry;
    MessageResult ok_box = MessageResult::cancel;
    std::thread worker([&] {
        retry_box = message_box(nullptr, "Connection error! retry or not?", "", MessageButtons::retry_cancel);
        ok_box = message_box(nullptr, "Handshake failed!Please check port and reset the STB!");
    });
    worker.join();
    reopen_ui_calls();
    EXPECT_EQ(retry_box, MessageResult::cancel);
    EXPECT_EQ(ok_box, MessageResult::ok);
    EXPECT_TRUE(presenter_.shown.empty());
}

}  // namespace
}  // namespace velmora
