#include "tools/velmora-stb-sim/sim_options.h"

#include <CLI/CLI.hpp>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <limits>
#include <ostream>
#include <vector>

#include "tools/cli_checks.h"

namespace velmora::stb_sim {

namespace {

std::string fault_help() {
    std::string text = "Make a fault (repeatable):";
    for (const FaultInfo& info : k_faults) {
        text += "\n  " + std::string(info.name) + (info.takes_count ? "=N" : "") + ": " +
                std::string(info.effect);
    }
    return text;
}

// Longer than any test or demo waits for a box; a longer wait is a typing error.
constexpr std::int64_t k_max_reset_after_seconds = 86400;
// The client image's header carries the client's length in 32 bits.
constexpr std::int64_t k_max_client_limit = std::numeric_limits<std::uint32_t>::max();

constexpr const char* k_description =
    "A simulated set-top box on a pseudo-terminal (or a serial device): the box side of the serial "
    "protocol, for tests and demos.\n"
    "Without --device it makes a pseudo-terminal and prints its path as the first line of standard output.\n"
    "Standard input takes one command a line:\n"
    "  reset               the box sends the sync byte 0xA5, waits for 0x60, takes the client image\n"
    "                      (12-byte header with its length, then the bytes) and serves commands\n"
    "  key USERCODE KEY    send a key event (user code in hex, key decimal or 0x-hex) while keys are\n"
    "                      captured (after command 89)\n"
    "  quit                end (as do the end of input, SIGINT and SIGTERM)\n"
    "Commands served: 80 handshake (echo), 81 whole block (1564 bytes), 83 configuration record\n"
    "(464 bytes), 84/85 LED map (the map goes out after ten acknowledged steps, again each second until\n"
    "the host answers 0x02, five times at most), 88/92/93/94 lamp test\n"
    "(positions 0..63), 89 key capture, 95 light/dim. Each event is logged on standard error.";

}  // namespace

std::optional<int> SimOptions::parse(int argc, char** argv, SimOptions& options, std::ostream& out,
                                     std::ostream& err) {
    CLI::App app{k_description, "velmora-stb-sim"};
    std::vector<std::string> faults;
    std::string led_map_file;
    app.add_option("--device", options.device, "Serve this serial device instead of a pseudo-terminal");
    app.add_option("--baud", options.baud,
                   "Line speed; also paces what the box sends and what it takes in at 10 bits a byte (0: "
                   "unpaced)")
        ->check(tools::whole_number_from(0, std::numeric_limits<int>::max()));
    app.add_option("--reset-after", options.reset_after_seconds,
                   "Reset once, this many seconds after the start")
        ->check(tools::seconds_from(0, k_max_reset_after_seconds));
    app.add_option("--record", options.record_dir,
                   "Write client.bin, block.bin and config-N.bin here as they arrive (each whole, by rename)")
        ->check(CLI::ExistingDirectory);
    app.add_option("--fault", faults, fault_help());
    app.add_option("--client-limit", options.client_limit,
                   "Refuse a client longer than this many bytes (default 2097140)")
        ->check(tools::whole_number_from(0, k_max_client_limit));
    app.add_option("--led-map", led_map_file, "Send this 256-byte LED map instead of the font table")
        ->check(CLI::ExistingFile);
    app.add_option("--led-map-delay", options.led_map_delay_ms,
                   "Milliseconds from the tenth LED map step's answer to the map (default 200; 0: with the "
                   "answer)")
        ->check(CLI::NonNegativeNumber);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        out << app.help();
        return 0;
    } catch (const CLI::ParseError& e) {
        err << "velmora-stb-sim: " << e.what() << "\nTry 'velmora-stb-sim --help'.\n";
        return k_exit_usage;
    }
    for (const std::string& fault : faults) {
        if (const std::optional<std::string> error = options.faults.add_named(fault)) {
            err << "velmora-stb-sim: " << *error << "\n";
            return k_exit_usage;
        }
    }
    if (!led_map_file.empty()) {
        std::ifstream in(led_map_file, std::ios::binary);
        const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        if (!in.is_open() || bytes.size() != k_led_map_size) {
            err << "velmora-stb-sim: " << led_map_file << ": an LED map file holds exactly 256 bytes\n";
            return k_exit_usage;
        }
        std::copy(bytes.begin(), bytes.end(), options.led_map.begin());
    }
    return std::nullopt;
}

}  // namespace velmora::stb_sim
