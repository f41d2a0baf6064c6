#include "script/key_script_parser.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <optional>

#include "platform/file_system.h"
#include "script/key_script_line_reader.h"

namespace velmora {

namespace {

// The header line "CFGHEADER=toolcfg" marks a tool script; only the beginning of the line is tested.
constexpr std::string_view k_header_start = "CFGHEADER";
constexpr std::string_view k_header_value = "toolcfg";
constexpr char k_header_separator = '=';

constexpr std::string_view k_comment = "##";
constexpr char k_field_end = ']';
constexpr std::string_view k_line_end = ";";
// A record is its name and three more fields, none of which the page uses.
constexpr int k_fields_after_name = 3;
// A record's first field begins with "[", dropped from its name.
constexpr std::size_t k_first_record_opener = 1;
// A further record follows its predecessor's last "]" after one separator character and its "[".
constexpr std::size_t k_further_record_opener = 2;

struct RecordPrefix {
    std::string_view text;
    std::vector<std::string> KeyNames::*list;
    std::size_t capacity;
};

// Tried in this order; the "##" forms are record lines too, not comments.
constexpr std::array<RecordPrefix, 6> k_record_prefixes{{
    {"##[1_", &KeyNames::ir1, k_ir1_name_capacity},
    {"[1_", &KeyNames::ir1, k_ir1_name_capacity},
    {"##[2_", &KeyNames::ir2, k_ir2_name_capacity},
    {"[2_", &KeyNames::ir2, k_ir2_name_capacity},
    {"##[KEY", &KeyNames::fp, k_fp_name_capacity},
    {"[KEY", &KeyNames::fp, k_fp_name_capacity},
}};

bool is_tool_header(std::string_view line) {
    if (!line.starts_with(k_header_start)) {
        return false;
    }
    const std::size_t separator = line.find(k_header_separator);
    if (separator == std::string_view::npos) {
        return false;
    }
    const std::size_t value_start = line.find_first_not_of(k_header_separator, separator);
    if (value_start == std::string_view::npos) {
        return false;
    }
    std::string_view value = line.substr(value_start);
    return value.substr(0, value.find(k_header_separator)) == k_header_value;
}

bool find_tool_header(KeyScriptLineReader& lines) {
    std::string_view line;
    while (lines.next(line)) {
        // Once one header matched, the rest of the pass cannot change the answer.
        if (!line.empty() && is_tool_header(line)) {
            return true;
        }
    }
    return false;
}

// The next field of a record line: runs of "]" are one cut and empty fields do not exist.
std::optional<std::string_view> next_field(std::string_view& rest) {
    const std::size_t start = rest.find_first_not_of(k_field_end);
    if (start == std::string_view::npos) {
        rest = {};
        return std::nullopt;
    }
    rest.remove_prefix(start);
    const std::size_t end = std::min(rest.find(k_field_end), rest.size());
    const std::string_view field = rest.substr(0, end);
    rest.remove_prefix(end);
    return field;
}

const RecordPrefix* record_prefix_of(std::string_view line) {
    for (const RecordPrefix& prefix : k_record_prefixes) {
        if (line.starts_with(prefix.text)) {
            return &prefix;
        }
    }
    return nullptr;
}

// Stores the names of one record line; false when one of its records is incomplete.
bool read_record_line(std::string_view line, const RecordPrefix& prefix, KeyNames& names) {
    std::vector<std::string>& list = names.*prefix.list;
    std::string_view rest = line;
    if (rest.starts_with(k_comment)) {
        rest.remove_prefix(k_comment.size());
    }
    std::optional<std::string_view> opener = next_field(rest);
    if (!opener) {
        return true;
    }
    std::string_view name = opener->substr(k_first_record_opener);
    for (;;) {
        // The test covers the whole opening field, so that a trailing " ## comment" ends the line
        // instead of reading as a record named "# comment".
        if (opener->find(k_comment) != std::string_view::npos) {
            return true;
        }
        // Names past the page's table are dropped; their records are still checked.
        if (list.size() < prefix.capacity) {
            list.emplace_back(name.substr(0, k_key_name_max));
        }
        for (int field = 0; field < k_fields_after_name; ++field) {
            if (!next_field(rest)) {
                return false;
            }
        }
        opener = next_field(rest);
        if (!opener || *opener == k_line_end || *opener == k_comment) {
            return true;
        }
        name = opener->size() > k_further_record_opener ? opener->substr(k_further_record_opener)
                                                        : std::string_view{};
    }
}

int read_key_names(KeyScriptLineReader& lines, KeyNames& names) {
    std::string_view line;
    while (lines.next(line)) {
        if (line.empty()) {
            continue;
        }
        const RecordPrefix* prefix = record_prefix_of(line);
        if (prefix != nullptr && !read_record_line(line, *prefix, names)) {
            return k_script_invalid;
        }
    }
    return k_script_ok;
}

void clear(KeyNames& names) {
    names.ir1.clear();
    names.ir2.clear();
    names.fp.clear();
}

int finish(int result, KeyNames& names) {
    // Names stored before a failure are void; the caller must not see half a script.
    if (result != k_script_ok) {
        clear(names);
    }
    return result;
}

using ScriptFile = platform::FilePtr;

}  // namespace

int parse_key_script(std::string_view text, KeyNames& names) {
    clear(names);
    KeyScriptLineReader header_pass(text);
    if (!find_tool_header(header_pass)) {
        return finish(k_script_invalid, names);
    }
    KeyScriptLineReader record_pass(text);
    return finish(read_key_names(record_pass, names), names);
}

int LoadKeyScript(std::string_view path, KeyNames& names) {
    clear(names);
    // Each pass opens the file afresh and closes it at its end, on every path.
    ScriptFile header_file(platform::open_file(path, "r"));
    if (!header_file) {
        return finish(k_script_open_failed, names);
    }
    KeyScriptLineReader header_pass(header_file.get());
    const bool is_tool_script = find_tool_header(header_pass);
    header_file.reset();
    // A file that opens but cannot be read (a directory, an I/O error) is no more usable than a missing one.
    if (header_pass.read_failed()) {
        return finish(k_script_open_failed, names);
    }
    if (!is_tool_script) {
        return finish(k_script_invalid, names);
    }

    ScriptFile record_file(platform::open_file(path, "r"));
    if (!record_file) {
        return finish(k_script_open_failed, names);
    }
    KeyScriptLineReader record_pass(record_file.get());
    const int result = read_key_names(record_pass, names);
    if (record_pass.read_failed()) {
        return finish(k_script_open_failed, names);
    }
    return finish(result, names);
}

}  // namespace velmora
