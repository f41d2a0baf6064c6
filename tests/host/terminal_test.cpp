// "output" and the terminal pane: texts delivered from any thread reach the pane, the switch mark,
// the typing line and the line ends; long lines, bare CRs and floods cost bounded work and memory.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QRegularExpression>
#include <chrono>
#include <thread>

#include "host/host_registry.h"
#include "host/output_component.h"
#include "link/host_components.h"
#include "tools/velmora-host/terminal_pane.h"

namespace velmora {
namespace {

using host_app::TerminalBacklog;
using host_app::TerminalDecoder;
using host_app::TerminalPane;

constexpr std::chrono::milliseconds k_test_deadline{10000};

TEST(OutputComponentTest, DeliversTextAndSwitchMarksAsSignals) {
    HostRegistry registry;
    OutputComponent output(&registry);
    EXPECT_TRUE(output.active());
    EXPECT_TRUE(output.is_shareable());
    EXPECT_EQ(registry.lookup(k_output), &output);

    std::vector<QByteArray> texts;
    int switches = 0;
    QObject::connect(&output, &OutputComponent::text_arrived,
                     [&texts](const QByteArray& t) { texts.push_back(t); });
    QObject::connect(&output, &OutputComponent::link_switched, [&switches] { ++switches; });

    char text[] = "Please reset the STB!\nignored";
    output.deliver({k_output_text, 22, text});
    text[0] = 'X';  // the signal carries a copy
    output.deliver({k_output_link_switch, 0, nullptr});
    output.deliver({k_output_text, 0, text});
    output.deliver({k_output_text, 5, nullptr});
    output.deliver({k_connector_is_open, 0, nullptr});  // not a code of "output"
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], QByteArray("Please reset the STB!\n"));
    EXPECT_EQ(switches, 1);
}

TEST(OutputComponentTest, TextFromAnotherThreadReachesThePaneOnItsOwnThread) {
    HostRegistry registry;
    OutputComponent output(&registry);
    TerminalPane pane;
    pane.attach(output);

    std::thread connector([&registry] {
        // A received line split inside a two-byte character, as serial reads split it.
        registry.broadcast(nullptr, {k_output_text, 4, "caf\xC3"});
        registry.broadcast(nullptr, {k_output_text, 4, "\xA9!\r\n"});
        registry.broadcast(nullptr, {k_output_link_switch, 0, nullptr});
        registry.broadcast(nullptr, {k_output_text, 6, "boot> "});
    });
    connector.join();
    EXPECT_TRUE(pane.text().isEmpty()) << "touched from the other thread";
    // The frame timer shows it; the deadline only keeps a broken timer from hanging the test.
    QElapsedTimer waited;
    waited.start();
    while (pane.text().isEmpty() && !waited.hasExpired(k_test_deadline.count())) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    EXPECT_EQ(pane.text(), QStringLiteral("caf\u00e9!\n---- link switched ----\nboot> "));
}

TEST(TerminalPaneTest, NoticesStandOnLinesOfTheirOwn) {
    TerminalPane pane;
    pane.append_bytes("partial");
    pane.append_notice(QStringLiteral("Cannot open serial port x: y"));
    pane.append_notice(QStringLiteral("second\n"));
    pane.append_bytes(QByteArray("a\0b\r", 4));
    pane.mark_link_switch();
    pane.flush();
    EXPECT_EQ(pane.text(), QStringLiteral("partial\nCannot open serial port x: y\nsecond\na\\x00b\n"
                                          "---- link switched ----\n"));
}

// The lowest line with text in the pane's view (a notice's line end leaves an empty line below it).
QString last_line_in_view(QPlainTextEdit& view) {
    const QPoint bottom(4, view.viewport()->height() - 2);
    QTextBlock block = view.cursorForPosition(bottom).block();
    while (block.text().isEmpty() && block.previous().isValid()) {
        block = block.previous();
    }
    return block.text();
}

void settle() {
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents();
    }
}

