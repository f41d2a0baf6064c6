// velmora-image: the offline road without a window, for scripts and production lines.
#include <CLI/CLI.hpp>

#include <iostream>

#include "tools/velmora-image/commands.h"
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

    CLI::App* sample = app.add_subcommand("sample", "Write a realistic sample flash image");
    sample->add_option("-o,--output", output, "Where to write it")->required();

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::cerr << "velmora-image: " << e.what() << "\nTry 'velmora-image --help'.\n";
        return k_exit_usage;
    }

    PrivateDriveRoot drive_root;
    if (*info) {
        return run_info(image, json, std::cout, std::cerr);
    }
    if (*dump) {
        return run_dump(image, json, std::cout, std::cerr);
    }
    if (*verify) {
        return run_verify(image, std::cout, std::cerr);
    }
    return run_sample(output, std::cout, std::cerr);
}
