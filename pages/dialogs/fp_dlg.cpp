#include "pages/dialogs/fp_dlg.h"

#include <QComboBox>
#include <QIcon>
#include <QPushButton>
#include <array>
#include <initializer_list>
#include <string>

#include "framework/window_message.h"
#include "link/window_messages.h"
#include "res/control_ids.h"
#include "res/resources.h"

namespace velmora {

namespace {

using namespace front_panel_id;

// The combos whose index the page reads only when it stores; "FP Type:" is followed at each change.
struct ComboField {
    QComboBox* Ui::FrontPanelPage::*combo;
    ComboChoice FpPageModel::*choice;
};
constexpr std::array<ComboField, 9> k_combo_fields{{
    {&Ui::FrontPanelPage::scan_type_combo, &FpPageModel::scan_type},
    {&Ui::FrontPanelPage::lbd_type_combo, &FpPageModel::lbd_type},
    {&Ui::FrontPanelPage::com_num_combo, &FpPageModel::com_num},
    {&Ui::FrontPanelPage::bit_order_combo, &FpPageModel::bit_order},
    {&Ui::FrontPanelPage::clock_level_combo, &FpPageModel::clock_level},
    {&Ui::FrontPanelPage::data_level_combo, &FpPageModel::data_level},
    {&Ui::FrontPanelPage::scan_0_level_combo, &FpPageModel::scan_0_level},
    {&Ui::FrontPanelPage::lock_lamp_level_combo, &FpPageModel::lock_lamp_level},
    {&Ui::FrontPanelPage::power_lamp_level_combo, &FpPageModel::power_lamp_level},
}};

}  // namespace

FPDlg::FPDlg(FpPageModel& model) : PageDialog(model), model_(model) {
    // The template shows the arrow icons, so the resources must be there before it is built.
    velmora_init_resources();
    build_from(ui_, &set_control_ids);

    on_clicked(k_load_fp_button, [this] { OnLoadFpConfig(); });
    on_clicked(k_save_fp_button, [this] { OnSaveFpConfig(); });
    on_clicked(k_lamp_left_button, [this] { OnLampKey(LampKey::left); });
    on_clicked(k_lamp_confirm_button, [this] { OnLampKey(LampKey::confirm); });
    on_clicked(k_lamp_right_button, [this] { OnLampKey(LampKey::right); });
    on_clicked(k_start_lamp_test_button, [this] { OnStartTestLamp(); });
    on_selection_changed(k_fp_type_combo, [this] { OnFpTypeChanged(); });
    on_clicked(k_light_all_button, [this] { OnLightAll(); });
    on_clicked(k_dim_all_button, [this] { OnDimAll(); });
    on_message(message_number(WindowMessage::lamp_test_ended), [this] { return OnLampTestEnded(); });

    bind_text(k_clock_pos_edit, model_.clock_pos);
    bind_text(k_data_pos_edit, model_.data_pos);
    bind_text(k_scan_0_pos_edit, model_.scan_0_pos);
    bind_text(k_lock_lamp_pos_edit, model_.lock_lamp_pos);
    bind_text(k_power_lamp_pos_edit, model_.power_lamp_pos);
    bind_text(k_colon_pos_edit, model_.colon_pos);
}

bool FPDlg::Create(QWidget* parent, Dialog* request_window) {
    create_child(parent);
    ui_.lamp_left_button->setIcon(QIcon(QString::fromLatin1(k_icon_lamp_left)));
    ui_.lamp_right_button->setIcon(QIcon(QString::fromLatin1(k_icon_lamp_right)));
    // The keys show their arrows alone: the template's captions ("Button3", "Button5") mean nothing
    // to users. Screen readers have the keys' accessible names.
    for (QPushButton* key : {ui_.lamp_left_button, ui_.lamp_right_button}) {
        key->setText(QString());
    }
    request_window_ = request_window;
    return true;
}

void FPDlg::reset_lamp_test() {
    model_.reset_lamp_test();
    push_lamp_test();
}

void FPDlg::OnLoadFpConfig() {
    load_side_file_button(SideFileKind::fp);
}

void FPDlg::OnSaveFpConfig() {
    save_side_file_button(SideFileKind::fp);
}

void FPDlg::OnLampKey(LampKey key) {
    model_.click_lamp_key(key);
}

void FPDlg::OnStartTestLamp() {
    const auto request = model_.click_start_lamp_test();
    push_lamp_test();
    if (request) {
        post_request(*request);
    }
}

void FPDlg::OnFpTypeChanged() {
    model_.select_fp_type(ui_.fp_type_combo->currentIndex());
    push_scan_controls();
}

void FPDlg::OnLightAll() {
    post_request(FpPageModel::click_light_all());
}

void FPDlg::OnDimAll() {
    post_request(FpPageModel::click_dim_all());
}

long FPDlg::OnLampTestEnded() {
    model_.lamp_test_ended();
    push_lamp_test();
    return 0;
}

void FPDlg::pull_controls() {
    update_data(true);
    for (const ComboField& field : k_combo_fields) {
        (model_.*field.choice).select((ui_.*field.combo)->currentIndex());
    }
}

void FPDlg::push_controls() {
    combo_select(ui_.fp_type_combo, model_.current_fp_type());
    for (const ComboField& field : k_combo_fields) {
        combo_select(ui_.*field.combo, (model_.*field.choice).selected());
    }
    update_data(false);
    push_scan_controls();
    push_lamp_test();
}

void FPDlg::push_scan_controls() {
    // The controls that only the "1642" driver has.
    for (QWidget* control : std::initializer_list<QWidget*>{ui_.scan_type_label, ui_.scan_type_combo,
                                                            ui_.scan_0_pos_label, ui_.scan_0_pos_edit,
                                                            ui_.scan_0_level_label, ui_.scan_0_level_combo}) {
        control->setVisible(model_.scan_controls_shown());
    }
}

void FPDlg::push_lamp_test() {
    ui_.start_lamp_test_button->setText(QString::fromStdString(model_.start_button_caption()));
    for (QWidget* key : {ui_.lamp_left_button, ui_.lamp_confirm_button, ui_.lamp_right_button}) {
        key->setEnabled(model_.lamp_keys_enabled());
    }
}

void FPDlg::post_request(FpRequest request) {
    post_message(request_window_, static_cast<int>(request));
}

}  // namespace velmora
