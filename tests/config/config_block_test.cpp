#include "config/config_block.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <span>

namespace velmora {
namespace {

TEST(ConfigBlock, NumbersAreLittleEndian) {
    ConfigBlock block;
    block.set_u16(k_ir1_user_code_offset, 0x1234);
    block.set_u32(0, 0xA1B2C3D4);
    EXPECT_EQ(block.bytes[k_ir1_user_code_offset], 0x34);
    EXPECT_EQ(block.bytes[k_ir1_user_code_offset + 1], 0x12);
    EXPECT_EQ(block.bytes[0], 0xD4);
    EXPECT_EQ(block.bytes[3], 0xA1);
    EXPECT_EQ(block.u32(0), 0xA1B2C3D4u);
}

TEST(ConfigBlock, KeySlotsAreFourBytesApartWithTheCodeInTheLowByte) {
    ConfigBlock block;
    block.set_key_slot(k_ir2_table, 2, 0x00230045);
    EXPECT_EQ(block.bytes[976 + 8], 0x45);
    EXPECT_EQ(block.bytes[976 + 10], 0x23);
    block.set_key_code(k_ir2_table, 2, 0x99);
    EXPECT_EQ(block.key_slot(k_ir2_table, 2), 0x00230099u);
    block.set_key_code(k_fp_key_table, 15, 0x7E);
    EXPECT_EQ(block.bytes[1488 + 60], 0x7E);
}

// One default entry as the box's key list writes it: key code / key number.
struct ExpectedKey {
    std::uint8_t code;
    std::uint16_t number;
};

// Written out by hand from the box's key list, so a slip in the code's own table shows here.
constexpr ExpectedKey k_expected_ir_keys[] = {
    {0x0a, 1},   {0x19, 2},   {0x12, 3},  {0x00, 5},   {0x01, 6},   {0x02, 7},   {0x03, 8},   {0x04, 9},
    {0x05, 10},  {0x06, 11},  {0x07, 12}, {0x08, 13},  {0x09, 14},  {0x14, 27},  {0x1c, 4},   {0x0b, 17},
    {0x11, 19},  {0x0d, 16},  {0x10, 20}, {0x0e, 18},  {0x16, 21},  {0x1f, 15},  {0x1e, 24},  {0x13, 25},
    {0x40, 34},  {0x42, 35},  {0x41, 37}, {0x43, 36},  {0x44, 39},  {0x17, 31},  {0x1d, 47},  {0x1b, 42},
    {0x45, 43},  {0x46, 44},  {0xff, 28}, {0xff, 30},  {0xff, 23},  {0xff, 26},  {0xff, 72},  {0xff, 88},
    {0xff, 22},  {0xff, 90},  {0xff, 91}, {0xff, 92},  {0xff, 93},  {0xff, 86},  {0xff, 96},  {0xff, 84},
    {0xff, 97},  {0xff, 98},  {0xff, 99}, {0xff, 94},  {0xff, 100}, {0xff, 101}, {0xff, 102}, {0xff, 103},
    {0xff, 104}, {0xff, 105}, {0xff, 89}, {0xff, 106},
};
constexpr ExpectedKey k_expected_fp_keys[] = {
    {0x48, 1}, {0x08, 17}, {0x02, 18}, {0x01, 19}, {0x41, 20}, {0x42, 16}, {0x10, 21}, {0xff, 92}, {0xff, 93},
};
static_assert(std::size(k_expected_ir_keys) == 60);
static_assert(std::size(k_expected_fp_keys) == 9);

TEST(ConfigBlock, PresetWritesEveryDefaultSlotAndNothingElse) {
    ConfigBlock block;
    block.bytes.fill(0xEE);
    preset_default_key_tables(block);

    struct Expect {
        const char* name;
        const KeyTable& table;
        std::span<const ExpectedKey> keys;
    };
    const Expect tables[] = {
        {"IR1", k_ir1_table, k_expected_ir_keys},
        {"IR2", k_ir2_table, k_expected_ir_keys},
        {"FP", k_fp_key_table, k_expected_fp_keys},
    };
    ConfigBlock untouched;
    untouched.bytes.fill(0xEE);
    for (const Expect& e : tables) {
        for (std::size_t index = 0; index < e.keys.size(); ++index) {
            const std::uint32_t slot = e.keys[index].code + (std::uint32_t{e.keys[index].number} << 16);
            EXPECT_EQ(block.key_slot(e.table, index), slot) << e.name << " slot " << index;
            untouched.set_key_slot(e.table, index, slot);
        }
        // The slot after the defaults, which the flash never fills, keeps its bytes.
        EXPECT_EQ(block.key_slot(e.table, e.keys.size()), 0xEEEEEEEEu) << e.name;
    }
    // Nothing else changes: not the other slots, the counts, the user codes or the main record.
    EXPECT_EQ(block.bytes, untouched.bytes);
    EXPECT_EQ(block.u16(k_ir1_table.count_offset), 0xEEEE);
    EXPECT_EQ(block.u16(k_ir2_user_code_offset), 0xEEEE);
}

}  // namespace
}  // namespace velmora
