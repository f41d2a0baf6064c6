// The key list edited in place: which cells open the editor, what Enter, Escape, a click, Tab and F2
// do with it, that Enter and Escape never reach the dialog, and that the edit box stays on its cell.
#include "pages/dialogs/edit_list_ctrl.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QTableWidget>
#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "framework/dialog.h"
#include "tests/framework/framework_test_support.h"
#include "tests/plugin/page_dialog_fakes.h"

namespace velmora {
namespace {

constexpr int k_list_id = 1202;
constexpr int k_rows = 40;  // more than the list shows, so that it scrolls

constexpr std::array<KeyColumn, 4> k_columns{{
    {"Name1", ColumnAlign::left, 100, false},
    {"Code1", ColumnAlign::centre, 100, true},
    {"Name2", ColumnAlign::left, 100, false},
    {"Code2", ColumnAlign::centre, 100, true},
}};

// Counts the keys that get past the list to the dialog that holds it.
class KeyCounter : public QObject {
public:
    int presses = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            ++presses;
        }
        return false;
    }
};

class EditListCtrlTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int row = 0; row < k_rows; ++row) {
            const std::string n = std::to_string(row);
            model.append_row({"n" + n, n, "m" + n, std::to_string(100 + row)});
        }
        test::build_in_code(page, [this](Dialog& dialog) {
            table = test::add_control<QTableWidget>(&dialog, k_list_id);
            table->setGeometry(0, 0, 450, 200);
        });
        list = new EditListCtrl(table, model);
        page.on_notify(k_list_id, NotifyKind::double_click,
                       [this] { notified.push_back(list->editor_cell()); });
        page.installEventFilter(&keys_at_dialog);
        page.create_child(&parent);
        page.setGeometry(0, 0, 460, 210);
        list->show_model();
        page.show();
        parent.resize(480, 240);
        parent.show();
        // The edit box takes the keyboard focus, which only an active window gives out.
        parent.activateWindow();
        ASSERT_TRUE(test::process_events_until([this] { return parent.isActiveWindow(); }));
    }

    QWidget* cells() const { return table->viewport(); }
    QPoint centre(int row, int column) const { return list->cell_rect(row, column).center(); }
    void double_click(int row, int column) { test::double_click(cells(), centre(row, column)); }
    std::string cell(int row, int column) const { return model.rows().at(row).at(column); }
    bool editor_shown() const { return list->editor() != nullptr && list->editor()->isVisible(); }
    void type(const std::string& text) { page_test::type_into(list->editor(), text); }

    EditableKeyList model{k_columns};
    QWidget parent;
    Dialog page;
    QTableWidget* table = nullptr;
    EditListCtrl* list = nullptr;
    KeyCounter keys_at_dialog;
    std::vector<ListCell> notified;
};

TEST_F(EditListCtrlTest, ADoubleClickOpensTheEditorOnCodeCellsOnly) {
    struct Case {
        int row;
        int column;
        bool opens;
    };
    const std::vector<Case> cases{{2, 1, true}, {0, 0, false}, {3, 2, false}, {4, 3, true}};
    for (const Case& c : cases) {
        list->cancel_editor();
        double_click(c.row, c.column);
        const ListCell expected = c.opens ? ListCell{c.row, c.column} : ListCell{};
        EXPECT_EQ(list->editor_cell(), expected) << c.row << "," << c.column;
        EXPECT_EQ(editor_shown(), c.opens) << c.row << "," << c.column;
        if (c.opens) {
            EXPECT_EQ(list->editor()->text().toStdString(), cell(c.row, c.column));
            EXPECT_EQ(list->editor()->geometry(), list->cell_rect(c.row, c.column));
            EXPECT_TRUE(list->editor()->hasFocus());
        }
        // The owner hears of every double click, after the editor opened.
        ASSERT_FALSE(notified.empty());
        EXPECT_EQ(notified.back(), expected);
        EXPECT_EQ(list->last_double_click_point(), centre(c.row, c.column));
    }
}

