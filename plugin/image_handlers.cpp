// The main view's offline road: Parse reads the flash image and shows the pages, Generate collects
// the pages and writes the new image.
#include <optional>

#include "config/flash_image.h"
#include "config/flash_image_file.h"
#include "config/image_file.h"
#include "config/image_messages.h"
#include "framework/busy_cursor.h"
#include "framework/message_box.h"
#include "plugin/velmora_dlg.h"
#include "res/control_ids.h"
#include "script/key_script_extractor.h"

namespace velmora {

namespace {

void show_image_message(QWidget* owner, ImageMessage message) {
    const MessageText text = message_text(message);
    message_box(owner, std::string(text.text), std::string(text.caption));
}

}  // namespace

void CVelmoraDlg::OnParse() {
    BusyCursor busy;
    const auto refuse = [&](ImageMessage message) {
        busy.restore();
        show_image_message(this, message);
    };
    FlashImageFile file;
    if (const std::optional<ImageMessage> failed = file.open(input_path)) {
        // A file that opened and was refused takes the old image with it.
        if (file.length()) {
            image.clear();
            image.shrink_to_fit();
        }
        refuse(*failed);
        return;
    }
    image.clear();
    image.shrink_to_fit();
    // The record step runs on the file, which reads only its directories and records, so a large file
    // that is no image is refused without being read whole. A refused image still takes it: the block
    // gets the default key tables and what records were read, and the key script is unpacked when
    // directory B is sound.
    if (file.extract(config, script_buf, [this] { ExtractKeyScript(script_buf, *runner); })) {
        refuse(ImageMessage::wrong_binary);
        return;
    }
    // The view holds its own copy, so Generate writes this Parse's image whatever happens to the file
    // on disk afterwards. The copy is refused when the file changed since it was opened, so the block
    // always comes from the bytes the view holds.
    if (const std::optional<ImageMessage> unread = file.read_whole(image)) {
        refuse(*unread);
        return;
    }
    file.close();
    // The pages may show their own messages.
    busy.restore();

    LoadPages();
    // The tree never scrolls, so its first visible item is "Front Panel" whatever is selected.
    ShowPage(tree_first_visible_text(main_form_id::k_page_tree));
    ShowMainControls(true);
    ui_.page_tree->setFocus(Qt::OtherFocusReason);  // not to "Clear", where a disabled Parse would send it
    ui_.parse_button->setEnabled(false);
}

void CVelmoraDlg::OnGenerate() {
    BusyCursor busy;
    GenerateTarget target;
    target.path = output_path;  // kept on disk before it counts as saved (the default durability)
    // generate_image opens the output before it calls the stores: an output that cannot be opened
    // leaves `config` as it was and shows no page message.
    bool checks_passed = true;
    const ImageMessage result =
        generate_image(target, image, config, [this, &busy, &checks_passed](ConfigBlock&) {
            // The pages store into `config` itself, which is the block generate_image writes back. Their
            // check messages are not shown under the wait cursor.
            busy.restore();
            checks_passed = StorePages();
            busy.show();
            return checks_passed;
        });
    busy.restore();
    // A failed check has shown its message: no image is written, and no other word follows it.
    if (checks_passed) {
        show_image_message(this, result);
    }
}

void CVelmoraDlg::LoadPages() {
    // PageSet's order, which velmora-image follows too; each load gets its own copy, so no page can
    // change `config` while it loads. The hooks let the dialogs show their pages.
    pages.LoadPages(config, this);
}

bool CVelmoraDlg::StorePages() {
    // A store that stops at a check keeps none of the others from storing, so every page's check
    // message is shown.
    return pages.StorePages(config, this).empty();
}

}  // namespace velmora
