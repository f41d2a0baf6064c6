// The side-file buttons of every page, one table over the six kinds: the file dialogs and their
// options, a save and a load through real files, a cancelled dialog, a file that cannot be opened
// and a save whose check fails.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLineEdit>
#include <QWidget>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "pages/dialogs/fp_dlg.h"
#include "pages/dialogs/hw_dlg.h"
#include "pages/dialogs/key_map_dlg.h"
#include "pages/dialogs/led_map_dlg.h"
#include "res/control_ids.h"
#include "tests/pages/key_map_fixture.h"
#include "tests/pages/test_blocks.h"
#include "tests/plugin/page_dialog_fakes.h"

namespace velmora::testing {
namespace {

using page_test::RecordingMessages;
using page_test::RequestWindow;
using page_test::ScriptedFileDialogs;
using page_test::ShownMessage;

// A page window with its model, created as the main view creates it.
class SidePage {
public:
    virtual ~SidePage() = default;
    virtual PageDialog& dialog() = 0;
    virtual PageModel& model() = 0;
};

template <class Model, class Window>
class PageOf : public SidePage {
public:
    template <class... CreateArgs>
    explicit PageOf(CreateArgs... args) {
        window_.Create(args...);
    }
    PageDialog& dialog() override { return window_; }
    PageModel& model() override { return model_; }

private:
    Model model_;
    Window window_{model_};
};

template <class Model, class Window>
std::unique_ptr<SidePage> with_requests(QWidget* tab, Dialog* view) {
    return std::make_unique<PageOf<Model, Window>>(tab, view);
}

std::unique_ptr<SidePage> hw_page(QWidget* tab, Dialog*) {
    return std::make_unique<PageOf<HwPageModel, HWDlg>>(tab);
}

// A key file fills the rows the page has, so both key blocks have the same counts.
ConfigBlock key_block_busy() {
    return key_block(9, 60, 60);
}
ConfigBlock key_block_plain() {
    ConfigBlock block = key_block(9, 60, 60);
    for (const KeyTable* table : {&k_fp_key_table, &k_ir1_table, &k_ir2_table}) {
        for (std::size_t i = 0; i < table->capacity; ++i) {
            block.set_key_code(*table, i, 0x55);
        }
    }
    block.set_u16(k_ir1_user_code_offset, 0x5555);
    block.set_u16(k_ir2_user_code_offset, 0x5555);
    return block;
}
ConfigBlock zero_block() {
    return ConfigBlock{};
}
ConfigBlock ones_block() {
    return test::filled_block(0x01);
}

struct FlowCase {
    const char* name;
    SideFileKind kind;
    std::unique_ptr<SidePage> (*open)(QWidget* tab, Dialog* view);
    int load_button;
    int save_button;
    // Two blocks whose records for this kind differ.
    ConfigBlock (*busy)();
    ConfigBlock (*plain)();
    // The file dialogs: their filter, the kind of dialog the save opens, whether it asks before
    // overwriting.
    const char* filter;
    FileDialogKind save_dialog;
    bool overwrite_prompt;
    // An edit the user types into and does not store (0: the page has none in its record).
    int typed_edit = 0;
    const char* typed_text = "";
    // A value that fails the save's check, and the check's message (0: no check of the page's own).
    int check_edit = 0;
    const char* check_text = "";
    const char* check_message = "";
};

void PrintTo(const FlowCase& c, std::ostream* out) {
    *out << c.name;
}

const std::vector<FlowCase>& flows() {
    static const std::vector<FlowCase> cases{
        {"fp", SideFileKind::fp, with_requests<FpPageModel, FPDlg>, front_panel_id::k_load_fp_button,
         front_panel_id::k_save_fp_button, test::patterned_block, zero_block,
         "FP files(*.fp)|*.fp|All   files   (*.*)|*.*||", FileDialogKind::save, true,
         front_panel_id::k_clock_pos_edit, "21", front_panel_id::k_lock_lamp_pos_edit, "64",
         "The 'lbd_0 pos' value is not valid!"},
        {"hw", SideFileKind::hw, hw_page, hw_info_id::k_load_hw_button, hw_info_id::k_save_hw_button,
         ones_block, zero_block, "HW files(*.hw)|*.hw|All   files   (*.*)|*.*||", FileDialogKind::save, true,
         hw_info_id::k_tv_mode_edit, "17", hw_info_id::k_tv_ratio_edit, "99",
         "The 'TV Ratio' value is not valid!"},
        {"fpkey", SideFileKind::fpkey, with_requests<KeyMapModel, KeyMapDlg>,
         key_map_id::k_load_fp_key_button, key_map_id::k_save_fp_key_button, key_block_busy, key_block_plain,
         "FPKEY files(*.fpkey)|*.fpkey|All   files   (*.*)|*.*||", FileDialogKind::save, true},
        {"ir1", SideFileKind::ir1, with_requests<KeyMapModel, KeyMapDlg>, key_map_id::k_load_ir1_key_button,
         key_map_id::k_save_ir1_key_button, key_block_busy, key_block_plain,
         "IR1 files(*.ir1)|*.ir1|All   files   (*.*)|*.*||", FileDialogKind::save, true,
         key_map_id::k_ir1_user_code_edit, "a1", key_map_id::k_ir1_user_code_edit, "12345",
         "The 'IR1 UserCode' value is not valid!"},
        {"ir2", SideFileKind::ir2, with_requests<KeyMapModel, KeyMapDlg>, key_map_id::k_load_ir2_key_button,
         key_map_id::k_save_ir2_key_button, key_block_busy, key_block_plain,
         "IR2 files(*.ir2)|*.ir2|All   files   (*.*)|*.*||", FileDialogKind::save, true,
         key_map_id::k_ir2_user_code_edit, "b2", key_map_id::k_ir2_user_code_edit, "xyz",
         "The 'IR2 UserCode' value is not valid!"},
        // Both LED buttons use the open-style dialog, which never asks before overwriting.
        {"led", SideFileKind::led, with_requests<LedMapModel, LEDMapDlg>, led_map_id::k_load_led_map_button,
         led_map_id::k_save_led_map_button, test::patterned_block, zero_block,
         "LED files(*.led)|*.led|All   files   (*.*)|*.*||", FileDialogKind::open, false},
    };
    return cases;
}

std::vector<FlowCase> checked_flows() {
    std::vector<FlowCase> cases;
    for (const FlowCase& c : flows()) {
        if (c.check_edit != 0) {
            cases.push_back(c);
        }
    }
    return cases;
}

// The key pages read their key names from the unpacked script on the private drive.
class SideFileFlowTest : public KeyMapTest, public ::testing::WithParamInterface<FlowCase> {
protected:
    void SetUp() override {
        std::filesystem::create_directory(folder());
        page = GetParam().open(&tab, &view);
    }

