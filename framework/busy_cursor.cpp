#include "framework/busy_cursor.h"

#include <QApplication>
#include <QCursor>

namespace velmora {

BusyCursor::BusyCursor() {
    show();
}

BusyCursor::~BusyCursor() {
    restore();
}

void BusyCursor::show() {
    if (!shown_) {
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        shown_ = true;
    }
}

void BusyCursor::restore() {
    if (shown_) {
        QApplication::restoreOverrideCursor();
        shown_ = false;
    }
}

}  // namespace velmora
