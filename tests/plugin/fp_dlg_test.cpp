// The front panel page's window: what load shows in the controls, what store takes from them, the
// scan controls that follow "FP Type:", and the lamp-test buttons with the requests posted to the
// view. The side-file buttons are tested with those of the other pages.
#include "pages/dialogs/fp_dlg.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QWidget>
#include <string>
#include <vector>

#include "res/control_ids.h"
#include "tests/plugin/page_dialog_fakes.h"

namespace velmora {
namespace {

using page_test::block_with;
using page_test::choose_item;
using page_test::deliver_posted_messages;
using page_test::RecordingMessages;
using page_test::RequestWindow;
using page_test::ShownMessage;
using page_test::type_into;

using namespace front_panel_id;

// Controls of the page, in one fixed order for comparing what it shows.
constexpr std::array k_combo_ids{k_fp_type_combo,         k_scan_type_combo,    k_lbd_type_combo,
                                 k_com_num_combo,         k_bit_order_combo,    k_clock_level_combo,
                                 k_data_level_combo,      k_scan_0_level_combo, k_lock_lamp_level_combo,
                                 k_power_lamp_level_combo};
constexpr std::array k_edit_ids{k_clock_pos_edit,     k_data_pos_edit,       k_scan_0_pos_edit,
                                k_lock_lamp_pos_edit, k_power_lamp_pos_edit, k_colon_pos_edit};
constexpr std::array k_scan_control_ids{k_scan_type_label, k_scan_type_combo,    k_scan_0_pos_label,
                                        k_scan_0_pos_edit, k_scan_0_level_label, k_scan_0_level_combo};
constexpr std::array k_lamp_key_ids{k_lamp_left_button, k_lamp_confirm_button, k_lamp_right_button};
constexpr int k_start_lamp_test = message_number(WindowMessage::start_lamp_test);
constexpr int k_light_all = message_number(WindowMessage::light_all);
constexpr int k_dim_all = message_number(WindowMessage::dim_all);

// What the page shows: each combo's index, then each edit's text.
struct Shown {
    std::vector<int> combos;
    std::vector<std::string> texts;
    bool operator==(const Shown&) const = default;
};

// A "1642" block with a value in every field, and the driver's own bits set where the page must keep
// them: byte 5's high nibble, bit 1 of the level bytes, bits 0-1 of the colon byte.
ConfigBlock busy_1642_block() {
    return block_with({
        {4, 0x71},   // scan type "shadow", LBD type "MCU控制", the "1642" marks
        {5, 0xA3},   // com num 3
        {6, 0x81},   // "反序左移一位" for "1642"
        {8, 0x17},   // clock pos 5, high, bit 1
        {9, 0xFC},   // data pos 63, low
        {10, 0x1D},  // scan_0 pos 7, high
        {20, 0x28},  // lock lamp pos 10, low
        {21, 0x03},  // power lamp pos 0, high, bit 1
        {22, 0x87},  // colon pos 33, bits 0-1 set
    });
}

class FpDlgTest : public ::testing::Test {
protected:
    FpDlgTest() { page.Create(&tab, &view); }

    QComboBox* combo(int id) { return page.control_as<QComboBox>(id); }
    QLineEdit* edit(int id) { return page.control_as<QLineEdit>(id); }
    void click(int id) { page.control_as<QAbstractButton>(id)->click(); }

    Shown shown() {
        Shown s;
        for (const int id : k_combo_ids) {
            s.combos.push_back(page.combo_selected(id));
        }
        for (const int id : k_edit_ids) {
            s.texts.push_back(page.control_text(id));
        }
        return s;
    }
    std::vector<bool> scan_controls_shown() {
        std::vector<bool> result;
        for (const int id : k_scan_control_ids) {
            result.push_back(page.is_control_shown(id));
        }
        return result;
    }
    std::vector<bool> lamp_keys_enabled() {
        std::vector<bool> result;
        for (const int id : k_lamp_key_ids) {
            result.push_back(page.is_control_enabled(id));
        }
        return result;
    }
    int key_request() const { return static_cast<int>(page.model().lamp_key_request.load()); }

