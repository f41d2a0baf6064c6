// What the main view's status line says for each link status (link_values.h): the text of the
// "upg info:" label and whether "Connect with Panel" may be pressed. The agent reports three: idle
// while no connection runs, syncing while the client goes out, and transferring with the block's
// bytes taken so far.
//
// Callers may rely on: every status has an answer; a value outside the enum reads as idle (one blank,
// the button enabled). The function is pure and may be called from any thread.
#pragma once

#include <cstdint>
#include <string>

#include "link/link_values.h"

namespace velmora {

struct UpgInfo {
    std::string text;
    bool connect_enabled = true;
};

UpgInfo upg_info_for(UpgStatus status, std::int32_t current, std::int32_t total);

}  // namespace velmora
