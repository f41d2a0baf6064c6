// A realistic sample flash image for demos, tests and the fuzzers' seed corpus.
//
// 512 KiB of erased flash (0xFF) holding directory A at 0x200 with all four configuration records
// and one record of a kind the tool does not know, and directory B at 0x10000 with the
// gzip-compressed key script (names for 60 keys of each remote and 9 front-panel keys). Every
// record carries its correct CRC. The bytes are the same on every run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velmora::image_tool {

std::string sample_key_script();
std::vector<std::uint8_t> make_sample_image();
// The same image with another key script, e.g. one whose names test a report.
std::vector<std::uint8_t> make_sample_image(const std::string& key_script);

// gzip format, deterministic (no time stamp, no name).
std::vector<std::uint8_t> gzip_compress(const std::string& text);

}  // namespace velmora::image_tool
