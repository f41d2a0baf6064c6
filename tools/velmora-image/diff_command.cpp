#include "tools/velmora-image/diff_command.h"

#include <fmt/format.h>

#include <array>
#include <cerrno>
#include <string_view>
#include <utility>

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

nlohmann::json json_side(const std::string& path, const ConfigSource& source) {
    return {{"path", json_text(path)}, {"kind", source.kind()}};
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

}  // namespace

int run_diff(const std::string& a_path, const std::string& b_path, bool json, std::ostream& out,
             std::ostream& err) {
    // One after the other: the image's key script is unpacked and taken by its own pages before the
    // next file is read.
    ConfigSource a;
    if (!a.load(a_path, err)) {
        return k_exit_refused;
    }
    ConfigSource b;
    if (!b.load(b_path, err)) {
        return k_exit_refused;
    }
    const ConfigParts parts = a.parts() & b.parts();
    if (parts == 0) {
        err << fmt::format("velmora-image: {} ({}) and {} ({}) hold no page in common\n",
                           escape_for_terminal(a_path), a.kind(), escape_for_terminal(b_path), b.kind());
        return k_exit_usage;
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