TEST_F(EditListCtrlTest, ANameCellOrTheSpaceBesideTheRowsOpensNothing) {
    double_click(1, 1);
    type("77");
    // Asked directly, a name cell leaves the open editor where it is.
    EXPECT_FALSE(list->OpenEditorAt(centre(1, 0)));
    EXPECT_EQ(list->editor_cell(), (ListCell{1, 1}));
    EXPECT_EQ(list->editor()->text(), "77");
    // A real double click presses the button first, which commits.
    double_click(1, 0);
    EXPECT_EQ(list->editor_cell(), ListCell{});
    EXPECT_EQ(cell(1, 1), "77");
    // Beside the cells: no editor, and Enter then changes nothing.
    const auto before = model.rows();
    table->horizontalHeader()->resizeSection(3, 40);
    test::double_click(cells(), QPoint(cells()->width() - 2, 2));
    EXPECT_EQ(list->editor_cell(), ListCell{});
    test::press_key(table, Qt::Key_Return);
    EXPECT_EQ(model.rows(), before);
}

TEST_F(EditListCtrlTest, EnterCommitsEscapeDropsAndAClickElsewhereCommits) {
    struct Case {
        const char* name;
        std::string typed;
        std::function<void()> finish;
        std::string cell_after;
    };
    const std::vector<Case> cases{
        {"Enter", "12", [this] { test::press_key(list->editor(), Qt::Key_Return); }, "12"},
        {"keypad Enter", "13", [this] { test::press_key(list->editor(), Qt::Key_Enter); }, "13"},
        {"Escape", "99", [this] { test::press_key(list->editor(), Qt::Key_Escape); }, "2"},
        {"click on another row", "14",
         [this] {
             test::send_mouse(cells(), QEvent::MouseButtonPress, centre(5, 0));
             test::send_mouse(cells(), QEvent::MouseButtonRelease, centre(5, 0));
         },
         "14"},
        {"the owner", "15", [this] { list->CommitEditor(); }, "15"},
    };
    for (const Case& c : cases) {
        model.set_cell(2, 1, "2");
        list->show_model();
        double_click(2, 1);
        type(c.typed);
        c.finish();
        EXPECT_EQ(cell(2, 1), c.cell_after) << c.name;
        EXPECT_EQ(table->item(2, 1)->text().toStdString(), c.cell_after) << c.name;
        EXPECT_EQ(list->editor_cell(), ListCell{}) << c.name;
        EXPECT_FALSE(editor_shown()) << c.name;
    }
    EXPECT_EQ(keys_at_dialog.presses, 0);
}

TEST_F(EditListCtrlTest, EnterAndEscapeNeverReachTheDialog) {
    for (const int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        test::press_key(table, key);  // no editor open
        double_click(3, 3);
        test::press_key(list->editor(), key);
    }
    EXPECT_EQ(keys_at_dialog.presses, 0);
    EXPECT_TRUE(page.isVisible());
    // Any other key is the list's or the dialog's business as usual.
    test::press_key(table, Qt::Key_A);
    EXPECT_EQ(keys_at_dialog.presses, 1);
}

TEST_F(EditListCtrlTest, TabWalksTheCodeCellsCommittingEachOne) {
    double_click(0, 1);
    type("a");
    test::press_key(list->editor(), Qt::Key_Tab);
    EXPECT_EQ(cell(0, 1), "a");
    EXPECT_EQ(list->editor_cell(), (ListCell{0, 3}));
    type("b");
    test::press_key(list->editor(), Qt::Key_Tab);
    EXPECT_EQ(cell(0, 3), "b");
    EXPECT_EQ(list->editor_cell(), (ListCell{1, 1})) << "on to the next row";
    test::press_key(list->editor(), Qt::Key_Backtab);
    EXPECT_EQ(list->editor_cell(), (ListCell{0, 3}));
    EXPECT_EQ(list->editor()->text(), "b");
    // At the last cell the editor closes and the list keeps the focus.
    double_click(k_rows - 1, 3);
    test::press_key(list->editor(), Qt::Key_Tab);
    EXPECT_EQ(list->editor_cell(), ListCell{});
    EXPECT_TRUE(table->hasFocus());
    EXPECT_EQ(keys_at_dialog.presses, 0);
}

TEST_F(EditListCtrlTest, F2OpensTheCurrentRowLikeADoubleClick) {
    table->setCurrentCell(6, 0);
    table->setFocus();
    test::press_key(table, Qt::Key_F2);
    EXPECT_EQ(list->editor_cell(), (ListCell{6, 1}));
    ASSERT_FALSE(notified.empty());
    EXPECT_EQ(notified.back(), (ListCell{6, 1}));
}