// As every terminal does, the pane shows the newest line as it comes, however few lines it has room
// for, until the user scrolls back; scrolled to the end again, it follows again. (The lines that came
// before the window showed were laid out at its top, and the pane never followed from there: after
// "Connect with Panel", "Please reset the STB!" was out of view.)
TEST(TerminalPaneTest, FollowsTheNewestLineUnlessTheUserScrolledBack) {
    QWidget window;
    auto* pane = new TerminalPane(&window);
    auto* view = pane->findChild<QPlainTextEdit*>();
    ASSERT_NE(view, nullptr);
    const int line = view->fontMetrics().lineSpacing();
    window.resize(500, pane->sizeHint().height() - view->sizeHint().height() + 2 * line + 12);
    pane->setGeometry(window.rect());
    // What comes before the window shows (the plug-ins' and the port's messages at start) is laid
    // out when it shows: the pane shows its end, not its first lines.
    for (int i = 0; i < 6; ++i) {
        pane->append_notice(QStringLiteral("start %1").arg(i));
    }
    pane->flush();
    window.show();
    settle();
    EXPECT_EQ(last_line_in_view(*view), QStringLiteral("start 5"));

    for (int i = 0; i < 12; ++i) {
        const QString text = QStringLiteral("line %1").arg(i);
        pane->append_notice(text);
        settle();
        EXPECT_EQ(last_line_in_view(*view), text);
    }
    // A status bar shows (a port opened) and takes a line's height from the pane: the pane still shows
    // the newest line, and the next one when it comes.
    window.resize(500, window.height() - line);
    pane->setGeometry(window.rect());
    settle();
    EXPECT_EQ(last_line_in_view(*view), QStringLiteral("line 11"));
    pane->append_notice(QStringLiteral("Please reset the STB!"));
    settle();
    EXPECT_EQ(last_line_in_view(*view), QStringLiteral("Please reset the STB!"));

    // The user scrolls back: the view stays where they put it.
    QScrollBar* bar = view->verticalScrollBar();
    bar->triggerAction(QAbstractSlider::SliderToMinimum);
    settle();
    const QString shown = last_line_in_view(*view);
    pane->append_notice(QStringLiteral("later"));
    settle();
    EXPECT_EQ(last_line_in_view(*view), shown);
    EXPECT_FALSE(pane->following());

    // Back at the end, the pane follows again; a taller pane still shows the newest line at its foot.
    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    pane->append_notice(QStringLiteral("newest"));
    settle();
    EXPECT_EQ(last_line_in_view(*view), QStringLiteral("newest"));
    window.resize(500, window.height() + 3 * line);
    pane->setGeometry(window.rect());
    pane->append_notice(QStringLiteral("after the resize"));
    settle();
    EXPECT_EQ(last_line_in_view(*view), QStringLiteral("after the resize"));
}

TEST(TerminalPaneTest, BareCarriageReturnsEndLines) {
    TerminalPane pane;
    pane.append_bytes("10%\r20%\r");
    pane.append_bytes("done\r");
    pane.append_bytes("\nnext");
    pane.flush();
    EXPECT_EQ(pane.text(), QStringLiteral("10%\n20%\ndone\nnext"));
}

TEST(TerminalPaneTest, HundredKilobyteLinesCostBoundedWorkPerFrame) {
    constexpr qsizetype line_size = 100 * 1000;
    constexpr int line_total = 5;
    TerminalPane pane;
    const QByteArray line = QByteArray(line_size, 'x') + "\r\n";
    for (int k = 0; k < line_total; ++k) {
        for (qsizetype at = 0; at < line.size(); at += 4096) {
            pane.append_bytes(line.mid(at, 4096));  // as serial reads deliver it
        }
    }
    // Whatever waits, one frame takes at most its share.
    while (pane.backlog().held() > 0) {
        ASSERT_LE(pane.drain_frame(), TerminalPane::k_frame_bytes);
    }

    const QStringList lines = pane.text().split(u'\n');
    constexpr qsizetype cap = TerminalDecoder::k_max_line_length;
    EXPECT_EQ(lines.size(), line_total * ((line_size + cap - 1) / cap) + 1);
    qsizetype shown = 0;
    for (const QString& shown_line : lines) {
        ASSERT_LE(shown_line.size(), cap);
        shown += shown_line.size();
    }
    EXPECT_EQ(shown, line_size * line_total);
}

TEST(TerminalPaneTest, AFrameLaysOutBoundedLinesAndCharacters) {
    // Whatever the bytes turn into, one frame passes its line and character budgets by one step's
    // worth at most (a byte is at most one line, a four-character escape or a sixteenth of a row).
    constexpr qsizetype step = TerminalPane::k_take_step;
    struct Case {
        const char* name;
        bool hex;
        QByteArray bytes;
    };
    const std::vector<Case> cases = {
        {"empty lines", false, QByteArray(1 << 20, '\n')},
        {"control bytes", false, QByteArray(1 << 20, '\x01')},
        {"a long line", false, QByteArray(1 << 20, 'x')},
        {"hex rows", true, QByteArray(1 << 20, 'x')},
    };
    for (const Case& c : cases) {
        TerminalPane pane;
        pane.set_hex_view(c.hex);
        for (qsizetype at = 0; at < c.bytes.size(); at += 4096) {
            pane.append_bytes(c.bytes.mid(at, 4096));
        }
        // Counted from here: the first delivery into an idle pane may have shown a frame already.
        const int lines_before = pane.line_count();
        const qsizetype chars_before = pane.text().size();
        pane.drain_frame();
        EXPECT_LE(pane.line_count() - lines_before, TerminalPane::k_frame_lines + step) << c.name;
        EXPECT_LE(pane.text().size() - chars_before, TerminalPane::k_frame_chars + 4 * step + 1) << c.name;
        EXPECT_GT(pane.backlog().held(), 0) << c.name << ": a frame must not take everything";
    }
}

