// Runs the simulated box: waits on the line, the standard input and the stop signals at once, feeds
// the box what arrives (at the line's pace, SimInputPacer) and the passing time, and writes what the
// box sends to the line.
//
// Callers may rely on: run() returns 0 after "quit", the end of the input, SIGINT or SIGTERM (once
// install_stop_signals() has been called), and 1 when the line fails or hangs up. Nothing it starts
// outlives it: it makes no thread and no child.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "tools/velmora-stb-sim/sim_box.h"
#include "tools/velmora-stb-sim/sim_input_pacer.h"
#include "tools/velmora-stb-sim/sim_line.h"

namespace velmora::stb_sim {

class SimLoop {
public:
    // `baud` paces what the box takes in, as SimLine paces what it sends (0: unpaced).
    SimLoop(SimBox& box, SimLine& line, int input_fd, int baud)
        : box_(box), line_(line), input_fd_(input_fd), input_(baud) {}

    // SIGINT and SIGTERM end run() from then on instead of the process.
    static bool install_stop_signals();

    int run(std::optional<std::chrono::milliseconds> reset_after);

private:
    enum class Input { more, end };
    Input read_input();
    Input on_input_line(const std::string& line);
    bool flush_output();

    SimBox& box_;
    SimLine& line_;
    int input_fd_;
    SimInputPacer input_;
    std::string pending_input_;
};

}  // namespace velmora::stb_sim
