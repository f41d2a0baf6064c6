// The simulator's command line: which line to use and how fast, when to reset by itself, where to
// record, which faults to make, and the box's LED map and when it sends it.
//
// Callers may rely on: parse() either fills every field from valid arguments and returns no exit
// code, or has printed help (exit 0) or a usage error naming the option (exit 2) and returns that
// code. The LED map file, when given, has been read: exactly 256 bytes.
#pragma once

#include <chrono>
#include <iosfwd>
#include <optional>
#include <string>

#include "tools/velmora-stb-sim/sim_box.h"
#include "tools/velmora-stb-sim/sim_faults.h"

namespace velmora::stb_sim {

inline constexpr int k_default_baud = 115200;
inline constexpr int k_exit_usage = 2;

struct SimOptions {
    std::string device;  // empty: a pseudo-terminal of our own
    int baud = k_default_baud;
    std::optional<double> reset_after_seconds;
    std::string record_dir;
    FaultSet faults;
    std::size_t client_limit = k_max_client_size;
    LedMap led_map = font_led_map();
    std::chrono::milliseconds::rep led_map_delay_ms = k_led_map_delay.count();

    static std::optional<int> parse(int argc, char** argv, SimOptions& options, std::ostream& out,
                                    std::ostream& err);
};

}  // namespace velmora::stb_sim
