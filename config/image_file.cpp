#include "config/image_file.h"

#include "config/flash_image.h"
#include "config/written_bytes.h"
#include "platform/atomic_file.h"

namespace velmora {

namespace {

// Generate's steps around the bytes: the output opens before the pages are stored, and only a whole
// new image replaces it. `write_image` writes the block back and the image into the output.
ImageMessage generate_with(const GenerateTarget& target, ConfigBlock& config,
                           const std::function<bool(ConfigBlock&)>& store_pages,
                           const std::function<ImageMessage(platform::AtomicFileWriter&)>& write_image) {
    if (target.path.empty()) {
        return ImageMessage::select_output;
    }
    platform::AtomicFileWriter output;
    if (!output.open(std::filesystem::path(target.path))) {
        return ImageMessage::open_output_failed;
    }
    if (store_pages && !store_pages(config)) {
        return ImageMessage::save_failed;
    }
    // On any failure the writer discards its temporary file; the output is untouched.
    if (const ImageMessage written = write_image(output); written != ImageMessage::save_success) {
        return written;
    }
    return output.commit(target.durability) ? ImageMessage::save_success : ImageMessage::save_failed;
}

}  // namespace

ImageMessage generate_image(const GenerateTarget& target, std::span<std::uint8_t> image, ConfigBlock& config,
                            const std::function<bool(ConfigBlock&)>& store_pages) {
    return generate_with(target, config, store_pages, [&](platform::AtomicFileWriter& output) {
        if (WriteBackConfig(image, config) == 0) {
            return ImageMessage::save_failed;
        }
        return output.write(image) ? ImageMessage::save_success : ImageMessage::save_failed;
    });
}

ImageMessage generate_image(const GenerateTarget& target, const FlashImageFile& source, ConfigBlock& config,
                            const std::function<bool(ConfigBlock&)>& store_pages) {
    return generate_with(target, config, store_pages, [&](platform::AtomicFileWriter& output) {
        WrittenBytes changes;
        if (WriteBackConfig(source, config, changes) == 0) {
            return source.unchanged() ? ImageMessage::save_failed : ImageMessage::wrong_binary;
        }
        bool written = output.copy_from(source.descriptor(), source.size());
        for (const WrittenBytes::Piece& piece : changes.pieces()) {
            written = written && output.write_at(piece.offset, piece.bytes);
        }
        // Checked after the copy: the bytes copied are the bytes parsed only if the file never changed.
        if (!source.unchanged()) {
            return ImageMessage::wrong_binary;
        }
        return written ? ImageMessage::save_success : ImageMessage::save_failed;
    });
}

}  // namespace velmora
