// The fixed numeric ids of the dialog templates' controls, the one place they are written.
//
// Ids are the system's names for controls: message maps, data exchange and the few places that address a
// control by number use them. A page's ids repeat across templates (1146 is "Load FP Config" on the front
// panel page and "Load HW Config" on the hardware page), so each template has its namespace. Each
// constant is named after the uic member that carries it (k_parse_button is on Ui::MainForm::parse_button);
// set_control_ids (res/dialog_templates.h) puts them on the controls. Static texts and frames have none.
#pragma once

namespace velmora {

// The main form, template 1000.
namespace main_form_id {
inline constexpr int k_project_type_label = 1216;
inline constexpr int k_project_type_combo = 1160;
inline constexpr int k_input_group = 1079;
inline constexpr int k_input_label = 1080;
inline constexpr int k_input_path_edit = 1077;
inline constexpr int k_browse_input_button = 1078;
inline constexpr int k_parse_button = 1076;
inline constexpr int k_clear_button = 1081;
inline constexpr int k_connect_button = 1148;
inline constexpr int k_upg_info_label = 1149;
inline constexpr int k_send_config_button = 1153;
inline constexpr int k_page_tree = 1195;
inline constexpr int k_page_tab = 1197;
inline constexpr int k_output_group = 1075;
inline constexpr int k_output_label = 1082;
inline constexpr int k_output_path_edit = 1073;
inline constexpr int k_browse_output_button = 1074;
inline constexpr int k_generate_button = 1072;
}  // namespace main_form_id

// The power wave dialog, template 1004.
namespace power_wave_id {
inline constexpr int k_power_wave_label = 1194;
inline constexpr int k_power_wave_edit = 1145;
inline constexpr int k_ok_button = 1;
inline constexpr int k_cancel_button = 2;
}  // namespace power_wave_id

// The front panel page, template 1005.
namespace front_panel_id {
inline constexpr int k_fp_type_combo = 1155;
inline constexpr int k_bit_order_combo = 1160;
inline constexpr int k_scan_type_label = 1085;
inline constexpr int k_scan_type_combo = 1001;
inline constexpr int k_com_num_combo = 1005;
inline constexpr int k_lbd_type_combo = 1002;
inline constexpr int k_colon_pos_edit = 1059;
inline constexpr int k_clock_level_combo = 1014;
inline constexpr int k_clock_pos_edit = 1016;
inline constexpr int k_data_level_combo = 1017;
inline constexpr int k_data_pos_edit = 1019;
inline constexpr int k_scan_0_level_label = 1117;
inline constexpr int k_scan_0_level_combo = 1020;
inline constexpr int k_scan_0_pos_label = 1138;
inline constexpr int k_scan_0_pos_edit = 1022;
inline constexpr int k_lock_lamp_level_combo = 1053;
inline constexpr int k_lock_lamp_pos_edit = 1055;
inline constexpr int k_power_lamp_level_combo = 1056;
inline constexpr int k_power_lamp_pos_edit = 1058;
inline constexpr int k_start_lamp_test_button = 1161;
inline constexpr int k_lamp_left_button = 1148;
inline constexpr int k_lamp_confirm_button = 1153;
inline constexpr int k_lamp_right_button = 1159;
inline constexpr int k_load_fp_button = 1146;
inline constexpr int k_save_fp_button = 1147;
inline constexpr int k_light_all_button = 1211;
inline constexpr int k_dim_all_button = 1212;
}  // namespace front_panel_id

// The hardware page ("HW Info"), template 1007.
namespace hw_info_id {
inline constexpr int k_video_mode_combo = 1013;
inline constexpr int k_power_off_disp_combo = 1173;
inline constexpr int k_test_power_wave_button = 1193;
inline constexpr int k_standby_mode_combo = 1176;
inline constexpr int k_loop_through_combo = 1007;
inline constexpr int k_spdif_check = 1029;
inline constexpr int k_lnb_load_check = 1031;
inline constexpr int k_scart_enable_check = 1161;
inline constexpr int k_tv_av_label = 1168;
inline constexpr int k_tv_av_edit = 1145;
inline constexpr int k_tv_mode_label = 1169;
inline constexpr int k_tv_mode_edit = 1150;
inline constexpr int k_tv_ratio_label = 1170;
inline constexpr int k_tv_ratio_edit = 1151;
inline constexpr int k_sog_label = 1171;
inline constexpr int k_sog_combo = 1162;
inline constexpr int k_chinese_check = 1177;
inline constexpr int k_english_check = 1179;
inline constexpr int k_french_check = 1180;
inline constexpr int k_russian_check = 1181;
inline constexpr int k_arabic_check = 1182;
inline constexpr int k_farsi_check = 1183;
inline constexpr int k_indonesian_check = 1184;
inline constexpr int k_portuguese_check = 1185;
inline constexpr int k_turkish_check = 1186;
inline constexpr int k_default_language_combo = 1189;
inline constexpr int k_load_hw_button = 1146;
inline constexpr int k_save_hw_button = 1147;
}  // namespace hw_info_id

// The key map page, template 1009.
namespace key_map_id {
inline constexpr int k_key_map_group = 1214;
inline constexpr int k_get_key_button = 1212;
inline constexpr int k_key_value_label = 1174;
inline constexpr int k_key_value_base_combo = 1173;
inline constexpr int k_fp_key_list = 1200;
inline constexpr int k_ir_key_list = 1202;
inline constexpr int k_load_fp_key_button = 1204;
inline constexpr int k_save_fp_key_button = 1205;
inline constexpr int k_load_ir1_key_button = 1206;
inline constexpr int k_save_ir1_key_button = 1207;
inline constexpr int k_ir1_user_code_label = 1209;
inline constexpr int k_ir1_user_code_edit = 1145;
inline constexpr int k_load_ir2_key_button = 1208;
inline constexpr int k_save_ir2_key_button = 1211;
inline constexpr int k_ir2_user_code_label = 1210;
inline constexpr int k_ir2_user_code_edit = 1146;
}  // namespace key_map_id

// The LED map page, template 1010.
namespace led_map_id {
inline constexpr int k_segment_top_button = 1146;
inline constexpr int k_segment_upper_right_button = 1148;
inline constexpr int k_segment_lower_right_button = 1151;
inline constexpr int k_segment_bottom_button = 1152;
inline constexpr int k_segment_lower_left_button = 1150;
inline constexpr int k_segment_upper_left_button = 1147;
inline constexpr int k_segment_middle_button = 1149;
inline constexpr int k_segment_dot_button = 1211;
inline constexpr int k_light_all_button = 1212;
inline constexpr int k_dim_all_button = 1213;
inline constexpr int k_get_led_map_button = 1157;
inline constexpr int k_load_led_map_button = 1153;
inline constexpr int k_save_led_map_button = 1154;
}  // namespace led_map_id

}  // namespace velmora
