#include "framework/dialog.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <string>
#include <vector>

#include "framework/window_message.h"
#include "framework_test_support.h"

namespace velmora {
namespace {

using test::add_control;

// Ids of the sample form. The page placed inside it reuses k_button on purpose.
constexpr int k_button = 1001;
constexpr int k_check = 1002;
constexpr int k_combo = 1003;
constexpr int k_sorted_combo = 1004;
constexpr int k_editable_combo = 1005;
constexpr int k_edit_a = 1006;
constexpr int k_edit_b = 1007;
constexpr int k_label = 1008;
constexpr int k_group = 1009;
constexpr int k_tree = 1010;
constexpr int k_tab = 1011;
constexpr int k_unknown = 4242;

// A form as uic would make it: controls with ids, some inside a group box, combos filled item by item.
class SampleForm : public Dialog {
public:
    SampleForm() {
        test::build_in_code(*this, [](Dialog& form) {
            add_control<QPushButton>(&form, k_button)->setText("Start");
            add_control<QCheckBox>(&form, k_check)->setText("With SPDIF");
            auto* combo = add_control<QComboBox>(&form, k_combo);
            combo->addItems({"low", "high"});
            auto* sorted = add_control<QComboBox>(&form, k_sorted_combo);
            sorted->setProperty("sorted", true);
            auto* editable = add_control<QComboBox>(&form, k_editable_combo);
            editable->setEditable(true);
            editable->addItem("Zenth");
            auto* group = add_control<QGroupBox>(&form, k_group);
            group->setTitle("Input");
            add_control<QLineEdit>(group, k_edit_a);
            add_control<QLineEdit>(group, k_edit_b);
            add_control<QLabel>(group, k_label)->setText("upg info:");
            add_control<QTreeWidget>(&form, k_tree);
            add_control<QTabWidget>(&form, k_tab)->setGeometry(10, 10, 400, 300);
        });
    }
};

class Page : public Dialog {
public:
    Page() {
        test::build_in_code(
            *this, [](Dialog& page) { add_control<QPushButton>(&page, k_button)->setText("Page button"); });
    }
};

TEST(DialogControls, FoundByIdWithTheirKind) {
    SampleForm form;
    struct Case {
        int id;
        const char* class_name;
    };
    const Case cases[] = {
        {k_button, "QPushButton"},       {k_check, "QCheckBox"},  {k_combo, "QComboBox"},
        {k_editable_combo, "QComboBox"}, {k_edit_a, "QLineEdit"}, {k_label, "QLabel"},
        {k_group, "QGroupBox"},          {k_tree, "QTreeWidget"}, {k_tab, "QTabWidget"},
    };
    for (const Case& c : cases) {
        QWidget* widget = form.control(c.id);
        ASSERT_NE(widget, nullptr) << c.id;
        EXPECT_STREQ(widget->metaObject()->className(), c.class_name) << c.id;
        EXPECT_EQ(Dialog::control_id(widget), c.id);
    }
    EXPECT_NE(form.control_as<QLineEdit>(k_edit_b), nullptr);
}

TEST(DialogControls, MissingIdOrWrongKindGivesNothingAndHelpersStayQuiet) {
    SampleForm form;
    EXPECT_EQ(form.control(k_unknown), nullptr);
    EXPECT_EQ(form.control_as<QComboBox>(k_edit_a), nullptr);
    EXPECT_EQ(form.combo_selected(k_unknown), -1);
    EXPECT_EQ(form.control_text(k_unknown), "");
    EXPECT_FALSE(form.is_checked(k_unknown));
    form.set_control_text(k_unknown, "x");
}

TEST(DialogControls, ControlsMadeAfterBuildingAreFoundToo) {
    SampleForm form;
    add_control<QLabel>(&form, k_unknown)->setText("late");
    EXPECT_EQ(form.control_text(k_unknown), "late");
}

TEST(DialogControls, APageInsideAFormKeepsItsOwnIds) {
    SampleForm form;
    Page page;
    page.create_child(form.control(k_tab));
    EXPECT_EQ(form.control_text(k_button), "Start");
    EXPECT_EQ(page.control_text(k_button), "Page button");
    EXPECT_EQ(page.parentWidget(), form.control(k_tab));
    EXPECT_FALSE(page.isWindow());
    EXPECT_TRUE(page.isHidden());
}

TEST(DialogControls, TextOfEveryKindOfControl) {
    SampleForm form;
    const int ids[] = {k_button, k_check, k_edit_a, k_label, k_group, k_editable_combo};
    for (int id : ids) {
        form.set_control_text(id, "Stop Get Key 正序");
        EXPECT_EQ(form.control_text(id), "Stop Get Key 正序") << id;
    }
    Dialog::combo_select(form.control_as<QComboBox>(k_combo), 1);
    EXPECT_EQ(form.control_text(k_combo), "high");
}

TEST(DialogControls, ShowEnableAndCheckAreTheControlsOwnFlags) {
    SampleForm form;
    form.control(k_edit_a)->setVisible(false);
    EXPECT_FALSE(form.is_control_shown(k_edit_a));
    form.control(k_edit_a)->setVisible(true);
    // The form itself was never shown; the control's own flag still says shown.
    EXPECT_TRUE(form.is_control_shown(k_edit_a));

    form.enable_control(k_group, false);
    EXPECT_FALSE(form.is_control_enabled(k_group));
    EXPECT_TRUE(form.is_control_enabled(k_edit_a));
    EXPECT_FALSE(form.control(k_edit_a)->isEnabled());

    form.control_as<QCheckBox>(k_check)->setChecked(true);
    EXPECT_TRUE(form.is_checked(k_check));
    form.control_as<QCheckBox>(k_check)->setChecked(false);
    EXPECT_FALSE(form.is_checked(k_check));
}

TEST(DialogMessageMap, HandlersRunOnUserActionsOnly) {
    SampleForm form;
    std::vector<std::string> heard;
    form.on_clicked(k_button, [&] { heard.push_back("button"); });
    form.on_clicked(k_check, [&] { heard.push_back(form.is_checked(k_check) ? "checked" : "unchecked"); });
    form.on_selection_changed(
        k_combo, [&] { heard.push_back("combo " + std::to_string(form.combo_selected(k_combo))); });

    // Code that changes controls runs no handler.
    form.control_as<QCheckBox>(k_check)->setChecked(true);
    Dialog::combo_select(form.control_as<QComboBox>(k_combo), 0);
    EXPECT_TRUE(heard.empty());

    test::click(form.control(k_button));
    test::click(form.control(k_check));
    form.control_as<QPushButton>(k_button)->click();
    test::press_key(form.control(k_combo), Qt::Key_Down);
    EXPECT_EQ(heard, (std::vector<std::string>{"button", "unchecked", "button", "combo 1"}));

    // A disabled button is not clicked.
    heard.clear();
    form.enable_control(k_button, false);
    test::click(form.control(k_button));
    EXPECT_TRUE(heard.empty());
}

TEST(DialogMessageMap, HandlersMayBeRegisteredBeforeBuildingAndReplaced) {
    Dialog dialog;
    int first = 0;
    int second = 0;
    dialog.on_clicked(k_button, [&] { ++first; });
    test::build_in_code(dialog, [](Dialog& d) { add_control<QPushButton>(&d, k_button); });
    dialog.control_as<QPushButton>(k_button)->click();
    dialog.on_clicked(k_button, [&] { ++second; });
    dialog.control_as<QPushButton>(k_button)->click();
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 1);
}

TEST(DialogMessageMap, APostedMessageReachesItsHandlerAndUnknownMessagesAreDropped) {
    constexpr int k_handled = 2001;
    constexpr int k_unhandled = 2002;
    SampleForm form;
    std::vector<int> heard;
    form.on_message(k_handled, [&] {
        heard.push_back(k_handled);
        return 0L;
    });
    ASSERT_TRUE(post_message(&form, k_unhandled));
    ASSERT_TRUE(post_message(&form, k_handled));
    QCoreApplication::sendPostedEvents(&form);
    EXPECT_EQ(heard, std::vector<int>{k_handled});
}

TEST(DialogDataExchange, MovesTextsBothWaysInBindOrder) {
    SampleForm form;
    std::string first = "10";
    std::string second = "20";
    std::string also_a = "30";
    form.bind_text(k_edit_a, first);
    form.bind_text(k_edit_b, second);
    form.bind_text(k_edit_a, also_a);  // bound later, so its text is the one edit A shows

    form.update_data(false);
    EXPECT_EQ(form.control_text(k_edit_a), "30");
    EXPECT_EQ(form.control_text(k_edit_b), "20");

    form.set_control_text(k_edit_a, "63");
    form.set_control_text(k_edit_b, "");
    form.update_data(true);
    EXPECT_EQ(first, "63");
    EXPECT_EQ(second, "");
    EXPECT_EQ(also_a, "63");
}

TEST(DialogCombo, TemplateCombosStartWithoutSelection) {
    SampleForm form;
    EXPECT_EQ(form.combo_count(k_combo), 2);
    EXPECT_EQ(form.combo_selected(k_combo), -1);
    EXPECT_EQ(form.combo_selected(k_editable_combo), -1);
}

TEST(DialogCombo, SelectingAnIndexTheComboDoesNotHaveLeavesNoSelection) {
    SampleForm form;
    struct Case {
        int index;
        int selected;
    };
    const Case cases[] = {{0, 0}, {1, 1}, {2, -1}, {-1, -1}, {99, -1}, {15, -1}};
    for (const Case& c : cases) {
        Dialog::combo_select(form.control_as<QComboBox>(k_combo), 1);
        Dialog::combo_select(form.control_as<QComboBox>(k_combo), c.index);
        EXPECT_EQ(form.combo_selected(k_combo), c.selected) << c.index;
    }
}

TEST(DialogCombo, AddingNeverSelectsAnItem) {
    SampleForm form;
    auto* combo = form.control_as<QComboBox>(k_combo);
    combo->clear();
    EXPECT_EQ(Dialog::combo_add(combo, "English"), 0);
    EXPECT_EQ(form.combo_selected(k_combo), -1);
    Dialog::combo_add(combo, "Turkish");
    EXPECT_EQ(Dialog::combo_add(combo, "French"), 2);
    EXPECT_EQ(form.combo_item_text(k_combo, 2), "French");
    EXPECT_EQ(form.combo_item_text(k_combo, 3), "");
    EXPECT_EQ(form.combo_selected(k_combo), -1);
    EXPECT_EQ(Dialog::combo_add(nullptr, "Arabic"), -1);
}

TEST(DialogCombo, SortedCombosKeepTheirItemsInOrder) {
    SampleForm form;
    for (const char* item : {"zenth", "Alpha", "beta", "Beta"}) {
        Dialog::combo_add(form.control_as<QComboBox>(k_sorted_combo), item);
    }
    std::vector<std::string> items;
    for (int i = 0; i < form.combo_count(k_sorted_combo); ++i) {
        items.push_back(form.combo_item_text(k_sorted_combo, i));
    }
    EXPECT_EQ(items, (std::vector<std::string>{"Alpha", "beta", "Beta", "zenth"}));
    EXPECT_EQ(form.combo_selected(k_sorted_combo), -1);
}

TEST(DialogCombo, EditableComboKeepsItsTextWhenAnItemIsAdded) {
    SampleForm form;
    auto* combo = form.control_as<QComboBox>(k_editable_combo);
    combo->clear();
    form.set_control_text(k_editable_combo, "typed");
    Dialog::combo_add(combo, "Zenth");
    EXPECT_EQ(form.combo_selected(k_editable_combo), -1);
    EXPECT_EQ(form.control_text(k_editable_combo), "typed");
    Dialog::combo_select(combo, 0);
    EXPECT_EQ(form.control_text(k_editable_combo), "Zenth");
}

TEST(DialogTree, SelectionChangesAreReportedWithTheSelectedText) {
    SampleForm form;
    for (const char* item : {"Front Panel", "Key Map", "HW Info", "LED Map"}) {
        form.tree_insert_root(k_tree, item);
    }
    std::vector<std::string> shown;
    form.on_notify(k_tree, NotifyKind::selection_changed,
                   [&] { shown.push_back(form.tree_selected_text(k_tree)); });
    EXPECT_EQ(form.tree_selected_text(k_tree), "");
    EXPECT_EQ(form.tree_first_visible_text(k_tree), "Front Panel");

    auto* tree = form.control_as<QTreeWidget>(k_tree);
    tree->setCurrentItem(tree->topLevelItem(2));  // as a user's click does
    tree->setCurrentItem(tree->topLevelItem(3));
    tree->clearSelection();
    EXPECT_EQ(shown, (std::vector<std::string>{"HW Info", "LED Map", ""}));
    EXPECT_EQ(form.tree_first_visible_text(k_tree), "Front Panel");
}

TEST(DialogTab, ItemsHaveEmptyLabelsAndPagesLieInTheClientArea) {
    SampleForm form;
    for (int index = 0; index < 4; ++index) {
        form.tab_insert_item(k_tab, index);
    }
    auto* tab = form.control_as<QTabWidget>(k_tab);
    ASSERT_EQ(tab->count(), 4);
    EXPECT_EQ(tab->tabText(2), "");

    const QRect client = form.tab_client_rect(k_tab);
    EXPECT_TRUE(tab->rect().contains(client)) << client.x() << "," << client.y();
    EXPECT_GT(client.top(), tab->tabBar()->sizeHint().height() / 2);
    EXPECT_GT(client.height(), 200);

    Page first;
    Page second;
    for (Page* page : {&first, &second}) {
        page->create_child(tab);
        page->setGeometry(client);
    }
    form.resize(600, 400);
    form.show();
    first.show();
    form.tab_select(k_tab, 3);
    EXPECT_EQ(tab->currentIndex(), 3);
    tab->setCurrentIndex(1);  // a click on a tab item changes no page
    EXPECT_TRUE(first.isVisible());
    EXPECT_FALSE(second.isVisible());
    EXPECT_EQ(first.geometry(), client);
}

TEST(DialogPage, EnterAndEscapeLeaveChildFormsAndPagesAlone) {
    // As in the host: a plain window holds the form, the form's tab control holds the page.
    QWidget host;
    SampleForm form;
    Page page;
    form.create_child(&host);
    page.create_child(form.control(k_tab));
    host.show();
    form.show();
    page.show();
    for (int key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
        test::press_key(page.control(k_button), key);
        test::press_key(&page, key);
        test::press_key(form.control(k_edit_a), key);
        EXPECT_TRUE(page.isVisible()) << key;
        EXPECT_TRUE(form.isVisible()) << key;
    }
}

// A modal dialog with an OK button, an edit and a Cancel button, as the power wave dialog has.
class ModalForm : public Dialog {
public:
    ModalForm() {
        test::build_in_code(*this, [](Dialog& d) {
            add_control<QLineEdit>(&d, 1145);
            add_control<QPushButton>(&d, k_id_ok)->setText("OK");
            add_control<QPushButton>(&d, k_id_cancel)->setText("Cancel");
        });
        bind_text(1145, text);
    }
    std::string text;
};

TEST(DialogModal, OkWithoutAHandlerPullsTheTextsAndEnds) {
    ModalForm form;
    QTimer::singleShot(0, &form, [&] {
        form.set_control_text(1145, "1,2,3");
        test::click(form.control(k_id_ok));
    });
    EXPECT_EQ(form.run_modal(nullptr), k_id_ok);
    EXPECT_EQ(form.text, "1,2,3");
    EXPECT_FALSE(form.isVisible());
}

TEST(DialogModal, EscapeAndClosingRunTheCancelHandler) {
    struct Case {
        const char* how;
        std::function<void(ModalForm&)> end;
    };
    const Case cases[] = {
        {"escape", [](ModalForm& f) { test::press_key(f.control(1145), Qt::Key_Escape); }},
        {"close", [](ModalForm& f) { f.close(); }},
        {"cancel button", [](ModalForm& f) { test::click(f.control(k_id_cancel)); }},
    };
    for (const Case& c : cases) {
        ModalForm form;
        int cancels = 0;
        form.on_clicked(k_id_cancel, [&] {
            ++cancels;
            form.end_dialog(k_id_cancel);
        });
        QTimer::singleShot(0, &form, [&] { c.end(form); });
        EXPECT_EQ(form.run_modal(nullptr), k_id_cancel) << c.how;
        EXPECT_EQ(cancels, 1) << c.how;
    }
}

TEST(DialogModal, AnOkHandlerDecidesWhetherTheDialogEnds) {
    ModalForm form;
    int oks = 0;
    form.on_clicked(k_id_ok, [&] {
        // The first OK is refused, as a failed check would; the second ends the dialog.
        if (++oks >= 2) {
            form.end_dialog(k_id_ok);
        }
    });
    QTimer::singleShot(0, &form, [&] {
        test::click(form.control(k_id_ok));
        EXPECT_TRUE(form.isVisible());
        test::click(form.control(k_id_ok));
    });
    EXPECT_EQ(form.run_modal(nullptr), k_id_ok);
    EXPECT_EQ(oks, 2);
    // The same object serves the next opening.
    QTimer::singleShot(0, &form, [&] { test::click(form.control(k_id_ok)); });
    EXPECT_EQ(form.run_modal(nullptr), k_id_ok);
}

}  // namespace
}  // namespace velmora
