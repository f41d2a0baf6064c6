// What the main view's status line says for each link status: the text of the "upg info:" label and
// whether "Connect with Panel" may be pressed.
//
// Callers may rely on: every status has an answer; a status the table does not know reads as idle
// (one blank, the button enabled). The function is pure and may be called from any thread.
#pragma once

#include <cstdint>
#include <string>

namespace velmora {

// The statuses of the status line. The link agent reports idle (at the end of every connection),
// syncing and transferring through SetUpgInfo; reset_box and send_end are never reported, and have
// their texts only so that every status has an answer.
enum class UpgStatus : std::int32_t {
    idle = 0,
    reset_box = 1,
    syncing = 2,
    transferring = 4,
    send_end = 5,
};

struct UpgInfo {
    std::string text;
    bool connect_enabled = true;
};

UpgInfo upg_info_for(std::int32_t status, std::int32_t current, std::int32_t total);

}  // namespace velmora
