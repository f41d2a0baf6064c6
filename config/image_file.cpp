#include "config/image_file.h"

#include <sys/stat.h>

#include <cstdio>
#include <limits>
#include <memory>
#include <new>

#include "config/flash_image.h"
#include "platform/atomic_file.h"
#include "platform/drive_path.h"
#include "platform/file_system.h"

namespace velmora {

namespace {

using platform::FilePtr;

}  // namespace

std::optional<ImageMessage> ReadFlashImage(std::string_view input_path, std::vector<std::uint8_t>& image) {
    if (input_path.empty()) {
        return ImageMessage::select_input;
    }
    FilePtr file(platform::open_file(input_path, "rb"));
    struct stat info {};
    // A directory opens for reading on Linux but is no flash file.
    if (!file || ::fstat(::fileno(file.get()), &info) != 0 || S_ISDIR(info.st_mode)) {
        return ImageMessage::open_flash_failed;
    }
    if (std::fseek(file.get(), 0, SEEK_END) != 0) {
        return ImageMessage::open_flash_failed;
    }
    const long length = std::ftell(file.get());
    std::rewind(file.get());

    image.clear();
    image.shrink_to_fit();
    // The image's size is a 32-bit count everywhere downstream.
    if (length < 0 || static_cast<unsigned long>(length) > std::numeric_limits<std::uint32_t>::max()) {
        return ImageMessage::wrong_binary;
    }
    try {
        image.resize(static_cast<std::size_t>(length));
    } catch (const std::bad_alloc&) {
        return ImageMessage::no_memory;
    }
    if (std::fread(image.data(), 1, image.size(), file.get()) != image.size()) {
        image.clear();
        image.shrink_to_fit();
        return ImageMessage::wrong_binary;
    }
    return std::nullopt;
}

ImageMessage GenerateImage(const GenerateTarget& target, std::span<std::uint8_t> image, ConfigBlock& config,
                           const std::function<bool(ConfigBlock&)>& store_pages) {
    if (target.path.empty()) {
        return ImageMessage::select_output;
    }
    platform::AtomicFileWriter output;
    if (!output.open(platform::native_path(target.path))) {
        return ImageMessage::open_output_failed;
    }
    if (store_pages && !store_pages(config)) {
        return ImageMessage::save_failed;
    }
    std::vector<ByteRange> written;
    if (WriteBackConfig(image, config, &written) == 0) {
        return ImageMessage::save_failed;  // the writer discards its temporary file; the output is untouched
    }
    bool stored = false;
    if (target.unchanged_source.empty()) {
        stored = output.write(image);
    } else {
        stored = output.copy_from(platform::native_path(target.unchanged_source), image.size());
        for (const ByteRange& range : written) {
            stored = stored && output.write_at(range.offset, image.subspan(range.offset, range.length));
        }
    }
    if (!stored || !output.commit(target.durability)) {
        return ImageMessage::save_failed;
    }
    return ImageMessage::save_success;
}

}  // namespace velmora
