#include "framework/wheel_guard.h"

#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QScrollBar>
#include <QTabBar>
#include <QWheelEvent>
#include <QWidget>

namespace velmora {

namespace {

// Marks a guarded control, so a second install over the same form adds no second filter.
constexpr char k_guarded_property[] = "velmoraWheelGuarded";

}  // namespace

WheelGuard::WheelGuard(QObject* parent) : QObject(parent) {}

bool WheelGuard::changes_value_on_wheel(const QWidget* control) {
    // A scroll bar moves the view of the list or drop-down it belongs to, never a value of the form,
    // and a list takes the wheel through its scroll bar: guarded, no list would scroll without the focus.
    if (qobject_cast<const QScrollBar*>(control) != nullptr) {
        return false;
    }
    return qobject_cast<const QComboBox*>(control) != nullptr ||
           qobject_cast<const QAbstractSpinBox*>(control) != nullptr ||
           qobject_cast<const QAbstractSlider*>(control) != nullptr ||
           qobject_cast<const QTabBar*>(control) != nullptr;
}

void WheelGuard::install(QWidget* root) {
    if (root == nullptr) {
        return;
    }
    // One filter per root serves all its controls and goes with it.
    auto* guard = root->findChild<WheelGuard*>(QString(), Qt::FindDirectChildrenOnly);
    if (guard == nullptr) {
        guard = new WheelGuard(root);
    }
    for (QWidget* control : root->findChildren<QWidget*>()) {
        if (!changes_value_on_wheel(control) || is_guarded(control)) {
            continue;
        }
        // The default wheel focus would let a passing wheel take the focus and then the value.
        if ((control->focusPolicy() & Qt::WheelFocus) == Qt::WheelFocus) {
            control->setFocusPolicy(Qt::StrongFocus);
        }
        control->installEventFilter(guard);
        control->setProperty(k_guarded_property, true);
    }
}

bool WheelGuard::is_guarded(const QWidget* control) {
    return control != nullptr && control->property(k_guarded_property).toBool();
}

bool WheelGuard::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Wheel) {
        return false;
    }
    auto* control = qobject_cast<QWidget*>(watched);
    if (control == nullptr || control->hasFocus()) {
        return false;
    }
    // The wheel goes to the parents as if the control were not there, until one takes it (the scroll
    // area holding the form). Done here rather than left to Qt, which passes on only the wheel events
    // of the window system, not those sent by code.
    const auto* wheel = static_cast<QWheelEvent*>(event);
    QPointF position = wheel->position();
    bool taken = false;
    for (QWidget* at = control; !taken && !at->isWindow() && at->parentWidget() != nullptr;) {
        position += at->pos();
        at = at->parentWidget();
        QWheelEvent passed(position, wheel->globalPosition(), wheel->pixelDelta(), wheel->angleDelta(),
                           wheel->buttons(), wheel->modifiers(), wheel->phase(), wheel->inverted(),
                           wheel->source(), wheel->pointingDevice());
        passed.ignore();
        QCoreApplication::sendEvent(at, &passed);
        taken = passed.isAccepted();
    }
    // Accepted either way: the control has been passed by, and Qt must not pass the wheel on again.
    event->accept();
    return true;
}

}  // namespace velmora
