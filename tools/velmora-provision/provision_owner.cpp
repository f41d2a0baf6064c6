#include "tools/velmora-provision/provision_owner.h"

#include "config/crc32.h"

namespace velmora::provision {

ProvisionOwner::ProvisionOwner(const ConfigBlock& block, LinkBoxAnswer on_block_timeout,
                               ProvisionEvents& events)
    : on_block_timeout_(on_block_timeout), events_(events), block_(block) {}

void ProvisionOwner::SetUpgInfo(UpgStatus status, std::int32_t current, std::int32_t total) {
    events_.on_status(status, current, total);
}

void ProvisionOwner::set_panel_connected(bool connected) {
    panel_connected_.store(connected);
    events_.on_panel_connected(connected);
}

void ProvisionOwner::with_config(const std::function<void(ConfigBlock&)>& use) {
    std::uint32_t crc = 0;
    {
        std::lock_guard lock(block_mutex_);
        use(block_);
        // What `use` leaves is what goes out: the upload writes the LED font in first.
        crc = crc32_update(k_crc32_initial, block_.bytes.data(), block_.bytes.size()) ^ k_crc32_initial;
    }
    events_.on_block_taken(crc);
}

LinkBoxAnswer ProvisionOwner::message_box(const std::string& text, LinkBoxButtons buttons) {
    const LinkBoxAnswer answer = buttons == LinkBoxButtons::ok ? LinkBoxAnswer::ok : on_block_timeout_;
    events_.on_message_box(text, answer);
    return answer;
}

void ProvisionOwner::send_progress(std::uint32_t done, std::uint32_t total) {
    events_.on_send_progress(done, total);
}

}  // namespace velmora::provision
