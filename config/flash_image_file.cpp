#include "config/flash_image_file.h"

#include <limits>
#include <new>
#include <utility>

#include "config/flash_image.h"

namespace velmora {

namespace {

// The image's length is a 32-bit count everywhere downstream.
constexpr std::uint64_t k_max_image_bytes = std::numeric_limits<std::uint32_t>::max();

}  // namespace

std::optional<ImageMessage> FlashImageFile::open(const std::string& path) {
    close();
    if (path.empty()) {
        return ImageMessage::select_input;
    }
    platform::RegularFile file = platform::open_regular_file(std::filesystem::path(path));
    if (file.status != platform::RegularFileStatus::opened) {
        return ImageMessage::open_flash_failed;
    }
    length_ = file.size;
    if (file.size > k_max_image_bytes) {
        return ImageMessage::wrong_binary;
    }
    fd_ = std::move(file.fd);
    version_ = file.version;
    return std::nullopt;
}

bool FlashImageFile::read(std::uint64_t offset, std::span<std::uint8_t> out) const {
    if (!fd_ || !inside_image(offset, out.size(), size()) || !platform::read_at(fd_.get(), out, offset)) {
        read_failed_ = true;
        return false;
    }
    return true;
}

bool FlashImageFile::unchanged() const {
    return fd_ && !read_failed_ && platform::file_version(fd_.get()) == version_;
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
    // A file refused on its size alone has no descriptor; it still gets the record step on no bytes,
    // which presets the key tables and finds no directory.
    if (!fd_) {
        return extract_from({}, block, script, extract_key_script);
    }
    if (ExtractConfig(*this, block, script, extract_key_script) == 0 || !unchanged()) {
        return ImageMessage::wrong_binary;
    }
    return std::nullopt;
}

std::optional<ImageMessage> FlashImageFile::verdict() const {
    ConfigBlock block;
    KeyScriptBuffer script;
    return extract(block, script, {});
}

std::optional<ImageMessage> FlashImageFile::parse(const std::string& path, ConfigBlock& block,
                                                  KeyScriptBuffer& script,
                                                  const std::function<void()>& extract_key_script) {
    if (auto message = open(path)) {
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

std::optional<ImageMessage> FlashImageFile::read_whole(std::vector<std::uint8_t>& image) const {
    image.clear();
    image.shrink_to_fit();
    try {
        image.resize(static_cast<std::size_t>(size()));
    } catch (const std::bad_alloc&) {
        return ImageMessage::no_memory;
    }
    if (!read(0, image) || !unchanged()) {
        image.clear();
        image.shrink_to_fit();
        return ImageMessage::wrong_binary;
    }
    return std::nullopt;
}

void FlashImageFile::close() {
    fd_.reset();
    length_.reset();
    version_ = {};
    read_failed_ = false;
}

}  // namespace velmora
