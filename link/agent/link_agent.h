// The plug-in's one component on the serial line: name "velmora", type "upgrade". It keeps the
// queue of bytes the box sends, sends bytes and waits for their completion report, answers the
// box's sync byte, and runs the connection (client download, handshake, block upload) on its worker
// thread and the panel tests on a test thread. It reaches the user and the pages only through its
// link_owner, and the serial line and output window only through the registry's "com connector"
// and "output".
//
// Callers may rely on:
// - Construction registers the agent and starts its worker, which waits for a sync byte; the agent
//   receives broadcasts only while the owner has gone online (go_online / go_offline).
// - `deliver` may be called on any thread and never blocks for long: it queues bytes, counts sent
//   bytes, answers a sync byte, and on a closed port ends every send and read in progress and the
//   running test (its page gets its end message); until a port opens again every send fails at once.
// - The line has one user at a time: the connection (from the sync byte until the worker ends it),
//   or one of the threads started here (send configuration, lamp test, get key, LED map), or
//   light/dim. A start while another runs is refused with a text in the output window that names
//   what runs, and a test's page still gets its end message. The worker never takes a test's state
//   for a step of its own.
// - Every connection ends with SetUpgInfo(UpgStatus::idle, 0, 0), failed or not, so "Connect with Panel"
// works
//   again; the owner hears of each change it shows (link_owner::link_changed).
// - A send never waits longer than its bytes need on the line plus LinkTiming::send_margin.
// - Destruction ends and joins every thread the agent started, whatever they were doing; the
//   owner must answer message boxes and must outlive the agent.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <thread>

#include "link/component.h"
#include "link/agent/link_frames.h"
#include "link/agent/link_line.h"
#include "link/agent/link_owner.h"
#include "link/agent/link_timing.h"
#include "platform/manual_reset_event.h"

namespace velmora {

// What holds the line: the connection or the thread that runs, named to the user who starts another.
enum class LinkTask { none, connection, send_config, lamp_test, get_key, led_map };

// The values of link_agent::link_state.
enum class LinkState : std::int32_t {
    idle = 0,       // received bytes are searched for the sync byte while online
    synced = 1,     // the worker downloads the client; received bytes are dropped
    listening = 2,  // received bytes are queued (also every test start)
    uploading = 3,  // the worker uploads the block
    uploaded = 4,   // the worker goes idle at its next pass
};

class link_agent : public component {
public:
    static constexpr const char* k_name = "velmora";
    static constexpr const char* k_type = "upgrade";
    static constexpr const char* k_client_file = "velmora.bin";

    link_agent(link_owner& owner, component_registry* registry, LinkTiming timing = {});
    ~link_agent() override;
    // Ends and joins every thread the agent started, as destruction does, but keeps the agent: a
    // registry that still names it may deliver to it, and from now on every delivery is dropped.
    // The owner is not used after it returns. Safe to call more than once.
    void shutdown();

    bool is_shareable() const override { return true; }
    std::string type_name() const override { return k_type; }
    std::uint32_t deliver(const component_msg& msg) override;

    // --- The view's Connect with Panel and Clear ------------------------------------------------
    // The agent's part of going online; the owner sets its own online flag (IsLinkOnline) after.
    void go_online();
    // The agent's part of going offline, reading the owner's online flag, which the owner clears
    // after. Ends any send in progress.
    void go_offline();

    // --- Host components -------------------------------------------------------------------------
    std::uint32_t output_text(std::string_view text);
    void set_output_active(std::int32_t flag);
    void output_reset();

    // --- The line --------------------------------------------------------------------------------
    // Sends and waits for the connector's completion report; false when the send was aborted (port
    // closed, going offline, destruction) or its report did not come in time. The request's own
    // answer means nothing: a host that follows the contract answers 0.
    bool send_raw(const std::uint8_t* data, std::size_t length);
    bool send_raw(std::span<const std::uint8_t> bytes) { return send_raw(bytes.data(), bytes.size()); }
    // Moves the first `count` queued bytes into `buffer` once there are that many; false when the
    // time runs out or the link goes idle, and then the queue is untouched.
    bool read_rx(std::uint8_t* buffer, std::size_t count, std::chrono::milliseconds limit);
    void flush_rx() { line_.flush(); }

    // The bytes of the last send that the connector has reported sent (code 18).
    std::uint32_t reported_count() const { return line_.reported_count(); }
    std::int32_t link_state() const { return link_state_.load(); }
    // Idle ends every read in progress.
    void set_link_state(std::int32_t state);
    void set_link_state(LinkState state) { set_link_state(static_cast<std::int32_t>(state)); }

