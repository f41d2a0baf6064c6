// The key map page's window with real double clicks, typing and key presses: what a load shows,
// the number base, the key files through real files, capturing keys into the cell the user opened,
// and the editor rules between the two lists.
#include "pages/dialogs/key_map_dlg.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "framework/window_message.h"
#include "res/control_ids.h"
#include "tests/pages/key_map_fixture.h"
#include "tests/plugin/page_dialog_fakes.h"

namespace velmora::testing {
namespace {

using namespace key_map_id;
using page_test::RecordingMessages;
using page_test::RequestWindow;
using page_test::ScriptedFileDialogs;
using page_test::ShownMessage;

constexpr int k_key_captured = message_number(WindowMessage::key_captured);
constexpr int k_capture_ended = message_number(WindowMessage::key_capture_ended);
constexpr int k_start_get_key = message_number(WindowMessage::start_get_key);

// The worker's hand-over.
constexpr CapturedKey captured(std::uint8_t key, std::uint16_t user_code) {
    return CapturedKey{user_code, key};
}

void write_record(const std::filesystem::path& path, const ConfigBlock& record) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(record.bytes.data()),
              static_cast<std::streamsize>(record.bytes.size()));
}

class KeyMapDlgTest : public KeyMapTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(page.Create(&parent, &requests));
        page.setGeometry(0, 0, 711, 380);
        page.show();
        parent.resize(720, 400);
        parent.show();
        parent.activateWindow();
        ASSERT_TRUE(test::process_events_until([this] { return parent.isActiveWindow(); }));
    }

    // A load from a block holding `fp`, `ir` and `ir` keys, named by a script that names them all.
    void load(std::uint16_t fp, std::uint16_t ir) {
        write_script(key_script(16, 128, 128));
        messages.shown.clear();
        page.load(key_block(fp, ir, ir));
        ASSERT_TRUE(messages.shown.empty());
    }

    QTableWidget* table(KeyList list) {
        return list == KeyList::fp ? ui_list(k_fp_key_list) : ui_list(k_ir_key_list);
    }
    QTableWidget* ui_list(int id) { return page.control_as<QTableWidget>(id); }
    QLineEdit* editor(KeyList list) { return page.list(list).editor(); }
    void double_click(KeyList list, int row, int column) {
        QTableWidget* t = table(list);
        t->scrollToItem(t->item(row, column));
        test::double_click(t->viewport(), page.list(list).cell_rect(row, column).center());
    }
    // Opens the cell, types `text` and presses Enter.
    void edit(KeyList list, int row, int column, const std::string& text) {
        double_click(list, row, column);
        page_test::type_into(editor(list), text);
        test::press_key(editor(list), Qt::Key_Return);
    }
    std::string shown(KeyList list, int row, int column) {
        const QTableWidgetItem* item = table(list)->item(row, column);
        return item == nullptr ? std::string() : item->text().toStdString();
    }
    std::string user_code(int id) { return page.control_text(id); }
    void choose_base(int index) {
        page_test::choose_item(page.control_as<QComboBox>(k_key_value_base_combo), index);
    }
    void click(int id) { page.control_as<QPushButton>(id)->click(); }
    ConfigBlock stored() {
        ConfigBlock block = key_block(0, 0, 0);
        page.store(block);
        return block;
    }
    // The worker's side of one key: hand it over, then tell the page.
    void capture(CapturedKey value) {
        page.SetCapturedKey(value);
        post_message(&page, k_key_captured);
        page_test::deliver_posted_messages();
    }

    RecordingMessages messages;
    ScriptedFileDialogs files;
    RequestWindow requests;
    QWidget parent;
    KeyMapDlg page{model};
};

TEST_F(KeyMapDlgTest, CreateShowsTheColumnsAndTheDecimalBase) {
    const std::vector<std::pair<KeyList, std::vector<std::string>>> headings{
        {KeyList::fp, {"FP_Key_Name", "FP_Key"}},
        {KeyList::ir, {"IR1_Key_Name", "IR1_Key", "IR2_Key_Name", "IR2_Key"}}};
    for (const auto& [list, names] : headings) {
        ASSERT_EQ(table(list)->columnCount(), static_cast<int>(names.size()));
        for (int column = 0; column < table(list)->columnCount(); ++column) {
            EXPECT_EQ(table(list)->horizontalHeaderItem(column)->text().toStdString(), names[column]);
            EXPECT_EQ(table(list)->columnWidth(column), 100);
        }
        EXPECT_TRUE(table(list)->showGrid());
        EXPECT_EQ(table(list)->selectionBehavior(), QAbstractItemView::SelectRows);
    }
    EXPECT_EQ(page.control_as<QComboBox>(k_key_value_base_combo)->currentIndex(), 0);
    EXPECT_EQ(page.control_text(k_get_key_button), "Start Get Key");
}

