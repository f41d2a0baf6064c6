// The box's customer configuration: one plain record of 1564 bytes.
//
// The block has no header, version or checksum of its own; it is copied, saved as a side file and
// sent to the box as raw bytes. This header fixes its frame: which byte range belongs to whom, the
// three key tables with their counts and user codes, and the default key tables that every record
// extraction presets. The fields inside the page ranges are laid out by the page models.
// Multi-byte numbers are little-endian.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace velmora {

inline constexpr std::size_t k_config_block_size = 1564;

struct BlockRange {
    std::size_t offset;
    std::size_t length;
    constexpr std::size_t end() const { return offset + length; }
};

// The frame of the block.
inline constexpr BlockRange k_fp_settings{0, 32};  // front panel driver; bytes 0..22 used
inline constexpr BlockRange k_led_map{32, 256};
inline constexpr std::size_t k_led_font_count_offset = 288;  // written only by the block upload
inline constexpr BlockRange k_hw_options{292, 44};
inline constexpr BlockRange k_power_wave{336, 126};  // 63 unsigned 16-bit values
inline constexpr std::size_t k_power_wave_values = 63;
// The first 464 bytes are the flash image's main record and what "send configuration" sends.
inline constexpr BlockRange k_main_record{0, 464};

// A key slot is 32 bits: the key code in bits 0-7, the box's key number in bits 16-31.
inline constexpr std::size_t k_key_slot_size = 4;

struct KeyTable {
    std::size_t slots_offset;
    std::size_t capacity;      // slots in the block
    std::size_t count_offset;  // unsigned 16-bit number of keys
};

inline constexpr KeyTable k_ir1_table{464, 128, 1552};
inline constexpr KeyTable k_ir2_table{976, 128, 1554};
inline constexpr KeyTable k_fp_key_table{1488, 16, 1556};
inline constexpr std::size_t k_ir1_user_code_offset = 1558;
inline constexpr std::size_t k_ir2_user_code_offset = 1560;

static_assert(k_led_map.offset == k_fp_settings.end());
static_assert(k_led_map.end() == k_led_font_count_offset);
static_assert(k_power_wave.offset == k_hw_options.end());
static_assert(k_power_wave.length == 2 * k_power_wave_values);
static_assert(k_power_wave.end() + 2 == k_main_record.end());
static_assert(k_ir1_table.slots_offset == k_main_record.end());
static_assert(k_ir2_table.slots_offset == k_ir1_table.slots_offset + k_ir1_table.capacity * k_key_slot_size);
static_assert(k_fp_key_table.slots_offset ==
              k_ir2_table.slots_offset + k_ir2_table.capacity * k_key_slot_size);
static_assert(k_ir1_table.count_offset ==
              k_fp_key_table.slots_offset + k_fp_key_table.capacity * k_key_slot_size);
static_assert(k_ir2_user_code_offset + 2 + 2 == k_config_block_size);  // two spare bytes round it to 4

// What the flash image holds of each key table; the block has room for more.
inline constexpr std::size_t k_flash_ir_keys = 60;
inline constexpr std::size_t k_flash_fp_keys = 9;

struct DefaultKey {
    std::uint8_t code;
    std::uint16_t number;  // the box's key number, kept in the slot's high 16 bits
};

// Preset for the first 60 slots of IR1 and of IR2 (the same table) and the first 9 FP slots.
extern const std::array<DefaultKey, k_flash_ir_keys> k_default_ir_keys;
extern const std::array<DefaultKey, k_flash_fp_keys> k_default_fp_keys;

struct ConfigBlock {
    std::array<std::uint8_t, k_config_block_size> bytes{};

    std::uint16_t u16(std::size_t offset) const;
    void set_u16(std::size_t offset, std::uint16_t value);
    std::uint32_t u32(std::size_t offset) const;
    void set_u32(std::size_t offset, std::uint32_t value);

    std::span<std::uint8_t> range(BlockRange r) { return std::span(bytes).subspan(r.offset, r.length); }
    std::span<const std::uint8_t> range(BlockRange r) const {
        return std::span(bytes).subspan(r.offset, r.length);
    }

    // The slot value and its low byte, the only part the flash image and the key map page carry.
    std::uint32_t key_slot(const KeyTable& table, std::size_t index) const;
    void set_key_slot(const KeyTable& table, std::size_t index, std::uint32_t value);
    std::uint8_t key_code(const KeyTable& table, std::size_t index) const;
    void set_key_code(const KeyTable& table, std::size_t index, std::uint8_t code);

    bool operator==(const ConfigBlock&) const = default;
};
static_assert(sizeof(ConfigBlock) == k_config_block_size);

// Sets the first 60 IR1, 60 IR2 and 9 FP slots to the default tables; counts and user codes stay.
void preset_default_key_tables(ConfigBlock& block);

}  // namespace velmora
