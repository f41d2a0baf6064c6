// Reads the key names out of the box's tool configuration script.
//
// The script is a text file whose lines such as "[1_POWER][..][..][..];" name the keys of the IR1
// remote ("[1_"), the IR2 remote ("[2_") and the front panel ("[KEY"). Only a file with a line
// "CFGHEADER=toolcfg" counts as a tool script.
//
// What callers may rely on:
// - LoadKeyScript reads the file twice, line by line, and gives exactly the result that
//   parse_key_script gives for the file's bytes; parse_key_script never touches the disk.
// - On k_script_ok the three lists hold the names in script order, each list at most its capacity
//   (names beyond it are dropped, their records still checked), each name at most k_key_name_max
//   characters. On any other result all three lists are empty.
// - Neither function throws for bad input nor changes or deletes the file.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// Characters kept of a key name; the page's slots hold 19 characters and a terminator.
inline constexpr std::size_t k_key_name_max = 19;

// The configuration block's key tables: 128 IR1 keys, 128 IR2 keys, 16 front-panel keys.
inline constexpr std::size_t k_ir1_name_capacity = 128;
inline constexpr std::size_t k_ir2_name_capacity = 128;
inline constexpr std::size_t k_fp_name_capacity = 16;

// The page tells apart only zero and non-zero; the two failures are kept apart for the command line.
enum : int { k_script_ok = 0, k_script_open_failed = -6, k_script_invalid = -7 };

struct KeyNames {
    std::vector<std::string> ir1;
    std::vector<std::string> ir2;
    std::vector<std::string> fp;
};

// Parses the script at `path` (a native path or a drive path such as "D:\tmp\script-kv.cfg") into
// `names`. Returns k_script_ok, k_script_open_failed when the file cannot be opened for reading, or
// k_script_invalid when it is not a tool script or one of its records is incomplete.
int LoadKeyScript(std::string_view path, KeyNames& names);

// The same rules over a script held in memory; returns k_script_ok or k_script_invalid.
int parse_key_script(std::string_view text, KeyNames& names);

}  // namespace velmora
