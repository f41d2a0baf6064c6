// velmora-provision: the online road without a window, for a production line.
#include <poll.h>
#include <unistd.h>

#include <QCoreApplication>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <memory>
#include <vector>

#include "config/crc32.h"
#include "link/agent/link_frames.h"
#include "platform/file_system.h"
#include "platform/regular_file.h"
#include "platform/signal_cleanup.h"
#include "platform/wake_pipe.h"
#include "tools/velmora-image/private_drive_root.h"
#include "tools/velmora-provision/box_log.h"
#include "tools/velmora-provision/file_kind.h"
#include "tools/velmora-provision/port_names.h"
#include "tools/velmora-provision/port_station.h"
#include "tools/velmora-provision/process_setup.h"
#include "tools/velmora-provision/progress_board.h"
#include "tools/velmora-provision/provision_options.h"
#include "tools/velmora-provision/stop_signal.h"
#include "tools/velmora-provision/write_faults.h"

using namespace velmora;
using namespace velmora::provision;

namespace {

// The block every box gets, built once as `velmora-image generate` builds it; the key script is
// unpacked in a drive folder of this run's own, gone before the first box.
bool build_block(const image_tool::BlockInputs& inputs, ConfigBlock& block) {
    platform::SignalCleanup::install();
    const image_tool::PrivateDriveRoot drive_root;
    if (!drive_root.error().empty()) {
        std::cerr << "velmora-provision: " << drive_root.error() << "\n";
        return false;
    }
    const image_tool::BuiltBlock built = image_tool::build_config_block(inputs, std::cerr);
    if (built.status != image_tool::k_exit_ok) {
        return false;
    }
    if (built.check_failed) {
        // `generate` would still write the image; a line must not configure boxes with it.
        std::cerr << "velmora-provision: a page's check failed, so no box is configured\n";
        return false;
    }
    block = built.block;
    return true;
}

// The client's size and CRC for the log; false (said why) when the agent would refuse to send it.
bool read_client(const std::filesystem::path& path, ClientInfo& info) {
    const std::string name = path.string();
    platform::RegularFile file = platform::open_regular_file(path);
    if (file.status == platform::RegularFileStatus::not_regular_file) {
        std::cerr << "velmora-provision: the client file " << name << " is " << file_kind_text(name)
                  << ", not a regular file\n";
        return false;
    }
    if (file.status != platform::RegularFileStatus::opened) {
        if (errno == ENOENT) {
            std::cerr << "velmora-provision: Client file not found: " << name << "\n";
        } else {
            std::cerr << "velmora-provision: cannot open the client file " << name << ": "
                      << std::strerror(errno) << "\n";
        }
        return false;
    }
    if (file.size > k_max_client_size) {
        std::cerr << "velmora-provision: the client file " << name << " is " << file.size
                  << " bytes, more than the box's buffer takes (" << k_max_client_size << " bytes)\n";
        return false;
    }
    std::vector<std::uint8_t> bytes(file.size);
    errno = 0;
    if (!platform::read_at(file.fd.get(), bytes, 0)) {
        std::cerr << "velmora-provision: cannot read the client file " << name << ": "
                  << (errno != 0 ? std::strerror(errno) : "it changed while it was read") << "\n";
        return false;
    }
    info.size = bytes.size();
    info.crc = crc32_update(k_crc32_initial, bytes.data(), bytes.size()) ^ k_crc32_initial;
    return true;
}

// Until Ctrl-C, until every station has ended by itself, or until an output cannot be written.
void wait_for_end(int stop_fd, int done_fd, int fault_fd) {
    pollfd waits[3] = {{stop_fd, POLLIN, 0}, {done_fd, POLLIN, 0}, {fault_fd, POLLIN, 0}};
    while (::poll(waits, 3, -1) < 0 && errno == EINTR) {
    }
}

// The exit status. A run with nothing done is no success when a port of it never even opened (a
// wrong name, a port denied for the whole run): that port served no box at all.
int exit_status(const BoxTally& tally, bool output_failed, bool port_never_opened) {
    if (output_failed || tally.failed > 0 || (tally.done == 0 && port_never_opened)) {
        return k_exit_box_failed;
    }
    return k_exit_all_done;
}

}  // namespace

int main(int argc, char** argv) {
    prepare_process();
    ProvisionOptions options;
    if (const int status = parse(argc, argv, options, std::cout, std::cerr); status != k_parsed) {
        return status;
    }
    const std::optional<std::vector<PortTarget>> ports = resolve_ports(options.ports, std::cerr);
    if (!ports) {
        return k_exit_usage;
    }
    ConfigBlock block;
    if (!build_block(options.inputs, block)) {
        return k_exit_usage;
    }
    const std::filesystem::path client = options.client.empty() ? platform::executable_dir() / "velmora.bin"
                                                                : std::filesystem::path(options.client);
    ClientInfo client_info;
    if (!read_client(client, client_info)) {
        return k_exit_usage;
    }
    WriteFaults faults;
    const auto on_write_error = [&faults](const std::string& text) { faults.report(text); };
    BoxLog log(on_write_error);
    if (std::string error; !options.log.empty() && !log.open(options.log, error)) {
        std::cerr << "velmora-provision: " << error << "\n";
        return k_exit_usage;
    }
    platform::WakePipe all_done;
    if (!StopSignal::install() || !all_done.open() || !faults.open()) {
        std::cerr << "velmora-provision: no pipe for the signals\n";
        return k_exit_usage;
    }

    QCoreApplication app(argc, argv);
    const ProgressStyle style = options.json                   ? ProgressStyle::json
                                : ::isatty(STDOUT_FILENO) != 0 ? ProgressStyle::terminal
                                                               : ProgressStyle::plain;
    ProgressBoard board(options.ports, style, stdout, on_write_error);
    std::atomic<std::size_t> running{ports->size()};
    std::vector<std::unique_ptr<PortStation>> stations;
    for (std::size_t i = 0; i < ports->size(); ++i) {
        StationSettings settings;
        settings.port = (*ports)[i].name;
        settings.location = (*ports)[i].location;
        settings.baud = options.baud;
        settings.repeat = options.repeat;
        settings.send_config = options.send_config;
        settings.client = client;
        settings.client_info = client_info;
        settings.block = block;
        settings.on_block_timeout = options.on_block_timeout;
        stations.push_back(std::make_unique<PortStation>(i, std::move(settings), board, log, [&] {
            if (running.fetch_sub(1) == 1) {
                all_done.signal();
            }
        }));
    }
    for (auto& station : stations) {
        station->start();
    }
    wait_for_end(StopSignal::fd(), all_done.read_fd(), faults.fd());
    for (auto& station : stations) {
        station->stop();
    }
    bool port_never_opened = false;
    for (std::size_t i = 0; i < stations.size(); ++i) {
        stations[i]->finish();
        if (!stations[i]->port_opened()) {
            port_never_opened = true;
            std::cerr << "velmora-provision: the port " << (*ports)[i].name
                      << " never opened: " << stations[i]->open_error() << "\n";
        }
    }
    stations.clear();

    log.write_summary();
    const BoxTally tally = log.tally();
    board.finish();
    if (options.json) {
        board.print(BoxLog::summary_line(tally));
    } else {
        char text[160];
        std::snprintf(text, sizeof text, "boxes %d  done %d  failed %d  average %.1f s a box", tally.boxes,
                      tally.done, tally.failed, tally.average_seconds());
        board.print(text);
    }
    return exit_status(tally, faults.any(), port_never_opened);
}
