#include "config/config_block.h"

#include <cassert>
#include <stdexcept>

#include "config/byte_order.h"

namespace velmora {

const std::array<DefaultKey, k_flash_ir_keys> k_default_ir_keys{{
    {0x0a, 1},   {0x19, 2},   {0x12, 3},  {0x00, 5},   {0x01, 6},   {0x02, 7},   {0x03, 8},   {0x04, 9},
    {0x05, 10},  {0x06, 11},  {0x07, 12}, {0x08, 13},  {0x09, 14},  {0x14, 27},  {0x1c, 4},   {0x0b, 17},
    {0x11, 19},  {0x0d, 16},  {0x10, 20}, {0x0e, 18},  {0x16, 21},  {0x1f, 15},  {0x1e, 24},  {0x13, 25},
    {0x40, 34},  {0x42, 35},  {0x41, 37}, {0x43, 36},  {0x44, 39},  {0x17, 31},  {0x1d, 47},  {0x1b, 42},
    {0x45, 43},  {0x46, 44},  {0xff, 28}, {0xff, 30},  {0xff, 23},  {0xff, 26},  {0xff, 72},  {0xff, 88},
    {0xff, 22},  {0xff, 90},  {0xff, 91}, {0xff, 92},  {0xff, 93},  {0xff, 86},  {0xff, 96},  {0xff, 84},
    {0xff, 97},  {0xff, 98},  {0xff, 99}, {0xff, 94},  {0xff, 100}, {0xff, 101}, {0xff, 102}, {0xff, 103},
    {0xff, 104}, {0xff, 105}, {0xff, 89}, {0xff, 106},
}};

const std::array<DefaultKey, k_flash_fp_keys> k_default_fp_keys{{
    {0x48, 1},
    {0x08, 17},
    {0x02, 18},
    {0x01, 19},
    {0x41, 20},
    {0x42, 16},
    {0x10, 21},
    {0xff, 92},
    {0xff, 93},
}};

namespace {

// A field's offset is a constant of the code, so one past the block is a programming error: it throws
// as std::array::at does instead of touching bytes past the block.
void check_field(std::size_t offset, std::size_t size) {
    if (offset > k_config_block_size || size > k_config_block_size - offset) {
        throw std::out_of_range("ConfigBlock field past the block");
    }
}

}  // namespace

std::uint16_t ConfigBlock::u16(std::size_t offset) const {
    check_field(offset, 2);
    return read_le16(bytes.data() + offset);
}

void ConfigBlock::set_u16(std::size_t offset, std::uint16_t value) {
    check_field(offset, 2);
    write_le16(bytes.data() + offset, value);
}

std::uint32_t ConfigBlock::u32(std::size_t offset) const {
    check_field(offset, 4);
    return read_le32(bytes.data() + offset);
}

void ConfigBlock::set_u32(std::size_t offset, std::uint32_t value) {
    check_field(offset, 4);
    write_le32(bytes.data() + offset, value);
}

std::uint32_t ConfigBlock::key_slot(const KeyTable& table, std::size_t index) const {
    assert(index < table.capacity);
    return u32(table.slots_offset + index * k_key_slot_size);
}

void ConfigBlock::set_key_slot(const KeyTable& table, std::size_t index, std::uint32_t value) {
    assert(index < table.capacity);
    set_u32(table.slots_offset + index * k_key_slot_size, value);
}

std::uint8_t ConfigBlock::key_code(const KeyTable& table, std::size_t index) const {
    assert(index < table.capacity);
    return bytes.at(table.slots_offset + index * k_key_slot_size);
}

void ConfigBlock::set_key_code(const KeyTable& table, std::size_t index, std::uint8_t code) {
    assert(index < table.capacity);
    bytes.at(table.slots_offset + index * k_key_slot_size) = code;
}

namespace {

template <std::size_t N>
void preset(ConfigBlock& block, const KeyTable& table, const std::array<DefaultKey, N>& defaults) {
    for (std::size_t i = 0; i < N; ++i) {
        block.set_key_slot(table, i,
                           defaults[i].code + (static_cast<std::uint32_t>(defaults[i].number) << 16));
    }
}

}  // namespace

void preset_default_key_tables(ConfigBlock& block) {
    preset(block, k_ir1_table, k_default_ir_keys);
    preset(block, k_ir2_table, k_default_ir_keys);
    preset(block, k_fp_key_table, k_default_fp_keys);
}

}  // namespace velmora
