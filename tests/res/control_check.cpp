#include "control_check.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTreeWidget>

#include <algorithm>
#include <array>
#include <map>
#include <optional>

namespace velmora::test {
namespace {

constexpr const char* k_id_property = "ctrlId";
constexpr const char* k_sorted_property = "sorted";

const char* name_of(Kind kind) {
    static constexpr std::array<const char*, 11> k_names{
        "label", "edit",           "read-only edit", "button", "check box",  "group box",
        "combo", "editable combo", "tree",           "tab",    "report list"};
    return k_names.at(static_cast<std::size_t>(kind));
}

std::optional<Kind> kind_of(const QWidget* widget) {
    if (const auto* edit = qobject_cast<const QLineEdit*>(widget)) {
        return edit->isReadOnly() ? Kind::read_only_edit : Kind::edit;
    }
    if (qobject_cast<const QCheckBox*>(widget)) {
        return Kind::check_box;
    }
    if (qobject_cast<const QPushButton*>(widget)) {
        return Kind::button;
    }
    if (qobject_cast<const QLabel*>(widget)) {
        return Kind::label;
    }
    if (qobject_cast<const QGroupBox*>(widget)) {
        return Kind::group_box;
    }
    if (const auto* combo = qobject_cast<const QComboBox*>(widget)) {
        return combo->isEditable() ? Kind::editable_combo : Kind::combo;
    }
    if (qobject_cast<const QTreeWidget*>(widget)) {
        return Kind::tree;
    }
    if (qobject_cast<const QTabWidget*>(widget)) {
        return Kind::tab;
    }
    if (qobject_cast<const QTableWidget*>(widget)) {
        return Kind::report_list;
    }
    return std::nullopt;
}

std::string text_of(const QWidget* widget) {
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        return label->text().toStdString();
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
        return button->text().toStdString();
    }
    if (const auto* group = qobject_cast<const QGroupBox*>(widget)) {
        return group->title().toStdString();
    }
    if (const auto* edit = qobject_cast<const QLineEdit*>(widget)) {
        return edit->text().toStdString();
    }
    return {};
}

std::optional<int> id_of(const QWidget* widget) {
    const QVariant id = widget->property(k_id_property);
    if (!id.isValid()) {
        return std::nullopt;
    }
    EXPECT_EQ(id.typeId(), QMetaType::Int) << widget->objectName().toStdString() << ": ctrlId is no int";
    return id.toInt();
}

// A widget of a control's kind without an id is either a static text or frame of the template, which
// the table lists without an id, or a part of a control (the edit field of an editable combo, say).
bool is_part_of_a_control(const QWidget* widget, const QWidget* form) {
    for (const QWidget* up = widget->parentWidget(); up != nullptr && up != form; up = up->parentWidget()) {
        if (id_of(up) && kind_of(up) != Kind::group_box) {
            return true;
        }
    }
    return false;
}

bool case_insensitive_less(const std::string& a, const std::string& b) {
    return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) < 0;
}

void expect_control(QWidget& form, const QWidget* widget, const Control& row, const std::set<int>& hidden) {
    const std::string what = "control " + std::to_string(row.id) + " \"" + row.text + "\"";
    SCOPED_TRACE(what);
    const std::optional<Kind> kind = kind_of(widget);
    ASSERT_TRUE(kind.has_value()) << "not a control: " << widget->metaObject()->className();
    EXPECT_STREQ(name_of(*kind), name_of(row.kind));
    EXPECT_EQ(text_of(widget), row.text);
    EXPECT_EQ(!widget->isVisibleTo(&form), hidden.contains(row.id)) << "starts hidden?";
    const auto* combo = qobject_cast<const QComboBox*>(widget);
    if (combo == nullptr) {
        EXPECT_TRUE(row.items.empty()) << "the table gives items to a control without any";
        return;
    }
    std::vector<std::string> items;
    for (int index = 0; index < combo->count(); ++index) {
        items.push_back(combo->itemText(index).toStdString());
    }
    EXPECT_EQ(items, row.items);
    EXPECT_EQ(combo->currentIndex(), -1) << "a template's combo starts without a selection";
    EXPECT_EQ(combo->property(k_sorted_property).toBool(), row.sorted);
    if (row.sorted) {
        EXPECT_TRUE(std::is_sorted(items.begin(), items.end(), case_insensitive_less));
    }
}

}  // namespace

void expect_controls(QWidget& form, const std::vector<Control>& table, const std::set<int>& hidden) {
    std::map<int, std::vector<QWidget*>> by_id;
    std::vector<QWidget*> unnumbered;
    for (QWidget* widget : form.findChildren<QWidget*>()) {
        if (const std::optional<int> id = id_of(widget)) {
            EXPECT_NE(*id, k_no_id) << widget->objectName().toStdString() << ": a static text carries no id";
            by_id[*id].push_back(widget);
        } else if (kind_of(widget) && !is_part_of_a_control(widget, &form)) {
            unnumbered.push_back(widget);
        }
    }

    std::set<int> listed;
    for (const Control& row : table) {
        if (row.id != k_no_id) {
            listed.insert(row.id);
            const std::vector<QWidget*>& found = by_id[row.id];
            if (found.size() != 1) {
                ADD_FAILURE() << "id " << row.id << " is there " << found.size() << " times";
                continue;
            }
            expect_control(form, found.front(), row, hidden);
            continue;
        }
        const auto match = std::find_if(unnumbered.begin(), unnumbered.end(), [&row](const QWidget* widget) {
            return kind_of(widget) == row.kind && text_of(widget) == row.text;
        });
        if (match == unnumbered.end()) {
            ADD_FAILURE() << "no " << name_of(row.kind) << " \"" << row.text << "\" without an id";
            continue;
        }
        expect_control(form, *match, row, hidden);
        unnumbered.erase(match);
    }
    for (const QWidget* widget : unnumbered) {
        ADD_FAILURE() << "control without an id that the table does not list: "
                      << widget->objectName().toStdString() << " \"" << text_of(widget) << "\"";
    }
    for (const auto& [id, widgets] : by_id) {
        if (id != k_no_id && !listed.contains(id)) {
            ADD_FAILURE() << "unlisted control " << id;
        }
    }
}

QWidget* find_control(QWidget& form, int id) {
    QWidget* found = nullptr;
    for (QWidget* widget : form.findChildren<QWidget*>()) {
        if (id_of(widget) == id) {
            if (found != nullptr) {
                return nullptr;
            }
            found = widget;
        }
    }
    return found;
}

}  // namespace velmora::test
