// Arbitrary bytes as a key name in velmora-image's reports: the JSON must always parse and give the
// name back as replace_invalid_utf8 gives it, and the terminal's text must be UTF-8 with no control
// character. Bytes that the library would have to replace itself (a field that missed json_text)
// must not stop the report either.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "tools/velmora-image/report_text.h"

using namespace velmora::image_tool;

namespace {

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

bool has_control(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<std::uint8_t>(text[i]);
        const bool c1 = byte == 0xC2 && i + 1 < text.size() &&
                        static_cast<std::uint8_t>(text[i + 1]) <= 0x9F &&
                        static_cast<std::uint8_t>(text[i + 1]) >= 0x80;
        if (byte < 0x20 || byte == 0x7F || c1) {
            return true;
        }
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    const std::string decoded = replace_invalid_utf8(bytes);
    require(is_utf8(decoded));
    require(!is_utf8(bytes) || decoded == bytes);

    const std::string escaped = escape_for_terminal(bytes);
    require(is_utf8(escaped));
    require(!has_control(escaped));

    const nlohmann::json report{
        {"name", json_text(bytes)}, {"names", {json_text(bytes), "fixed"}}, {"raw", bytes}};
    try {
        const nlohmann::json parsed = nlohmann::json::parse(json_report(report));
        require(parsed["name"] == decoded);
        require(parsed["names"][0] == decoded);
        require(is_utf8(parsed["raw"].get<std::string>()));
    } catch (const nlohmann::json::exception&) {
        std::abort();
    }
    return 0;
}
