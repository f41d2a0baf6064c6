#include "tools/velmora-host/focus_ring.h"

#include <QApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QPainter>

namespace velmora::host_app {

namespace {

// The ring itself: a frame laid over its control's edges that lets every click through.
class RingFrame : public QWidget {
public:
    RingFrame() {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
        setObjectName(QStringLiteral("focus_ring"));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        QPen pen(palette().color(QPalette::Active, QPalette::Highlight), FocusRing::k_width);
        pen.setJoinStyle(Qt::MiterJoin);
        painter.setPen(pen);
        const int half = FocusRing::k_width / 2;
        painter.drawRect(rect().adjusted(half, half, -half - 1, -half - 1));
    }
};

}  // namespace

FocusRing& FocusRing::install() {
    // Lives as long as the application; deleted with it.
    static FocusRing* ring = new FocusRing;
    return *ring;
}

FocusRing::FocusRing() : QObject(QCoreApplication::instance()) {
    QCoreApplication::instance()->installEventFilter(this);
}

QWidget* FocusRing::ringed() const {
    return frame_ != nullptr && frame_->isVisible() ? target_.data() : nullptr;
}

bool FocusRing::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress: {
            // Only the keys themselves: Qt also moves the focus "by Tab" when it disables or hides the
            // control that had it, which is no keyboard use.
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Tab || key == Qt::Key_Backtab) {
                keyboard_ = true;
            }
            break;
        }
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            keyboard_ = false;
            hide_ring();
            break;
        case QEvent::FocusIn: {
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason == Qt::MouseFocusReason) {
                keyboard_ = false;
            } else if (reason == Qt::ShortcutFocusReason) {
                keyboard_ = true;
            }
            auto* widget = qobject_cast<QWidget*>(watched);
            // The widget that holds the focus now; a part of a control hands it on to the control.
            if (keyboard_ && widget != nullptr && widget == QApplication::focusWidget()) {
                ring(widget);
            }
            break;
        }
        case QEvent::FocusOut:
            if (watched == target_) {
                hide_ring();
            }
            break;
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Show:
            if (watched == target_ && frame_ != nullptr && frame_->isVisible()) {
                place();
            }
            break;
        case QEvent::Hide:
            if (watched == target_) {
                hide_ring();
            }
            break;
        default:
            break;
    }
    return false;
}

void FocusRing::ring(QWidget* target) {
    QWidget* parent = target->parentWidget();
    if (parent == nullptr || target->isWindow()) {
        hide_ring();
        return;
    }
    if (frame_ == nullptr) {
        frame_ = new RingFrame;
    }
    target_ = target;
    if (frame_->parentWidget() != parent) {
        frame_->setParent(parent);
    }
    place();
    frame_->show();
}

void FocusRing::place() {
    const int out = k_gap + k_width;
    frame_->setGeometry(target_->geometry().adjusted(-out, -out, out, out));
    frame_->raise();
}

void FocusRing::hide_ring() {
    if (frame_ != nullptr) {
        frame_->hide();
    }
    target_ = nullptr;
}

}  // namespace velmora::host_app
