// Compares a template built by its uic class with a table of the controls it must hold: the id, the
// kind of control, its text, the items of a combo in order, whether it keeps its items sorted and
// whether it starts hidden. Every difference is reported as a GoogleTest failure.
#pragma once

#include <QWidget>

#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace velmora::test {

// Static texts and frames have no id of their own; the table lists them with this one and they are
// told apart by their text.
inline constexpr int k_no_id = -1;

enum class Kind {
    label,
    edit,
    read_only_edit,
    button,
    check_box,
    group_box,
    combo,           // drop-down list
    editable_combo,  // drop-down with an edit field
    tree,
    tab,
    report_list,
};

struct Control {
    int id;
    Kind kind;
    std::string text{};                // label, button and check box text; group box title
    std::vector<std::string> items{};  // combo items, in the template's order
    bool sorted{false};                // a combo that keeps its items sorted
};

// Checks that `form` holds exactly the controls of `table`: each id once (the texts without an id
// once each), no control that the table lacks, each with its kind, text and items, combos without
// a selection, and exactly the ids in `hidden` hidden.
void expect_controls(QWidget& form, const std::vector<Control>& table, const std::set<int>& hidden);

// The one control of `form` with this id, or nullptr.
QWidget* find_control(QWidget& form, int id);

}  // namespace velmora::test

// GoogleTest finds printers by argument-dependent lookup, so these live in Qt's (the global) namespace.
inline void PrintTo(const QRect& rect, std::ostream* out) {
    *out << "(" << rect.x() << ", " << rect.y() << ", " << rect.width() << " x " << rect.height() << ")";
}
inline void PrintTo(const QSize& size, std::ostream* out) {
    *out << size.width() << " x " << size.height();
}
