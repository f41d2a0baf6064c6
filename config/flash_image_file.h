// A flash image file opened as Parse opens it: the one loader of the view and of every velmora-image
// command, so that all of them accept and refuse the same files with the same message.
//
// The file is read by position (pread), so a file that shrinks underneath it gives a short read, which
// is refused, and it is not read whole: it is an ImageSource that reads only what the record steps ask
// for, the directories' search windows, the directories and the records, so a large image costs what
// its directories and records cost. The rule, in this order:
// - no path: select_input;
// - a file that cannot be opened, or that is not a regular file (a directory, FIFO, device, socket):
//   open_flash_failed, without ever waiting on it;
// - a file of 4 GiB or more: wrong_binary (the image's length is a 32-bit count everywhere), taken
//   from the file's size alone;
// - a read that comes up short or fails, or a file that changed since it was opened (its size or its
//   modification or change time differs): wrong_binary, as for any read that gives fewer bytes than
//   the file's length;
// - ExtractConfig refuses the bytes: wrong_binary.
// read_whole() takes the whole file into the caller's memory (the view keeps its own copy), and only
// there can memory run out: no_memory.
//
// Callers may rely on: length() is known from the moment the file opened, also when it was then
// refused; the descriptor stays open until close(), another open() or destruction, so a command that
// writes a new image streams the untouched bytes from the same file it parsed. Nothing is ever
// written to the file.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "config/config_block.h"
#include "config/image_messages.h"
#include "config/image_source.h"
#include "config/key_script_buffer.h"
#include "platform/regular_file.h"
#include "platform/unique_fd.h"

namespace velmora {

class FlashImageFile final : public ImageSource {
public:
    // Parse's file steps: opens `path` (a drive path is mapped to its native place) and applies the
    // size rule; reads nothing.
    std::optional<ImageMessage> open(const std::string& path);

    // Parse's record step on the file: ExtractConfig into `block` and `script`, calling
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
    std::optional<ImageMessage> parse(const std::string& path, ConfigBlock& block, KeyScriptBuffer& script,
                                      const std::function<void()>& extract_key_script);
    // open, then verdict: whether Parse would accept the file.
    std::optional<ImageMessage> check(const std::string& path);

    // The whole file into `image` (resized to it): no_memory when it cannot be had, wrong_binary when
    // the file cannot be read whole or changed. `image` is empty after a failure.
    std::optional<ImageMessage> read_whole(std::vector<std::uint8_t>& image) const;

    // True while every read succeeded and the file is as it was opened.
    bool unchanged() const;

    // The file's length in bytes; none until a file opened.
    std::optional<std::uint64_t> length() const { return length_; }
    // The open file, for a copy of its bytes; -1 when none is open.
    int descriptor() const { return fd_.get(); }
    void close();

    std::uint64_t size() const override { return length_.value_or(0); }
    bool read(std::uint64_t offset, std::span<std::uint8_t> out) const override;

private:
    platform::UniqueFd fd_;
    platform::FileVersion version_;
    std::optional<std::uint64_t> length_;
    mutable bool read_failed_ = false;
};

}  // namespace velmora
