#include "res/dialog_templates.h"

#include <QWidget>

#include "framework/dialog.h"
#include "res/control_ids.h"

namespace velmora {

namespace {

void set_id(QWidget* control, int id) {
    control->setProperty(k_ctrl_id_property, id);
}

}  // namespace

void set_control_ids(Ui::MainForm& ui) {
    using namespace main_form_id;
    set_id(ui.project_type_label, k_project_type_label);
    set_id(ui.project_type_combo, k_project_type_combo);
    set_id(ui.input_group, k_input_group);
    set_id(ui.input_label, k_input_label);
    set_id(ui.input_path_edit, k_input_path_edit);
    set_id(ui.browse_input_button, k_browse_input_button);
    set_id(ui.parse_button, k_parse_button);
    set_id(ui.clear_button, k_clear_button);
    set_id(ui.connect_button, k_connect_button);
    set_id(ui.upg_info_label, k_upg_info_label);
    set_id(ui.send_config_button, k_send_config_button);
    set_id(ui.page_tree, k_page_tree);
    set_id(ui.page_tab, k_page_tab);
    set_id(ui.output_group, k_output_group);
    set_id(ui.output_label, k_output_label);
    set_id(ui.output_path_edit, k_output_path_edit);
    set_id(ui.browse_output_button, k_browse_output_button);
    set_id(ui.generate_button, k_generate_button);
}

void set_control_ids(Ui::PowerWaveDialog& ui) {
    using namespace power_wave_id;
    set_id(ui.power_wave_label, k_power_wave_label);
    set_id(ui.power_wave_edit, k_power_wave_edit);
    set_id(ui.ok_button, k_ok_button);
    set_id(ui.cancel_button, k_cancel_button);
}

void set_control_ids(Ui::FrontPanelPage& ui) {
    using namespace front_panel_id;
    set_id(ui.fp_type_combo, k_fp_type_combo);
    set_id(ui.bit_order_combo, k_bit_order_combo);
    set_id(ui.scan_type_label, k_scan_type_label);
    set_id(ui.scan_type_combo, k_scan_type_combo);
    set_id(ui.com_num_combo, k_com_num_combo);
    set_id(ui.lbd_type_combo, k_lbd_type_combo);
    set_id(ui.colon_pos_edit, k_colon_pos_edit);
    set_id(ui.clock_level_combo, k_clock_level_combo);
    set_id(ui.clock_pos_edit, k_clock_pos_edit);
    set_id(ui.data_level_combo, k_data_level_combo);
    set_id(ui.data_pos_edit, k_data_pos_edit);
    set_id(ui.scan_0_level_label, k_scan_0_level_label);
    set_id(ui.scan_0_level_combo, k_scan_0_level_combo);
    set_id(ui.scan_0_pos_label, k_scan_0_pos_label);
    set_id(ui.scan_0_pos_edit, k_scan_0_pos_edit);
    set_id(ui.lock_lamp_level_combo, k_lock_lamp_level_combo);
    set_id(ui.lock_lamp_pos_edit, k_lock_lamp_pos_edit);
    set_id(ui.power_lamp_level_combo, k_power_lamp_level_combo);
    set_id(ui.power_lamp_pos_edit, k_power_lamp_pos_edit);
    set_id(ui.start_lamp_test_button, k_start_lamp_test_button);
    set_id(ui.lamp_left_button, k_lamp_left_button);
    set_id(ui.lamp_confirm_button, k_lamp_confirm_button);
    set_id(ui.lamp_right_button, k_lamp_right_button);
    set_id(ui.load_fp_button, k_load_fp_button);
    set_id(ui.save_fp_button, k_save_fp_button);
    set_id(ui.light_all_button, k_light_all_button);
    set_id(ui.dim_all_button, k_dim_all_button);
}

void set_control_ids(Ui::HwInfoPage& ui) {
    using namespace hw_info_id;
    set_id(ui.video_mode_combo, k_video_mode_combo);
    set_id(ui.power_off_disp_combo, k_power_off_disp_combo);
    set_id(ui.test_power_wave_button, k_test_power_wave_button);
    set_id(ui.standby_mode_combo, k_standby_mode_combo);
    set_id(ui.loop_through_combo, k_loop_through_combo);
    set_id(ui.spdif_check, k_spdif_check);
    set_id(ui.lnb_load_check, k_lnb_load_check);
    set_id(ui.scart_enable_check, k_scart_enable_check);
    set_id(ui.tv_av_label, k_tv_av_label);
    set_id(ui.tv_av_edit, k_tv_av_edit);
    set_id(ui.tv_mode_label, k_tv_mode_label);
    set_id(ui.tv_mode_edit, k_tv_mode_edit);
    set_id(ui.tv_ratio_label, k_tv_ratio_label);
    set_id(ui.tv_ratio_edit, k_tv_ratio_edit);
    set_id(ui.sog_label, k_sog_label);
    set_id(ui.sog_combo, k_sog_combo);
    set_id(ui.chinese_check, k_chinese_check);
    set_id(ui.english_check, k_english_check);
    set_id(ui.french_check, k_french_check);
    set_id(ui.russian_check, k_russian_check);
    set_id(ui.arabic_check, k_arabic_check);
    set_id(ui.farsi_check, k_farsi_check);
    set_id(ui.indonesian_check, k_indonesian_check);
    set_id(ui.portuguese_check, k_portuguese_check);
    set_id(ui.turkish_check, k_turkish_check);
    set_id(ui.default_language_combo, k_default_language_combo);
    set_id(ui.load_hw_button, k_load_hw_button);
    set_id(ui.save_hw_button, k_save_hw_button);
}

void set_control_ids(Ui::KeyMapPage& ui) {
    using namespace key_map_id;
    set_id(ui.key_map_group, k_key_map_group);
    set_id(ui.get_key_button, k_get_key_button);
    set_id(ui.key_value_label, k_key_value_label);
    set_id(ui.key_value_base_combo, k_key_value_base_combo);
    set_id(ui.fp_key_list, k_fp_key_list);
    set_id(ui.ir_key_list, k_ir_key_list);
    set_id(ui.load_fp_key_button, k_load_fp_key_button);
    set_id(ui.save_fp_key_button, k_save_fp_key_button);
    set_id(ui.load_ir1_key_button, k_load_ir1_key_button);
    set_id(ui.save_ir1_key_button, k_save_ir1_key_button);
    set_id(ui.ir1_user_code_label, k_ir1_user_code_label);
    set_id(ui.ir1_user_code_edit, k_ir1_user_code_edit);
    set_id(ui.load_ir2_key_button, k_load_ir2_key_button);
    set_id(ui.save_ir2_key_button, k_save_ir2_key_button);
    set_id(ui.ir2_user_code_label, k_ir2_user_code_label);
    set_id(ui.ir2_user_code_edit, k_ir2_user_code_edit);
}

void set_control_ids(Ui::LedMapPage& ui) {
    using namespace led_map_id;
    set_id(ui.segment_top_button, k_segment_top_button);
    set_id(ui.segment_upper_right_button, k_segment_upper_right_button);
    set_id(ui.segment_lower_right_button, k_segment_lower_right_button);
    set_id(ui.segment_bottom_button, k_segment_bottom_button);
    set_id(ui.segment_lower_left_button, k_segment_lower_left_button);
    set_id(ui.segment_upper_left_button, k_segment_upper_left_button);
    set_id(ui.segment_middle_button, k_segment_middle_button);
    set_id(ui.segment_dot_button, k_segment_dot_button);
    set_id(ui.light_all_button, k_light_all_button);
    set_id(ui.dim_all_button, k_dim_all_button);
    set_id(ui.get_led_map_button, k_get_led_map_button);
    set_id(ui.load_led_map_button, k_load_led_map_button);
    set_id(ui.save_led_map_button, k_save_led_map_button);
}

}  // namespace velmora
