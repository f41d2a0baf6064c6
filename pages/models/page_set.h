// The four pages of the main view and the one order in which the window and velmora-image hand them
// the configuration block and collect it back.
//
// LoadPages gives each page its own copy of the block: front panel, hardware, key map, LED map.
// StorePages has each page write its fields into the block itself, in the same order; a store that
// stops at a check does not keep the next pages from storing. Both return every message the pages
// produced, in order.
//
// The models here are the pages' only state: the window's page dialogs work on them. A window passes
// its Hooks so that, page by page and in this order, it moves its controls into the model before the
// model runs and shows the model and its messages after.
#pragma once

#include <functional>
#include <optional>

#include "pages/models/fp_page_model.h"
#include "pages/models/hw_page_model.h"
#include "pages/models/key_map_model.h"
#include "pages/models/led_map_model.h"

namespace velmora {

class PageSet {
public:
    // What a window does around each page's load and store; `page` is one of the set's models.
    class Hooks {
    public:
        virtual void before_load(PageModel& page) = 0;
        virtual void after_load(PageModel& page, const PageMessages& messages) = 0;
        virtual void before_store(PageModel& page) = 0;
        virtual void after_store(PageModel& page, const std::optional<PageMessage>& failed) = 0;

    protected:
        ~Hooks() = default;
    };

    PageMessages LoadPages(const ConfigBlock& config, Hooks* hooks = nullptr);
    PageMessages StorePages(ConfigBlock& config, Hooks* hooks = nullptr);

    // The page whose buttons load and save side files of this kind.
    PageModel& page_for(SideFileKind kind);

    // What the pages with a link test (front panel, key map, LED map) call after each change of a flag
    // or request they share with the test thread.
    void set_test_thread_wake(const std::function<void()>& wake);

    FpPageModel fp;
    HwPageModel hw;
    KeyMapModel key_map;
    LedMapModel led_map;
};

}  // namespace velmora
