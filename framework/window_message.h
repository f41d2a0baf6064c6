// Posted window messages between pages, the main view and worker threads.
//
// `post_message(target, message)` queues `message` for `target` and returns at once; the dialog's
// message map (`Dialog::on_message`) runs the handler later on the UI thread, never inside the call,
// even when the caller is the UI thread itself. Callers may rely on:
// - it is safe from any thread;
// - messages to one dialog arrive in the order they were posted;
// - a message to a dialog that is destroyed before (or after) posting is dropped without harm; the
//   call then returns false. (A destroyed dialog's address taken again by a new dialog would receive
//   the message, as a reused window handle would.)
// Messages carry no parameters (wParam and lParam are always 0), and the framework gives no number a
// meaning: the application chooses them.
#pragma once

#include <QEvent>

namespace velmora {

class Dialog;

// Queues `message` for `target`. Returns false when `target` is null or not a live dialog.
bool post_message(Dialog* target, int message);

// The Qt event that carries a posted message; only `Dialog` needs to know it.
class MessageEvent : public QEvent {
public:
    explicit MessageEvent(int message);
    int message() const { return message_; }
    static QEvent::Type event_type();

private:
    int message_;
};

namespace detail {
// Dialogs enter this list when constructed and leave it when destroyed, so that a post from a worker
// thread never reaches a dialog that is gone.
void register_live_dialog(Dialog* dialog);
void unregister_live_dialog(Dialog* dialog);
// Called by a dialog as a posted message arrives. Qt's queue already orders what the poster did
// before post_message before the handler; taking the posters' lock here says so in terms that the
// thread sanitizer sees too, as it cannot see into Qt's own lock.
void acquire_posted_message();
}  // namespace detail

}  // namespace velmora
