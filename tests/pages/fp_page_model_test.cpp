#include "pages/models/fp_page_model.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "pages/models/side_file.h"
#include "tests/pages/test_blocks.h"
#include "tests/platform/temp_drive_root.h"

namespace velmora {
namespace {

using test::filled_block;
using test::Patch;
using test::patched;
using test::patterned_block;
using test::shown;

// A page with every control set and every position valid.
void set_valid_state(FpPageModel& page) {
    page.select_fp_type(0);
    page.scan_type.select(1);
    page.lbd_type.select(1);
    page.com_num.select(4);
    page.bit_order.select(2);
    page.clock_level.select(1);
    page.clock_pos = "5";
    page.data_level.select(0);
    page.data_pos = "63";
    page.scan_0_level.select(1);
    page.scan_0_pos = "0";
    page.lock_lamp_level.select(0);
    page.lock_lamp_pos = "33";
    page.power_lamp_level.select(1);
    page.power_lamp_pos = "1";
    page.colon_pos = "12";
}

// What a store of set_valid_state() writes: byte -> (bits the page owns there, their value).
const std::map<std::size_t, std::pair<std::uint8_t, std::uint8_t>> k_valid_state_bits{
    {0, {0xFF, 0x00}},  {1, {0xFF, 0x00}},  {2, {0xFF, 0x00}},  {3, {0xFF, 0x00}},
    {4, {0xFF, 0x71}},  // shadow, "MCU控制", marks of "1642"
    {5, {0x0F, 0x04}},  {6, {0xFF, 0x80}},  {8, {0xFD, 0x15}},  {9, {0xFD, 0xFC}},
    {10, {0xFD, 0x01}}, {20, {0xFD, 0x84}}, {21, {0xFD, 0x05}}, {22, {0xFC, 0x30}},
};

ConfigBlock with_bits(ConfigBlock block,
                      const std::map<std::size_t, std::pair<std::uint8_t, std::uint8_t>>& bits) {
    for (const auto& [offset, mask_value] : bits) {
        const auto [mask, value] = mask_value;
        block.bytes[offset] = static_cast<std::uint8_t>((block.bytes[offset] & ~mask) | (value & mask));
    }
    return block;
}

TEST(FpPageModel, StartsEmptyWithTheLabelsOfThePage) {
    FpPageModel page;
    const PageView view = page.view();
    EXPECT_EQ(view.page, "Front Panel");
    std::vector<std::string> labels;
    for (const auto& field : view.fields) {
        labels.push_back(field.label);
        EXPECT_EQ(field.value, "") << field.label;
    }
    const std::vector<std::string> expected{
        "FP Type:",       "Scan Type:",        "LBD Type:",       "Com Num:",
        "Status:",        "Clock Level:",      "Clock Pos:",      "Data Level:",
        "Data Pos:",      "Scan_0 Level:",     "Scan_0 Pos:",     "Lock Lamp Level:",
        "Lock Lamp Pos:", "Power Lamp Level:", "Power Lamp Pos:", "Colon Pos:",
    };
    EXPECT_EQ(labels, expected);
    EXPECT_EQ(page.current_fp_type(), k_no_selection);
    EXPECT_TRUE(page.scan_controls_shown());
    EXPECT_TRUE(page.lamp_keys_enabled());
    EXPECT_EQ(page.start_button_caption(), "Start Test Lamp Pos");
    EXPECT_EQ(page.lamp_test_running.load(), 0);
    EXPECT_EQ(page.lamp_key_request.load(), LampKey::none);
}

struct LoadCase {
    std::string name;
    Patch bytes;
    std::map<std::string, std::string> expected;
    bool scan_shown;
};

TEST(FpPageModel, LoadShowsTheFieldsOfTheBlock) {
    const std::vector<LoadCase> cases{
        {"any non-zero type with the 650 mark",
         {{0, 5}, {6, 0x09}},
         {{"FP Type:", "650D/650G"}, {"Status:", "反序"}},
         false},
        {"a code outside the 1642 column reads as the first item",
         {{6, 0x10}},
         {{"FP Type:", "1642"}, {"Status:", "正序"}},
         true},
        {"a type in the high byte only is not 1642",
         {{3, 0x01}, {6, 0x21}},
         {{"FP Type:", "1635"}, {"Status:", "反序右移一位"}},
         false},
        {"1642 shift codes", {{6, 0x81}}, {{"FP Type:", "1642"}, {"Status:", "反序左移一位"}}, true},
        {"com num beyond the list", {{5, 0x07}}, {{"Com Num:", ""}}, true},
        {"com num ignores the high nibble", {{5, 0xF3}}, {{"Com Num:", "3"}}, true},
        {"scan type beyond the list, LBD by bit 4",
         {{4, 0x0F}},
         {{"Scan Type:", ""}, {"LBD Type:", "IO控制"}},
         true},
        {"scan type and LBD type share byte 4",
         {{4, 0xF1}},
         {{"Scan Type:", "shadow"}, {"LBD Type:", "MCU控制"}},
         true},
        {"levels in bit 0 and positions in bits 2-7, bit 1 ignored",
         {{8, 0xFF}, {9, 0x02}, {10, 0x29}, {20, 0x1E}, {21, 0xFD}, {22, 0x1B}},
         {{"Clock Level:", "high"},
          {"Clock Pos:", "63"},
          {"Data Level:", "low"},
          {"Data Pos:", "0"},
          {"Scan_0 Level:", "high"},
          {"Scan_0 Pos:", "10"},
          {"Lock Lamp Level:", "low"},
          {"Lock Lamp Pos:", "7"},
          {"Power Lamp Level:", "high"},
          {"Power Lamp Pos:", "63"},
          {"Colon Pos:", "6"}},
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FpPageModel page;
        EXPECT_TRUE(page.load(patched(ConfigBlock{}, c.bytes)).empty());
        const auto fields = shown(page);
        for (const auto& [label, value] : c.expected) {
            EXPECT_EQ(fields.at(label), value) << label;
        }
        EXPECT_EQ(page.scan_controls_shown(), c.scan_shown);
    }
}

// The codes themselves are a table the page checks against its rule when it is compiled; what a test
// can add is that every type and item comes back from the block it stored.
TEST(FpPageModel, BitOrderRoundTripsForEveryTypeAndItem) {
    for (int type = 0; type < 3; ++type) {
        for (int item = 0; item < 6; ++item) {
            SCOPED_TRACE(::testing::Message() << "type " << type << " item " << item);
            FpPageModel page;
            set_valid_state(page);
            page.select_fp_type(type);
            page.bit_order.select(item);
            ConfigBlock block = patterned_block();
            ASSERT_EQ(page.store(block), std::nullopt);
            EXPECT_EQ(block.u32(0), type == 0 ? 0u : 1u);

            FpPageModel reread;
            reread.load(block);
            EXPECT_EQ(reread.current_fp_type(), type);
            EXPECT_EQ(reread.bit_order.selected(), item);
        }
    }
}

TEST(FpPageModel, NoStatusItemWritesZeroSoA650BlockReadsBackAs1635) {
    for (int type = 0; type < 3; ++type) {
        FpPageModel page;
        set_valid_state(page);
        page.select_fp_type(type);
        page.bit_order.select(k_no_selection);
        ConfigBlock block = filled_block(0xFF);
        ASSERT_EQ(page.store(block), std::nullopt);
        EXPECT_EQ(block.bytes[6], 0x00) << type;
        FpPageModel reread;
        reread.load(block);
        EXPECT_EQ(reread.current_fp_type(), type == 0 ? 0 : 1) << type;
    }
}

TEST(FpPageModel, StoreWithNoSelectionsFillsEachFieldThroughItsMask) {
    FpPageModel page;  // nothing selected at all
    page.clock_pos = page.data_pos = page.scan_0_pos = page.lock_lamp_pos = page.power_lamp_pos = "0";
    page.colon_pos = "0";
    ConfigBlock block;
    ASSERT_EQ(page.store(block), std::nullopt);
    EXPECT_EQ(block.u32(0), 1u);      // not "1642"
    EXPECT_EQ(block.bytes[4], 0x1F);  // scan type 15, LBD 1, no type marks
    EXPECT_EQ(block.bytes[5], 0x0F);  // com num 15
    EXPECT_EQ(block.bytes[6], 0x00);
    for (std::size_t offset : {8, 9, 10, 20, 21}) {
        EXPECT_EQ(block.bytes[offset], 0x01) << offset;  // a one-bit level becomes 1
    }
}

TEST(FpPageModel, NoFpTypeTakesTheCodesOf1635) {
    FpPageModel page;
    set_valid_state(page);
    page.select_fp_type(k_no_selection);
    page.bit_order.select(3);
    ConfigBlock block;
    ASSERT_EQ(page.store(block), std::nullopt);
    EXPECT_EQ(block.bytes[6], 0x20);
    FpPageModel reread;
    reread.load(block);
    EXPECT_EQ(reread.current_fp_type(), 1);
    EXPECT_EQ(reread.bit_order.selected(), 3);
}

TEST(FpPageModel, StoreWritesOnlyTheBitsOfThePage) {
    struct StateCase {
        std::string name;
        void (*adjust)(FpPageModel&);
        std::map<std::size_t, std::pair<std::uint8_t, std::uint8_t>> bits;
    };
    auto not_1642_bits = k_valid_state_bits;
    not_1642_bits[0] = {0xFF, 0x01};
    not_1642_bits[4] = {0xFF, 0x11};  // marks cleared
    not_1642_bits[6] = {0xFF, 0x29};
    const std::vector<StateCase> states{
        {"1642", [](FpPageModel&) {}, k_valid_state_bits},
        {"650D/650G",
         [](FpPageModel& page) {
             page.select_fp_type(2);
             page.bit_order.select(5);
         },
         not_1642_bits},
    };
    for (const auto& state : states) {
        for (const ConfigBlock& background : {filled_block(0x00), filled_block(0xFF), patterned_block()}) {
            SCOPED_TRACE(state.name + " over background " + std::to_string(background.bytes[100]));
            FpPageModel page;
            set_valid_state(page);
            state.adjust(page);
            ConfigBlock block = background;
            ASSERT_EQ(page.store(block), std::nullopt);
            EXPECT_EQ(block, with_bits(background, state.bits));
        }
    }
}

TEST(FpPageModel, LoadThenStoreKeepsAStoredBlock) {
    // A block the page wrote itself comes back unchanged, whatever lies around the fields.
    for (const ConfigBlock& background : {filled_block(0xFF), patterned_block()}) {
        FpPageModel writer;
        set_valid_state(writer);
        ConfigBlock written = background;
        ASSERT_EQ(writer.store(written), std::nullopt);
        FpPageModel page;
        page.load(written);
        ConfigBlock again = written;
        ASSERT_EQ(page.store(again), std::nullopt);
        EXPECT_EQ(again, written);
    }
}

TEST(FpPageModel, LoadThenStoreNormalisesWhatThePageCannotShow) {
    struct Case {
        std::string name;
        Patch before;
        Patch after;
    };
    const std::vector<Case> cases{
        {"a 650 block with type 5", {{0, 5}, {4, 0xE0}, {6, 0x09}}, {{0, 1}, {4, 0x00}, {6, 0x09}}},
        {"a code outside the 1642 column", {{6, 0x10}, {4, 0x80}}, {{6, 0x00}, {4, 0x60}}},
        {"com num beyond the list stores 15", {{4, 0x60}, {5, 0xA7}}, {{5, 0xAF}}},
        {"scan type beyond the list stores 15", {{4, 0x6C}}, {{4, 0x6F}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ConfigBlock block = patched(ConfigBlock{}, c.before);
        FpPageModel page;
        page.load(block);
        ConfigBlock stored = block;
        ASSERT_EQ(page.store(stored), std::nullopt);
        EXPECT_EQ(stored, patched(block, c.after));
    }
}

struct PosField {
    std::string FpPageModel::*text;
    std::size_t offset;
    std::string message;
    // What the store has written when this check fails: byte -> bits.
    std::map<std::size_t, std::uint8_t> written_before;
};

const std::vector<PosField>& pos_fields() {
    static const std::vector<PosField> fields{
        {&FpPageModel::scan_0_pos,
         10,
         "The 'scan_0 pos' value is not valid!",
         {{0, 0xFF}, {1, 0xFF}, {2, 0xFF}, {3, 0xFF}, {4, 0xEF}, {10, 0x01}}},
        {&FpPageModel::clock_pos,
         8,
         "The 'fclock pos' value is not valid!",
         {{0, 0xFF},
          {1, 0xFF},
          {2, 0xFF},
          {3, 0xFF},
          {4, 0xFF},
          {5, 0x0F},
          {6, 0xFF},
          {10, 0xFD},
          {20, 0x01},
          {21, 0x01},
          {8, 0x01}}},
        {&FpPageModel::data_pos,
         9,
         "The 'fdata pos' value is not valid!",
         {{0, 0xFF},
          {1, 0xFF},
          {2, 0xFF},
          {3, 0xFF},
          {4, 0xFF},
          {5, 0x0F},
          {6, 0xFF},
          {10, 0xFD},
          {20, 0x01},
          {21, 0x01},
          {8, 0xFD},
          {9, 0x01}}},
        {&FpPageModel::lock_lamp_pos,
         20,
         "The 'lbd_0 pos' value is not valid!",
         {{0, 0xFF},
          {1, 0xFF},
          {2, 0xFF},
          {3, 0xFF},
          {4, 0xFF},
          {5, 0x0F},
          {6, 0xFF},
          {10, 0xFD},
          {20, 0x01},
          {21, 0x01},
          {8, 0xFD},
          {9, 0xFD}}},
        {&FpPageModel::power_lamp_pos,
         21,
         "The 'lbd_1 pos' value is not valid!",
         {{0, 0xFF},
          {1, 0xFF},
          {2, 0xFF},
          {3, 0xFF},
          {4, 0xFF},
          {5, 0x0F},
          {6, 0xFF},
          {10, 0xFD},
          {20, 0xFD},
          {21, 0x01},
          {8, 0xFD},
          {9, 0xFD}}},
    };
    return fields;
}

TEST(FpPageModel, PositionsFrom0To63Pass) {
    for (const auto& field : pos_fields()) {
        for (const auto& [text, value] : std::vector<std::pair<std::string, int>>{
                 {"0", 0}, {"7", 7}, {"10", 10}, {"63", 63}, {" 7 ", 7}, {"+7", 7}, {"007", 7}}) {
            SCOPED_TRACE(field.message + " with '" + text + "'");
            FpPageModel page;
            set_valid_state(page);
            page.*field.text = text;
            ConfigBlock block = filled_block(0x02);  // bit 1 set: it must survive
            ASSERT_EQ(page.store(block), std::nullopt);
            EXPECT_EQ(block.bytes[field.offset] >> 2, value);
            EXPECT_EQ(block.bytes[field.offset] & 0x02, 0x02);
        }
    }
}

TEST(FpPageModel, AFailedPositionStopsTheStoreWithItsMessage) {
    for (const auto& field : pos_fields()) {
        for (const std::string text : {"64", "-1", "7x", "", "x7", "99999999999"}) {
            for (const ConfigBlock& background : {filled_block(0xFF), patterned_block()}) {
                SCOPED_TRACE(field.message + " with '" + text + "'");
                FpPageModel page;
                set_valid_state(page);
                ConfigBlock full = background;
                ASSERT_EQ(page.store(full), std::nullopt);

                page.*field.text = text;
                ConfigBlock block = background;
                const auto message = page.store(block);
                ASSERT_TRUE(message.has_value());
                EXPECT_EQ(*message, (PageMessage{MessageKind::check_failed, field.message, ""}));

                ConfigBlock expected = background;
                for (const auto& [offset, mask] : field.written_before) {
                    expected.bytes[offset] = static_cast<std::uint8_t>((full.bytes[offset] & mask) |
                                                                       (background.bytes[offset] & ~mask));
                }
                EXPECT_EQ(block, expected);
            }
        }
    }
}

// The colon position keeps the lenient reading (blanks, a sign, trailing text), but a value that does
// not fit bits 2-7 is refused: 70 used to be stored as 6 and 99 as 35 without a word.
TEST(FpPageModel, ColonPositionReadsLenientlyAndRefusesWhatDoesNotFit) {
    const std::vector<std::pair<std::string, std::optional<std::uint8_t>>>
        cases{
            {"6", 6},   {"63", 63},          {" 5x", 5},         {"+7", 7},  {"-0", 0},
            {"70", {}}, {"99", {}},          {"64", {}},         {"-1", {}}, {"abc", {}},
            {"", {}},   {"99999999999", {}}, {"4294967302", {}},  // 2^32 + 6, which 32 bits would wrap to 6
        };
    for (const auto& [text, value] : cases) {
        SCOPED_TRACE("'" + text + "'");
        FpPageModel page;
        set_valid_state(page);
        page.colon_pos = text;
        const ConfigBlock background = filled_block(0x03);
        ConfigBlock full = background;
        page.colon_pos = "12";
        ASSERT_EQ(page.store(full), std::nullopt);

        page.colon_pos = text;
        ConfigBlock block = background;
        const std::optional<PageMessage> message = page.store(block);
        if (value) {
            ASSERT_EQ(message, std::nullopt);
            EXPECT_EQ(block.bytes[22], static_cast<std::uint8_t>((*value << 2) | 0x03));
        } else {
            EXPECT_EQ(message,
                      (PageMessage{MessageKind::check_failed, "The 'Colon Pos' value is not valid!", ""}));
            // Everything before the colon position is stored; the colon byte keeps its old bits.
            ConfigBlock expected = full;
            expected.bytes[22] = background.bytes[22];
            EXPECT_EQ(block, expected);
        }
    }
}

TEST(FpPageModel, FpTypeSelectionShowsTheScanControlsOnlyFor1642) {
    FpPageModel page;
    const std::vector<std::pair<int, bool>> steps{{1, false}, {0, true}, {2, false}, {0, true}, {7, false}};
    for (const auto& [index, shown] : steps) {
        page.select_fp_type(index);
        EXPECT_EQ(page.scan_controls_shown(), shown) << index;
    }
    EXPECT_EQ(page.current_fp_type(), k_no_selection);
}

TEST(FpPageModel, HiddenScanControlsAreStillStored) {
    FpPageModel page;
    set_valid_state(page);
    page.select_fp_type(1);
    ASSERT_FALSE(page.scan_controls_shown());
    page.scan_type.select(1);
    page.scan_0_level.select(1);
    page.scan_0_pos = "9";
    ConfigBlock block;
    ASSERT_EQ(page.store(block), std::nullopt);
    EXPECT_EQ(block.bytes[4] & 0x0F, 1);
    EXPECT_EQ(block.bytes[10], (9 << 2) | 1);

    page.scan_0_pos = "64";
    EXPECT_EQ(page.store(block)->text, "The 'scan_0 pos' value is not valid!");
}

TEST(FpPageModel, LampTestStartsAndStopsFromItsButton) {
    FpPageModel page;
    EXPECT_EQ(page.click_start_lamp_test(), FpRequest::start_lamp_test);
    EXPECT_EQ(page.start_button_caption(), "Stop Test Lamp Pos");
    EXPECT_EQ(page.lamp_test_running.load(), 1);
    EXPECT_TRUE(page.lamp_keys_enabled());

    EXPECT_EQ(page.click_start_lamp_test(), std::nullopt);  // stop posts nothing
    EXPECT_EQ(page.start_button_caption(), "Start Test Lamp Pos");
    EXPECT_EQ(page.lamp_test_running.load(), 0);
    EXPECT_FALSE(page.lamp_keys_enabled());

    // The thread's end message after a stop finds the page idle already and changes nothing.
    page.lamp_test_ended();
    EXPECT_EQ(page.start_button_caption(), "Start Test Lamp Pos");
    EXPECT_EQ(page.lamp_test_running.load(), 0);
    EXPECT_FALSE(page.lamp_keys_enabled());

    EXPECT_EQ(page.click_start_lamp_test(), FpRequest::start_lamp_test);
    EXPECT_TRUE(page.lamp_keys_enabled());
}

TEST(FpPageModel, LampTestEndMessageWhileRunningActsAsStop) {
    FpPageModel page;
    ASSERT_TRUE(page.click_start_lamp_test());
    page.lamp_test_ended();
    EXPECT_EQ(page.start_button_caption(), "Start Test Lamp Pos");
    EXPECT_EQ(page.lamp_test_running.load(), 0);
    EXPECT_FALSE(page.lamp_keys_enabled());
}

TEST(FpPageModel, LampKeysRequestOnlyWhileTheTestRuns) {
    struct Case {
        bool running;
        LampKey key;
        std::int32_t request;
    };
    const std::vector<Case> cases{
        {true, LampKey::left, 1},  {true, LampKey::confirm, 0},  {true, LampKey::right, 2},
        {false, LampKey::left, 3}, {false, LampKey::confirm, 3}, {false, LampKey::right, 3},
    };
    for (const auto& c : cases) {
        FpPageModel page;
        if (c.running) {
            page.click_start_lamp_test();
        }
        page.lamp_key_request.store(static_cast<LampKey>(7));  // whatever the thread left
        page.click_lamp_key(c.key);
        EXPECT_EQ(static_cast<std::int32_t>(page.lamp_key_request.load()), c.request)
            << "running " << c.running << " key " << static_cast<int>(c.key);
    }
}

TEST(FpPageModel, ClearStopsTheTestButLeavesTheKeysEnabled) {
    FpPageModel page;
    ASSERT_TRUE(page.click_start_lamp_test());
    page.reset_lamp_test();
    EXPECT_EQ(page.lamp_test_running.load(), 0);
    EXPECT_EQ(page.start_button_caption(), "Start Test Lamp Pos");
    EXPECT_TRUE(page.lamp_keys_enabled());
    // A start after Clear starts a new test, since the caption is the start caption again.
    EXPECT_EQ(page.click_start_lamp_test(), FpRequest::start_lamp_test);
}

TEST(FpPageModel, LoadEnablesTheLampKeysOnlyWhileTheTestRuns) {
    FpPageModel page;
    page.load(ConfigBlock{});
    EXPECT_FALSE(page.lamp_keys_enabled());
    page.click_start_lamp_test();
    page.load(ConfigBlock{});
    EXPECT_TRUE(page.lamp_keys_enabled());
    EXPECT_EQ(page.lamp_test_running.load(), 1);
}

TEST(FpPageModel, SideRecordIsLoadedAndBuiltFromTheFpFieldsOnly) {
    FpPageModel writer;
    set_valid_state(writer);
    ConfigBlock record;
    ASSERT_EQ(writer.build_side_record(SideFileKind::fp, record), std::nullopt);
    EXPECT_EQ(record, with_bits(ConfigBlock{}, k_valid_state_bits));

    FpPageModel reader;
    ASSERT_EQ(reader.apply_side_record(SideFileKind::fp, patched(record, {{100, 0xAA}})), std::nullopt);
    EXPECT_EQ(shown(reader), shown(writer));
}

TEST(FpPageModel, SideRecordOfAnotherPageIsRefused) {
    FpPageModel page;
    set_valid_state(page);
    const auto before = shown(page);
    for (const SideFileKind kind : {SideFileKind::hw, SideFileKind::led, SideFileKind::fpkey}) {
        const auto refused = page.apply_side_record(kind, filled_block(0xFF));
        ASSERT_TRUE(refused.has_value());
        EXPECT_EQ(refused->kind, MessageKind::refused);
        EXPECT_EQ(shown(page), before);
        ConfigBlock record;
        EXPECT_TRUE(page.build_side_record(kind, record).has_value());
    }
}

TEST(FpPageModel, FailedCheckOnSaveWritesNoFile) {
    testing::TempDirectory directory;
    const std::string path = (directory.path() / "panel.fp").string();
    FpPageModel page;
    set_valid_state(page);
    page.lock_lamp_pos = "64";
    const PageMessages messages = save_side_file(page, SideFileKind::fp, path);
    EXPECT_EQ(messages,
              (PageMessages{{MessageKind::check_failed, "The 'lbd_0 pos' value is not valid!", ""}}));
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(FpPageModel, SaveAndLoadThroughAFile) {
    testing::TempDirectory directory;
    const std::string path = (directory.path() / "panel.fp").string();
    FpPageModel writer;
    set_valid_state(writer);
    writer.select_fp_type(2);
    ASSERT_EQ(save_side_file(writer, SideFileKind::fp, path).at(0).text, "Finish to save file!");
    EXPECT_EQ(std::filesystem::file_size(path), k_config_block_size);

    FpPageModel reader;
    EXPECT_EQ(load_side_file(reader, SideFileKind::fp, path),
              (PageMessages{{MessageKind::success, "Load done!", "Success"}}));
    EXPECT_EQ(shown(reader), shown(writer));
    EXPECT_FALSE(reader.scan_controls_shown());
}

}  // namespace
}  // namespace velmora
