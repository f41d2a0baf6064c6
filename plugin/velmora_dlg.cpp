#include "plugin/velmora_dlg.h"

#include <chrono>
#include <future>
#include <thread>

#include <QLabel>
#include <QTabWidget>
#include <QTreeWidget>
#include <algorithm>
#include <cctype>
#include <initializer_list>
#include <string_view>
#include <utility>

#include "framework/call_on_ui_thread.h"
#include "framework/file_dialog.h"
#include "framework/window_message.h"
#include "link/component.h"
#include "link/component_msg.h"
#include "link/component_registry.h"
#include "link/host_components.h"
#include "link/plugin_exports.h"
#include "link/window_messages.h"
#include "pages/models/fp_page_model.h"
#include "pages/models/key_map_model.h"
#include "pages/models/led_map_model.h"
#include "plugin/link_status.h"
#include "plugin/upg_info.h"
#include "res/control_ids.h"

namespace velmora {

namespace {

using namespace main_form_id;

// Both Browse dialogs hide the read-only box and ask before overwriting.
// A path the host was started with (host_components.h), or empty.
std::string host_path_option(velmora::component_registry* registry, std::uint32_t option) {
    std::string path;
    if (registry == nullptr ||
        registry->lookup(k_host_options)->request(component_msg{option, 0, &path}) == 0) {
        return {};
    }
    return path;
}

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

// The transfer bar: its height and its distance from the controls beside it, in pixels.
constexpr int k_progress_height = 20;
constexpr int k_progress_gap = 8;

// How long the link's threads get to end by themselves when the view goes; they only need to see
// their stop flag.
constexpr std::chrono::milliseconds k_link_stop_grace{500};

}  // namespace

CVelmoraDlg::CVelmoraDlg(velmora::component_registry* registry)
    : component_registry(registry), runner(std::make_unique<ProcessRunner>(nullptr)) {
    setObjectName(QStringLiteral("CVelmoraDlg"));

    on_clicked(k_browse_output_button, [this] { OnBrowseOutput(); });
    on_clicked(k_generate_button, [this] { OnGenerate(); });
    on_clicked(k_browse_input_button, [this] { OnBrowseInput(); });
    on_clicked(k_parse_button, [this] { OnParse(); });
    on_clicked(k_clear_button, [this] { OnClear(); });
    on_clicked(k_connect_button, [this] { OnConnect(); });
    on_notify(k_page_tree, NotifyKind::selection_changed, [this] { OnTreeSelChanged(); });
    on_clicked(k_send_config_button, [this] { OnSendConfig(); });
    // The pages' requests start the link's tests; without a link agent they are answered and dropped.
    auto to_agent = [this](auto act) {
        return [this, act] {
            if (link_agent != nullptr) {
                act(*link_agent);
            }
            return 0L;
        };
    };
    on_message(message_number(WindowMessage::start_lamp_test),
               to_agent([](velmora::link_agent& agent) { agent.start_lamp_test(); }));
    on_message(message_number(WindowMessage::start_get_led_map),
               to_agent([](velmora::link_agent& agent) { agent.start_led_map(); }));
    on_message(message_number(WindowMessage::start_get_key),
               to_agent([](velmora::link_agent& agent) { agent.start_get_key(); }));
    on_message(message_number(WindowMessage::light_all),
               to_agent([](velmora::link_agent& agent) { agent.light_dim(1); }));
    on_message(message_number(WindowMessage::dim_all),
               to_agent([](velmora::link_agent& agent) { agent.light_dim(0); }));

    bind_text(k_output_path_edit, output_path);
    bind_text(k_input_path_edit, input_path);

    hw_page.set_power_wave_target(&config);
}

CVelmoraDlg::~CVelmoraDlg() {
    retire_link_agent();
    image.clear();
    // The image goes, then the runner with its threads; the pages follow as members.
    runner->Stop();
    runner.reset();
}

bool CVelmoraDlg::Create(QWidget* parent) {
    build_from(ui_, &set_control_ids);
    create_child(parent);

    combo_select(ui_.project_type_combo, 0);
    for (const char* name : {k_front_panel, k_key_map, k_hw_info, k_led_map}) {
        tree_insert_root(k_page_tree, name);
    }
    SetupPages();
    place_link_widgets();
    ShowMainControls(false);
    // A host started with an image to open (velmora-host --open) hands it over here, so the user only
    // has to press Parse; otherwise paths enter only through Browse.
    if (std::string image = host_path_option(component_registry, k_option_open_image); !image.empty()) {
        input_path = std::move(image);
        set_input_image(input_path);  // the side files' dialogs start beside it
        update_data(false);
    }
    make_link_agent();
    show();
    // velmora-host --connect: the handed-over image parsed and the link online, ready for a reset.
    if (component_registry != nullptr &&
        component_registry->lookup(k_host_options)->request(component_msg{k_option_connect, 0, nullptr}) !=
            0 &&
        !input_path.empty()) {
        OnParse();
        if (!ui_.parse_button->isEnabled()) {
            OnConnect();
        }
    }
    return true;
}

void CVelmoraDlg::place_link_widgets() {
    // In the free space between the status line and "Send Config to Panel", so no control moves: the
    // link's state, and over it, while a long send runs, its progress.
    const QRect label = ui_.upg_info_label->geometry();
    const QRect send = ui_.send_config_button->geometry();
    const int left = label.right() + k_progress_gap;
    const QRect slot(left, send.center().y() - k_progress_height / 2, send.left() - k_progress_gap - left,
                     k_progress_height);
    link_state_label_ = new QLabel(this);
    link_state_label_->setObjectName(QStringLiteral("link_state_label"));
    link_state_label_->setGeometry(slot);
    transfer_progress_ = new TransferProgress(this);
    transfer_progress_->setAutoFillBackground(true);  // covers the state while it shows
    transfer_progress_->setGeometry(slot);
    show_link_state();
}

void CVelmoraDlg::show_link_state() {
    LinkFacts facts;
    facts.online = link_online.load();
    facts.connected = panel_connected.load();
    if (link_agent != nullptr) {
        facts.connecting = link_agent->connecting();
        facts.port_closed = link_agent->port_closed();
        // A port opened again may reach another box, or one that was reset: it is not a connection.
        facts.connected = facts.connected && !link_agent->connection_lost();
    }
    const LinkIndicator indicator = link_indicator(facts);
    link_state_label_->setText(QString::fromLatin1(link_indicator_text(indicator)));
    link_state_label_->setToolTip(QString::fromLatin1(link_indicator_tip(indicator)));
    link_state_label_->setAccessibleDescription(link_state_label_->toolTip());
}

void CVelmoraDlg::make_link_agent() {
    if (component_registry == nullptr) {
        return;
    }
    link_owner_ = std::make_unique<ViewLinkOwner>(*this);
    agent_ = std::make_unique<velmora::link_agent>(*link_owner_, component_registry);
    link_agent = agent_.get();
    // The pages change their test flags on this thread, which also clears link_agent when it retires.
    pages.set_test_thread_wake([this] {
        if (link_agent != nullptr) {
            link_agent->page_changed();
        }
    });
    if (std::string client = host_path_option(component_registry, k_option_client_file); !client.empty()) {
        link_agent->set_client_path(std::move(client));
    }
}

void CVelmoraDlg::retire_link_agent() {
    if (agent_ == nullptr) {
        return;
    }
    // From here the agent's threads ask nothing of this thread. One that already waits for it (a
    // message box, the status line) is released below when the threads do not end by themselves:
    // this thread, inside the view's destruction, can run nothing for them.
    link_owner_->close();
    std::promise<void> stopped;
    std::future<void> done = stopped.get_future();
    std::thread stopper([this, &stopped] {
        agent_->shutdown();
        stopped.set_value();
    });
    if (done.wait_for(k_link_stop_grace) != std::future_status::ready) {
        close_ui_calls();
        done.wait();
        reopen_ui_calls();
    }
    stopper.join();
    link_agent = nullptr;
    // The host's registry still names the agent, and may broadcast to it until the host is gone: it
    // stays, inactive and without threads, until the process ends.
    struct Retired {
        std::unique_ptr<ViewLinkOwner> owner;
        std::unique_ptr<velmora::link_agent> agent;
    };
    static std::vector<Retired> retired;
    retired.push_back({std::move(link_owner_), std::move(agent_)});
}

void CVelmoraDlg::SetupPages() {
    tab = ui_.page_tab;
    // The tab row takes its height from its items, so the pages' area is known once they are in.
    constexpr int k_page_count = 4;
    for (int index = 0; index < k_page_count; ++index) {
        tab_insert_item(k_page_tab, index);
    }
    const QRect client = tab_client_rect(k_page_tab);
    fp_page.Create(tab, this);
    fp_page.setGeometry(client);
    hw_page.Create(tab);
    hw_page.setGeometry(client);
    key_map_page.Create(tab, this);
    key_map_page.setGeometry(client);
    led_map_page.Create(tab, this);
    led_map_page.setGeometry(client);
    tab_select(k_page_tab, 0);
    // The pages joined the form after it was built: Tab goes from the page selector through the
    // shown page to the output area.
    order_for_keyboard();
}

void CVelmoraDlg::ShowMainControls(bool show) {
    // The link and output controls, in the order they change.
    for (QWidget* control : std::initializer_list<QWidget*>{
             ui_.page_tree, ui_.page_tab, ui_.connect_button, ui_.send_config_button, ui_.output_group,
             ui_.output_label, ui_.output_path_edit, ui_.browse_output_button, ui_.generate_button,
             ui_.upg_info_label}) {
        control->setVisible(show);
    }
    link_state_label_->setVisible(show);
    if (!show) {
        transfer_progress_->idle();  // it shows itself while a long send runs
    }
}

void CVelmoraDlg::ShowPage(const std::string& name) {
    // One page shows; the tree's other names show the front panel page.
    const bool hw = equal_ignoring_case(name, k_hw_info);
    const bool key_map = equal_ignoring_case(name, k_key_map);
    const bool led_map = equal_ignoring_case(name, k_led_map);
    fp_page.setVisible(!hw && !key_map && !led_map);
    hw_page.setVisible(hw);
    key_map_page.setVisible(key_map);
    led_map_page.setVisible(led_map);
    if (led_map) {
        // Its buttons work only with the front panel type whose driver answers them.
        led_map_page.EnableControls(LedMapModel::enables_controls(fp_page.current_fp_type()));
    }
}

void CVelmoraDlg::OnTreeSelChanged() {
    ShowPage(tree_selected_text(k_page_tree));
}

void CVelmoraDlg::SetUpgInfo(UpgStatus status, std::int32_t current, std::int32_t total) {
    const UpgInfo info = upg_info_for(status, current, total);
    // Link threads call this; the label and the button change on the UI thread, and they wait.
    call_on_ui_thread([this, &info, status] {
        ui_.upg_info_label->setText(QString::fromStdString(info.text));
        ui_.connect_button->setEnabled(info.connect_enabled);
        if (status == UpgStatus::idle) {
            transfer_progress_->idle();
        }
        show_link_state();
    });
}

void CVelmoraDlg::OnBrowseInput() {
    FileDialogOptions options = image_dialog_options();
    options.folder_kind = k_input_image_folder;
    const std::optional<std::string> chosen = open_file_dialog(this, options);
    if (!chosen) {
        return;
    }
    update_data(true);
    input_path = *chosen;
    set_input_image(input_path);
    update_data(false);
}

void CVelmoraDlg::OnBrowseOutput() {
    FileDialogOptions options = image_dialog_options();
    options.folder_kind = k_output_image_folder;
    const std::optional<std::string> chosen = save_file_dialog(this, options);
    if (!chosen) {
        return;
    }
    output_path = with_image_extension(*chosen);
    update_data(false);
}

void CVelmoraDlg::OnConnect() {
    // Online, the output window no longer shows the line's bytes, and the agent waits for the box's
    // sync byte.
    if (link_agent != nullptr) {
        link_agent->go_online();
    }
    link_online = true;
    show_link_state();
}

void CVelmoraDlg::OnSendConfig() {
    // After a failed check the box gets nothing: the message has been shown, and no success follows.
    if (!StorePages()) {
        return;
    }
    if (link_agent != nullptr) {
        link_agent->start_send_config();
    }
}

void CVelmoraDlg::OnClear() {
    input_path.clear();
    output_path.clear();
    config = ConfigBlock{};
    update_data(false);

    ShowMainControls(false);
    ui_.parse_button->setEnabled(true);

    // Clearing the running flags is what ends a test thread.
    fp_page.reset_lamp_test();
    key_map_page.reset_get_key();
    led_map_page.reset_get_led_map();

    if (link_agent != nullptr) {
        // Idle, every wait of the link ended, and the output window takes the line back.
        link_agent->go_offline();
    }
    link_online = false;
    show_link_state();
}

PageDialog& CVelmoraDlg::dialog_for(PageModel& page) {
    if (&page == &pages.fp) {
        return fp_page;
    }
    if (&page == &pages.hw) {
        return hw_page;
    }
    if (&page == &pages.key_map) {
        return key_map_page;
    }
    return led_map_page;
}

// Each dialog shows its page's messages as its own.
void CVelmoraDlg::before_load(PageModel& page) {
    dialog_for(page).before_load();
}

void CVelmoraDlg::after_load(PageModel& page, const PageMessages& messages) {
    dialog_for(page).after_load(messages);
}

void CVelmoraDlg::before_store(PageModel& page) {
    dialog_for(page).before_store();
}

void CVelmoraDlg::after_store(PageModel& page, const std::optional<PageMessage>& failed) {
    dialog_for(page).after_store(failed);
}

}  // namespace velmora