TEST_F(KeyMapDlgTest, LoadShowsTheRowsNamesAndUserCodes) {
    write_script(key_script(9, 40, 60));  // fewer IR1 names than rows
    page.load(key_block(9, 60, 60));
    ASSERT_EQ(table(KeyList::fp)->rowCount(), 9);
    ASSERT_EQ(table(KeyList::ir)->rowCount(), 60);
    EXPECT_EQ(shown(KeyList::fp, 3, 0), "KEY3");
    EXPECT_EQ(shown(KeyList::fp, 3, 1), std::to_string(fp_code(3)));
    EXPECT_EQ(shown(KeyList::ir, 39, 0), "1_K39");
    EXPECT_EQ(shown(KeyList::ir, 40, 0), "") << "no name left for row 40";
    EXPECT_EQ(shown(KeyList::ir, 59, 2), "2_K59");
    EXPECT_EQ(shown(KeyList::ir, 59, 3), std::to_string(ir2_code(59)));
    EXPECT_EQ(user_code(k_ir1_user_code_edit), "1234");
    EXPECT_EQ(user_code(k_ir2_user_code_edit), "abcd");
}

// How each text reads in each base is the model's rule; here the combo reaches it and every code
// cell of both lists is shown again.
TEST_F(KeyMapDlgTest, SwitchingTheBaseRewritesEveryCodeCell) {
    struct Case {
        std::string typed;  // in decimal
        std::string hex;
        std::string decimal_again;
    };
    const std::vector<Case> cases{{"255", "ff", "255"}, {"16", "10", "16"}};
    load(4, 4);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        edit(KeyList::fp, static_cast<int>(i), 1, cases[i].typed);
        edit(KeyList::ir, static_cast<int>(i), 3, cases[i].typed);
    }
    choose_base(1);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(shown(KeyList::fp, static_cast<int>(i), 1), cases[i].hex) << cases[i].typed;
        EXPECT_EQ(shown(KeyList::ir, static_cast<int>(i), 3), cases[i].hex) << cases[i].typed;
    }
    choose_base(0);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(shown(KeyList::fp, static_cast<int>(i), 1), cases[i].decimal_again) << cases[i].typed;
    }
    EXPECT_EQ(user_code(k_ir1_user_code_edit), "1234") << "user codes are always hexadecimal";
}

TEST_F(KeyMapDlgTest, TheBaseSwitchCommitsAnOpenEditorFirst) {
    load(4, 4);
    double_click(KeyList::ir, 2, 1);
    page_test::type_into(editor(KeyList::ir), "255");
    choose_base(1);
    EXPECT_EQ(shown(KeyList::ir, 2, 1), "ff");
    EXPECT_EQ(page.list(KeyList::ir).editor_cell(), ListCell{});
}

