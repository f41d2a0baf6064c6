// Message boxes of the system, shown through a replaceable presenter.
//
// `message_box(owner, text, caption, buttons)` shows a modal box and returns the button pressed.
// Callers may rely on:
// - an empty caption means the application's own caption, `application_caption()`, which is
//   QGuiApplication::applicationDisplayName(): the host's name, because a plug-in's boxes belong to
//   the host's window. The presenter receives the caption already resolved;
// - a box with only OK answers `MessageResult::ok`; Retry/Cancel answers retry or cancel (closing the
//   box or Escape is cancel);
// - called from a worker thread, the box is shown on the UI thread and the caller waits for the answer
//   (see call_on_ui_thread.h for the deadlock rule). If the UI thread can no longer show it (the application
//   is quitting), nothing is shown and the answer is the box's "give up" one: ok for an OK box, cancel for
//   Retry/Cancel;
// - `owner` may be null; it must stay alive until the call returns;
// - a box is wide enough for its whole caption (caption_room.h).
//
// Tests replace the presenter to record what would be shown and to answer it:
//     RecordingPresenter recorder;                  // derives from MessagePresenter
//     auto* previous = set_message_presenter(&recorder);
//     ... run the code under test ...
//     set_message_presenter(previous);
#pragma once

#include <string>

class QWidget;

namespace velmora {

enum class MessageButtons { ok, retry_cancel };
enum class MessageResult { ok, retry, cancel };

class MessagePresenter {
public:
    virtual ~MessagePresenter() = default;
    // Called on the UI thread only, with the caption already resolved.
    virtual MessageResult present(QWidget* owner, const std::string& text, const std::string& caption,
                                  MessageButtons buttons) = 0;
};

MessageResult message_box(QWidget* owner, const std::string& text, const std::string& caption = {},
                          MessageButtons buttons = MessageButtons::ok);

// The caption that an empty caption stands for.
std::string application_caption();

// Installs `presenter` (not owned; nullptr restores the QMessageBox one) and returns the one installed
// before (nullptr when that was the QMessageBox one). UI thread only.
MessagePresenter* set_message_presenter(MessagePresenter* presenter);

}  // namespace velmora
