// One port of the production line (a device, or a serial line on the network): its own registry,
// "com connector", "output", owner and link agent, and a thread that configures box after box on
// it. Nothing is shared with the other ports
// but the progress board and the log, so a fault or a vanished port here leaves them untouched.
//
// Per box: the agent tells the operator to reset the box, waits for the sync byte, downloads the
// client, handshakes and uploads the block; with send_config it then sends the configuration record
// and waits for the box's answer. The box's record goes to the log as soon as it ends.
//
// A box that is over (done, failed, interrupted) takes the link offline at once, before it is
// logged: a stray sync byte then finds nobody to answer it with a client download.
//
// Callers may rely on: start() runs the thread; stop() may be called from any thread at any time and
// makes the thread end soon (a box under way ends as interrupted); finish() joins the thread, shuts
// the agent down and closes the port. `on_finished` runs on the station's thread as its last act;
// after it, port_opened() and open_error() say whether the port ever opened and why not.
#pragma once

#include <QString>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "config/config_block.h"
#include "host/com_connector.h"
#include "host/host_registry.h"
#include "link/agent/link_agent.h"
#include "link/agent/link_timing.h"
#include "tools/velmora-provision/box_log.h"
#include "tools/velmora-provision/box_tracker.h"
#include "tools/velmora-provision/output_recorder.h"
#include "tools/velmora-provision/provision_owner.h"

namespace velmora::provision {

struct StationSettings {
    std::string port;      // as the operator named it
    std::string location;  // the path opened (port_names.h)
    std::int32_t baud = 115200;
    bool repeat = false;
    bool send_config = false;
    std::filesystem::path client;
    ClientInfo client_info;
    ConfigBlock block;
    LinkBoxAnswer on_block_timeout = LinkBoxAnswer::cancel;
    LinkTiming timing;
};

class PortStation {
public:
    // How often a port that is gone is looked for again (--repeat).
    static constexpr std::chrono::milliseconds k_reopen_poll{500};
    // How long the agent's worker may take to go idle after a box before the next box starts.
    static constexpr std::chrono::milliseconds k_settle_limit{5000};

    PortStation(std::size_t index, StationSettings settings, ProgressBoard& board, BoxLog& log,
                std::function<void()> on_finished);
    ~PortStation();
    PortStation(const PortStation&) = delete;
    PortStation& operator=(const PortStation&) = delete;

    void start();
    void stop();
    void finish();
    bool port_opened() const { return port_opened_.load(); }
    std::string open_error() const;

private:
    void run();
    // Opens the port; false when it is not there (reported once while it stays away).
    bool open_port(bool& reported);
    void run_box();
    // Logs the box, then shows its end.
    void end_box(BoxResult result);
    BoxResult send_config();
    void go_offline();

    const StationSettings settings_;
    BoxLog& log_;
    std::function<void()> on_finished_;
    HostRegistry registry_;
    BoxTracker tracker_;
    OutputRecorder output_;
    ProvisionOwner owner_;
    ComConnector connector_;
    link_agent agent_;
    std::thread thread_;
    std::atomic<bool> finished_{false};
    std::atomic<bool> port_opened_{false};
    mutable std::mutex open_error_mutex_;
    std::string open_error_;
};

}  // namespace velmora::provision
