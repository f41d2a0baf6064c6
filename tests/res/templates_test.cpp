#include "res/dialog_templates.h"
#include "res/resources.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QIcon>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>

#include <cmath>
#include <functional>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "control_check.h"

namespace velmora::test {
namespace {

// Dialog units of the templates' 8-point font, in pixels.
constexpr double k_pixels_per_unit_x = 1.5;
constexpr double k_pixels_per_unit_y = 1.625;

int to_pixels_x(int units) {
    return static_cast<int>(std::lround(units * k_pixels_per_unit_x));
}
int to_pixels_y(int units) {
    return static_cast<int>(std::lround(units * k_pixels_per_unit_y));
}

QRect to_pixels(int x, int y, int width, int height) {
    return {to_pixels_x(x), to_pixels_y(y), to_pixels_x(width), to_pixels_y(height)};
}

template <class Ui, class Top = QWidget>
std::unique_ptr<QWidget> build(QWidget* parent = nullptr) {
    velmora_init_resources();
    auto form = std::make_unique<Top>(parent);
    Ui ui;
    ui.setupUi(form.get());
    return form;
}

const std::vector<std::string> k_levels{"low", "high"};

struct Template {
    int id;
    std::function<std::unique_ptr<QWidget>(QWidget*)> build;
    std::vector<Control> controls;
    std::set<int> hidden{};
};

const std::vector<Template>& templates() {
    static const std::vector<Template> k_templates{
        {1000,
         build<Ui::Dialog1000>,
         {
             {1216, Kind::label, "Project Type:"},
             {1160, Kind::editable_combo, "", {"Zenth"}, true},
             {1079, Kind::group_box, "Input"},
             {1080, Kind::label, "Input Flash Binary From:"},
             {1077, Kind::read_only_edit},
             {1078, Kind::button, "Browse"},
             {1076, Kind::button, "Parse"},
             {1081, Kind::button, "Clear"},
             {1148, Kind::button, "Connect with Panel"},
             {1149, Kind::label, "upg info:"},
             {1153, Kind::button, "Send Config to Panel"},
             {1195, Kind::tree},
             {1197, Kind::tab},
             {1075, Kind::group_box, "Output"},
             {1082, Kind::label, "Output Flash Binary To:"},
             {1073, Kind::read_only_edit},
             {1074, Kind::button, "Browse"},
             {1072, Kind::button, "Generate"},
         }},
        {1004,
         build<Ui::Dialog1004, QDialog>,
         {
             {1194, Kind::label, "Power Wave Data:"},
             {1145, Kind::edit},
             {1, Kind::button, "OK"},
             {2, Kind::button, "Cancel"},
         }},
        {1005,
         build<Ui::Dialog1005>,
         {
             {k_no_id, Kind::group_box, "Front Panel Info"},
             {k_no_id, Kind::label, "FP Type:"},
             {1155, Kind::combo, "", {"1642", "1635", "650D/650G"}},
             {1085, Kind::label, "Scan Type:"},
             {1001, Kind::combo, "", {"slot", "shadow"}},
             {k_no_id, Kind::label, "LBD Type:"},
             {1002, Kind::combo, "", {"IO控制", "MCU控制"}},
             {k_no_id, Kind::label, "Com Num:"},
             {1005, Kind::combo, "", {"0", "1", "2", "3", "4"}},
             {k_no_id, Kind::label, "Status:"},
             {1160,
              Kind::combo,
              "",
              {"正序", "反序", "正序左移一位", "正序右移一位", "反序左移一位", "反序右移一位"}},
             {k_no_id, Kind::label, "Clock Level:"},
             {1014, Kind::combo, "", k_levels},
             {k_no_id, Kind::label, "Clock Pos:"},
             {1016, Kind::edit},
             {k_no_id, Kind::label, "Data Level:"},
             {1017, Kind::combo, "", k_levels},
             {k_no_id, Kind::label, "Data Pos:"},
             {1019, Kind::edit},
             {1117, Kind::label, "Scan_0 Level:"},
             {1020, Kind::combo, "", k_levels},
             {1138, Kind::label, "Scan_0 Pos:"},
             {1022, Kind::edit},
             {k_no_id, Kind::label, "Lock Lamp Level:"},
             {1053, Kind::combo, "", k_levels},
             {k_no_id, Kind::label, "Lock Lamp Pos:"},
             {1055, Kind::edit},
             {k_no_id, Kind::label, "Power Lamp Level:"},
             {1056, Kind::combo, "", k_levels},
             {k_no_id, Kind::label, "Power Lamp Pos:"},
             {1058, Kind::edit},
             {k_no_id, Kind::label, "Colon Pos:"},
             {1059, Kind::edit},
             {1146, Kind::button, "Load FP Config"},
             {1147, Kind::button, "Save FP Config"},
             {1161, Kind::button, "Start Test Lamp Pos"},
             {1211, Kind::button, "Light All LED/Lamp"},
             {1212, Kind::button, "Dim All LED/Lamp"},
             {1148, Kind::button, "Button3"},
             {1153, Kind::button, "OK"},
             {1159, Kind::button, "Button5"},
         }},
        {1007,
         build<Ui::Dialog1007>,
         {
             {k_no_id, Kind::group_box, "HW Info"},
             {k_no_id, Kind::label, "Video Mode:"},
             {1013, Kind::combo, "", {"CVBS+RGB", "Dual CVBS", "CVBS+YPbPr", "CVBS+S-Video", "Single CVBS"}},
             {1029, Kind::check_box, "With SPDIF"},
             {1031, Kind::check_box, "With LNB_Load"},
             {1161, Kind::check_box, "Scart Enable"},
             {1168, Kind::label, "TV/AV:"},
             {1145, Kind::edit},
             {1169, Kind::label, "TV_MODE:"},
             {1150, Kind::edit},
             {1170, Kind::label, "TV Ratio(16:9)"},
             {1151, Kind::edit},
             {1171, Kind::label, "SOG:"},
             {1162, Kind::combo, "", {"ON", "OFF"}},
             {k_no_id, Kind::label, "Power Off Disp:"},
             {1173, Kind::combo, "", {"Time", "Off", "None"}},
             {1193, Kind::button, "Test Power Wave"},
             {k_no_id, Kind::label, "Standby Mode:"},
             {1176, Kind::combo, "", {"自动待机", "定时关机"}},
             {1177, Kind::check_box, "Chinese"},
             {1179, Kind::check_box, "English"},
             {1180, Kind::check_box, "French"},
             {1181, Kind::check_box, "Russian"},
             {1182, Kind::check_box, "Arabic"},
             {1183, Kind::check_box, "Farsi"},
             {1184, Kind::check_box, "Indonesian"},
             {1185, Kind::check_box, "Portuguese"},
             {1186, Kind::check_box, "Turkish"},
             {k_no_id, Kind::label, "Default language:"},
             {1189, Kind::combo},
             {k_no_id, Kind::label, "Loop Through:"},
             {1007, Kind::combo, "", {"OFF", "ON"}},
             {1146, Kind::button, "Load HW Config"},
             {1147, Kind::button, "Save HW Config"},
         },
         // The Scart controls start hidden; "Scart Enable" shows them.
         {1168, 1169, 1170, 1171, 1145, 1150, 1151, 1162}},
        {1009,
         build<Ui::Dialog1009>,
         {
             {1214, Kind::group_box, "Key Map"},
             {1212, Kind::button, "Start Get Key"},
             {1174, Kind::label, "Key Value in:"},
             {1173, Kind::combo, "", {"10进制", "16进制"}},
             {1200, Kind::report_list},
             {1202, Kind::report_list},
             {1204, Kind::button, "Load FP Key"},
             {1205, Kind::button, "Save FP Key"},
             {1206, Kind::button, "Load IR1 Key"},
             {1207, Kind::button, "Save IR1 Key"},
             {1208, Kind::button, "Load IR2 Key"},
             {1211, Kind::button, "Save IR2 Key"},
             {1209, Kind::label, "IR1 UserCode(in Hex):"},
             {1145, Kind::edit},
             {1210, Kind::label, "IR2 UserCode(in Hex):"},
             {1146, Kind::edit},
         }},
        {1010,
         build<Ui::Dialog1010>,
         {
             {k_no_id, Kind::group_box, "LED Map"},
             {1146, Kind::button, "0"},
             {1148, Kind::button, "1"},
             {1151, Kind::button, "2"},
             {1152, Kind::button, "3"},
             {1150, Kind::button, "4"},
             {1147, Kind::button, "5"},
             {1149, Kind::button, "6"},
             {1211, Kind::button, "7"},
             {1212, Kind::button, "Light All"},
             {1213, Kind::button, "Dim All"},
             {1157, Kind::button, "Start Get LED Map"},
             {1153, Kind::button, "Load LED MAP"},
             {1154, Kind::button, "Save LED MAP"},
         }},
    };
    return k_templates;
}

const Template& template_of(int id) {
    for (const Template& each : templates()) {
        if (each.id == id) {
            return each;
        }
    }
    throw std::out_of_range("no template " + std::to_string(id));
}

TEST(Templates, HoldExactlyTheirControlsWithIdKindTextAndItems) {
    for (const Template& each : templates()) {
        SCOPED_TRACE("template " + std::to_string(each.id));
        const std::unique_ptr<QWidget> form = each.build(nullptr);
        expect_controls(*form, each.controls, each.hidden);
    }
}

// A place in dialog units: x, y, width, height.
struct Place {
    int id;
    int x, y, width, height;
};

TEST(MainForm, KeepsTheTemplatePositionsInPixels) {
    // A combo's template height (30 for 1160) is its open list; closed it is as tall as an edit.
    constexpr int k_closed_combo_height = 14;
    const std::vector<Place> places{
        {1216, 15, 21, 80, 8},      {1160, 96, 17, 66, k_closed_combo_height},
        {1079, 7, 7, 596, 72},      {1080, 13, 41, 79, 8},
        {1077, 96, 38, 314, 14},    {1078, 428, 38, 50, 14},
        {1076, 163, 56, 50, 14},    {1081, 247, 56, 50, 14},
        {1148, 17, 93, 80, 20},     {1149, 111, 99, 180, 8},
        {1153, 425, 93, 80, 20},    {1195, 18, 121, 93, 246},
        {1197, 127, 117, 478, 251}, {1075, 14, 379, 588, 57},
        {1082, 23, 405, 77, 8},     {1073, 104, 402, 283, 14},
        {1074, 395, 402, 50, 14},   {1072, 455, 402, 50, 14},
    };
    const std::unique_ptr<QWidget> form = build<Ui::Dialog1000>();
    EXPECT_EQ(form->size(), QSize(918, 735));
    EXPECT_EQ(form->minimumSize(), QSize(918, 735)) << "a smaller pane scrolls instead of squeezing the form";
    EXPECT_EQ(form->font().pointSize(), 8);
    for (const Place& place : places) {
        SCOPED_TRACE("control " + std::to_string(place.id));
        QWidget* control = find_control(*form, place.id);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->parentWidget(), form.get()) << "positions are the form's own";
        EXPECT_EQ(control->geometry(), to_pixels(place.x, place.y, place.width, place.height));
    }
}

TEST(MainForm, TreeAndTabStartEmptyForTheViewToFill) {
    const std::unique_ptr<QWidget> form = build<Ui::Dialog1000>();
    auto* tree = qobject_cast<QTreeWidget*>(find_control(*form, 1195));
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(tree->topLevelItemCount(), 0);
    EXPECT_TRUE(tree->isHeaderHidden());
    EXPECT_TRUE(tree->rootIsDecorated());
    EXPECT_EQ(tree->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(tree->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    auto* tab = qobject_cast<QTabWidget*>(find_control(*form, 1197));
    ASSERT_NE(tab, nullptr);
    EXPECT_EQ(tab->count(), 0);
}

TEST(PowerWaveDialog, IsAModalDialogWhoseOkIsTheDefault) {
    const std::unique_ptr<QWidget> form = build<Ui::Dialog1004, QDialog>();
    auto* dialog = qobject_cast<QDialog*>(form.get());
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isModal());
    EXPECT_EQ(dialog->windowTitle().toStdString(), "Power Wave Data Config");
    auto* ok = qobject_cast<QPushButton*>(find_control(*form, 1));
    auto* cancel = qobject_cast<QPushButton*>(find_control(*form, 2));
    ASSERT_NE(ok, nullptr);
    ASSERT_NE(cancel, nullptr);
    EXPECT_TRUE(ok->isDefault());
    EXPECT_FALSE(cancel->isDefault());
}

TEST(FrontPanelPage, LampKeysShowTheLeftAndRightArrows) {
    const std::unique_ptr<QWidget> form = build<Ui::Dialog1005>();
    const std::vector<std::pair<int, const char*>> keys{{1148, k_icon_1011}, {1159, k_icon_1012}};
    for (const auto& [id, icon_path] : keys) {
        SCOPED_TRACE("control " + std::to_string(id));
        auto* key = qobject_cast<QPushButton*>(find_control(*form, id));
        ASSERT_NE(key, nullptr);
        ASSERT_FALSE(key->icon().isNull());
        EXPECT_EQ(key->iconSize(), QSize(16, 16));
        const QImage shown = key->icon().pixmap(QSize(16, 16)).toImage();
        EXPECT_TRUE(shown == QIcon(icon_path).pixmap(QSize(16, 16)).toImage()) << "shows another icon";
    }
}

TEST(LedMapPage, SegmentButtonsFormOneDigit) {
    const std::vector<Place> segments{
        {1146, 176, 26, 65, 14},  {1148, 231, 42, 14, 46}, {1151, 231, 108, 14, 46}, {1152, 176, 158, 65, 14},
        {1150, 169, 108, 14, 46}, {1147, 169, 42, 14, 46}, {1149, 176, 90, 65, 14},  {1211, 261, 158, 16, 14},
    };
    const std::unique_ptr<QWidget> form = build<Ui::Dialog1010>();
    const QWidget* top = find_control(*form, segments.front().id);
    ASSERT_NE(top, nullptr);
    for (const Place& segment : segments) {
        SCOPED_TRACE("segment " + std::to_string(segment.id));
        const QWidget* button = find_control(*form, segment.id);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->parentWidget(), top->parentWidget()) << "one digit, one frame";
        EXPECT_EQ(button->size(), QSize(to_pixels_x(segment.width), to_pixels_y(segment.height)));
        // Placed like the template, seen from the top bar; each end rounds by at most half a pixel.
        const QPoint offset = button->pos() - top->pos();
        EXPECT_NEAR(offset.x(), (segment.x - segments.front().x) * k_pixels_per_unit_x, 1.0);
        EXPECT_NEAR(offset.y(), (segment.y - segments.front().y) * k_pixels_per_unit_y, 1.0);
        EXPECT_TRUE(button->parentWidget()->rect().contains(button->geometry())) << "cut off";
    }
}

TEST(Pages, FitTheMainFormsTabAreaWithEveryControlShown) {
    const std::unique_ptr<QWidget> form = build<Ui::Dialog1000>();
    QWidget* tab = find_control(*form, 1197);
    ASSERT_NE(tab, nullptr);
    for (const int id : {1005, 1007, 1009, 1010}) {
        SCOPED_TRACE("template " + std::to_string(id));
        // The view places each page over its tab control, whose font it inherits.
        const std::unique_ptr<QWidget> page = template_of(id).build(tab);
        for (QWidget* child : page->findChildren<QWidget*>()) {
            if (child->property("ctrlId").isValid()) {
                child->setVisible(true);
            }
        }
        const QSize needed = page->minimumSizeHint();
        EXPECT_LE(needed.width(), tab->width());
        EXPECT_LE(needed.height(), tab->height());
    }
}

}  // namespace
}  // namespace velmora::test
