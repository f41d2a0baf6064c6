// "output" and the terminal pane: texts delivered from any thread reach the pane, the switch mark,
// the typing line and the line ends.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <thread>

#include "host/host_registry.h"
#include "host/output_component.h"
#include "tools/velmora-host/terminal_pane.h"

namespace velmora {
namespace {

using host_app::TerminalPane;

TEST(OutputComponentTest, DeliversTextAndSwitchMarksAsSignals) {
    HostRegistry registry;
    OutputComponent output(&registry);
    EXPECT_TRUE(output.active());
    EXPECT_TRUE(output.is_shareable());
    EXPECT_EQ(registry.lookup("output"), &output);

    std::vector<QByteArray> texts;
    int switches = 0;
    QObject::connect(&output, &OutputComponent::text_arrived,
                     [&texts](const QByteArray& t) { texts.push_back(t); });
    QObject::connect(&output, &OutputComponent::link_switched, [&switches] { ++switches; });

    char text[] = "Please reset the STB!\nignored";
    output.deliver({26, 22, text});
    text[0] = 'X';  // the signal carries a copy
    output.deliver({27, 0, nullptr});
    output.deliver({26, 0, text});
    output.deliver({26, 5, nullptr});
    output.deliver({13, 0, nullptr});
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], QByteArray("Please reset the STB!\n"));
    EXPECT_EQ(switches, 1);
}

TEST(OutputComponentTest, TextFromAnotherThreadReachesThePaneOnItsOwnThread) {
    HostRegistry registry;
    OutputComponent output(&registry);
    TerminalPane pane;
    QObject::connect(&output, &OutputComponent::text_arrived, &pane, &TerminalPane::append_bytes);
    QObject::connect(&output, &OutputComponent::link_switched, &pane, &TerminalPane::mark_link_switch);

    std::thread connector([&registry] {
        // A received line split inside a two-byte character, as serial reads split it.
        registry.broadcast(nullptr, {26, 4, "caf\xC3"});
        registry.broadcast(nullptr, {26, 4, "\xA9!\r\n"});
        registry.broadcast(nullptr, {27, 0, nullptr});
        registry.broadcast(nullptr, {26, 6, "boot> "});
    });
    connector.join();
    EXPECT_TRUE(pane.text().isEmpty()) << "touched from the other thread";
    QApplication::processEvents();
    EXPECT_EQ(pane.text(), QStringLiteral("caf\u00e9!\n---- link switched ----\nboot> "));
}

TEST(TerminalPaneTest, NoticesStandOnLinesOfTheirOwn) {
    TerminalPane pane;
    pane.append_bytes("partial");
    pane.append_notice(QStringLiteral("Cannot open serial port x: y"));
    pane.append_notice(QStringLiteral("second\n"));
    pane.append_bytes(QByteArray("a\0b", 3));
    EXPECT_EQ(pane.text(), QStringLiteral("partial\nCannot open serial port x: y\nsecond\nab"));
}

TEST(TerminalPaneTest, ReturnSendsTheLineWithTheChosenEnd) {
    struct Case {
        TerminalPane::LineEnd end;
        QByteArray expected;
    };
    const std::vector<Case> cases = {{TerminalPane::LineEnd::cr, "help \xC3\xA9\r"},
                                     {TerminalPane::LineEnd::lf, "help \xC3\xA9\n"},
                                     {TerminalPane::LineEnd::cr_lf, "help \xC3\xA9\r\n"}};
    TerminalPane pane;
    auto* input = pane.findChild<QLineEdit*>(QStringLiteral("terminal_input"));
    ASSERT_NE(input, nullptr);
    for (const Case& c : cases) {
        std::vector<QByteArray> sent;
        auto connection = QObject::connect(&pane, &TerminalPane::line_entered,
                                           [&sent](const QByteArray& bytes) { sent.push_back(bytes); });
        pane.set_line_end(c.end);
        input->setText(QStringLiteral("help \u00e9"));
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(input, &press);
        QObject::disconnect(connection);
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0], c.expected);
        EXPECT_TRUE(input->text().isEmpty());
    }
}

TEST(TerminalPaneTest, UpgradeModeStopsTyping) {
    TerminalPane pane;
    EXPECT_TRUE(pane.typing_enabled());
    pane.set_upgrade_mode(true);
    EXPECT_FALSE(pane.typing_enabled());
    pane.set_upgrade_mode(false);
    EXPECT_TRUE(pane.typing_enabled());
}

}  // namespace
}  // namespace velmora
