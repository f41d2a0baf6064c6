#include "pages/models/hw_page_model.h"

#include <algorithm>

#include "pages/models/checked_number.h"
#include "pages/models/power_wave_model.h"

namespace velmora {

namespace {

// Where the hardware options lie. Bytes 311 and 316..319 are not ours and are never written.
constexpr std::size_t k_video_mode_offset = 292;    // 32 bits, the item index
constexpr std::size_t k_spdif_offset = 296;         // 32 bits, 0 = with SPDIF
constexpr std::size_t k_lnb_load_offset = 300;      // 32 bits, 0 = with LNB load
constexpr std::size_t k_scart_enable_offset = 304;  // 32 bits, 1 = enabled
constexpr std::size_t k_tv_av_offset = 308;
constexpr std::size_t k_tv_mode_offset = 309;
constexpr std::size_t k_tv_ratio_offset = 310;
constexpr std::size_t k_sog_offset = 312;             // 32 bits, 1 = "ON"
constexpr std::size_t k_power_off_disp_offset = 320;  // 32 bits, the item index
constexpr std::size_t k_standby_mode_offset = 324;
constexpr std::size_t k_lang_enable_offset = 325;  // one byte a language, 1 = offered
constexpr std::size_t k_default_lang_offset = 334;
constexpr std::size_t k_loop_through_offset = 335;

static_assert(k_video_mode_offset == k_hw_options.offset);
static_assert(k_tv_ratio_offset + 2 == k_sog_offset);            // 311 is left alone
static_assert(k_sog_offset + 4 + 4 == k_power_off_disp_offset);  // so are 316..319
static_assert(k_lang_enable_offset + k_languages.size() == k_default_lang_offset);
static_assert(k_loop_through_offset + 1 == k_hw_options.end());

// The codes the flags are stored as; the box reads spdif and LNB load as "0 means fitted".
constexpr std::uint32_t k_fitted = 0;
constexpr std::uint32_t k_not_fitted = 1;
constexpr std::uint8_t k_language_offered = 1;
constexpr int k_sog_on = 0;  // item index of "ON"

std::optional<PageMessage> store_tv_value(std::uint8_t& byte, const std::string& text,
                                          std::string_view field) {
    const auto value = read_checked_number(text);
    if (!value) {
        return invalid_value_message(field);
    }
    byte = *value;
    return std::nullopt;
}

// A value other than the two codes leaves the box as it was.
void load_fitted_flag(bool& checked, std::uint32_t value) {
    if (value == k_fitted) {
        checked = true;
    } else if (value == k_not_fitted) {
        checked = false;
    }
}

PageMessage wrong_side_file() {
    return {MessageKind::refused, "The HW Info page has no such side file!", "error"};
}

}  // namespace

PageMessages HwPageModel::load(ConfigBlock block) {
    const auto& b = block.bytes;
    power_wave_text_ = velmora::power_wave_text(block);
    video_mode.select(block.u32(k_video_mode_offset));
    load_fitted_flag(spdif, block.u32(k_spdif_offset));
    load_fitted_flag(lnb_load, block.u32(k_lnb_load_offset));
    scart_enable_ = block.u32(k_scart_enable_offset) != 0;
    tv_av = std::to_string(b[k_tv_av_offset]);
    tv_mode = std::to_string(b[k_tv_mode_offset]);
    tv_ratio = std::to_string(b[k_tv_ratio_offset]);
    sog.select(block.u32(k_sog_offset) != 0 ? k_sog_on : k_sog_on + 1);
    scart_controls_shown_ = scart_enable_;

    const std::uint32_t power_off_disp = block.u32(k_power_off_disp_offset);
    power_off_disp_.select(power_off_disp);
    test_power_wave_shown_ = power_off_disp == k_power_off_disp_none;

    standby_mode.select(b[k_standby_mode_offset]);
    loop_through.select(b[k_loop_through_offset]);

    default_language_items_.clear();
    default_language_selected_ = k_no_selection;
    for (std::size_t code = 0; code < k_languages.size(); ++code) {
        language_checked_[code] = b[k_lang_enable_offset + code] == k_language_offered;
        if (language_checked_[code]) {
            if (code == b[k_default_lang_offset]) {
                default_language_selected_ = static_cast<int>(default_language_items_.size());
            }
            default_language_items_.push_back(static_cast<std::uint8_t>(code));
        }
    }
    return {};
}

std::optional<PageMessage> HwPageModel::store(ConfigBlock& block) {
    auto& b = block.bytes;
    block.set_u32(k_video_mode_offset, static_cast<std::uint32_t>(video_mode.selected()));
    block.set_u32(k_spdif_offset, spdif ? k_fitted : k_not_fitted);
    block.set_u32(k_lnb_load_offset, lnb_load ? k_fitted : k_not_fitted);
    block.set_u32(k_scart_enable_offset, scart_enable_ ? 1 : 0);

    // Checked and stored even while the Scart controls are hidden.
    if (auto failed = store_tv_value(b[k_tv_av_offset], tv_av, "TV/AV")) {
        return failed;
    }
    if (auto failed = store_tv_value(b[k_tv_mode_offset], tv_mode, "TV_MODE")) {
        return failed;
    }
    if (auto failed = store_tv_value(b[k_tv_ratio_offset], tv_ratio, "TV Ratio")) {
        return failed;
    }

    block.set_u32(k_sog_offset, sog.selected() == k_sog_on ? 1 : 0);
    // No selection counts as "None".
    const int power_off_disp = power_off_disp_.selected();
    block.set_u32(k_power_off_disp_offset,
                  static_cast<std::uint32_t>(power_off_disp == k_no_selection ? k_power_off_disp_none
                                                                              : power_off_disp));
    b[k_standby_mode_offset] = static_cast<std::uint8_t>(standby_mode.selected());
    b[k_loop_through_offset] = static_cast<std::uint8_t>(loop_through.selected());
    for (std::size_t code = 0; code < k_languages.size(); ++code) {
        b[k_lang_enable_offset + code] = language_checked_[code] ? k_language_offered : 0;
    }
    // An empty list, or one whose selected language was unchecked, names no default: keep the old one.
    if (default_language_selected_ != k_no_selection) {
        b[k_default_lang_offset] =
            default_language_items_[static_cast<std::size_t>(default_language_selected_)];
    }
    return std::nullopt;
}

std::optional<PageMessage> HwPageModel::apply_side_record(SideFileKind kind, const ConfigBlock& record) {
    if (kind != SideFileKind::hw) {
        return wrong_side_file();
    }
    load(record);
    return std::nullopt;
}

std::optional<PageMessage> HwPageModel::build_side_record(SideFileKind kind, ConfigBlock& record) {
    if (kind != SideFileKind::hw) {
        return wrong_side_file();
    }
    // The reader takes the power-wave words from the record too: a record of zeros would bring back
    // 63 zeros, which OK in "Test Power Wave" then writes into the image.
    if (side_record_base_ != nullptr) {
        record = *side_record_base_;
    }
    return store(record);
}

void HwPageModel::power_wave_stored(const ConfigBlock& config) {
    power_wave_text_ = velmora::power_wave_text(config);
}

PageView HwPageModel::view() const {
    auto combo = [](std::string_view label, const ComboChoice& choice) {
        return PageField{std::string(label), std::string(choice.selected_text())};
    };
    auto edit = [](std::string_view label, const std::string& text) {
        return PageField{std::string(label), text};
    };
    auto check = [](std::string_view label, bool checked) {
        return PageField{std::string(label), checked ? "checked" : "unchecked"};
    };
    PageView view{"HW Info", {}, {}};
    view.fields = {
        combo("Video Mode:", video_mode),
        check("With SPDIF", spdif),
        check("With LNB_Load", lnb_load),
        check("Scart Enable", scart_enable_),
        edit("TV/AV:", tv_av),
        edit("TV_MODE:", tv_mode),
        edit("TV Ratio(16:9)", tv_ratio),
        combo("SOG:", sog),
        combo("Power Off Disp:", power_off_disp_),
        combo("Standby Mode:", standby_mode),
        combo("Loop Through:", loop_through),
    };
    for (std::size_t code = 0; code < k_languages.size(); ++code) {
        view.fields.push_back(check(k_languages[code].name, language_checked_[code]));
    }
    const std::string_view default_language =
        default_language_selected_ == k_no_selection
            ? std::string_view{}
            : k_languages[default_language_items_[static_cast<std::size_t>(default_language_selected_)]].name;
    view.fields.push_back(edit("Default language:", std::string(default_language)));
    view.fields.push_back(edit("Power Wave Data:", power_wave_text_));
    return view;
}

void HwPageModel::set_scart_enable(bool checked) {
    scart_enable_ = checked;
    scart_controls_shown_ = checked;
}

void HwPageModel::select_power_off_disp(int index) {
    power_off_disp_.select(index);
    test_power_wave_shown_ = power_off_disp_.selected() == k_power_off_disp_none;
}

void HwPageModel::set_language_checked(std::size_t code, bool checked) {
    language_checked_.at(code) = checked;
    auto& items = default_language_items_;
    const auto found = std::find(items.begin(), items.end(), code);
    if (found != items.end() && !checked) {
        const auto index = static_cast<int>(found - items.begin());
        items.erase(found);
        // The list keeps its selected item where it can; deleting that item leaves nothing selected.
        if (index == default_language_selected_) {
            default_language_selected_ = k_no_selection;
        } else if (index < default_language_selected_) {
            --default_language_selected_;
        }
    } else if (found == items.end() && checked) {
        items.push_back(static_cast<std::uint8_t>(code));
    }
}

std::vector<std::string_view> HwPageModel::default_language_names() const {
    std::vector<std::string_view> names;
    names.reserve(default_language_items_.size());
    for (const std::uint8_t code : default_language_items_) {
        names.push_back(k_languages[code].name);
    }
    return names;
}

void HwPageModel::select_default_language(int index) {
    const bool in_list = index >= 0 && index < static_cast<int>(default_language_items_.size());
    default_language_selected_ = in_list ? index : k_no_selection;
}

}  // namespace velmora
