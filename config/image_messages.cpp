#include "config/image_messages.h"

#include <array>

namespace velmora {

namespace {

struct Row {
    ImageMessage message;
    MessageText text;
};

constexpr std::array k_messages{
    Row{ImageMessage::select_input, {"Please select input file!", "error"}},
    Row{ImageMessage::open_flash_failed, {"Failed to open the flash file!", "error"}},
    Row{ImageMessage::no_memory, {"no memery!", "error"}},
    Row{ImageMessage::wrong_binary, {"Wrong binary file!", "error"}},
    Row{ImageMessage::select_output, {"Please select output file!", "error"}},
    Row{ImageMessage::open_output_failed, {"Can't open output file!", "error"}},
    Row{ImageMessage::save_failed, {"Save Data Failed!!", "Error"}},
    Row{ImageMessage::save_success, {"Save Data Success!", "Success"}},
};

constexpr bool rows_in_order() {
    for (std::size_t i = 0; i < k_messages.size(); ++i) {
        if (static_cast<std::size_t>(k_messages[i].message) != i) {
            return false;
        }
    }
    return true;
}
static_assert(rows_in_order());

}  // namespace

MessageText message_text(ImageMessage message) {
    return k_messages.at(static_cast<std::size_t>(message)).text;
}

}  // namespace velmora
