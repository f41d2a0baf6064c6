#include "config/flash_image_file.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "config/flash_image.h"
#include "platform/regular_file.h"

namespace velmora {

namespace {

// The image's length is a 32-bit count everywhere downstream.
constexpr std::uint64_t k_max_image_bytes = std::numeric_limits<std::uint32_t>::max();
// Every byte where directory A's marker may lie: a file without it is refused before it is read.
constexpr std::size_t k_window_a_bytes = k_window_a.end - 1 + k_directory_marker.size();

}  // namespace

std::optional<ImageMessage> FlashImageFile::open(const std::string& path, platform::MapAccess access) {
    close();
    if (path.empty()) {
        return ImageMessage::select_input;
    }
    const platform::RegularFile file = platform::open_regular_file(std::filesystem::path(path));
    if (file.status != platform::RegularFileStatus::opened) {
        return ImageMessage::open_flash_failed;
    }
    length_ = file.size;
    if (file.size > k_max_image_bytes) {
        return ImageMessage::wrong_binary;
    }
    const auto size = static_cast<std::size_t>(file.size);

    std::vector<std::uint8_t> window(std::min(size, k_window_a_bytes));
    if (!platform::read_at(file.fd.get(), window, 0)) {
        return ImageMessage::wrong_binary;
    }
    if (find_marker(window, k_window_a) == k_no_marker) {
        // The record step finds no directory A in no bytes just as in the whole file, and refuses it
        // the same way, side effects included, without the file being read.
        return std::nullopt;
    }

    platform::FileBuffer bytes;
    if (!bytes.allocate(size)) {
        return ImageMessage::no_memory;
    }
    if (!platform::read_at(file.fd.get(), bytes.bytes(), 0) ||
        platform::current_size(file.fd.get()) != file.size) {
        return ImageMessage::wrong_binary;
    }
    bytes_ = std::move(bytes);
    writable_ = access == platform::MapAccess::copy_on_write;
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
    bytes_.release();
    length_.reset();
    writable_ = false;
}

}  // namespace velmora
