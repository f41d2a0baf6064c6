// Drives the key map and LED map pages with arbitrary side-file records, cell texts, user codes and
// page events, and checks what every caller relies on: a key file is refused exactly when its count
// is above its table, and no store or saved record writes outside the page's own bytes (for the key
// map, only the low byte of each slot, the counts and the user codes; for the LED map, 32..287).
#include <fuzzer/FuzzedDataProvider.h>
#include <stdlib.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "pages/models/key_map_model.h"
#include "pages/models/led_map_model.h"
#include "platform/drive_path.h"
#include "platform/file_system.h"
#include "script/key_script_extractor.h"

namespace {

using velmora::ConfigBlock;
using velmora::KeyList;
using velmora::SideFileKind;

constexpr std::array<SideFileKind, 3> k_key_kinds{SideFileKind::fpkey, SideFileKind::ir1, SideFileKind::ir2};
constexpr std::array<velmora::KeyTable, 3> k_tables{velmora::k_fp_key_table, velmora::k_ir1_table,
                                                    velmora::k_ir2_table};
constexpr std::size_t k_max_text = 40;
constexpr std::size_t k_max_raw = 64;
constexpr std::size_t k_max_script = 2000;
constexpr std::array<std::size_t, 5> k_key_fields{
    velmora::k_fp_key_table.count_offset, velmora::k_ir1_table.count_offset,
    velmora::k_ir2_table.count_offset,    velmora::k_ir1_user_code_offset,
    velmora::k_ir2_user_code_offset,
};

void check(bool ok) {
    if (!ok) {
        __builtin_trap();
    }
}

// A block from a short run of raw bytes at any offset, then a few key counts and user codes, so that
// short inputs still reach the interesting fields at the end of the block.
ConfigBlock take_block(FuzzedDataProvider& in) {
    ConfigBlock block;
    const auto offset = in.ConsumeIntegralInRange<std::size_t>(0, velmora::k_config_block_size);
    const std::string bytes = in.ConsumeBytesAsString(in.ConsumeIntegralInRange<std::size_t>(0, k_max_raw));
    for (std::size_t i = 0; i < bytes.size() && offset + i < block.bytes.size(); ++i) {
        block.bytes[offset + i] = static_cast<std::uint8_t>(bytes[i]);
    }
    for (int pokes = in.ConsumeIntegralInRange(0, 3); pokes > 0; --pokes) {
        block.set_u16(in.PickValueInArray(k_key_fields), in.ConsumeIntegral<std::uint16_t>());
    }
    return block;
}

// The unpacked key script that the next load reads.
void write_script(const std::string& text) {
    velmora::platform::create_directory(velmora::k_script_directory);
    if (std::FILE* file = velmora::platform::open_file(velmora::k_script_path, "wb")) {
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
    }
}

bool is_low_slot_byte(const velmora::KeyTable& table, std::size_t offset) {
    return offset >= table.slots_offset &&
           offset < table.slots_offset + table.capacity * velmora::k_key_slot_size &&
           (offset - table.slots_offset) % velmora::k_key_slot_size == 0;
}

bool is_u16_at(std::size_t field, std::size_t offset) {
    return offset == field || offset == field + 1;
}

// The bytes a key map store may write.
bool key_store_may_write(std::size_t offset) {
    for (const auto& table : k_tables) {
        if (is_low_slot_byte(table, offset) || is_u16_at(table.count_offset, offset)) {
            return true;
        }
    }
    return is_u16_at(velmora::k_ir1_user_code_offset, offset) ||
           is_u16_at(velmora::k_ir2_user_code_offset, offset);
}

// The bytes one key file may hold.
bool key_record_may_hold(std::size_t kind_index, std::size_t offset) {
    const auto& table = k_tables[kind_index];
    if (is_low_slot_byte(table, offset) || is_u16_at(table.count_offset, offset)) {
        return true;
    }
    return (kind_index == 1 && is_u16_at(velmora::k_ir1_user_code_offset, offset)) ||
           (kind_index == 2 && is_u16_at(velmora::k_ir2_user_code_offset, offset));
}

bool in_led_map(std::size_t offset) {
    return offset >= velmora::k_led_map.offset && offset < velmora::k_led_map.end();
}

// Whether the user code text of a key file's remote reads (an FP key file has none). Code cells
// always read: the editor never lets a text that does not into a cell.
bool user_code_reads(const velmora::KeyMapModel& keys, std::size_t kind_index) {
    if (kind_index == 0) {
        return true;
    }
    const auto remote = kind_index == 1 ? velmora::Remote::ir1 : velmora::Remote::ir2;
    return velmora::read_user_code(keys.user_code_text(remote)).has_value();
}

void check_key_store(velmora::KeyMapModel& keys, const ConfigBlock& before) {
    ConfigBlock after = before;
    check(keys.store(after).has_value() == !(user_code_reads(keys, 1) && user_code_reads(keys, 2)));
    for (std::size_t offset = 0; offset < velmora::k_config_block_size; ++offset) {
        check(after.bytes[offset] == before.bytes[offset] || key_store_may_write(offset));
    }
    for (const auto& table : k_tables) {
        check(after.u16(table.count_offset) <= table.capacity);
    }
}

void check_led_store(velmora::LedMapModel& led, const ConfigBlock& before) {
    ConfigBlock after = before;
    check(!led.store(after).has_value());
    for (std::size_t offset = 0; offset < velmora::k_config_block_size; ++offset) {
        check(after.bytes[offset] == before.bytes[offset] || in_led_map(offset));
    }
}

KeyList take_list(FuzzedDataProvider& in) {
    return in.PickValueInArray({KeyList::none, KeyList::fp, KeyList::ir});
}

velmora::ListCell take_cell(FuzzedDataProvider& in) {
    return {in.ConsumeIntegralInRange<std::int32_t>(-2, 130), in.ConsumeIntegralInRange<std::int32_t>(-2, 5)};
}

}  // namespace

