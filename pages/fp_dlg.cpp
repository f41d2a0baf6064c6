#include "pages/fp_dlg.h"

#include <QAbstractButton>
#include <QIcon>
#include <array>
#include <string>

#include "framework/window_message.h"
#include "pages/side_file_dlg.h"
#include "res/dialog_templates.h"
#include "res/resources.h"

namespace velmora {

namespace {

// Control ids of template 1005.
constexpr int k_id_fp_type = 1155;
constexpr int k_id_scan_type = 1001;
constexpr int k_id_lbd_type = 1002;
constexpr int k_id_com_num = 1005;
constexpr int k_id_status = 1160;
constexpr int k_id_clock_level = 1014;
constexpr int k_id_clock_pos = 1016;
constexpr int k_id_data_level = 1017;
constexpr int k_id_data_pos = 1019;
constexpr int k_id_scan_0_level = 1020;
constexpr int k_id_scan_0_pos = 1022;
constexpr int k_id_lock_lamp_level = 1053;
constexpr int k_id_lock_lamp_pos = 1055;
constexpr int k_id_power_lamp_level = 1056;
constexpr int k_id_power_lamp_pos = 1058;
constexpr int k_id_colon_pos = 1059;
constexpr int k_id_scan_type_label = 1085;
constexpr int k_id_scan_0_level_label = 1117;
constexpr int k_id_scan_0_pos_label = 1138;
constexpr int k_id_load = 1146;
constexpr int k_id_save = 1147;
constexpr int k_id_left = 1148;
constexpr int k_id_confirm = 1153;
constexpr int k_id_right = 1159;
constexpr int k_id_start_lamp_test = 1161;
constexpr int k_id_light_all = 1211;
constexpr int k_id_dim_all = 1212;

static_assert(k_lamp_test_ended_message == WM_USER + 18);
static_assert(static_cast<int>(FpRequest::start_lamp_test) == WM_USER + 21);

// The controls that only the "1642" driver has.
constexpr std::array k_scan_controls{
    k_id_scan_type_label, k_id_scan_type,          k_id_scan_0_pos_label,
    k_id_scan_0_pos,      k_id_scan_0_level_label, k_id_scan_0_level,
};
constexpr std::array k_lamp_keys{k_id_left, k_id_confirm, k_id_right};

// The combos whose index the page reads only when it stores; "FP Type:" is followed at each change.
struct ComboField {
    int id;
    ComboChoice FpPageModel::*choice;
};
constexpr std::array<ComboField, 9> k_combo_fields{{
    {k_id_scan_type, &FpPageModel::scan_type},
    {k_id_lbd_type, &FpPageModel::lbd_type},
    {k_id_com_num, &FpPageModel::com_num},
    {k_id_status, &FpPageModel::bit_order},
    {k_id_clock_level, &FpPageModel::clock_level},
    {k_id_data_level, &FpPageModel::data_level},
    {k_id_scan_0_level, &FpPageModel::scan_0_level},
    {k_id_lock_lamp_level, &FpPageModel::lock_lamp_level},
    {k_id_power_lamp_level, &FpPageModel::power_lamp_level},
}};

}  // namespace

FPDlg::FPDlg() {
    // The template shows the arrow icons, so the resources must be there before it is built.
    velmora_init_resources();
    build_from<Ui::Dialog1005>();

    on_clicked(k_id_load, [this] { OnLoadFpConfig(); });
    on_clicked(k_id_save, [this] { OnSaveFpConfig(); });
    on_clicked(k_id_left, [this] { OnLampKey(LampKey::left); });
    on_clicked(k_id_confirm, [this] { OnLampKey(LampKey::confirm); });
    on_clicked(k_id_right, [this] { OnLampKey(LampKey::right); });
    on_clicked(k_id_start_lamp_test, [this] { OnStartTestLamp(); });
    on_selection_changed(k_id_fp_type, [this] { OnFpTypeChanged(); });
    on_clicked(k_id_light_all, [this] { OnLightAll(); });
    on_clicked(k_id_dim_all, [this] { OnDimAll(); });
    on_message(k_lamp_test_ended_message, [this] { return OnLampTestEnded(); });

    bind_text(k_id_clock_pos, model_.clock_pos);
    bind_text(k_id_data_pos, model_.data_pos);
    bind_text(k_id_scan_0_pos, model_.scan_0_pos);
    bind_text(k_id_lock_lamp_pos, model_.lock_lamp_pos);
    bind_text(k_id_power_lamp_pos, model_.power_lamp_pos);
    bind_text(k_id_colon_pos, model_.colon_pos);
}

bool FPDlg::Create(QWidget* parent, Dialog* request_window) {
    create_child(parent);
    if (auto* left = control_as<QAbstractButton>(k_id_left)) {
        left->setIcon(QIcon(QString::fromLatin1(k_icon_1011)));
    }
    if (auto* right = control_as<QAbstractButton>(k_id_right)) {
        right->setIcon(QIcon(QString::fromLatin1(k_icon_1012)));
    }
    request_window_ = request_window;
    return true;
}

PageMessages FPDlg::load(ConfigBlock block) {
    PageMessages messages = model_.load(block);
    push_fields();
    show_messages(messages);
    return messages;
}

std::optional<PageMessage> FPDlg::store(ConfigBlock& block) {
    pull_controls();
    auto failed = model_.store(block);
    if (failed) {
        show_messages({*failed});
    }
    return failed;
}

void FPDlg::reset_lamp_test() {
    model_.reset_lamp_test();
    push_lamp_test();
}

void FPDlg::OnLoadFpConfig() {
    pull_controls();
    if (auto messages = RunSideFileLoad(this, model_, SideFileKind::fp)) {
        push_fields();
        show_messages(*messages);
    }
}

void FPDlg::OnSaveFpConfig() {
    pull_controls();
    if (auto messages = RunSideFileSave(this, model_, SideFileKind::fp)) {
        show_messages(*messages);
    }
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
    model_.select_fp_type(combo_selected(k_id_fp_type));
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
        (model_.*field.choice).select(combo_selected(field.id));
    }
}

void FPDlg::push_fields() {
    combo_select(k_id_fp_type, model_.current_fp_type());
    for (const ComboField& field : k_combo_fields) {
        combo_select(field.id, (model_.*field.choice).selected());
    }
    update_data(false);
    push_scan_controls();
    push_lamp_test();
}

void FPDlg::push_scan_controls() {
    for (const int id : k_scan_controls) {
        show_control(id, model_.scan_controls_shown());
    }
}

void FPDlg::push_lamp_test() {
    set_control_text(k_id_start_lamp_test, model_.start_button_caption());
    for (const int id : k_lamp_keys) {
        enable_control(id, model_.lamp_keys_enabled());
    }
}

void FPDlg::post_request(FpRequest request) {
    post_message(request_window_, static_cast<int>(request));
}

void FPDlg::show_messages(const PageMessages& messages) {
    show_page_messages(this, messages);
}

}  // namespace velmora
