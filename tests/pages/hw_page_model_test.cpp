#include "pages/models/hw_page_model.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "pages/models/power_wave_model.h"
#include "pages/models/side_file.h"
#include "tests/pages/test_blocks.h"
#include "tests/platform/temp_drive_root.h"

namespace velmora {
namespace {

using test::filled_block;
using test::Patch;
using test::patched;
using test::patterned_block;
using test::shown;

std::vector<std::string> names(const HwPageModel& page) {
    std::vector<std::string> result;
    for (const auto name : page.default_language_names()) {
        result.emplace_back(name);
    }
    return result;
}

std::string selected_language(const HwPageModel& page) {
    const int selected = page.default_language_selected();
    return selected == k_no_selection ? "" : names(page).at(static_cast<std::size_t>(selected));
}

// 63 values: the given first and last, zeros between.
std::string wave_text(std::uint16_t first, std::uint16_t last) {
    std::string text = std::to_string(first);
    for (int i = 0; i < 61; ++i) {
        text += ",0";
    }
    return text + "," + std::to_string(last);
}

constexpr std::size_t k_english = 1;
constexpr std::size_t k_french = 2;
constexpr std::size_t k_turkish = 8;

void set_valid_state(HwPageModel& page) {
    page.video_mode.select(3);
    page.spdif = true;
    page.lnb_load = false;
    page.set_scart_enable(true);
    page.tv_av = "1";
    page.tv_mode = "63";
    page.tv_ratio = "0";
    page.sog.select(0);
    page.select_power_off_disp(1);
    page.standby_mode.select(1);
    page.loop_through.select(0);
    page.set_language_checked(k_english, true);
    page.set_language_checked(k_turkish, true);
    page.select_default_language(1);  // Turkish
}

// The bytes a store of set_valid_state() writes.
const Patch k_valid_state_bytes{
    {292, 3}, {293, 0},  {294, 0}, {295, 0},  // CVBS+S-Video
    {296, 0}, {297, 0},  {298, 0}, {299, 0},  // with SPDIF
    {300, 1}, {301, 0},  {302, 0}, {303, 0},  // without LNB load
    {304, 1}, {305, 0},  {306, 0}, {307, 0},  // Scart enabled
    {308, 1}, {309, 63}, {310, 0},            //
    {312, 1}, {313, 0},  {314, 0}, {315, 0},  // SOG "ON"
    {320, 1}, {321, 0},  {322, 0}, {323, 0},  // "Off"
    {324, 1},                                 // 定时关机
    {325, 0}, {326, 1},  {327, 0}, {328, 0}, {329, 0},
    {330, 0}, {331, 0},  {332, 0}, {333, 1}, {334, 8},  // Turkish
    {335, 0},                                           // loop through "OFF"
};

TEST(HwPageModel, StartsEmptyWithTheLabelsOfThePage) {
    HwPageModel page;
    const PageView view = page.view();
    EXPECT_EQ(view.page, "HW Info");
    std::vector<std::string> labels;
    for (const auto& field : view.fields) {
        labels.push_back(field.label);
    }
    const std::vector<std::string> expected{
        "Video Mode:",      "With SPDIF",    "With LNB_Load",
        "Scart Enable",     "TV/AV:",        "TV_MODE:",
        "TV Ratio(16:9)",   "SOG:",          "Power Off Disp:",
        "Standby Mode:",    "Loop Through:", "Chinese",
        "English",          "French",        "Russian",
        "Arabic",           "Farsi",         "Indonesian",
        "Portuguese",       "Turkish",       "Default language:",
        "Power Wave Data:",
    };
    EXPECT_EQ(labels, expected);
    const auto fields = shown(page);
    EXPECT_EQ(fields.at("Video Mode:"), "");
    EXPECT_EQ(fields.at("With SPDIF"), "unchecked");
    EXPECT_EQ(fields.at("Power Wave Data:"), "");
    EXPECT_FALSE(page.scart_controls_shown());
    EXPECT_TRUE(page.test_power_wave_shown());
    EXPECT_TRUE(page.default_language_items().empty());
}

struct LoadCase {
    std::string name;
    Patch bytes;
    std::map<std::string, std::string> expected;
};

TEST(HwPageModel, LoadShowsTheFieldsOfTheBlock) {
    const std::vector<LoadCase> cases{
        {"zero block",
         {},
         {{"Video Mode:", "CVBS+RGB"},
          {"SOG:", "OFF"},
          {"Power Off Disp:", "Time"},
          {"Standby Mode:", "自动待机"},
          {"Loop Through:", "OFF"},
          {"Scart Enable", "unchecked"},
          {"With SPDIF", "checked"},
          {"With LNB_Load", "checked"},
          {"TV/AV:", "0"}}},
        {"items by index",
         {{292, 4}, {320, 1}, {324, 1}, {335, 1}},
         {{"Video Mode:", "Single CVBS"},
          {"Power Off Disp:", "Off"},
          {"Standby Mode:", "定时关机"},
          {"Loop Through:", "ON"}}},
        {"indexes beyond the lists",
         {{292, 5}, {320, 3}, {324, 2}, {335, 0xFF}},
         {{"Video Mode:", ""}, {"Power Off Disp:", ""}, {"Standby Mode:", ""}, {"Loop Through:", ""}}},
        {"a large 32-bit index does not wrap into the list",
         {{292, 0}, {293, 0}, {294, 0}, {295, 0x80}},
         {{"Video Mode:", ""}}},
        {"any non-zero SOG is ON and any non-zero Scart enable checks the box",
         {{315, 1}, {305, 1}},
         {{"SOG:", "ON"}, {"Scart Enable", "checked"}}},
        {"TV values in decimal, whatever their size",
         {{308, 7}, {309, 63}, {310, 200}},
         {{"TV/AV:", "7"}, {"TV_MODE:", "63"}, {"TV Ratio(16:9)", "200"}}},
        {"unfitted options",
         {{296, 1}, {300, 1}},
         {{"With SPDIF", "unchecked"}, {"With LNB_Load", "unchecked"}}},
        {"power-wave words",
         {{336, 0x34}, {337, 0x12}, {460, 0xFF}, {461, 0xFF}},
         {{"Power Wave Data:", wave_text(0x1234, 0xFFFF)}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HwPageModel page;
        EXPECT_TRUE(page.load(patched(ConfigBlock{}, c.bytes)).empty());
        const auto fields = shown(page);
        for (const auto& [label, value] : c.expected) {
            EXPECT_EQ(fields.at(label), value) << label;
        }
    }
}

TEST(HwPageModel, FittedOptionsOutsideTheirTwoCodesKeepTheBox) {
    for (const bool before : {false, true}) {
        for (const std::uint8_t value : {2, 0xFF}) {
            HwPageModel page;
            page.spdif = before;
            page.lnb_load = !before;
            page.load(patched(ConfigBlock{}, {{296, value}, {303, value}}));
            EXPECT_EQ(page.spdif, before);
            EXPECT_EQ(page.lnb_load, !before);

            ConfigBlock block = filled_block(0x77);
            page.tv_av = page.tv_mode = page.tv_ratio = "0";
            ASSERT_EQ(page.store(block), std::nullopt);
            EXPECT_EQ(block.u32(296), before ? 0u : 1u);
            EXPECT_EQ(block.u32(300), before ? 1u : 0u);
        }
    }
}

TEST(HwPageModel, ControlsFollowScartEnableAndPowerOffDisp) {
    struct Case {
        Patch bytes;
        bool scart_shown;
        bool test_power_wave_shown;
    };
    const std::vector<Case> loads{
        {{{304, 1}, {320, 2}}, true, true},     {{}, false, false},
        {{{307, 0x80}, {320, 1}}, true, false}, {{{320, 3}}, false, false},
        {{{320, 2}, {322, 1}}, false, false},  // 0x10002 is no item: nothing selected, button hidden
    };
    HwPageModel page;
    for (const auto& c : loads) {
        page.load(patched(ConfigBlock{}, c.bytes));
        EXPECT_EQ(page.scart_controls_shown(), c.scart_shown);
        EXPECT_EQ(page.test_power_wave_shown(), c.test_power_wave_shown);
    }

    const std::vector<std::pair<int, bool>> picks{{2, true}, {0, false}, {2, true}, {1, false}, {5, false}};
    for (const auto& [index, offered] : picks) {
        page.select_power_off_disp(index);
        EXPECT_EQ(page.test_power_wave_shown(), offered) << index;
    }
    for (const bool checked : {true, false, true}) {
        page.set_scart_enable(checked);
        EXPECT_EQ(page.scart_controls_shown(), checked);
    }
}

struct LanguageCase {
    std::string name;
    Patch bytes;
    std::vector<std::string> items;
    std::string selected;
};

TEST(HwPageModel, LoadFillsTheDefaultLanguageList) {
    const std::vector<LanguageCase> cases{
        {"English and Turkish, default Turkish",
         {{326, 1}, {333, 1}, {334, 8}},
         {"English", "Turkish"},
         "Turkish"},
        {"default not offered", {{326, 1}, {333, 1}, {334, 0}}, {"English", "Turkish"}, ""},
        {"only the byte 1 offers", {{325, 2}, {326, 1}, {327, 0xFF}, {334, 0}}, {"English"}, ""},
        {"all offered, code beyond the table",
         {{325, 1}, {326, 1}, {327, 1}, {328, 1}, {329, 1}, {330, 1}, {331, 1}, {332, 1}, {333, 1}, {334, 9}},
         {"Chinese", "English", "French", "Russian", "Arabic", "Farsi", "Indonesian", "Portuguese",
          "Turkish"},
         ""},
        {"first item", {{325, 1}, {330, 1}, {334, 0}}, {"Chinese", "Farsi"}, "Chinese"},
        {"none offered", {{334, 1}}, {}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HwPageModel page;
        set_valid_state(page);  // a load replaces everything the list held
        page.load(patched(ConfigBlock{}, c.bytes));
        EXPECT_EQ(names(page), c.items);
        EXPECT_EQ(selected_language(page), c.selected);
        std::vector<std::string> checked;
        for (std::size_t code = 0; code < k_languages.size(); ++code) {
            if (page.language_checked(code)) {
                checked.emplace_back(k_languages[code].name);
            }
        }
        EXPECT_EQ(checked, c.items);
        EXPECT_EQ(shown(page).at("Default language:"), c.selected);
    }
}

TEST(HwPageModel, LanguageClicksKeepTheListInStep) {
    HwPageModel page;
    page.load(patched(ConfigBlock{}, {{326, 1}, {333, 1}, {334, 8}}));

    page.set_language_checked(k_french, true);
    EXPECT_EQ(names(page), (std::vector<std::string>{"English", "Turkish", "French"}));
    EXPECT_EQ(selected_language(page), "Turkish");

    page.set_language_checked(k_french, true);  // already listed: no second item
    EXPECT_EQ(names(page).size(), 3u);

    page.set_language_checked(k_english, false);  // before the selection: the selection stays on Turkish
    EXPECT_EQ(names(page), (std::vector<std::string>{"Turkish", "French"}));
    EXPECT_EQ(selected_language(page), "Turkish");

    page.set_language_checked(3, false);  // Russian was never listed
    EXPECT_EQ(names(page), (std::vector<std::string>{"Turkish", "French"}));

    page.set_language_checked(k_english, true);  // appended, not put back in code order
    EXPECT_EQ(names(page), (std::vector<std::string>{"Turkish", "French", "English"}));

    page.set_language_checked(k_turkish, false);  // the selected item goes, and the selection with it
    EXPECT_EQ(names(page), (std::vector<std::string>{"French", "English"}));
    EXPECT_EQ(page.default_language_selected(), k_no_selection);

    page.select_default_language(1);
    EXPECT_EQ(selected_language(page), "English");
    page.select_default_language(2);
    EXPECT_EQ(page.default_language_selected(), k_no_selection);
}

TEST(HwPageModel, DefaultLanguageIsKeptWhenTheListNamesNone) {
    struct Case {
        std::string name;
        void (*edit)(HwPageModel&);
        std::vector<std::string> items;
    };
    const std::vector<Case> cases{
        {"every language unchecked",
         [](HwPageModel& page) {
             page.set_language_checked(k_english, false);
             page.set_language_checked(k_turkish, false);
         },
         {}},
        {"the selected language unchecked",
         [](HwPageModel& page) { page.set_language_checked(k_turkish, false); },
         {"English"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HwPageModel page;
        page.load(patched(ConfigBlock{}, {{326, 1}, {333, 1}, {334, 8}}));
        c.edit(page);
        EXPECT_EQ(names(page), c.items);
        ConfigBlock block = patched(ConfigBlock{}, {{334, 5}});
        ASSERT_EQ(page.store(block), std::nullopt);
        EXPECT_EQ(block.bytes[334], 5);
    }
    HwPageModel page;
    page.load(patched(ConfigBlock{}, {{326, 1}, {333, 1}, {334, 8}}));
    page.select_default_language(0);
    ConfigBlock block;
    ASSERT_EQ(page.store(block), std::nullopt);
    EXPECT_EQ(block.bytes[334], 1);  // English
}

TEST(HwPageModel, StoreWritesOnlyTheHardwareOptions) {
    for (const ConfigBlock& background : {filled_block(0x00), filled_block(0xFF), patterned_block()}) {
        SCOPED_TRACE(std::to_string(background.bytes[100]));
        HwPageModel page;
        set_valid_state(page);
        page.set_scart_enable(false);  // hidden Scart controls are still checked and stored
        ConfigBlock block = background;
        ASSERT_EQ(page.store(block), std::nullopt);
        ConfigBlock expected = patched(background, k_valid_state_bytes);
        expected.bytes[304] = 0;
        EXPECT_EQ(block, expected);
    }
}

TEST(HwPageModel, StoreWithNoSelections) {
    HwPageModel page;
    page.tv_av = page.tv_mode = page.tv_ratio = "0";
    ConfigBlock block = patterned_block();
    const ConfigBlock before = block;
    ASSERT_EQ(page.store(block), std::nullopt);
    EXPECT_EQ(block.u32(292), 0xFFFFFFFFu);
    EXPECT_EQ(block.u32(296), 1u);
    EXPECT_EQ(block.u32(300), 1u);
    EXPECT_EQ(block.u32(304), 0u);
    EXPECT_EQ(block.u32(312), 0u);  // "OFF"
    EXPECT_EQ(block.u32(320), 2u);  // "None"
    EXPECT_EQ(block.bytes[324], 0xFF);
    EXPECT_EQ(block.bytes[335], 0xFF);
    for (std::size_t i = 325; i < 334; ++i) {
        EXPECT_EQ(block.bytes[i], 0) << i;
    }
    EXPECT_EQ(block.bytes[334], before.bytes[334]);  // the list is empty
}

TEST(HwPageModel, LoadThenStoreKeepsAStoredBlock) {
    for (const ConfigBlock& background : {filled_block(0xFF), patterned_block()}) {
        HwPageModel writer;
        set_valid_state(writer);
        ConfigBlock written = background;
        ASSERT_EQ(writer.store(written), std::nullopt);
        HwPageModel page;
        page.load(written);
        ConfigBlock again = written;
        ASSERT_EQ(page.store(again), std::nullopt);
        EXPECT_EQ(again, written);
    }
}

TEST(HwPageModel, ALanguageByteOtherThan1IsStoredAs0) {
    HwPageModel page;
    page.load(patched(ConfigBlock{}, {{327, 2}}));
    page.tv_av = page.tv_mode = page.tv_ratio = "0";
    ConfigBlock block = patched(ConfigBlock{}, {{327, 2}});
    ASSERT_EQ(page.store(block), std::nullopt);
    EXPECT_EQ(block.bytes[327], 0);
}

struct TvField {
    std::string HwPageModel::*text;
    std::size_t offset;
    std::string message;
};

TEST(HwPageModel, AFailedTvValueStopsTheStoreWithItsMessage) {
    const std::vector<TvField> fields{
        {&HwPageModel::tv_av, 308, "The 'TV/AV' value is not valid!"},
        {&HwPageModel::tv_mode, 309, "The 'TV_MODE' value is not valid!"},
        {&HwPageModel::tv_ratio, 310, "The 'TV Ratio' value is not valid!"},
    };
    for (const auto& field : fields) {
        for (const std::string text : {"64", "-1", "7x", "", "255"}) {
            for (const ConfigBlock& background : {filled_block(0xFF), patterned_block()}) {
                SCOPED_TRACE(field.message + " with '" + text + "'");
                HwPageModel page;
                set_valid_state(page);
                page.set_scart_enable(false);
                ConfigBlock full = background;
                ASSERT_EQ(page.store(full), std::nullopt);

                page.*field.text = text;
                ConfigBlock block = background;
                EXPECT_EQ(page.store(block), (PageMessage{MessageKind::check_failed, field.message, ""}));
                // Everything from 292 up to the failed value is stored; nothing after it.
                ConfigBlock expected = background;
                for (std::size_t i = 292; i < field.offset; ++i) {
                    expected.bytes[i] = full.bytes[i];
                }
                EXPECT_EQ(block, expected);
            }
        }
    }
}

TEST(HwPageModel, TvValuesFrom0To63Pass) {
    for (const auto& [text, value] :
         std::vector<std::pair<std::string, int>>{{"0", 0}, {"7", 7}, {"63", 63}}) {
        HwPageModel page;
        page.tv_av = page.tv_mode = page.tv_ratio = text;
        ConfigBlock block = filled_block(0xEE);
        ASSERT_EQ(page.store(block), std::nullopt);
        EXPECT_EQ(block.bytes[308], value);
        EXPECT_EQ(block.bytes[309], value);
        EXPECT_EQ(block.bytes[310], value);
        EXPECT_EQ(block.bytes[311], 0xEE);
    }
}

TEST(HwPageModel, SideRecordLoadsTheFieldsAndThePowerWaveText) {
    ConfigBlock record = patched(patterned_block(), k_valid_state_bytes);
    HwPageModel page;
    page.load(ConfigBlock{});
    ASSERT_EQ(page.apply_side_record(SideFileKind::hw, record), std::nullopt);
    EXPECT_EQ(page.power_wave_text(), power_wave_text(record));
    EXPECT_EQ(names(page), (std::vector<std::string>{"English", "Turkish"}));
    EXPECT_EQ(shown(page).at("Video Mode:"), "CVBS+S-Video");
}

TEST(HwPageModel, SideRecordHoldsOnlyTheHardwareOptions) {
    HwPageModel page;
    page.load(patterned_block());  // a power-wave text that must not reach the record
    set_valid_state(page);
    ConfigBlock record;
    ASSERT_EQ(page.build_side_record(SideFileKind::hw, record), std::nullopt);
    EXPECT_EQ(record, patched(ConfigBlock{}, k_valid_state_bytes));

    page.tv_mode = "64";
    ConfigBlock failed;
    EXPECT_EQ(page.build_side_record(SideFileKind::hw, failed)->text, "The 'TV_MODE' value is not valid!");
}

TEST(HwPageModel, SideRecordStartsFromTheRecordBaseAndKeepsItsPowerWave) {
    testing::TempDirectory directory;
    const std::string path = (directory.path() / "box.hw").string();
    const ConfigBlock base = patterned_block();  // the view's block, power-wave words included
    HwPageModel page;
    page.load(ConfigBlock{});
    set_valid_state(page);
    page.set_side_record_base(&base);
    ConfigBlock record;
    ASSERT_EQ(page.build_side_record(SideFileKind::hw, record), std::nullopt);
    EXPECT_EQ(record, patched(base, k_valid_state_bytes));

    ASSERT_EQ(save_side_file(page, SideFileKind::hw, path).at(0).text, "Finish to save file!");
    HwPageModel reader;
    ASSERT_EQ(load_side_file(reader, SideFileKind::hw, path).at(0).text, "Load done!");
    EXPECT_EQ(reader.power_wave_text(), power_wave_text(base));

    // Without a base the record starts from zeros again.
    page.set_side_record_base(nullptr);
    ConfigBlock from_zeros;
    ASSERT_EQ(page.build_side_record(SideFileKind::hw, from_zeros), std::nullopt);
    EXPECT_EQ(from_zeros, patched(ConfigBlock{}, k_valid_state_bytes));
}

TEST(HwPageModel, SideRecordOfAnotherPageIsRefused) {
    HwPageModel page;
    set_valid_state(page);
    const auto before = shown(page);
    for (const SideFileKind kind : {SideFileKind::fp, SideFileKind::led, SideFileKind::ir1}) {
        const auto refused = page.apply_side_record(kind, filled_block(0x01));
        ASSERT_TRUE(refused.has_value());
        EXPECT_EQ(refused->kind, MessageKind::refused);
        EXPECT_EQ(shown(page), before);
        ConfigBlock record;
        EXPECT_TRUE(page.build_side_record(kind, record).has_value());
        EXPECT_EQ(record, ConfigBlock{});
    }
}

TEST(HwPageModel, SaveWithAFailedCheckWritesNoFileAndASavedFileLoadsBack) {
    testing::TempDirectory directory;
    const std::string path = (directory.path() / "box.hw").string();
    HwPageModel page;
    set_valid_state(page);
    page.tv_ratio = "x";
    EXPECT_EQ(save_side_file(page, SideFileKind::hw, path),
              (PageMessages{{MessageKind::check_failed, "The 'TV Ratio' value is not valid!", ""}}));
    EXPECT_FALSE(std::filesystem::exists(path));

    page.tv_ratio = "9";
    ASSERT_EQ(save_side_file(page, SideFileKind::hw, path).at(0).text, "Finish to save file!");
    HwPageModel reader;
    EXPECT_EQ(load_side_file(reader, SideFileKind::hw, path),
              (PageMessages{{MessageKind::success, "Load done!", "Success"}}));
    EXPECT_EQ(shown(reader).at("TV Ratio(16:9)"), "9");
    EXPECT_EQ(names(reader), names(page));
    EXPECT_EQ(selected_language(reader), "Turkish");
}

}  // namespace
}  // namespace velmora
