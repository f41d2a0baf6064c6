#include "plugin/view_link_owner.h"

#include <QMetaObject>

#include "framework/call_on_ui_thread.h"
#include "framework/message_box.h"
#include "framework/window_message.h"
#include "plugin/velmora_dlg.h"

namespace velmora {

void ViewLinkOwner::SetUpgInfo(UpgStatus status, std::int32_t current, std::int32_t total) {
    if (!closed_.load()) {
        view_.SetUpgInfo(status, current, total);
    }
}

bool ViewLinkOwner::IsLinkOnline() const {
    return view_.IsLinkOnline();
}

bool ViewLinkOwner::panel_connected() const {
    return view_.panel_connected.load();
}

void ViewLinkOwner::set_panel_connected(bool connected) {
    view_.panel_connected.store(connected);
}

void ViewLinkOwner::with_config(const std::function<void(ConfigBlock&)>& use) {
    if (!closed_.load()) {
        call_on_ui_thread([this, &use] { use(view_.config); });
    }
}

LinkBoxAnswer ViewLinkOwner::message_box(const std::string& text, LinkBoxButtons buttons) {
    const bool retry_cancel = buttons == LinkBoxButtons::retry_cancel;
    if (closed_.load()) {
        return retry_cancel ? LinkBoxAnswer::cancel : LinkBoxAnswer::ok;
    }
    switch (velmora::message_box(&view_, text, {},
                                 retry_cancel ? MessageButtons::retry_cancel : MessageButtons::ok)) {
        case MessageResult::retry:
            return LinkBoxAnswer::retry;
        case MessageResult::cancel:
            return LinkBoxAnswer::cancel;
        case MessageResult::ok:
            break;
    }
    return LinkBoxAnswer::ok;
}

void ViewLinkOwner::post_to_page(LinkPage page, int message) {
    switch (page) {
        case LinkPage::front_panel:
            post_message(&view_.fp_page, message);
            break;
        case LinkPage::key_map:
            post_message(&view_.key_map_page, message);
            break;
        case LinkPage::led_map:
            post_message(&view_.led_map_page, message);
            break;
    }
}

void ViewLinkOwner::send_progress(std::uint32_t done, std::uint32_t total) {
    if (!closed_.load()) {
        view_.transfer_progress()->report(done, total);
    }
}

void ViewLinkOwner::link_changed() {
    if (!closed_.load()) {
        // Queued on the view: dropped when the view is gone before it runs.
        QMetaObject::invokeMethod(
            &view_, [view = &view_] { view->show_link_state(); }, Qt::QueuedConnection);
    }
}

bool ViewLinkOwner::lamp_test_running() const {
    return view_.pages.fp.lamp_test_running.load();
}

LampKey ViewLinkOwner::take_lamp_key_request() {
    return view_.pages.fp.lamp_key_request.exchange(LampKey::none);
}

void ViewLinkOwner::set_lamp_key_request(LampKey request) {
    view_.pages.fp.lamp_key_request.store(request);
}

bool ViewLinkOwner::get_key_running() const {
    return view_.pages.key_map.get_key_running.load();
}

bool ViewLinkOwner::has_capture_target() const {
    return view_.pages.key_map.capture_target.load() != KeyList::none;
}

void ViewLinkOwner::clear_capture_target() {
    view_.pages.key_map.capture_target.store(KeyList::none);
}

bool ViewLinkOwner::keys_in_hex() const {
    return view_.pages.key_map.number_base() == NumberBase::hexadecimal;
}

void ViewLinkOwner::SetCapturedKey(CapturedKey captured) {
    view_.pages.key_map.SetCapturedKey(captured);
}

bool ViewLinkOwner::get_led_map_running() const {
    return view_.pages.led_map.get_led_map_running.load();
}

std::optional<LedPick> ViewLinkOwner::take_led_pick() {
    if (const std::optional<std::uint8_t> item = view_.pages.led_map.take_pick()) {
        return static_cast<LedPick>(*item);
    }
    return std::nullopt;
}

void ViewLinkOwner::deliver_led_map(const std::array<std::uint8_t, 256>& map) {
    view_.pages.led_map.deliver_led_map(map);
}

}  // namespace velmora
