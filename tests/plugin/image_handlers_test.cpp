// The main view's Parse and Generate through its buttons, against real files and velmora-image.
#include <gtest/gtest.h>

#include <QTreeWidget>
#include <filesystem>
#include <string>
#include <vector>

#include "pages/key_map_model.h"
#include "tests/plugin/view_fixture.h"

namespace velmora::plugin_test {
namespace {

using page_test::ShownMessage;

TEST_F(ViewTest, ParseRefusesWhatIsNoFlashImage) {
    struct Case {
        const char* name;
        std::optional<std::filesystem::path> input;  // none: no Browse at all
        std::string text;
    };
    const std::filesystem::path zeros = dir / "zeros.bin";
    write_bytes(zeros, std::vector<std::uint8_t>(70000, 0));
    const std::vector<Case> cases{
        {"no input", std::nullopt, "Please select input file!"},
        {"missing file", dir / "missing.bin", "Failed to open the flash file!"},
        {"a folder", dir, "Failed to open the flash file!"},
        {"no directories", zeros, "Wrong binary file!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        messages.shown.clear();
        messages.owners.clear();
        if (c.input) {
            browse_input(*c.input);
        }
        click(k_id_parse);

        EXPECT_EQ(messages.shown, (std::vector<ShownMessage>{{c.text, "error"}}));
        ASSERT_EQ(messages.owners.size(), 1U);
        EXPECT_EQ(messages.owners[0], view);
        expect_initial_state();
    }
}

TEST_F(ViewTest, ParseOfAGoodImageShowsTheFrontPanelPage) {
    const std::filesystem::path input = sample();
    parse(input);

    EXPECT_TRUE(messages.shown.empty());
    expect_parsed_state();
    EXPECT_EQ(view->image, read_bytes(input));
    EXPECT_EQ(view->image_size, view->image.size());
    // The key script was unpacked and read: the key map has the sample's names.
    EXPECT_FALSE(view->pages.key_map.names().fp.empty());
    // The tree's selection is the user's; Parse does not change it.
    EXPECT_TRUE(view->tree->selectedItems().isEmpty());
}

TEST_F(ViewTest, ParseAfterClearShowsTheFrontPanelWhateverTheTreeSelects) {
    const std::filesystem::path input = sample();
    parse(input);
    view->tree->setCurrentItem(view->tree->topLevelItem(2));
    ASSERT_TRUE(view->hw_page.isVisible());

    click(k_id_clear);
    parse(input);

    expect_parsed_state();
    EXPECT_EQ(view->tree->currentItem()->text(0).toStdString(), "HW Info");
}

TEST_F(ViewTest, GenerateWritesWhatTheCommandLineWrites) {
    // A main record whose CRC is wrong: Generate must write the records back, not copy the input.
    std::vector<std::uint8_t> bytes = read_bytes(sample());
    const auto main_record = find_record(bytes, k_tag_main);
    ASSERT_TRUE(main_record);
    bytes[main_record->entry + k_entry_crc_at] ^= 0xFF;
    const std::filesystem::path input = dir / "stale crc.bin";
    write_bytes(input, bytes);

    parse(input);
    browse_output((dir / "from view").string());
    click(k_id_generate);

    EXPECT_EQ(messages.shown, (std::vector<ShownMessage>{{"Save Data Success!", "Success"}}));
    const std::filesystem::path expected = dir / "from tool.bin";
    ASSERT_EQ(run_image_tool({QStringLiteral("generate"), QString::fromStdString(input.string()),
                              QStringLiteral("-o"), QString::fromStdString(expected.string())}),
              0);
    const std::vector<std::uint8_t> written = read_bytes(dir / "from view.bin");
    EXPECT_EQ(written, read_bytes(expected));
    EXPECT_NE(written, bytes);
    EXPECT_EQ(read_bytes(input), bytes);  // the input is never written
}

TEST_F(ViewTest, GenerateStoresThePagesFirst) {
    const std::filesystem::path input = sample();
    parse(input);
    // The first front panel key's code, typed into its cell (decimal).
    KeyMapModel& key_map = view->pages.key_map;
    ASSERT_TRUE(key_map.open_editor_at(KeyList::fp, ListCell{0, KeyMapModel::k_fp_code_column}));
    key_map.set_editor_text(KeyList::fp, "85");
    key_map.commit_editor(KeyList::fp);
    browse_output((dir / "out.bin").string());
    click(k_id_generate);

    ASSERT_EQ(messages.shown, (std::vector<ShownMessage>{{"Save Data Success!", "Success"}}));
    const std::vector<std::uint8_t> before = read_bytes(input);
    const std::vector<std::uint8_t> after = read_bytes(dir / "out.bin");
    const auto fp_keys = find_record(after, k_tag_fp_keys);
    ASSERT_TRUE(fp_keys);
    ASSERT_NE(before[fp_keys->data], 85);
    EXPECT_EQ(after[fp_keys->data], 85);
    // Only that code and its record's CRC changed.
    ASSERT_EQ(after.size(), before.size());
    std::vector<std::size_t> changed;
    for (std::size_t i = 0; i < after.size(); ++i) {
        if (after[i] != before[i]) {
            changed.push_back(i);
        }
    }
    ASSERT_FALSE(changed.empty());
    EXPECT_EQ(changed.front(), fp_keys->entry + k_entry_crc_at);
    for (const std::size_t offset : changed) {
        const bool in_crc =
            offset >= fp_keys->entry + k_entry_crc_at && offset < fp_keys->entry + k_entry_crc_at + 4;
        EXPECT_TRUE(in_crc || offset == fp_keys->data) << "offset " << offset;
    }
}

TEST_F(ViewTest, GenerateRefusesAnOutputItCannotWrite) {
    struct Case {
        const char* name;
        std::optional<std::string> output;
        std::string text;
    };
    const std::vector<Case> cases{
        {"no output", std::nullopt, "Please select output file!"},
        {"missing folder", (dir / "missing" / "out.bin").string(), "Can't open output file!"},
    };
    parse(sample());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        messages.shown.clear();
        if (c.output) {
            browse_output(*c.output);
        }
        click(k_id_generate);

        EXPECT_EQ(messages.shown, (std::vector<ShownMessage>{{c.text, "error"}}));
        EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
    }
}

}  // namespace
}  // namespace velmora::plugin_test
