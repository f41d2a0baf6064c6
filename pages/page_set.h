// The four pages of the main view and the order in which the view hands them the configuration
// block and collects it back.
//
// LoadPages gives each page its own copy of the block: front panel, hardware, key map, LED map.
// StorePages has each page write its fields into the block itself, in the same order; a store that
// stops at a check does not keep the next pages from storing. Both return every message the pages
// produced, in order.
#pragma once

#include "pages/fp_page_model.h"
#include "pages/hw_page_model.h"
#include "pages/key_map_model.h"
#include "pages/led_map_model.h"

namespace velmora {

class PageSet {
public:
    PageMessages LoadPages(const ConfigBlock& config);
    PageMessages StorePages(ConfigBlock& config);

    // The page whose buttons load and save side files of this kind.
    PageModel& page_for(SideFileKind kind);

    FpPageModel fp;
    HwPageModel hw;
    KeyMapModel key_map;
    LedMapModel led_map;
};

}  // namespace velmora