// F2 opens the editor with the cell's text selected, as a double click's does: typing 9 over 8 gives
// 9, not 89.
TEST_F(EditListCtrlTest, F2AndADoubleClickSelectTheTextSoTypingReplacesIt) {
    model.set_cell(6, 1, "8");
    list->show_model();
    table->setCurrentCell(6, 1);
    table->setFocus();
    test::press_key(table, Qt::Key_F2);
    ASSERT_EQ(list->editor_cell(), (ListCell{6, 1}));
    EXPECT_EQ(list->editor()->selectedText(), "8");
    QKeyEvent nine(QEvent::KeyPress, Qt::Key_9, Qt::NoModifier, QStringLiteral("9"));
    QCoreApplication::sendEvent(list->editor(), &nine);
    test::press_key(list->editor(), Qt::Key_Return);
    EXPECT_EQ(cell(6, 1), "9");

    double_click(7, 3);
    EXPECT_EQ(list->editor()->selectedText().toStdString(), cell(7, 3));
}

// A text the cell refuses stays in its open editor, selected, whatever tries to close it but Escape:
// Enter, a click in the list, a double click elsewhere, Tab and F2 each show why and leave it there.
TEST_F(EditListCtrlTest, ARefusedTextKeepsItsEditorOpenUntilEscape) {
    page_test::RecordingMessages messages;
    model.set_cell_check([](std::size_t column, std::string_view text) -> std::optional<PageMessage> {
        if (!text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos) {
            return std::nullopt;
        }
        return invalid_value_message(k_columns[column].name);
    });
    double_click(2, 1);
    type("x");
    const std::vector<std::pair<std::string, std::function<void()>>> attempts{
        {"Enter", [&] { test::press_key(list->editor(), Qt::Key_Return); }},
        {"a click on another row",
         [&] {
             test::send_mouse(cells(), QEvent::MouseButtonPress, centre(5, 0));
             test::send_mouse(cells(), QEvent::MouseButtonRelease, centre(5, 0));
         }},
        {"a double click on another code cell", [&] { double_click(5, 3); }},
        {"Tab", [&] { test::press_key(list->editor(), Qt::Key_Tab); }},
        {"F2", [&] { test::press_key(list->editor(), Qt::Key_F2); }},
    };
    for (const auto& [what, attempt] : attempts) {
        SCOPED_TRACE(what);
        messages.shown.clear();
        attempt();
        EXPECT_EQ(messages.shown, (std::vector<page_test::ShownMessage>{
                                      {"The 'Code1' value is not valid!", application_caption()}}));
        EXPECT_EQ(list->editor_cell(), (ListCell{2, 1}));
        EXPECT_TRUE(editor_shown());
        EXPECT_EQ(list->editor()->text(), "x");
        EXPECT_EQ(list->editor()->selectedText(), "x");
        EXPECT_EQ(list->editor()->geometry(), list->cell_rect(2, 1));
        EXPECT_EQ(cell(2, 1), "2");
    }
    // Mended, it goes in.
    type("12");
    test::press_key(list->editor(), Qt::Key_Return);
    EXPECT_EQ(cell(2, 1), "12");
    EXPECT_EQ(list->editor_cell(), ListCell{});

    double_click(3, 1);
    type("y");
    test::press_key(list->editor(), Qt::Key_Escape);
    EXPECT_EQ(list->editor_cell(), ListCell{});
    EXPECT_EQ(cell(3, 1), "3");
    EXPECT_EQ(keys_at_dialog.presses, 0);
}

TEST_F(EditListCtrlTest, TheEditBoxStaysOnItsCellWhenTheListScrollsOrAColumnWidens) {
    double_click(3, 3);
    table->verticalScrollBar()->setValue(table->verticalScrollBar()->maximum());
    EXPECT_EQ(list->editor()->geometry(), list->cell_rect(3, 3));
    table->verticalScrollBar()->setValue(0);
    table->horizontalHeader()->resizeSection(0, 60);
    EXPECT_EQ(list->editor()->geometry(), list->cell_rect(3, 3));
    EXPECT_EQ(list->editor_cell(), (ListCell{3, 3}));
}

TEST_F(EditListCtrlTest, ShowModelKeepsWhatWasTypedOncePulled) {
    double_click(4, 1);
    type("typed");
    list->pull_editor_text();
    model.set_cell(5, 1, "elsewhere");
    list->show_model();
    EXPECT_EQ(list->editor()->text(), "typed");
    EXPECT_EQ(table->item(5, 1)->text(), "elsewhere");
    model.clear();
    list->show_model();
    EXPECT_EQ(table->rowCount(), 0);
    EXPECT_FALSE(editor_shown());
}

}  // namespace
}  // namespace velmora
