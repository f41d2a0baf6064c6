// The key map page's load, store, number base and key files.
#include "pages/models/key_map_model.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "pages/models/side_file.h"
#include "tests/pages/key_map_fixture.h"

namespace velmora::testing {
namespace {

namespace fs = std::filesystem;
using Row = std::vector<std::string>;

const PageMessage k_script_error{MessageKind::warning, "Wrong binary file, script error!", ""};

std::string dec(std::uint8_t code) {
    return std::to_string(code);
}

TEST_F(KeyMapTest, LoadShowsNamesBesideTheBlocksCodesAndDeletesTheScript) {
    write_script(key_script(5, 60, 10));
    EXPECT_TRUE(model.load(key_block(9, 60, 60)).empty());

    const auto& fp = model.rows(KeyList::fp);
    ASSERT_EQ(fp.size(), 9u);
    EXPECT_EQ(fp[0], (Row{"KEY0", dec(fp_code(0))}));
    EXPECT_EQ(fp[4], (Row{"KEY4", dec(fp_code(4))}));
    EXPECT_EQ(fp[5], (Row{"", dec(fp_code(5))}));  // the script names fewer keys than there are rows

    const auto& ir = model.rows(KeyList::ir);
    ASSERT_EQ(ir.size(), 60u);
    EXPECT_EQ(ir[9], (Row{"1_K9", dec(ir1_code(9)), "2_K9", dec(ir2_code(9))}));
    EXPECT_EQ(ir[59], (Row{"1_K59", dec(ir1_code(59)), "", dec(ir2_code(59))}));

    EXPECT_EQ(model.user_code_text(Remote::ir1), "1234");
    EXPECT_EQ(model.user_code_text(Remote::ir2), "abcd");
    EXPECT_FALSE(fs::exists(platform::native_path(k_script_path)));
    EXPECT_FALSE(fs::exists(platform::native_path(k_script_directory)));
}

struct RowShape {
    std::uint16_t fp_count, ir1_count, ir2_count;
    std::size_t fp_rows, ir1_rows, ir2_rows;  // what the lists show
};

class LoadRowShape : public KeyMapTest, public ::testing::WithParamInterface<RowShape> {};

// The IR list has as many rows as the longer of its two tables; the shorter table's cells are empty.
// Counts past a table's size read the table only; names past the rows are dropped.
TEST_P(LoadRowShape, ListsFollowTheCountsUpToTheTables) {
    const RowShape shape = GetParam();
    write_script(key_script(16, 128, 128));
    EXPECT_TRUE(model.load(key_block(shape.fp_count, shape.ir1_count, shape.ir2_count)).empty());

    ASSERT_EQ(model.rows(KeyList::fp).size(), shape.fp_rows);
    for (std::size_t i = 0; i < shape.fp_rows; ++i) {
        EXPECT_EQ(model.rows(KeyList::fp)[i], (Row{"KEY" + std::to_string(i), dec(fp_code(i))}));
    }
    const auto& ir = model.rows(KeyList::ir);
    ASSERT_EQ(ir.size(), std::max(shape.ir1_rows, shape.ir2_rows));
    for (std::size_t i = 0; i < ir.size(); ++i) {
        const bool ir1 = i < shape.ir1_rows;
        const bool ir2 = i < shape.ir2_rows;
        EXPECT_EQ(ir[i], (Row{ir1 ? "1_K" + std::to_string(i) : "", ir1 ? dec(ir1_code(i)) : "",
                              ir2 ? "2_K" + std::to_string(i) : "", ir2 ? dec(ir2_code(i)) : ""}))
            << "row " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Counts, LoadRowShape,
                         ::testing::Values(RowShape{9, 60, 60, 9, 60, 60}, RowShape{0, 0, 0, 0, 0, 0},
                                           RowShape{16, 128, 128, 16, 128, 128}, RowShape{3, 2, 5, 3, 2, 5},
                                           RowShape{3, 5, 2, 3, 5, 2}, RowShape{0, 0, 7, 0, 0, 7},
                                           RowShape{17, 129, 65535, 16, 128, 128}));

struct BadScript {
    const char* name;
    const char* text;  // nullptr: no script at all
};

class LoadWithBadScript : public KeyMapTest, public ::testing::WithParamInterface<BadScript> {};

// A missing or broken script costs the names only: the rows and user codes are the new block's, so a
// later store never carries the previous image's keys into this one.
TEST_P(LoadWithBadScript, WarnsAndStillFillsRowsAndUserCodesFromTheBlock) {
    load_named(key_block(2, 2, 2));
    ConfigBlock next = key_block(4, 3, 1);
    next.set_key_code(k_fp_key_table, 0, 0x77);
    next.set_u16(k_ir1_user_code_offset, 0x0042);
    if (GetParam().text != nullptr) {
        write_script(GetParam().text);
    }

    EXPECT_EQ(model.load(next), PageMessages{k_script_error});

    EXPECT_TRUE(model.names().fp.empty());
    EXPECT_TRUE(model.names().ir1.empty());
    EXPECT_TRUE(model.names().ir2.empty());
    ASSERT_EQ(model.rows(KeyList::fp).size(), 4u);
    EXPECT_EQ(model.rows(KeyList::fp)[0], (Row{"", "119"}));
    ASSERT_EQ(model.rows(KeyList::ir).size(), 3u);
    EXPECT_EQ(model.rows(KeyList::ir)[0], (Row{"", dec(ir1_code(0)), "", dec(ir2_code(0))}));
    EXPECT_EQ(model.rows(KeyList::ir)[2], (Row{"", dec(ir1_code(2)), "", ""}));
    EXPECT_EQ(model.user_code_text(Remote::ir1), "42");
    EXPECT_EQ(model.user_code_text(Remote::ir2), "abcd");
    EXPECT_FALSE(fs::exists(platform::native_path(k_script_path)));
    EXPECT_FALSE(fs::exists(platform::native_path(k_script_directory)));

    // And what is stored is that block's.
    ConfigBlock stored = next;
    model.store(stored);
    EXPECT_EQ(stored.key_code(k_fp_key_table, 0), 0x77);
    EXPECT_EQ(stored.u16(k_ir1_user_code_offset), 0x0042);
}

INSTANTIATE_TEST_SUITE_P(Scripts, LoadWithBadScript,
                         ::testing::Values(BadScript{"Missing", nullptr},
                                           BadScript{"NoHeader", "[1_A][p][q][r];\n"},
                                           BadScript{"IncompleteRecord", "CFGHEADER=toolcfg\n[1_A][p]\n"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(KeyMapTest, LoadGoesOnWhenTheScriptDirectoryCannotBeRemoved) {
    write_script(key_script(1, 1, 1));
    const fs::path other = platform::native_path(k_script_directory) / "other";
    std::ofstream(other) << "x";

    EXPECT_TRUE(model.load(key_block(1, 1, 1)).empty());
    EXPECT_EQ(model.rows(KeyList::fp)[0][0], "KEY0");
    EXPECT_FALSE(fs::exists(platform::native_path(k_script_path)));
    EXPECT_TRUE(fs::exists(other));
}

struct NumberCase {
    int base_index;  // 0 decimal, 1 hexadecimal
    const char* text;
    std::uint8_t code;
};

class StoreCodeText : public KeyMapTest, public ::testing::WithParamInterface<NumberCase> {};

TEST_P(StoreCodeText, ReadsTheLenientFormsOfACodeThatFits) {
    load_named(key_block(1, 1, 1));
    model.select_number_base(GetParam().base_index);
    EXPECT_EQ(type_into(KeyList::fp, {0, KeyMapModel::k_fp_code_column}, GetParam().text), std::nullopt);
    EXPECT_EQ(type_into(KeyList::ir, {0, KeyMapModel::k_ir2_code_column}, GetParam().text), std::nullopt);

    ConfigBlock block = key_block(1, 1, 1);
    ASSERT_EQ(model.store(block), std::nullopt);
    EXPECT_EQ(block.key_code(k_fp_key_table, 0), GetParam().code);
    EXPECT_EQ(block.key_code(k_ir2_table, 0), GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(Texts, StoreCodeText,
                         ::testing::Values(NumberCase{0, "255", 255}, NumberCase{0, "+7", 7},
                                           NumberCase{0, " \t12abc", 12}, NumberCase{0, "-0", 0},
                                           NumberCase{0, "0x1f", 0}, NumberCase{1, "0x1f", 31},
                                           NumberCase{1, "0X1F", 31}, NumberCase{1, "1f", 31},
                                           NumberCase{1, "ff", 255}, NumberCase{1, "0xg", 0}));

struct RefusedCode {
    int base_index;
    const char* text;
};

class RefusedCodeText : public KeyMapTest, public ::testing::WithParamInterface<RefusedCode> {};

// A code that does not fit 0..255, or a text without digits, never reaches its cell: 300 used to be
// stored as 44 and "abc" as 0 without a word. The editor stays open with the text; the store writes
// the cell's code as it was.
TEST_P(RefusedCodeText, KeepsItsEditorOpenAndTheCellAsItWas) {
    load_named(key_block(1, 1, 1));
    model.select_number_base(GetParam().base_index);
    const std::string before = cell(KeyList::ir, 0, KeyMapModel::k_ir2_code_column);

    EXPECT_EQ(type_into(KeyList::ir, {0, KeyMapModel::k_ir2_code_column}, GetParam().text),
              (PageMessage{MessageKind::check_failed, "The 'IR2_Key' value is not valid!", ""}));
    EXPECT_EQ(model.editor_cell(KeyList::ir), (ListCell{0, KeyMapModel::k_ir2_code_column}));
    EXPECT_EQ(model.editor_text(KeyList::ir), GetParam().text);
    EXPECT_EQ(cell(KeyList::ir, 0, KeyMapModel::k_ir2_code_column), before);
    EXPECT_EQ(type_into(KeyList::fp, {0, KeyMapModel::k_fp_code_column}, GetParam().text),
              (PageMessage{MessageKind::check_failed, "The 'FP_Key' value is not valid!", ""}));

    ConfigBlock block = key_block(1, 1, 1);
    ASSERT_EQ(model.store(block), std::nullopt);
    EXPECT_EQ(block, key_block(1, 1, 1));

    // Escape drops the text; the cell never changed.
    model.cancel_editor(KeyList::ir);
    EXPECT_EQ(model.editor_cell(KeyList::ir), ListCell{});
    EXPECT_EQ(cell(KeyList::ir, 0, KeyMapModel::k_ir2_code_column), before);
}

INSTANTIATE_TEST_SUITE_P(Texts, RefusedCodeText,
                         ::testing::Values(RefusedCode{0, "300"}, RefusedCode{0, "256"}, RefusedCode{0, "-1"},
                                           RefusedCode{0, "abc"}, RefusedCode{0, ""}, RefusedCode{0, "  "},
                                           RefusedCode{0, "99999999999"}, RefusedCode{0, "-99999999999"},
                                           RefusedCode{1, "100"}, RefusedCode{1, "-0x1"},
                                           RefusedCode{1, "fffffffff"}, RefusedCode{1, "zz"}));

// An editor that closes on the text its cell holds takes it back, even an empty cell of a row that only
// the other table gave.
TEST_F(KeyMapTest, AnUntouchedEditorClosesOnAnEmptyCell) {
    load_named(key_block(0, 1, 3));
    ASSERT_EQ(cell(KeyList::ir, 2, KeyMapModel::k_ir1_code_column), "");
    EXPECT_EQ(type_into(KeyList::ir, {2, KeyMapModel::k_ir1_code_column}, ""), std::nullopt);
    EXPECT_EQ(model.editor_cell(KeyList::ir), ListCell{});
}

// Switching the base, or double-clicking in the other list, first commits the open editor; a refused
// text stops both, so it is never read in another base nor left behind.
TEST_F(KeyMapTest, ARefusedEditorTextHoldsTheBaseSwitchAndTheOtherList) {
    load_named(key_block(2, 2, 2));
    ASSERT_TRUE(model.open_editor_at(KeyList::fp, {1, 1}));
    EXPECT_EQ(model.on_list_double_click(KeyList::fp), std::nullopt);
    model.set_editor_text(KeyList::fp, "300");

    const PageMessage refused{MessageKind::check_failed, "The 'FP_Key' value is not valid!", ""};
    EXPECT_EQ(model.select_number_base(1), refused);
    EXPECT_EQ(model.number_base(), NumberBase::decimal);
    EXPECT_EQ(cell(KeyList::fp, 0, 1), "240");

    ASSERT_TRUE(model.open_editor_at(KeyList::ir, {0, 3}));
    EXPECT_EQ(model.on_list_double_click(KeyList::ir), refused);
    EXPECT_EQ(model.active_list(), KeyList::fp);
    EXPECT_EQ(model.editor_cell(KeyList::fp), (ListCell{1, 1}));
    EXPECT_EQ(model.editor_cell(KeyList::ir), ListCell{});

    model.set_editor_text(KeyList::fp, "30");
    EXPECT_EQ(model.select_number_base(1), std::nullopt);
    EXPECT_EQ(cell(KeyList::fp, 1, 1), "1e");
}

struct UserCodeCase {
    const char* text;
    std::optional<std::uint16_t> code;  // nothing: refused
};

class StoreUserCodeText : public KeyMapTest, public ::testing::WithParamInterface<UserCodeCase> {};

// User codes are hexadecimal whatever the number base shows, from 0 to ffff: a text that does not fit
// stops the store with the remote's message and leaves both user codes as they were.
TEST_P(StoreUserCodeText, ReadsHexadecimalAndRefusesWhatDoesNotFit) {
    load_named(key_block(1, 1, 1));
    model.set_user_code_text(Remote::ir1, GetParam().text);
    model.set_user_code_text(Remote::ir2, GetParam().text);

    ConfigBlock block = key_block(1, 1, 1);
    block.set_u16(k_ir1_user_code_offset, 0x5555);
    block.set_u16(k_ir2_user_code_offset, 0x6666);
    const auto message = model.store(block);
    if (GetParam().code) {
        ASSERT_EQ(message, std::nullopt);
        EXPECT_EQ(block.u16(k_ir1_user_code_offset), *GetParam().code);
        EXPECT_EQ(block.u16(k_ir2_user_code_offset), *GetParam().code);
    } else {
        EXPECT_EQ(message,
                  (PageMessage{MessageKind::check_failed, "The 'IR1 UserCode' value is not valid!", ""}));
        EXPECT_EQ(block.u16(k_ir1_user_code_offset), 0x5555);
        EXPECT_EQ(block.u16(k_ir2_user_code_offset), 0x6666);
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, StoreUserCodeText,
                         ::testing::Values(UserCodeCase{"1234", 0x1234}, UserCodeCase{"0xBEEF", 0xbeef},
                                           UserCodeCase{"  abcd", 0xabcd}, UserCodeCase{"ffff", 0xffff},
                                           UserCodeCase{"0", 0}, UserCodeCase{"7fg", 0x7f},
                                           UserCodeCase{"12345", std::nullopt},
                                           UserCodeCase{"-1", std::nullopt},
                                           UserCodeCase{"7fffffffff", std::nullopt},
                                           UserCodeCase{"zz", std::nullopt}, UserCodeCase{"", std::nullopt}));

// A key file's save with a user code that does not fit writes nothing and says why.
TEST_F(KeyMapTest, KeyFileWithARefusedUserCodeIsNotWritten) {
    load_named(key_block(9, 60, 60));
    model.set_user_code_text(Remote::ir2, "10000");
    const std::filesystem::path path = drive.outside() / "keys.ir2";
    EXPECT_EQ(save_side_file(model, SideFileKind::ir2, path.string()),
              (PageMessages{{MessageKind::check_failed, "The 'IR2 UserCode' value is not valid!", ""}}));
    EXPECT_FALSE(std::filesystem::exists(path));
    // The other remote's file does not hold that user code, and is written.
    EXPECT_EQ(save_side_file(model, SideFileKind::ir1, (drive.outside() / "keys.ir1").string()),
              (PageMessages{{MessageKind::success, "Finish to save file!", "Success"}}));
}

// A parsed block goes back byte for byte: codes, counts, user codes, key numbers, other bytes.
TEST_F(KeyMapTest, StoreAfterLoadGivesTheSameBlockInEitherBase) {
    for (int base_index : {0, 1}) {
        SCOPED_TRACE(base_index);
        const ConfigBlock parsed = key_block(9, 60, 60);
        model.select_number_base(base_index);
        load_named(parsed);
        EXPECT_EQ(cell(KeyList::fp, 0, 1), base_index == 0 ? "240" : "f0");
        ConfigBlock stored = parsed;
        EXPECT_EQ(model.store(stored), std::nullopt);
        EXPECT_EQ(stored, parsed);
    }
}

// The store writes the codes' low bytes and the counts; bits 8-31 and slots past the rows stay.
TEST_F(KeyMapTest, StoreWritesLowBytesAndCountsOnly) {
    load_named(key_block(2, 3, 5));
    type_into(KeyList::fp, {1, 1}, "200");
    ConfigBlock before = key_block(2, 3, 5);
    for (std::size_t i = 0; i < k_ir1_table.capacity; ++i) {
        before.set_key_slot(k_ir1_table, i, 0xA5A5A5A5);
    }
    ConfigBlock stored = before;
    model.store(stored);

    // The IR list has five rows: IR1 and IR2 both store five; IR1 rows 3 and 4 are empty cells.
    EXPECT_EQ(stored.u16(k_fp_key_table.count_offset), 2);
    EXPECT_EQ(stored.u16(k_ir1_table.count_offset), 5);
    EXPECT_EQ(stored.u16(k_ir2_table.count_offset), 5);
    EXPECT_EQ(stored.key_slot(k_fp_key_table, 1), (before.key_slot(k_fp_key_table, 1) & ~0xFFu) | 200);
    EXPECT_EQ(stored.key_slot(k_ir1_table, 2), 0xA5A5A502u);
    EXPECT_EQ(stored.key_slot(k_ir1_table, 3), 0xA5A5A500u);
    EXPECT_EQ(stored.key_slot(k_ir1_table, 5), 0xA5A5A5A5u);

    for (std::size_t offset = 0; offset < k_config_block_size; ++offset) {
        const bool code_byte = [&] {
            for (const KeyTable& table : {k_fp_key_table, k_ir1_table, k_ir2_table}) {
                if (offset >= table.slots_offset && offset < table.slots_offset + 5 * k_key_slot_size &&
                    (offset - table.slots_offset) % k_key_slot_size == 0) {
                    return true;
                }
            }
            return offset >= k_ir1_table.count_offset && offset < k_ir2_user_code_offset + 2;
        }();
        if (!code_byte) {
            EXPECT_EQ(stored.bytes[offset], before.bytes[offset]) << "offset " << offset;
        }
    }
}

TEST_F(KeyMapTest, EmptyIr2CellsStoreTheIrRowCountAndZeroCodes) {
    load_named(key_block(0, 60, 0));
    ConfigBlock stored = key_block(0, 60, 0);
    model.store(stored);
    EXPECT_EQ(stored.u16(k_ir2_table.count_offset), 60);
    for (std::size_t i = 0; i < 60; ++i) {
        EXPECT_EQ(stored.key_slot(k_ir2_table, i), key_block(0, 60, 0).key_slot(k_ir2_table, i) & ~0xFFu);
    }
    EXPECT_EQ(stored.key_code(k_ir2_table, 60), ir2_code(60));
}

struct BaseSwitch {
    const char* decimal;
    const char* hexadecimal;
    const char* decimal_again;
};

class NumberBaseSwitch : public KeyMapTest, public ::testing::WithParamInterface<BaseSwitch> {};

TEST_P(NumberBaseSwitch, RewritesEveryCodeCellAndNoUserCode) {
    load_named(key_block(1, 1, 1));
    type_into(KeyList::fp, {0, 1}, GetParam().decimal);
    type_into(KeyList::ir, {0, 1}, GetParam().decimal);
    type_into(KeyList::ir, {0, 3}, GetParam().decimal);

    model.select_number_base(1);
    EXPECT_EQ(cell(KeyList::fp, 0, 1), GetParam().hexadecimal);
    EXPECT_EQ(cell(KeyList::ir, 0, 1), GetParam().hexadecimal);
    EXPECT_EQ(cell(KeyList::ir, 0, 3), GetParam().hexadecimal);
    EXPECT_EQ(cell(KeyList::ir, 0, 2), "2_K0");
    EXPECT_EQ(model.user_code_text(Remote::ir1), "1234");

    model.select_number_base(0);
    EXPECT_EQ(cell(KeyList::fp, 0, 1), GetParam().decimal_again);
    EXPECT_EQ(cell(KeyList::ir, 0, 3), GetParam().decimal_again);
}

INSTANTIATE_TEST_SUITE_P(Cells, NumberBaseSwitch,
                         ::testing::Values(BaseSwitch{"255", "ff", "255"}, BaseSwitch{"16", "10", "16"},
                                           BaseSwitch{"+7", "7", "7"}, BaseSwitch{" 12abc", "c", "12"},
                                           BaseSwitch{"0", "0", "0"}));

TEST_F(KeyMapTest, NumberBaseUnchangedLeavesCellsAndNoSelectionMeansHexadecimal) {
    load_named(key_block(1, 0, 0));
    type_into(KeyList::fp, {0, 1}, " 44x");
    model.select_number_base(0);
    EXPECT_EQ(cell(KeyList::fp, 0, 1), " 44x");
    model.select_number_base(-1);
    EXPECT_EQ(model.number_base(), NumberBase::hexadecimal);
    EXPECT_EQ(cell(KeyList::fp, 0, 1), "2c");
}

TEST_F(KeyMapTest, NumberBaseSwitchCommitsTheActiveListsEditorFirst) {
    load_named(key_block(1, 0, 0));
    ASSERT_TRUE(model.open_editor_at(KeyList::fp, {0, 1}));
    EXPECT_EQ(model.on_list_double_click(KeyList::fp), std::nullopt);
    model.set_editor_text(KeyList::fp, "32");

    model.select_number_base(1);
    EXPECT_EQ(cell(KeyList::fp, 0, 1), "20");
    EXPECT_EQ(model.editor_cell(KeyList::fp), ListCell{});
}

struct KeyFileCase {
    SideFileKind kind;
    std::uint16_t count;
    const char* refusal;  // nullptr: taken
};

class ApplyKeyFile : public KeyMapTest, public ::testing::WithParamInterface<KeyFileCase> {};

TEST_P(ApplyKeyFile, CountAboveTheTableIsRefusedAndChangesNothing) {
    load_named(key_block(16, 128, 128));
    const KeyFileCase c = GetParam();
    ConfigBlock record;  // every code 0x42, user codes 0x77
    for (const KeyTable& table : {k_fp_key_table, k_ir1_table, k_ir2_table}) {
        for (std::size_t i = 0; i < table.capacity; ++i) {
            record.set_key_code(table, i, 0x42);
        }
        record.set_u16(table.count_offset, c.count);
    }
    record.set_u16(k_ir1_user_code_offset, 0x77);
    record.set_u16(k_ir2_user_code_offset, 0x77);
    const auto before = snapshot();

    const auto refusal = model.apply_side_record(c.kind, record);
    if (c.refusal != nullptr) {
        EXPECT_EQ(refusal, (PageMessage{MessageKind::refused, c.refusal, "error"}));
        EXPECT_EQ(snapshot(), before);
    } else {
        EXPECT_EQ(refusal, std::nullopt);
        const KeyList list = KeyMapModel::editor_list_for(c.kind);
        const int column = c.kind == SideFileKind::ir2 ? 3 : 1;
        EXPECT_EQ(cell(list, c.count - 1, column), "66");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Counts, ApplyKeyFile,
    ::testing::Values(
        KeyFileCase{SideFileKind::fpkey, 16, nullptr},
        KeyFileCase{SideFileKind::fpkey, 17, "The fp num out of range, please select the right file!"},
        KeyFileCase{SideFileKind::ir1, 128, nullptr},
        KeyFileCase{SideFileKind::ir1, 129, "The ir1 num out of range, please select the right file!"},
        KeyFileCase{SideFileKind::ir2, 128, nullptr},
        KeyFileCase{SideFileKind::ir2, 129, "The ir2 num out of range, please select the right file!"},
        KeyFileCase{SideFileKind::ir2, 65535, "The ir2 num out of range, please select the right file!"}));

// A file sets the code cells of its first rows only; names, other rows and the other table stay, and
// no row is added.
TEST_F(KeyMapTest, KeyFileSetsItsColumnForItsRowsOnly) {
    load_named(key_block(9, 60, 60));
    model.select_number_base(1);
    ConfigBlock record = key_block(5, 100, 100);
    for (std::size_t i = 0; i < k_fp_key_table.capacity; ++i) {
        record.set_key_code(k_fp_key_table, i, static_cast<std::uint8_t>(0x10 + i));
    }
    record.set_key_code(k_ir1_table, 0, 0xAB);
    record.set_u16(k_ir1_user_code_offset, 0x0F0F);

    ASSERT_EQ(model.apply_side_record(SideFileKind::fpkey, record), std::nullopt);
    ASSERT_EQ(model.apply_side_record(SideFileKind::ir1, record), std::nullopt);

    EXPECT_EQ(model.rows(KeyList::fp)[4], (Row{"KEY4", "14"}));
    EXPECT_EQ(model.rows(KeyList::fp)[5], (Row{"KEY5", "f5"}));  // beyond the file's count: as loaded
    EXPECT_EQ(model.rows(KeyList::fp).size(), 9u);
    EXPECT_EQ(model.rows(KeyList::ir)[0], (Row{"1_K0", "ab", "2_K0", "80"}));
    EXPECT_EQ(model.rows(KeyList::ir).size(), 60u);
    EXPECT_EQ(model.user_code_text(Remote::ir1), "f0f");
    EXPECT_EQ(model.user_code_text(Remote::ir2), "abcd");
}

struct RecordCase {
    SideFileKind kind;
    KeyTable table;
    std::size_t column;
    std::size_t user_code_offset;  // 0: none
};

class BuildKeyFile : public KeyMapTest, public ::testing::WithParamInterface<RecordCase> {};

// A saved key file holds its table's count, codes and user code; nothing of the other tables.
TEST_P(BuildKeyFile, HoldsOnlyItsTable) {
    const RecordCase c = GetParam();
    load_named(key_block(9, 60, 40));
    model.set_user_code_text(Remote::ir1, "1111");
    model.set_user_code_text(Remote::ir2, "2222");
    ConfigBlock record;
    ASSERT_EQ(model.build_side_record(c.kind, record), std::nullopt);

    const KeyList list = KeyMapModel::editor_list_for(c.kind);
    const std::size_t rows = model.rows(list).size();
    ConfigBlock expected;
    expected.set_u16(c.table.count_offset, static_cast<std::uint16_t>(rows));
    for (std::size_t i = 0; i < rows; ++i) {
        const std::string& code = cell(list, i, c.column);
        expected.set_key_code(c.table, i,
                              code.empty() ? 0 : read_key_code(code, NumberBase::decimal).value());
    }
    if (c.user_code_offset != 0) {
        expected.set_u16(c.user_code_offset, c.kind == SideFileKind::ir1 ? 0x1111 : 0x2222);
    }
    EXPECT_EQ(record, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, BuildKeyFile,
    ::testing::Values(RecordCase{SideFileKind::fpkey, k_fp_key_table, 1, 0},
                      RecordCase{SideFileKind::ir1, k_ir1_table, 1, k_ir1_user_code_offset},
                      RecordCase{SideFileKind::ir2, k_ir2_table, 3, k_ir2_user_code_offset}));

TEST_F(KeyMapTest, KeyFilesGoThroughTheDiskAndBack) {
    load_named(key_block(9, 60, 60));
    const std::string path = (drive.outside() / "keys.ir2").string();
    type_into(KeyList::ir, {7, 3}, "99");
    model.set_user_code_text(Remote::ir2, "beef");
    EXPECT_EQ(save_side_file(model, SideFileKind::ir2, path),
              (PageMessages{{MessageKind::success, "Finish to save file!", "Success"}}));

    KeyMapModel other;
    write_script(key_script(0, 0, 0));
    other.load(key_block(9, 60, 60));
    EXPECT_EQ(load_side_file(other, SideFileKind::ir2, path),
              (PageMessages{{MessageKind::success, "Load done!", "Success"}}));
    EXPECT_EQ(other.rows(KeyList::ir)[7][3], "99");
    EXPECT_EQ(other.user_code_text(Remote::ir2), "beef");

    // An out-of-range file says only why it was refused.
    ConfigBlock bad;
    bad.set_u16(k_fp_key_table.count_offset, 17);
    std::ofstream(drive.outside() / "bad.fpkey", std::ios::binary)
        .write(reinterpret_cast<const char*>(bad.bytes.data()), k_config_block_size);
    EXPECT_EQ(load_side_file(other, SideFileKind::fpkey, (drive.outside() / "bad.fpkey").string()),
              (PageMessages{{MessageKind::refused, "The fp num out of range, please select the right file!",
                             "error"}}));
}

TEST_F(KeyMapTest, ViewShowsTheListsAndFields) {
    load_named(key_block(1, 2, 0));
    model.select_number_base(1);
    const PageView view = model.view();
    EXPECT_EQ(view.page, "Key Map");
    ASSERT_EQ(view.tables.size(), 2u);
    EXPECT_EQ(view.tables[0].name, "IR");
    EXPECT_EQ(view.tables[0].columns,
              (std::vector<std::string>{"IR1_Key_Name", "IR1_Key", "IR2_Key_Name", "IR2_Key"}));
    EXPECT_EQ(view.tables[0].rows, model.rows(KeyList::ir));
    EXPECT_EQ(view.tables[1].name, "FP");
    EXPECT_EQ(view.tables[1].columns, (std::vector<std::string>{"FP_Key_Name", "FP_Key"}));
    EXPECT_EQ(view.tables[1].rows, (std::vector<Row>{{"KEY0", "f0"}}));
    ASSERT_EQ(view.fields.size(), 3u);
    EXPECT_EQ(view.fields[0].label, "Key Value in:");
    EXPECT_EQ(view.fields[0].value, "16进制");
    EXPECT_EQ(view.fields[1].label, "IR1 UserCode(in Hex):");
    EXPECT_EQ(view.fields[1].value, "1234");
    EXPECT_EQ(view.fields[2].label, "IR2 UserCode(in Hex):");
    EXPECT_EQ(view.fields[2].value, "abcd");
}

}  // namespace
}  // namespace velmora::testing
