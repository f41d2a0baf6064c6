// The main view's Parse and Generate through its buttons, against real files and velmora-image.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QProcess>
#include <QTreeWidget>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "config/flash_image.h"
#include "framework/message_box.h"
#include "pages/models/key_map_model.h"
#include "script/process_runner.h"
#include "tests/plugin/view_fixture.h"

namespace velmora::plugin_test {
namespace {

using page_test::ShownMessage;

bool wait_cursor_shown() {
    const QCursor* cursor = QApplication::overrideCursor();
    return cursor != nullptr && cursor->shape() == Qt::WaitCursor;
}

// Records every box, and how many came up under the wait cursor.
class CursorCheckingMessages : public page_test::RecordingMessages {
public:
    MessageResult present(QWidget* owner, const std::string& text, const std::string& caption,
                          MessageButtons buttons) override {
        under_wait_cursor += wait_cursor_shown() ? 1 : 0;
        return RecordingMessages::present(owner, text, caption, buttons);
    }

    int under_wait_cursor = 0;
};

// The view's runner, noting whether gzip started under the wait cursor.
class CursorCheckingRunner : public ProcessRunner {
public:
    void OnStarted(const std::string& command) override {
        ProcessRunner::OnStarted(command);
        started_under_wait_cursor.push_back(wait_cursor_shown());
    }
    std::vector<bool> started_under_wait_cursor;
};

struct ToolResult {
    int status;
    std::string err;
};

ToolResult run_tool(const QStringList& arguments) {
    QProcess tool;
    tool.start(QStringLiteral(VELMORA_IMAGE_TOOL), arguments);
    if (!tool.waitForFinished(static_cast<int>(k_tool_limit.count()))) {
        tool.kill();
        tool.waitForFinished();
        return {-1, {}};
    }
    return {tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1,
            tool.readAllStandardError().toStdString()};
}

// Sparse: grown without writing, so it costs no disk.
std::filesystem::path grown(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes,
                            std::uint64_t size) {
    write_bytes(path, bytes);
    std::filesystem::resize_file(path, size);
    return path;
}

// Each file gets one verdict from the window's Parse and from every velmora-image command: the
// same message, or acceptance. The view keeps its old image only when the file never opened, and
// the wait cursor is gone before any box is shown and after every Parse.
TEST_F(ViewTest, ParseAndEveryCommandGiveEachFileTheSameVerdict) {
    const std::filesystem::path good = sample();
    const std::vector<std::uint8_t> sample_bytes = read_bytes(good);
    constexpr std::uint64_t k_huge = (std::uint64_t{1} << 32) + 16;
    constexpr std::uint64_t k_gib = std::uint64_t{1} << 30;
    std::filesystem::create_directory(dir / "folder.bin");
    struct Case {
        const char* what;
        std::filesystem::path input;
        std::string text;      // empty: accepted
        bool old_image_stays;  // the file did not open
    };
    const std::vector<Case> cases{
        {"the sample", good, "", false},
        {"the sample grown to 4 GiB + 16", grown(dir / "huge.bin", sample_bytes, k_huge),
         "Wrong binary file!", false},
        {"the sample cut inside directory B", dir / "cut.bin", "Wrong binary file!", false},
        {"1 GiB that is no image", grown(dir / "zeros.bin", {}, k_gib), "Wrong binary file!", false},
        {"an empty file", dir / "empty.bin", "Wrong binary file!", false},
        {"a folder", dir / "folder.bin", "Failed to open the flash file!", true},
        {"a missing file", dir / "missing.bin", "Failed to open the flash file!", true},
    };
    write_bytes(dir / "cut.bin", {sample_bytes.begin(), sample_bytes.begin() + 0x10000 + 20});
    write_bytes(dir / "empty.bin", {});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // The view holds the sample's image from an earlier Parse.
        parse(good);
        click(k_clear_button);
        ASSERT_EQ(view->image, sample_bytes);

        CursorCheckingMessages shown;
        parse(c.input);
        EXPECT_FALSE(wait_cursor_shown());
        EXPECT_EQ(shown.under_wait_cursor, 0);
        if (c.text.empty()) {
            EXPECT_TRUE(shown.shown.empty());
            expect_parsed_state();
            EXPECT_EQ(view->image, read_bytes(c.input));
            click(k_clear_button);
        } else {
            EXPECT_EQ(shown.shown, (std::vector<ShownMessage>{{c.text, "error"}}));
            expect_initial_state();
            EXPECT_EQ(view->image, c.old_image_stays ? sample_bytes : std::vector<std::uint8_t>{});
        }

        const QString image = QString::fromStdString(c.input.string());
        const QString out = QString::fromStdString((dir / "out.bin").string());
        const std::vector<QStringList> commands{
            {QStringLiteral("info"), image},
            {QStringLiteral("verify"), image},
            {QStringLiteral("dump"), image},
            {QStringLiteral("generate"), image, QStringLiteral("-o"), out}};
        for (const QStringList& command : commands) {
            SCOPED_TRACE(command.front().toStdString());
            const ToolResult r = run_tool(command);
            EXPECT_EQ(r.status, c.text.empty() ? 0 : 1);
            EXPECT_EQ(r.err, c.text.empty() ? "" : c.text + "\n");
        }
    }
}

TEST_F(ViewTest, TheWaitCursorShowsWhileParseWorksAndNeverUnderABox) {
    auto runner = std::make_unique<CursorCheckingRunner>();
    CursorCheckingRunner& watched = *runner;
    view->runner = std::move(runner);
    CursorCheckingMessages shown;

    parse(sample());
    EXPECT_EQ(watched.started_under_wait_cursor, std::vector<bool>{true});  // gzip ran during Parse
    EXPECT_FALSE(wait_cursor_shown());

    // A check message from a page's store; mended, Generate's own message.
    page_test::type_into(view->hw_page.control_as<QLineEdit>(hw_info_id::k_tv_av_edit), "64");
    browse_output((dir / "out").string());
    click(k_generate_button);
    page_test::type_into(view->hw_page.control_as<QLineEdit>(hw_info_id::k_tv_av_edit), "63");
    click(k_generate_button);
    EXPECT_EQ(shown.shown,
              (std::vector<ShownMessage>{{"The 'TV/AV' value is not valid!", application_caption()},
                                         {"Save Data Success!", "Success"}}));
    EXPECT_EQ(shown.under_wait_cursor, 0);
    EXPECT_FALSE(wait_cursor_shown());
}

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
        click(k_parse_button);

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
    // The key script was unpacked and read: the key map has the sample's names.
    EXPECT_FALSE(view->pages.key_map.names().fp.empty());
    // The tree's selection is the user's; Parse does not change it.
    EXPECT_TRUE(tree()->selectedItems().isEmpty());
}

