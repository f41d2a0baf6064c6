#include "link/agent/link_agent.h"

#include <cstring>
#include <string_view>
#include <utility>

#include "link/agent/link_frames.h"
#include "link/agent/link_protocol.h"
#include "link/agent/panel_tests.h"
#include "link/host_components.h"
#include "platform/file_system.h"

namespace velmora {

link_agent::link_agent(link_owner& owner, component_registry* registry, LinkTiming timing)
    : component(k_name, registry),
      owner_(owner),
      timing_(timing),
      line_(registry, timing_),
      output_(registry, line_),
      session_{owner_, line_, output_, events_, timing_},
      holder_(line_, events_, [this] { owner_.link_changed(); }),
      connection_(session_, holder_, [this] { return client_path(); }) {
    connection_.start();
}

link_agent::~link_agent() {
    shutdown();
}

void link_agent::shutdown() {
    set_active(false);
    events_.stop();
    line_.stop();
    // No delivery begins any more; the ones under way may still use the owner.
    events_.wait_deliveries_done();
    connection_.join();
    holder_.join();
}

std::uint32_t link_agent::deliver(const component_msg& msg) {
    // Counted, so that shutdown returns only once no delivery still uses the owner.
    if (events_.enter_delivery()) {
        deliver_now(msg);
        events_.leave_delivery();
    }
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
            line_.set_port_closed(false);
            owner_.link_changed();
            break;
        default:
            break;
    }
}

void link_agent::on_port_closed() {
    // Nothing pending will be reported any more: every wait on the line ends now, and so does the
    // running test.
    line_.set_port_closed(true);
    connection_lost_.store(true);
    events_.cancel_thread();
    line_.set_link_state(LinkState::idle);
    line_.abort();
    owner_.link_changed();
}

void link_agent::receive(const std::uint8_t* bytes, std::size_t count) {
    if (line_.idle()) {
        // Two deliveries racing on one sync byte answer it once, and a test's start either comes
        // before the sync (the line is no longer idle) or is refused after it.
        if (!owner_.IsLinkOnline() || std::memchr(bytes, k_sync_byte, count) == nullptr ||
            !holder_.begin_connection()) {
            return;
        }
        connection_lost_.store(false);
        // The answer goes out before the worker wakes, so the box never sees the client before it.
        line_.send_sync_answer();
        owner_.link_changed();
        events_.wake_worker();
        return;
    }
    if (line_.link_state() != LinkState::synced) {
        line_.queue(bytes, count);
    }
}

void link_agent::go_online() {
    line_.set_link_state(LinkState::idle);
    // A test of an earlier connection ends: the box is about to be reset.
    events_.cancel_thread();
    line_.set_port_closed(false);
    connection_lost_.store(false);
    owner_.set_panel_connected(false);
    set_active(true);
    output_.set_output_active(0);
    output_.output_reset();
    output_.output_text(std::string(k_reset_prompt) + "\n");
}

void link_agent::go_offline() {
    line_.set_link_state(LinkState::idle);
    // A send still waiting for its completion report ends with the link, and so does its thread.
    events_.cancel_thread();
    line_.abort();
    owner_.SetUpgInfo(UpgStatus::idle, 0, 0);
    if (owner_.IsLinkOnline()) {
        line_.flush_rx();
        set_active(false);
        output_.output_reset();
        output_.set_output_active(1);
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

void link_agent::say_refused(LinkTask holder) {
    if (holder != LinkTask::none) {
        output_.output_text(LineHolder::refusal_text(holder));
    }
}

bool link_agent::start_task(LinkTask task, std::function<void()> body, const std::function<void()>& refused) {
    LinkTask holder = LinkTask::none;
    if (holder_.start_thread(task, std::move(body), holder)) {
        return true;
    }
    say_refused(holder);
    if (holder != LinkTask::none) {
        refused();
    }
    return false;
}

bool link_agent::start_send_config() {
    return start_task(
        LinkTask::send_config, [this] { LinkProtocol(session_).send_config(); }, [] {});
}

bool link_agent::start_lamp_test() {
    return start_task(
        LinkTask::lamp_test, [this] { PanelTests(session_).lamp_test(); },
        [this] { PanelTests(session_).lamp_test_refused(); });
}

bool link_agent::start_get_key() {
    return start_task(
        LinkTask::get_key, [this] { PanelTests(session_).get_key(); },
        [this] { PanelTests(session_).get_key_refused(); });
}

bool link_agent::start_led_map() {
    return start_task(
        LinkTask::led_map, [this] { PanelTests(session_).led_map(); },
        [this] { PanelTests(session_).led_map_refused(); });
}

bool link_agent::light_dim(std::int32_t light) {
    // It shares the queue with the connection and the test threads, so it waits its turn as they do.
    LinkTask holder = LinkTask::none;
    if (!holder_.take(holder)) {
        say_refused(holder);
        return false;
    }
    return PanelTests(session_).light_dim(light);
}

}  // namespace velmora
