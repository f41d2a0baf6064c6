#include "plugin/view_placement.h"

#include <QLayout>
#include <QScrollArea>
#include <QVBoxLayout>
#include <QWidget>

namespace velmora {

namespace {

bool scrolls_already(const QWidget* widget) {
    for (; widget != nullptr; widget = widget->parentWidget()) {
        if (qobject_cast<const QScrollArea*>(widget) != nullptr) {
            return true;
        }
    }
    return false;
}

}  // namespace

QScrollArea* make_scroll_area_for_view(QWidget* parent) {
    if (parent == nullptr || scrolls_already(parent)) {
        return nullptr;
    }
    QLayout* layout = parent->layout();
    if (layout == nullptr) {
        layout = new QVBoxLayout(parent);
        layout->setContentsMargins(0, 0, 0, 0);
    }
    auto* area = new QScrollArea(parent);
    // The form grows with a larger pane and keeps its minimum size in a smaller one, which scrolls.
    area->setWidgetResizable(true);
    layout->addWidget(area);
    return area;
}

}  // namespace velmora
