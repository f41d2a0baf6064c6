// What every page dialog of the main view shares: it works on a form model that it is given (the
// view's PageSet holds it), moves the model's state to and from its controls, and shows the messages
// that a load, a store or a side-file button produces.
//
// Callers may rely on this:
// - load and store run the model's own load and store, with the controls pulled into the model before
//   and pushed back (load) or the failed check shown (store) after; they return the messages shown;
// - a caller that runs the model's load or store itself (PageSet) calls before_load, after_load,
//   before_store and after_store around it, which is exactly what load and store do;
// - every message is shown in a message box owned by the page (an empty caption is the application's).
#pragma once

#include <optional>

#include "config/config_block.h"
#include "framework/dialog.h"
#include "pages/models/page_message.h"
#include "pages/models/page_model.h"
#include "pages/models/side_file.h"

namespace velmora {

class PageDialog : public Dialog {
public:
    PageMessages load(ConfigBlock block);
    std::optional<PageMessage> store(ConfigBlock& block);

    // Around a load of the model: nothing before unless the page keeps some of its controls over a
    // load; after, the model into the controls, then the messages.
    virtual void before_load() {}
    void after_load(const PageMessages& messages);
    // Around a store: the controls into the model before; a failed check shown after.
    void before_store();
    void after_store(const std::optional<PageMessage>& failed);

protected:
    // `model` must outlive the page.
    explicit PageDialog(PageModel& model) : page_model_(model) {}

    // Controls into the model, before the model reads them.
    virtual void pull_controls() = 0;
    // The model into the controls, after the model changed them.
    virtual void push_controls() = 0;

    // The page's side-file buttons: the file dialog, the model's load or save, the page refreshed and
    // the messages shown; a cancelled dialog does nothing.
    void load_side_file_button(SideFileKind kind);
    void save_side_file_button(SideFileKind kind);

    void show_messages(const PageMessages& messages);

private:
    PageModel& page_model_;
};

}  // namespace velmora