    std::filesystem::path folder() const { return drive.outside() / "side"; }
    std::string path(const std::string& name) const { return (folder() / name).string(); }
    std::string file_name(const char* stem) const { return std::string(stem) + "." + extension(); }
    std::string extension() const { return std::string(side_file_info(GetParam().kind).extension); }

    void click(int id) { page->dialog().control_as<QAbstractButton>(id)->click(); }
    void type(SidePage& on, int edit, const char* text) {
        page_test::type_into(on.dialog().control_as<QLineEdit>(edit), text);
    }
    void type(int edit, const char* text) { type(*page, edit, text); }
    // A load of the view's block, with the key names the load reads (and removes), saying nothing.
    void load(SidePage& on, const ConfigBlock& block) {
        write_script(key_script(16, 128, 128));
        on.dialog().load(block);
        messages.shown.clear();
        messages.owners.clear();
    }
    void load(const ConfigBlock& block) { load(*page, block); }
    // The busy block loaded, and what the user typed since, not yet taken into the model.
    void load_busy_and_type(SidePage& on) {
        const FlowCase& c = GetParam();
        load(on, c.busy());
        if (c.typed_edit != 0) {
            type(on, c.typed_edit, c.typed_text);
        }
    }
    void load_busy_and_type() { load_busy_and_type(*page); }
    // The record a page would save now, from what its controls hold.
    ConfigBlock record_shown(SidePage& on) {
        on.dialog().before_store();
        ConfigBlock record;
        EXPECT_EQ(on.model().build_side_record(GetParam().kind, record), std::nullopt);
        return record;
    }
    ConfigBlock record_shown() { return record_shown(*page); }
    // All the page shows, stored into a block: more than its side file holds.
    static ConfigBlock page_shown(SidePage& on) {
        ConfigBlock block;
        EXPECT_EQ(on.dialog().store(block), std::nullopt);
        return block;
    }
    ConfigBlock page_shown() { return page_shown(*page); }
    // A second page, given the busy block and the typed text and nothing else.
    std::unique_ptr<SidePage> untouched_page() {
        std::unique_ptr<SidePage> other = GetParam().open(&tab, &view);
        load_busy_and_type(*other);
        return other;
    }

