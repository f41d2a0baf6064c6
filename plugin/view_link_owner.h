// The main view as the link agent's owner: what the agent's threads may ask of the view and its
// pages, made safe to ask from any thread.
//
// Callers may rely on:
// - the status line, the block and message boxes are reached on the UI thread, the caller waiting
//   (call_on_ui_thread); the pages' flags are their models' atomics; posts to a page return at once;
// - after close() nothing waits for the UI thread any more: the status line and the block are left
//   alone and a message box answers as if cancelled. The view closes its owner before it stops the
//   agent, so that stopping never waits for a UI thread that is busy stopping it.
#pragma once

#include <atomic>

#include "link/agent/link_owner.h"

namespace velmora {

class CVelmoraDlg;

class ViewLinkOwner final : public link_owner {
public:
    explicit ViewLinkOwner(CVelmoraDlg& view) : view_(view) {}

    void close() { closed_.store(true); }

    void SetUpgInfo(UpgStatus status, std::int32_t current, std::int32_t total) override;
    bool IsLinkOnline() const override;
    bool panel_connected() const override;
    void set_panel_connected(bool connected) override;
    void with_config(const std::function<void(ConfigBlock&)>& use) override;
    LinkBoxAnswer message_box(const std::string& text, LinkBoxButtons buttons) override;
    void post_to_page(LinkPage page, int message) override;
    void send_progress(std::uint32_t done, std::uint32_t total) override;
    void link_changed() override;

    bool lamp_test_running() const override;
    LampKey take_lamp_key_request() override;
    void set_lamp_key_request(LampKey request) override;

    bool get_key_running() const override;
    bool has_capture_target() const override;
    void clear_capture_target() override;
    bool keys_in_hex() const override;
    void SetCapturedKey(CapturedKey captured) override;

    bool get_led_map_running() const override;
    std::optional<LedPick> take_led_pick() override;
    void deliver_led_map(const std::array<std::uint8_t, 256>& map) override;

private:
    CVelmoraDlg& view_;
    std::atomic<bool> closed_{false};
};

}  // namespace velmora