TEST_F(ViewTest, ParseAfterClearShowsTheFrontPanelWhateverTheTreeSelects) {
    const std::filesystem::path input = sample();
    parse(input);
    tree()->setCurrentItem(tree()->topLevelItem(2));
    ASSERT_TRUE(view->hw_page.isVisible());

    click(k_clear_button);
    parse(input);

    expect_parsed_state();
    EXPECT_EQ(tree()->currentItem()->text(0).toStdString(), "HW Info");
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
    click(k_generate_button);

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
    click(k_generate_button);

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

// The output opens before the pages are stored: an output that cannot be opened shows only its own
// message, even with a page holding a bad value, and leaves the block as it was.
TEST_F(ViewTest, GenerateRefusesAnOutputItCannotOpenBeforeItStoresThePages) {
    struct Case {
        const char* name;
        std::optional<std::string> output;  // Browse adds ".bin"
        std::string text;
    };
    std::filesystem::create_directory(dir / "taken.bin");
    write_bytes(dir / "file.bin", {1});
    const std::vector<Case> cases{
        {"no output", std::nullopt, "Please select output file!"},
        {"missing folder", (dir / "missing" / "out").string(), "Can't open output file!"},
        {"a folder", (dir / "taken").string(), "Can't open output file!"},
        {"under a file", (dir / "file.bin" / "out").string(), "Can't open output file!"},
    };
    parse(sample());
    // A bad value on the hardware page, and a new key code that a store would put into the block.
    page_test::type_into(view->hw_page.control_as<QLineEdit>(hw_info_id::k_tv_av_edit), "64");
    KeyMapModel& key_map = view->pages.key_map;
    ASSERT_TRUE(key_map.open_editor_at(KeyList::fp, ListCell{0, KeyMapModel::k_fp_code_column}));
    key_map.set_editor_text(KeyList::fp, "85");
    key_map.commit_editor(KeyList::fp);
    const ConfigBlock parsed = view->config;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        messages.shown.clear();
        if (c.output) {
            browse_output(*c.output);
        }
        click(k_generate_button);

        EXPECT_EQ(messages.shown, (std::vector<ShownMessage>{{c.text, "error"}}));
        EXPECT_EQ(view->config.bytes, parsed.bytes);
        EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
        EXPECT_TRUE(std::filesystem::is_empty(dir / "taken.bin"));
    }
    // An output that opens: the pages are stored and the bad value is reported; the image is not
    // written and no success follows (the image used to be written with the previous value, after
    // "Save Data Success!"). What the output held stays.
    messages.shown.clear();
    write_bytes(dir / "out.bin", {7, 7, 7});
    browse_output((dir / "out").string());
    click(k_generate_button);
    EXPECT_EQ(messages.shown,
              (std::vector<ShownMessage>{{"The 'TV/AV' value is not valid!", application_caption()}}));
    EXPECT_NE(view->config.bytes, parsed.bytes);
    EXPECT_EQ(read_bytes(dir / "out.bin"), (std::vector<std::uint8_t>{7, 7, 7}));

    // Mended, the next Generate writes the image with the value the user sees.
    page_test::type_into(view->hw_page.control_as<QLineEdit>(hw_info_id::k_tv_av_edit), "21");
    messages.shown.clear();
    click(k_generate_button);
    EXPECT_EQ(messages.shown, (std::vector<ShownMessage>{{"Save Data Success!", "Success"}}));
    const std::vector<std::uint8_t> written = read_bytes(dir / "out.bin");
    ConfigBlock block;
    KeyScriptBuffer script;
    ASSERT_EQ(ExtractConfig(written, block, script, {}), 1);
    EXPECT_EQ(block.bytes[308], 21);
}

