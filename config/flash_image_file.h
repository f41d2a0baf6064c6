// A flash image file opened as Parse opens it: the one loader of the view and of every velmora-image
// command, so that all of them accept and refuse the same files with the same message.
//
// The file is mapped, not read: deciding that a file is no image costs only the search windows, the
// directories and the records, whatever the file's size. The rule, in this order:
// - no path: select_input;
// - a file that cannot be opened, or that is not a regular file (a directory): open_flash_failed;
// - a file of 4 GiB or more: wrong_binary (the image's length is a 32-bit count everywhere);
// - a file that cannot be mapped: no_memory;
// - ExtractConfig refuses the bytes: wrong_binary.
//
// Callers may rely on: length() is known from the moment the file opened, also when it was then
// refused for its size or could not be mapped; bytes() is the whole file as mapped and stays valid
// until close(), another open() or destruction. The mapping is private, so nothing is ever written
// to the file; a file that someone truncates in place while it is mapped faults on reads past its
// new end, so hold the mapping only as long as the command or the Parse runs.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "config/config_block.h"
#include "config/image_messages.h"
#include "config/key_script_buffer.h"
#include "platform/mapped_file.h"

namespace velmora {

class FlashImageFile {
public:
    // Parse's file steps: opens and maps `path` (a drive path is mapped to its native place).
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
    std::span<const std::uint8_t> bytes() const { return file_.bytes(); }
    // The private copy-on-write view; empty unless opened with MapAccess::copy_on_write.
    std::span<std::uint8_t> writable_bytes() { return file_.writable_bytes(); }
    void close();

private:
    platform::MappedFile file_;
    std::optional<std::uint64_t> length_;
};

}  // namespace velmora
