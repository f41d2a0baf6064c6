// Arbitrary bytes as a flash image: Parse's record step and Generate's write-back must never read or
// write outside the image, and a refused image must come back unchanged from the write-back.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "config/flash_image.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> image(data, data + size);
    ConfigBlock block;
    KeyScriptBuffer script;
    bool unpacked = false;
    const int parsed = ExtractConfig(image, block, script, [&] { unpacked = true; });
    if (script.size > KeyScriptBuffer::k_capacity || (parsed == 1 && !unpacked)) {
        std::abort();
    }
    const std::vector<std::uint8_t> before = image;
    const int written = WriteBackConfig(image, block);
    if (image.size() != before.size() || (written == 0 && image != before)) {
        std::abort();
    }
    return 0;
}
