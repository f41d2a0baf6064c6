// The configuration block in a form a person or a script can read: hex of the whole block and its
// frame decoded (key tables with counts and user codes, power wave values, the page ranges in hex).
#pragma once

#include <ostream>
#include <string>

#include <nlohmann/json.hpp>

#include "config/config_block.h"
#include "script/key_script_parser.h"

namespace velmora::image_tool {

std::string to_hex(std::span<const std::uint8_t> bytes);

nlohmann::json block_fields_json(const ConfigBlock& block);
// The names as text (see report_text.h for names that are not UTF-8), and their exact bytes in hex,
// list for list and name for name.
nlohmann::json key_names_json(const KeyNames& names);
nlohmann::json key_names_hex_json(const KeyNames& names);

void print_block_fields(std::ostream& out, const ConfigBlock& block);
// Names are printed with their control bytes escaped (escape_for_terminal).
void print_key_names(std::ostream& out, int script_status, const KeyNames& names);

}  // namespace velmora::image_tool
