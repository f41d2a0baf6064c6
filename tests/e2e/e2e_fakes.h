// Stand-ins for the user around the panel link: message boxes that record what the link asked and
// answer Retry/Cancel as scripted, and a watcher that keeps every text a label has shown, even one
// that the next status change replaces before a test could look.
#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QObject>
#include <QPointer>
#include <deque>
#include <string>
#include <vector>

#include "framework/message_box.h"

namespace velmora::e2e_test {

// Installed for its lifetime. An OK box answers OK; a Retry/Cancel box takes the next scripted
// answer, Cancel once the script is used up. Boxes are shown on the UI thread only.
class ScriptedMessages : public MessagePresenter {
public:
    struct Shown {
        std::string text;
        MessageButtons buttons;
    };

    ScriptedMessages() : previous_(set_message_presenter(this)) {}
    ~ScriptedMessages() override { set_message_presenter(previous_); }
    ScriptedMessages(const ScriptedMessages&) = delete;
    ScriptedMessages& operator=(const ScriptedMessages&) = delete;

    MessageResult present(QWidget*, const std::string& text, const std::string&,
                          MessageButtons buttons) override {
        shown.push_back({text, buttons});
        if (buttons == MessageButtons::ok) {
            return MessageResult::ok;
        }
        if (retry_cancel_answers.empty()) {
            return MessageResult::cancel;
        }
        const MessageResult answer = retry_cancel_answers.front();
        retry_cancel_answers.pop_front();
        return answer;
    }

    std::vector<std::string> texts() const {
        std::vector<std::string> result;
        for (const Shown& box : shown) {
            result.push_back(box.text);
        }
        return result;
    }

    std::vector<Shown> shown;
    std::deque<MessageResult> retry_cancel_answers;

private:
    MessagePresenter* previous_;
};

// Looks at the label before every event the application delivers: a link thread changes the
// label through an event of its own, so each text it set is seen before the next change lands.
class LabelHistory : public QObject {
public:
    explicit LabelHistory(QLabel* label) : label_(label) {
        QCoreApplication::instance()->installEventFilter(this);
    }
    ~LabelHistory() override { QCoreApplication::instance()->removeEventFilter(this); }

    bool eventFilter(QObject*, QEvent*) override {
        look();
        return false;
    }

    // Every text shown, in order, each change once.
    const std::vector<std::string>& texts() {
        look();
        return texts_;
    }

private:
    void look() {
        // The label's own destruction sends events too: by then it is only a QWidget, no QLabel to
        // read (and no QLabel to cast to), so it is looked at only while it still is one.
        const auto* label = qobject_cast<const QLabel*>(label_.data());
        if (label == nullptr) {
            return;
        }
        std::string now = label->text().toStdString();
        if (texts_.empty() || texts_.back() != now) {
            texts_.push_back(std::move(now));
        }
    }

    QPointer<QObject> label_;
    std::vector<std::string> texts_;
};

}  // namespace velmora::e2e_test
