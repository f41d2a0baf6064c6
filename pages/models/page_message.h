// What a page tells the user: the text and caption of one message box, and what kind of news it is.
//
// The window shows every message in a box; the command line prints the texts and decides from the
// kind whether it may still write an image (a failed check) or must stop (a refused side file).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velmora {

enum class MessageKind {
    success,       // "Load done!", "Finish to save file!"
    warning,       // the page carries on: "Wrong binary file, script error!"
    check_failed,  // a store stopped at a check; the fields before it are stored
    refused,       // a side file was not taken; nothing changed
};

struct PageMessage {
    MessageKind kind;
    std::string text;
    std::string caption;  // empty: the application's own caption

    bool operator==(const PageMessage&) const = default;
};

using PageMessages = std::vector<PageMessage>;

// A typed value that its field refuses, named as the pages name their fields: "The 'TV/AV' value is
// not valid!". The check's box has the application's caption.
inline PageMessage invalid_value_message(std::string_view field) {
    return {MessageKind::check_failed, "The '" + std::string(field) + "' value is not valid!", ""};
}

}  // namespace velmora
