#include "config/image_file.h"

#include "config/flash_image.h"
#include "platform/atomic_file.h"

namespace velmora {

ImageMessage generate_image(const GenerateTarget& target, std::span<std::uint8_t> image, ConfigBlock& config,
                            const std::function<bool(ConfigBlock&)>& store_pages) {
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
    if (WriteBackConfig(image, config) == 0) {
        return ImageMessage::save_failed;  // the writer discards its temporary file; the output is untouched
    }
    if (!output.write(image) || !output.commit(target.durability)) {
        return ImageMessage::save_failed;
    }
    return ImageMessage::save_success;
}

}  // namespace velmora
