// Writing the generated image for Generate (Parse's file steps are FlashImageFile's).
//
// The file steps of the view's Generate, shared with the command line so both give the same messages
// and the same bytes, in the view's order: the output opens before the pages are stored, so an output
// that cannot be opened costs no page a store and shows only its own message. Generate never leaves a
// truncated or empty output and never destroys the input when it is chosen as the output: the image
// goes to a temporary file beside the output, which is renamed into place only when every byte was
// written.
//
// Two sources: the view writes the image it holds in memory (its own copy, taken at Parse, whatever
// happened to the file since); a command writes from the file it parsed, still open, streaming the
// untouched bytes into the new file (inside the kernel where it can) and putting the rewritten
// directory and records over them, so its memory does not grow with the image. A file that changed
// since it was opened (cut, grown or rewritten) is then refused with wrong_binary and nothing is
// written.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "config/config_block.h"
#include "config/flash_image_file.h"
#include "config/image_messages.h"
#include "platform/atomic_file.h"

namespace velmora {

// How Generate puts the new image on disk.
struct GenerateTarget {
    std::string path;
    platform::Durability durability = platform::Durability::synced;
};

// Generate: opens the output, then runs `store_pages` on `config`, writes the block back into `image`
// and saves the image. Returns the message to show: save_success only when the whole image is in
// place. Without an output path, or with one that cannot be opened, `store_pages` is not called and
// `config` and `image` stay as they were. `store_pages` may return false to abandon the run (a script
// that wants no image after a failed check): nothing is written and the result is save_failed.
ImageMessage generate_image(const GenerateTarget& output, std::span<std::uint8_t> image, ConfigBlock& config,
                            const std::function<bool(ConfigBlock&)>& store_pages);
// The same from the open file `source`, which is read and never written (it may be the output too: the
// new image replaces it only when whole).
ImageMessage generate_image(const GenerateTarget& output, const FlashImageFile& source, ConfigBlock& config,
                            const std::function<bool(ConfigBlock&)>& store_pages);

}  // namespace velmora
