// The key map and LED map pages inside the main view: what a Parse of the sample image shows on
// them, and that codes edited in the window reach Generate exactly as velmora-image writes the
// same codes from the key files the window saved.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <string>

#include "tests/plugin/view_fixture.h"

namespace velmora::plugin_test {
namespace {

using namespace key_map_id;

class KeyPagesViewTest : public ViewTest {
protected:
    void SetUp() override {
        ViewTest::SetUp();
        parent.activateWindow();
        ASSERT_TRUE(test::process_events_until([this] { return parent.isActiveWindow(); }));
    }

    KeyMapDlg& key_page() { return view->key_map_page; }
    QTableWidget* list(int id) { return key_page().control_as<QTableWidget>(id); }
    // Opens the cell with a double click, types `text` and presses Enter.
    void edit(KeyList which, int row, int column, const std::string& text) {
        QTableWidget* table = list(which == KeyList::fp ? k_fp_key_list : k_ir_key_list);
        table->scrollToItem(table->item(row, column));
        EditListCtrl& cells = key_page().list(which);
        test::double_click(table->viewport(), cells.cell_rect(row, column).center());
        page_test::type_into(cells.editor(), text);
        test::press_key(cells.editor(), Qt::Key_Return);
    }
    void save_key_file(int button, const std::filesystem::path& path) {
        files.answers.push_back(path.string());
        key_page().control_as<QPushButton>(button)->click();
    }
};

TEST_F(KeyPagesViewTest, TheSampleShowsNineFpKeysAndSixtyIrKeysWithTheirNames) {
    parse(sample());
    tree()->setCurrentItem(tree()->topLevelItem(1));
    EXPECT_TRUE(key_page().isVisible());
    EXPECT_FALSE(view->fp_page.isVisible());
    ASSERT_EQ(list(k_fp_key_list)->rowCount(), 9);
    ASSERT_EQ(list(k_ir_key_list)->rowCount(), 60);
    for (const auto& [id, column] : {std::pair{k_fp_key_list, 0}, {k_ir_key_list, 0}, {k_ir_key_list, 2}}) {
        for (int row = 0; row < list(id)->rowCount(); ++row) {
            EXPECT_FALSE(list(id)->item(row, column)->text().isEmpty()) << id << " row " << row;
        }
    }
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(KeyPagesViewTest, CodesEditedInTheWindowGenerateWhatVelmoraImageGeneratesFromTheSavedKeyFiles) {
    const std::filesystem::path input = sample();
    parse(input);
    view->ShowPage(CVelmoraDlg::k_key_map);
    edit(KeyList::fp, 2, 1, "201");
    edit(KeyList::ir, 7, 1, " 44x");  // read leniently: 44
    page_test::choose_item(key_page().control_as<QComboBox>(k_key_value_base_combo), 1);
    edit(KeyList::ir, 8, 3, "0x7f");
    edit(KeyList::ir, 59, 1, "e0");
    page_test::type_into(key_page().control_as<QLineEdit>(k_ir1_user_code_edit), "c0de");
    page_test::type_into(key_page().control_as<QLineEdit>(k_ir2_user_code_edit), "0xface");

    // An .ir1 made elsewhere, loaded over the edits of IR1.
    ConfigBlock record;
    record.set_u16(k_ir1_table.count_offset, 3);
    for (std::size_t i = 0; i < 3; ++i) {
        record.set_key_code(k_ir1_table, i, static_cast<std::uint8_t>(0xa0 + i));
    }
    record.set_u16(k_ir1_user_code_offset, 0x4321);
    const std::filesystem::path loaded_ir1 = dir / "elsewhere.ir1";
    write_bytes(loaded_ir1, {record.bytes.begin(), record.bytes.end()});
    files.answers.push_back(loaded_ir1.string());
    key_page().control_as<QPushButton>(k_load_ir1_key_button)->click();
    EXPECT_EQ(list(k_ir_key_list)->item(1, 1)->text(), "a1");

    const std::filesystem::path fpkey = dir / "window.fpkey";
    const std::filesystem::path ir1 = dir / "window.ir1";
    const std::filesystem::path ir2 = dir / "window.ir2";
    save_key_file(k_save_fp_key_button, fpkey);
    save_key_file(k_save_ir1_key_button, ir1);
    save_key_file(k_save_ir2_key_button, ir2);
    browse_output((dir / "window").string());
    click(k_generate_button);

    const std::filesystem::path expected = dir / "tool.bin";
    ASSERT_EQ(run_image_tool({QStringLiteral("generate"), QString::fromStdString(input.string()),
                              QStringLiteral("-o"), QString::fromStdString(expected.string()),
                              QStringLiteral("--fpkey"), QString::fromStdString(fpkey.string()),
                              QStringLiteral("--ir1"), QString::fromStdString(ir1.string()),
                              QStringLiteral("--ir2"), QString::fromStdString(ir2.string())}),
              0);
    const std::vector<std::uint8_t> window_image = read_bytes(dir / "window.bin");
    ASSERT_FALSE(window_image.empty());
    EXPECT_EQ(window_image, read_bytes(expected));
    // And the edits are there: the untouched sample differs.
    EXPECT_NE(window_image, read_bytes(input));
}

}  // namespace
}  // namespace velmora::plugin_test
