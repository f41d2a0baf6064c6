#include "res/dialog_templates.h"
#include "res/resources.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QIcon>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>

#include <functional>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "control_check.h"
#include "res/control_ids.h"

namespace velmora::test {
namespace {

template <class Ui, class Top = QWidget>
std::unique_ptr<QWidget> build(QWidget* parent = nullptr) {
    velmora_init_resources();
    auto form = std::make_unique<Top>(parent);
    Ui ui;
    ui.setupUi(form.get());
    set_control_ids(ui);
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
         build<Ui::MainForm>,
         {
             {main_form_id::k_project_type_label, Kind::label, "Project Type:"},
             {main_form_id::k_project_type_combo, Kind::editable_combo, "", {"Zenth"}, true},
             {main_form_id::k_input_group, Kind::group_box, "Input"},
             {main_form_id::k_input_label, Kind::label, "Input Flash Binary From:"},
             {main_form_id::k_input_path_edit, Kind::read_only_edit},
             {main_form_id::k_browse_input_button, Kind::button, "Browse"},
             {main_form_id::k_parse_button, Kind::button, "Parse"},
             {main_form_id::k_clear_button, Kind::button, "Clear"},
             {main_form_id::k_connect_button, Kind::button, "Connect with Panel"},
             {main_form_id::k_upg_info_label, Kind::label, "upg info:"},
             {main_form_id::k_send_config_button, Kind::button, "Send Config to Panel"},
             {main_form_id::k_page_tree, Kind::tree},
             {main_form_id::k_page_tab, Kind::tab},
             {main_form_id::k_output_group, Kind::group_box, "Output"},
             {main_form_id::k_output_label, Kind::label, "Output Flash Binary To:"},
             {main_form_id::k_output_path_edit, Kind::read_only_edit},
             {main_form_id::k_browse_output_button, Kind::button, "Browse"},
             {main_form_id::k_generate_button, Kind::button, "Generate"},
         }},
        {1004,
         build<Ui::PowerWaveDialog, QDialog>,
         {
             {power_wave_id::k_power_wave_label, Kind::label, "Power Wave Data:"},
             {power_wave_id::k_power_wave_edit, Kind::edit},
             {power_wave_id::k_ok_button, Kind::button, "OK"},
             {power_wave_id::k_cancel_button, Kind::button, "Cancel"},
         }},
        {1005,
         build<Ui::FrontPanelPage>,
         {
             {k_no_id, Kind::group_box, "Front Panel Info"},
             {k_no_id, Kind::label, "FP Type:"},
             {front_panel_id::k_fp_type_combo, Kind::combo, "", {"1642", "1635", "650D/650G"}},
             {front_panel_id::k_scan_type_label, Kind::label, "Scan Type:"},
             {front_panel_id::k_scan_type_combo, Kind::combo, "", {"slot", "shadow"}},
             {k_no_id, Kind::label, "LBD Type:"},
             {front_panel_id::k_lbd_type_combo, Kind::combo, "", {"IO控制", "MCU控制"}},
             {k_no_id, Kind::label, "Com Num:"},
             {front_panel_id::k_com_num_combo, Kind::combo, "", {"0", "1", "2", "3", "4"}},
             {k_no_id, Kind::label, "Status:"},
             {front_panel_id::k_bit_order_combo,
              Kind::combo,
              "",
              {"正序", "反序", "正序左移一位", "正序右移一位", "反序左移一位", "反序右移一位"}},
             {k_no_id, Kind::label, "Clock Level:"},
             {front_panel_id::k_clock_level_combo, Kind::combo, "", k_levels},
             {k_no_id, Kind::label, "Clock Pos:"},
             {front_panel_id::k_clock_pos_edit, Kind::edit},
             {k_no_id, Kind::label, "Data Level:"},
             {front_panel_id::k_data_level_combo, Kind::combo, "", k_levels},
             {k_no_id, Kind::label, "Data Pos:"},
             {front_panel_id::k_data_pos_edit, Kind::edit},
             {front_panel_id::k_scan_0_level_label, Kind::label, "Scan_0 Level:"},
             {front_panel_id::k_scan_0_level_combo, Kind::combo, "", k_levels},
             {front_panel_id::k_scan_0_pos_label, Kind::label, "Scan_0 Pos:"},
             {front_panel_id::k_scan_0_pos_edit, Kind::edit},
             {k_no_id, Kind::label, "Lock Lamp Level:"},
             {front_panel_id::k_lock_lamp_level_combo, Kind::combo, "", k_levels},
             {k_no_id, Kind::label, "Lock Lamp Pos:"},
             {front_panel_id::k_lock_lamp_pos_edit, Kind::edit},
             {k_no_id, Kind::label, "Power Lamp Level:"},
             {front_panel_id::k_power_lamp_level_combo, Kind::combo, "", k_levels},
             {k_no_id, Kind::label, "Power Lamp Pos:"},
             {front_panel_id::k_power_lamp_pos_edit, Kind::edit},
             {k_no_id, Kind::label, "Colon Pos:"},
             {front_panel_id::k_colon_pos_edit, Kind::edit},
             {front_panel_id::k_load_fp_button, Kind::button, "Load FP Config"},
             {front_panel_id::k_save_fp_button, Kind::button, "Save FP Config"},
             {front_panel_id::k_start_lamp_test_button, Kind::button, "Start Test Lamp Pos"},
             {front_panel_id::k_light_all_button, Kind::button, "Light All LED/Lamp"},
             {front_panel_id::k_dim_all_button, Kind::button, "Dim All LED/Lamp"},
             {front_panel_id::k_lamp_left_button, Kind::button, "Button3"},
             {front_panel_id::k_lamp_confirm_button, Kind::button, "OK"},
             {front_panel_id::k_lamp_right_button, Kind::button, "Button5"},
         }},
        {1007,
         build<Ui::HwInfoPage>,
         {
             {k_no_id, Kind::group_box, "HW Info"},
             {k_no_id, Kind::label, "Video Mode:"},
             {hw_info_id::k_video_mode_combo,
              Kind::combo,
              "",
              {"CVBS+RGB", "Dual CVBS", "CVBS+YPbPr", "CVBS+S-Video", "Single CVBS"}},
             {hw_info_id::k_spdif_check, Kind::check_box, "With SPDIF"},
             {hw_info_id::k_lnb_load_check, Kind::check_box, "With LNB_Load"},
             {hw_info_id::k_scart_enable_check, Kind::check_box, "Scart Enable"},
             {hw_info_id::k_tv_av_label, Kind::label, "TV/AV:"},
             {hw_info_id::k_tv_av_edit, Kind::edit},
             {hw_info_id::k_tv_mode_label, Kind::label, "TV_MODE:"},
             {hw_info_id::k_tv_mode_edit, Kind::edit},
             {hw_info_id::k_tv_ratio_label, Kind::label, "TV Ratio(16:9)"},
             {hw_info_id::k_tv_ratio_edit, Kind::edit},
             {hw_info_id::k_sog_label, Kind::label, "SOG:"},
             {hw_info_id::k_sog_combo, Kind::combo, "", {"ON", "OFF"}},
             {k_no_id, Kind::label, "Power Off Disp:"},
             {hw_info_id::k_power_off_disp_combo, Kind::combo, "", {"Time", "Off", "None"}},
             {hw_info_id::k_test_power_wave_button, Kind::button, "Test Power Wave"},
             {k_no_id, Kind::label, "Standby Mode:"},
             {hw_info_id::k_standby_mode_combo, Kind::combo, "", {"自动待机", "定时关机"}},
             {hw_info_id::k_chinese_check, Kind::check_box, "Chinese"},
             {hw_info_id::k_english_check, Kind::check_box, "English"},
             {hw_info_id::k_french_check, Kind::check_box, "French"},
             {hw_info_id::k_russian_check, Kind::check_box, "Russian"},
             {hw_info_id::k_arabic_check, Kind::check_box, "Arabic"},
             {hw_info_id::k_farsi_check, Kind::check_box, "Farsi"},
             {hw_info_id::k_indonesian_check, Kind::check_box, "Indonesian"},
             {hw_info_id::k_portuguese_check, Kind::check_box, "Portuguese"},
             {hw_info_id::k_turkish_check, Kind::check_box, "Turkish"},
             {k_no_id, Kind::label, "Default language:"},
             {hw_info_id::k_default_language_combo, Kind::combo},
             {k_no_id, Kind::label, "Loop Through:"},
             {hw_info_id::k_loop_through_combo, Kind::combo, "", {"OFF", "ON"}},
             {hw_info_id::k_load_hw_button, Kind::button, "Load HW Config"},
             {hw_info_id::k_save_hw_button, Kind::button, "Save HW Config"},
         },
         // The Scart controls start hidden; "Scart Enable" shows them.
         {hw_info_id::k_tv_av_label, hw_info_id::k_tv_mode_label, hw_info_id::k_tv_ratio_label,
          hw_info_id::k_sog_label, hw_info_id::k_tv_av_edit, hw_info_id::k_tv_mode_edit,
          hw_info_id::k_tv_ratio_edit, hw_info_id::k_sog_combo}},
        {1009,
         build<Ui::KeyMapPage>,
         {
             {key_map_id::k_key_map_group, Kind::group_box, "Key Map"},
             {key_map_id::k_get_key_button, Kind::button, "Start Get Key"},
             {key_map_id::k_key_value_label, Kind::label, "Key Value in:"},
             {key_map_id::k_key_value_base_combo, Kind::combo, "", {"10进制", "16进制"}},
             {key_map_id::k_fp_key_list, Kind::report_list},
             {key_map_id::k_ir_key_list, Kind::report_list},
             {key_map_id::k_load_fp_key_button, Kind::button, "Load FP Key"},
             {key_map_id::k_save_fp_key_button, Kind::button, "Save FP Key"},
             {key_map_id::k_load_ir1_key_button, Kind::button, "Load IR1 Key"},
             {key_map_id::k_save_ir1_key_button, Kind::button, "Save IR1 Key"},
             {key_map_id::k_load_ir2_key_button, Kind::button, "Load IR2 Key"},
             {key_map_id::k_save_ir2_key_button, Kind::button, "Save IR2 Key"},
             {key_map_id::k_ir1_user_code_label, Kind::label, "IR1 UserCode(in Hex):"},
             {key_map_id::k_ir1_user_code_edit, Kind::edit},
             {key_map_id::k_ir2_user_code_label, Kind::label, "IR2 UserCode(in Hex):"},
             {key_map_id::k_ir2_user_code_edit, Kind::edit},
         }},
        {1010,
         build<Ui::LedMapPage>,
         {
             {k_no_id, Kind::group_box, "LED Map"},
             {led_map_id::k_segment_top_button, Kind::button, "0"},
             {led_map_id::k_segment_upper_right_button, Kind::button, "1"},
             {led_map_id::k_segment_lower_right_button, Kind::button, "2"},
             {led_map_id::k_segment_bottom_button, Kind::button, "3"},
             {led_map_id::k_segment_lower_left_button, Kind::button, "4"},
             {led_map_id::k_segment_upper_left_button, Kind::button, "5"},
             {led_map_id::k_segment_middle_button, Kind::button, "6"},
             {led_map_id::k_segment_dot_button, Kind::button, "7"},
             {led_map_id::k_light_all_button, Kind::button, "Light All"},
             {led_map_id::k_dim_all_button, Kind::button, "Dim All"},
             {led_map_id::k_get_led_map_button, Kind::button, "Start Get LED Map"},
             {led_map_id::k_load_led_map_button, Kind::button, "Load LED MAP"},
             {led_map_id::k_save_led_map_button, Kind::button, "Save LED MAP"},
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

// The geometry of each control, in the form's own coordinates; a missing control fails the test.
std::vector<QRect> rects_of(QWidget& form, const std::vector<int>& ids) {
    std::vector<QRect> rects;
    for (const int id : ids) {
        const QWidget* control = find_control(form, id);
        EXPECT_NE(control, nullptr) << "control " << id;
        rects.push_back(control == nullptr ? QRect()
                                           : QRect(control->mapTo(&form, QPoint(0, 0)), control->size()));
    }
    return rects;
}

void expect_no_overlap(const std::vector<int>& ids, const std::vector<QRect>& rects) {
    for (std::size_t a = 0; a < rects.size(); ++a) {
        for (std::size_t b = a + 1; b < rects.size(); ++b) {
            EXPECT_FALSE(rects[a].intersects(rects[b])) << "controls " << ids[a] << " and " << ids[b];
        }
    }
}

// On one line, the label left of its field.
void expect_label_before(const QRect& label, const QRect& field) {
    EXPECT_LT(label.right(), field.left());
    EXPECT_GE(label.center().y(), field.top());
    EXPECT_LE(label.center().y(), field.bottom());
}

// Where a user looks for each control: the paths and their buttons inside their groups, the page tree
// left of the pages under the link's buttons, every label on the line of its field, nothing covering
// anything else and nothing outside the form.
TEST(MainForm, KeepsItsControlsInTheirGroupsAndApart) {
    using namespace main_form_id;
    const std::vector<int> input_ids{k_project_type_label, k_project_type_combo,  k_input_label,
                                     k_input_path_edit,    k_browse_input_button, k_parse_button,
                                     k_clear_button};
    const std::vector<int> output_ids{k_output_label, k_output_path_edit, k_browse_output_button,
                                      k_generate_button};
    const std::vector<int> middle_ids{k_connect_button, k_upg_info_label, k_send_config_button, k_page_tree,
                                      k_page_tab};
    const std::unique_ptr<QWidget> form = build<Ui::MainForm>();
    EXPECT_EQ(form->size(), QSize(918, 735));
    EXPECT_EQ(form->minimumSize(), QSize(918, 735)) << "a smaller pane scrolls instead of squeezing the form";
    EXPECT_EQ(form->font().pointSize(), 8);

    const std::vector<QRect> groups = rects_of(*form, {k_input_group, k_output_group});
    const std::vector<QRect> input = rects_of(*form, input_ids);
    const std::vector<QRect> output = rects_of(*form, output_ids);
    const std::vector<QRect> middle = rects_of(*form, middle_ids);
    for (const QRect& control : input) {
        EXPECT_TRUE(groups[0].contains(control)) << "in the input group";
    }
    for (const QRect& control : output) {
        EXPECT_TRUE(groups[1].contains(control)) << "in the output group";
    }
    for (const QRect& control : middle) {
        EXPECT_TRUE(form->rect().contains(control));
        EXPECT_FALSE(control.intersects(groups[0]) || control.intersects(groups[1]));
    }
    std::vector<int> ids = input_ids;
    std::vector<QRect> rects = input;
    ids.insert(ids.end(), output_ids.begin(), output_ids.end());
    rects.insert(rects.end(), output.begin(), output.end());
    ids.insert(ids.end(), middle_ids.begin(), middle_ids.end());
    rects.insert(rects.end(), middle.begin(), middle.end());
    expect_no_overlap(ids, rects);

    expect_label_before(input[0], input[1]);    // "Project Type"
    expect_label_before(input[2], input[3]);    // the input path
    expect_label_before(output[0], output[1]);  // the output path
    EXPECT_LT(middle[3].right(), middle[4].left()) << "the tree left of the pages";
    EXPECT_LT(middle[0].bottom(), middle[3].top()) << "Connect above the tree";
    EXPECT_LT(middle[2].bottom(), middle[4].top()) << "Send Config above the pages";
}

TEST(MainForm, TreeAndTabStartEmptyForTheViewToFill) {
    const std::unique_ptr<QWidget> form = build<Ui::MainForm>();
    auto* tree = qobject_cast<QTreeWidget*>(find_control(*form, main_form_id::k_page_tree));
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(tree->topLevelItemCount(), 0);
    EXPECT_TRUE(tree->isHeaderHidden());
    EXPECT_TRUE(tree->rootIsDecorated());
    EXPECT_EQ(tree->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(tree->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    auto* tab = qobject_cast<QTabWidget*>(find_control(*form, main_form_id::k_page_tab));
    ASSERT_NE(tab, nullptr);
    EXPECT_EQ(tab->count(), 0);
}

TEST(PowerWaveDialog, IsAModalDialogWhoseOkIsTheDefault) {
    const std::unique_ptr<QWidget> form = build<Ui::PowerWaveDialog, QDialog>();
    auto* dialog = qobject_cast<QDialog*>(form.get());
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isModal());
    EXPECT_EQ(dialog->windowTitle().toStdString(), "Power Wave Data Config");
    auto* ok = qobject_cast<QPushButton*>(find_control(*form, power_wave_id::k_ok_button));
    auto* cancel = qobject_cast<QPushButton*>(find_control(*form, power_wave_id::k_cancel_button));
    ASSERT_NE(ok, nullptr);
    ASSERT_NE(cancel, nullptr);
    EXPECT_TRUE(ok->isDefault());
    EXPECT_FALSE(cancel->isDefault());
}

TEST(FrontPanelPage, LampKeysShowTheLeftAndRightArrows) {
    const std::unique_ptr<QWidget> form = build<Ui::FrontPanelPage>();
    const std::vector<std::pair<int, const char*>> keys{
        {front_panel_id::k_lamp_left_button, k_icon_lamp_left},
        {front_panel_id::k_lamp_right_button, k_icon_lamp_right}};
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

// The segment buttons are drawn as a digit, in one frame: three bars one above the other, on each
// side one bar above and one below the middle, and the dot right of the bottom; none covers another.
TEST(LedMapPage, SegmentButtonsFormOneDigit) {
    using namespace led_map_id;
    const std::vector<int> ids{k_segment_top_button,         k_segment_upper_right_button,
                               k_segment_lower_right_button, k_segment_bottom_button,
                               k_segment_lower_left_button,  k_segment_upper_left_button,
                               k_segment_middle_button,      k_segment_dot_button};
    const std::unique_ptr<QWidget> form = build<Ui::LedMapPage>();
    const QWidget* frame = nullptr;
    for (const int id : ids) {
        const QWidget* button = find_control(*form, id);
        ASSERT_NE(button, nullptr) << id;
        frame = frame == nullptr ? button->parentWidget() : frame;
        EXPECT_EQ(button->parentWidget(), frame) << "one digit, one frame";
        EXPECT_TRUE(frame->rect().contains(button->geometry())) << id << " cut off";
    }
    const std::vector<QRect> rects = rects_of(*form, ids);
    expect_no_overlap(ids, rects);
    const QRect& top = rects[0];
    const QRect& upper_right = rects[1];
    const QRect& lower_right = rects[2];
    const QRect& bottom = rects[3];
    const QRect& lower_left = rects[4];
    const QRect& upper_left = rects[5];
    const QRect& middle = rects[6];
    const QRect& dot = rects[7];

    for (const QRect* bar : {&middle, &bottom}) {
        EXPECT_EQ(bar->left(), top.left());
        EXPECT_EQ(bar->width(), top.width());
    }
    EXPECT_LT(top.bottom(), middle.top());
    EXPECT_LT(middle.bottom(), bottom.top());
    for (const QRect* side : {&upper_left, &upper_right}) {
        EXPECT_LT(top.bottom(), side->top());
        EXPECT_LT(side->bottom(), middle.top());
    }
    for (const QRect* side : {&lower_left, &lower_right}) {
        EXPECT_LT(middle.bottom(), side->top());
        EXPECT_LT(side->bottom(), bottom.top());
    }
    for (const QRect* left : {&upper_left, &lower_left}) {
        EXPECT_LT(left->left(), top.left());
    }
    for (const QRect* right : {&upper_right, &lower_right}) {
        EXPECT_GT(right->right(), top.right());
    }
    EXPECT_GT(dot.left(), lower_right.right());
    EXPECT_LE(dot.top(), bottom.bottom());
    EXPECT_GE(dot.bottom(), bottom.top());
}

TEST(Pages, FitTheMainFormsTabAreaWithEveryControlShown) {
    const std::unique_ptr<QWidget> form = build<Ui::MainForm>();
    QWidget* tab = find_control(*form, main_form_id::k_page_tab);
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
