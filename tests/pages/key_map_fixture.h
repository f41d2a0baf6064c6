// Test support for the key map page: a private drive root per test, a key script written where the
// page reads it, and blocks whose key tables are easy to recognise.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "config/config_block.h"
#include "pages/models/key_map_model.h"
#include "platform/drive_path.h"
#include "platform/file_system.h"
#include "script/key_script_extractor.h"
#include "tests/pages/page_message_print.h"
#include "tests/platform/temp_drive_root.h"

namespace velmora::testing {

inline constexpr std::uint16_t k_ir1_user_code = 0x1234;
inline constexpr std::uint16_t k_ir2_user_code = 0xabcd;

// Codes that tell the tables and their slots apart.
inline std::uint8_t fp_code(std::size_t i) {
    return static_cast<std::uint8_t>(0xF0 + i);
}
inline std::uint8_t ir1_code(std::size_t i) {
    return static_cast<std::uint8_t>(i);
}
inline std::uint8_t ir2_code(std::size_t i) {
    return static_cast<std::uint8_t>(0x80 + i);
}

// A block as a Parse leaves it: default key numbers in bits 16-31, the given counts, every slot of
// every table holding a code (also past the counts), and the user codes. All other bytes hold a
// pattern, so that a write outside the key section shows.
inline ConfigBlock key_block(std::uint16_t fp, std::uint16_t ir1, std::uint16_t ir2) {
    ConfigBlock block;
    for (std::size_t i = 0; i < block.bytes.size(); ++i) {
        block.bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
    }
    preset_default_key_tables(block);
    for (std::size_t i = 0; i < k_fp_key_table.capacity; ++i) {
        block.set_key_code(k_fp_key_table, i, fp_code(i));
    }
    for (std::size_t i = 0; i < k_ir1_table.capacity; ++i) {
        block.set_key_code(k_ir1_table, i, ir1_code(i));
        block.set_key_code(k_ir2_table, i, ir2_code(i));
    }
    block.set_u16(k_fp_key_table.count_offset, fp);
    block.set_u16(k_ir1_table.count_offset, ir1);
    block.set_u16(k_ir2_table.count_offset, ir2);
    block.set_u16(k_ir1_user_code_offset, k_ir1_user_code);
    block.set_u16(k_ir2_user_code_offset, k_ir2_user_code);
    return block;
}

// A tool script naming `fp` front panel keys KEY0.., `ir1` IR1 keys 1_K0.. and `ir2` IR2 keys 2_K0...
inline std::string key_script(std::size_t fp, std::size_t ir1, std::size_t ir2) {
    std::string text = "CFGHEADER=toolcfg\n";
    auto records = [&text](std::string_view marker, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            text += "[" + std::string(marker) + std::to_string(i) + "][p][q][r];\n";
        }
    };
    records("KEY", fp);
    records("1_K", ir1);
    records("2_K", ir2);
    return text;
}

class KeyMapTest : public ::testing::Test {
protected:
    // Puts `text` where the page reads the unpacked key script.
    void write_script(std::string_view text) {
        platform::create_directory(k_script_directory);
        std::ofstream out(platform::native_path(k_script_path), std::ios::binary);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
    }

    // A load with a script that names every key.
    void load_named(const ConfigBlock& block) {
        write_script(key_script(16, 128, 128));
        ASSERT_TRUE(model.load(block).empty());
    }

    const std::string& cell(KeyList list, std::size_t row, std::size_t column) const {
        return model.rows(list).at(row).at(column);
    }

    // The editor opened on a cell, typed into and committed, as the list does it; what the commit
    // said (nothing when the cell took the text).
    std::optional<PageMessage> type_into(KeyList list, ListCell cell, std::string text) {
        EXPECT_TRUE(model.open_editor_at(list, cell));
        model.set_editor_text(list, std::move(text));
        return model.commit_editor(list);
    }

    // Everything the page shows that an event might change.
    std::tuple<std::vector<std::vector<std::string>>, std::vector<std::vector<std::string>>, std::string,
               std::string>
    snapshot() const {
        return {model.rows(KeyList::fp), model.rows(KeyList::ir), model.user_code_text(Remote::ir1),
                model.user_code_text(Remote::ir2)};
    }

    TempDriveRoot drive;
    KeyMapModel model;
};

}  // namespace velmora::testing
