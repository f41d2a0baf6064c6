// Turns the bytes a serial line delivers into the text the terminal pane shows, whatever the bytes
// are: a log, a progress counter that rewrites its line with CR, a 100 KB line, binary traffic.
//
// Text view: bytes are read as UTF-8, and a character split across two deliveries still decodes.
// "\n", "\r\n" and a bare "\r" each end a line (so "10%\r20%\r" shows two lines, and devices that end
// lines with CR read as usual); a "\r" that ends one delivery and a "\n" that starts the next are one
// line end. Other control bytes and bytes that are not UTF-8 show as "\x1b"-style escapes (a tab stays
// a tab, C1 controls show as "\u0085"), so nothing the box sends is invisible. A line longer than
// k_max_line_length characters continues on the next line.
//
// Hex view: rows of k_hex_row_bytes bytes, "41 42 0d 0a  AB.." (lower-case hex, then the printable
// ASCII with '.' for the rest). A row ends when it is full, or shorter when the line pauses
// (end_pause), so a short answer shows at once.
//
// Callers may rely on: the output is plain text whose lines end with '\n' and are never longer than
// k_max_line_length (hex rows are 65 characters); work and memory are linear in the input, and the
// decoder holds at most one hex row or three bytes of an unfinished character between calls. Not
// thread-safe: one owner feeds it.
#pragma once

#include <QByteArrayView>
#include <QString>
#include <array>
#include <cstdint>

namespace velmora::host_app {

class TerminalDecoder {
public:
    enum class View { text, hex };
    static constexpr qsizetype k_max_line_length = 4096;
    static constexpr int k_hex_row_bytes = 16;

    View view() const { return view_; }
    // Switches the view for the bytes that follow; what the old view still held (a partial row, the
    // bytes of an unfinished character) is appended to `out` first, and the new view starts a line.
    void set_view(View view, QString& out);

    // Appends the display text of `bytes` to `out`.
    void decode(QByteArrayView bytes, QString& out);
    // The line went quiet: a partial hex row is shown now. Text view keeps its unfinished line open.
    void end_pause(QString& out);
    // The display started a new line of its own (a notice): the line length counts from zero again.
    void line_started() { column_ = 0; }
    // True when the next character would start a line.
    bool at_line_start() const { return column_ == 0 && row_length_ == 0; }

private:
    void decode_text(std::uint8_t byte, QString& out);
    void put_code_point(char32_t code_point, QString& out);
    void put_escape(const char* prefix, std::uint32_t value, int digits, QString& out);
    void put(QStringView unit, QString& out);
    void end_line(QString& out);
    void flush_unfinished(QString& out);
    void put_hex_row(QString& out);

    View view_ = View::text;
    qsizetype column_ = 0;
    bool swallow_lf_ = false;  // the last byte was a CR that already ended the line
    std::array<std::uint8_t, 4> unfinished_{};
    int unfinished_length_ = 0;
    int unfinished_needed_ = 0;
    std::array<std::uint8_t, k_hex_row_bytes> row_{};
    int row_length_ = 0;
};

}  // namespace velmora::host_app
