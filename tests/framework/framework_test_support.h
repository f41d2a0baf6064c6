// Small helpers for the framework's widget tests: forms made in code, real input events, and waiting
// for the UI thread without hanging a broken test.
#pragma once

#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>
#include <chrono>
#include <functional>
#include <thread>

#include "framework/dialog.h"

namespace velmora::test {

// Long enough for any event round trip on a loaded machine, short enough to fail a hung test soon.
inline constexpr std::chrono::seconds k_event_wait_limit{10};

template <class W>
W* add_control(QWidget* parent, int id) {
    auto* widget = new W(parent);
    widget->setProperty(k_ctrl_id_property, id);
    return widget;
}

// A form made in code instead of by uic: build_from takes it as a template whose setupUi runs `make`,
// which creates the controls (with their ids, see add_control) as children of the dialog.
struct CodeForm {
    std::function<void(Dialog&)> make;
    void setupUi(Dialog* dialog) { make(*dialog); }
};

inline void ids_given_by_make(CodeForm& /*form*/) {}

inline void build_in_code(Dialog& dialog, std::function<void(Dialog&)> make) {
    CodeForm form{std::move(make)};
    dialog.build_from(form, &ids_given_by_make);
}

// Processes UI events until `done` holds or the limit passes; returns whether it holds.
inline bool process_events_until(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + k_event_wait_limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

inline void send_mouse(QWidget* target, QEvent::Type type, QPoint point) {
    QMouseEvent event(type, QPointF(point), QPointF(target->mapToGlobal(point)), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

// A press and release in the middle of the widget, as a user's click.
inline void click(QWidget* target) {
    const QPoint centre = target->rect().center();
    send_mouse(target, QEvent::MouseButtonPress, centre);
    send_mouse(target, QEvent::MouseButtonRelease, centre);
}

// The events of a double click: press, release, double click, release.
inline void double_click(QWidget* target, QPoint point) {
    send_mouse(target, QEvent::MouseButtonPress, point);
    send_mouse(target, QEvent::MouseButtonRelease, point);
    send_mouse(target, QEvent::MouseButtonDblClick, point);
    send_mouse(target, QEvent::MouseButtonRelease, point);
}

inline void press_key(QWidget* target, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

}  // namespace velmora::test
