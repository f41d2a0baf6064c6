#include "tools/velmora-host/terminal_decoder.h"

#include <QLatin1StringView>
#include <algorithm>

#include "platform/utf8.h"

namespace velmora::host_app {

namespace {

constexpr char k_hex_digits[] = "0123456789abcdef";

bool printable_ascii(std::uint8_t byte) {
    return byte >= 0x20 && byte < 0x7F;
}

}  // namespace

void TerminalDecoder::set_view(View view, QString& out) {
    if (view == view_) {
        return;
    }
    if (view_ == View::text) {
        flush_unfinished(out);
        if (column_ > 0) {
            end_line(out);
        }
        swallow_lf_ = false;
    } else if (row_length_ > 0) {
        put_hex_row(out);
    }
    view_ = view;
    column_ = 0;
}

void TerminalDecoder::decode(QByteArrayView bytes, QString& out) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    const qsizetype size = bytes.size();
    out.reserve(out.size() + size + size / 8);
    qsizetype i = 0;
    while (i < size) {
        if (view_ == View::hex) {
            row_[static_cast<std::size_t>(row_length_++)] = data[i++];
            if (row_length_ == k_hex_row_bytes) {
                put_hex_row(out);
            }
            continue;
        }
        if (unfinished_length_ == 0 && printable_ascii(data[i])) {
            // Most of a log is plain ASCII: copy whole runs, breaking only at the line length cap.
            qsizetype end = i;
            while (end < size && printable_ascii(data[end])) {
                ++end;
            }
            swallow_lf_ = false;
            while (i < end) {
                if (column_ == k_max_line_length) {
                    end_line(out);
                }
                const qsizetype take = std::min(end - i, k_max_line_length - column_);
                out.append(QLatin1StringView(reinterpret_cast<const char*>(data + i), take));
                column_ += take;
                i += take;
            }
            continue;
        }
        decode_text(data[i++], out);
    }
}

void TerminalDecoder::end_pause(QString& out) {
    if (view_ == View::hex && row_length_ > 0) {
        put_hex_row(out);
    }
}

void TerminalDecoder::decode_text(std::uint8_t byte, QString& out) {
    if (unfinished_length_ > 0) {
        const bool fits = unfinished_length_ == 1 ? platform::utf8_second_byte_fits(unfinished_[0], byte)
                                                  : platform::utf8_is_continuation(byte);
        if (fits) {
            unfinished_[static_cast<std::size_t>(unfinished_length_++)] = byte;
            if (unfinished_length_ == unfinished_needed_) {
                const std::uint8_t lead_bits = unfinished_length_ == 2   ? 0x1F
                                               : unfinished_length_ == 3 ? 0x0F
                                                                         : 0x07;
                char32_t code_point = unfinished_[0] & lead_bits;
                for (int k = 1; k < unfinished_length_; ++k) {
                    code_point = (code_point << 6) | (unfinished_[static_cast<std::size_t>(k)] & 0x3F);
                }
                unfinished_length_ = 0;
                put_code_point(code_point, out);
            }
            return;
        }
        // A broken sequence: its bytes show as escapes and this byte starts afresh.
        flush_unfinished(out);
    }
    if (byte != '\n') {
        swallow_lf_ = false;
    }
    switch (byte) {
        case '\n':
            if (swallow_lf_) {
                swallow_lf_ = false;
            } else {
                end_line(out);
            }
            return;
        case '\r':
            end_line(out);
            swallow_lf_ = true;
            return;
        case '\t':
            put(u"\t", out);
            return;
        default:
            break;
    }
    if (byte < 0x20 || byte == 0x7F) {
        put_escape("\\x", byte, 2, out);
    } else if (byte < 0x80) {
        const QChar character(byte);
        put(QStringView(&character, 1), out);
    } else if (const auto length = platform::utf8_sequence_length(byte); length > 1) {
        unfinished_[0] = byte;
        unfinished_length_ = 1;
        unfinished_needed_ = static_cast<int>(length);
    } else {
        put_escape("\\x", byte, 2, out);
    }
}

void TerminalDecoder::put_code_point(char32_t code_point, QString& out) {
    if (code_point >= 0x80 && code_point <= 0x9F) {
        put_escape("\\u", code_point, 4, out);
        return;
    }
    const char32_t one[] = {code_point};
    const QString character = QString::fromUcs4(one, 1);
    put(character, out);
}

void TerminalDecoder::put_escape(const char* prefix, std::uint32_t value, int digits, QString& out) {
    QString escape = QLatin1StringView(prefix);
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) {
        escape.append(QLatin1Char(k_hex_digits[(value >> shift) & 0xF]));
    }
    put(escape, out);
}

void TerminalDecoder::put(QStringView unit, QString& out) {
    // An escape or a surrogate pair is never cut in two.
    if (column_ > 0 && column_ + unit.size() > k_max_line_length) {
        end_line(out);
    }
    out.append(unit);
    column_ += unit.size();
}

void TerminalDecoder::end_line(QString& out) {
    out.append(u'\n');
    column_ = 0;
}

void TerminalDecoder::flush_unfinished(QString& out) {
    const int length = unfinished_length_;
    unfinished_length_ = 0;
    for (int k = 0; k < length; ++k) {
        put_escape("\\x", unfinished_[static_cast<std::size_t>(k)], 2, out);
    }
}

void TerminalDecoder::put_hex_row(QString& out) {
    for (int k = 0; k < k_hex_row_bytes; ++k) {
        if (k < row_length_) {
            const std::uint8_t byte = row_[static_cast<std::size_t>(k)];
            out.append(QLatin1Char(k_hex_digits[byte >> 4]));
            out.append(QLatin1Char(k_hex_digits[byte & 0xF]));
        } else {
            out.append(QLatin1StringView("  "));
        }
        if (k + 1 < k_hex_row_bytes) {
            out.append(u' ');
        }
    }
    out.append(QLatin1StringView("  "));
    for (int k = 0; k < row_length_; ++k) {
        const std::uint8_t byte = row_[static_cast<std::size_t>(k)];
        out.append(printable_ascii(byte) ? QLatin1Char(static_cast<char>(byte)) : QLatin1Char('.'));
    }
    out.append(u'\n');
    row_length_ = 0;
}

}  // namespace velmora::host_app
