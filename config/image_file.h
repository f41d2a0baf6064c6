// Reading a flash image from disk for Parse, and writing the generated image for Generate.
//
// These are the file steps of the view's Parse and Generate, shared with the command line so both
// give the same messages and the same bytes. Generate never leaves a truncated or empty output and
// never destroys the input when it is chosen as the output: the image goes to a temporary file beside
// the output, which is renamed into place only when every byte was written.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "config/config_block.h"
#include "config/image_messages.h"
#include "platform/atomic_file.h"

namespace velmora {

// Reads the whole file at `input_path` into `image`. Returns the message to show on failure: with no
// path or a file that cannot be opened the old image stays; from then on a failure leaves `image` empty.
std::optional<ImageMessage> ReadFlashImage(std::string_view input_path, std::vector<std::uint8_t>& image);

// How Generate puts the new image on disk.
struct GenerateTarget {
    std::string path;
    platform::Durability durability = platform::Durability::synced;
    // When set, the image is this file's bytes changed only where the records are written back: the
    // output is then a copy of the file (made in the kernel, as cp does) with those ranges rewritten.
    std::string unchanged_source;
};

// Generate: opens the output, runs `store_pages` on `config`, writes the block back into `image` and
// saves the image. Returns the message to show: save_success only when the whole image is in place.
// `store_pages` may return false to abandon the run (a script that wants no image after a failed
// check): nothing is written and the result is save_failed.
ImageMessage GenerateImage(const GenerateTarget& output, std::span<std::uint8_t> image, ConfigBlock& config,
                           const std::function<bool(ConfigBlock&)>& store_pages);

}  // namespace velmora
