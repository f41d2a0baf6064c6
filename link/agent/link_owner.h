// What a link agent needs from whoever owns it: the main view in the plug-in, a program without a
// window (the production-line tool), or a test. The agent reaches its owner only through this, so
// the same protocol code serves all of them.
//
// Threads: every member may be called from any of the agent's threads (its worker, the test and
// send-configuration threads, the connector's broadcasting thread) and from the UI thread. The view
// runs what touches widgets or the block on its UI thread and waits for it there; an owner without
// a window does the same under a lock. A call that shows a message box returns only when the user
// has answered. Members that report to a page return at once: the page hears of it later, on its
// own thread, in the order posted.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "config/config_block.h"
#include "link/link_values.h"

namespace velmora {

// The pages a test thread reports to when it ends (and, for the key map, after each key).
enum class LinkPage { front_panel, key_map, led_map };

// A message box's buttons and the user's answer.
enum class LinkBoxButtons { ok, retry_cancel };
enum class LinkBoxAnswer { ok, retry, cancel };

class link_owner {
public:
    // --- The view -------------------------------------------------------------------------------
    // The link status line; may wait for the UI thread.
    virtual void SetUpgInfo(UpgStatus status, std::int32_t current, std::int32_t total) = 0;
    // True while the view is online ("Connect with Panel" until Clear).
    virtual bool IsLinkOnline() const = 0;
    // The box has taken the block and runs the client; the worker sets and clears it.
    virtual bool panel_connected() const = 0;
    virtual void set_panel_connected(bool connected) = 0;
    // Runs `use` on the configuration block, alone: the view runs it on its UI thread and waits.
    virtual void with_config(const std::function<void(ConfigBlock&)>& use) = 0;
    // A message box with the application's caption; blocks until answered.
    virtual LinkBoxAnswer message_box(const std::string& text, LinkBoxButtons buttons) = 0;
    // Posts window message `message` (WindowMessage) to the page; returns at once.
    virtual void post_to_page(LinkPage page, int message) = 0;
    // `done` of `total` bytes of the current send have gone out. Called on the connector's thread
    // for each completion report; must return at once. An owner without a progress display ignores it.
    virtual void send_progress(std::uint32_t /*done*/, std::uint32_t /*total*/) {}
    // The link's state as a user sees it may have changed: a connection began or ended, a task thread
    // (send configuration, a panel test) ended, the port closed or opened. Called on any of the agent's
    // threads; must return at once.
    virtual void link_changed() {}

    // --- The pages' shared test state ------------------------------------------------------------
    // An owner without pages (a tool, a benchmark) keeps these defaults: no test is running, the key
    // capture has no target, and no LED pick waits. A test thread sleeps until told of a change:
    // whoever changes a running flag, a lamp key or an LED pick calls link_agent::page_changed after.

    // The front panel page's lamp test. The thread takes a key request, leaving LampKey::none in one
    // step, before it acts on it, so a key pressed meanwhile is the next request and never
    // overwritten; it sets none when it ends.
    virtual bool lamp_test_running() const { return false; }
    virtual LampKey take_lamp_key_request() { return LampKey::none; }
    virtual void set_lamp_key_request(LampKey /*request*/) {}

    // The key map page's key capture: whether the user has opened a cell to capture into (the thread
    // clears it when it ends), the page's number base for the thread's log lines, and the hand-over
    // of each key, after which the thread posts key_captured.
    virtual bool get_key_running() const { return false; }
    virtual bool has_capture_target() const { return false; }
    virtual void clear_capture_target() {}
    virtual bool keys_in_hex() const { return false; }
    virtual void SetCapturedKey(CapturedKey /*key*/) {}

    // The LED map page's dialogue: the pick waiting for the thread, taken once, and the map.
    virtual bool get_led_map_running() const { return false; }
    virtual std::optional<LedPick> take_led_pick() { return std::nullopt; }
    virtual void deliver_led_map(const std::array<std::uint8_t, 256>& /*map*/) {}

protected:
    link_owner() = default;
    ~link_owner() = default;
    link_owner(const link_owner&) = delete;
    link_owner& operator=(const link_owner&) = delete;
};

}  // namespace velmora
