// Every template as the framework builds it: labels drawn whole in the form's font, fields named by
// their labels, every control reachable with Tab and named for assistive technology, read-only fields
// that look it, and no drop-down that takes typed text into its list.
#include <gtest/gtest.h>

#include <QAbstractSpinBox>
#include <QAccessible>
#include <QAccessibleTableInterface>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTableWidget>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "framework/dialog.h"
#include "framework/tab_order.h"
#include "res/control_ids.h"
#include "res/dialog_templates.h"
#include "res/resources.h"

namespace velmora::test {
namespace {

// A template built as the pages and the view build theirs.
class TemplateDialog : public Dialog {
public:
    template <class Ui>
    static std::unique_ptr<Dialog> make() {
        velmora_init_resources();
        auto dialog = std::make_unique<TemplateDialog>();
        auto ui = std::make_shared<Ui>();
        dialog->build_from(*ui, &set_control_ids);
        dialog->ui_ = ui;
        return dialog;
    }

private:
    std::shared_ptr<void> ui_;
};

struct Template {
    std::string name;
    std::function<std::unique_ptr<Dialog>()> build;
    // Static texts that label no field (a status line).
    std::set<std::string> free_labels{};
};

const std::vector<Template>& templates() {
    static const std::vector<Template> k_templates{
        {"main form", TemplateDialog::make<Ui::MainForm>, {"upg info:"}},
        {"power wave dialog", TemplateDialog::make<Ui::PowerWaveDialog>},
        {"front panel page", TemplateDialog::make<Ui::FrontPanelPage>},
        {"hw info page", TemplateDialog::make<Ui::HwInfoPage>},
        {"key map page", TemplateDialog::make<Ui::KeyMapPage>},
        {"led map page", TemplateDialog::make<Ui::LedMapPage>},
    };
    return k_templates;
}

// Lays a page out at the size of the main form's page area, every control shown, as it will be seen.
void lay_out(Dialog& dialog) {
    for (QWidget* child : dialog.findChildren<QWidget*>()) {
        if (Dialog::control_id(child) >= 0 || qobject_cast<QLabel*>(child) != nullptr) {
            child->setVisible(true);
        }
    }
    // A layout at its smallest is where a label is cut first.
    if (dialog.layout() != nullptr) {
        dialog.resize(dialog.minimumSizeHint());
    }
    dialog.show();
    QCoreApplication::processEvents();
}

bool is_field(const QWidget* widget) {
    return qobject_cast<const QLineEdit*>(widget) != nullptr ||
           qobject_cast<const QComboBox*>(widget) != nullptr ||
           qobject_cast<const QAbstractSpinBox*>(widget) != nullptr ||
           qobject_cast<const QPlainTextEdit*>(widget) != nullptr;
}

std::string accessible_name(QWidget* widget) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
    return accessible == nullptr ? std::string{} : accessible->text(QAccessible::Name).toStdString();
}

std::string describe(const QWidget* widget) {
    return widget->metaObject()->className() + std::string(" ") + widget->objectName().toStdString();
}

TEST(TemplateLabels, AreDrawnWholeInTheFormsFont) {
    for (const Template& each : templates()) {
        SCOPED_TRACE(each.name);
        const std::unique_ptr<Dialog> dialog = each.build();
        lay_out(*dialog);
        for (QLabel* label : dialog->findChildren<QLabel*>()) {
            SCOPED_TRACE(label->text().toStdString());
            EXPECT_EQ(label->font().stretch(), dialog->font().stretch()) << "drawn condensed";
            EXPECT_LE(label->sizeHint().width(), label->width()) << "cut";
        }
    }
}

TEST(TemplateLabels, AreTheBuddiesOfTheFieldsTheyName) {
    for (const Template& each : templates()) {
        SCOPED_TRACE(each.name);
        const std::unique_ptr<Dialog> dialog = each.build();
        std::set<const QWidget*> labelled;
        for (QLabel* label : dialog->findChildren<QLabel*>()) {
            if (each.free_labels.contains(label->text().toStdString())) {
                EXPECT_EQ(label->buddy(), nullptr);
                continue;
            }
            SCOPED_TRACE(label->text().toStdString());
            ASSERT_NE(label->buddy(), nullptr) << "a label without its field";
            EXPECT_TRUE(is_field(label->buddy())) << describe(label->buddy());
            labelled.insert(label->buddy());
        }
        for (QWidget* field : tab_stops_by_position(dialog.get())) {
            if (is_field(field)) {
                EXPECT_TRUE(labelled.contains(field)) << describe(field) << " has no label";
            }
        }
    }
}

TEST(TemplateControls, AreReachableWithTabAndNamed) {
    for (const Template& each : templates()) {
        SCOPED_TRACE(each.name);
        const std::unique_ptr<Dialog> dialog = each.build();
        const std::vector<QWidget*> stops = tab_stops_by_position(dialog.get());
        const std::set<QWidget*> reachable(stops.begin(), stops.end());
        for (QWidget* widget : dialog->findChildren<QWidget*>()) {
            if (Dialog::control_id(widget) < 0 || qobject_cast<QLabel*>(widget) != nullptr) {
                continue;
            }
            SCOPED_TRACE(describe(widget));
            const bool container =
                qobject_cast<QTabWidget*>(widget) != nullptr || widget->inherits("QGroupBox");
            if (!container) {
                EXPECT_TRUE(reachable.contains(widget)) << "Tab never reaches it";
            }
            EXPECT_FALSE(accessible_name(widget).empty()) << "no accessible name";
        }
        for (QWidget* stop : stops) {
            EXPECT_FALSE(accessible_name(stop).empty()) << describe(stop) << " has no accessible name";
        }
    }
}

TEST(TemplateControls, ReadOnlyFieldsLookReadOnly) {
    for (const Template& each : templates()) {
        SCOPED_TRACE(each.name);
        const std::unique_ptr<Dialog> dialog = each.build();
        for (QLineEdit* edit : dialog->findChildren<QLineEdit*>()) {
            if (qobject_cast<QComboBox*>(edit->parentWidget()) != nullptr) {
                continue;  // an editable combo's own edit
            }
            SCOPED_TRACE(describe(edit));
            const QPalette& palette = edit->palette();
            const bool looks_read_only = palette.color(QPalette::Base) == palette.color(QPalette::Window);
            EXPECT_EQ(looks_read_only, edit->isReadOnly());
        }
    }
}

TEST(MainFormTemplate, PathFieldsAreReadOnlyAndProjectTypeTakesNoTypedItems) {
    const std::unique_ptr<Dialog> dialog = TemplateDialog::make<Ui::MainForm>();
    for (const int id : {main_form_id::k_input_path_edit, main_form_id::k_output_path_edit}) {
        auto* edit = dialog->control_as<QLineEdit>(id);
        ASSERT_NE(edit, nullptr);
        EXPECT_TRUE(edit->isReadOnly());
    }
    auto* combo = dialog->control_as<QComboBox>(main_form_id::k_project_type_combo);
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->insertPolicy(), QComboBox::NoInsert);
}

TEST(KeyMapTemplate, KeyListsExposeTheirRowsAndCells) {
    const std::unique_ptr<Dialog> dialog = TemplateDialog::make<Ui::KeyMapPage>();
    for (const int id : {key_map_id::k_fp_key_list, key_map_id::k_ir_key_list}) {
        SCOPED_TRACE("list " + std::to_string(id));
        auto* list = dialog->control_as<QTableWidget>(id);
        ASSERT_NE(list, nullptr);
        list->setColumnCount(2);
        list->setRowCount(2);
        list->setItem(1, 0, new QTableWidgetItem(QStringLiteral("POWER")));
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(list);
        ASSERT_NE(accessible, nullptr);
        EXPECT_FALSE(accessible->text(QAccessible::Name).isEmpty());
        QAccessibleTableInterface* table = accessible->tableInterface();
        ASSERT_NE(table, nullptr);
        EXPECT_EQ(table->rowCount(), 2);
        EXPECT_EQ(table->columnCount(), 2);
        QAccessibleInterface* cell = table->cellAt(1, 0);
        ASSERT_NE(cell, nullptr);
        EXPECT_EQ(cell->text(QAccessible::Name).toStdString(), "POWER");
    }
}

}  // namespace
}  // namespace velmora::test
