// A ring around the control that has the keyboard focus, the same in every style.
//
// Styles mark the focus each in their own way, some hardly at all: a read-only text view, a tab bar or
// a check box may show nothing a user can find. Once installed (install(), once per process, by the
// host's window), every control the keyboard brings the focus to (Tab, Shift+Tab, a shortcut) gets a
// ring drawn in the palette's highlight colour just outside its edges, in the plug-ins' forms and
// dialogs too. Keyboard use begins with a Tab key, and a mouse press ends it and hides the ring until
// the next Tab; a program that moves the focus shows the ring only while the keyboard is in use.
//
// Callers may rely on: the ring takes no focus, no mouse and no place in any layout; it follows its
// control when it moves, resizes, hides or scrolls with its parent, and goes when the control goes.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

namespace velmora::host_app {

class FocusRing : public QObject {
public:
    // How far outside its control the ring lies, and how thick it is.
    static constexpr int k_gap = 2;
    static constexpr int k_width = 2;

    // Watches the whole application; the first call makes the ring, later ones do nothing.
    static FocusRing& install();
    // The control the ring is shown around now, or null.
    QWidget* ringed() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    FocusRing();
    void ring(QWidget* target);
    void place();
    void hide_ring();

    QPointer<QWidget> target_;
    QPointer<QWidget> frame_;
    bool keyboard_ = false;
};

}  // namespace velmora::host_app