// The dialogs work on the view's one PageSet: what their controls hold reaches the set's models when
// the pages store, and each page's failed check comes from its own dialog, in the set's order, before
// Generate's own message.
TEST_F(ViewTest, GenerateStoresTheDialogsThroughThePageSetsModels) {
    parse(sample());
    ASSERT_EQ(&view->fp_page.model(), &view->pages.fp);
    ASSERT_EQ(&view->hw_page.model(), &view->pages.hw);
    view->fp_page.control_as<QLineEdit>(front_panel_id::k_clock_pos_edit)->setText(QStringLiteral("-1"));
    view->hw_page.control_as<QLineEdit>(hw_info_id::k_tv_av_edit)->setText(QStringLiteral("64"));
    browse_output((dir / "out.bin").string());
    click(k_generate_button);

    std::vector<std::string> texts;
    for (const ShownMessage& shown : messages.shown) {
        texts.push_back(shown.text);
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"The 'fclock pos' value is not valid!",
                                               "The 'TV/AV' value is not valid!"}));
    EXPECT_EQ(messages.owners, (std::vector<QWidget*>{&view->fp_page, &view->hw_page}));
    EXPECT_FALSE(std::filesystem::exists(dir / "out.bin"));
    EXPECT_EQ(view->pages.fp.clock_pos, "-1");
    EXPECT_EQ(view->pages.hw.tv_av, "64");
}

}  // namespace
}  // namespace velmora::plugin_test
