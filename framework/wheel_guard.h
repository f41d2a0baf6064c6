// Keeps the mouse wheel from changing a value the user is not working on. Over a drop-down list, a
// spin box, a slider or a tab row that does not have the keyboard focus, the wheel goes on to the
// widgets that hold the control (the host's scroll area scrolls the form) instead of changing the
// value. A control with the focus takes the wheel as usual. Scroll bars are left alone, so lists and
// open drop-downs scroll under the wheel as ever.
//
// Callers may rely on this:
// - `WheelGuard::install(root)` guards every such control inside `root` that exists at that moment,
//   nested dialogs included, and gives each one Qt::StrongFocus, so the wheel does not take the focus
//   either; installing again over the same controls guards each of them once;
// - a guarded control without the focus hands the wheel event to its parents, nearest first, until
//   one takes it, and changes nothing itself;
// - `is_guarded(control)` tells whether `control` is guarded.
#pragma once

#include <QObject>

class QEvent;
class QWidget;

namespace velmora {

class WheelGuard : public QObject {
    Q_OBJECT

public:
    static void install(QWidget* root);
    static bool is_guarded(const QWidget* control);
    // Whether the wheel changes what `control` holds: the controls the guard is for.
    static bool changes_value_on_wheel(const QWidget* control);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit WheelGuard(QObject* parent);
};

}  // namespace velmora
