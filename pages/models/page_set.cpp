#include "pages/models/page_set.h"

#include <array>

namespace velmora {

namespace {

// The one order of the pages.
std::array<PageModel*, 4> in_order(PageSet& pages) {
    return {&pages.fp, &pages.hw, &pages.key_map, &pages.led_map};
}

}  // namespace

PageMessages PageSet::LoadPages(const ConfigBlock& config, Hooks* hooks) {
    PageMessages messages;
    for (PageModel* page : in_order(*this)) {
        if (hooks != nullptr) {
            hooks->before_load(*page);
        }
        const PageMessages shown = page->load(config);
        if (hooks != nullptr) {
            hooks->after_load(*page, shown);
        }
        messages.insert(messages.end(), shown.begin(), shown.end());
    }
    return messages;
}

PageMessages PageSet::StorePages(ConfigBlock& config, Hooks* hooks) {
    PageMessages messages;
    for (PageModel* page : in_order(*this)) {
        if (hooks != nullptr) {
            hooks->before_store(*page);
        }
        const std::optional<PageMessage> check = page->store(config);
        if (hooks != nullptr) {
            hooks->after_store(*page, check);
        }
        if (check) {
            messages.push_back(*check);
        }
    }
    return messages;
}

PageModel& PageSet::page_for(SideFileKind kind) {
    switch (kind) {
        case SideFileKind::fp:
            return fp;
        case SideFileKind::hw:
            return hw;
        case SideFileKind::fpkey:
        case SideFileKind::ir1:
        case SideFileKind::ir2:
            return key_map;
        case SideFileKind::led:
            break;
    }
    return led_map;
}

void PageSet::set_test_thread_wake(const std::function<void()>& wake) {
    fp.wake_test_thread.set(wake);
    key_map.wake_test_thread.set(wake);
    led_map.wake_test_thread.set(wake);
}

}  // namespace velmora
