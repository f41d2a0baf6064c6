#include "tools/velmora-image/block_dump.h"

#include <fmt/format.h>

#include <vector>

#include "tools/velmora-image/report_text.h"

namespace velmora::image_tool {

namespace {

struct NamedTable {
    const char* name;
    const KeyTable& table;
    std::size_t flash_keys;        // slots that the flash image carries
    std::size_t user_code_offset;  // 0: the table has none
};

const std::array<NamedTable, 3> k_tables{{
    {"ir1", k_ir1_table, k_flash_ir_keys, k_ir1_user_code_offset},
    {"ir2", k_ir2_table, k_flash_ir_keys, k_ir2_user_code_offset},
    {"fp", k_fp_key_table, k_flash_fp_keys, 0},
}};

std::vector<std::uint16_t> power_wave(const ConfigBlock& block) {
    std::vector<std::uint16_t> values;
    for (std::size_t i = 0; i < k_power_wave_values; ++i) {
        values.push_back(block.u16(k_power_wave.offset + 2 * i));
    }
    return values;
}

// The three name lists in one JSON object, each name given by `item`.
template <typename Item>
nlohmann::json each_name(const KeyNames& names, Item item) {
    const auto list = [&](const std::vector<std::string>& texts) {
        nlohmann::json items = nlohmann::json::array();
        for (const std::string& text : texts) {
            items.push_back(item(text));
        }
        return items;
    };
    return {{"ir1", list(names.ir1)}, {"ir2", list(names.ir2)}, {"fp", list(names.fp)}};
}

}  // namespace

std::string to_hex(std::span<const std::uint8_t> bytes) {
    static constexpr char k_digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (std::uint8_t byte : bytes) {
        hex += k_digits[byte >> 4];
        hex += k_digits[byte & 0x0F];
    }
    return hex;
}

nlohmann::json block_fields_json(const ConfigBlock& block) {
    nlohmann::json fields{
        {"fp_settings", to_hex(block.range(k_fp_settings))},
        {"led_map", to_hex(block.range(k_led_map))},
        {"led_font_count", block.u16(k_led_font_count_offset)},
        {"hw_options", to_hex(block.range(k_hw_options))},
        {"power_wave", power_wave(block)},
    };
    for (const NamedTable& t : k_tables) {
        nlohmann::json slots = nlohmann::json::array();
        const std::size_t shown = std::max<std::size_t>(
            t.flash_keys, std::min<std::size_t>(block.u16(t.table.count_offset), t.table.capacity));
        for (std::size_t i = 0; i < shown; ++i) {
            const std::uint32_t slot = block.key_slot(t.table, i);
            slots.push_back({{"code", slot & 0xFFu}, {"number", slot >> 16}});
        }
        nlohmann::json table{{"count", block.u16(t.table.count_offset)}, {"slots", slots}};
        if (t.user_code_offset != 0) {
            table["user_code"] = block.u16(t.user_code_offset);
        }
        fields[std::string(t.name) + "_keys"] = table;
    }
    return fields;
}

nlohmann::json key_names_json(const KeyNames& names) {
    return each_name(names, [](const std::string& name) { return json_text(name); });
}

nlohmann::json key_names_hex_json(const KeyNames& names) {
    return each_name(names, [](const std::string& name) {
        return nlohmann::json(to_hex({reinterpret_cast<const std::uint8_t*>(name.data()), name.size()}));
    });
}

void print_block_fields(std::ostream& out, const ConfigBlock& block) {
    out << "Front panel settings: " << to_hex(block.range(k_fp_settings)) << "\n";
    out << "LED map: " << to_hex(block.range(k_led_map)) << "\n";
    out << "LED font entries: " << block.u16(k_led_font_count_offset) << "\n";
    out << "Hardware options: " << to_hex(block.range(k_hw_options)) << "\n";
    out << "Power wave:";
    for (std::uint16_t value : power_wave(block)) {
        out << ' ' << value;
    }
    out << "\n";
    for (const NamedTable& t : k_tables) {
        out << fmt::format("{} keys: count {}", t.name, block.u16(t.table.count_offset));
        if (t.user_code_offset != 0) {
            out << fmt::format(", user code 0x{:04x}", block.u16(t.user_code_offset));
        }
        out << "\n ";
        for (std::size_t i = 0; i < t.flash_keys; ++i) {
            const std::uint32_t slot = block.key_slot(t.table, i);
            out << fmt::format(" {:02x}/{}", slot & 0xFFu, slot >> 16);
        }
        out << "\n";
    }
}

void print_key_names(std::ostream& out, int script_status, const KeyNames& names) {
    out << "Key script: " << (script_status == k_script_ok ? "read" : "not usable") << " (" << script_status
        << ")\n";
    const std::array<std::pair<const char*, const std::vector<std::string>*>, 3> lists{
        {{"ir1", &names.ir1}, {"ir2", &names.ir2}, {"fp", &names.fp}}};
    for (const auto& [label, list] : lists) {
        out << label << " names (" << list->size() << "):";
        for (const std::string& name : *list) {
            out << ' ' << escape_for_terminal(name);
        }
        out << "\n";
    }
}

}  // namespace velmora::image_tool
