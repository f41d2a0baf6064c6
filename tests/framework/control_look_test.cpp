#include "framework/control_look.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "tests/framework/framework_test_support.h"

namespace velmora::test {
namespace {

TEST(ControlLook, ReadOnlyEditsAreDrawnOnTheWindowColourAndOthersAreNot) {
    QWidget form;
    auto* read_only = new QLineEdit(&form);
    read_only->setReadOnly(true);
    auto* typed = new QLineEdit(&form);
    show_read_only(&form);
    show_read_only(&form);  // again: nothing more changes
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        EXPECT_EQ(read_only->palette().color(group, QPalette::Base),
                  read_only->palette().color(group, QPalette::Window));
        EXPECT_NE(typed->palette().color(group, QPalette::Base),
                  typed->palette().color(group, QPalette::Window))
            << "a field that takes typing keeps its base";
    }
    EXPECT_TRUE(read_only->isReadOnly());
}

TEST(ControlLook, ShowingAControlMovesNoOther) {
    // A button in the last column of a grid, hidden and shown as "Test Power Wave" is.
    QWidget form;
    auto* grid = new QGridLayout(&form);
    auto* field = new QComboBox(&form);
    auto* below = new QLineEdit(&form);
    auto* button = new QPushButton(QStringLiteral("A rather long caption"), &form);
    grid->addWidget(field, 0, 0);
    grid->addWidget(button, 0, 1);
    grid->addWidget(below, 1, 0, 1, 2);
    grid->setColumnStretch(0, 1);
    keep_places_when_hidden(&form);
    form.resize(500, 200);
    form.show();
    ASSERT_TRUE(process_events_until([&form] { return form.isVisible(); }));

    const QRect field_shown = field->geometry();
    const QRect below_shown = below->geometry();
    button->hide();
    form.layout()->activate();
    EXPECT_EQ(field->geometry(), field_shown);
    EXPECT_EQ(below->geometry(), below_shown);
    button->show();
    form.layout()->activate();
    EXPECT_EQ(field->geometry(), field_shown);
}

TEST(ControlLook, FieldsAreNamedAfterTheirLabelsWhoKeepTheirTexts) {
    QWidget form;
    auto* label = new QLabel(QStringLiteral("Clock &Pos:"), &form);
    auto* edit = new QLineEdit(&form);
    label->setBuddy(edit);
    auto* named_label = new QLabel(QStringLiteral("Other:"), &form);
    auto* named = new QComboBox(&form);
    named->setAccessibleName(QStringLiteral("Own name"));
    named_label->setBuddy(named);
    name_fields_after_labels(&form);
    EXPECT_EQ(edit->accessibleName().toStdString(), "Clock Pos");
    EXPECT_EQ(named->accessibleName().toStdString(), "Own name") << "a name of its own stays";
    EXPECT_EQ(label->text().toStdString(), "Clock &Pos:");
}

}  // namespace
}  // namespace velmora::test
