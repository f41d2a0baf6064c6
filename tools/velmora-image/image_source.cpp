#include "tools/velmora-image/image_source.h"

#include "config/flash_image.h"
#include "platform/drive_path.h"
#include "script/key_script_extractor.h"

namespace velmora::image_tool {

std::optional<ImageMessage> ImageSource::map(const std::string& path, platform::MapAccess access) {
    if (path.empty()) {
        return ImageMessage::select_input;
    }
    switch (file_.open(platform::native_path(path), access)) {
        case platform::MapError::none:
            return std::nullopt;
        case platform::MapError::map_failed:
            return ImageMessage::no_memory;
        default:
            return ImageMessage::open_flash_failed;
    }
}

std::optional<ImageMessage> ImageSource::parse(const std::string& path, platform::MapAccess access,
                                               ConfigBlock& block, KeyScriptBuffer& script,
                                               ProcessRunner& runner) {
    if (auto message = map(path, access)) {
        return message;
    }
    if (ExtractConfig(bytes(), block, script, [&] { ExtractKeyScript(script, runner); }) == 0) {
        return ImageMessage::wrong_binary;
    }
    return std::nullopt;
}

std::optional<ImageMessage> ImageSource::open(const std::string& path) {
    if (auto message = map(path, platform::MapAccess::read_only)) {
        return message;
    }
    ConfigBlock block;
    KeyScriptBuffer script;
    if (ExtractConfig(bytes(), block, script, {}) == 0) {
        return ImageMessage::wrong_binary;
    }
    return std::nullopt;
}

}  // namespace velmora::image_tool