    // --- The connection protocol (link_protocol.h) -----------------------------------------------
    void answer_sync();
    std::uint32_t download_client();
    bool send_command(LinkCommand code, std::span<const std::uint8_t> payload,
                      std::chrono::milliseconds result_limit);
    bool handshake();
    bool upload_all();
    // Sends the first 464 bytes of the owner's block on a thread of its own; false when refused
    // because another link thread runs.
    bool start_send_config();

    // --- The panel tests (panel_tests.h) ---------------------------------------------------------
    // Each starts its thread and returns true, or refuses (another link thread runs) and returns false.
    bool start_lamp_test();
    bool start_get_key();
    bool start_led_map();
    // Lights (nonzero) or dims all LEDs and lamps on the caller's thread.
    bool light_dim(std::int32_t light);

    // --- For the owner, tools and tests ----------------------------------------------------------
    // The client file; empty (the default) means "velmora.bin" beside the running program.
    void set_client_path(std::filesystem::path path);
    std::filesystem::path client_path() const;
    const LinkTiming& timing() const { return timing_; }
    link_owner& owner() const { return owner_; }
    // True once destruction has begun: every loop of the agent's threads ends.
    bool stopping() const { return stopping_.load(); }
    // Waits `duration`, or less when destruction begins; false when it did.
    bool pause(std::chrono::milliseconds duration);
    // Queued bytes, and whether a read waits for bytes: a box simulator answers when it is asked.
    std::size_t rx_queued() { return line_.queued(); }
    // True while a read waits on an empty queue: what comes now is what it reads.
    bool rx_starved() { return line_.starved(); }
    // Whether one of the send configuration and test threads runs.
    bool link_thread_running() const { return thread_running_.load(); }
    // True from the sync byte until the worker has ended that connection, failed or not.
    bool connecting() const { return connecting_.load(); }
    // True once the connector said its port closed, until it says a port opened or the owner goes
    // online again.
    bool port_closed() const { return port_closed_.load(); }
    // True once the port closed after the last connection began: whatever the port that opens since
    // reaches, the box needs a reset to be sure of it.
    bool connection_lost() const { return connection_lost_.load(); }
    // True when the running thread must end: destruction, a closed port, going online or offline.
    bool link_thread_cancelled() const { return stopping() || thread_cancelled_.load(); }
    // Prints a failure text; when the port is closed, a line that says so follows it.
    void output_failure(std::string_view text);
    // The line that says the port is closed, when it is.
    void output_if_port_closed();

private:
    void worker();
    void worker_pass();
    // The worker's part of a connection that has ended; false when a new sync byte has begun another.
    bool end_connection(bool connected);
    void park();
    void wake_worker();
    void deliver_now(const component_msg& msg);
    void on_port_closed();
    // Takes the line when nothing else holds it and puts the state to listening; else prints what
    // holds it and returns false. `start` runs under the same lock once the line is taken.
    bool take_line(const std::function<void()>& start);
    void receive(const std::uint8_t* bytes, std::size_t count);
    // Starts `body` on the link thread unless the line is held; `refused` runs on the caller's thread then.
    bool start_link_thread(LinkTask task, const std::function<void()>& body,
                           const std::function<void()>& refused);

    link_owner& owner_;
    const LinkTiming timing_;
    std::atomic<std::int32_t> link_state_{0};
    std::atomic<bool> stopping_{false};
    std::atomic<std::int32_t> delivering_{0};  // deliveries under way

    LinkLine line_;

    mutable std::mutex path_mutex_;
    std::filesystem::path client_path_;

    // The worker parks on this until woken; a wake is a flag, so one that comes before the park
    // is kept. The same lock and signal end the agent's pauses at destruction.
    std::mutex park_mutex_;
    std::condition_variable park_signal_;
    bool wake_pending_ = false;

    std::atomic<bool> port_closed_{false};
    std::atomic<bool> connection_lost_{false};

    // Who holds the line. A sync byte and a start decide under thread_mutex_, so a test never
    // starts between the sync byte and its connection.
    std::mutex thread_mutex_;
    std::thread link_thread_;
    std::atomic<bool> thread_running_{false};
    std::atomic<bool> thread_cancelled_{false};
    std::atomic<bool> connecting_{false};
    std::atomic<LinkTask> thread_task_{LinkTask::none};

    std::thread worker_;  // last: it starts once everything above exists
};

}  // namespace velmora
