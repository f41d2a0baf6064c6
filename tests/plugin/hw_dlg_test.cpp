// The hardware page's window: what load shows and store takes, the Scart controls and "Test Power
// Wave" that follow their controls, the "Default language:" list kept by clicking language boxes,
// the power wave dialog it opens, and the .hw side file through real files.
#include "pages/dialogs/hw_dlg.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QWidget>
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "res/control_ids.h"
#include "tests/plugin/page_dialog_fakes.h"

namespace velmora {
namespace {

using page_test::block_with;
using page_test::choose_item;
using page_test::RecordingMessages;
using page_test::run_while_modal;
using page_test::ScriptedFileDialogs;
using page_test::ShownMessage;
using page_test::type_into;

using namespace hw_info_id;

constexpr std::array k_combo_ids{k_video_mode_combo,   k_sog_combo,          k_power_off_disp_combo,
                                 k_standby_mode_combo, k_loop_through_combo, k_default_language_combo};
constexpr std::array k_check_ids{k_spdif_check,   k_lnb_load_check,   k_scart_enable_check, k_chinese_check,
                                 k_english_check, k_french_check,     k_russian_check,      k_arabic_check,
                                 k_farsi_check,   k_indonesian_check, k_portuguese_check,   k_turkish_check};
constexpr std::array k_edit_ids{k_tv_av_edit, k_tv_mode_edit, k_tv_ratio_edit};
constexpr std::array k_scart_control_ids{k_tv_av_label, k_tv_mode_label, k_tv_ratio_label, k_sog_label,
                                         k_tv_av_edit,  k_tv_mode_edit,  k_tv_ratio_edit,  k_sog_combo};

constexpr std::size_t k_spdif = 296;
constexpr std::size_t k_scart_enable = 304;
constexpr std::size_t k_power_off_disp = 320;
constexpr std::size_t k_french_enabled = 327;
constexpr std::size_t k_default_lang = 334;

struct Shown {
    std::vector<int> combos;
    std::vector<bool> checks;
    std::vector<std::string> texts;
    std::vector<std::string> languages;  // the "Default language:" items
    bool operator==(const Shown&) const = default;
};

void set_u32(ConfigBlock& block, std::size_t offset, std::uint32_t value) {
    block.set_u32(offset, value);
}

void set_power_wave(ConfigBlock& block, std::uint16_t first) {
    for (std::size_t k = 0; k < k_power_wave_values; ++k) {
        block.set_u16(k_power_wave.offset + 2 * k, static_cast<std::uint16_t>(first + k));
    }
}

std::string power_wave_text_from(std::uint16_t first) {
    std::string text;
    for (std::size_t k = 0; k < k_power_wave_values; ++k) {
        text += (k == 0 ? "" : ",") + std::to_string(first + k);
    }
    return text;
}

// Every option set, English and Turkish offered (Turkish the default), French with a byte of 2.
ConfigBlock busy_block() {
    ConfigBlock block = block_with({{308, 5},
                                    {309, 63},
                                    {310, 0},
                                    {324, 1},
                                    {326, 1},
                                    {k_french_enabled, 2},
                                    {333, 1},
                                    {k_default_lang, 8},
                                    {335, 1}});
    set_u32(block, 292, 3);  // "CVBS+S-Video"
    set_u32(block, k_spdif, 0);
    set_u32(block, 300, 1);
    set_u32(block, k_scart_enable, 1);
    set_u32(block, 312, 1);  // "ON"
    set_u32(block, k_power_off_disp, 2);
    set_power_wave(block, 100);
    return block;
}

class HwDlgTest : public ::testing::Test {
protected:
    HwDlgTest() {
        page.Create(&tab);
        page.set_power_wave_target(&config);
    }

    QComboBox* combo(int id) { return page.control_as<QComboBox>(id); }
    QLineEdit* edit(int id) { return page.control_as<QLineEdit>(id); }
    void click(int id) { page.control_as<QAbstractButton>(id)->click(); }

