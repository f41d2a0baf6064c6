// A report-style list (a QTableWidget from a template) with the pieces of in-place cell editing.
//
// Attach one to a template's table: `auto* list = new ReportList(dialog.control_as<QTableWidget>(1200));`
// It becomes a child of the table and lives as long as the table. It sets report style on the table
// (no editing by Qt itself, no row headers, one selection at a time; grid lines and full-row
// selection stay as the template has them until set_grid_lines / set_full_row_select) and offers
// columns, rows, cell texts, hit tests and one in-place edit box. Subclasses decide the editing
// rules through three hooks, called on the UI thread before the table sees the event:
//     left_button_down(point)   a left button press in the cells area, before selection
//     left_double_click(point)  a left double click in the cells area; after it the owner dialog's
//                               on_notify(id, NotifyKind::double_click) handler runs, then the
//                               table's own handling; so the owner already sees what the hook did
//     key_down(key)             a key pressed while the table or its edit box has the focus
//                               (a Qt::Key); return true to swallow it, so it reaches neither the
//                               table, the edit box nor the dialog
// The double-click notification goes to the nearest Dialog that holds the table, with the table's
// ctrlId, whether or not the click hit a cell. Points are in the cells area's coordinates (the
// table's viewport), where a list's client coordinates would be.
//
// The edit box: a QLineEdit child of the cells area, made by `ensure_editor()` hidden, with the
// table's font; `show_editor_on(row, column)` puts the cell's text into it, lays it over the cell,
// gives it the focus and shows it; `hide_editor()` hides it. Writing its text back is the subclass's
// business (set_cell_text). Texts are UTF-8.
#pragma once

#include <QObject>
#include <QPoint>
#include <QRect>
#include <optional>
#include <string>
#include <vector>

class QLineEdit;
class QTableWidget;

namespace velmora {

class ReportList : public QObject {
    Q_OBJECT

public:
    struct Cell {
        int row;
        int column;
        bool operator==(const Cell&) const = default;
    };
    enum class Align { left, center, right };

    explicit ReportList(QTableWidget* table);
    ~ReportList() override;

    QTableWidget* table() const { return table_; }
    int control_id() const;

    void set_grid_lines(bool on);
    void set_full_row_select(bool on);

    // Inserts a column at `index` with its heading; cells later set in it take its alignment.
    void insert_column(int index, const std::string& heading, Align align, int width);
    int column_count() const;
    int row_count() const;
    int append_row();  // a row of empty cells at the end; returns its index
    void delete_all_rows();
    // Empty for a cell out of range or never set.
    std::string cell_text(int row, int column) const;
    // Ignored for a cell out of range.
    void set_cell_text(int row, int column, const std::string& text);

    // The cell under `point`, or nothing when there is none (outside the rows, on no column).
    std::optional<Cell> hit_test(QPoint point) const;
    // The cell's bounding rectangle; empty for a cell out of range.
    QRect cell_rect(int row, int column) const;

    QLineEdit* editor() const { return editor_; }  // null until ensure_editor()
    QLineEdit* ensure_editor();
    void show_editor_on(int row, int column);
    void hide_editor();

protected:
    virtual void left_button_down(QPoint point);
    virtual void left_double_click(QPoint point);
    virtual bool key_down(int key);

    bool eventFilter(QObject* watched, QEvent* event) override;
    // Tells the owner dialog of a double click, as a real one does after left_double_click.
    void report_double_click();

private:
    QTableWidget* table_;
    QWidget* viewport_;
    QLineEdit* editor_ = nullptr;
    std::vector<Align> column_align_;
};

}  // namespace velmora