// A code typed that does not fit (300 used to become 44, shown "2c") keeps its editor open, and
// nothing that would commit it goes on: the base stays, the other list's editor does not open, and a
// key file is not written. A user code that does not fit keeps its key file from being written.
TEST_F(KeyMapDlgTest, ARefusedCodeHoldsTheBaseTheOtherListAndTheKeyFile) {
    load(4, 4);
    double_click(KeyList::fp, 1, 1);
    page_test::type_into(editor(KeyList::fp), "300");
    const std::vector<ShownMessage> refused{{"The 'FP_Key' value is not valid!", application_caption()}};

    choose_base(1);
    EXPECT_EQ(messages.shown, refused);
    EXPECT_EQ(page.control_as<QComboBox>(k_key_value_base_combo)->currentIndex(), 0);
    EXPECT_EQ(page.model().number_base(), NumberBase::decimal);
    EXPECT_EQ(shown(KeyList::fp, 0, 1), std::to_string(fp_code(0)));

    messages.shown.clear();
    double_click(KeyList::ir, 0, 3);
    EXPECT_EQ(messages.shown, refused);
    EXPECT_EQ(page.list(KeyList::ir).editor_cell(), ListCell{});
    EXPECT_EQ(page.model().active_list(), KeyList::fp);

    messages.shown.clear();
    const std::filesystem::path path = drive.outside() / "keys.fpkey";
    files.answers.push_back(path.string());
    click(k_save_fp_key_button);
    EXPECT_EQ(messages.shown, refused);
    EXPECT_TRUE(files.requests.empty()) << "no file dialog before the text is mended";
    EXPECT_FALSE(std::filesystem::exists(path));

    EXPECT_EQ(page.list(KeyList::fp).editor_cell(), (ListCell{1, 1}));
    EXPECT_EQ(editor(KeyList::fp)->text(), "300");
    EXPECT_EQ(shown(KeyList::fp, 1, 1), std::to_string(fp_code(1)));
    EXPECT_EQ(stored().key_code(k_fp_key_table, 1), fp_code(1));

    // The user code: the IR1 file's save says why, and writes nothing.
    test::press_key(editor(KeyList::fp), Qt::Key_Escape);
    page_test::type_into(page.control_as<QLineEdit>(k_ir1_user_code_edit), "xyz");
    messages.shown.clear();
    const std::filesystem::path ir1 = drive.outside() / "keys.ir1";
    files.answers.push_back(ir1.string());
    click(k_save_ir1_key_button);
    EXPECT_EQ(messages.shown,
              (std::vector<ShownMessage>{{"The 'IR1 UserCode' value is not valid!", application_caption()}}));
    EXPECT_FALSE(std::filesystem::exists(ir1));
}

TEST_F(KeyMapDlgTest, A0x1fCellReadsInTheCurrentBase) {
    struct Case {
        int base;
        std::uint8_t stored;
    };
    for (const Case c : {Case{1, 31}, Case{0, 0}}) {
        load(2, 2);
        choose_base(c.base);
        edit(KeyList::fp, 1, 1, "0x1f");
        edit(KeyList::ir, 1, 1, "0x1f");
        const ConfigBlock block = stored();
        EXPECT_EQ(block.key_code(k_fp_key_table, 1), c.stored) << "base " << c.base;
        EXPECT_EQ(block.key_code(k_ir1_table, 1), c.stored) << "base " << c.base;
    }
}

TEST_F(KeyMapDlgTest, UserCodesAndCodesTypedReachTheBlock) {
    load(9, 60);
    edit(KeyList::fp, 8, 1, "200");
    edit(KeyList::ir, 0, 3, "7");
    page_test::type_into(page.control_as<QLineEdit>(k_ir1_user_code_edit), "0x1f2e");
    page_test::type_into(page.control_as<QLineEdit>(k_ir2_user_code_edit), "beef");
    const ConfigBlock block = stored();
    EXPECT_EQ(block.key_code(k_fp_key_table, 8), 200);
    EXPECT_EQ(block.key_code(k_ir2_table, 0), 7);
    EXPECT_EQ(block.u16(k_ir1_user_code_offset), 0x1f2e);
    EXPECT_EQ(block.u16(k_ir2_user_code_offset), 0xbeef);
    EXPECT_EQ(block.u16(k_fp_key_table.count_offset), 9);
    EXPECT_EQ(block.u16(k_ir2_table.count_offset), 60);
}

TEST_F(KeyMapDlgTest, EnterWithNoEditorOpenKeepsThePage) {
    load(2, 2);
    table(KeyList::fp)->setFocus();
    test::press_key(table(KeyList::fp), Qt::Key_Return);
    test::press_key(table(KeyList::ir), Qt::Key_Escape);
    EXPECT_TRUE(page.isVisible());
    EXPECT_EQ(stored().key_code(k_fp_key_table, 1), fp_code(1));
}

TEST_F(KeyMapDlgTest, ADoubleClickInOneListCommitsTheOtherListsEditor) {
    load(4, 4);
    double_click(KeyList::ir, 1, 3);
    page_test::type_into(editor(KeyList::ir), "42");
    double_click(KeyList::fp, 2, 1);
    EXPECT_EQ(shown(KeyList::ir, 1, 3), "42");
    EXPECT_EQ(page.list(KeyList::ir).editor_cell(), ListCell{});
    EXPECT_EQ(page.model().active_list(), KeyList::fp);
    page_test::type_into(editor(KeyList::fp), "43");
    double_click(KeyList::ir, 0, 0);  // a name cell still takes the turn
    EXPECT_EQ(shown(KeyList::fp, 2, 1), "43");
    EXPECT_EQ(page.model().active_list(), KeyList::ir);
}

