#include "tools/velmora-provision/progress_board.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string_view>

#include "platform/utf8.h"
#include "tools/velmora-image/report_text.h"

namespace velmora::provision {

namespace {

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty()) {
            lines.push_back(line);
        }
    }
    return lines;
}

// The terminal's width now (it may have been resized since the last row); 0 when it has none.
std::size_t terminal_columns(std::FILE* out) {
    winsize size{};
    if (::ioctl(::fileno(out), TIOCGWINSZ, &size) != 0) {
        return 0;
    }
    return size.ws_col;
}

}  // namespace

ProgressBoard::ProgressBoard(std::vector<std::string> ports, ProgressStyle style, std::FILE* out,
                             WriteErrorHandler on_write_error)
    : ports_(std::move(ports)),
      rows_(ports_.size()),
      style_(style),
      out_(out),
      on_write_error_(std::move(on_write_error)) {
    for (const std::string& port : ports_) {
        labels_.push_back(label(port));
    }
}

std::string ProgressBoard::phase_name(Phase phase) {
    switch (phase) {
        case Phase::waiting:
            return "waiting";
        case Phase::client:
            return "client";
        case Phase::handshake:
            return "handshake";
        case Phase::uploading:
            return "uploading";
        case Phase::config:
            return "config";
        case Phase::done:
            return "done";
        case Phase::failed:
            return "failed";
        case Phase::interrupted:
            return "interrupted";
        case Phase::absent:
            return "absent";
    }
    return "waiting";
}

std::string ProgressBoard::label(const std::string& port) {
    constexpr std::string_view k_device_folder = "/dev/";
    return port.starts_with(k_device_folder) ? port.substr(k_device_folder.size()) : port;
}

std::string ProgressBoard::line(const std::string& label, const ProgressEvent& event,
                                const std::string& message) {
    char head[128];
    std::snprintf(head, sizeof head, "%-8s  %-11s", label.c_str(), phase_name(event.phase).c_str());
    std::string text = head;
    if (event.total > 0) {
        text += "  " + std::to_string(event.done) + "/" + std::to_string(event.total);
    }
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "  %.1f s", event.seconds);
    text += seconds;
    if (!message.empty()) {
        text += "  " + message;
    }
    return text;
}

std::string ProgressBoard::terminal_row(const std::string& text, std::size_t columns) {
    const std::string shown = image_tool::escape_for_terminal(text);
    if (columns == 0) {
        return shown;
    }
    // Escaped text is valid UTF-8: every byte that is no continuation byte starts a character.
    std::size_t used = 0;
    for (std::size_t at = 0; at < shown.size(); ++at) {
        if (platform::utf8_is_continuation(static_cast<std::uint8_t>(shown[at]))) {
            continue;
        }
        if (used == columns) {
            return shown.substr(0, at);
        }
        ++used;
    }
    return shown;
}

void ProgressBoard::update(std::size_t port, const ProgressEvent& event) {
    if (port >= rows_.size()) {
        return;
    }
    std::lock_guard lock(mutex_);
    switch (style_) {
        case ProgressStyle::terminal: {
            Row& row = rows_[port];
            const std::vector<std::string> lines = lines_of(event.message);
            if (!lines.empty()) {
                row.shown_message = lines.back();
            }
            row.last = event;
            redraw();
            break;
        }
        case ProgressStyle::plain:
            print_plain(port, event);
            break;
        case ProgressStyle::json:
            print_json(port, event);
            break;
    }
}

void ProgressBoard::redraw() {
    const std::size_t columns = terminal_columns(out_);
    std::string text;
    if (drawn_) {
        text += "\x1b[" + std::to_string(rows_.size()) + "A";
    }
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        text += "\r\x1b[2K" + terminal_row(line(labels_[i], rows_[i].last, rows_[i].shown_message), columns) +
                "\n";
    }
    drawn_ = true;
    write_out(text);
}

void ProgressBoard::print_plain(std::size_t port, const ProgressEvent& event) {
    Row& row = rows_[port];
    const std::vector<std::string> lines = lines_of(event.message);
    // Bytes alone are news only when a phase ends; texts always are.
    const bool news = !row.printed || event.phase != row.last.phase || !lines.empty() ||
                      (event.total > 0 && event.done == event.total && row.last.done != event.done);
    row.last = event;
    if (!news) {
        return;
    }
    row.printed = true;
    std::string text;
    if (lines.empty()) {
        text = line(labels_[port], event, {}) + "\n";
    }
    for (const std::string& message : lines) {
        text += line(labels_[port], event, message) + "\n";
    }
    write_out(text);
}

void ProgressBoard::print_json(std::size_t port, const ProgressEvent& event) {
    const nlohmann::json object{{"port", ports_[port]},     {"phase", phase_name(event.phase)},
                                {"done", event.done},       {"total", event.total},
                                {"seconds", event.seconds}, {"message", event.message}};
    write_out(object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n");
}

void ProgressBoard::finish() {
    std::lock_guard lock(mutex_);
    write_out({});
}

void ProgressBoard::print(const std::string& text) {
    std::lock_guard lock(mutex_);
    write_out(text + "\n");
}

void ProgressBoard::write_out(const std::string& text) {
    if (failed_) {
        return;
    }
    errno = 0;
    const bool written = std::fwrite(text.data(), 1, text.size(), out_) == text.size();
    if (written && std::fflush(out_) == 0) {
        return;
    }
    failed_ = true;
    const int reason = errno;
    if (on_write_error_) {
        on_write_error_(std::string("cannot write the progress output: ") +
                        (reason != 0 ? std::strerror(reason) : "the write failed"));
    }
}

}  // namespace velmora::provision
