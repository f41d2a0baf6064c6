#include "tools/velmora-provision/provision_options.h"

#include <CLI/CLI.hpp>
#include <limits>
#include <map>

#include "tools/cli_checks.h"

namespace velmora::provision {

int parse(int argc, char** argv, ProvisionOptions& options, std::ostream& out, std::ostream& err) {
    CLI::App app{
        "Configure set-top boxes on a production line, box after box, on several serial ports at once. Per "
        "port: tell the operator to reset the box, wait for its sync byte, download the client, handshake "
        "and upload the configuration block built from IMAGE and the side files exactly as `velmora-image "
        "generate` builds it; with --send-config also send the configuration record. Exit 0 when every box "
        "succeeded; 1 when one failed or was interrupted, the log or the progress output could not be "
        "written, or no box was done and a port never opened; 2 for bad usage or refused inputs.",
        "velmora-provision"};
    app.add_option("--port", options.ports,
                   "Serial line of a box (repeatable: one box at a time on each): a device (a name that is no "
                   "path is looked for under /dev/), or tcp://HOST:PORT (raw) or rfc2217://HOST:PORT (Telnet "
                   "COM-PORT option) on the network")
        ->required();
    app.add_option("--image", options.inputs.image, "Flash image whose configuration the boxes get")
        ->required();
    std::map<SideFileKind, std::string> side_files;  // element references stay valid
    for (const SideFileInfo& info : k_side_files) {
        app.add_option(
            "--" + std::string(info.extension), side_files[info.kind],
            "Load this ." + std::string(info.extension) + " side file as the page's load button does");
    }
    std::string power_wave;
    app.add_option("--power-wave", power_wave,
                   "Power wave values as the dialog takes them: decimal numbers 0..65535 separated by commas")
        ->check(image_tool::power_wave_option_error);
    app.add_option("--client", options.client,
                   "Client file to download (default: velmora.bin beside the program)");
    app.add_option("--baud", options.baud, "Line speed")
        ->capture_default_str()
        ->check(tools::whole_number_from(1, std::numeric_limits<int>::max()));
    app.add_flag("--send-config", options.send_config,
                 "After the upload, also send the configuration record and wait for the box's answer");
    app.add_flag("--repeat", options.repeat,
                 "After a box, wait for the next reset on the same port, until Ctrl-C; reopen a port that "
                 "comes back");
    app.add_option("--log", options.log, "Append one JSON line per box and a summary line to this file");
    std::string on_timeout = "cancel";
    app.add_option(
           "--on-block-timeout", on_timeout,
           "Answer to \"Connection error! retry or not?\" when the box does not acknowledge the block")
        ->capture_default_str()
        ->check(CLI::IsMember({"retry", "cancel"}));
    app.add_flag("--json", options.json, "Print one JSON object per event on standard output");

    try {
        std::vector<char*> args = image_tool::with_empty_power_wave(argc, argv);
        app.parse(static_cast<int>(args.size()), args.data());
    } catch (const CLI::CallForHelp&) {
        out << app.help();
        return k_exit_all_done;
    } catch (const CLI::ParseError& e) {
        err << "velmora-provision: " << e.what() << "\nTry 'velmora-provision --help'.\n";
        return k_exit_usage;
    }
    for (const SideFileInfo& info : k_side_files) {
        if (const std::string& path = side_files[info.kind]; !path.empty()) {
            options.inputs.side_files[info.kind] = path;
        }
    }
    if (app.count("--power-wave") != 0) {
        options.inputs.power_wave = power_wave;
    }
    options.on_block_timeout = on_timeout == "retry" ? LinkBoxAnswer::retry : LinkBoxAnswer::cancel;
    return k_parsed;
}

}  // namespace velmora::provision
