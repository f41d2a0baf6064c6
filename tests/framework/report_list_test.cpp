#include "framework/report_list.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTableWidget>
#include <optional>
#include <string>
#include <vector>

#include "framework/dialog.h"
#include "framework_test_support.h"

namespace velmora {
namespace {

constexpr int k_list = 1200;

// A list whose columns other than 0 are edited in place: a double click opens the editor, Enter or a
// click in the list writes it back, Escape drops it. Enough of a real editing list to drive every hook.
class EditingList : public ReportList {
public:
    using ReportList::ReportList;

    std::optional<Cell> open;
    std::vector<std::string> hooks;

    void commit() {
        hide_editor();
        if (open) {
            set_cell_text(open->row, open->column, editor()->text().toStdString());
        }
        open.reset();
    }

protected:
    void left_button_down(QPoint) override {
        hooks.push_back("down");
        if (editor() != nullptr) {
            commit();
        }
    }
    void left_double_click(QPoint point) override {
        hooks.push_back("double");
        const auto cell = hit_test(point);
        if (!cell || cell->column == 0) {
            return;
        }
        open = cell;
        show_editor_on(cell->row, cell->column);
    }
    bool key_down(int key) override {
        if (key == Qt::Key_Return) {
            commit();
            return true;
        }
        if (key == Qt::Key_Escape) {
            open.reset();
            hide_editor();
            return true;
        }
        return false;
    }
};

// The owner: a form holding the list, which notes what it sees when the list reports a double click
// and which keys get through to it.
class ListForm : public Dialog {
public:
    ListForm() {
        test::build_in_code(*this, [](Dialog& form) {
            test::add_control<QTableWidget>(&form, k_list)->setGeometry(0, 0, 420, 300);
        });
        list = new EditingList(control_as<QTableWidget>(k_list));
        list->insert_column(0, "IR1_Key_Name", ReportList::Align::left, 100);
        list->insert_column(1, "IR1_Key", ReportList::Align::center, 100);
        list->insert_column(2, "IR2_Key", ReportList::Align::center, 100);
        for (int row = 0; row < 3; ++row) {
            list->append_row();
            list->set_cell_text(row, 0, "KEY_" + std::to_string(row));
            list->set_cell_text(row, 1, std::to_string(row * 10));
        }
        on_notify(k_list, NotifyKind::double_click, [this] {
            list->hooks.push_back("owner");
            seen_open.push_back(list->open);
        });
        resize(420, 300);
    }

    QPoint centre_of(int row, int column) const { return list->cell_rect(row, column).center(); }
    QWidget* cells() const { return list->table()->viewport(); }

    EditingList* list;
    std::vector<std::optional<ReportList::Cell>> seen_open;
    std::vector<int> keys_reaching_form;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        keys_reaching_form.push_back(event->key());
        Dialog::keyPressEvent(event);
    }
};

class ReportListTest : public ::testing::Test {
protected:
    void SetUp() override {
        form_.show();
        form_.activateWindow();
        test::process_events_until([&] { return form_.isActiveWindow(); });
    }

