// The "Front Panel" page without its window: what its combos and edits hold, its load and store
// of the front panel driver fields (block bytes 0..22), the .fp side file, and the page's side of the
// lamp-position test.
//
// Callers may rely on this: a store writes only the bits of bytes 0..22 that belong to the page and
// stops at the first position that fails its check, keeping what it wrote before; `load` never
// touches the lamp-test members except to decide whether the lamp keys are enabled. The lamp-test
// operations tell the dialog what to post instead of posting it themselves.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "link/link_values.h"
#include "link/window_messages.h"
#include "pages/models/combo_choice.h"
#include "pages/models/page_model.h"
#include "pages/models/test_thread_wake.h"

namespace velmora {

inline constexpr std::array<std::string_view, 3> k_fp_type_items{"1642", "1635", "650D/650G"};
inline constexpr std::array<std::string_view, 2> k_scan_type_items{"slot", "shadow"};
inline constexpr std::array<std::string_view, 2> k_lbd_type_items{"IO控制", "MCU控制"};
inline constexpr std::array<std::string_view, 5> k_com_num_items{"0", "1", "2", "3", "4"};
inline constexpr std::array<std::string_view, 6> k_bit_order_items{
    "正序", "反序", "正序左移一位", "正序右移一位", "反序左移一位", "反序右移一位",
};
inline constexpr std::array<std::string_view, 2> k_level_items{"low", "high"};

// Indexes of k_fp_type_items; they are also the columns of the bit-order table.
enum class FpType : int { fp1642 = 0, fp1635 = 1, fp650 = 2 };

// The messages the page posts to the main view: only these, so the type keeps the page from asking for
// another page's test.
enum class FpRequest : int {
    start_lamp_test = message_number(WindowMessage::start_lamp_test),
    light_all = message_number(WindowMessage::light_all),
    dim_all = message_number(WindowMessage::dim_all),
};

inline constexpr std::string_view k_start_lamp_test_caption = "Start Test Lamp Pos";
inline constexpr std::string_view k_stop_lamp_test_caption = "Stop Test Lamp Pos";

class FpPageModel : public PageModel {
public:
    FpPageModel() = default;

    PageMessages load(ConfigBlock block) override;
    std::optional<PageMessage> store(ConfigBlock& block) override;
    std::optional<PageMessage> apply_side_record(SideFileKind kind, const ConfigBlock& record) override;
    std::optional<PageMessage> build_side_record(SideFileKind kind, ConfigBlock& record) override;
    PageView view() const override;

    // The selected index of "FP Type:" (0 "1642", 1 "1635", 2 "650D/650G", -1 none); the LED map
    // page is usable only with 0.
    int current_fp_type() const { return fp_type_.selected(); }
    const ComboChoice& fp_type() const { return fp_type_; }
    // The user picked an FP type: the scan controls are shown only for "1642".
    void select_fp_type(int index);
    bool scan_controls_shown() const { return scan_controls_shown_; }

    // Lamp-position test. Each returns what the dialog must post to the request window, if anything.
    std::optional<FpRequest> click_start_lamp_test();
    void click_lamp_key(LampKey key);
    // WindowMessage::lamp_test_ended from the test thread; the dialog answers it with 0.
    void lamp_test_ended();
    // The view's Clear: idle again, but the lamp keys keep their enabled state.
    void reset_lamp_test();
    static constexpr FpRequest click_light_all() { return FpRequest::light_all; }
    static constexpr FpRequest click_dim_all() { return FpRequest::dim_all; }
    bool lamp_keys_enabled() const { return lamp_keys_enabled_; }
    const std::string& start_button_caption() const { return start_button_caption_; }

    // The controls the dialog moves to and from its widgets. Combos are set by item index.
    ComboChoice scan_type{k_scan_type_items};
    ComboChoice lbd_type{k_lbd_type_items};
    ComboChoice com_num{k_com_num_items};
    ComboChoice bit_order{k_bit_order_items};  // "Status:"
    ComboChoice clock_level{k_level_items};
    ComboChoice data_level{k_level_items};
    ComboChoice scan_0_level{k_level_items};
    ComboChoice lock_lamp_level{k_level_items};
    ComboChoice power_lamp_level{k_level_items};
    std::string clock_pos;
    std::string data_pos;
    std::string scan_0_pos;
    std::string lock_lamp_pos;
    std::string power_lamp_pos;
    std::string colon_pos;

    // Shared with the lamp-test thread, which reads both and writes `lamp_key_request` back to none;
    // woken after each change the page makes.
    std::atomic<bool> lamp_test_running{false};
    std::atomic<LampKey> lamp_key_request{LampKey::none};
    TestThreadWake wake_test_thread;

private:
    void stop_lamp_test();

    ComboChoice fp_type_{k_fp_type_items};
    bool scan_controls_shown_ = true;
    bool lamp_keys_enabled_ = true;
    std::string start_button_caption_{k_start_lamp_test_caption};
};

}  // namespace velmora
