// Moving the configuration block in and out of a flash image's records.
//
// ExtractConfig fills the block from directory A (main record, IR1, IR2 and FP key codes) and the
// key script buffer from directory B; WriteBackConfig writes the block into directory A's records
// and gives each record a fresh CRC. Every other byte of the image is left alone. Both read the image
// through an ImageSource, so an image file is read only where the directories and the records are.
//
// Callers may rely on: neither function reads or writes outside the image. An image whose
// directories or records point outside itself, whose directory is larger than its buffer, or whose
// key script is larger than the script buffer is refused (result 0) before anything is read from or
// written to the offending record. ExtractConfig may change the block before it refuses an image,
// which the view allows (the pages keep showing their old contents). WriteBackConfig
// checks every record first and, when it refuses, leaves the image untouched. An image whose bytes
// cannot be read (a file that changed) is refused like a malformed one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

#include "config/config_block.h"
#include "config/image_source.h"
#include "config/key_script_buffer.h"
#include "config/record_directory.h"
#include "config/written_bytes.h"

namespace velmora {

// What the records carry.
inline constexpr std::size_t k_ir_record_bytes = k_flash_ir_keys + 2;  // codes, then user code high, low
inline constexpr std::size_t k_ir_user_code_high = k_flash_ir_keys;
inline constexpr std::size_t k_ir_user_code_low = k_flash_ir_keys + 1;
inline constexpr std::size_t k_fp_record_bytes = k_flash_fp_keys;

enum class DirectoryKind { a, b };

// Bytes from a record's first byte that the system reads or writes, or 0 when it ignores the record
// (an unknown tag, or a tag of the other directory). The CRC covers `length` bytes, so those count too.
std::uint64_t record_bytes_used(DirectoryKind kind, const RecordEntry& entry);

// True when every record that the system uses in `directory` lies inside the image.
bool records_fit(const RecordDirectory& directory, DirectoryKind kind, std::uint64_t image_size);

// 1 when directory A held a main record and directory B was found, else 0. Presets the default key
// tables first. Calls `extract_key_script` (may be empty) whenever directory B was found and sound,
// after the script buffer has been filled, also when B has no script entry.
int ExtractConfig(const ImageSource& image, ConfigBlock& block, KeyScriptBuffer& script,
                  const std::function<void()>& extract_key_script);
inline int ExtractConfig(std::span<const std::uint8_t> image, ConfigBlock& block, KeyScriptBuffer& script,
                         const std::function<void()>& extract_key_script) {
    return ExtractConfig(MemoryImage(image), block, script, extract_key_script);
}

// 1 when directory A was found and its records were written, else 0. The image itself is not
// changed: `changes` ends holding every byte written, with what it held before and after, and the
// caller puts the new bytes over the image or over a copy of its file.
int WriteBackConfig(const ImageSource& image, const ConfigBlock& block, WrittenBytes& changes);
// The same on an image in memory, written in place.
int WriteBackConfig(std::span<std::uint8_t> image, const ConfigBlock& block);

}  // namespace velmora
