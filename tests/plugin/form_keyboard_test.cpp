// The main view as keyboard and wheel users meet it: the wheel changes no value it passes over, Tab
// reads the form top to bottom through the shown page, Parse hands the focus to the page selector,
// controls stay where they are when others appear, and everything is named for assistive technology.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>
#include <QWheelEvent>
#include <map>
#include <string>
#include <vector>

#include "framework/tab_order.h"
#include "pages/dialogs/hw_dlg.h"
#include "tests/plugin/view_fixture.h"

namespace velmora::plugin_test {
namespace {

using page_test::choose_item;

class FormKeyboardTest : public ViewTest {
protected:
    void SetUp() override {
        ViewTest::SetUp();
        parent.activateWindow();
        ASSERT_TRUE(test::process_events_until([this] { return parent.isActiveWindow(); }));
    }

    static void wheel_down(QWidget* target) {
        const QPointF centre = QRectF(target->rect()).center();
        QWheelEvent wheel(centre, QPointF(target->mapToGlobal(centre.toPoint())), QPoint(), QPoint(0, -120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &wheel);
    }

    // Presses Tab where the focus is and answers where it went.
    static QWidget* tab_from(QWidget* focused) {
        focused->setFocus(Qt::TabFocusReason);
        test::process_events_until([focused] { return focused->hasFocus(); });
        test::press_key(focused, Qt::Key_Tab);
        return QApplication::focusWidget();
    }

    // The geometry of every control of a page, in the page's coordinates, by object name.
    static std::map<std::string, QRect> places(QWidget& page) {
        std::map<std::string, QRect> result;
        for (QWidget* widget : page.findChildren<QWidget*>()) {
            if (Dialog::control_id(widget) >= 0 && !widget->isHidden()) {
                result[widget->objectName().toStdString()] =
                    QRect(widget->mapTo(&page, QPoint()), widget->size());
            }
        }
        return result;
    }
};

TEST_F(FormKeyboardTest, TheWheelOverAnUnfocusedStatusListChangesNothingThatGenerateWrites) {
    const std::filesystem::path input = sample();
    parse(input);
    auto* status = view->fp_page.control_as<QComboBox>(front_panel_id::k_bit_order_combo);
    ASSERT_NE(status, nullptr);
    ASSERT_FALSE(status->hasFocus());
    const int shown = status->currentIndex();
    for (int notch = 0; notch < 3; ++notch) {
        wheel_down(status);
    }
    EXPECT_EQ(status->currentIndex(), shown);

    browse_output((dir / "after wheel").string());
    click(k_generate_button);
    const std::filesystem::path expected = dir / "untouched.bin";
    ASSERT_EQ(run_image_tool({QStringLiteral("generate"), QString::fromStdString(input.string()),
                              QStringLiteral("-o"), QString::fromStdString(expected.string())}),
              0);
    EXPECT_EQ(read_bytes(dir / "after wheel.bin"), read_bytes(expected));

    // Chosen with the keyboard's focus on it, the wheel does change it.
    status->setFocus();
    ASSERT_TRUE(test::process_events_until([status] { return status->hasFocus(); }));
    wheel_down(status);
    EXPECT_NE(status->currentIndex(), shown);
}

TEST_F(FormKeyboardTest, ParseHandsTheFocusToThePageSelector) {
    view->control(k_parse_button)->setFocus();
    parse(sample());
    expect_parsed_state();
    EXPECT_EQ(QApplication::focusWidget(), view->control(k_page_tree)) << "not to Clear";
}

TEST_F(FormKeyboardTest, TabReadsTheFormTopToBottomThroughTheShownPage) {
    parse(sample());
    struct Step {
        QWidget* from;
        QWidget* to;
    };
    auto* fp = &view->fp_page;
    const std::vector<Step> steps{
        {view->control(k_project_type_combo), view->control(k_input_path_edit)},
        {view->control(k_input_path_edit), view->control(k_browse_input_button)},
        {view->control(k_browse_input_button), view->control(k_clear_button)},  // Parse is disabled
        {view->control(k_clear_button), view->control(k_connect_button)},
        {view->control(k_connect_button), view->control(k_send_config_button)},
        {view->control(k_send_config_button), view->control(k_page_tree)},
        {view->control(k_page_tree), fp->control(front_panel_id::k_fp_type_combo)},
        {fp->control(front_panel_id::k_fp_type_combo), fp->control(front_panel_id::k_bit_order_combo)},
        {fp->control(front_panel_id::k_dim_all_button), view->control(k_output_path_edit)},
        {view->control(k_output_path_edit), view->control(k_browse_output_button)},
        {view->control(k_browse_output_button), view->control(k_generate_button)},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.from->objectName().toStdString());
        EXPECT_EQ(tab_from(step.from), step.to) << QApplication::focusWidget()->objectName().toStdString();
    }
    // The hidden hardware page's controls are passed by; shown, they take the front panel's place.
    view->ShowPage(CVelmoraDlg::k_hw_info);
    EXPECT_EQ(tab_from(view->control(k_page_tree)), view->hw_page.control(hw_info_id::k_video_mode_combo));
}

TEST_F(FormKeyboardTest, TestPowerWaveComesAndGoesWithoutMovingAnotherControl) {
    parse(sample());
    view->ShowPage(CVelmoraDlg::k_hw_info);
    HWDlg& page = view->hw_page;
    auto* power_off = page.control_as<QComboBox>(hw_info_id::k_power_off_disp_combo);
    ASSERT_NE(power_off, nullptr);
    choose_item(power_off, 0);
    ASSERT_FALSE(page.is_control_shown(hw_info_id::k_test_power_wave_button));
    std::map<std::string, QRect> before = places(page);

    choose_item(power_off, 2);  // "None" offers the test
    ASSERT_TRUE(page.is_control_shown(hw_info_id::k_test_power_wave_button));
    QCoreApplication::processEvents();
    std::map<std::string, QRect> after = places(page);
    after.erase(page.control(hw_info_id::k_test_power_wave_button)->objectName().toStdString());
    EXPECT_EQ(after, before);
}

TEST_F(FormKeyboardTest, EveryControlIsNamedAndThePageSelectorsItemsToo) {
    parse(sample());
    for (QWidget* stop : tab_stops_by_position(view)) {
        SCOPED_TRACE(stop->objectName().toStdString());
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(stop);
        ASSERT_NE(accessible, nullptr);
        EXPECT_FALSE(accessible->text(QAccessible::Name).isEmpty());
    }
    QAccessibleInterface* tree = QAccessible::queryAccessibleInterface(view->control(k_page_tree));
    ASSERT_NE(tree, nullptr);
    std::vector<std::string> items;
    for (int index = 0; index < tree->childCount(); ++index) {
        QAccessibleInterface* item = tree->child(index);
        // The hidden header is told too, as the one column's name.
        if (item->role() == QAccessible::ColumnHeader) {
            EXPECT_EQ(item->text(QAccessible::Name).toStdString(), "Page");
        } else {
            items.push_back(item->text(QAccessible::Name).toStdString());
        }
    }
    EXPECT_EQ(items, (std::vector<std::string>{"Front Panel", "Key Map", "HW Info", "LED Map"}));
}

// The templates are checked at their smallest; here each page at the place the view gives it.
TEST_F(FormKeyboardTest, EveryLabelOfTheFormAndItsPagesIsDrawnWhole) {
    parse(sample());
    for (const char* page : {CVelmoraDlg::k_front_panel, CVelmoraDlg::k_hw_info}) {
        SCOPED_TRACE(page);
        view->ShowPage(page);
        QCoreApplication::processEvents();
        for (QLabel* label : view->findChildren<QLabel*>()) {
            if (label->isVisibleTo(view) && !label->text().isEmpty()) {
                SCOPED_TRACE(label->text().toStdString());
                EXPECT_LE(label->sizeHint().width(), label->width());
                EXPECT_LE(label->sizeHint().height(), label->height());
            }
        }
    }
}

TEST_F(FormKeyboardTest, ProjectTypeTakesNoTypedTextIntoItsList) {
    auto* combo = view->control_as<QComboBox>(k_project_type_combo);
    ASSERT_NE(combo, nullptr);
    combo->lineEdit()->setText(QStringLiteral("Other"));
    test::press_key(combo->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(combo->count(), 1);
    EXPECT_EQ(combo->itemText(0).toStdString(), "Zenth");
}

TEST_F(FormKeyboardTest, PathFieldsAreReadOnlyAndLookIt) {
    for (const int id : {k_input_path_edit, k_output_path_edit}) {
        auto* edit = view->control_as<QLineEdit>(id);
        ASSERT_NE(edit, nullptr);
        EXPECT_TRUE(edit->isReadOnly());
        EXPECT_EQ(edit->palette().color(QPalette::Base), edit->palette().color(QPalette::Window));
    }
}

}  // namespace
}  // namespace velmora::plugin_test
