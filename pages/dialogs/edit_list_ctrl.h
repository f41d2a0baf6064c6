// A key list of the key map page as the user sees it: a report list whose code cells are edited in
// place, over an EditableKeyList that holds the rows and the editor's state.
//
// How it behaves:
// - A double click on a code cell (any column but 0 and 2) lays the edit box over the cell with its
//   text, gives it the focus and shows it; the owner dialog hears of the double click afterwards, so
//   it already sees the new editor cell. A double click on a name cell or beside the cells opens
//   nothing and leaves an open editor where it is.
// - Enter writes the edit box's text into its cell (unchanged text too) and closes the editor;
//   Escape closes it and the cell keeps its text. Both are taken whether or not an editor is open,
//   so they never reach the dialog. A button press in the list commits first, then selects.
// - A text that the cell refuses (the model's cell check) is never written: the list shows the
//   check's message, and the editor stays open on its cell with the text selected, so the next key
//   typed replaces it; only Escape drops it. Enter, a click, Tab and F2 all keep to this.
// - An editor opened by a double click, F2, Tab or the owner shows its cell's text selected.
// - Tab and Shift+Tab commit and open the editor on the next or previous code cell, row by row; at
//   either end the editor closes and the focus stays on the list. F2 acts as a double click on the
//   current cell, so the keyboard reaches every cell the mouse does.
// - The edit box stays on its cell when the list scrolls or its columns change width.
// Callers may rely on:
// - The model is the state: the list shows it after show_model(), and every commit or cancel goes
//   into it at once. The text typed into an open edit box reaches the model on a commit, or when the
//   owner calls pull_editor_text() (before it changes the model by other means and shows it again).
// - Everything here runs on the UI thread; the model's editor cell may be read from any thread.
#pragma once

#include <QPoint>
#include <optional>

#include "framework/report_list.h"
#include "pages/models/editable_key_list.h"
#include "pages/models/page_message.h"

class QTableWidget;

namespace velmora {

class EditListCtrl : public ReportList {
    Q_OBJECT

public:
    // Attaches to `table` with the model's columns, grid lines and full-row selection. `model`
    // outlives the list.
    EditListCtrl(QTableWidget* table, EditableKeyList& model);

    // The model's rows into the table, and its editor shown (with the model's editor text) or hidden.
    void show_model();
    // The open edit box's text into the model, without closing it.
    void pull_editor_text();

    // Remembers `point` (the cells area's coordinates) as the last double click and opens the editor
    // on the code cell under it. Returns whether an editor opened.
    bool OpenEditorAt(QPoint point);
    // The edit box's text into its cell, and the editor closed. When the cell refuses the text, the
    // editor stays open with it selected and the refusal is returned, not shown: the owner shows it.
    std::optional<PageMessage> CommitEditor();
    // CommitEditor, with a refusal shown in a box owned by the list and the editor given the focus
    // back. Returns whether the text went into its cell (or no editor was open).
    bool commit_or_tell();
    // The editor closed, its text dropped.
    void cancel_editor();

    ListCell editor_cell() const { return model_.editor_cell(); }
    QPoint last_double_click_point() const { return last_double_click_; }

protected:
    void left_button_down(QPoint point) override;
    void left_double_click(QPoint point) override;
    bool key_down(int key) override;

private:
    void show_editor_from_model();
    void keep_editor_on_cell();
    // Commits and opens the editor `step` code cells on (1 or -1); returns whether one opened.
    bool move_editor(int step);
    void double_click_current_cell();

    EditableKeyList& model_;
    QPoint last_double_click_;
};

}  // namespace velmora
