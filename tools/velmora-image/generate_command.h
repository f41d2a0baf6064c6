// `velmora-image generate`: the window's Parse, side-file loads, power wave OK, Generate, in that
// order, on the same page models, so a script gets the bytes the window would write.
#pragma once

#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "pages/side_file.h"

namespace velmora::image_tool {

// Exit code when --strict saw a failed check and wrote nothing.
inline constexpr int k_exit_check_failed = 3;

struct GenerateOptions {
    std::string image;
    std::string output;
    std::map<SideFileKind, std::string> side_files;  // loaded in the order fp, hw, fpkey, ir1, ir2, led
    std::optional<std::string> power_wave;
    bool strict = false;
    bool sync = false;  // wait until the new image is on disk
};

int run_generate(const GenerateOptions& options, std::ostream& out, std::ostream& err);

// The command line with "--power-wave=" spelt "--power-wave" "": the empty text is one the dialog
// takes (its OK gives 63 zeros), but the parser would read the empty value as a missing one and take
// the next argument instead, or refuse the line. Arguments after "--" are left as they are. The
// returned pointers are argv's own, or point to storage that lives as long as the program.
std::vector<char*> with_empty_power_wave(int argc, char** argv);

}  // namespace velmora::image_tool
