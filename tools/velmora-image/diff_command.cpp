#include "tools/velmora-image/diff_command.h"

#include <fmt/format.h>

#include <array>
#include <cerrno>
#include <optional>
#include <sstream>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "tools/velmora-image/commands.h"
#include "tools/velmora-image/config_diff.h"
#include "tools/velmora-image/config_source.h"
#include "tools/velmora-image/report_text.h"

namespace velmora::image_tool {

namespace {

constexpr std::array<std::pair<ConfigPart, std::string_view>, 7> k_part_names{{
    {ConfigPart::fp_page, "front panel"},
    {ConfigPart::hw_page, "hardware"},
    {ConfigPart::ir1_keys, "IR1 keys"},
    {ConfigPart::ir2_keys, "IR2 keys"},
    {ConfigPart::fp_keys, "FP keys"},
    {ConfigPart::key_names, "key names"},
    {ConfigPart::led_map, "LED map"},
}};

std::string shown(const std::optional<std::string>& value) {
    if (!value) {
        return "(none)";
    }
    return value->empty() ? "\"\"" : escape_for_terminal(*value);
}

void print_text(std::ostream& out, const std::vector<Difference>& differences) {
    for (const Difference& d : differences) {
        out << escape_for_terminal(d.field);
        if (!d.key_name.empty()) {
            out << " (" << escape_for_terminal(d.key_name) << ")";
        }
        out << ": " << shown(d.a) << " → " << shown(d.b) << "\n";
    }
}

nlohmann::json json_value(const std::optional<std::string>& value) {
    return value ? json_text(*value) : nlohmann::json(nullptr);
}

// A side's kind is known once it loaded.
nlohmann::json json_side(const std::string& path, const ConfigSource& source, bool loaded = true) {
    return {{"path", json_text(path)}, {"kind", loaded ? nlohmann::json(source.kind()) : nlohmann::json()}};
}

nlohmann::json json_report_of(const std::string& a_path, const ConfigSource& a, const std::string& b_path,
                              const ConfigSource& b, ConfigParts parts,
                              const std::vector<Difference>& differences) {
    nlohmann::json compared = nlohmann::json::array();
    for (const auto& [part, name] : k_part_names) {
        if (has_part(parts, part)) {
            compared.push_back(name);
        }
    }
    nlohmann::json items = nlohmann::json::array();
    for (const Difference& d : differences) {
        nlohmann::json item{{"field", json_text(d.field)}, {"a", json_value(d.a)}, {"b", json_value(d.b)}};
        if (!d.key_name.empty()) {
            item["key_name"] = json_text(d.key_name);
        }
        items.push_back(std::move(item));
    }
    return {{"a", json_side(a_path, a)},
            {"b", json_side(b_path, b)},
            {"compared", compared},
            {"same", differences.empty()},
            {"differences", items}};
}

// A diff that compared nothing: the message on `err`, and with --json an object that says so on
// `out` ({"error": {"message", "side", "reasons"}, "a": {...}, "b": {...}}), so a script reading the
// JSON is never left with no output.
struct Refusal {
    std::string message;               // one line, without the program's name
    std::optional<char> side;          // 'a' or 'b' when one side was refused
    std::vector<std::string> reasons;  // what that side's loader said, line by line
};

int refuse(const Refusal& refusal, int status, bool json, const nlohmann::json& a, const nlohmann::json& b,
           std::ostream& out, std::ostream& err) {
    err << "velmora-image: " << refusal.message << "\n";
    for (const std::string& reason : refusal.reasons) {
        err << reason << "\n";
    }
    if (!json) {
        return status;
    }
    nlohmann::json reasons = nlohmann::json::array();
    for (const std::string& reason : refusal.reasons) {
        reasons.push_back(json_text(reason));
    }
    const nlohmann::json side =
        refusal.side ? nlohmann::json(std::string(1, *refusal.side)) : nlohmann::json();
    errno = 0;
    out << json_report(
        {{"error", {{"message", json_text(refusal.message)}, {"side", side}, {"reasons", reasons}}},
         {"a", a},
         {"b", b}});
    return finish_report(out, err, status);
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        start = end == std::string::npos ? text.size() : end + 1;
    }
    return lines;
}

// Loads one side ('a' or 'b'); why it was refused, when it was.
std::optional<Refusal> load_side(ConfigSource& source, const std::string& path, char side,
                                 std::ostream& err) {
    std::ostringstream reasons;
    if (source.load(path, reasons)) {
        err << reasons.str();  // the key map page's warning about a missing script
        return std::nullopt;
    }
    return Refusal{fmt::format("{} ({}) is refused, so nothing was compared", side == 'a' ? 'A' : 'B',
                               escape_for_terminal(path)),
                   side, lines_of(reasons.str())};
}

}  // namespace

int run_diff(const std::string& a_path, const std::string& b_path, bool json, std::ostream& out,
             std::ostream& err) {
    // One after the other: the image's key script is unpacked and taken by its own pages before the
    // next file is read.
    ConfigSource a;
    if (const auto refused = load_side(a, a_path, 'a', err)) {
        return refuse(*refused, k_exit_refused, json, json_side(a_path, a, false),
                      json_side(b_path, a, false), out, err);
    }
    ConfigSource b;
    if (const auto refused = load_side(b, b_path, 'b', err)) {
        return refuse(*refused, k_exit_refused, json, json_side(a_path, a), json_side(b_path, b, false), out,
                      err);
    }
    const ConfigParts parts = a.parts() & b.parts();
    if (parts == 0) {
        const Refusal refusal{
            fmt::format("{} ({}) and {} ({}) hold no page in common", escape_for_terminal(a_path), a.kind(),
                        escape_for_terminal(b_path), b.kind()),
            std::nullopt,
            {}};
        return refuse(refusal, k_exit_usage, json, json_side(a_path, a), json_side(b_path, b), out, err);
    }
    const std::vector<Difference> differences = compare_configs(a.pages(), b.pages(), parts);
    errno = 0;
    if (json) {
        out << json_report(json_report_of(a_path, a, b_path, b, parts, differences));
    } else {
        print_text(out, differences);
    }
    return finish_report(out, err, differences.empty() ? k_exit_ok : k_exit_differ);
}

}  // namespace velmora::image_tool
