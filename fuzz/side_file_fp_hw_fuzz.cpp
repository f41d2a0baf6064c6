// Arbitrary bytes as a .fp or .hw record and arbitrary user input on the front panel page, the
// hardware page and the power wave dialog: loading must take any record, and every store must stay
// inside its page's bits and bytes, come out the same as the side record it builds, and be read back
// to the same bytes.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "pages/models/fp_page_model.h"
#include "pages/models/hw_page_model.h"
#include "pages/models/power_wave_model.h"

using namespace velmora;

namespace {

constexpr std::size_t k_max_text = 24;

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

ConfigBlock consume_block(FuzzedDataProvider& input, std::uint8_t padding) {
    ConfigBlock block;
    block.bytes.fill(padding);
    const auto bytes =
        input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange<std::size_t>(0, block.bytes.size()));
    std::copy(bytes.begin(), bytes.end(), block.bytes.begin());
    return block;
}

int consume_index(FuzzedDataProvider& input) {
    return input.ConsumeIntegralInRange(-2, 7);
}

void maybe_set(FuzzedDataProvider& input, std::string& text) {
    if (input.ConsumeBool()) {
        text = input.ConsumeRandomLengthString(k_max_text);
    }
}

// The bits of the front panel bytes that the page owns; everything else must survive a store.
std::uint8_t fp_owned_bits(std::size_t offset) {
    switch (offset) {
        case 0:
        case 1:
        case 2:
        case 3:
        case 4:
        case 6:
            return 0xFF;
        case 5:
            return 0x0F;
        case 8:
        case 9:
        case 10:
        case 20:
        case 21:
            return 0xFD;
        case 22:
            return 0xFC;
        default:
            return 0x00;
    }
}

void require_only_owned_changed(const ConfigBlock& before, const ConfigBlock& after,
                                std::uint8_t (*owned)(std::size_t)) {
    for (std::size_t i = 0; i < before.bytes.size(); ++i) {
        require(((before.bytes[i] ^ after.bytes[i]) & ~owned(i)) == 0);
    }
}

std::uint8_t hw_owned_bits(std::size_t offset) {
    const bool in_range = offset >= k_hw_options.offset && offset < k_hw_options.end();
    const bool skipped = offset == 311 || (offset >= 316 && offset < 320);
    return in_range && !skipped ? 0xFF : 0x00;
}

std::uint8_t power_wave_owned_bits(std::size_t offset) {
    return offset >= k_power_wave.offset && offset < k_power_wave.end() ? 0xFF : 0x00;
}

// Store into `background`, build a side record, and read the stored block back.
template <typename Page>
void check_store(Page& page, const ConfigBlock& background, SideFileKind kind,
                 std::uint8_t (*owned)(std::size_t)) {
    ConfigBlock stored = background;
    const auto message = page.store(stored);
    require_only_owned_changed(background, stored, owned);

    ConfigBlock record;
    const auto built = page.build_side_record(kind, record);
    require(built == message);
    require_only_owned_changed(ConfigBlock{}, record, owned);
    if (message) {
        require(message->kind == MessageKind::check_failed);
        return;
    }
    Page reread;
    require(reread.load(stored).empty());
    ConfigBlock again = stored;
    require(!reread.store(again).has_value());
    require(again == stored);
}

void fuzz_front_panel(FuzzedDataProvider& input, const ConfigBlock& record, const ConfigBlock& background) {
    FpPageModel page;
    require(!page.apply_side_record(SideFileKind::fp, record).has_value());
    require(page.apply_side_record(SideFileKind::hw, record).has_value());
    if (input.ConsumeBool()) {
        page.select_fp_type(consume_index(input));
    }
    for (ComboChoice* combo :
         {&page.scan_type, &page.lbd_type, &page.com_num, &page.bit_order, &page.clock_level,
          &page.data_level, &page.scan_0_level, &page.lock_lamp_level, &page.power_lamp_level}) {
        if (input.ConsumeBool()) {
            combo->select(consume_index(input));
        }
    }
    for (std::string* text : {&page.clock_pos, &page.data_pos, &page.scan_0_pos, &page.lock_lamp_pos,
                              &page.power_lamp_pos, &page.colon_pos}) {
        maybe_set(input, *text);
    }
    require(page.scan_controls_shown() == (page.current_fp_type() == 0));
    check_store(page, background, SideFileKind::fp, fp_owned_bits);
}

void require_list_in_step(const HwPageModel& page) {
    const auto& items = page.default_language_items();
    for (std::size_t code = 0; code < k_languages.size(); ++code) {
        const auto listed = std::count(items.begin(), items.end(), code);
        require(listed == (page.language_checked(code) ? 1 : 0));
    }
    const int selected = page.default_language_selected();
    require(selected >= k_no_selection && selected < static_cast<int>(items.size()));
}

void fuzz_hardware(FuzzedDataProvider& input, const ConfigBlock& record, const ConfigBlock& background) {
    HwPageModel page;
    require(!page.apply_side_record(SideFileKind::hw, record).has_value());
    require(page.power_wave_text() == power_wave_text(record));
    require_list_in_step(page);
    const int clicks = input.ConsumeIntegralInRange(0, 12);
    for (int i = 0; i < clicks; ++i) {
        switch (input.ConsumeIntegralInRange(0, 4)) {
            case 0:
                page.set_language_checked(
                    input.ConsumeIntegralInRange<std::size_t>(0, k_languages.size() - 1),
                    input.ConsumeBool());
                break;
            case 1:
                page.select_default_language(consume_index(input));
                break;
            case 2:
                page.select_power_off_disp(consume_index(input));
                break;
            case 3:
                page.set_scart_enable(input.ConsumeBool());
                break;
            default:
                page.video_mode.select(consume_index(input));
                break;
        }
        require_list_in_step(page);
    }
    for (std::string* text : {&page.tv_av, &page.tv_mode, &page.tv_ratio}) {
        maybe_set(input, *text);
    }
    check_store(page, background, SideFileKind::hw, hw_owned_bits);
}

void fuzz_power_wave(FuzzedDataProvider& input, const ConfigBlock& background) {
    PowerWaveModel dialog;
    dialog.text = input.ConsumeRandomLengthString(4096);
    ConfigBlock block = background;
    if (dialog.ok(block)) {
        require(block == background);
        return;
    }
    require_only_owned_changed(background, block, power_wave_owned_bits);
    // The page's text of the stored words reads back to the same words.
    PowerWaveModel again;
    again.text = power_wave_text(block);
    ConfigBlock reread = background;
    require(!again.ok(reread).has_value());
    require(reread == block);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const ConfigBlock record = consume_block(input, 0x00);
    const ConfigBlock background = consume_block(input, 0xA5);
    fuzz_front_panel(input, record, background);
    fuzz_hardware(input, record, background);
    fuzz_power_wave(input, background);
    return 0;
}
