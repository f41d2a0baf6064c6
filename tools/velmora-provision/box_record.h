// One box on one port as the log keeps it.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "link/agent/link_owner.h"

namespace velmora::provision {

enum class BoxResult { done, failed, interrupted };

struct BoxMessageBox {
    std::string text;
    LinkBoxAnswer answer = LinkBoxAnswer::ok;
};

struct BoxRecord {
    std::string port;
    std::chrono::system_clock::time_point start;
    std::chrono::system_clock::time_point end;
    std::chrono::steady_clock::duration elapsed{};
    BoxResult result = BoxResult::failed;
    // Every text the agent wrote and every message box it showed, in order, word for word.
    std::vector<std::string> messages;
    std::vector<BoxMessageBox> message_boxes;
    std::optional<std::uint32_t> block_crc;  // none when no block went out
    std::uint64_t client_size = 0;
    std::uint32_t client_crc = 0;
};

}  // namespace velmora::provision