TEST_F(KeyMapDlgTest, GetKeyButtonStartsOnceAndStopsAtOnce) {
    click(k_get_key_button);
    page_test::deliver_posted_messages();
    EXPECT_EQ(page.control_text(k_get_key_button), "Stop Get Key");
    EXPECT_EQ(page.model().get_key_running.load(), 1);
    EXPECT_EQ(requests.received, std::vector<int>{k_start_get_key});
    click(k_get_key_button);
    page_test::deliver_posted_messages();
    EXPECT_EQ(page.control_text(k_get_key_button), "Start Get Key");
    EXPECT_EQ(page.model().get_key_running.load(), 0);
    EXPECT_EQ(requests.received.size(), 1U) << "stopping sends nothing";
    // The worker's end message after a start stops it.
    click(k_get_key_button);
    post_message(&page, k_capture_ended);
    page_test::deliver_posted_messages();
    EXPECT_EQ(page.control_text(k_get_key_button), "Start Get Key");
    EXPECT_EQ(page.model().get_key_running.load(), 0);
}

TEST_F(KeyMapDlgTest, ACaptureGoesIntoTheOpenCellAndTheEditorReopensThere) {
    load(9, 60);
    click(k_get_key_button);
    double_click(KeyList::fp, 3, 1);
    ASSERT_EQ(page.model().capture_target.load(), KeyList::fp);
    capture(captured(0x42, 0x1111));
    EXPECT_EQ(shown(KeyList::fp, 3, 1), "66");
    EXPECT_EQ(page.list(KeyList::fp).editor_cell(), (ListCell{3, 1}));
    EXPECT_TRUE(editor(KeyList::fp)->isVisible());
    EXPECT_EQ(editor(KeyList::fp)->text(), "66");
    EXPECT_EQ(user_code(k_ir1_user_code_edit), "1234") << "an FP key has no user code";

    // An IR2 cell, in hexadecimal: the key and the IR2 user code.
    choose_base(1);
    double_click(KeyList::ir, 50, 3);
    ASSERT_EQ(page.model().capture_target.load(), KeyList::ir);
    capture(captured(0x37, 0xbeef));
    EXPECT_EQ(shown(KeyList::ir, 50, 3), "37");
    EXPECT_EQ(editor(KeyList::ir)->text(), "37");
    EXPECT_EQ(page.list(KeyList::ir).editor_cell(), (ListCell{50, 3}));
    EXPECT_EQ(user_code(k_ir2_user_code_edit), "beef");
    EXPECT_EQ(user_code(k_ir1_user_code_edit), "1234");
    EXPECT_EQ(stored().u16(k_ir2_user_code_offset), 0xbeef);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(KeyMapDlgTest, OnlyACellOpenedWhileCapturingTakesKeys) {
    load(4, 4);
    double_click(KeyList::fp, 1, 1);  // before the start: no target
    click(k_get_key_button);
    capture(captured(9, 0));
    EXPECT_EQ(shown(KeyList::fp, 1, 1), std::to_string(fp_code(1)));

    double_click(KeyList::ir, 1, 0);  // a name cell
    // An empty caption is the application's.
    EXPECT_EQ(messages.shown,
              (std::vector<ShownMessage>{
                  {"Invalid cursor pos!", QCoreApplication::applicationName().toStdString()}}));
    EXPECT_EQ(page.model().capture_target.load(), KeyList::none);
    capture(captured(9, 0));
    EXPECT_EQ(shown(KeyList::ir, 1, 1), std::to_string(ir1_code(1)));

    double_click(KeyList::ir, 1, 1);
    capture(captured(9, 0x5555));
    EXPECT_EQ(shown(KeyList::ir, 1, 1), "9");
    EXPECT_EQ(user_code(k_ir1_user_code_edit), "5555");
}

TEST_F(KeyMapDlgTest, ACaptureKeepsWhatTheUserTypedElsewhere) {
    load(4, 4);
    click(k_get_key_button);
    double_click(KeyList::fp, 0, 1);
    page_test::type_into(page.control_as<QLineEdit>(k_ir2_user_code_edit), "77");
    capture(captured(5, 0));
    EXPECT_EQ(user_code(k_ir2_user_code_edit), "77");
}

struct KeyFileCase {
    SideFileKind kind;
    int load_button;
    int save_button;
    KeyList list;
    int column;
    std::string extension;
    std::string out_of_range;
};

const std::vector<KeyFileCase> k_key_files{
    {SideFileKind::fpkey, k_load_fp_key_button, k_save_fp_key_button, KeyList::fp, 1, "fpkey",
     "The fp num out of range, please select the right file!"},
    {SideFileKind::ir1, k_load_ir1_key_button, k_save_ir1_key_button, KeyList::ir, 1, "ir1",
     "The ir1 num out of range, please select the right file!"},
    {SideFileKind::ir2, k_load_ir2_key_button, k_save_ir2_key_button, KeyList::ir, 3, "ir2",
     "The ir2 num out of range, please select the right file!"},
};

// Saved from one page (with an editor still open, which the save commits) and loaded into a page
// showing other codes: the codes come back, through a real 1564-byte file.
TEST_F(KeyMapDlgTest, KeyFilesRoundTripThroughRealFiles) {
    for (const KeyFileCase& c : k_key_files) {
        SCOPED_TRACE(c.extension);
        load(9, 60);
        edit(c.list, 0, c.column, "11");
        double_click(c.list, 5, c.column);
        page_test::type_into(editor(c.list), "22");
        page_test::type_into(page.control_as<QLineEdit>(k_ir1_user_code_edit), "a1");
        page_test::type_into(page.control_as<QLineEdit>(k_ir2_user_code_edit), "b2");
        const std::filesystem::path file = drive.outside() / ("keys." + c.extension);
        files.answers.push_back(file.string());
        messages.shown.clear();
        click(c.save_button);
        EXPECT_EQ(messages.shown, (std::vector<ShownMessage>{{"Finish to save file!", "Success"}}));
        EXPECT_EQ(std::filesystem::file_size(file), k_config_block_size);

        load(9, 60);
        files.answers.push_back(file.string());
        messages.shown.clear();
        click(c.load_button);
        EXPECT_EQ(messages.shown, (std::vector<ShownMessage>{{"Load done!", "Success"}}));
        EXPECT_EQ(shown(c.list, 0, c.column), "11");
        EXPECT_EQ(shown(c.list, 5, c.column), "22");
        if (c.kind == SideFileKind::ir1) {
            EXPECT_EQ(user_code(k_ir1_user_code_edit), "a1");
            EXPECT_EQ(user_code(k_ir2_user_code_edit), "abcd");
            EXPECT_EQ(shown(KeyList::ir, 0, 3), std::to_string(ir2_code(0))) << "IR2 is not in an .ir1";
        }
        if (c.kind == SideFileKind::ir2) {
            EXPECT_EQ(user_code(k_ir2_user_code_edit), "b2");
            EXPECT_EQ(user_code(k_ir1_user_code_edit), "1234");
        }
    }
}

// A count above the table's size is refused and changes nothing; the largest count is applied.
TEST_F(KeyMapDlgTest, KeyFileCountsAboveTheTableAreRefused) {
    for (const KeyFileCase& c : k_key_files) {
        SCOPED_TRACE(c.extension);
        const KeyTable& table_of = c.kind == SideFileKind::fpkey ? k_fp_key_table
                                   : c.kind == SideFileKind::ir1 ? k_ir1_table
                                                                 : k_ir2_table;
        for (const std::size_t count : {table_of.capacity + 1, table_of.capacity}) {
            load(9, 60);
            ConfigBlock record = key_block(0, 0, 0);
            for (std::size_t i = 0; i < table_of.capacity; ++i) {
                record.set_key_code(table_of, i, 7);
            }
            record.set_u16(table_of.count_offset, static_cast<std::uint16_t>(count));
            const std::filesystem::path file = drive.outside() / ("count." + c.extension);
            write_record(file, record);
            files.answers.push_back(file.string());
            messages.shown.clear();
            const auto before = snapshot();
            click(c.load_button);
            if (count > table_of.capacity) {
                EXPECT_EQ(messages.shown, (std::vector<ShownMessage>{{c.out_of_range, "error"}}));
                EXPECT_EQ(snapshot(), before);
            } else {
                EXPECT_EQ(messages.shown, (std::vector<ShownMessage>{{"Load done!", "Success"}}));
                EXPECT_EQ(shown(c.list, 0, c.column), "7");
                EXPECT_EQ(table(c.list)->rowCount(), c.list == KeyList::fp ? 9 : 60) << "no row added";
            }
        }
    }
}

}  // namespace
}  // namespace velmora::testing
