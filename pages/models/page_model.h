// The Qt-free half of a page: what its controls hold, and the page's rules for loading from the
// configuration block, storing into it, and its side files.
//
// The dialogs move this state to and from their controls; `velmora-image` drives the same models,
// so the window and the command line give the same bytes and the same messages.
#pragma once

#include <optional>

#include "config/config_block.h"
#include "pages/models/page_message.h"
#include "pages/models/page_view.h"
#include "pages/models/side_file.h"

namespace velmora {

class PageModel {
public:
    virtual ~PageModel() = default;

    // Load from block: takes a copy of the whole block and shows the page's fields. Messages are rare
    // (the key map page's script error).
    virtual PageMessages load(ConfigBlock block) = 0;

    // Store into block: writes the page's own fields in place, in the page's order, and stops at the
    // first failed check, returning its message (kind check_failed); the fields before it stay stored.
    virtual std::optional<PageMessage> store(ConfigBlock& block) = 0;

    // A side-file record read by the page's load button: apply it, or say why not (kind refused,
    // nothing changed). `kind` is one of the page's own side files.
    virtual std::optional<PageMessage> apply_side_record(SideFileKind kind, const ConfigBlock& record) = 0;

    // The record the page's save button writes, built into `record` (all zero when called). A failed
    // check's message means nothing may be written.
    virtual std::optional<PageMessage> build_side_record(SideFileKind kind, ConfigBlock& record) = 0;

    // What the page shows now.
    virtual PageView view() const = 0;
};

}  // namespace velmora
