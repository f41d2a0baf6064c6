// What a provisioning owner hears from its link agent, handed on to whoever follows the box.
//
// Callers may rely on: every member may be called from any of the agent's threads and the
// connector's thread, and must return at once.
#pragma once

#include <cstdint>
#include <string>

#include "link/agent/link_owner.h"

namespace velmora::provision {

class ProvisionEvents {
public:
    // The link status line: syncing while the client goes out, transferring with the block's bytes
    // taken so far, idle when the link is done with a box (whatever the result).
    virtual void on_status(UpgStatus status, std::int32_t current, std::int32_t total) = 0;
    // True once the box has taken the block and runs the client, false when the upload failed.
    virtual void on_panel_connected(bool connected) = 0;
    virtual void on_message_box(const std::string& text, LinkBoxAnswer answer) = 0;
    virtual void on_send_progress(std::uint32_t done, std::uint32_t total) = 0;
    // The CRC-32 of the whole block as it goes to the box.
    virtual void on_block_taken(std::uint32_t crc) = 0;
    // The link's state may have changed (link_owner::link_changed): a waiter looks at it again.
    virtual void on_link_changed() = 0;

protected:
    ProvisionEvents() = default;
    ~ProvisionEvents() = default;
};

}  // namespace velmora::provision