    ListForm form_;
};

TEST_F(ReportListTest, RowsColumnsAndCells) {
    EditingList& list = *form_.list;
    EXPECT_EQ(list.column_count(), 3);
    EXPECT_EQ(list.row_count(), 3);
    EXPECT_EQ(list.table()->horizontalHeaderItem(1)->text(), "IR1_Key");
    EXPECT_EQ(list.table()->columnWidth(2), 100);
    EXPECT_EQ(list.cell_text(2, 1), "20");
    EXPECT_EQ(list.cell_text(2, 2), "");  // never set
    EXPECT_EQ(list.cell_text(7, 1), "");  // out of range
    list.set_cell_text(7, 1, "ignored");
    EXPECT_EQ(list.row_count(), 3);
    EXPECT_EQ(list.table()->item(0, 1)->textAlignment(), int(Qt::AlignHCenter | Qt::AlignVCenter));
    EXPECT_EQ(list.table()->item(0, 0)->textAlignment(), int(Qt::AlignLeft | Qt::AlignVCenter));
    EXPECT_EQ(list.control_id(), k_list);

    list.delete_all_rows();
    EXPECT_EQ(list.row_count(), 0);
    EXPECT_EQ(list.append_row(), 0);
    EXPECT_EQ(list.cell_text(0, 0), "");
}

TEST_F(ReportListTest, HitTestsFindTheCellUnderThePoint) {
    EditingList& list = *form_.list;
    for (int row = 0; row < list.row_count(); ++row) {
        for (int column = 0; column < list.column_count(); ++column) {
            const QRect rect = list.cell_rect(row, column);
            ASSERT_FALSE(rect.isEmpty());
            EXPECT_EQ(list.hit_test(rect.center()), (ReportList::Cell{row, column}));
        }
    }
    const QRect last = list.cell_rect(2, 2);
    EXPECT_EQ(list.hit_test(QPoint(10, last.bottom() + 20)), std::nullopt);  // below the rows
    EXPECT_EQ(list.hit_test(QPoint(last.right() + 5, 2)), std::nullopt);     // right of the columns
    EXPECT_TRUE(list.cell_rect(3, 0).isEmpty());
}

TEST_F(ReportListTest, ADoubleClickRunsTheHookBeforeTheOwnerHearsOfIt) {
    EditingList& list = *form_.list;
    test::double_click(form_.cells(), form_.centre_of(1, 1));
    EXPECT_EQ(list.hooks, (std::vector<std::string>{"down", "double", "owner"}));
    ASSERT_EQ(form_.seen_open.size(), 1u);
    EXPECT_EQ(form_.seen_open[0], (ReportList::Cell{1, 1}));

    ASSERT_NE(list.editor(), nullptr);
    EXPECT_TRUE(list.editor()->isVisible());
    EXPECT_EQ(list.editor()->geometry(), list.cell_rect(1, 1));
    EXPECT_EQ(list.editor()->text(), "10");
    EXPECT_TRUE(list.editor()->hasFocus());
}

TEST_F(ReportListTest, TheOwnerHearsOfDoubleClicksOnNoCellOrANameCell) {
    const QRect last = form_.list->cell_rect(2, 2);
    test::double_click(form_.cells(), QPoint(10, last.bottom() + 20));
    test::double_click(form_.cells(), form_.centre_of(0, 0));
    EXPECT_EQ(form_.seen_open, (std::vector<std::optional<ReportList::Cell>>{std::nullopt, std::nullopt}));
    EXPECT_EQ(form_.list->editor(), nullptr);
}

TEST_F(ReportListTest, EnterAndEscapeInTheEditorStopAtTheList) {
    struct Case {
        int key;
        const char* cell_after;
    };
    const Case cases[] = {{Qt::Key_Return, "12"}, {Qt::Key_Escape, "10"}};
    for (const Case& c : cases) {
        EditingList& list = *form_.list;
        list.set_cell_text(1, 1, "10");
        test::double_click(form_.cells(), form_.centre_of(1, 1));
        list.editor()->setText("12");
        test::press_key(list.editor(), c.key);
        EXPECT_EQ(list.cell_text(1, 1), c.cell_after) << c.key;
        EXPECT_FALSE(list.editor()->isVisible()) << c.key;
        EXPECT_TRUE(list.table()->hasFocus()) << c.key;  // the focus stays in the list
        EXPECT_TRUE(form_.keys_reaching_form.empty()) << c.key;
    }
}

TEST_F(ReportListTest, KeysTheListDoesNotTakeGoOnAsUsual) {
    EditingList& list = *form_.list;
    list.table()->setFocus();
    // Enter with no editor open is still the list's; Tab or F1 reach the list and the form as usual.
    test::press_key(list.table(), Qt::Key_Return);
    test::press_key(list.table(), Qt::Key_F1);
    EXPECT_EQ(form_.keys_reaching_form, std::vector<int>{Qt::Key_F1});

    test::double_click(form_.cells(), form_.centre_of(0, 1));
    test::press_key(list.editor(), Qt::Key_F1);  // the edit box ignores it; the list too
    EXPECT_EQ(form_.keys_reaching_form, (std::vector<int>{Qt::Key_F1, Qt::Key_F1}));
}

TEST_F(ReportListTest, AClickElsewhereInTheListWritesTheOpenEditorBack) {
    EditingList& list = *form_.list;
    test::double_click(form_.cells(), form_.centre_of(0, 1));
    list.editor()->setText("99");
    test::send_mouse(form_.cells(), QEvent::MouseButtonPress, form_.centre_of(2, 0));
    EXPECT_EQ(list.cell_text(0, 1), "99");
    EXPECT_FALSE(list.editor()->isVisible());
}

}  // namespace
}  // namespace velmora
