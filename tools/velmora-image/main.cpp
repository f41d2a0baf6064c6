// velmora-image: the offline road without a window, for scripts and production lines.
#include <CLI/CLI.hpp>

#include <iostream>
#include <map>

#include "platform/signal_cleanup.h"
#include "tools/velmora-image/commands.h"
#include "tools/velmora-image/diff_command.h"
#include "tools/velmora-image/generate_command.h"
#include "tools/velmora-image/private_drive_root.h"

using namespace velmora::image_tool;

int main(int argc, char** argv) {
    CLI::App app{
        "Inspect, check and dump the configuration of a set-top box flash image, or make a sample one.",
        "velmora-image"};
    app.require_subcommand(1);
    app.set_help_all_flag("--help-all", "Show the help of every command");

    std::string image;
    bool json = false;
    std::string output;

    CLI::App* info = app.add_subcommand("info", "Show both record directories, every entry and its CRCs");
    info->add_option("IMAGE", image, "Flash image (.bin)")->required();
    info->add_flag("--json", json, "Print JSON");

    CLI::App* dump =
        app.add_subcommand("dump", "Print the configuration block and the key names of an image");
    dump->add_option("IMAGE", image, "Flash image (.bin)")->required();
    dump->add_flag("--json", json, "Print JSON (block hex, script status, key names, decoded fields)");

    CLI::App* verify =
        app.add_subcommand("verify", "Exit 0 when every record CRC of directory A matches its data");
    verify->add_option("IMAGE", image, "Flash image (.bin)")->required();

    GenerateOptions generate_options;
    std::map<velmora::SideFileKind, std::string> side_files;  // element references stay valid
    std::string power_wave;
    CLI::App* generate = app.add_subcommand(
        "generate",
        "Parse IMAGE, load the side files given (in the order fp, hw, fpkey, ir1, ir2, led), apply the power "
        "wave text, and write the new image with fresh CRCs to OUT. Every message a page would show goes to "
        "stderr. A page's failed check writes nothing: exit 1 (3 with --strict). Exit 1 when the image or a "
        "side file is refused (OUT untouched), 2 for a power wave text the dialog would refuse.");
    generate->add_option("IMAGE", generate_options.image, "Input flash image (.bin)")->required();
    generate->add_option("-o,--output", generate_options.output, "Output flash image")->required();
    for (const velmora::SideFileInfo& info : velmora::k_side_files) {
        generate->add_option(
            "--" + std::string(info.extension), side_files[info.kind],
            "Load this ." + std::string(info.extension) + " side file as the page's load button does");
    }
    generate
        ->add_option(
            "--power-wave", power_wave,
            "Power wave values as the dialog takes them: decimal numbers 0..65535 separated by commas")
        ->check(power_wave_option_error);
    generate->add_flag("--strict", generate_options.strict,
                       "Exit 3 instead of 1 when a page's check fails (nothing is written either way)");
    generate->add_flag(
        "--sync", generate_options.sync,
        "Return only once the new image is on disk (slower; it is always replaced atomically)");

    std::string other;
    CLI::App* diff = app.add_subcommand(
        "diff",
        "Compare the configuration of A and B field by field as the pages show them, one line per "
        "difference (\"FP Type: 1642 → 1635\", \"IR1 key 12 (OK): 0x1c → 0x1d\"; rows count from 0, codes "
        "in hex). A and B are flash images or side files (.fp .hw .fpkey .ir1 .ir2 .led); with a side "
        "file only what it holds is compared. Prints nothing when they are the same. Exit 0 the same, 1 "
        "they differ or a file was refused, 2 two side files with nothing in common.");
    diff->add_option("A", image, "Flash image or side file")->required();
    diff->add_option("B", other, "Flash image or side file")->required();
    diff->add_flag("--json", json, "Print one JSON object with the list of differences");

    CLI::App* sample = app.add_subcommand("sample", "Write a realistic sample flash image");
    sample->add_option("-o,--output", output, "Where to write it")->required();

    try {
        std::vector<char*> args = with_empty_power_wave(argc, argv);
        app.parse(static_cast<int>(args.size()), args.data());
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::cerr << "velmora-image: " << e.what() << "\nTry 'velmora-image --help'.\n";
        return k_exit_usage;
    }

    // Before anything is made, so that an interrupted run removes what it made.
    velmora::platform::SignalCleanup::install();
    PrivateDriveRoot drive_root;
    // Every command but sample parses an image and unpacks its key script in that folder; without it
    // the script error would blame a good image.
    if (!*sample && !drive_root.error().empty()) {
        std::cerr << "velmora-image: " << drive_root.error() << "\n";
        return k_exit_refused;
    }
    if (*info) {
        return run_info(image, json, std::cout, std::cerr);
    }
    if (*dump) {
        return run_dump(image, json, std::cout, std::cerr);
    }
    if (*generate) {
        for (const velmora::SideFileInfo& info : velmora::k_side_files) {
            if (const std::string& path = side_files[info.kind]; !path.empty()) {
                generate_options.side_files[info.kind] = path;
            }
        }
        if (generate->count("--power-wave") != 0) {
            generate_options.power_wave = power_wave;
        }
        return run_generate(generate_options, std::cout, std::cerr);
    }
    if (*diff) {
        return run_diff(image, other, json, std::cout, std::cerr);
    }
    if (*verify) {
        return run_verify(image, std::cout, std::cerr);
    }
    return run_sample(output, std::cout, std::cerr);
}
