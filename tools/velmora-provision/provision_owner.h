// The owner of one port's link agent in velmora-provision: no window, no pages. It keeps the block
// to upload under a lock, answers message boxes without a user (OK boxes with OK, the block timeout's
// retry/cancel box as the station chose) and hands everything it hears on to ProvisionEvents.
//
// Callers may rely on: every member is thread-safe and returns at once; the panel tests' flags read
// as "not running", so a test thread the agent might start ends at once.
#pragma once

#include <atomic>
#include <mutex>

#include "config/config_block.h"
#include "link/agent/link_owner.h"
#include "tools/velmora-provision/provision_events.h"

namespace velmora::provision {

class ProvisionOwner final : public link_owner {
public:
    ProvisionOwner(const ConfigBlock& block, LinkBoxAnswer on_block_timeout, ProvisionEvents& events);

    void set_online(bool online) { online_.store(online); }

    void SetUpgInfo(UpgStatus status, std::int32_t current, std::int32_t total) override;
    bool IsLinkOnline() const override { return online_.load(); }
    bool panel_connected() const override { return panel_connected_.load(); }
    void set_panel_connected(bool connected) override;
    void with_config(const std::function<void(ConfigBlock&)>& use) override;
    LinkBoxAnswer message_box(const std::string& text, LinkBoxButtons buttons) override;
    void post_to_page(LinkPage, int) override {}
    void send_progress(std::uint32_t done, std::uint32_t total) override;
    void link_changed() override { events_.on_link_changed(); }

private:
    const LinkBoxAnswer on_block_timeout_;
    ProvisionEvents& events_;
    std::atomic<bool> online_{false};
    std::atomic<bool> panel_connected_{false};
    std::mutex block_mutex_;
    ConfigBlock block_;
};

}  // namespace velmora::provision
