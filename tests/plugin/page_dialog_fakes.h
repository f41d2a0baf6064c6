// Test doubles and user actions for the page dialogs: message boxes and file dialogs that record
// what would be shown and answer as scripted, a request window that counts the page's posts, and
// the user's ways of choosing a combo item and typing into an edit.
#pragma once

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>
#include <chrono>
#include <deque>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "config/config_block.h"
#include "framework/dialog.h"
#include "framework/file_dialog.h"
#include "framework/message_box.h"
#include "framework/window_message.h"
#include "link/window_messages.h"
#include "tests/framework/framework_test_support.h"

namespace velmora::page_test {

struct ShownMessage {
    std::string text;
    std::string caption;
    bool operator==(const ShownMessage&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const ShownMessage& message) {
    return out << '"' << message.text << "\" / \"" << message.caption << '"';
}

// Installed for its lifetime; every box is recorded and answered OK.
class RecordingMessages : public MessagePresenter {
public:
    RecordingMessages() : previous_(set_message_presenter(this)) {}
    ~RecordingMessages() override { set_message_presenter(previous_); }
    RecordingMessages(const RecordingMessages&) = delete;
    RecordingMessages& operator=(const RecordingMessages&) = delete;

    MessageResult present(QWidget* owner, const std::string& text, const std::string& caption,
                          MessageButtons) override {
        shown.push_back({text, caption});
        owners.push_back(owner);
        return MessageResult::ok;
    }

    std::vector<ShownMessage> shown;
    std::vector<QWidget*> owners;

private:
    MessagePresenter* previous_;
};

// Installed for its lifetime; answers each dialog with the next scripted path, or cancels when the
// script is used up (std::nullopt in the script cancels too).
class ScriptedFileDialogs : public FileDialogPresenter {
public:
    struct Request {
        FileDialogKind kind;
        FileDialogOptions options;
    };

    ScriptedFileDialogs() : previous_(set_file_dialog_presenter(this)) {}
    ~ScriptedFileDialogs() override { set_file_dialog_presenter(previous_); }
    ScriptedFileDialogs(const ScriptedFileDialogs&) = delete;
    ScriptedFileDialogs& operator=(const ScriptedFileDialogs&) = delete;

    std::optional<std::string> present(QWidget*, FileDialogKind kind,
                                       const FileDialogOptions& options) override {
        requests.push_back({kind, options});
        if (answers.empty()) {
            return std::nullopt;
        }
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }

    std::deque<std::optional<std::string>> answers;
    std::vector<Request> requests;

private:
    FileDialogPresenter* previous_;
};

// Stands where the main view stands: it hears the pages' requests.
class RequestWindow : public Dialog {
public:
    RequestWindow() {
        for (const WindowMessage request :
             {WindowMessage::start_lamp_test, WindowMessage::light_all, WindowMessage::dim_all,
              WindowMessage::start_get_key, WindowMessage::start_get_led_map}) {
            const int message = message_number(request);
            on_message(message, [this, message] {
                received.push_back(message);
                return 0L;
            });
        }
    }
    std::vector<int> received;
};

// Lets the posted messages arrive.
inline void deliver_posted_messages() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

// Opens the list, moves to the item and presses Return, as a user picks an item.
inline void choose_item(QComboBox* combo, int index) {
    combo->showPopup();
    QAbstractItemView* list = combo->view();
    list->setCurrentIndex(combo->model()->index(index, 0));
    test::press_key(list, Qt::Key_Return);
}

// Selects what the edit holds and types `text` over it.
inline void type_into(QLineEdit* edit, const std::string& text) {
    edit->selectAll();
    test::press_key(edit, Qt::Key_Delete);
    for (const QChar ch : QString::fromStdString(text)) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
        QCoreApplication::sendEvent(edit, &press);
    }
}

// A modal run that a broken test cannot hang: `open` starts it, `user` acts once it runs, and a
// dialog still open after the limit is ended with -1.
inline constexpr std::chrono::seconds k_modal_limit{10};

template <class Open>
auto run_while_modal(Open open, const std::function<void()>& user) {
    QTimer act;
    act.setSingleShot(true);
    QObject::connect(&act, &QTimer::timeout, user);
    act.start(0);
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            dialog->done(-1);
        }
    });
    watchdog.start(k_modal_limit);
    return open();
}

// A block with `value` in the byte at each offset.
inline ConfigBlock block_with(std::initializer_list<std::pair<std::size_t, std::uint8_t>> bytes) {
    ConfigBlock block;
    for (const auto& [offset, value] : bytes) {
        block.bytes.at(offset) = value;
    }
    return block;
}

// A check that fails: the edit typed into, the text, and the message the page must show.
struct CheckCase {
    const char* name;
    int edit_id;
    std::string text;
    std::string message;
};

inline void PrintTo(const CheckCase& c, std::ostream* out) {
    *out << c.name;
}

}  // namespace velmora::page_test
