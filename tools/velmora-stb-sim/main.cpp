// velmora-stb-sim: a simulated set-top box on a pseudo-terminal or a serial device, for the
// end-to-end tests, benches and demos. The box's logic lives in velmora_stb_sim_core.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <iostream>
#include <memory>
#include <optional>
#include <random>

#include "tools/velmora-stb-sim/sim_box.h"
#include "tools/velmora-stb-sim/sim_line.h"
#include "tools/velmora-stb-sim/sim_loop.h"
#include "tools/velmora-stb-sim/sim_options.h"
#include "tools/velmora-stb-sim/sim_recorder.h"

using namespace velmora::stb_sim;

int main(int argc, char** argv) {
    SimOptions options;
    if (const std::optional<int> exit_code = SimOptions::parse(argc, argv, options, std::cout, std::cerr)) {
        return *exit_code;
    }
    // A host that goes away must not end us with SIGPIPE; a write simply fails.
    ::signal(SIGPIPE, SIG_IGN);
    if (!SimLoop::install_stop_signals()) {
        std::cerr << "velmora-stb-sim: cannot catch the stop signals\n";
        return 1;
    }

    std::string error;
    std::unique_ptr<SimLine> line = options.device.empty()
                                        ? SimLine::open_pseudo_terminal(options.baud, error)
                                        : SimLine::open_device(options.device, options.baud, error);
    if (!line) {
        std::cerr << "velmora-stb-sim: " << error << "\n";
        return 1;
    }
    if (options.device.empty()) {
        std::cout << line->slave_path() << std::endl;  // the first line, flushed: a test waits for it
    }

    std::optional<SimRecorder> recorder;
    if (!options.record_dir.empty()) {
        recorder.emplace(options.record_dir);
    }
    SimBoxSettings settings;
    settings.faults = options.faults;
    settings.led_map = options.led_map;
    settings.led_map_delay = std::chrono::milliseconds(options.led_map_delay_ms);
    settings.client_limit = options.client_limit;
    settings.seed = std::random_device{}();
    settings.recorder = recorder ? &*recorder : nullptr;
    settings.log = [](const std::string& text) { std::cerr << text << std::endl; };
    SimBox box(std::move(settings));

    std::optional<std::chrono::milliseconds> reset_after;
    if (options.reset_after_seconds) {
        reset_after =
            std::chrono::milliseconds(static_cast<long long>(*options.reset_after_seconds * 1000.0));
    }
    return SimLoop(box, *line, STDIN_FILENO, options.baud).run(reset_after);
}
