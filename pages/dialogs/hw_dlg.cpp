#include "pages/dialogs/hw_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QtDebug>
#include <array>
#include <initializer_list>
#include <string>

#include "res/control_ids.h"

namespace velmora {

namespace {

using namespace hw_info_id;

using Ui::HwInfoPage;

// The language check boxes by language code (the order of k_languages), with their ids.
struct LanguageBox {
    QCheckBox* HwInfoPage::*check_box;
    int id;
};
constexpr std::array<LanguageBox, k_languages.size()> k_language_boxes{{
    {&HwInfoPage::chinese_check, k_chinese_check},
    {&HwInfoPage::english_check, k_english_check},
    {&HwInfoPage::french_check, k_french_check},
    {&HwInfoPage::russian_check, k_russian_check},
    {&HwInfoPage::arabic_check, k_arabic_check},
    {&HwInfoPage::farsi_check, k_farsi_check},
    {&HwInfoPage::indonesian_check, k_indonesian_check},
    {&HwInfoPage::portuguese_check, k_portuguese_check},
    {&HwInfoPage::turkish_check, k_turkish_check},
}};

// The combos whose index the page reads only when it stores; "Power Off Disp:" is followed at each
// change.
struct ComboField {
    QComboBox* HwInfoPage::*combo;
    ComboChoice HwPageModel::*choice;
};
constexpr std::array<ComboField, 4> k_combo_fields{{
    {&HwInfoPage::video_mode_combo, &HwPageModel::video_mode},
    {&HwInfoPage::sog_combo, &HwPageModel::sog},
    {&HwInfoPage::standby_mode_combo, &HwPageModel::standby_mode},
    {&HwInfoPage::loop_through_combo, &HwPageModel::loop_through},
}};

struct CheckField {
    QCheckBox* HwInfoPage::*check_box;
    bool HwPageModel::*checked;
};
constexpr std::array<CheckField, 2> k_check_fields{{
    {&HwInfoPage::spdif_check, &HwPageModel::spdif},
    {&HwInfoPage::lnb_load_check, &HwPageModel::lnb_load},
}};

}  // namespace

HWDlg::HWDlg(HwPageModel& model) : PageDialog(model), model_(model) {
    build_from(ui_, &set_control_ids);

    on_clicked(k_scart_enable_check, [this] { OnScartEnable(); });
    on_clicked(k_test_power_wave_button, [this] { OnTestPowerWave(); });
    on_clicked(k_load_hw_button, [this] { OnLoadHwConfig(); });
    on_clicked(k_save_hw_button, [this] { OnSaveHwConfig(); });
    on_selection_changed(k_power_off_disp_combo, [this] { OnPowerOffDispChanged(); });
    for (std::size_t code = 0; code < k_language_boxes.size(); ++code) {
        on_clicked(k_language_boxes[code].id, [this, code] { OnLanguageClicked(code); });
    }

    bind_text(k_tv_av_edit, model_.tv_av);
    bind_text(k_tv_mode_edit, model_.tv_mode);
    bind_text(k_tv_ratio_edit, model_.tv_ratio);
}

// The power wave dialog is a child of the page once it has run; the member deletes it first, and a
// deleted child leaves its parent's list, so the page's widgets do not delete it again.
HWDlg::~HWDlg() = default;

bool HWDlg::Create(QWidget* parent) {
    create_child(parent);
    return true;
}

void HWDlg::before_load() {
    // A flag that the block holds neither code for leaves its box as the user left it.
    pull_controls();
}

void HWDlg::set_power_wave_target(ConfigBlock* config) {
    power_wave_target_ = config;
    if (power_wave_dlg_) {
        power_wave_dlg_->set_target(config);
    }
}

void HWDlg::OnScartEnable() {
    model_.set_scart_enable(ui_.scart_enable_check->isChecked());
    push_scart_controls();
}

void HWDlg::OnTestPowerWave() {
    if (power_wave_target_ == nullptr) {
        qCritical("HWDlg: no configuration block for the power wave dialog");
        return;
    }
    if (!power_wave_dlg_) {
        power_wave_dlg_ = std::make_unique<CPowerWaveDlg>();
    }
    power_wave_dlg_->set_target(power_wave_target_);
    power_wave_dlg_->set_text(model_.power_wave_text());
    // After OK the next opening shows the values as stored, not the text of the last load.
    if (power_wave_dlg_->do_modal(this) == k_id_ok) {
        model_.power_wave_stored(*power_wave_target_);
    }
}

void HWDlg::OnLoadHwConfig() {
    load_side_file_button(SideFileKind::hw);
}

void HWDlg::OnSaveHwConfig() {
    // The record keeps the power-wave words of the view's block, which the power wave dialog writes.
    model_.set_side_record_base(power_wave_target_);
    save_side_file_button(SideFileKind::hw);
}

void HWDlg::OnPowerOffDispChanged() {
    model_.select_power_off_disp(ui_.power_off_disp_combo->currentIndex());
    push_test_power_wave();
}

void HWDlg::OnLanguageClicked(std::size_t code) {
    // The user may have picked another default since the list was last filled.
    model_.select_default_language(ui_.default_language_combo->currentIndex());
    model_.set_language_checked(code, (ui_.*k_language_boxes.at(code).check_box)->isChecked());
    push_default_languages();
}

void HWDlg::pull_controls() {
    update_data(true);
    for (const ComboField& field : k_combo_fields) {
        (model_.*field.choice).select((ui_.*field.combo)->currentIndex());
    }
    for (const CheckField& field : k_check_fields) {
        model_.*field.checked = (ui_.*field.check_box)->isChecked();
    }
    model_.set_scart_enable(ui_.scart_enable_check->isChecked());
    model_.select_default_language(ui_.default_language_combo->currentIndex());
}

void HWDlg::push_controls() {
    for (const ComboField& field : k_combo_fields) {
        combo_select(ui_.*field.combo, (model_.*field.choice).selected());
    }
    for (const CheckField& field : k_check_fields) {
        (ui_.*field.check_box)->setChecked(model_.*field.checked);
    }
    ui_.scart_enable_check->setChecked(model_.scart_enable());
    combo_select(ui_.power_off_disp_combo, model_.power_off_disp().selected());
    for (std::size_t code = 0; code < k_language_boxes.size(); ++code) {
        (ui_.*k_language_boxes[code].check_box)->setChecked(model_.language_checked(code));
    }
    push_default_languages();
    update_data(false);
    push_scart_controls();
    push_test_power_wave();
}

void HWDlg::push_scart_controls() {
    // The controls that follow "Scart Enable".
    for (QWidget* control : std::initializer_list<QWidget*>{
             ui_.tv_av_label, ui_.tv_mode_label, ui_.tv_ratio_label, ui_.sog_label, ui_.tv_av_edit,
             ui_.tv_mode_edit, ui_.tv_ratio_edit, ui_.sog_combo}) {
        control->setVisible(model_.scart_controls_shown());
    }
}

void HWDlg::push_test_power_wave() {
    ui_.test_power_wave_button->setVisible(model_.test_power_wave_shown());
}

void HWDlg::push_default_languages() {
    ui_.default_language_combo->clear();
    for (const std::string_view name : model_.default_language_names()) {
        combo_add(ui_.default_language_combo, std::string(name));
    }
    combo_select(ui_.default_language_combo, model_.default_language_selected());
}

}  // namespace velmora
