#include "config/flash_image.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <vector>

#include "config/crc32.h"
#include "config/written_bytes.h"

namespace velmora {

namespace {

const KeyTable* ir_table_for(std::uint8_t tag) {
    return tag == TAG_IR1_KEYS ? &k_ir1_table : tag == TAG_IR2_KEYS ? &k_ir2_table : nullptr;
}

std::size_t user_code_offset_for(std::uint8_t tag) {
    return tag == TAG_IR1_KEYS ? k_ir1_user_code_offset : k_ir2_user_code_offset;
}

void read_ir_record(const std::uint8_t* data, std::uint8_t tag, ConfigBlock& block) {
    const KeyTable& table = *ir_table_for(tag);
    for (std::size_t i = 0; i < k_flash_ir_keys; ++i) {
        block.set_key_code(table, i, data[i]);
    }
    block.set_u16(table.count_offset, k_flash_ir_keys);
    block.set_u16(user_code_offset_for(tag),
                  static_cast<std::uint16_t>(data[k_ir_user_code_high] * 256 + data[k_ir_user_code_low]));
}

// Bytes of each directory A record that ExtractConfig reads and WriteBackConfig writes.
struct RecordSize {
    std::uint8_t tag;
    std::size_t bytes;
};
constexpr std::array<RecordSize, 4> k_record_sizes{{{TAG_MAIN, k_main_record.length},
                                                    {TAG_IR1_KEYS, k_ir_record_bytes},
                                                    {TAG_IR2_KEYS, k_ir_record_bytes},
                                                    {TAG_FP_KEYS, k_fp_record_bytes}}};
// ExtractConfig reads each into a buffer of the main record's size.
static_assert(std::ranges::all_of(k_record_sizes,
                                  [](const RecordSize& size) { return size.bytes <= k_main_record.length; }));

// 0 for a record they leave alone.
std::size_t record_data_bytes(std::uint8_t tag) {
    for (const RecordSize& size : k_record_sizes) {
        if (size.tag == tag) {
            return size.bytes;
        }
    }
    return 0;
}

// The bytes WriteBackConfig puts at the start of a record's data; empty for a record it leaves alone.
std::vector<std::uint8_t> record_data_for(std::uint8_t tag, const ConfigBlock& block) {
    std::vector<std::uint8_t> data(record_data_bytes(tag));
    switch (tag) {
        case TAG_IR1_KEYS:
        case TAG_IR2_KEYS: {
            const KeyTable& table = *ir_table_for(tag);
            for (std::size_t i = 0; i < k_flash_ir_keys; ++i) {
                data[i] = block.key_code(table, i);
            }
            const std::size_t user_code = user_code_offset_for(tag);
            data[k_ir_user_code_high] = block.bytes[user_code + 1];
            data[k_ir_user_code_low] = block.bytes[user_code];
            break;
        }
        case TAG_FP_KEYS:
            for (std::size_t k = 0; k < k_flash_fp_keys; ++k) {
                data[k] = block.key_code(k_fp_key_table, k);
            }
            break;
        case TAG_MAIN:
            std::copy_n(block.bytes.begin(), data.size(), data.begin());
            break;
        default:
            break;
    }
    return data;
}

}  // namespace

std::uint64_t record_bytes_used(DirectoryKind kind, const RecordEntry& entry) {
    std::uint64_t bytes = 0;
    if (kind == DirectoryKind::a) {
        bytes = record_data_bytes(entry.tag);
        if (bytes == 0) {
            return 0;
        }
    } else if (entry.tag != TAG_KEY_SCRIPT) {
        return 0;
    }
    return std::max<std::uint64_t>(bytes, entry.length);
}

bool records_fit(const RecordDirectory& directory, DirectoryKind kind, std::uint64_t image_size) {
    for (std::size_t i = 0; i < directory.entry_count(); ++i) {
        const RecordEntry entry = directory.entry(i);
        if (kind == DirectoryKind::b && entry.tag == TAG_KEY_SCRIPT &&
            entry.length > KeyScriptBuffer::k_capacity) {
            return false;
        }
        const std::uint64_t used = record_bytes_used(kind, entry);
        if (used != 0 && !directory.record_fits(entry, used, image_size)) {
            return false;
        }
    }
    return true;
}

int ExtractConfig(const ImageSource& image, ConfigBlock& block, KeyScriptBuffer& script,
                  const std::function<void()>& extract_key_script) {
    preset_default_key_tables(block);

    RecordDirectory a;
    if (a.locate(image, k_window_a) != DirectoryStatus::found ||
        !records_fit(a, DirectoryKind::a, image.size())) {
        return 0;
    }
    bool main_found = false;
    for (std::size_t i = 0; i < a.entry_count(); ++i) {
        const RecordEntry entry = a.entry(i);
        // The main record is always read whole, whatever its length field says.
        const std::size_t data_bytes = record_data_bytes(entry.tag);
        if (data_bytes == 0) {
            continue;
        }
        std::array<std::uint8_t, k_main_record.length> data{};
        if (!image.read(a.data_position(entry), std::span(data).first(data_bytes))) {
            return 0;
        }
        switch (entry.tag) {
            case TAG_IR1_KEYS:
            case TAG_IR2_KEYS:
                read_ir_record(data.data(), entry.tag, block);
                break;
            case TAG_FP_KEYS:
                for (std::size_t k = 0; k < k_flash_fp_keys; ++k) {
                    block.set_key_code(k_fp_key_table, k, data[k]);
                }
                block.set_u16(k_fp_key_table.count_offset, k_flash_fp_keys);
                break;
            default:  // TAG_MAIN
                std::memcpy(block.bytes.data(), data.data(), k_main_record.length);
                main_found = true;
                break;
        }
    }

    RecordDirectory b;
    if (b.locate(image, k_window_b) != DirectoryStatus::found ||
        !records_fit(b, DirectoryKind::b, image.size())) {
        return 0;
    }
    for (std::size_t i = 0; i < b.entry_count(); ++i) {
        const RecordEntry entry = b.entry(i);
        if (entry.tag == TAG_KEY_SCRIPT) {
            // Read aside first: a read that fails must not leave the buffer half replaced, since a
            // later Parse whose directory B has no script unpacks what the buffer holds.
            std::array<std::uint8_t, KeyScriptBuffer::k_capacity> bytes;
            if (!image.read(b.data_position(entry), std::span(bytes).first(entry.length))) {
                return 0;
            }
            std::memcpy(script.bytes.data(), bytes.data(), entry.length);
            script.size = entry.length;
        }
    }
    if (extract_key_script) {
        extract_key_script();
    }
    return main_found ? 1 : 0;
}

int WriteBackConfig(const ImageSource& image, const ConfigBlock& block, WrittenBytes& changes) {
    RecordDirectory a;
    if (a.locate(image, k_window_a) != DirectoryStatus::found ||
        !records_fit(a, DirectoryKind::a, image.size())) {
        return 0;
    }
    // A record's length may cover the whole image, and every entry may name the same bytes, so the
    // CRCs are not taken one record at a time: one pass over the image as it is gives every record's
    // CRC before any write, and a correction over the few bytes written since makes each one the CRC
    // of its data as written, in the order the records are written.
    std::vector<CrcRange> crc_ranges;
    changes.add(a.entries_position(), a.entries_bytes());
    for (std::size_t i = 0; i < a.entry_count(); ++i) {
        const RecordEntry entry = a.entry(i);
        if (const std::size_t bytes = record_data_bytes(entry.tag); bytes != 0) {
            crc_ranges.push_back({a.data_position(entry), entry.length});
            changes.add(a.data_position(entry), bytes);
        }
    }
    const std::optional<std::vector<std::uint32_t>> crcs_before = range_crcs(image, crc_ranges);
    if (!crcs_before || !changes.keep_originals(image)) {
        return 0;
    }

    std::size_t next_crc = 0;
    for (std::size_t i = 0; i < a.entry_count(); ++i) {
        const RecordEntry entry = a.entry(i);
        const std::vector<std::uint8_t> data = record_data_for(entry.tag, block);
        if (!data.empty()) {
            changes.write(a.data_position(entry), data);
            // The CRC covers `length` bytes as written, whether that is more or less than the record's data.
            const CrcRange& range = crc_ranges[next_crc];
            a.set_crc(i, (*crcs_before)[next_crc] ^ changes.crc_difference(range));
            ++next_crc;
        }
        // The directory goes back after every entry, whatever its tag: a record that overlaps the
        // directory loses those bytes to it, as on the box's tools.
        changes.write(a.entries_position(), a.entries());
    }
    return 1;
}

int WriteBackConfig(std::span<std::uint8_t> image, const ConfigBlock& block) {
    WrittenBytes changes;
    if (WriteBackConfig(MemoryImage(image), block, changes) == 0) {
        return 0;
    }
    changes.apply(image);
    return 1;
}

}  // namespace velmora
