#include "tools/velmora-image/config_diff.h"

#include <fmt/format.h>

#include <algorithm>
#include <iterator>
#include <string_view>

#include "pages/models/power_wave_model.h"

namespace velmora::image_tool {

namespace {

constexpr std::string_view k_power_wave_label = "Power Wave Data:";
constexpr std::string_view k_power_wave_field = "Power Wave Data";

using Differences = std::vector<Difference>;
using Rows = std::vector<std::vector<std::string>>;

std::string field_name(std::string_view label) {
    if (label.ends_with(':')) {
        label.remove_suffix(1);
    }
    return std::string(label);
}

std::string hex_byte(std::uint8_t value) {
    return fmt::format("0x{:02x}", value);
}

void add_if_differs(Differences& out, std::string field, const std::optional<std::string>& a,
                    const std::optional<std::string>& b, std::string key_name = {}) {
    if (a != b) {
        out.push_back({std::move(field), std::move(key_name), a, b});
    }
}

// Both views are of the same page, so their fields come in the same order under the same labels.
void compare_fields(Differences& out, const PageView& a, const PageView& b) {
    const std::size_t count = std::min(a.fields.size(), b.fields.size());
    for (std::size_t i = 0; i < count; ++i) {
        if (a.fields[i].label == k_power_wave_label) {
            continue;  // place by place below: one long line of 63 numbers tells nobody which changed
        }
        add_if_differs(out, field_name(a.fields[i].label), a.fields[i].value, b.fields[i].value);
    }
}

void compare_power_waves(Differences& out, const HwPageModel& a, const HwPageModel& b) {
    const auto values_a = power_wave_tokens(a.power_wave_text());
    const auto values_b = power_wave_tokens(b.power_wave_text());
    auto value_at = [](const std::vector<std::string_view>& values, std::size_t i) {
        return i < values.size() ? std::optional<std::string>(values[i]) : std::nullopt;
    };
    for (std::size_t i = 0; i < std::max(values_a.size(), values_b.size()); ++i) {
        add_if_differs(out, fmt::format("{} {}", k_power_wave_field, i), value_at(values_a, i),
                       value_at(values_b, i));
    }
}

void compare_user_code(Differences& out, std::string_view label, const KeyMapModel& a, const KeyMapModel& b,
                       Remote remote) {
    add_if_differs(out, field_name(label), a.user_code_text(remote), b.user_code_text(remote));
}

// One table's column pair of a key list. A row whose code cell is empty is not in that table: the
// IR list holds as many rows as the longer of its two tables.
struct KeyColumns {
    std::string_view table;
    KeyList list;
    int name_column;
    int code_column;
};

std::optional<std::string> cell_at(const Rows& rows, std::size_t row, int column) {
    if (row >= rows.size() || rows[row][static_cast<std::size_t>(column)].empty()) {
        return std::nullopt;
    }
    return rows[row][static_cast<std::size_t>(column)];
}

void compare_keys(Differences& out, const KeyColumns& columns, const KeyMapModel& a, const KeyMapModel& b,
                  bool names) {
    const Rows& rows_a = a.rows(columns.list);
    const Rows& rows_b = b.rows(columns.list);
    auto code_at = [&](const KeyMapModel& model, const Rows& rows, std::size_t row) {
        const auto cell = cell_at(rows, row, columns.code_column);
        if (!cell) {
            return std::optional<std::string>();
        }
        // Cells filled from a block or a file always read; a text that did not would be shown as it is.
        const auto code = read_key_code(*cell, model.number_base());
        return std::optional<std::string>(code ? hex_byte(*code) : *cell);
    };
    auto name_at = [&](const Rows& rows, std::size_t row) {
        return row < rows.size() ? rows[row][static_cast<std::size_t>(columns.name_column)] : std::string();
    };
    for (std::size_t row = 0; row < std::max(rows_a.size(), rows_b.size()); ++row) {
        const auto code_a = code_at(a, rows_a, row);
        const auto code_b = code_at(b, rows_b, row);
        const std::string field = fmt::format("{} key {}", columns.table, row);
        const std::string name_a = name_at(rows_a, row);
        const std::string name_b = name_at(rows_b, row);
        add_if_differs(out, field, code_a, code_b, !name_a.empty() ? name_a : name_b);
        if (names && code_a && code_b) {
            add_if_differs(out, field + " name", name_a, name_b);
        }
    }
}

void compare_led_maps(Differences& out, const LedMapModel& a, const LedMapModel& b) {
    const auto map_a = a.led_map();
    const auto map_b = b.led_map();
    for (std::size_t i = 0; i < map_a.size(); ++i) {
        add_if_differs(out, fmt::format("LED map byte {}", i), hex_byte(map_a[i]), hex_byte(map_b[i]));
    }
}

}  // namespace

std::vector<Difference> compare_configs(const PageSet& a, const PageSet& b, ConfigParts parts) {
    Differences out;
    if (has_part(parts, ConfigPart::fp_page)) {
        compare_fields(out, a.fp.view(), b.fp.view());
    }
    if (has_part(parts, ConfigPart::hw_page)) {
        compare_fields(out, a.hw.view(), b.hw.view());
        compare_power_waves(out, a.hw, b.hw);
    }
    if (has_part(parts, ConfigPart::ir1_keys)) {
        compare_user_code(out, KeyMapModel::k_ir1_user_code_label, a.key_map, b.key_map, Remote::ir1);
    }
    if (has_part(parts, ConfigPart::ir2_keys)) {
        compare_user_code(out, KeyMapModel::k_ir2_user_code_label, a.key_map, b.key_map, Remote::ir2);
    }
    const bool names = has_part(parts, ConfigPart::key_names);
    const KeyColumns tables[] = {
        {"IR1", KeyList::ir, KeyMapModel::k_ir1_name_column, KeyMapModel::k_ir1_code_column},
        {"IR2", KeyList::ir, KeyMapModel::k_ir2_name_column, KeyMapModel::k_ir2_code_column},
        {"FP", KeyList::fp, KeyMapModel::k_fp_name_column, KeyMapModel::k_fp_code_column},
    };
    const ConfigPart table_parts[] = {ConfigPart::ir1_keys, ConfigPart::ir2_keys, ConfigPart::fp_keys};
    for (std::size_t i = 0; i < std::size(tables); ++i) {
        if (has_part(parts, table_parts[i])) {
            compare_keys(out, tables[i], a.key_map, b.key_map, names);
        }
    }
    if (has_part(parts, ConfigPart::led_map)) {
        compare_led_maps(out, a.led_map, b.led_map);
    }
    return out;
}

}  // namespace velmora::image_tool
