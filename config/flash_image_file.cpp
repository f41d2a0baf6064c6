#include "config/flash_image_file.h"

#include <filesystem>
#include <limits>
#include <system_error>

#include "config/flash_image.h"
#include "platform/drive_path.h"

namespace velmora {

namespace {

// The image's length is a 32-bit count everywhere downstream.
constexpr std::uint64_t k_max_image_bytes = std::numeric_limits<std::uint32_t>::max();

}  // namespace

std::optional<ImageMessage> FlashImageFile::open(const std::string& path, platform::MapAccess access) {
    close();
    if (path.empty()) {
        return ImageMessage::select_input;
    }
    const std::filesystem::path native = platform::native_path(path);
    switch (file_.open(native, access)) {
        case platform::MapError::none:
            break;
        case platform::MapError::map_failed: {
            // The file opened, so its length counts; one too large to map may still be one that the
            // size rule refuses first.
            std::error_code error;
            const std::uintmax_t size = std::filesystem::file_size(native, error);
            if (!error) {
                length_ = size;
                if (size > k_max_image_bytes) {
                    return ImageMessage::wrong_binary;
                }
            }
            return ImageMessage::no_memory;
        }
        default:
            return ImageMessage::open_flash_failed;
    }
    length_ = file_.bytes().size();
    if (*length_ > k_max_image_bytes) {
        file_.close();
        return ImageMessage::wrong_binary;
    }
    return std::nullopt;
}

std::optional<ImageMessage> FlashImageFile::extract_from(std::span<const std::uint8_t> image,
                                                         ConfigBlock& block, KeyScriptBuffer& script,
                                                         const std::function<void()>& extract_key_script) {
    if (ExtractConfig(image, block, script, extract_key_script) == 0) {
        return ImageMessage::wrong_binary;
    }
    return std::nullopt;
}

std::optional<ImageMessage> FlashImageFile::extract(ConfigBlock& block, KeyScriptBuffer& script,
                                                    const std::function<void()>& extract_key_script) const {
    return extract_from(bytes(), block, script, extract_key_script);
}

std::optional<ImageMessage> FlashImageFile::verdict() const {
    ConfigBlock block;
    KeyScriptBuffer script;
    return extract(block, script, {});
}

std::optional<ImageMessage> FlashImageFile::parse(const std::string& path, platform::MapAccess access,
                                                  ConfigBlock& block, KeyScriptBuffer& script,
                                                  const std::function<void()>& extract_key_script) {
    if (auto message = open(path, access)) {
        return message;
    }
    return extract(block, script, extract_key_script);
}

std::optional<ImageMessage> FlashImageFile::check(const std::string& path) {
    if (auto message = open(path)) {
        return message;
    }
    return verdict();
}

void FlashImageFile::close() {
    file_.close();
    length_.reset();
}

}  // namespace velmora
