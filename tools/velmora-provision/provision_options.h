// velmora-provision's command line.
//
// Callers may rely on: parse() returns k_parsed with every field set, or the exit status to end with
// (0 after --help, 2 for bad usage) having printed why.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "link/agent/link_owner.h"
#include "tools/velmora-image/generate_command.h"

namespace velmora::provision {

inline constexpr int k_exit_all_done = 0;
inline constexpr int k_exit_box_failed = 1;
inline constexpr int k_exit_usage = 2;
// parse(): go on.
inline constexpr int k_parsed = -1;

struct ProvisionOptions {
    std::vector<std::string> ports;
    image_tool::BlockInputs inputs;
    std::string client;  // empty: velmora.bin beside the program
    int baud = 115200;
    bool send_config = false;
    bool repeat = false;
    std::string log;
    LinkBoxAnswer on_block_timeout = LinkBoxAnswer::cancel;
    bool json = false;
};

int parse(int argc, char** argv, ProvisionOptions& options, std::ostream& out, std::ostream& err);

}  // namespace velmora::provision
