// A flash image file opened as Parse opens it: the one loader of the view and of every velmora-image
// command, so that all of them accept and refuse the same files with the same message.
//
// The file is read into memory, never mapped: a mapping faults (SIGBUS) when someone shrinks the file
// underneath it, and a read only fails. The rule, in this order:
// - no path: select_input;
// - a file that cannot be opened, or that is not a regular file (a directory, FIFO, device, socket):
//   open_flash_failed, without ever waiting on it;
// - a file of 4 GiB or more: wrong_binary (the image's length is a 32-bit count everywhere), taken
//   from the file's size alone;
// - no memory for the whole file: no_memory;
// - a file that ends early while it is read, or whose size differs after the read (it changed on
//   disk): wrong_binary, as for any read that gives fewer bytes than the file's length;
// - ExtractConfig refuses the bytes: wrong_binary.
// A file with no directory marker in directory A's search window is never read beyond that window nor
// allocated for: open() succeeds with no bytes, on which the record step refuses it exactly as it
// would refuse the whole file. So a large file that is no image costs almost nothing.
//
// Callers may rely on: length() is known from the moment the file opened, also when it was then
// refused; bytes() is the whole file as read when open() succeeded (empty for a file without
// directory A's marker) and stays valid until close(), another open() or destruction. Nothing is ever written
// to the file.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "config/config_block.h"
#include "config/image_messages.h"
#include "config/key_script_buffer.h"
#include "platform/file_buffer.h"
#include "platform/mapped_file.h"

namespace velmora {

class FlashImageFile {
public:
    // Parse's file steps: opens and reads `path` (a drive path is mapped to its native place).
    // `access` copy_on_write lets writable_bytes() hand out the bytes for Generate to change.
    std::optional<ImageMessage> open(const std::string& path,
                                     platform::MapAccess access = platform::MapAccess::read_only);

    // Parse's record step on the mapped bytes: ExtractConfig into `block` and `script`, calling
    // `extract_key_script` (may be empty) as ExtractConfig does.
    std::optional<ImageMessage> extract(ConfigBlock& block, KeyScriptBuffer& script,
                                        const std::function<void()>& extract_key_script) const;
    // The same verdict without a side effect: the records go into a scratch block, no key script is
    // unpacked.
    std::optional<ImageMessage> verdict() const;
    // The record step on bytes the caller holds (a copy of an accepted image): the same rule.
    static std::optional<ImageMessage> extract_from(std::span<const std::uint8_t> image, ConfigBlock& block,
                                                    KeyScriptBuffer& script,
                                                    const std::function<void()>& extract_key_script);

    // open, then extract: Parse whole.
    std::optional<ImageMessage> parse(const std::string& path, platform::MapAccess access, ConfigBlock& block,
                                      KeyScriptBuffer& script,
                                      const std::function<void()>& extract_key_script);
    // open, then verdict: whether Parse would accept the file.
    std::optional<ImageMessage> check(const std::string& path);

    // The file's length in bytes; none until a file opened.
    std::optional<std::uint64_t> length() const { return length_; }
    std::span<const std::uint8_t> bytes() const { return bytes_.bytes(); }
    // The bytes, for Generate to change; empty unless opened with MapAccess::copy_on_write.
    std::span<std::uint8_t> writable_bytes() {
        return writable_ ? bytes_.bytes() : std::span<std::uint8_t>();
    }
    void close();

private:
    platform::FileBuffer bytes_;
    std::optional<std::uint64_t> length_;
    bool writable_ = false;
};

}  // namespace velmora
