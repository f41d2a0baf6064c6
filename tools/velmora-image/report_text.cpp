#include "tools/velmora-image/report_text.h"

#include <cstddef>
#include <cstdint>

#include "platform/utf8.h"

namespace velmora::image_tool {

namespace {

constexpr std::string_view k_replacement = "\xEF\xBF\xBD";  // U+FFFD
constexpr char k_hex_digits[] = "0123456789abcdef";
constexpr std::uint8_t k_last_c0_control = 0x1F;
constexpr std::uint8_t k_delete = 0x7F;
constexpr std::uint8_t k_c1_lead = 0xC2;               // U+0080..U+00BF are C2 80..C2 BF
constexpr std::uint8_t k_last_c1_continuation = 0x9F;  // and the C1 controls end at U+009F

// One step through the bytes: a whole UTF-8 sequence, or the longest start of one that the next
// byte breaks (at least one byte).
struct Utf8Step {
    std::size_t length;
    bool valid;
};

Utf8Step next_step(std::string_view bytes, std::size_t at) {
    const auto lead = static_cast<std::uint8_t>(bytes[at]);
    const std::size_t length = platform::utf8_sequence_length(lead);
    if (length == 0) {
        return {1, false};
    }
    for (std::size_t k = 1; k < length; ++k) {
        if (at + k >= bytes.size()) {
            return {k, false};
        }
        const auto byte = static_cast<std::uint8_t>(bytes[at + k]);
        const bool fits =
            k == 1 ? platform::utf8_second_byte_fits(lead, byte) : platform::utf8_is_continuation(byte);
        if (!fits) {
            return {k, false};
        }
    }
    return {length, true};
}

void append_escape(std::string& out, char kind, std::uint8_t byte) {
    out += '\\';
    out += kind;
    if (kind == 'u') {
        out += "00";
    }
    out += k_hex_digits[byte >> 4];
    out += k_hex_digits[byte & 0x0F];
}

}  // namespace

bool is_utf8(std::string_view bytes) {
    for (std::size_t at = 0; at < bytes.size();) {
        const Utf8Step step = next_step(bytes, at);
        if (!step.valid) {
            return false;
        }
        at += step.length;
    }
    return true;
}

std::string replace_invalid_utf8(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (std::size_t at = 0; at < bytes.size();) {
        const Utf8Step step = next_step(bytes, at);
        if (step.valid) {
            text += bytes.substr(at, step.length);
        } else {
            text += k_replacement;
        }
        at += step.length;
    }
    return text;
}

std::string escape_for_terminal(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (std::size_t at = 0; at < bytes.size();) {
        const Utf8Step step = next_step(bytes, at);
        const auto lead = static_cast<std::uint8_t>(bytes[at]);
        if (!step.valid) {
            for (std::size_t k = 0; k < step.length; ++k) {
                append_escape(text, 'x', static_cast<std::uint8_t>(bytes[at + k]));
            }
        } else if (step.length == 1 && (lead <= k_last_c0_control || lead == k_delete)) {
            append_escape(text, 'x', lead);
        } else if (lead == k_c1_lead && static_cast<std::uint8_t>(bytes[at + 1]) <= k_last_c1_continuation) {
            append_escape(text, 'u', static_cast<std::uint8_t>(bytes[at + 1]));
        } else {
            text += bytes.substr(at, step.length);
        }
        at += step.length;
    }
    return text;
}

nlohmann::json json_text(std::string_view bytes) {
    return replace_invalid_utf8(bytes);
}

std::string json_report(const nlohmann::json& report) {
    // Every text from an image goes through json_text; replacing here as well keeps a report whole
    // should a field ever miss it, where the library would otherwise throw halfway through.
    return report.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

}  // namespace velmora::image_tool
