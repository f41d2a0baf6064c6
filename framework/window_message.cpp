#include "framework/window_message.h"

#include <QCoreApplication>
#include <mutex>
#include <unordered_set>

#include "framework/dialog.h"

namespace velmora {

namespace {

// The lock makes "is it alive" and "queue the event" one step against the dialog's destructor, which
// leaves the list under the same lock before Qt throws away the dialog's queued events.
struct LiveDialogs {
    std::mutex lock;
    std::unordered_set<const Dialog*> dialogs;
};

LiveDialogs& live_dialogs() {
    static LiveDialogs live;
    return live;
}

}  // namespace

MessageEvent::MessageEvent(int message) : QEvent(event_type()), message_(message) {}

QEvent::Type MessageEvent::event_type() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

bool post_message(Dialog* target, int message) {
    if (target == nullptr) {
        return false;
    }
    auto& live = live_dialogs();
    std::lock_guard guard(live.lock);
    if (!live.dialogs.contains(target)) {
        return false;
    }
    QCoreApplication::postEvent(target, new MessageEvent(message));
    return true;
}

namespace detail {

void register_live_dialog(Dialog* dialog) {
    auto& live = live_dialogs();
    std::lock_guard guard(live.lock);
    live.dialogs.insert(dialog);
}

void unregister_live_dialog(Dialog* dialog) {
    auto& live = live_dialogs();
    std::lock_guard guard(live.lock);
    live.dialogs.erase(dialog);
}

void acquire_posted_message() {
    std::lock_guard guard(live_dialogs().lock);
}

}  // namespace detail

}  // namespace velmora
