#include "config/image_file.h"

#include <vector>

#include "config/flash_image.h"
#include "platform/atomic_file.h"
#include "platform/drive_path.h"

namespace velmora {

ImageMessage generate_image(const GenerateTarget& target, std::span<std::uint8_t> image, ConfigBlock& config,
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
