// A flash image opened for a read-only command (info, dump, verify), checked as Parse checks it.
//
// Large images are mapped, not read: these commands touch only the directories and the records, so
// their cost does not grow with the image. The refusal rules are Parse's own: the file must open,
// directory A must hold a main record and directory B must be found, and nothing may point outside
// the image.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "config/config_block.h"
#include "config/image_messages.h"
#include "config/key_script_buffer.h"
#include "platform/mapped_file.h"
#include "script/process_runner.h"

namespace velmora::image_tool {

class ImageSource {
public:
    // Returns the message Parse would show, or nothing when the image is accepted.
    std::optional<ImageMessage> open(const std::string& path);
    // Only maps the file (Parse's file steps), leaving the records to the caller; a copy-on-write map
    // can be written back into without touching the file.
    std::optional<ImageMessage> map(const std::string& path, platform::MapAccess access);

    // Parse as the view does it: map the file, then ExtractConfig with the key script unpacked through
    // `runner` into a freshly zeroed `block` and `script`.
    std::optional<ImageMessage> parse(const std::string& path, platform::MapAccess access, ConfigBlock& block,
                                      KeyScriptBuffer& script, ProcessRunner& runner);

    std::span<const std::uint8_t> bytes() const { return file_.bytes(); }
    std::span<std::uint8_t> writable_bytes() { return file_.writable_bytes(); }

private:
    platform::MappedFile file_;
};

}  // namespace velmora::image_tool
