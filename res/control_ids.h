// The fixed numeric ids of the dialog templates' controls: one table per template, the one place
// where a control's id is written.
//
// Ids are the system's names for controls: message maps, data exchange and the few places that address a
// control by number use them. A page's ids repeat across templates (1146 is "Load FP Config" on the front
// panel page and "Load HW Config" on the hardware page), so each template has its namespace. Each
// table row is X(uic member, id); from it come the constant named after the member (k_parse_button is
// on Ui::MainForm::parse_button) and the line of set_control_ids (res/dialog_templates.h) that puts the
// id on that control. Static texts and frames have none.
#pragma once

// The main form, template 1000.
#define VELMORA_MAIN_FORM_CONTROLS(X) \
    X(project_type_label, 1216)       \
    X(project_type_combo, 1160)       \
    X(input_group, 1079)              \
    X(input_label, 1080)              \
    X(input_path_edit, 1077)          \
    X(browse_input_button, 1078)      \
    X(parse_button, 1076)             \
    X(clear_button, 1081)             \
    X(connect_button, 1148)           \
    X(upg_info_label, 1149)           \
    X(send_config_button, 1153)       \
    X(page_tree, 1195)                \
    X(page_tab, 1197)                 \
    X(output_group, 1075)             \
    X(output_label, 1082)             \
    X(output_path_edit, 1073)         \
    X(browse_output_button, 1074)     \
    X(generate_button, 1072)

// The power wave dialog, template 1004.
#define VELMORA_POWER_WAVE_DIALOG_CONTROLS(X) \
    X(power_wave_label, 1194)                 \
    X(power_wave_edit, 1145)                  \
    X(ok_button, 1)                           \
    X(cancel_button, 2)

// The front panel page, template 1005.
#define VELMORA_FRONT_PANEL_PAGE_CONTROLS(X) \
    X(fp_type_combo, 1155)                   \
    X(bit_order_combo, 1160)                 \
    X(scan_type_label, 1085)                 \
    X(scan_type_combo, 1001)                 \
    X(com_num_combo, 1005)                   \
    X(lbd_type_combo, 1002)                  \
    X(colon_pos_edit, 1059)                  \
    X(clock_level_combo, 1014)               \
    X(clock_pos_edit, 1016)                  \
    X(data_level_combo, 1017)                \
    X(data_pos_edit, 1019)                   \
    X(scan_0_level_label, 1117)              \
    X(scan_0_level_combo, 1020)              \
    X(scan_0_pos_label, 1138)                \
    X(scan_0_pos_edit, 1022)                 \
    X(lock_lamp_level_combo, 1053)           \
    X(lock_lamp_pos_edit, 1055)              \
    X(power_lamp_level_combo, 1056)          \
    X(power_lamp_pos_edit, 1058)             \
    X(start_lamp_test_button, 1161)          \
    X(lamp_left_button, 1148)                \
    X(lamp_confirm_button, 1153)             \
    X(lamp_right_button, 1159)               \
    X(load_fp_button, 1146)                  \
    X(save_fp_button, 1147)                  \
    X(light_all_button, 1211)                \
    X(dim_all_button, 1212)

// The hardware page ("HW Info"), template 1007.
#define VELMORA_HW_INFO_PAGE_CONTROLS(X) \
    X(video_mode_combo, 1013)            \
    X(power_off_disp_combo, 1173)        \
    X(test_power_wave_button, 1193)      \
    X(standby_mode_combo, 1176)          \
    X(loop_through_combo, 1007)          \
    X(spdif_check, 1029)                 \
    X(lnb_load_check, 1031)              \
    X(scart_enable_check, 1161)          \
    X(tv_av_label, 1168)                 \
    X(tv_av_edit, 1145)                  \
    X(tv_mode_label, 1169)               \
    X(tv_mode_edit, 1150)                \
    X(tv_ratio_label, 1170)              \
    X(tv_ratio_edit, 1151)               \
    X(sog_label, 1171)                   \
    X(sog_combo, 1162)                   \
    X(chinese_check, 1177)               \
    X(english_check, 1179)               \
    X(french_check, 1180)                \
    X(russian_check, 1181)               \
    X(arabic_check, 1182)                \
    X(farsi_check, 1183)                 \
    X(indonesian_check, 1184)            \
    X(portuguese_check, 1185)            \
    X(turkish_check, 1186)               \
    X(default_language_combo, 1189)      \
    X(load_hw_button, 1146)              \
    X(save_hw_button, 1147)

// The key map page, template 1009.
#define VELMORA_KEY_MAP_PAGE_CONTROLS(X) \
    X(key_map_group, 1214)               \
    X(get_key_button, 1212)              \
    X(key_value_label, 1174)             \
    X(key_value_base_combo, 1173)        \
    X(fp_key_list, 1200)                 \
    X(ir_key_list, 1202)                 \
    X(load_fp_key_button, 1204)          \
    X(save_fp_key_button, 1205)          \
    X(load_ir1_key_button, 1206)         \
    X(save_ir1_key_button, 1207)         \
    X(ir1_user_code_label, 1209)         \
    X(ir1_user_code_edit, 1145)          \
    X(load_ir2_key_button, 1208)         \
    X(save_ir2_key_button, 1211)         \
    X(ir2_user_code_label, 1210)         \
    X(ir2_user_code_edit, 1146)

// The LED map page, template 1010.
#define VELMORA_LED_MAP_PAGE_CONTROLS(X) \
    X(segment_top_button, 1146)          \
    X(segment_upper_right_button, 1148)  \
    X(segment_lower_right_button, 1151)  \
    X(segment_bottom_button, 1152)       \
    X(segment_lower_left_button, 1150)   \
    X(segment_upper_left_button, 1147)   \
    X(segment_middle_button, 1149)       \
    X(segment_dot_button, 1211)          \
    X(light_all_button, 1212)            \
    X(dim_all_button, 1213)              \
    X(get_led_map_button, 1157)          \
    X(load_led_map_button, 1153)         \
    X(save_led_map_button, 1154)

#define VELMORA_CONTROL_ID_CONSTANT(member, id) inline constexpr int k_##member = id;

namespace velmora {

namespace main_form_id {
VELMORA_MAIN_FORM_CONTROLS(VELMORA_CONTROL_ID_CONSTANT)
}  // namespace main_form_id

namespace power_wave_id {
VELMORA_POWER_WAVE_DIALOG_CONTROLS(VELMORA_CONTROL_ID_CONSTANT)
}  // namespace power_wave_id

namespace front_panel_id {
VELMORA_FRONT_PANEL_PAGE_CONTROLS(VELMORA_CONTROL_ID_CONSTANT)
}  // namespace front_panel_id

namespace hw_info_id {
VELMORA_HW_INFO_PAGE_CONTROLS(VELMORA_CONTROL_ID_CONSTANT)
}  // namespace hw_info_id

namespace key_map_id {
VELMORA_KEY_MAP_PAGE_CONTROLS(VELMORA_CONTROL_ID_CONSTANT)
}  // namespace key_map_id

namespace led_map_id {
VELMORA_LED_MAP_PAGE_CONTROLS(VELMORA_CONTROL_ID_CONSTANT)
}  // namespace led_map_id

}  // namespace velmora

#undef VELMORA_CONTROL_ID_CONSTANT
