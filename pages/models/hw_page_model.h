// The "HW Info" page without its window: what its combos, check boxes, edits and the "Default
// language:" list hold, its load and store of the hardware options (block bytes 292..335), the .hw
// side file, and the power-wave text it hands to the power wave dialog.
//
// Callers may rely on this: a store writes only the hardware options, never the power-wave words,
// and stops at the first TV value that fails its check, keeping what it wrote before. The list of
// default languages always holds names of checked languages, each at most once.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pages/models/combo_choice.h"
#include "pages/models/page_model.h"

namespace velmora {

inline constexpr std::array<std::string_view, 5> k_video_mode_items{
    "CVBS+RGB", "Dual CVBS", "CVBS+YPbPr", "CVBS+S-Video", "Single CVBS",
};
inline constexpr std::array<std::string_view, 2> k_sog_items{"ON", "OFF"};
inline constexpr std::array<std::string_view, 3> k_power_off_disp_items{"Time", "Off", "None"};
inline constexpr std::array<std::string_view, 2> k_standby_mode_items{"自动待机", "定时关机"};
inline constexpr std::array<std::string_view, 2> k_loop_through_items{"OFF", "ON"};

// "Power Off Disp:" item with which the page offers "Test Power Wave".
inline constexpr int k_power_off_disp_none = 2;

struct Language {
    std::string_view name;  // check box text and list text
};

// The language code is the position in this table.
inline constexpr std::array<Language, 9> k_languages{{
    {"Chinese"},
    {"English"},
    {"French"},
    {"Russian"},
    {"Arabic"},
    {"Farsi"},
    {"Indonesian"},
    {"Portuguese"},
    {"Turkish"},
}};

class HwPageModel : public PageModel {
public:
    HwPageModel() = default;

    PageMessages load(ConfigBlock block) override;
    std::optional<PageMessage> store(ConfigBlock& block) override;
    // A .hw record also replaces the power-wave text, from the record's words 336..461.
    std::optional<PageMessage> apply_side_record(SideFileKind kind, const ConfigBlock& record) override;
    // A .hw record starts from a copy of the record base (when one is set) and takes the hardware
    // options over it, so it keeps the base's power-wave words.
    std::optional<PageMessage> build_side_record(SideFileKind kind, ConfigBlock& record) override;
    PageView view() const override;

    // The block a saved .hw record starts from: the main view's, which the power wave dialog writes.
    // Without one (nullptr) the record starts from zeros. The block must outlive the model's saves.
    void set_side_record_base(const ConfigBlock* base) { side_record_base_ = base; }

    // "Scart Enable" set by the user: the Scart controls follow it.
    void set_scart_enable(bool checked);
    bool scart_enable() const { return scart_enable_; }
    bool scart_controls_shown() const { return scart_controls_shown_; }

    // "Power Off Disp:" picked by the user: "Test Power Wave" is offered only with "None".
    void select_power_off_disp(int index);
    const ComboChoice& power_off_disp() const { return power_off_disp_; }
    bool test_power_wave_shown() const { return test_power_wave_shown_; }

    // A language check box set by the user; the "Default language:" list gains or loses its name.
    void set_language_checked(std::size_t code, bool checked);
    bool language_checked(std::size_t code) const { return language_checked_.at(code); }
    // The list's items as language codes, in list order, and their texts.
    const std::vector<std::uint8_t>& default_language_items() const { return default_language_items_; }
    std::vector<std::string_view> default_language_names() const;
    int default_language_selected() const { return default_language_selected_; }
    // The user picked an item; an index the list does not have leaves it with no selection.
    void select_default_language(int index);

    // The text the power wave dialog opens with: the values of the last load, or of the block after
    // the dialog's last OK, whichever came later.
    const std::string& power_wave_text() const { return power_wave_text_; }
    // The dialog's OK wrote `config`'s power-wave words: the next opening shows what is stored.
    void power_wave_stored(const ConfigBlock& config);

    // The controls the dialog moves to and from its widgets. Combos are set by item index.
    ComboChoice video_mode{k_video_mode_items};
    ComboChoice sog{k_sog_items};
    ComboChoice standby_mode{k_standby_mode_items};
    ComboChoice loop_through{k_loop_through_items};
    bool spdif = false;     // "With SPDIF"
    bool lnb_load = false;  // "With LNB_Load"
    std::string tv_av;
    std::string tv_mode;
    std::string tv_ratio;

private:
    bool scart_enable_ = false;
    bool scart_controls_shown_ = false;
    ComboChoice power_off_disp_{k_power_off_disp_items};
    bool test_power_wave_shown_ = true;
    std::array<bool, k_languages.size()> language_checked_{};
    std::vector<std::uint8_t> default_language_items_;
    int default_language_selected_ = k_no_selection;
    std::string power_wave_text_;
    const ConfigBlock* side_record_base_ = nullptr;
};

}  // namespace velmora
