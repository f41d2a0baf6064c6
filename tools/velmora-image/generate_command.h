// `velmora-image generate`: the window's Parse, side-file loads, power wave OK, Generate, in that
// order, on the same page models, so a script gets the bytes the window would write. The same steps
// without the image file (build_config_block) give the block that velmora-provision uploads, so a box
// configured on the line carries the bytes that `generate` writes into the image.
#pragma once

#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "config/config_block.h"
#include "pages/models/side_file.h"
#include "tools/velmora-image/commands.h"

namespace velmora::image_tool {

// Exit code of a failed check (nothing is written) under --strict; without it a failed check exits
// k_exit_refused. Scripts written for --strict keep their 3.
inline constexpr int k_exit_check_failed = 3;

// What the block is built from.
struct BlockInputs {
    std::string image;
    std::map<SideFileKind, std::string> side_files;  // loaded in the order fp, hw, fpkey, ir1, ir2, led
    std::optional<std::string> power_wave;
};

struct GenerateOptions : BlockInputs {
    std::string output;
    bool strict = false;
    bool sync = false;  // wait until the new image is on disk
};

// A page check that fails writes nothing (OUT untouched) and exits k_exit_refused; a power wave text
// that the dialog would refuse exits k_exit_usage.
int run_generate(const GenerateOptions& options, std::ostream& out, std::ostream& err);

struct BuiltBlock {
    // k_exit_ok; k_exit_refused when the image or a side file was refused, k_exit_usage when the power
    // wave text was (the block is then unusable).
    int status = k_exit_refused;
    ConfigBlock block;
    // A page's check failed: the pages stored up to that check only.
    bool check_failed = false;
};

// Parse, LoadPages, the side files, the power wave OK and StorePages, exactly as `generate` runs them,
// into a block instead of an image: every message a page shows goes to `err`, one a line, and the
// same inputs are refused. Nothing is written.
BuiltBlock build_config_block(const BlockInputs& inputs, std::ostream& err);

// The check of a --power-wave option's text, for the command lines' parsers: empty when the dialog's
// OK takes the text, else the message the dialog would show ("The 'Power Wave Data 2' value is not
// valid!"), so the option is refused as bad usage before anything is read.
std::string power_wave_option_error(const std::string& text);

// The command line with "--power-wave=" spelt "--power-wave" "": the empty text is one the dialog
// takes (its OK gives 63 zeros), but the parser would read the empty value as a missing one and take
// the next argument instead, or refuse the line. Arguments after "--" are left as they are. The
// returned pointers are argv's own, or point to storage that lives as long as the program.
std::vector<char*> with_empty_power_wave(int argc, char** argv);

}  // namespace velmora::image_tool
