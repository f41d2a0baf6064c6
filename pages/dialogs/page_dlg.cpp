#include "pages/dialogs/page_dlg.h"

#include "pages/dialogs/side_file_dlg.h"

namespace velmora {

PageMessages PageDialog::load(ConfigBlock block) {
    before_load();
    PageMessages messages = page_model_.load(block);
    after_load(messages);
    return messages;
}

std::optional<PageMessage> PageDialog::store(ConfigBlock& block) {
    before_store();
    auto failed = page_model_.store(block);
    after_store(failed);
    return failed;
}

void PageDialog::after_load(const PageMessages& messages) {
    push_controls();
    show_messages(messages);
}

void PageDialog::before_store() {
    pull_controls();
}

void PageDialog::after_store(const std::optional<PageMessage>& failed) {
    if (failed) {
        show_messages({*failed});
    }
}

void PageDialog::load_side_file_button(SideFileKind kind) {
    pull_controls();
    if (auto messages = run_side_file_load(this, page_model_, kind)) {
        push_controls();
        show_messages(*messages);
    }
}

void PageDialog::save_side_file_button(SideFileKind kind) {
    pull_controls();
    if (auto messages = run_side_file_save(this, page_model_, kind)) {
        show_messages(*messages);
    }
}

void PageDialog::show_messages(const PageMessages& messages) {
    show_page_messages(this, messages);
}

}  // namespace velmora
