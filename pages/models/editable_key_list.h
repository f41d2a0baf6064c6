// One key list of the key map page without its window: rows of text cells, which columns can be
// edited, and the in-place editor: the cell it is open on, the text it holds, and the cell of the
// last double click.
//
// Callers may rely on:
// - Only editable columns open an editor; a double click elsewhere leaves an open editor as it was.
// - A commit writes the editor's text into its cell, changed or not, and closes the editor; a cancel
//   closes it and the cell keeps its text. With no editor open, neither writes anything.
// - A text that the list's cell check refuses is never written: the commit returns the check's
//   message and the editor stays open on its cell with the text, for the user to mend or drop. The
//   text the cell already holds is always taken back.
// - Writes never reach past the rows or columns the list has.
// - editor_cell() may be read from any thread (the get-key worker asks where a key would go); all
//   else belongs to the UI thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "pages/models/page_message.h"

namespace velmora {

// A cell of a list, or -1, -1 for none: no editor open, or a double click beside the cells.
struct ListCell {
    std::int32_t row = -1;
    std::int32_t column = -1;

    bool operator==(const ListCell&) const = default;
};

enum class ColumnAlign { left, centre };

struct KeyColumn {
    std::string_view name;
    ColumnAlign align;
    int width;  // pixels
    bool editable;
};

class EditableKeyList {
public:
    using Row = std::vector<std::string>;
    // Whether `text` may go into a cell of `column`: nothing when it may, else the message to show.
    using CellCheck = std::function<std::optional<PageMessage>(std::size_t column, std::string_view text)>;

    explicit EditableKeyList(std::span<const KeyColumn> columns) : columns_(columns) {}

    std::span<const KeyColumn> columns() const { return columns_; }
    bool is_editable_column(int column) const;

    // Every commit asks it first; without one, every text is taken.
    void set_cell_check(CellCheck check) { cell_check_ = std::move(check); }
    std::optional<PageMessage> check_cell(std::size_t column, std::string_view text) const;

    const std::vector<Row>& rows() const { return rows_; }
    // Empties the list and closes the editor, whose cell is gone.
    void clear();
    // A row of exactly as many cells as the list has columns: missing ones are empty, extra dropped.
    void append_row(Row row);
    // Ignored for a cell the list does not have.
    void set_cell(std::size_t row, std::size_t column, std::string text);

    // `hit` is the cell under a double click, or -1, -1 beside the cells; it is remembered as the
    // last double click either way. Returns whether an editor opened, showing the cell's text.
    bool open_editor_at(ListCell hit);
    // Nothing when the text went into its cell (or no editor was open); the check's message when the
    // text was refused and the editor stays open.
    std::optional<PageMessage> commit_editor();
    void cancel_editor();
    ListCell editor_cell() const;
    const std::string& editor_text() const { return editor_text_; }
    void set_editor_text(std::string text) { editor_text_ = std::move(text); }
    ListCell last_double_click() const { return last_double_click_; }

private:
    static constexpr std::uint64_t k_no_cell = ~std::uint64_t{0};
    static_assert(std::atomic<std::uint64_t>::is_always_lock_free);
    static std::uint64_t pack(ListCell cell);
    static ListCell unpack(std::uint64_t word);

    std::span<const KeyColumn> columns_;
    CellCheck cell_check_;
    std::vector<Row> rows_;
    // Row and column in one word, so that another thread never reads the row of one cell with the
    // column of another.
    std::atomic<std::uint64_t> editor_{k_no_cell};
    std::string editor_text_;
    ListCell last_double_click_;
};

}  // namespace velmora
