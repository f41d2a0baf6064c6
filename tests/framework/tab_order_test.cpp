#include "framework/tab_order.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <set>
#include <string>
#include <vector>

#include "framework/dialog.h"
#include "tests/framework/framework_test_support.h"

namespace velmora::test {
namespace {

std::vector<std::string> names(const std::vector<QWidget*>& widgets) {
    std::vector<std::string> result;
    for (const QWidget* widget : widgets) {
        result.push_back(widget->objectName().toStdString());
    }
    return result;
}

// The stops of `root` in the order Tab visits them, following the window's focus chain.
std::vector<std::string> tab_chain(QWidget* root) {
    const std::vector<QWidget*> stops = tab_stops_by_position(root);
    const std::set<QWidget*> wanted(stops.begin(), stops.end());
    std::vector<QWidget*> visited;
    QWidget* at = stops.empty() ? nullptr : stops.front();
    while (at != nullptr && visited.size() < stops.size()) {
        if (wanted.contains(at)) {
            visited.push_back(at);
        }
        at = at->nextInFocusChain();
    }
    return names(visited);
}

template <class W>
W* placed(QWidget* parent, const char* name, QRect geometry) {
    auto* widget = new W(parent);
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(geometry);
    return widget;
}

template <class W>
W* named(QWidget* parent, const char* name) {
    auto* widget = new W(parent);
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

TEST(TabOrder, HandPlacedControlsReadInRowsFromTheLeft) {
    // Made in an order that is not the reading order, with a group box drawn around the first rows
    // and a tall list and tab control side by side, as on the main form.
    QWidget form;
    placed<QPushButton>(&form, "browse", {640, 62, 75, 23});
    placed<QGroupBox>(&form, "group", {11, 11, 894, 117});
    placed<QLineEdit>(&form, "path", {160, 62, 450, 23});
    placed<QLabel>(&form, "label", {15, 67, 140, 13});
    placed<QComboBox>(&form, "type", {160, 28, 99, 23});
    placed<QPushButton>(&form, "clear", {371, 91, 75, 23});
    placed<QPushButton>(&form, "parse", {245, 91, 75, 23});
    placed<QTabWidget>(&form, "tab", {191, 190, 717, 408})->tabBar()->setObjectName("tab_row");
    placed<QTreeWidget>(&form, "tree", {27, 197, 140, 400});
    placed<QPushButton>(&form, "generate", {683, 653, 75, 23});
    placed<QLineEdit>(&form, "output", {164, 653, 417, 23})->hide();

    const std::vector<std::string> expected{"type", "path",    "browse", "parse",   "clear",
                                            "tree", "tab_row", "output", "generate"};
    EXPECT_EQ(names(tab_stops_by_position(&form)), expected) << "hidden controls keep their place";
    set_tab_order_by_position(&form);
    EXPECT_EQ(tab_chain(&form), expected);
}

TEST(TabOrder, LaidOutControlsFollowTheirLayoutRowByRow) {
    // Added to the grid out of order; a row below holds a box of buttons; an editable combo's own
    // edit is part of the combo, not a stop.
    QWidget page;
    auto* column = new QVBoxLayout(&page);
    auto* group = named<QGroupBox>(&page, "group");
    column->addWidget(group);
    auto* grid = new QGridLayout(group);
    grid->addWidget(named<QLineEdit>(group, "r1c4"), 1, 4);
    grid->addWidget(named<QLabel>(group, "label"), 0, 0);
    grid->addWidget(named<QComboBox>(group, "r1c1"), 1, 1);
    grid->addWidget(named<QPushButton>(group, "r0c5"), 0, 5);
    auto* editable = named<QComboBox>(group, "r0c1");
    editable->setEditable(true);
    grid->addWidget(editable, 0, 1);
    auto* row = new QHBoxLayout;
    column->addLayout(row);
    row->addWidget(named<QPushButton>(&page, "load"));
    row->addStretch();
    row->addWidget(named<QPushButton>(&page, "save"));

    const std::vector<std::string> expected{"r0c1", "r0c5", "r1c1", "r1c4", "load", "save"};
    EXPECT_EQ(names(tab_stops_by_position(&page)), expected);
    set_tab_order_by_position(&page);
    EXPECT_EQ(tab_chain(&page), expected);
}

TEST(TabOrder, APageInATabControlComesBetweenWhatIsAboveAndBelowIt) {
    // Dialog's building orders the form alone; the page joins later, as the view's pages do.
    Dialog form;
    test::build_in_code(form, [](Dialog& dialog) {
        placed<QTreeWidget>(&dialog, "tree", {20, 200, 140, 400});
        placed<QTabWidget>(&dialog, "tab", {190, 190, 700, 400});
        placed<QPushButton>(&dialog, "generate", {680, 650, 75, 23});
        placed<QPushButton>(&dialog, "parse", {240, 90, 75, 23});
    });
    Dialog page;
    test::build_in_code(page, [](Dialog& dialog) {
        auto* layout = new QVBoxLayout(&dialog);
        layout->addWidget(named<QComboBox>(&dialog, "page_combo"));
        layout->addWidget(named<QPushButton>(&dialog, "page_button"));
    });
    page.create_child(form.findChild<QTabWidget*>("tab"));
    page.setGeometry(2, 30, 690, 360);
    form.order_for_keyboard();

    const std::vector<std::string> expected{"parse", "tree", "page_combo", "page_button", "generate"};
    EXPECT_EQ(names(tab_stops_by_position(&form)), expected) << "the tab row chooses nothing";
    EXPECT_EQ(tab_chain(&form), expected);
}

}  // namespace
}  // namespace velmora::test