    RecordingMessages messages;
    ScriptedFileDialogs files;
    RequestWindow view;
    QWidget tab;
    std::unique_ptr<SidePage> page;
};

TEST_P(SideFileFlowTest, SavedThenLoadedThePageShowsWhatWasSaved) {
    const FlowCase& c = GetParam();
    const ConfigBlock saved = record_shown(*untouched_page());
    load_busy_and_type();
    const std::string file = path(file_name("kept"));
    files.answers = {file};
    click(c.save_button);
    EXPECT_EQ(std::filesystem::file_size(file), k_config_block_size);
    EXPECT_EQ(messages.shown, (std::vector<ShownMessage>{{"Finish to save file!", "Success"}}));
    EXPECT_EQ(messages.owners, (std::vector<QWidget*>{&page->dialog()}));

    load(c.plain());
    ASSERT_NE(record_shown(), saved);
    files.answers = {file};
    click(c.load_button);
    EXPECT_EQ(record_shown(), saved);
    EXPECT_EQ(messages.shown, (std::vector<ShownMessage>{{"Load done!", "Success"}}));
    EXPECT_EQ(messages.owners, (std::vector<QWidget*>{&page->dialog()}));

    ASSERT_EQ(files.requests.size(), 2u);
    EXPECT_EQ(files.requests[0].kind, c.save_dialog);
    EXPECT_EQ(files.requests[1].kind, FileDialogKind::open);
    for (const auto& request : files.requests) {
        EXPECT_EQ(request.options.filter, c.filter);
        EXPECT_EQ(request.options.default_extension, extension());
        EXPECT_EQ(request.options.initial_name, "*." + extension());
        EXPECT_EQ(request.options.overwrite_prompt, c.overwrite_prompt);
        EXPECT_TRUE(request.options.hide_read_only);
        EXPECT_EQ(request.options.folder_kind, extension());
    }
    // Both dialogs of a kind open where its last file went.
    EXPECT_EQ(files.requests[1].options.start_folder, folder().string());
}

TEST_P(SideFileFlowTest, ACancelledDialogDoesNothing) {
    const FlowCase& c = GetParam();
    load_busy_and_type();
    click(c.load_button);  // no answer scripted: cancelled
    click(c.save_button);
    EXPECT_EQ(files.requests.size(), 2u);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_TRUE(std::filesystem::is_empty(folder()));
    EXPECT_EQ(page_shown(), page_shown(*untouched_page()));
}

TEST_P(SideFileFlowTest, AFileThatCannotBeOpenedChangesNothing) {
    const FlowCase& c = GetParam();
    load_busy_and_type();
    files.answers = {path(file_name("missing")), path("no/such/folder/" + file_name("x"))};
    click(c.load_button);
    click(c.save_button);
    EXPECT_EQ(messages.shown, (std::vector<ShownMessage>{{"Can't open binary file!", "error"},
                                                         {"Can't open binary file!", "error"}}));
    EXPECT_EQ(page_shown(), page_shown(*untouched_page()));
    EXPECT_TRUE(std::filesystem::is_empty(folder()));
}

INSTANTIATE_TEST_SUITE_P(Kinds, SideFileFlowTest, ::testing::ValuesIn(flows()),
                         [](const auto& info) { return std::string(info.param.name); });

class SideFileCheckTest : public SideFileFlowTest {};

TEST_P(SideFileCheckTest, AFailedCheckOnSaveWritesNothingAndShowsOnlyTheCheck) {
    const FlowCase& c = GetParam();
    load_busy_and_type();
    type(c.check_edit, c.check_text);
    const std::string file = path(file_name("bad"));
    files.answers = {file};
    click(c.save_button);
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_EQ(messages.shown, (std::vector<ShownMessage>{{c.check_message, application_caption()}}));
    EXPECT_EQ(messages.owners, (std::vector<QWidget*>{&page->dialog()}));
}

INSTANTIATE_TEST_SUITE_P(Kinds, SideFileCheckTest, ::testing::ValuesIn(checked_flows()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velmora::testing
