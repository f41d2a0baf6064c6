#include "link/agent/link_agent.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "link/agent/link_protocol.h"
#include "link/agent/panel_tests.h"
#include "link/host_components.h"
#include "platform/file_system.h"

namespace velmora {

namespace {

// The line has one user at a time; a start while it is held is told what holds it.
constexpr std::string_view k_connection_busy_text =
    "\n!!The connection with the box is still running! Wait for it to end, then try again.\n";
constexpr std::string_view k_busy_text_begin = "\n!!Another panel task is still running: ";
constexpr std::string_view k_busy_text_end = "! Stop it or wait for it to end, then try again.\n";

// Follows a failure's own text when the port has closed, so "Please try again!" is not left alone.
constexpr std::string_view k_port_closed_text = "\n!!The serial port is closed! Open it, then try again.\n";

std::string_view task_name(LinkTask task) {
    switch (task) {
        case LinkTask::send_config:
            return "Send Config to Panel";
        case LinkTask::lamp_test:
            return "the lamp position test (Front Panel page)";
        case LinkTask::get_key:
            return "Get Key (Key Map page)";
        case LinkTask::led_map:
            return "Get LED Map (LED Map page)";
        case LinkTask::none:
        case LinkTask::connection:
            break;
    }
    return "a panel test";
}

constexpr std::int32_t state_value(LinkState state) {
    return static_cast<std::int32_t>(state);
}

}  // namespace

link_agent::link_agent(link_owner& owner, component_registry* registry, LinkTiming timing)
    : component(k_name, registry), owner_(owner), timing_(timing), line_(registry, timing_) {
    worker_ = std::thread([this] { worker(); });
}

link_agent::~link_agent() {
    shutdown();
}

void link_agent::shutdown() {
    set_active(false);
    {
        std::lock_guard lock(park_mutex_);
        stopping_.store(true);
    }
    park_signal_.notify_all();
    set_link_state(LinkState::idle);
    line_.abort();
    while (delivering_.load() != 0) {
        std::this_thread::sleep_for(timing_.rx_poll);
    }
    if (worker_.joinable()) {
        worker_.join();
    }
    std::thread test_thread;
    {
        std::lock_guard lock(thread_mutex_);
        test_thread = std::move(link_thread_);
    }
    if (test_thread.joinable()) {
        test_thread.join();
    }
}

std::uint32_t link_agent::deliver(const component_msg& msg) {
    // Counted, so that shutdown returns only once no delivery still uses the owner.
    delivering_.fetch_add(1);
    if (!stopping()) {
        deliver_now(msg);
    }
    delivering_.fetch_sub(1);
    return 0;
}

void link_agent::deliver_now(const component_msg& msg) {
    switch (msg.code) {
        case k_connector_sent: {
            if (msg.param2 == nullptr) {
                break;
            }
            std::uint32_t count = 0;
            std::memcpy(&count, msg.param2, sizeof count);
            owner_.send_progress(count, line_.sent(count));
            break;
        }
        case k_connector_received:
            if (msg.param2 != nullptr && msg.param1 != 0) {
                receive(static_cast<const std::uint8_t*>(msg.param2), msg.param1);
            }
            break;
        case k_connector_closed:
            on_port_closed();
            break;
        case k_connector_opened:
            port_closed_.store(false);
            owner_.link_changed();
            break;
        default:
            break;
    }
}

void link_agent::on_port_closed() {
    // Nothing pending will be reported any more: every wait on the line ends now, and so does the
    // running test.
    port_closed_.store(true);
    connection_lost_.store(true);
    thread_cancelled_.store(true);
    set_link_state(LinkState::idle);
    line_.abort();
    owner_.link_changed();
}

void link_agent::receive(const std::uint8_t* bytes, std::size_t count) {
    const std::int32_t state = link_state();
    if (state == state_value(LinkState::idle)) {
        if (!owner_.IsLinkOnline() || std::memchr(bytes, k_sync_byte, count) == nullptr) {
            return;
        }
        {
            // Two deliveries racing on one sync byte must answer it once, and a test's start either
            // comes before the sync (its state is no longer idle) or is refused after it.
            std::lock_guard lock(thread_mutex_);
            std::int32_t expected = state_value(LinkState::idle);
            if (!link_state_.compare_exchange_strong(expected, state_value(LinkState::synced))) {
                return;
            }
            connecting_.store(true);
            connection_lost_.store(false);
        }
        // The answer goes out before the worker wakes, so the box never sees the client before it.
        answer_sync();
        owner_.link_changed();
        wake_worker();
        return;
    }
    if (state >= state_value(LinkState::listening) && state <= state_value(LinkState::uploaded)) {
        line_.queue(bytes, count);
    }
}

void link_agent::go_online() {
    set_link_state(LinkState::idle);
    // A test of an earlier connection ends: the box is about to be reset.
    thread_cancelled_.store(true);
    port_closed_.store(false);
    connection_lost_.store(false);
    owner_.set_panel_connected(false);
    set_active(true);
    set_output_active(0);
    output_reset();
    output_text(std::string(k_reset_prompt) + "\n");
}

void link_agent::go_offline() {
    set_link_state(LinkState::idle);
    // A send still waiting for its completion report ends with the link, and so does its thread.
    thread_cancelled_.store(true);
    line_.abort();
    owner_.SetUpgInfo(UpgStatus::idle, 0, 0);
    if (owner_.IsLinkOnline()) {
        flush_rx();
        set_active(false);
        output_reset();
        set_output_active(1);
    }
}

std::uint32_t link_agent::output_text(std::string_view text) {
    if (registry() == nullptr) {
        return 0;
    }
    const component_msg msg{k_output_text, static_cast<std::uint32_t>(text.size()), text.data()};
    return registry()->lookup(k_output)->deliver(msg);
}

void link_agent::set_output_active(std::int32_t flag) {
    if (registry() != nullptr) {
        registry()->lookup(k_output)->set_active(flag != 0);
    }
}

void link_agent::output_reset() {
    if (registry() != nullptr) {
        registry()->lookup(k_output)->deliver(component_msg{k_output_link_switch, 0, nullptr});
    }
}

bool link_agent::send_raw(const std::uint8_t* data, std::size_t length) {
    return line_.send(std::span(data, length), stopping() || port_closed());
}

bool link_agent::read_rx(std::uint8_t* buffer, std::size_t count, std::chrono::milliseconds limit) {
    return line_.read(buffer, count, limit,
                      [this] { return link_state() == state_value(LinkState::idle) || stopping(); });
}

void link_agent::set_link_state(std::int32_t state) {
    link_state_.store(state);
    if (state == state_value(LinkState::idle)) {
        line_.wake_readers();
    }
}

void link_agent::set_client_path(std::filesystem::path path) {
    std::lock_guard lock(path_mutex_);
    client_path_ = std::move(path);
}

std::filesystem::path link_agent::client_path() const {
    std::lock_guard lock(path_mutex_);
    if (!client_path_.empty()) {
        return client_path_;
    }
    return platform::executable_dir() / k_client_file;
}

bool link_agent::pause(std::chrono::milliseconds duration) {
    std::unique_lock lock(park_mutex_);
    park_signal_.wait_for(lock, duration, [this] { return stopping_.load(); });
    return !stopping_.load();
}

void link_agent::wake_worker() {
    {
        std::lock_guard lock(park_mutex_);
        wake_pending_ = true;
    }
    park_signal_.notify_all();
}

void link_agent::park() {
    std::unique_lock lock(park_mutex_);
    park_signal_.wait(lock, [this] { return wake_pending_ || stopping_.load(); });
    wake_pending_ = false;
}

void link_agent::worker() {
    // The worker first runs when a sync byte wakes it.
    park();
    while (!stopping()) {
        worker_pass();
    }
}

bool link_agent::end_connection(bool connected) {
    {
        std::lock_guard lock(thread_mutex_);
        if (link_state() == state_value(LinkState::synced)) {
            return false;  // the box was reset again: a new connection runs
        }
        connecting_.store(false);
    }
    if (!connected) {
        output_if_port_closed();
    }
    // Failed or not, the user can connect again.
    owner_.SetUpgInfo(UpgStatus::idle, 0, 0);
    owner_.link_changed();
    return true;
}

void link_agent::worker_pass() {
    if (!pause(timing_.worker_pass_pause)) {
        return;
    }
    // Each step moves the state on only from the state it ran in, so a cancel meanwhile sticks.
    auto advance = [this](LinkState from, LinkState to) {
        std::int32_t expected = state_value(from);
        return link_state_.compare_exchange_strong(expected, state_value(to));
    };
    if (!connecting()) {
        // The connection has ended: the worker reads no state a test may have set since.
        advance(LinkState::uploaded, LinkState::idle);
        if (line_.connector_open()) {
            line_.set_upgrade_mode(false);
        }
        park();
        return;
    }
    if (!owner_.IsLinkOnline()) {
        set_link_state(LinkState::idle);
    }
    switch (static_cast<LinkState>(link_state())) {
        case LinkState::idle:
            // Failed or cancelled on the way.
            end_connection(false);
            return;
        case LinkState::synced:
            if (line_.connector_open()) {
                line_.set_upgrade_mode(true);
            }
            output_text("Got sync byte!\nStart sending client...\n");
            download_client();
            advance(LinkState::synced, LinkState::listening);
            return;
        case LinkState::listening:
            // The box needs a while to start the client before it can answer.
            for (int wait = 0; wait < 3; ++wait) {
                if (link_state() == state_value(LinkState::idle) || !pause(timing_.client_start_wait)) {
                    return;
                }
            }
            if (link_state() == state_value(LinkState::idle)) {
                return;
            }
            if (!handshake()) {
                if (link_state() != state_value(LinkState::idle)) {
                    owner_.message_box("Handshake failed!Please check port and reset the STB!",
                                       LinkBoxButtons::ok);
                }
                set_link_state(LinkState::idle);
                end_connection(false);
                return;
            }
            if (!advance(LinkState::listening, LinkState::uploading)) {
                return;
            }
            [[fallthrough]];
        case LinkState::uploading:
            if (upload_all()) {
                advance(LinkState::uploading, LinkState::uploaded);
                owner_.set_panel_connected(true);
                end_connection(true);
            } else {
                output_text("\n transfer error ....\n");
                set_link_state(LinkState::idle);
                owner_.set_panel_connected(false);
                end_connection(false);
            }
            return;
        default:
            set_link_state(LinkState::idle);
            return;
    }
}

bool link_agent::take_line(const std::function<void()>& start) {
    LinkTask holder = LinkTask::none;
    {
        std::lock_guard lock(thread_mutex_);
        if (stopping()) {
            return false;
        }
        if (connecting()) {
            holder = LinkTask::connection;
        } else if (thread_running_.load()) {
            holder = thread_task_.load();
        } else {
            set_link_state(LinkState::listening);
            start();
            return true;
        }
    }
    if (holder == LinkTask::connection) {
        output_text(k_connection_busy_text);
    } else {
        output_text(std::string(k_busy_text_begin) + std::string(task_name(holder)) +
                    std::string(k_busy_text_end));
    }
    return false;
}

void link_agent::output_failure(std::string_view text) {
    output_text(text);
    output_if_port_closed();
}

void link_agent::output_if_port_closed() {
    if (port_closed()) {
        output_text(k_port_closed_text);
    }
}

bool link_agent::start_link_thread(LinkTask task, const std::function<void()>& body,
                                   const std::function<void()>& refused) {
    const bool started = take_line([this, task, &body] {
        // The last one has ended (its flag is its last act), so this join returns at once.
        if (link_thread_.joinable()) {
            link_thread_.join();
        }
        thread_cancelled_.store(false);
        thread_task_.store(task);
        thread_running_.store(true);
        link_thread_ = std::thread([this, body] {
            body();
            thread_running_.store(false);
        });
    });
    if (!started && !stopping()) {
        refused();
    }
    return started;
}

// --- The protocol and the panel tests live in their own classes; these are their entry points. ---

void link_agent::answer_sync() {
    line_.send_sync_answer();
}

std::uint32_t link_agent::download_client() {
    return LinkProtocol(*this).download_client();
}

bool link_agent::send_command(LinkCommand code, std::span<const std::uint8_t> payload,
                              std::chrono::milliseconds result_limit) {
    return LinkProtocol(*this).send_command(code, payload, result_limit);
}

bool link_agent::handshake() {
    return LinkProtocol(*this).handshake();
}

bool link_agent::upload_all() {
    return LinkProtocol(*this).upload_all();
}

bool link_agent::start_send_config() {
    return start_link_thread(
        LinkTask::send_config, [this] { LinkProtocol(*this).send_config(); }, [] {});
}

bool link_agent::start_lamp_test() {
    return start_link_thread(
        LinkTask::lamp_test, [this] { PanelTests(*this).lamp_test(); },
        [this] { PanelTests(*this).lamp_test_refused(); });
}

bool link_agent::start_get_key() {
    return start_link_thread(
        LinkTask::get_key, [this] { PanelTests(*this).get_key(); },
        [this] { PanelTests(*this).get_key_refused(); });
}

bool link_agent::start_led_map() {
    return start_link_thread(
        LinkTask::led_map, [this] { PanelTests(*this).led_map(); },
        [this] { PanelTests(*this).led_map_refused(); });
}

bool link_agent::light_dim(std::int32_t light) {
    // It shares the queue with the connection and the test threads, so it waits its turn as they do.
    if (!take_line([] {})) {
        return false;
    }
    return PanelTests(*this).light_dim(light);
}

}  // namespace velmora
