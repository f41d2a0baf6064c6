#include "framework/report_list.h"

#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QTableWidget>
#include <algorithm>

#include "framework/dialog.h"

namespace velmora {

namespace {

Qt::Alignment qt_alignment(ReportList::Align align) {
    switch (align) {
        case ReportList::Align::center:
            return Qt::AlignHCenter | Qt::AlignVCenter;
        case ReportList::Align::right:
            return Qt::AlignRight | Qt::AlignVCenter;
        case ReportList::Align::left:
            break;
    }
    return Qt::AlignLeft | Qt::AlignVCenter;
}

// The edit box's place before it is first laid over a cell.
constexpr QRect k_editor_start_rect(0, 0, 100, 20);
// Pixels of a row above its text's height.
constexpr int k_row_padding = 6;

}  // namespace

ReportList::ReportList(QTableWidget* table) : QObject(table), table_(table), viewport_(table->viewport()) {
    // Grid lines and full-row selection stay as the template made them.
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setWordWrap(false);
    // Rows as high as a line of text, as report lists have them, so that a list shows many rows.
    QHeaderView* rows = table_->verticalHeader();
    rows->hide();
    rows->setMinimumSectionSize(0);
    rows->setDefaultSectionSize(table_->fontMetrics().height() + k_row_padding);
    table_->installEventFilter(this);
    viewport_->installEventFilter(this);
}

ReportList::~ReportList() = default;

int ReportList::control_id() const {
    return Dialog::control_id(table_);
}

void ReportList::set_grid_lines(bool on) {
    table_->setShowGrid(on);
}

void ReportList::set_full_row_select(bool on) {
    table_->setSelectionBehavior(on ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
}

void ReportList::insert_column(int index, const std::string& heading, Align align, int width) {
    index = std::clamp(index, 0, column_count());
    table_->insertColumn(index);
    auto* header = new QTableWidgetItem(QString::fromStdString(heading));
    header->setTextAlignment(qt_alignment(align));
    table_->setHorizontalHeaderItem(index, header);
    table_->setColumnWidth(index, width);
    column_align_.insert(column_align_.begin() + index, align);
}

int ReportList::column_count() const {
    return table_->columnCount();
}

int ReportList::row_count() const {
    return table_->rowCount();
}

int ReportList::append_row() {
    const int row = table_->rowCount();
    table_->insertRow(row);
    return row;
}

void ReportList::delete_all_rows() {
    table_->setRowCount(0);
}

std::string ReportList::cell_text(int row, int column) const {
    const QTableWidgetItem* item = table_->item(row, column);
    return item == nullptr ? std::string{} : item->text().toStdString();
}

void ReportList::set_cell_text(int row, int column, const std::string& text) {
    if (row < 0 || row >= row_count() || column < 0 || column >= column_count()) {
        return;
    }
    if (QTableWidgetItem* item = table_->item(row, column)) {
        item->setText(QString::fromStdString(text));
        return;
    }
    auto* item = new QTableWidgetItem(QString::fromStdString(text));
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    const auto column_index = static_cast<std::size_t>(column);
    item->setTextAlignment(
        qt_alignment(column_index < column_align_.size() ? column_align_[column_index] : Align::left));
    table_->setItem(row, column, item);
}

std::optional<ReportList::Cell> ReportList::hit_test(QPoint point) const {
    const QModelIndex index = table_->indexAt(point);
    if (!index.isValid()) {
        return std::nullopt;
    }
    return Cell{index.row(), index.column()};
}

QRect ReportList::cell_rect(int row, int column) const {
    if (row < 0 || row >= row_count() || column < 0 || column >= column_count()) {
        return {};
    }
    return table_->visualRect(table_->model()->index(row, column));
}

QLineEdit* ReportList::ensure_editor() {
    if (editor_ == nullptr) {
        editor_ = new QLineEdit(table_->viewport());
        editor_->hide();
        editor_->setGeometry(k_editor_start_rect);
        editor_->setFont(table_->font());
        editor_->installEventFilter(this);
    }
    return editor_;
}

void ReportList::show_editor_on(int row, int column) {
    QLineEdit* editor = ensure_editor();
    editor->setText(QString::fromStdString(cell_text(row, column)));
    editor->setGeometry(cell_rect(row, column));
    editor->show();
    editor->raise();
    editor->setFocus();
}

void ReportList::hide_editor() {
    if (editor_ == nullptr) {
        return;
    }
    // Hiding a focused widget would pass the focus on to the next control of the dialog; the list
    // keeps it instead.
    if (editor_->hasFocus()) {
        table_->setFocus();
    }
    editor_->hide();
}

void ReportList::left_button_down(QPoint) {}

void ReportList::left_double_click(QPoint) {}

bool ReportList::key_down(int) {
    return false;
}

bool ReportList::eventFilter(QObject* watched, QEvent* event) {
    // Compared by address only: the table is still sending events while it is being torn down.
    if (watched == viewport_) {
        const bool press = event->type() == QEvent::MouseButtonPress;
        const bool double_click = event->type() == QEvent::MouseButtonDblClick;
        if (press || double_click) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() != Qt::LeftButton) {
                return false;
            }
            const QPoint point = mouse->position().toPoint();
            if (press) {
                left_button_down(point);
                return false;
            }
            QPointer<QWidget> viewport = viewport_;
            left_double_click(point);
            report_double_click();
            // The owner may have torn the list down; then nothing is left to handle the click.
            return viewport.isNull();
        }
        return false;
    }
    if ((watched == table_ || watched == editor_) && event->type() == QEvent::KeyPress) {
        // A key that the edit box leaves unused travels on to the list; it was offered to key_down
        // when the edit box had it.
        if (watched == table_ && editor_ != nullptr && editor_->hasFocus()) {
            return false;
        }
        return key_down(static_cast<QKeyEvent*>(event)->key());
    }
    return false;
}

void ReportList::report_double_click() {
    for (QWidget* widget = table_->parentWidget(); widget != nullptr; widget = widget->parentWidget()) {
        if (auto* dialog = qobject_cast<Dialog*>(widget)) {
            dialog->notify(control_id(), NotifyKind::double_click);
            return;
        }
    }
}

}  // namespace velmora
