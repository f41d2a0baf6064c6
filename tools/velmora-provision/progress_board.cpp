#include "tools/velmora-provision/progress_board.h"

#include <nlohmann/json.hpp>
#include <sstream>
#include <string_view>

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

}  // namespace

ProgressBoard::ProgressBoard(std::vector<std::string> ports, ProgressStyle style, std::FILE* out)
    : ports_(std::move(ports)), rows_(ports_.size()), style_(style), out_(out) {
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
    std::fflush(out_);
}

void ProgressBoard::redraw() {
    if (drawn_) {
        std::fprintf(out_, "\x1b[%zuA", rows_.size());
    }
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        std::fprintf(out_, "\r\x1b[2K%s\n", line(labels_[i], rows_[i].last, rows_[i].shown_message).c_str());
    }
    drawn_ = true;
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
    if (lines.empty()) {
        std::fprintf(out_, "%s\n", line(labels_[port], event, {}).c_str());
    }
    for (const std::string& text : lines) {
        std::fprintf(out_, "%s\n", line(labels_[port], event, text).c_str());
    }
}

void ProgressBoard::print_json(std::size_t port, const ProgressEvent& event) {
    const nlohmann::json object{{"port", ports_[port]},     {"phase", phase_name(event.phase)},
                                {"done", event.done},       {"total", event.total},
                                {"seconds", event.seconds}, {"message", event.message}};
    std::fprintf(out_, "%s\n", object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
}

void ProgressBoard::finish() {
    std::lock_guard lock(mutex_);
    std::fflush(out_);
}

void ProgressBoard::print(const std::string& text) {
    std::lock_guard lock(mutex_);
    std::fprintf(out_, "%s\n", text.c_str());
    std::fflush(out_);
}

}  // namespace velmora::provision
