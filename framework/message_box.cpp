#include "framework/message_box.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <atomic>

#include "framework/call_on_ui_thread.h"
#include "framework/caption_room.h"

namespace velmora {

namespace {

// The presenter of a real session. A box with an explicit caption ("error", "Success") has no icon;
// an application box (no caption given) has the warning icon that an application's own boxes carry
// when they name none. Every box is wide enough for its whole caption.
class QtMessagePresenter final : public MessagePresenter {
public:
    MessageResult present(QWidget* owner, const std::string& text, const std::string& caption,
                          MessageButtons buttons) override {
        QMessageBox box(owner);
        box.setText(QString::fromStdString(text));
        box.setWindowTitle(QString::fromStdString(caption));
        box.setIcon(caption == application_caption() ? QMessageBox::Warning : QMessageBox::NoIcon);
        if (buttons == MessageButtons::retry_cancel) {
            box.setStandardButtons(QMessageBox::Retry | QMessageBox::Cancel);
            box.setDefaultButton(QMessageBox::Retry);
            box.setEscapeButton(QMessageBox::Cancel);
            keep_caption_whole(box);
            return box.exec() == QMessageBox::Retry ? MessageResult::retry : MessageResult::cancel;
        }
        box.setStandardButtons(QMessageBox::Ok);
        keep_caption_whole(box);
        box.exec();
        return MessageResult::ok;
    }
};

QtMessagePresenter& qt_presenter() {
    static QtMessagePresenter presenter;
    return presenter;
}

// Read on the UI thread only, but kept atomic so a stray read from a worker is no data race.
std::atomic<MessagePresenter*> installed{nullptr};

MessageResult give_up_answer(MessageButtons buttons) {
    return buttons == MessageButtons::retry_cancel ? MessageResult::cancel : MessageResult::ok;
}

}  // namespace

std::string application_caption() {
    return QGuiApplication::applicationDisplayName().toStdString();
}

MessageResult message_box(QWidget* owner, const std::string& text, const std::string& caption,
                          MessageButtons buttons) {
    MessageResult result = give_up_answer(buttons);
    call_on_ui_thread([&] {
        MessagePresenter* presenter = installed.load();
        if (presenter == nullptr) {
            presenter = &qt_presenter();
        }
        result = presenter->present(owner, text, caption.empty() ? application_caption() : caption, buttons);
    });
    return result;
}

MessagePresenter* set_message_presenter(MessagePresenter* presenter) {
    return installed.exchange(presenter);
}

}  // namespace velmora
