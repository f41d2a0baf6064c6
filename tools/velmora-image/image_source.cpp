#include "tools/velmora-image/image_source.h"

#include "config/flash_image.h"
#include "platform/drive_path.h"

namespace velmora::image_tool {

std::optional<ImageMessage> ImageSource::open(const std::string& path) {
    if (path.empty()) {
        return ImageMessage::select_input;
    }
    if (file_.open(platform::native_path(path)) != platform::MapError::none) {
        return ImageMessage::open_flash_failed;
    }
    ConfigBlock block;
    KeyScriptBuffer script;
    if (ExtractConfig(bytes(), block, script, {}) == 0) {
        return ImageMessage::wrong_binary;
    }
    return std::nullopt;
}

}  // namespace velmora::image_tool
