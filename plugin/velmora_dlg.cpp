#include "plugin/velmora_dlg.h"

#include <cstdlib>

#include <QFontMetrics>
#include <QLabel>
#include <QTabWidget>
#include <QTreeWidget>
#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>

#include "framework/call_on_ui_thread.h"
#include "framework/file_dialog.h"
#include "framework/message_box.h"
#include "framework/window_message.h"
#include "link/component.h"
#include "link/component_msg.h"
#include "link/component_registry.h"
#include "link/plugin_exports.h"
#include "pages/fp_page_model.h"
#include "pages/key_map_model.h"
#include "pages/led_map_model.h"
#include "plugin/upg_info.h"
#include "res/dialog_templates.h"

namespace velmora {

namespace {

// The link and output controls, shown and hidden together, in the order they change.
constexpr std::array<int, 10> k_main_controls{
    CVelmoraDlg::k_id_tree,        CVelmoraDlg::k_id_tab,           CVelmoraDlg::k_id_connect,
    CVelmoraDlg::k_id_send_config, CVelmoraDlg::k_id_output_group,  CVelmoraDlg::k_id_output_label,
    CVelmoraDlg::k_id_output_path, CVelmoraDlg::k_id_browse_output, CVelmoraDlg::k_id_generate,
    CVelmoraDlg::k_id_upg_info,
};

// Both Browse dialogs hide the read-only box and ask before overwriting, as they always have.
constexpr char k_image_filter[] = "bin files (*.bin)|*.bin|All Files (*.*)|*.*||";
constexpr std::string_view k_image_extension = ".bin";

FileDialogOptions image_dialog_options() {
    FileDialogOptions options;
    options.filter = k_image_filter;
    options.overwrite_prompt = true;
    options.hide_read_only = true;
    return options;
}

bool equal_ignoring_case(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

// The output keeps the name the user gave when it already ends in ".bin" in any case.
std::string with_image_extension(std::string path) {
    const bool has_extension =
        path.size() >= k_image_extension.size() &&
        equal_ignoring_case(std::string_view(path).substr(path.size() - k_image_extension.size()),
                            k_image_extension);
    if (!has_extension) {
        path += k_image_extension;
    }
    return path;
}

// What the host's output window understands.
constexpr char k_output_component[] = "output";
constexpr std::uint32_t k_output_text_code = 26;
constexpr std::uint32_t k_output_switch_code = 27;
constexpr char k_reset_box_text[] = "Please reset the STB!\n";

}  // namespace

CVelmoraDlg::CVelmoraDlg(velmora::component_registry* registry)
    : component_registry(registry), runner(std::make_unique<ProcessRunner>(nullptr)) {
    setObjectName(QStringLiteral("CVelmoraDlg"));

    on_clicked(k_id_browse_output, [this] { OnBrowseOutput(); });
    on_clicked(k_id_generate, [this] { OnGenerate(); });
    on_clicked(k_id_browse_input, [this] { OnBrowseInput(); });
    on_clicked(k_id_parse, [this] { OnParse(); });
    on_clicked(k_id_clear, [this] { OnClear(); });
    on_clicked(k_id_connect, [this] { OnConnect(); });
    on_notify(k_id_tree, NotifyKind::selection_changed, [this] { OnTreeSelChanged(); });
    on_clicked(k_id_send_config, [this] { OnSendConfig(); });
    // The pages' requests start the link agent's test threads; until the agent exists they are
    // answered and dropped.
    on_message(static_cast<int>(FpRequest::start_lamp_test), [] { return 0L; });
    on_message(static_cast<int>(LedMapRequest::start_get_led_map), [] { return 0L; });
    on_message(static_cast<int>(KeyMapRequest::start_get_key), [] { return 0L; });
    on_message(static_cast<int>(FpRequest::light_all), [] { return 0L; });
    on_message(static_cast<int>(FpRequest::dim_all), [] { return 0L; });

    bind_text(k_id_output_path, output_path);
    bind_text(k_id_input_path, input_path);

    hw_page.set_power_wave_target(&config);
}

CVelmoraDlg::~CVelmoraDlg() {
    image.clear();
    image_size = 0;
    // The image goes, then the runner with its threads; the pages follow as members.
    runner->Stop();
    runner.reset();
}

bool CVelmoraDlg::Create(QWidget* parent) {
    build_from<Ui::Dialog1000>();
    tree = control_as<QTreeWidget>(k_id_tree);
    if (tree == nullptr || control_as<QTabWidget>(k_id_tab) == nullptr) {
        return false;
    }
    create_child(parent);

    fit_labels();
    combo_select(k_id_project_type, 0);
    for (const char* name : {k_front_panel, k_key_map, k_hw_info, k_led_map}) {
        tree_insert_root(k_id_tree, name);
    }
    SetupPages();
    ShowMainControls(false);
    // A host started with an image to open (velmora-host --open) hands it over here, so the user only
    // has to press Parse; otherwise paths enter only through Browse.
    if (const char* image = std::getenv(k_open_image_variable); image != nullptr && *image != '\0') {
        input_path = image;
        update_data(false);
    }
    // The link agent will be made here, with this view and the registry (it registers itself as
    // "velmora"); until it is written `link_agent` stays null.
    show();
    return true;
}

void CVelmoraDlg::fit_labels() {
    // The form keeps its template's positions, laid out for a narrower dialog font than Linux desktops
    // use; a label that would be cut is drawn condensed instead (where the font has a condensed face).
    for (const int id : {k_id_input_label, k_id_output_label}) {
        QLabel* label = control_as<QLabel>(id);
        if (label == nullptr) {
            continue;
        }
        QFont font = label->font();
        for (const int stretch : {QFont::SemiCondensed, QFont::Condensed}) {
            if (QFontMetrics(font).horizontalAdvance(label->text()) <= label->width()) {
                break;
            }
            font.setStretch(stretch);
            label->setFont(font);
        }
    }
}

void CVelmoraDlg::SetupPages() {
    tab = control_as<QTabWidget>(k_id_tab);
    // The tab row takes its height from its items, so the pages' area is known once they are in.
    constexpr int k_page_count = 4;
    for (int index = 0; index < k_page_count; ++index) {
        tab_insert_item(k_id_tab, index);
    }
    const QRect client = tab_client_rect(k_id_tab);
    fp_page.Create(tab, this);
    fp_page.setGeometry(client);
    hw_page.Create(tab);
    hw_page.setGeometry(client);
    // Tab items 2 and 3 belong to the key map and LED map pages, whose windows come later.
    tab_select(k_id_tab, 0);
}

void CVelmoraDlg::ShowMainControls(bool show) {
    for (const int id : k_main_controls) {
        show_control(id, show);
    }
}

void CVelmoraDlg::ShowPage(const std::string& name) {
    if (equal_ignoring_case(name, k_hw_info)) {
        fp_page.hide();
        hw_page.show();
    } else if (equal_ignoring_case(name, k_key_map)) {
        // The key map page has no window yet: choosing it hides the others.
        fp_page.hide();
        hw_page.hide();
    } else if (equal_ignoring_case(name, k_led_map)) {
        // Nor has the LED map page; its model still learns whether its buttons may work, which
        // depends on the front panel type.
        fp_page.hide();
        hw_page.hide();
        pages.led_map.EnableControls(LedMapModel::enables_controls(fp_page.current_fp_type()));
    } else {
        fp_page.show();
        hw_page.hide();
    }
}

void CVelmoraDlg::OnTreeSelChanged() {
    tree = control_as<QTreeWidget>(k_id_tree);
    ShowPage(tree_selected_text(k_id_tree));
}

void CVelmoraDlg::SetUpgInfo(std::int32_t status, std::int32_t current, std::int32_t total) {
    const UpgInfo info = upg_info_for(status, current, total);
    // Link threads call this; the label and the button change on the UI thread, and they wait.
    call_on_ui_thread([this, &info] {
        set_control_text(k_id_upg_info, info.text);
        enable_control(k_id_connect, info.connect_enabled);
    });
}

void CVelmoraDlg::OnBrowseInput() {
    const std::optional<std::string> chosen = open_file_dialog(this, image_dialog_options());
    if (!chosen) {
        return;
    }
    update_data(true);
    input_path = *chosen;
    update_data(false);
}

void CVelmoraDlg::OnBrowseOutput() {
    const std::optional<std::string> chosen = save_file_dialog(this, image_dialog_options());
    if (!chosen) {
        return;
    }
    output_path = with_image_extension(*chosen);
    update_data(false);
}

void CVelmoraDlg::OnConnect() {
    // The link agent's state goes idle here and it starts listening once it exists.
    panel_connected = 0;
    set_output_active(false);
    output_reset();
    output_text(k_reset_box_text);
    link_online = 1;
}

void CVelmoraDlg::OnSendConfig() {
    StorePages();
    // The link agent's send-configuration thread starts here once the agent exists.
}

void CVelmoraDlg::OnClear() {
    input_path.clear();
    output_path.clear();
    config = ConfigBlock{};
    update_data(false);

    ShowMainControls(false);
    enable_control(k_id_parse, true);

    // Clearing the running flags is what ends a test thread.
    fp_page.reset_lamp_test();
    pages.key_map.stop_get_key();
    pages.led_map.stop_get_led_map();

    // The link agent's state goes idle here once the agent exists.
    SetUpgInfo(static_cast<std::int32_t>(UpgStatus::idle), 0, 0);
    if (link_online != 0) {
        // The link agent drops what it received and stops listening here once it exists.
        output_reset();
        set_output_active(true);
        link_online = 0;
    }
}

void CVelmoraDlg::show_messages(const PageMessages& messages) {
    for (const PageMessage& message : messages) {
        message_box(this, message.text, message.caption);
    }
}

void CVelmoraDlg::output_text(const std::string& text) {
    if (component_registry == nullptr) {
        return;
    }
    const component_msg msg{k_output_text_code, static_cast<std::uint32_t>(text.size()), text.data()};
    component_registry->lookup(k_output_component)->deliver(msg);
}

void CVelmoraDlg::set_output_active(bool active) {
    if (component_registry != nullptr) {
        component_registry->lookup(k_output_component)->set_active(active);
    }
}

void CVelmoraDlg::output_reset() {
    if (component_registry != nullptr) {
        component_registry->lookup(k_output_component)
            ->deliver(component_msg{k_output_switch_code, 0, nullptr});
    }
}

}  // namespace velmora
