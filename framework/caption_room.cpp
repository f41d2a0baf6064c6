#include "framework/caption_room.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>

namespace velmora {

namespace {

// What a title bar holds beside its caption: close, maximise and minimise buttons, the window's icon
// and the margins between them, as the common window managers draw them.
constexpr int k_title_bar_furniture = 160;

}  // namespace

int caption_room(const QString& caption) {
    // Title bars draw their caption bold in the title font more often than not; that is the wider.
    QFont font = QApplication::font("QMdiSubWindowTitleBar");
    font.setBold(true);
    return QFontMetrics(font).horizontalAdvance(caption) + k_title_bar_furniture;
}

void keep_caption_whole(QMessageBox& box) {
    // The box fixes its own size from its layout's minimum when it shows; an empty row as wide as the
    // caption needs is what that size then takes in.
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (grid == nullptr) {
        return;
    }
    grid->addItem(
        new QSpacerItem(caption_room(box.windowTitle()), 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
        grid->rowCount(), 0, 1, grid->columnCount());
}

}  // namespace velmora