// The pane's "[... N bytes dropped ...]" marks, added up.
std::uint64_t dropped_shown(const QString& text) {
    static const QRegularExpression mark(QStringLiteral("\\[\\.\\.\\. (\\d+) bytes dropped \\.\\.\\.\\]"));
    std::uint64_t total = 0;
    for (const QRegularExpressionMatch& match : mark.globalMatch(text)) {
        total += match.captured(1).toULongLong();
    }
    return total;
}

TEST(TerminalPaneTest, AFloodIsBoundedAndTheDropIsShown) {
    HostRegistry registry;
    OutputComponent output(&registry);
    TerminalPane pane;
    pane.attach(output);
    const QByteArray chunk = QByteArray("[ 12.345678] a line of an ordinary boot log\r\n").repeated(90);
    constexpr qsizetype total = 50 * 1000 * 1000;
    qsizetype delivered = 0;
    // The event loop does not run meanwhile, as when the window is busy.
    while (delivered < total) {
        output.deliver({k_output_text, static_cast<std::uint32_t>(chunk.size()), chunk.constData()});
        delivered += chunk.size();
    }
    EXPECT_LE(pane.backlog().held(), TerminalBacklog::k_default_capacity);
    EXPECT_GT(pane.backlog().dropped_total(), 0u);

    EXPECT_LE(pane.drain_frame(), TerminalPane::k_frame_bytes);
    pane.flush();
    EXPECT_LE(pane.line_count(), TerminalPane::k_max_lines);
    // Every byte the pane did not show is counted where it went missing.
    const QString text = pane.text();
    EXPECT_EQ(dropped_shown(text), pane.backlog().dropped_total()) << text.right(300).toStdString();
}

// However far a flood left the pane behind, it catches up within a bounded number of frames, so the
// window is idle soon after the flood ends, and what it shows last are the newest bytes it kept.
TEST(TerminalPaneTest, APaneFarBehindCatchesUpInBoundedFrames) {
    struct Case {
        const char* name;
        bool hex;
        QByteArray chunk;
    };
    const std::vector<Case> cases = {
        {"a boot log", false, QByteArray("[ 12.345678] a line of an ordinary boot log\r\n").repeated(90)},
        {"control bytes", false, QByteArray(4096, '\x01')},
        {"hex rows", true, QByteArray(4096, 'x')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalPane pane;
        pane.set_hex_view(c.hex);
        while (pane.backlog().dropped_total() == 0) {
            pane.append_bytes(c.chunk);
        }
        int frames = 0;
        while (pane.backlog().held() > 0) {
            pane.drain_frame();
            ASSERT_LE(++frames, TerminalPane::k_max_lag_frames + 2);
            if (frames == 1) {
                pane.append_bytes("the end\n");  // the newest delivery, once the first frame made room
            }
        }
        if (!c.hex) {
            EXPECT_TRUE(pane.text().endsWith(QStringLiteral("the end\n")))
                << pane.text().right(200).toStdString();
        }
        EXPECT_EQ(dropped_shown(pane.text()), pane.backlog().dropped_total());
    }
}

TEST(TerminalPaneTest, HexViewShowsRowsOfBytes) {
    TerminalPane pane;
    auto* hex = pane.findChild<QCheckBox*>(QStringLiteral("hex_view"));
    ASSERT_NE(hex, nullptr);
    pane.append_bytes("ok\r\n");
    pane.flush();
    hex->click();
    EXPECT_TRUE(pane.hex_view());
    pane.append_bytes("AB\x1b\r\n");
    pane.flush();
    hex->click();
    pane.append_bytes("back");
    pane.flush();
    EXPECT_EQ(pane.text(), QStringLiteral("ok\n") + QStringLiteral("41 42 1b 0d 0a").leftJustified(47) +
                               QStringLiteral("  AB...\nback"));
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