    RecordingMessages messages;
    RequestWindow view;
    QWidget tab;
    FpPageModel model;
    FPDlg page{model};
};

const std::vector<bool> k_all_shown(6, true);
const std::vector<bool> k_all_hidden(6, false);
const std::vector<bool> k_keys_enabled(3, true);
const std::vector<bool> k_keys_disabled(3, false);

TEST_F(FpDlgTest, CreatedAsAHiddenChildWithArrowIconsAndNothingChosen) {
    EXPECT_EQ(page.parentWidget(), &tab);
    EXPECT_TRUE(page.isHidden());
    EXPECT_FALSE(page.control_as<QAbstractButton>(k_lamp_left_button)->icon().isNull());
    EXPECT_FALSE(page.control_as<QAbstractButton>(k_lamp_right_button)->icon().isNull());
    // The arrows alone, without the template's captions, but still named for assistive technology.
    for (const int key : {k_lamp_left_button, k_lamp_right_button}) {
        EXPECT_EQ(page.control_text(key), "") << key;
        EXPECT_FALSE(page.control(key)->accessibleName().isEmpty()) << key;
    }

    EXPECT_EQ(shown(), (Shown{std::vector<int>(k_combo_ids.size(), -1), std::vector<std::string>(6)}));
    EXPECT_EQ(page.current_fp_type(), -1);
    EXPECT_EQ(scan_controls_shown(), k_all_shown);
    EXPECT_EQ(lamp_keys_enabled(), k_keys_enabled);
    EXPECT_EQ(page.control_text(k_start_lamp_test_button), "Start Test Lamp Pos");
}

TEST_F(FpDlgTest, LoadShowsEveryFieldAndStoreGivesTheSameBytesBack) {
    const ConfigBlock block = busy_1642_block();
    EXPECT_TRUE(page.load(block).empty());
    EXPECT_EQ(shown(), (Shown{{0, 1, 1, 3, 4, 1, 0, 1, 0, 1}, {"5", "63", "7", "10", "0", "33"}}));
    EXPECT_EQ(scan_controls_shown(), k_all_shown);
    EXPECT_EQ(page.current_fp_type(), 0);

    ConfigBlock stored = block;
    EXPECT_EQ(page.store(stored), std::nullopt);
    EXPECT_EQ(stored.bytes, block.bytes);
    EXPECT_TRUE(messages.shown.empty());
}

struct TypeCase {
    const char* name;
    std::uint8_t fp_type;
    std::uint8_t bit_order;
    int shown_type;
    int shown_status;
    bool scan_shown;
    std::uint8_t stored_bit_order;
};

void PrintTo(const TypeCase& c, std::ostream* out) {
    *out << c.name;
}

// Which code shows as which type and status is the model's rule; a load brings both into their combos
// and shows or hides the scan controls.
class FpTypeLoadTest : public FpDlgTest, public ::testing::WithParamInterface<TypeCase> {};

TEST_P(FpTypeLoadTest, TheTypeAndStatusFollowTheBlock) {
    const TypeCase& c = GetParam();
    ConfigBlock block = block_with({{0, c.fp_type}, {6, c.bit_order}});
    page.load(block);
    EXPECT_EQ(page.combo_selected(k_fp_type_combo), c.shown_type);
    EXPECT_EQ(page.current_fp_type(), c.shown_type);
    EXPECT_EQ(page.combo_selected(k_bit_order_combo), c.shown_status);
    EXPECT_EQ(scan_controls_shown(), c.scan_shown ? k_all_shown : k_all_hidden);

    page.store(block);
    EXPECT_EQ(block.u32(0), c.shown_type == 0 ? 0u : 1u);
    EXPECT_EQ(block.bytes[6], c.stored_bit_order);
}

INSTANTIATE_TEST_SUITE_P(Blocks, FpTypeLoadTest,
                         ::testing::Values(TypeCase{"t1642", 0, 0x02, 0, 3, true, 0x02},
                                           TypeCase{"t1635", 1, 0x21, 1, 5, false, 0x21}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FpDlgTest, ChoosingTheFpTypeShowsTheScanControlsOnlyFor1642) {
    page.load(busy_1642_block());
    const std::vector<std::pair<int, bool>> choices{{1, false}, {0, true}, {2, false}, {2, false}, {0, true}};
    for (const auto& [index, scan_shown] : choices) {
        choose_item(combo(k_fp_type_combo), index);
        EXPECT_EQ(page.current_fp_type(), index);
        EXPECT_EQ(scan_controls_shown(), scan_shown ? k_all_shown : k_all_hidden) << "item " << index;
    }
}

TEST_F(FpDlgTest, StoreTakesWhatTheUserChoseEvenFromHiddenScanControls) {
    page.load(busy_1642_block());
    choose_item(combo(k_fp_type_combo), 1);    // "1635" hides the scan controls
    choose_item(combo(k_scan_type_combo), 0);  // chosen before, still stored
    type_into(edit(k_scan_0_pos_edit), "12");
    choose_item(combo(k_bit_order_combo), 2);
    type_into(edit(k_colon_pos_edit), "7x");  // the lenient reading: trailing text after the digits

    ConfigBlock block = busy_1642_block();
    EXPECT_EQ(page.store(block), std::nullopt);
    EXPECT_EQ(block.u32(0), 1u);
    EXPECT_EQ(block.bytes[4], 0x10);               // marks cleared, LBD kept, scan type "slot"
    EXPECT_EQ(block.bytes[10], (12 << 2) | 0x01);  // new pos, level kept
    EXPECT_EQ(block.bytes[6], 0x10);               // "正序左移一位" for "1635"
    EXPECT_EQ(block.bytes[22], (7 << 2) | 0x03);   // low bits untouched
    EXPECT_TRUE(messages.shown.empty());
}

using page_test::CheckCase;

class FpCheckTest : public FpDlgTest, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(FpCheckTest, ABadPositionIsShownAndEndsTheStore) {
    const CheckCase& c = GetParam();
    page.load(ConfigBlock{});
    type_into(edit(c.edit_id), c.text);
    ConfigBlock block;
    block.bytes.fill(0xFF);

    const auto failed = page.store(block);
    ASSERT_TRUE(failed.has_value());
    EXPECT_EQ(failed->text, c.message);
    EXPECT_EQ(messages.shown, (std::vector<ShownMessage>{{c.message, application_caption()}}));
    EXPECT_EQ(messages.owners.front(), &page);
    EXPECT_EQ(block.bytes[22], 0xFF);  // the colon, stored last, is not reached
}

INSTANTIATE_TEST_SUITE_P(
    Fields, FpCheckTest,
    ::testing::Values(CheckCase{"scan_0", k_scan_0_pos_edit, "64", "The 'scan_0 pos' value is not valid!"},
                      CheckCase{"clock", k_clock_pos_edit, "-1", "The 'fclock pos' value is not valid!"},
                      CheckCase{"data", k_data_pos_edit, "7x", "The 'fdata pos' value is not valid!"},
                      CheckCase{"lock_lamp", k_lock_lamp_pos_edit, "", "The 'lbd_0 pos' value is not valid!"},
                      CheckCase{"power_lamp", k_power_lamp_pos_edit, "100",
                                "The 'lbd_1 pos' value is not valid!"},
                      // Checked last, so only its own byte is not written; it used to store 99 as 35.
                      CheckCase{"colon", k_colon_pos_edit, "99", "The 'Colon Pos' value is not valid!"}),
    [](const auto& info) { return std::string(info.param.name); });

// The lamp-test rules are the model's; here the buttons, the thread's end message, Clear and a load
// reach it, its state comes back into the controls, and its requests are posted to the view.
TEST_F(FpDlgTest, TheLampControlsAreWiredToTheModel) {
    click(k_light_all_button);  // posted with no test running too
    click(k_start_lamp_test_button);
    EXPECT_EQ(page.control_text(k_start_lamp_test_button), "Stop Test Lamp Pos");
    EXPECT_EQ(page.model().lamp_test_running.load(), 1);
    EXPECT_EQ(lamp_keys_enabled(), k_keys_enabled);
    EXPECT_TRUE(view.received.empty());  // posted, not sent
    deliver_posted_messages();
    EXPECT_EQ(view.received, (std::vector<int>{k_light_all, k_start_lamp_test}));

    const std::vector<std::pair<int, int>> keys{
        {k_lamp_left_button, 1}, {k_lamp_confirm_button, 0}, {k_lamp_right_button, 2}};
    for (const auto& [id, request] : keys) {
        page.model().lamp_key_request.store(LampKey::none);  // the thread took the last one
        click(id);
        EXPECT_EQ(key_request(), request) << "key " << id;
    }
    click(k_light_all_button);
    click(k_dim_all_button);
    deliver_posted_messages();
    EXPECT_EQ(view.received, (std::vector<int>{k_light_all, k_start_lamp_test, k_light_all, k_dim_all}));

    // The thread's end message.
    post_message(&page, message_number(WindowMessage::lamp_test_ended));
    deliver_posted_messages();
    EXPECT_EQ(page.control_text(k_start_lamp_test_button), "Start Test Lamp Pos");
    EXPECT_EQ(page.model().lamp_test_running.load(), 0);
    EXPECT_EQ(lamp_keys_enabled(), k_keys_disabled);

    // Started and stopped again from the button: the stop posts nothing.
    click(k_start_lamp_test_button);
    click(k_start_lamp_test_button);
    EXPECT_EQ(lamp_keys_enabled(), k_keys_disabled);
    deliver_posted_messages();
    EXPECT_EQ(view.received,
              (std::vector<int>{k_light_all, k_start_lamp_test, k_light_all, k_dim_all, k_start_lamp_test}));

    // Clear, and a load.
    click(k_start_lamp_test_button);
    page.reset_lamp_test();
    EXPECT_EQ(page.control_text(k_start_lamp_test_button), "Start Test Lamp Pos");
    EXPECT_EQ(page.model().lamp_test_running.load(), 0);
    EXPECT_EQ(lamp_keys_enabled(), k_keys_enabled);
    page.load(ConfigBlock{});
    EXPECT_EQ(lamp_keys_enabled(), k_keys_disabled);
}

}  // namespace
}  // namespace velmora
