// Text that an image carries (the key names of its script, and the page cells that show them) made
// safe to print: for a terminal, and for JSON.
//
// An image may hold any bytes where a name is expected: a name cut at 19 bytes through a multibyte
// character, a raw 0xFF, an ESC sequence that would recolour the terminal. Callers may rely on:
// - `replace_invalid_utf8` always returns valid UTF-8; valid UTF-8 comes back unchanged, and each
//   maximal piece of a sequence that is not UTF-8 becomes one U+FFFD, as the Unicode standard
//   recommends (so a name cut through a character ends in one U+FFFD).
// - `escape_for_terminal` always returns valid UTF-8 with no control character: C0 controls, DEL and
//   bytes that are not UTF-8 become "\x1b"-style escapes (one per byte), C1 controls "\u0085"-style
//   escapes (the terminal pane of velmora-host shows the same forms); other text is unchanged.
// - `json_report` never throws for any string in the document and always gives JSON that parses.
// None of them keeps state; all may be called from any thread.
#pragma once

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace velmora::image_tool {

bool is_utf8(std::string_view bytes);
std::string replace_invalid_utf8(std::string_view bytes);
std::string escape_for_terminal(std::string_view bytes);

// A JSON string holding `bytes` as `replace_invalid_utf8` gives them.
nlohmann::json json_text(std::string_view bytes);

// The report as velmora-image prints it: indented by two, ending with a line end.
std::string json_report(const nlohmann::json& report);

}  // namespace velmora::image_tool
