// The main view's offline road: Parse reads the flash image and shows the pages, Generate collects
// the pages and writes the new image.
#include <filesystem>
#include <limits>
#include <optional>
#include <system_error>

#include "config/flash_image.h"
#include "config/image_file.h"
#include "config/image_messages.h"
#include "framework/message_box.h"
#include "platform/drive_path.h"
#include "plugin/velmora_dlg.h"
#include "script/key_script_extractor.h"

namespace velmora {

namespace {

void show_image_message(QWidget* owner, ImageMessage message) {
    const MessageText text = message_text(message);
    message_box(owner, std::string(text.text), std::string(text.caption));
}

// The length of the file Parse tried to read, for a read that failed after the file was opened.
std::uint32_t file_length(const std::string& path) {
    std::error_code error;
    const auto length = std::filesystem::file_size(platform::native_path(path), error);
    if (error || length > std::numeric_limits<std::uint32_t>::max()) {
        return 0;
    }
    return static_cast<std::uint32_t>(length);
}

}  // namespace

void CVelmoraDlg::OnParse() {
    if (const std::optional<ImageMessage> failed = ReadFlashImage(input_path, image)) {
        // Without a path or an openable file the old image stays; later failures leave none.
        if (*failed != ImageMessage::select_input && *failed != ImageMessage::open_flash_failed) {
            image_size = file_length(input_path);
        }
        show_image_message(this, *failed);
        return;
    }
    image_size = static_cast<std::uint32_t>(image.size());

    // The block may already hold the default key tables and some records when this refuses the
    // image; the pages keep showing their old contents until a Parse succeeds.
    if (ExtractConfig(image, config, script_buf, [this] { ExtractKeyScript(script_buf, *runner); }) == 0) {
        image.clear();
        image.shrink_to_fit();
        show_image_message(this, ImageMessage::wrong_binary);
        return;
    }

    LoadPages();
    // The tree never scrolls, so its first visible item is "Front Panel" whatever is selected.
    ShowPage(tree_first_visible_text(k_id_tree));
    ShowMainControls(true);
    enable_control(k_id_parse, false);
}

void CVelmoraDlg::OnGenerate() {
    GenerateTarget target;
    target.path = output_path;  // kept on disk before it counts as saved (the default durability)
    const ImageMessage result = GenerateImage(target, image, config, [this](ConfigBlock&) {
        // The pages store into `config` itself, which is the block GenerateImage writes back.
        StorePages();
        return true;
    });
    show_image_message(this, result);
}

void CVelmoraDlg::LoadPages() {
    // Each load gets its own copy, so no page can change `config` while it loads. The two dialogs
    // show their own messages; the view shows those of the pages it keeps as models.
    fp_page.load(config);
    hw_page.load(config);
    show_messages(pages.key_map.load(config));
    show_messages(pages.led_map.load(config));
}

void CVelmoraDlg::StorePages() {
    // A store that stops at a check keeps none of the others from storing.
    fp_page.store(config);
    hw_page.store(config);
    if (const std::optional<PageMessage> failed = pages.key_map.store(config)) {
        show_messages({*failed});
    }
    if (const std::optional<PageMessage> failed = pages.led_map.store(config)) {
        show_messages({*failed});
    }
}

}  // namespace velmora