namespace {

std::filesystem::path g_scratch;

void remove_scratch() {
    std::error_code ignored;
    std::filesystem::remove_all(g_scratch, ignored);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The page reads and deletes "D:\tmp" on every load; give it a drive of its own.
    std::string root = (std::filesystem::temp_directory_path() / "velmora-fuzz-XXXXXX").string();
    if (::mkdtemp(root.data()) != nullptr) {
        g_scratch = root;
        velmora::platform::set_drive_root(g_scratch / "drives");
        std::atexit(remove_scratch);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    velmora::KeyMapModel keys;
    velmora::LedMapModel led;
    const ConfigBlock loaded = take_block(in);
    keys.load(loaded);
    led.load(loaded);

    while (in.remaining_bytes() > 0) {
        switch (in.ConsumeIntegralInRange(0, 11)) {
            case 0: {
                const std::size_t index = in.ConsumeIntegralInRange<std::size_t>(0, k_key_kinds.size() - 1);
                const ConfigBlock record = take_block(in);
                const bool too_many = record.u16(k_tables[index].count_offset) > k_tables[index].capacity;
                check(keys.apply_side_record(k_key_kinds[index], record).has_value() == too_many);
                break;
            }
            case 1:
                check(!led.apply_side_record(SideFileKind::led, take_block(in)).has_value());
                break;
            case 2: {
                const KeyList list = take_list(in);
                keys.open_editor_at(list, take_cell(in));
                keys.set_editor_text(list, in.ConsumeRandomLengthString(k_max_text));
                if (in.ConsumeBool()) {
                    keys.commit_editor(list);
                } else {
                    keys.cancel_editor(list);
                }
                break;
            }
            case 3:
                keys.set_user_code_text(in.ConsumeBool() ? velmora::Remote::ir1 : velmora::Remote::ir2,
                                        in.ConsumeRandomLengthString(k_max_text));
                break;
            case 4:
                keys.select_number_base(in.ConsumeIntegralInRange(-1, 2));
                break;
            case 5: {
                const KeyList list = take_list(in);
                keys.commit_editor(list);
                keys.open_editor_at(list, take_cell(in));
                keys.on_list_double_click(list);
                break;
            }
            case 6:
                if (in.ConsumeBool()) {
                    keys.press_get_key_button();
                } else {
                    keys.on_get_key_ended();
                }
                break;
            case 7:
                keys.SetCapturedKey(velmora::CapturedKey{in.ConsumeIntegral<std::uint16_t>(),
                                                         in.ConsumeIntegral<std::uint8_t>()});
                keys.on_key_captured();
                break;
            case 8: {
                const std::size_t index = in.ConsumeIntegralInRange<std::size_t>(0, k_key_kinds.size() - 1);
                ConfigBlock record;
                check(keys.build_side_record(k_key_kinds[index], record).has_value() ==
                      !user_code_reads(keys, index));
                for (std::size_t offset = 0; offset < velmora::k_config_block_size; ++offset) {
                    check(record.bytes[offset] == 0 || key_record_may_hold(index, offset));
                }
                ConfigBlock led_record;
                check(!led.build_side_record(SideFileKind::led, led_record).has_value());
                for (std::size_t offset = 0; offset < velmora::k_config_block_size; ++offset) {
                    check(led_record.bytes[offset] == 0 || in_led_map(offset));
                }
                break;
            }
            case 9:
                check_key_store(keys, take_block(in));
                check_led_store(led, take_block(in));
                break;
            case 10:
                if (in.ConsumeBool()) {
                    led.press_get_led_map_button();
                }
                led.press_pick_button(in.ConsumeIntegral<std::uint8_t>());
                if (const auto item = led.take_pick()) {
                    check(*item <= velmora::LedMapModel::k_pick_last);
                }
                break;
            case 11: {
                if (in.ConsumeBool()) {
                    write_script("CFGHEADER=toolcfg\n" + in.ConsumeRandomLengthString(k_max_script));
                }
                const ConfigBlock block = take_block(in);
                keys.load(block);
                led.load(block);
                break;
            }
        }
        // The lists never outgrow the tables behind them.
        check(keys.rows(KeyList::fp).size() <= velmora::k_fp_key_table.capacity);
        check(keys.rows(KeyList::ir).size() <= velmora::k_ir1_table.capacity);
        // No code cell ever holds a text that does not read as a code in the base shown (an empty one
        // is a row the other remote's table did not give).
        for (const KeyList list : {KeyList::fp, KeyList::ir}) {
            for (const auto& row : keys.rows(list)) {
                for (std::size_t column = 0; column < row.size(); ++column) {
                    check(!velmora::KeyMapModel::is_editable_column(list, static_cast<int>(column)) ||
                          row[column].empty() ||
                          velmora::read_key_code(row[column], keys.number_base()).has_value());
                }
            }
        }
    }
    keys.view();
    led.view();
    check_key_store(keys, loaded);
    check_led_store(led, loaded);
    return 0;
}
