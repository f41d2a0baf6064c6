// What stands around a link agent in its tests: a registry, a "com connector" whose box answers
// from a script (or a small model of the box), an "output" that records its texts, and an owner
// with the view's and the pages' flags.
#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "host/host_registry.h"
#include "link/agent/link_agent.h"
#include "link/agent/link_frames.h"
#include "link/agent/link_owner.h"
#include "link/agent/link_timing.h"
#include "link/component.h"
#include "link/host_components.h"

namespace velmora::link_test {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

// Waits for a condition that another thread brings about; the bound only keeps a broken test from
// hanging.
inline bool wait_until(const std::function<bool()>& condition, std::chrono::milliseconds bound = 20s) {
    const auto end = std::chrono::steady_clock::now() + bound;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// Waits short enough for fast tests: a reply that the box gives comes at once, so only a missing
// one costs its wait.
inline LinkTiming fast_timing() {
    LinkTiming timing;
    timing.worker_pass_pause = 0ms;
    timing.client_start_wait = 1ms;
    timing.receipt_reply = 20ms;
    timing.command_result = 20ms;
    timing.announce_result = 20ms;
    timing.block_piece_gap = 0ms;
    timing.block_ack = 20ms;
    timing.record_reply = 20ms;
    timing.test_reply = 20ms;
    timing.send_margin = 10s;
    return timing;
}

class TestComponent : public component {
public:
    TestComponent(std::string name, component_registry* registry) : component(std::move(name), registry) {}
    bool is_shareable() const override { return true; }
    std::string type_name() const override { return "test"; }
};

// The host's output window.
class FakeOutput : public TestComponent {
public:
    explicit FakeOutput(component_registry* registry) : TestComponent(k_output, registry) {
        set_active(true);
    }

    std::uint32_t deliver(const component_msg& msg) override {
        std::lock_guard lock(mutex_);
        if (msg.code == k_output_text) {
            texts_.emplace_back(static_cast<const char*>(msg.param2), msg.param1);
        } else if (msg.code == k_output_link_switch) {
            ++switches_;
        }
        return 0;
    }
    std::vector<std::string> texts() const {
        std::lock_guard lock(mutex_);
        return texts_;
    }
    std::size_t count(const std::string& text) const {
        std::lock_guard lock(mutex_);
        return static_cast<std::size_t>(std::count(texts_.begin(), texts_.end(), text));
    }
    int switches() const {
        std::lock_guard lock(mutex_);
        return switches_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> texts_;
    int switches_ = 0;
};

// The serial connector with the box behind it. Each send is recorded, reported (code 18) unless
// told not to, and answered with the next scripted reply, or by `model` when the script is empty.
class FakeConnector : public TestComponent {
public:
    using Model = std::function<Bytes(const Bytes& sent)>;

    explicit FakeConnector(component_registry* registry) : TestComponent(k_com_connector, registry) {}

    void attach(link_agent* agent) { agent_.store(agent); }
    void script(std::vector<Bytes> replies) {
        std::lock_guard lock(mutex_);
        script_.insert(script_.end(), replies.begin(), replies.end());
    }
    void set_model(Model model) {
        std::lock_guard lock(mutex_);
        model_ = std::move(model);
    }

    std::atomic<bool> reports{true};
    std::atomic<std::uint32_t> baud{1'000'000};
    std::atomic<bool> open{true};
    // What a code-15 request answers while the port is open; a host may answer anything.
    std::atomic<std::uint32_t> send_answer{1};

    std::uint32_t request(const component_msg& msg) override {
        switch (msg.code) {
            case k_connector_is_open:
                return open.load() ? 1 : 0;
            case k_connector_upgrade_mode: {
                std::lock_guard lock(mutex_);
                switches_.push_back(msg.param1);
                return 1;
            }
            case k_connector_baud:
                return baud.load();
            case k_connector_send:
                if (!open.load()) {
                    return 0;  // dropped, and never reported
                }
                take(Bytes(static_cast<const std::uint8_t*>(msg.param2),
                           static_cast<const std::uint8_t*>(msg.param2) + msg.param1));
                return send_answer.load();
            default:
                return 0;
        }
    }

    std::vector<Bytes> sends() const {
        std::lock_guard lock(mutex_);
        return sends_;
    }
    std::size_t send_count() const {
        std::lock_guard lock(mutex_);
        return sends_.size();
    }
    std::vector<std::uint32_t> switches() const {
        std::lock_guard lock(mutex_);
        return switches_;
    }

    // Bytes from the box, as the host's broadcast brings them.
    void receive(const Bytes& bytes) {
        if (link_agent* agent = agent_.load(); agent != nullptr && !bytes.empty()) {
            agent->deliver(
                component_msg{k_connector_received, static_cast<std::uint32_t>(bytes.size()), bytes.data()});
        }
    }
    void report(std::uint32_t count) {
        if (link_agent* agent = agent_.load(); agent != nullptr) {
            agent->deliver(component_msg{k_connector_sent, 0, &count});
        }
    }
    // The port closes (the user, or the device is gone) and opens again, as the host broadcasts it.
    void close_port() {
        open.store(false);
        broadcast(k_connector_closed);
    }
    void open_port() {
        open.store(true);
        broadcast(k_connector_opened);
    }

private:
    void broadcast(std::uint32_t code) {
        if (link_agent* agent = agent_.load(); agent != nullptr) {
            agent->deliver(component_msg{code, 0, nullptr});
        }
    }
    void take(Bytes bytes) {
        Bytes reply;
        {
            std::lock_guard lock(mutex_);
            sends_.push_back(bytes);
            if (!script_.empty()) {
                reply = std::move(script_.front());
                script_.pop_front();
            } else if (model_) {
                reply = model_(bytes);
            }
        }
        if (reports.load()) {
            report(static_cast<std::uint32_t>(bytes.size()));
        }
        receive(reply);
    }

    std::atomic<link_agent*> agent_{nullptr};
    mutable std::mutex mutex_;
    std::vector<Bytes> sends_;
    std::vector<std::uint32_t> switches_;
    std::deque<Bytes> script_;
    Model model_;
};

inline Bytes ok_reply() {
    return {0, 0, 0, 0, 0, 0};
}

// A box that runs the client: every command is taken and done, the handshake echoed, every block
// acknowledged as the announcement before it asks.
class BoxModel {
public:
    Bytes operator()(const Bytes& sent) {
        if (sent == Bytes{k_frame_start, k_block_marker}) {
            block_part_ = 1;
            return {};
        }
        if (block_part_ == 1) {
            block_part_ = 2;
            return {};
        }
        if (block_part_ == 2) {
            block_part_ = 0;
            return last_command_ == static_cast<std::uint8_t>(LinkCommand::announce_block) ? Bytes{0}
                                                                                           : Bytes{0, 0, 0};
        }
        if (sent.size() >= k_command_overhead && sent[0] == k_frame_start) {
            last_command_ = sent[1];
            Bytes reply = ok_reply();
            if (last_command_ == static_cast<std::uint8_t>(LinkCommand::handshake)) {
                reply.insert(reply.end(), k_handshake_text.begin(), k_handshake_text.end());
            }
            return reply;
        }
        return {};
    }

private:
    int block_part_ = 0;
    std::uint8_t last_command_ = 0;
};

struct Post {
    LinkPage page;
    int message;
    bool operator==(const Post&) const = default;
};

// A page's flag the test thread reads: an assignment wakes the thread, as a page's change does in the
// window; the thread's own stores do not.
template <typename T>
class PageFlag {
public:
    PageFlag(T initial, const std::function<void()>& wake) : value_(initial), wake_(wake) {}
    PageFlag& operator=(T value) {
        value_.store(value);
        if (wake_) {
            wake_();
        }
        return *this;
    }
    T load() const { return value_.load(); }
    void store(T value) { value_.store(value); }
    T exchange(T value) { return value_.exchange(value); }

private:
    std::atomic<T> value_;
    const std::function<void()>& wake_;
};

class FakeOwner : public link_owner {
public:
    // --- view
    void SetUpgInfo(UpgStatus status, std::int32_t current, std::int32_t total) override {
        std::lock_guard lock(mutex_);
        upg_info_.push_back({static_cast<std::int32_t>(status), current, total});
    }
    bool IsLinkOnline() const override { return online.load(); }
    bool panel_connected() const override { return connected.load(); }
    void set_panel_connected(bool value) override { connected.store(value); }
    void with_config(const std::function<void(ConfigBlock&)>& use) override {
        std::lock_guard lock(mutex_);
        use(config_);
    }
    LinkBoxAnswer message_box(const std::string& text, LinkBoxButtons buttons) override {
        std::unique_lock lock(mutex_);
        boxes_.push_back(text);
        box_shown_.notify_all();
        box_released_.wait(lock, [this] { return !hold_boxes_; });
        return buttons == LinkBoxButtons::ok ? LinkBoxAnswer::ok : box_answer_;
    }
    void post_to_page(LinkPage page, int message) override {
        std::lock_guard lock(mutex_);
        posts_.push_back({page, message});
    }
    void link_changed() override {
        if (on_link_changed) {
            on_link_changed();
        }
    }
    // --- lamp test
    bool lamp_test_running() const override { return lamp_running.load(); }
    LampKey take_lamp_key_request() override { return lamp_request.exchange(LampKey::none); }
    void set_lamp_key_request(LampKey request) override { lamp_request.store(request); }
    // --- get key
    bool get_key_running() const override { return key_running.load(); }
    bool has_capture_target() const override { return capture_target.load(); }
    void clear_capture_target() override { capture_target.store(false); }
    bool keys_in_hex() const override { return hex.load(); }
    void SetCapturedKey(CapturedKey key) override {
        std::lock_guard lock(mutex_);
        captured_.push_back(key);
    }
    // --- LED map
    bool get_led_map_running() const override { return led_running.load(); }
    std::optional<LedPick> take_led_pick() override {
        std::lock_guard lock(mutex_);
        if (picks_.empty()) {
            return std::nullopt;
        }
        const auto pick = static_cast<LedPick>(picks_.front());
        picks_.pop_front();
        return pick;
    }
    void deliver_led_map(const std::array<std::uint8_t, 256>& map) override {
        std::lock_guard lock(mutex_);
        led_map_ = map;
    }

    // What a page's change calls: the agent's page_changed, set by the fixture. Test thread only.
    std::function<void()> wake_test_thread;
    // Called on the agent's threads: set it before the agent can call it.
    std::function<void()> on_link_changed;

    std::atomic<bool> online{true};
    std::atomic<bool> connected{false};
    PageFlag<bool> lamp_running{false, wake_test_thread};
    PageFlag<LampKey> lamp_request{LampKey::none, wake_test_thread};
    PageFlag<bool> key_running{false, wake_test_thread};
    std::atomic<bool> capture_target{false};
    std::atomic<bool> hex{false};
    PageFlag<bool> led_running{false, wake_test_thread};

    // Message boxes wait for release_boxes() while held; retry-cancel boxes answer `answer`.
    void hold_boxes(LinkBoxAnswer answer = LinkBoxAnswer::retry) {
        std::lock_guard lock(mutex_);
        hold_boxes_ = true;
        box_answer_ = answer;
    }
    void answer_boxes(LinkBoxAnswer answer) {
        std::lock_guard lock(mutex_);
        box_answer_ = answer;
    }
    void release_boxes() {
        {
            std::lock_guard lock(mutex_);
            hold_boxes_ = false;
        }
        box_released_.notify_all();
    }
    void add_picks(std::initializer_list<std::uint8_t> picks) {
        {
            std::lock_guard lock(mutex_);
            picks_.insert(picks_.end(), picks);
        }
        if (wake_test_thread) {
            wake_test_thread();
        }
    }
    void set_config(const ConfigBlock& block) {
        std::lock_guard lock(mutex_);
        config_ = block;
    }
    ConfigBlock config() {
        std::lock_guard lock(mutex_);
        return config_;
    }
    std::vector<std::string> boxes() {
        std::lock_guard lock(mutex_);
        return boxes_;
    }
    std::vector<Post> posts() {
        std::lock_guard lock(mutex_);
        return posts_;
    }
    std::vector<std::array<std::int32_t, 3>> upg_info() {
        std::lock_guard lock(mutex_);
        return upg_info_;
    }
    std::vector<CapturedKey> captured() {
        std::lock_guard lock(mutex_);
        return captured_;
    }
    std::optional<std::array<std::uint8_t, 256>> led_map() {
        std::lock_guard lock(mutex_);
        return led_map_;
    }

private:
    std::mutex mutex_;
    std::condition_variable box_shown_;
    std::condition_variable box_released_;
    bool hold_boxes_ = false;
    LinkBoxAnswer box_answer_ = LinkBoxAnswer::retry;
    ConfigBlock config_;
    std::vector<std::string> boxes_;
    std::vector<Post> posts_;
    std::vector<std::array<std::int32_t, 3>> upg_info_;
    std::vector<CapturedKey> captured_;
    std::deque<std::uint8_t> picks_;
    std::optional<std::array<std::uint8_t, 256>> led_map_;
};

// An agent among its fakes. The fakes outlive the agent; boxes are released before it goes, so its
// destruction never waits on a user.
class LinkFixture {
public:
    explicit LinkFixture(LinkTiming timing = fast_timing())
        : agent_(std::make_unique<link_agent>(owner, &registry, timing)) {
        connector.attach(agent_.get());
        agent_->set_client_path("/nonexistent/velmora-test/velmora.bin");
        owner.wake_test_thread = [this] { agent_->page_changed(); };
    }
    ~LinkFixture() { destroy(); }

    link_agent& agent() { return *agent_; }
    void destroy() {
        owner.release_boxes();
        owner.wake_test_thread = nullptr;
        connector.attach(nullptr);
        agent_.reset();
    }
    // The state the test threads and the light/dim command run in.
    void listen() { agent_->line().set_link_state(LinkState::listening); }

    HostRegistry registry;
    FakeOutput output{&registry};
    FakeConnector connector{&registry};
    FakeOwner owner;

private:
    std::unique_ptr<link_agent> agent_;
};

inline std::string text_of(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace velmora::link_test