    Shown shown() {
        Shown s;
        for (const int id : k_combo_ids) {
            s.combos.push_back(page.combo_selected(id));
        }
        for (const int id : k_check_ids) {
            s.checks.push_back(page.is_checked(id));
        }
        for (const int id : k_edit_ids) {
            s.texts.push_back(page.control_text(id));
        }
        s.languages = languages();
        return s;
    }
    std::vector<std::string> languages() {
        std::vector<std::string> items;
        for (int i = 0; i < page.combo_count(k_default_language_combo); ++i) {
            items.push_back(page.combo_item_text(k_default_language_combo, i));
        }
        return items;
    }
    std::string default_language() {
        return page.combo_item_text(k_default_language_combo, page.combo_selected(k_default_language_combo));
    }
    std::vector<bool> scart_controls_shown() {
        std::vector<bool> result;
        for (const int id : k_scart_control_ids) {
            result.push_back(page.is_control_shown(id));
        }
        return result;
    }

    RecordingMessages messages;
    ScriptedFileDialogs files;
    ConfigBlock config;  // the view's block, which the power wave dialog writes
    QWidget tab;
    HwPageModel model;
    HWDlg page{model};
};

const std::vector<bool> k_scart_shown(8, true);
const std::vector<bool> k_scart_hidden(8, false);

TEST_F(HwDlgTest, BeforeTheFirstLoadScartIsHiddenAndTestPowerWaveShown) {
    EXPECT_EQ(page.parentWidget(), &tab);
    EXPECT_TRUE(page.isHidden());
    EXPECT_EQ(scart_controls_shown(), k_scart_hidden);
    EXPECT_TRUE(page.is_control_shown(k_test_power_wave_button));
    EXPECT_EQ(shown(), (Shown{std::vector<int>(6, -1), std::vector<bool>(12, false), {"", "", ""}, {}}));
}

TEST_F(HwDlgTest, LoadShowsEveryOptionAndStoreGivesTheBytesBack) {
    const ConfigBlock block = busy_block();
    EXPECT_TRUE(page.load(block).empty());
    EXPECT_EQ(shown(),
              (Shown{{3, 0, 2, 1, 1, 1},
                     {true, false, true, false, true, false, false, false, false, false, false, true},
                     {"5", "63", "0"},
                     {"English", "Turkish"}}));
    EXPECT_EQ(default_language(), "Turkish");
    EXPECT_EQ(scart_controls_shown(), k_scart_shown);
    EXPECT_TRUE(page.is_control_shown(k_test_power_wave_button));

    ConfigBlock stored = block;
    EXPECT_EQ(page.store(stored), std::nullopt);
    ConfigBlock expected = block;
    expected.bytes[k_french_enabled] = 0;  // a byte of 2 is no "offered"
    EXPECT_EQ(stored.bytes, expected.bytes);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(HwDlgTest, AFlagWithNeitherCodeLeavesItsBoxAsTheUserLeftIt) {
    for (const bool user_checked : {true, false}) {
        page.load(ConfigBlock{});  // spdif 0: checked
        if (!user_checked) {
            click(k_spdif_check);
        }
        ConfigBlock block = busy_block();
        set_u32(block, k_spdif, 2);
        page.load(block);
        EXPECT_EQ(page.is_checked(k_spdif_check), user_checked);
        page.store(block);
        EXPECT_EQ(block.u32(k_spdif), user_checked ? 0u : 1u);
    }
}

// Which controls show is the model's rule; here "Scart Enable" and "Power Off Disp:" reach it and
// the controls follow.
TEST_F(HwDlgTest, ScartEnableAndPowerOffDispShowTheirControls) {
    page.load(ConfigBlock{});  // Scart off, "Time"
    EXPECT_EQ(scart_controls_shown(), k_scart_hidden);
    EXPECT_FALSE(page.is_control_shown(k_test_power_wave_button));
    click(k_scart_enable_check);
    EXPECT_EQ(scart_controls_shown(), k_scart_shown);
    click(k_scart_enable_check);
    EXPECT_EQ(scart_controls_shown(), k_scart_hidden);

    for (const auto& [index, offered] : std::vector<std::pair<int, bool>>{{2, true}, {1, false}, {2, true}}) {
        choose_item(combo(k_power_off_disp_combo), index);
        EXPECT_EQ(page.is_control_shown(k_test_power_wave_button), offered) << "item " << index;
    }
}

// How the list follows the boxes is the model's rule; here a click on a box reaches it, with the
// default the user picked in the combo since, and the list comes back into the combo.
TEST_F(HwDlgTest, LanguageBoxesAndTheDefaultTheUserPicksReachTheModel) {
    page.load(busy_block());
    choose_item(combo(k_default_language_combo), 0);  // "English"
    click(k_french_check);
    EXPECT_EQ(languages(), (std::vector<std::string>{"English", "Turkish", "French"}));
    EXPECT_EQ(default_language(), "English");
    click(k_english_check);
    EXPECT_EQ(languages(), (std::vector<std::string>{"Turkish", "French"}));
    EXPECT_EQ(page.combo_selected(k_default_language_combo), -1);

    choose_item(combo(k_default_language_combo), 1);  // "French"
    ConfigBlock block = busy_block();
    page.store(block);
    EXPECT_EQ(block.bytes[k_default_lang], 2);
    EXPECT_EQ(block.bytes[k_french_enabled], 1);
    EXPECT_EQ(block.bytes[326], 0);  // English no longer offered
}

using page_test::CheckCase;

class HwCheckTest : public HwDlgTest, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(HwCheckTest, ABadTvValueIsShownAndEndsTheStoreEvenWithScartHidden) {
    const CheckCase& c = GetParam();
    page.load(busy_block());
    click(k_scart_enable_check);  // hides the edits; they are still checked
    ASSERT_EQ(scart_controls_shown(), k_scart_hidden);
    type_into(edit(c.edit_id), c.text);

    constexpr std::uint8_t k_untouched = 0xEE;
    ConfigBlock block;
    block.bytes.fill(k_untouched);
    const auto failed = page.store(block);
    ASSERT_TRUE(failed.has_value());
    EXPECT_EQ(messages.shown, (std::vector<ShownMessage>{{c.message, application_caption()}}));
    EXPECT_EQ(messages.owners.front(), &page);
    EXPECT_EQ(block.u32(292), 3u);  // stored before the checks
    EXPECT_EQ(block.u32(k_scart_enable), 0u);
    for (std::size_t offset = 312; offset < 336; ++offset) {  // sog .. loop_through
        EXPECT_EQ(block.bytes[offset], k_untouched) << "offset " << offset;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fields, HwCheckTest,
    ::testing::Values(CheckCase{"tv_av", k_tv_av_edit, "64", "The 'TV/AV' value is not valid!"},
                      CheckCase{"tv_mode", k_tv_mode_edit, "x", "The 'TV_MODE' value is not valid!"},
                      CheckCase{"tv_ratio", k_tv_ratio_edit, "", "The 'TV Ratio' value is not valid!"}),
    [](const auto& info) { return std::string(info.param.name); });

// Clicks "Test Power Wave" and lets `user` act on the power wave dialog while it runs.
template <class User>
void test_power_wave(HWDlg& page, User user) {
    run_while_modal(
        [&] {
            page.control_as<QAbstractButton>(k_test_power_wave_button)->click();
            return 0;
        },
        [&] { user(*page.power_wave_dialog()); });
}

TEST_F(HwDlgTest, TestPowerWaveOpensOneKeptDialogWithTheTextOfWhatIsStored) {
    EXPECT_EQ(page.power_wave_dialog(), nullptr);
    page.load(busy_block());
    const ConfigBlock before = config;

    std::string opened_with;
    bool modal = false;
    test_power_wave(page, [&](CPowerWaveDlg& dialog) {
        opened_with = dialog.control_text(power_wave_id::k_power_wave_edit);
        modal = dialog.isModal() && dialog.isVisible();
        type_into(dialog.control_as<QLineEdit>(power_wave_id::k_power_wave_edit), "7,8");
        dialog.control_as<QAbstractButton>(k_id_ok)->click();
    });
    EXPECT_TRUE(modal);
    EXPECT_EQ(opened_with, power_wave_text_from(100));
    EXPECT_EQ(config.u16(k_power_wave.offset), 7);
    EXPECT_EQ(config.u16(k_power_wave.offset + 2), 8);
    EXPECT_EQ(config.u16(k_power_wave.offset + 4), 0);
    ConfigBlock only_power_wave = config;
    std::copy_n(before.bytes.begin() + k_power_wave.offset, k_power_wave.length,
                only_power_wave.bytes.begin() + k_power_wave.offset);
    EXPECT_EQ(only_power_wave.bytes, before.bytes);  // nothing else written

    // The next opening shows what OK stored (it used to show the load's values again), all 63 of them.
    CPowerWaveDlg* const first = page.power_wave_dialog();
    test_power_wave(page, [&](CPowerWaveDlg& dialog) {
        opened_with = dialog.control_text(power_wave_id::k_power_wave_edit);
        type_into(dialog.control_as<QLineEdit>(power_wave_id::k_power_wave_edit), "1,2,3");
        dialog.control_as<QAbstractButton>(k_id_cancel)->click();
    });
    EXPECT_EQ(page.power_wave_dialog(), first);
    EXPECT_EQ(opened_with, power_wave_text(config));
    EXPECT_EQ(opened_with.substr(0, 6), "7,8,0,");
    EXPECT_EQ(config.u16(k_power_wave.offset), 7);  // Cancel stored nothing

    // After Cancel the opening still shows what is stored; a new load shows the load's values.
    test_power_wave(page, [&](CPowerWaveDlg& dialog) {
        opened_with = dialog.control_text(power_wave_id::k_power_wave_edit);
        dialog.control_as<QAbstractButton>(k_id_cancel)->click();
    });
    EXPECT_EQ(opened_with, power_wave_text(config));
    page.load(busy_block());
    test_power_wave(page, [&](CPowerWaveDlg& dialog) {
        opened_with = dialog.control_text(power_wave_id::k_power_wave_edit);
        dialog.control_as<QAbstractButton>(k_id_cancel)->click();
    });
    EXPECT_EQ(opened_with, power_wave_text_from(100));
}

TEST(HwDlgWithoutTarget, TestPowerWaveOpensNothingWithoutTheViewsBlock) {
    RecordingMessages messages;
    QWidget tab;
    HwPageModel model;
    HWDlg page{model};
    page.Create(&tab);
    page.control_as<QAbstractButton>(k_test_power_wave_button)->click();  // would hang if it ran modally
    EXPECT_EQ(page.power_wave_dialog(), nullptr);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(HwDlgTest, AStoreLeavesThePowerWaveWordsAlone) {
    page.load(busy_block());
    ConfigBlock block;
    page.store(block);
    for (std::size_t offset = k_power_wave.offset; offset < k_power_wave.end(); ++offset) {
        ASSERT_EQ(block.bytes[offset], 0) << "offset " << offset;
    }
}

// The .hw side file through real files: what a record does to the page's other controls and to the
// power-wave words. The buttons' flow itself is tested with those of the other pages.
class HwSideFileTest : public HwDlgTest {
protected:
    std::string path(const char* name) const { return dir.filePath(name).toStdString(); }

    QTemporaryDir dir;
};

TEST_F(HwSideFileTest, SavedThenLoadedTheControlsComeBackAsTheyWere) {
    page.load(busy_block());
    click(k_french_check);
    choose_item(combo(k_power_off_disp_combo), 0);
    type_into(edit(k_tv_mode_edit), "17");
    const Shown saved = shown();
    const std::string saved_default = default_language();

    files.answers = {path("hw.hw")};
    click(k_save_hw_button);
    ASSERT_TRUE(std::filesystem::exists(path("hw.hw")));

    page.load(ConfigBlock{});
    ASSERT_NE(shown(), saved);
    const ConfigBlock config_before = config;
    files.answers = {path("hw.hw")};
    click(k_load_hw_button);
    // The list is rebuilt in code order, with French now offered.
    Shown expected = saved;
    expected.languages = {"English", "French", "Turkish"};
    expected.combos.back() = 2;  // still "Turkish"
    EXPECT_EQ(shown(), expected);
    EXPECT_EQ(default_language(), saved_default);
    EXPECT_FALSE(page.is_control_shown(k_test_power_wave_button));
    EXPECT_EQ(config.bytes, config_before.bytes);  // a .hw load is no change of the view's block

    EXPECT_EQ(messages.shown,
              (std::vector<ShownMessage>{{"Finish to save file!", "Success"}, {"Load done!", "Success"}}));
}

TEST_F(HwSideFileTest, ALoadedRecordGivesThePowerWaveDialogItsWords) {
    ConfigBlock record = busy_block();
    set_power_wave(record, 900);
    QFile file(dir.filePath("waves.hw"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(reinterpret_cast<const char*>(record.bytes.data()), static_cast<qint64>(record.bytes.size()));
    file.close();

    page.load(busy_block());
    files.answers = {path("waves.hw")};
    click(k_load_hw_button);

    std::string opened_with;
    test_power_wave(page, [&](CPowerWaveDlg& dialog) {
        opened_with = dialog.control_text(power_wave_id::k_power_wave_edit);
        dialog.control_as<QAbstractButton>(k_id_cancel)->click();
    });
    EXPECT_EQ(opened_with, power_wave_text_from(900));
}

// A .hw record starts from the view's block: saved and loaded again, the power-wave words come back
// instead of 63 zeros that OK in "Test Power Wave" would write into the image.
TEST_F(HwSideFileTest, ASavedRecordKeepsThePowerWaveWordsOfTheViewsBlock) {
    config = busy_block();
    page.load(config);
    test_power_wave(page, [&](CPowerWaveDlg& dialog) {
        type_into(dialog.control_as<QLineEdit>(power_wave_id::k_power_wave_edit), power_wave_text_from(500));
        dialog.control_as<QAbstractButton>(k_id_ok)->click();
    });
    ASSERT_EQ(config.u16(k_power_wave.offset), 500);
    files.answers = {path("waves.hw")};
    click(k_save_hw_button);

    // The bytes a record built from zeros holds, with the view's power-wave words in their place.
    ConfigBlock expected;
    ASSERT_EQ(page.store(expected), std::nullopt);
    std::copy_n(config.bytes.begin() + k_power_wave.offset, k_power_wave.length,
                expected.bytes.begin() + k_power_wave.offset);
    QFile file(dir.filePath("waves.hw"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray saved = file.readAll();
    ASSERT_EQ(saved.size(), static_cast<qsizetype>(expected.bytes.size()));
    EXPECT_TRUE(std::equal(expected.bytes.begin(), expected.bytes.end(),
                           reinterpret_cast<const std::uint8_t*>(saved.constData())));

    // A fresh page loads it; its "Test Power Wave" opens with the words and OK writes them back.
    HwPageModel fresh_model;
    HWDlg fresh{fresh_model};
    fresh.Create(&tab);
    ConfigBlock fresh_config;
    fresh.set_power_wave_target(&fresh_config);
    files.answers = {path("waves.hw")};
    fresh.control_as<QAbstractButton>(k_load_hw_button)->click();
    std::string opened_with;
    test_power_wave(fresh, [&](CPowerWaveDlg& dialog) {
        opened_with = dialog.control_text(power_wave_id::k_power_wave_edit);
        dialog.control_as<QAbstractButton>(k_id_ok)->click();
    });
    EXPECT_EQ(opened_with, power_wave_text_from(500));
    EXPECT_TRUE(std::equal(config.bytes.begin() + k_power_wave.offset,
                           config.bytes.begin() + k_power_wave.end(),
                           fresh_config.bytes.begin() + k_power_wave.offset));
}

}  // namespace
}  // namespace velmora
