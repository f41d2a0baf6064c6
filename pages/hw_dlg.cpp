#include "pages/hw_dlg.h"

#include <QtDebug>
#include <array>
#include <string>

#include "pages/side_file_dlg.h"
#include "res/dialog_templates.h"

namespace velmora {

namespace {

// Control ids of template 1007; the language check boxes are in k_languages.
constexpr int k_id_video_mode = 1013;
constexpr int k_id_spdif = 1029;
constexpr int k_id_lnb_load = 1031;
constexpr int k_id_scart_enable = 1161;
constexpr int k_id_tv_av = 1145;
constexpr int k_id_tv_mode = 1150;
constexpr int k_id_tv_ratio = 1151;
constexpr int k_id_sog = 1162;
constexpr int k_id_tv_av_label = 1168;
constexpr int k_id_tv_mode_label = 1169;
constexpr int k_id_tv_ratio_label = 1170;
constexpr int k_id_sog_label = 1171;
constexpr int k_id_power_off_disp = 1173;
constexpr int k_id_standby_mode = 1176;
constexpr int k_id_loop_through = 1007;
constexpr int k_id_default_language = 1189;
constexpr int k_id_test_power_wave = 1193;
constexpr int k_id_load = 1146;
constexpr int k_id_save = 1147;

// The controls that follow "Scart Enable".
constexpr std::array k_scart_controls{
    k_id_tv_av_label, k_id_tv_mode_label, k_id_tv_ratio_label, k_id_sog_label,
    k_id_tv_av,       k_id_tv_mode,       k_id_tv_ratio,       k_id_sog,
};

// The combos whose index the page reads only when it stores; "Power Off Disp:" is followed at each
// change.
struct ComboField {
    int id;
    ComboChoice HwPageModel::*choice;
};
constexpr std::array<ComboField, 4> k_combo_fields{{
    {k_id_video_mode, &HwPageModel::video_mode},
    {k_id_sog, &HwPageModel::sog},
    {k_id_standby_mode, &HwPageModel::standby_mode},
    {k_id_loop_through, &HwPageModel::loop_through},
}};

struct CheckField {
    int id;
    bool HwPageModel::*checked;
};
constexpr std::array<CheckField, 2> k_check_fields{{
    {k_id_spdif, &HwPageModel::spdif},
    {k_id_lnb_load, &HwPageModel::lnb_load},
}};

}  // namespace

HWDlg::HWDlg() {
    build_from<Ui::Dialog1007>();

    on_clicked(k_id_scart_enable, [this] { OnScartEnable(); });
    on_clicked(k_id_test_power_wave, [this] { OnTestPowerWave(); });
    on_clicked(k_id_load, [this] { OnLoadHwConfig(); });
    on_clicked(k_id_save, [this] { OnSaveHwConfig(); });
    on_selection_changed(k_id_power_off_disp, [this] { OnPowerOffDispChanged(); });
    for (std::size_t code = 0; code < k_languages.size(); ++code) {
        on_clicked(k_languages[code].check_box_id, [this, code] { OnLanguageClicked(code); });
    }

    bind_text(k_id_tv_av, model_.tv_av);
    bind_text(k_id_tv_mode, model_.tv_mode);
    bind_text(k_id_tv_ratio, model_.tv_ratio);
}

// The power wave dialog is a child of the page once it has run; the member deletes it first, and a
// deleted child leaves its parent's list, so the page's widgets do not delete it again.
HWDlg::~HWDlg() = default;

bool HWDlg::Create(QWidget* parent) {
    create_child(parent);
    return true;
}

PageMessages HWDlg::load(ConfigBlock block) {
    // A flag that the block holds neither code for leaves its box as the user left it.
    pull_controls();
    PageMessages messages = model_.load(block);
    push_all();
    show_page_messages(this, messages);
    return messages;
}

std::optional<PageMessage> HWDlg::store(ConfigBlock& block) {
    pull_controls();
    auto failed = model_.store(block);
    if (failed) {
        show_page_messages(this, {*failed});
    }
    return failed;
}

void HWDlg::set_power_wave_target(ConfigBlock* config) {
    power_wave_target_ = config;
    if (power_wave_dlg_) {
        power_wave_dlg_->set_target(config);
    }
}

void HWDlg::OnScartEnable() {
    model_.set_scart_enable(is_checked(k_id_scart_enable));
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
    // The text of the last load, whatever an earlier opening wrote into the block.
    power_wave_dlg_->set_text(model_.power_wave_text());
    power_wave_dlg_->DoModal(this);
}

void HWDlg::OnLoadHwConfig() {
    pull_controls();
    if (auto messages = RunSideFileLoad(this, model_, SideFileKind::hw)) {
        push_all();
        show_page_messages(this, *messages);
    }
}

void HWDlg::OnSaveHwConfig() {
    pull_controls();
    if (auto messages = RunSideFileSave(this, model_, SideFileKind::hw)) {
        show_page_messages(this, *messages);
    }
}

void HWDlg::OnPowerOffDispChanged() {
    model_.select_power_off_disp(combo_selected(k_id_power_off_disp));
    push_test_power_wave();
}

void HWDlg::OnLanguageClicked(std::size_t code) {
    // The user may have picked another default since the list was last filled.
    model_.select_default_language(combo_selected(k_id_default_language));
    model_.set_language_checked(code, is_checked(k_languages[code].check_box_id));
    push_default_languages();
}

void HWDlg::pull_controls() {
    update_data(true);
    for (const ComboField& field : k_combo_fields) {
        (model_.*field.choice).select(combo_selected(field.id));
    }
    for (const CheckField& field : k_check_fields) {
        model_.*field.checked = is_checked(field.id);
    }
    model_.set_scart_enable(is_checked(k_id_scart_enable));
    model_.select_default_language(combo_selected(k_id_default_language));
}

void HWDlg::push_all() {
    for (const ComboField& field : k_combo_fields) {
        combo_select(field.id, (model_.*field.choice).selected());
    }
    for (const CheckField& field : k_check_fields) {
        set_check(field.id, model_.*field.checked);
    }
    set_check(k_id_scart_enable, model_.scart_enable());
    combo_select(k_id_power_off_disp, model_.power_off_disp().selected());
    for (std::size_t code = 0; code < k_languages.size(); ++code) {
        set_check(k_languages[code].check_box_id, model_.language_checked(code));
    }
    push_default_languages();
    update_data(false);
    push_scart_controls();
    push_test_power_wave();
}

void HWDlg::push_scart_controls() {
    for (const int id : k_scart_controls) {
        show_control(id, model_.scart_controls_shown());
    }
}

void HWDlg::push_test_power_wave() {
    show_control(k_id_test_power_wave, model_.test_power_wave_shown());
}

void HWDlg::push_default_languages() {
    combo_clear(k_id_default_language);
    for (const std::string_view name : model_.default_language_names()) {
        combo_add(k_id_default_language, std::string(name));
    }
    combo_select(k_id_default_language, model_.default_language_selected());
}

}  // namespace velmora
