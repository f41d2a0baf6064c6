#include "pages/page_set.h"

namespace velmora {

PageMessages PageSet::LoadPages(const ConfigBlock& config) {
    PageMessages messages;
    for (PageModel* page : {static_cast<PageModel*>(&fp), static_cast<PageModel*>(&hw),
                            static_cast<PageModel*>(&key_map), static_cast<PageModel*>(&led_map)}) {
        PageMessages shown = page->load(config);
        messages.insert(messages.end(), shown.begin(), shown.end());
    }
    return messages;
}

PageMessages PageSet::StorePages(ConfigBlock& config) {
    PageMessages messages;
    for (PageModel* page : {static_cast<PageModel*>(&fp), static_cast<PageModel*>(&hw),
                            static_cast<PageModel*>(&key_map), static_cast<PageModel*>(&led_map)}) {
        if (auto check = page->store(config)) {
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

}  // namespace velmora
