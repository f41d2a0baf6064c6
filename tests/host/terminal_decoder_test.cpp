// The terminal's decoder: line ends, UTF-8 across deliveries, escapes for what cannot be shown, the
// line length cap and the hex view.
#include <gtest/gtest.h>

#include <QStringList>
#include <vector>

#include "tools/velmora-host/terminal_decoder.h"

namespace velmora::host_app {
namespace {

using View = TerminalDecoder::View;

// One hex row as the decoder lays it out: the hex column padded to 16 bytes' width, then the text.
QString hex_row(const char* hex, const char* ascii) {
    return QString::fromLatin1(hex).leftJustified(16 * 3 - 1) + QStringLiteral("  ") +
           QString::fromLatin1(ascii) + u'\n';
}

QString decode_all(TerminalDecoder& decoder, const std::vector<QByteArray>& deliveries) {
    QString out;
    for (const QByteArray& bytes : deliveries) {
        decoder.decode(bytes, out);
    }
    decoder.end_pause(out);
    return out;
}

TEST(TerminalDecoderTest, TurnsDeliveriesIntoLines) {
    struct Case {
        const char* name;
        View view;
        std::vector<QByteArray> deliveries;
        QString expected;
    };
    const std::vector<Case> cases = {
        {"LF", View::text, {"a\nb\n"}, QStringLiteral("a\nb\n")},
        {"CR LF", View::text, {"a\r\nb\r\n"}, QStringLiteral("a\nb\n")},
        {"bare CR", View::text, {"10%\r20%\r"}, QStringLiteral("10%\n20%\n")},
        {"CR LF split across deliveries", View::text, {"a\r", "\nb"}, QStringLiteral("a\nb")},
        {"CR then CR LF", View::text, {"a\r\r\n"}, QStringLiteral("a\n\n")},
        {"empty lines", View::text, {"\n\n"}, QStringLiteral("\n\n")},
        {"UTF-8 split", View::text, {"caf\xC3", "\xA9!"}, QStringLiteral("caf\u00e9!")},
        {"4-byte character over three deliveries",
         View::text,
         {"\xF0\x9F", "\x98", "\x80"},
         QString::fromUtf8("\xF0\x9F\x98\x80")},
        {"invalid UTF-8", View::text, {"a\xFF b\xC3(\xE0\x80"}, QStringLiteral("a\\xff b\\xc3(\\xe0\\x80")},
        {"overlong form and surrogate",
         View::text,
         {QByteArray("\xC0\xAF\xED\xA0\x80")},
         QStringLiteral("\\xc0\\xaf\\xed\\xa0\\x80")},
        {"unfinished character before a line end",
         View::text,
         {"\xE2\x82", "\r"},
         QStringLiteral("\\xe2\\x82\n")},
        {"control bytes",
         View::text,
         {QByteArray("\x1b[0m\0\x07\tx\x7f", 9)},
         QStringLiteral("\\x1b[0m\\x00\\x07\tx\\x7f")},
        {"C1 control", View::text, {"\xC2\x85."}, QStringLiteral("\\u0085.")},
        {"hex row", View::hex, {"AB\r\n"}, hex_row("41 42 0d 0a", "AB..")},
        {"hex rows of 16 bytes, the last one short",
         View::hex,
         {"0123456789", "abcdef\xFFZ"},
         hex_row("30 31 32 33 34 35 36 37 38 39 61 62 63 64 65 66", "0123456789abcdef") +
             hex_row("ff 5a", ".Z")},
    };
    for (const Case& c : cases) {
        TerminalDecoder decoder;
        QString ignored;
        decoder.set_view(c.view, ignored);
        EXPECT_EQ(decode_all(decoder, c.deliveries), c.expected) << c.name;
    }
}

TEST(TerminalDecoderTest, LongLinesAreCutAtTheCapWithoutSplittingAnEscape) {
    constexpr qsizetype cap = TerminalDecoder::k_max_line_length;
    TerminalDecoder decoder;
    QString out;
    // A 100 KB line as serial reads deliver it, then a line whose escape would straddle the cap.
    const QByteArray line(100 * 1000, 'x');
    for (qsizetype at = 0; at < line.size(); at += 1000) {
        decoder.decode(QByteArrayView(line).sliced(at, 1000), out);
    }
    decoder.decode("\n", out);
    decoder.decode(QByteArray(cap - 1, 'y') + "\x1b\r\n", out);

    QStringList lines = out.split(u'\n');
    ASSERT_EQ(lines.takeLast(), QString());
    ASSERT_EQ(lines.size(), (line.size() + cap - 1) / cap + 2);
    QString joined;
    for (qsizetype k = 0; k + 2 < lines.size(); ++k) {
        EXPECT_LE(lines[k].size(), cap);
        joined += lines[k];
    }
    EXPECT_EQ(joined, QString::fromLatin1(line));
    EXPECT_EQ(lines[lines.size() - 2], QString(cap - 1, u'y'));
    EXPECT_EQ(lines.last(), QStringLiteral("\\x1b"));
}

TEST(TerminalDecoderTest, SwitchingViewsEndsWhatTheOldViewHeld) {
    TerminalDecoder decoder;
    QString out;
    decoder.decode("ab\xC3", out);
    decoder.set_view(View::hex, out);
    EXPECT_EQ(out, QStringLiteral("ab\\xc3\n"));
    EXPECT_TRUE(decoder.at_line_start());

    out.clear();
    decoder.decode("\xA9", out);
    EXPECT_TRUE(out.isEmpty()) << "a short row waits for the pause or the switch";
    EXPECT_FALSE(decoder.at_line_start());
    decoder.set_view(View::text, out);
    decoder.decode("ok", out);
    EXPECT_EQ(out, hex_row("a9", ".") + QStringLiteral("ok"));
}

}  // namespace
}  // namespace velmora::host_app
