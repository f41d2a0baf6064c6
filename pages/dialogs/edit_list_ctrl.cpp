#include "pages/dialogs/edit_list_ctrl.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QTableWidget>

#include "pages/dialogs/side_file_dlg.h"

namespace velmora {

namespace {

ReportList::Align report_align(ColumnAlign align) {
    return align == ColumnAlign::centre ? ReportList::Align::center : ReportList::Align::left;
}

}  // namespace

EditListCtrl::EditListCtrl(QTableWidget* table, EditableKeyList& model) : ReportList(table), model_(model) {
    set_grid_lines(true);
    set_full_row_select(true);
    // Tab leaves the list, or moves an open editor (key_down); it never walks the cells by itself.
    table->setTabKeyNavigation(false);
    int index = 0;
    for (const KeyColumn& column : model_.columns()) {
        insert_column(index++, std::string(column.name), report_align(column.align), column.width);
    }
    // Wherever the cells go, the edit box goes with its cell.
    for (QScrollBar* bar : {table->verticalScrollBar(), table->horizontalScrollBar()}) {
        connect(bar, &QScrollBar::valueChanged, this, &EditListCtrl::keep_editor_on_cell);
    }
    for (QHeaderView* header : {table->horizontalHeader(), table->verticalHeader()}) {
        connect(header, &QHeaderView::sectionResized, this, &EditListCtrl::keep_editor_on_cell);
        connect(header, &QHeaderView::geometriesChanged, this, &EditListCtrl::keep_editor_on_cell);
    }
}

void EditListCtrl::show_model() {
    const auto& rows = model_.rows();
    if (static_cast<std::size_t>(row_count()) != rows.size()) {
        delete_all_rows();
        for (std::size_t i = 0; i < rows.size(); ++i) {
            append_row();
        }
    }
    for (std::size_t row = 0; row < rows.size(); ++row) {
        for (std::size_t column = 0; column < rows[row].size(); ++column) {
            set_cell_text(static_cast<int>(row), static_cast<int>(column), rows[row][column]);
        }
    }
    if (model_.editor_cell().row >= 0) {
        show_editor_from_model();
    } else {
        hide_editor();
    }
}

void EditListCtrl::pull_editor_text() {
    if (editor() != nullptr && model_.editor_cell().row >= 0) {
        model_.set_editor_text(editor()->text().toStdString());
    }
}

bool EditListCtrl::OpenEditorAt(QPoint point) {
    last_double_click_ = point;
    const std::optional<Cell> hit = hit_test(point);
    if (!model_.open_editor_at(hit ? ListCell{hit->row, hit->column} : ListCell{})) {
        return false;
    }
    show_editor_from_model();
    return true;
}

std::optional<PageMessage> EditListCtrl::CommitEditor() {
    pull_editor_text();
    const ListCell cell = model_.editor_cell();
    if (auto refused = model_.commit_editor()) {
        show_editor_from_model();  // the user mends the text where it was typed
        return refused;
    }
    hide_editor();
    if (cell.row >= 0) {
        set_cell_text(cell.row, cell.column, model_.rows()[cell.row][cell.column]);
    }
    return std::nullopt;
}

bool EditListCtrl::commit_or_tell() {
    if (auto refused = CommitEditor()) {
        show_page_messages(table(), {*refused});
        show_editor_from_model();  // the box had the focus; the text waits to be typed over
        return false;
    }
    return true;
}

void EditListCtrl::cancel_editor() {
    model_.cancel_editor();
    hide_editor();
}

void EditListCtrl::left_button_down(QPoint) {
    if (editor() != nullptr) {
        commit_or_tell();
    }
}

void EditListCtrl::left_double_click(QPoint point) {
    // The press before a double click has committed an open editor, or shown why it could not; a
    // refused text stays in its editor rather than giving way to a new one.
    if (model_.editor_cell().row >= 0 && CommitEditor()) {
        return;
    }
    OpenEditorAt(point);
}

bool EditListCtrl::key_down(int key) {
    switch (key) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            commit_or_tell();
            return true;
        case Qt::Key_Escape:
            cancel_editor();
            return true;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            if (model_.editor_cell().row < 0) {
                return false;  // no editor: Tab moves on to the next control
            }
            move_editor(key == Qt::Key_Tab ? 1 : -1);
            return true;
        case Qt::Key_F2:
            double_click_current_cell();
            return true;
        default:
            return false;
    }
}

void EditListCtrl::show_editor_from_model() {
    const ListCell cell = model_.editor_cell();
    table()->scrollToItem(table()->item(cell.row, cell.column));
    show_editor_on(cell.row, cell.column);
    editor()->setText(QString::fromStdString(model_.editor_text()));
    // As in a double click's editor: typing replaces the code, it is not appended to it.
    editor()->selectAll();
}

void EditListCtrl::keep_editor_on_cell() {
    const ListCell cell = model_.editor_cell();
    if (editor() != nullptr && editor()->isVisible() && cell.row >= 0) {
        editor()->setGeometry(cell_rect(cell.row, cell.column));
    }
}

bool EditListCtrl::move_editor(int step) {
    const ListCell from = model_.editor_cell();
    if (!commit_or_tell()) {
        return false;
    }
    const int columns = column_count();
    // Cells in reading order; the next code cell after (or before) the one just committed.
    for (int index = from.row * columns + from.column + step; index >= 0 && index < row_count() * columns;
         index += step) {
        const ListCell cell{index / columns, index % columns};
        if (model_.is_editable_column(cell.column)) {
            table()->setCurrentCell(cell.row, cell.column);
            model_.open_editor_at(cell);
            last_double_click_ = cell_rect(cell.row, cell.column).center();
            show_editor_from_model();
            return true;
        }
    }
    return false;
}

void EditListCtrl::double_click_current_cell() {
    const int row = table()->currentRow();
    if (row < 0) {
        return;
    }
    // F2 in an open editor: what was typed there goes into its cell first, as a click would take it.
    if (model_.editor_cell().row >= 0 && !commit_or_tell()) {
        return;
    }
    int column = table()->currentColumn();
    // With whole rows selected, the row's first code cell stands for the row.
    if (!model_.is_editable_column(column)) {
        column = 0;
        while (column < column_count() && !model_.is_editable_column(column)) {
            ++column;
        }
    }
    if (column < column_count()) {
        table()->scrollToItem(table()->item(row, column));
        OpenEditorAt(cell_rect(row, column).center());
    }
    report_double_click();
}

}  // namespace velmora
