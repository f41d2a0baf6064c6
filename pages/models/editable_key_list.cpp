#include "pages/models/editable_key_list.h"

#include <utility>

namespace velmora {

namespace {

constexpr unsigned k_row_shift = 32;

}  // namespace

std::uint64_t EditableKeyList::pack(ListCell cell) {
    return (std::uint64_t{static_cast<std::uint32_t>(cell.row)} << k_row_shift) |
           static_cast<std::uint32_t>(cell.column);
}

ListCell EditableKeyList::unpack(std::uint64_t word) {
    return {static_cast<std::int32_t>(static_cast<std::uint32_t>(word >> k_row_shift)),
            static_cast<std::int32_t>(static_cast<std::uint32_t>(word))};
}

bool EditableKeyList::is_editable_column(int column) const {
    return column >= 0 && static_cast<std::size_t>(column) < columns_.size() && columns_[column].editable;
}

void EditableKeyList::clear() {
    rows_.clear();
    editor_.store(k_no_cell);
}

void EditableKeyList::append_row(Row row) {
    row.resize(columns_.size());
    rows_.push_back(std::move(row));
}

void EditableKeyList::set_cell(std::size_t row, std::size_t column, std::string text) {
    if (row < rows_.size() && column < columns_.size()) {
        rows_[row][column] = std::move(text);
    }
}

bool EditableKeyList::open_editor_at(ListCell hit) {
    last_double_click_ = hit;
    if (hit.row < 0 || static_cast<std::size_t>(hit.row) >= rows_.size() || !is_editable_column(hit.column)) {
        return false;
    }
    editor_text_ = rows_[hit.row][hit.column];
    editor_.store(pack(hit));
    return true;
}

std::optional<PageMessage> EditableKeyList::check_cell(std::size_t column, std::string_view text) const {
    return cell_check_ ? cell_check_(column, text) : std::nullopt;
}

std::optional<PageMessage> EditableKeyList::commit_editor() {
    const ListCell cell = editor_cell();
    if (cell.row >= 0 && is_editable_column(cell.column)) {
        // A text the cell already holds goes back unchecked: an empty cell of a row that only the
        // other table gave stays as it was when its editor closes untouched.
        const bool unchanged =
            static_cast<std::size_t>(cell.row) < rows_.size() && rows_[cell.row][cell.column] == editor_text_;
        if (auto refused =
                unchanged ? std::nullopt : check_cell(static_cast<std::size_t>(cell.column), editor_text_)) {
            return refused;
        }
        set_cell(static_cast<std::size_t>(cell.row), static_cast<std::size_t>(cell.column), editor_text_);
    }
    editor_.store(k_no_cell);
    return std::nullopt;
}

void EditableKeyList::cancel_editor() {
    editor_.store(k_no_cell);
}

ListCell EditableKeyList::editor_cell() const {
    return unpack(editor_.load());
}

}  // namespace velmora
