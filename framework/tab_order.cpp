#include "framework/tab_order.h"

#include <QBoxLayout>
#include <QDialog>
#include <QFormLayout>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QLayout>
#include <QStackedWidget>
#include <QTabWidget>
#include <QWidget>
#include <algorithm>
#include <set>
#include <utility>

namespace velmora {

namespace {

// Widgets whose children are controls of the form, not parts of one control.
bool is_container(const QWidget* widget) {
    const QMetaObject* kind = widget->metaObject();
    return kind == &QWidget::staticMetaObject || kind == &QFrame::staticMetaObject ||
           qobject_cast<const QGroupBox*>(widget) != nullptr ||
           qobject_cast<const QTabWidget*>(widget) != nullptr ||
           qobject_cast<const QStackedWidget*>(widget) != nullptr ||
           qobject_cast<const QDialog*>(widget) != nullptr;
}

bool takes_tab(const QWidget* widget) {
    return (widget->focusPolicy() & Qt::TabFocus) != 0;
}

class Reader {
public:
    std::vector<QWidget*> stops;

    void read_children(QWidget* parent) {
        if (QLayout* layout = parent->layout()) {
            read_layout(layout);
        }
        // What no layout places is read by its place.
        std::vector<QWidget*> placed_by_hand;
        for (QObject* child : parent->children()) {
            auto* widget = qobject_cast<QWidget*>(child);
            if (widget != nullptr && !widget->isWindow() && !seen_.contains(widget)) {
                placed_by_hand.push_back(widget);
            }
        }
        for (QWidget* widget : in_rows(std::move(placed_by_hand))) {
            read_widget(widget);
        }
    }

private:
    std::set<const QWidget*> seen_;

    void read_widget(QWidget* widget) {
        seen_.insert(widget);
        const bool container = is_container(widget);
        // A tab control's own focus goes to its tab row, which is read as its child.
        if (takes_tab(widget) && qobject_cast<QTabWidget*>(widget) == nullptr) {
            stops.push_back(widget);
        }
        if (container) {
            read_children(widget);
        }
    }

    void read_layout(QLayout* layout) {
        struct Item {
            std::pair<int, int> place;
            QLayoutItem* item;
        };
        std::vector<Item> items;
        const auto* box = qobject_cast<QBoxLayout*>(layout);
        const bool reversed = box != nullptr && (box->direction() == QBoxLayout::RightToLeft ||
                                                 box->direction() == QBoxLayout::BottomToTop);
        for (int index = 0; index < layout->count(); ++index) {
            std::pair<int, int> place{0, reversed ? layout->count() - index : index};
            if (auto* grid = qobject_cast<QGridLayout*>(layout)) {
                int row = 0, column = 0, row_span = 0, column_span = 0;
                grid->getItemPosition(index, &row, &column, &row_span, &column_span);
                place = {row, column};
            } else if (auto* form = qobject_cast<QFormLayout*>(layout)) {
                int row = 0;
                QFormLayout::ItemRole role = QFormLayout::LabelRole;
                form->getItemPosition(index, &row, &role);
                place = {row, role == QFormLayout::FieldRole ? 1 : 0};
            }
            items.push_back({place, layout->itemAt(index)});
        }
        std::stable_sort(items.begin(), items.end(),
                         [](const Item& a, const Item& b) { return a.place < b.place; });
        for (const Item& each : items) {
            if (QWidget* widget = each.item->widget()) {
                read_widget(widget);
            } else if (QLayout* inner = each.item->layout()) {
                read_layout(inner);
            }
        }
    }

    // Rows of widgets placed by hand: a widget joins the row while its vertical middle lies above
    // the bottom of every widget in it. Widgets without stops (frames drawn around others) are left
    // out, or a group box would make one row of everything it surrounds.
    static std::vector<QWidget*> in_rows(std::vector<QWidget*> widgets) {
        std::erase_if(widgets, [](QWidget* widget) { return !has_stops(widget); });
        std::stable_sort(widgets.begin(), widgets.end(),
                         [](const QWidget* a, const QWidget* b) { return a->y() < b->y(); });
        std::size_t row_begin = 0;
        while (row_begin < widgets.size()) {
            int row_bottom = widgets[row_begin]->geometry().bottom();
            std::size_t row_end = row_begin + 1;
            while (row_end < widgets.size() && widgets[row_end]->geometry().center().y() <= row_bottom) {
                row_bottom = std::min(row_bottom, widgets[row_end]->geometry().bottom());
                ++row_end;
            }
            std::stable_sort(widgets.begin() + static_cast<std::ptrdiff_t>(row_begin),
                             widgets.begin() + static_cast<std::ptrdiff_t>(row_end),
                             [](const QWidget* a, const QWidget* b) { return a->x() < b->x(); });
            row_begin = row_end;
        }
        return widgets;
    }

    static bool has_stops(QWidget* widget) {
        if (takes_tab(widget) && qobject_cast<QTabWidget*>(widget) == nullptr) {
            return true;
        }
        return is_container(widget) && !tab_stops_by_position(widget).empty();
    }
};

}  // namespace

std::vector<QWidget*> tab_stops_by_position(QWidget* root) {
    Reader reader;
    if (root != nullptr) {
        reader.read_children(root);
    }
    return reader.stops;
}

void set_tab_order_by_position(QWidget* root) {
    const std::vector<QWidget*> stops = tab_stops_by_position(root);
    for (std::size_t index = 1; index < stops.size(); ++index) {
        QWidget::setTabOrder(stops[index - 1], stops[index]);
    }
}

}  // namespace velmora
