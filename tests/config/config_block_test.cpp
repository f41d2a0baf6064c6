#include "config/config_block.h"

#include <gtest/gtest.h>

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

TEST(ConfigBlock, PresetWritesTheDefaultTablesAndNothingElse) {
    ConfigBlock block;
    block.bytes.fill(0xEE);
    PresetDefaultKeyTables(block);

    struct Expect {
        const KeyTable& table;
        std::size_t index;
        std::uint32_t slot;
    };
    for (const Expect& e : {Expect{k_ir1_table, 0, 0x0001000a}, Expect{k_ir1_table, 13, 0x001b0014},
                            Expect{k_ir2_table, 33, 0x002c0046}, Expect{k_ir2_table, 34, 0x001c00ff},
                            Expect{k_ir1_table, 59, 0x006a00ff}, Expect{k_fp_key_table, 0, 0x00010048},
                            Expect{k_fp_key_table, 8, 0x005d00ff}}) {
        EXPECT_EQ(block.key_slot(e.table, e.index), e.slot) << e.table.slots_offset << "/" << e.index;
    }
    // Slots past what the flash holds, the counts and the user codes keep their bytes.
    EXPECT_EQ(block.key_slot(k_ir1_table, 60), 0xEEEEEEEEu);
    EXPECT_EQ(block.key_slot(k_fp_key_table, 9), 0xEEEEEEEEu);
    EXPECT_EQ(block.u16(k_ir1_table.count_offset), 0xEEEE);
    EXPECT_EQ(block.u16(k_ir2_user_code_offset), 0xEEEE);
    EXPECT_EQ(block.bytes[463], 0xEE);
}

}  // namespace
}  // namespace velmora
