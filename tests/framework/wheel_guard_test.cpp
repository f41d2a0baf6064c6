#include "framework/wheel_guard.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <functional>
#include <string>
#include <vector>

#include "tests/framework/framework_test_support.h"

namespace velmora::test {
namespace {

// A tall form in a short scroll area, as the host shows the plug-in: a combo, a spin box and an edit
// that hold values, a list longer than it shows, and room below them to scroll.
class WheelGuardTest : public ::testing::Test {
protected:
    void SetUp() override {
        form = new Dialog;
        test::build_in_code(*form, [this](Dialog& dialog) {
            auto* layout = new QVBoxLayout(&dialog);
            combo = add_control<QComboBox>(&dialog, 10);
            combo->addItems({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
            spin = add_control<QSpinBox>(&dialog, 11);
            edit = add_control<QLineEdit>(&dialog, 12);
            list = add_control<QListWidget>(&dialog, 13);
            for (int row = 0; row < 100; ++row) {
                list->addItem(QString::number(row));
            }
            list->setFixedHeight(100);
            for (QWidget* control : std::vector<QWidget*>{combo, spin, edit, list}) {
                layout->addWidget(control);
            }
            layout->addSpacing(2000);
        });
        combo->setCurrentIndex(1);
        spin->setValue(5);
        edit->setText(QStringLiteral("text"));
        area.setWidget(form);
        area.resize(300, 200);
        area.show();
        area.activateWindow();
        ASSERT_TRUE(process_events_until([this] { return area.isActiveWindow(); }));
    }

    // One notch of the wheel, down, in the middle of `target`; whether something took it.
    static bool wheel_down(QWidget* target) {
        const QPointF centre = QRectF(target->rect()).center();
        QWheelEvent wheel(centre, QPointF(target->mapToGlobal(centre.toPoint())), QPoint(), QPoint(0, -120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &wheel);
        return wheel.isAccepted();
    }

    int scrolled() const { return area.verticalScrollBar()->value(); }

    struct Field {
        std::string name;
        QWidget* control;
        std::function<std::string()> value;
        // A value control hands the wheel on itself; a line edit ignores it, and Qt hands the
        // window system's wheel events on (not those sent by code, as here).
        bool hands_on;
    };
    std::vector<Field> fields() {
        return {
            {"combo", combo, [this] { return combo->currentText().toStdString(); }, true},
            {"spin box", spin, [this] { return std::to_string(spin->value()); }, true},
            {"line edit", edit, [this] { return edit->text().toStdString(); }, false},
        };
    }

    QScrollArea area;
    Dialog* form = nullptr;
    QComboBox* combo = nullptr;
    QSpinBox* spin = nullptr;
    QLineEdit* edit = nullptr;
    QListWidget* list = nullptr;
};

TEST_F(WheelGuardTest, WithoutTheFocusTheWheelScrollsTheFormAndLeavesTheValue) {
    for (const Field& field : fields()) {
        SCOPED_TRACE(field.name);
        area.verticalScrollBar()->setValue(0);
        edit->clearFocus();
        combo->clearFocus();
        spin->clearFocus();
        const std::string before = field.value();
        for (int notch = 0; notch < 3; ++notch) {
            EXPECT_EQ(wheel_down(field.control), field.hands_on) << "the scroll area takes it";
        }
        EXPECT_EQ(field.value(), before);
        if (field.hands_on) {
            EXPECT_GT(scrolled(), 0) << "the form did not scroll";
        }
    }
}

TEST_F(WheelGuardTest, WithTheFocusTheWheelChangesTheValueAndTheFormStays) {
    combo->setFocus();
    ASSERT_TRUE(process_events_until([this] { return combo->hasFocus(); }));
    wheel_down(combo);
    EXPECT_EQ(combo->currentIndex(), 2);
    spin->setFocus();
    ASSERT_TRUE(process_events_until([this] { return spin->hasFocus(); }));
    wheel_down(spin);
    EXPECT_EQ(spin->value(), 4);
    EXPECT_EQ(scrolled(), 0);
}

TEST_F(WheelGuardTest, GuardsValueControlsOnceAndTheWheelGivesThemNoFocus) {
    EXPECT_TRUE(WheelGuard::is_guarded(combo));
    EXPECT_TRUE(WheelGuard::is_guarded(spin));
    EXPECT_FALSE(WheelGuard::is_guarded(edit)) << "the wheel changes no text";
    EXPECT_EQ(combo->focusPolicy(), Qt::StrongFocus);
    EXPECT_EQ(spin->focusPolicy(), Qt::StrongFocus);

    // A second install (a form taking in pages) adds no second filter: one notch moves one item.
    WheelGuard::install(form);
    combo->setFocus();
    ASSERT_TRUE(process_events_until([this] { return combo->hasFocus(); }));
    combo->setCurrentIndex(0);
    wheel_down(combo);
    EXPECT_EQ(combo->currentIndex(), 1);
}

TEST_F(WheelGuardTest, AnEditableComboWithTheFocusInItsEditTakesTheWheel) {
    combo->setEditable(true);
    combo->lineEdit()->setFocus();
    ASSERT_TRUE(process_events_until([this] { return combo->hasFocus(); }));
    wheel_down(combo);
    EXPECT_EQ(combo->currentIndex(), 2);
}

// The scroll bars of a list, and of a drop-down's open list, scroll what they belong to: they hold
// no value of the form, so the wheel is theirs without the focus.
TEST_F(WheelGuardTest, ListsAndAnOpenDropDownStillScrollUnderTheWheel) {
    ASSERT_FALSE(list->hasFocus());
    EXPECT_TRUE(wheel_down(list->viewport()));
    EXPECT_GT(list->verticalScrollBar()->value(), 0) << "the list did not scroll";
    EXPECT_EQ(scrolled(), 0) << "the list took the wheel, not the form";

    for (int item = 0; item < 100; ++item) {
        combo->addItem(QString::number(item));
    }
    combo->showPopup();
    QAbstractItemView* open_list = combo->view();
    ASSERT_TRUE(process_events_until([open_list] { return open_list->isVisible(); }));
    WheelGuard::install(form);  // again, now that the drop-down's list exists, as a form taking in pages
    EXPECT_FALSE(WheelGuard::is_guarded(open_list->verticalScrollBar()));
    ASSERT_GT(open_list->verticalScrollBar()->maximum(), 0) << "the open list must be longer than it shows";
    const int shown = combo->currentIndex();
    wheel_down(open_list->viewport());
    EXPECT_GT(open_list->verticalScrollBar()->value(), 0) << "the open list did not scroll";
    combo->hidePopup();
    EXPECT_EQ(combo->currentIndex(), shown);
}

}  // namespace
}  // namespace velmora::test
