// The plug-in's one component on the serial line: name "velmora", type "upgrade". It takes what
// the "com connector" broadcasts (bytes received, bytes sent, the port closed or opened), answers the
// box's sync byte, and starts what runs on the line: the connection on its worker (link_connection.h)
// and the panel tests and "Send Config to Panel" on a task thread (panel_tests.h, link_protocol.h).
// It reaches the user and the pages only through its link_owner, and the serial line and output
// window only through the registry's "com connector" and "output" (link_line.h, link_output.h).
//
// Callers may rely on:
// - Construction registers the agent and starts its worker, which waits for a sync byte; the agent
//   receives broadcasts only while the owner has gone online (go_online / go_offline).
// - `deliver` may be called on any thread and never blocks for long: it queues bytes, counts sent
//   bytes, answers a sync byte, and on a closed port ends every send and read in progress and the
//   running test (its page gets its end message); until a port opens again every send fails at once.
// - The line has one holder at a time (line_holder.h). A start while another runs is refused with a
//   text in the output window that names what runs, and a test's page still gets its end message.
// - A test thread that waits for its page wakes when the owner calls page_changed().
// - Destruction ends and joins every thread the agent started, whatever they were doing; the
//   owner must answer message boxes and must outlive the agent.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>

#include "link/agent/line_holder.h"
#include "link/agent/link_connection.h"
#include "link/agent/link_events.h"
#include "link/agent/link_line.h"
#include "link/agent/link_output.h"
#include "link/agent/link_owner.h"
#include "link/agent/link_session.h"
#include "link/agent/link_timing.h"
#include "link/component.h"

namespace velmora {

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

    // --- What the pages and the view start --------------------------------------------------------
    // Each starts its thread and returns true, or refuses (another holds the line) and returns false.
    // Send configuration sends the first 464 bytes of the owner's block.
    bool start_send_config();
    bool start_lamp_test();
    bool start_get_key();
    bool start_led_map();
    // Lights (nonzero) or dims all LEDs and lamps on the caller's thread.
    bool light_dim(std::int32_t light);
    // A page's test flag or request changed: the test thread that waits for it looks again.
    void page_changed() { events_.page_changed(); }

    // --- For the owner, tools and tests ----------------------------------------------------------
    // The client file; empty (the default) means "velmora.bin" beside the running program.
    void set_client_path(std::filesystem::path path);
    std::filesystem::path client_path() const;
    // What the connection and the tests work with: the line, the output window, the waits.
    const LinkSession& session() const { return session_; }
    LinkLine& line() { return line_; }
    LinkState link_state() const { return line_.link_state(); }
    // Whether one of the send configuration and test threads runs.
    bool link_thread_running() const { return holder_.thread_running(); }
    // True from the sync byte until the worker has ended that connection, failed or not.
    bool connecting() const { return holder_.connecting(); }
    // True once the connector said its port closed, until it says a port opened or the owner goes
    // online again.
    bool port_closed() const { return line_.port_closed(); }
    // True once the port closed after the last connection began: whatever the port that opens since
    // reaches, the box needs a reset to be sure of it.
    bool connection_lost() const { return connection_lost_.load(); }

private:
    void deliver_now(const component_msg& msg);
    void on_port_closed();
    void receive(const std::uint8_t* bytes, std::size_t count);
    // Starts `body` on the task thread unless the line is held; `refused` runs on the caller's
    // thread then, after the text that names the holder.
    bool start_task(LinkTask task, std::function<void()> body, const std::function<void()>& refused);
    // Prints why the line could not be taken (nothing when the agent stops).
    void say_refused(LinkTask holder);

    link_owner& owner_;
    const LinkTiming timing_;
    LinkEvents events_;
    LinkLine line_;
    LinkOutput output_;
    const LinkSession session_;
    LineHolder holder_;
    std::atomic<bool> connection_lost_{false};

    mutable std::mutex path_mutex_;
    std::filesystem::path client_path_;

    LinkConnection connection_;  // last: its worker starts once everything above exists
};

}  // namespace velmora
