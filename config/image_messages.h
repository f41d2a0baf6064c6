// Every message that Parse and Generate show, in one table, word for word as the users know them.
#pragma once

#include <string_view>

namespace velmora {

enum class ImageMessage {
    select_input,
    open_flash_failed,
    no_memory,
    wrong_binary,
    select_output,
    open_output_failed,
    save_failed,
    save_success,
};

struct MessageText {
    std::string_view text;
    std::string_view caption;  // of the message box
};

MessageText message_text(ImageMessage message);

}  // namespace velmora
