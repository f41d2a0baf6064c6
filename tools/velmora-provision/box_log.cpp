#include "tools/velmora-provision/box_log.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <nlohmann/json.hpp>

namespace velmora::provision {

namespace {

std::string hex32(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%08x", value);
    return text;
}

double seconds_of(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

}  // namespace

std::string result_name(BoxResult result) {
    switch (result) {
        case BoxResult::done:
            return "done";
        case BoxResult::failed:
            return "failed";
        case BoxResult::interrupted:
            return "interrupted";
    }
    return "failed";
}

std::string answer_name(LinkBoxAnswer answer) {
    switch (answer) {
        case LinkBoxAnswer::ok:
            return "ok";
        case LinkBoxAnswer::retry:
            return "retry";
        case LinkBoxAnswer::cancel:
            return "cancel";
    }
    return "ok";
}

std::string utc_text(std::chrono::system_clock::time_point at) {
    const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(at.time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(millis / 1000);
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    char text[40];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &parts);
    std::snprintf(text + length, sizeof text - length, ".%03dZ", static_cast<int>(millis % 1000));
    return text;
}

BoxLog::~BoxLog() {
    if (file_ != nullptr) {
        std::fclose(file_);
    }
}

bool BoxLog::open(const std::string& path, std::string& error) {
    file_ = std::fopen(path.c_str(), "ae");
    if (file_ == nullptr) {
        error = "cannot open the log " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

std::string BoxLog::box_line(const BoxRecord& box) {
    nlohmann::json line;
    line["type"] = "box";
    line["port"] = box.port;
    line["start"] = utc_text(box.start);
    line["end"] = utc_text(box.end);
    line["seconds"] = seconds_of(box.elapsed);
    line["result"] = result_name(box.result);
    line["messages"] = box.messages;
    nlohmann::json boxes = nlohmann::json::array();
    for (const BoxMessageBox& shown : box.message_boxes) {
        boxes.push_back({{"text", shown.text}, {"answer", answer_name(shown.answer)}});
    }
    line["message_boxes"] = boxes;
    line["block_crc32"] = box.block_crc ? nlohmann::json(hex32(*box.block_crc)) : nlohmann::json();
    line["client_size"] = box.client_size;
    line["client_crc32"] = hex32(box.client_crc);
    // Texts of the box are passed on as they came; bytes that are no UTF-8 must not stop the log.
    return line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string BoxLog::summary_line(const BoxTally& tally) {
    nlohmann::json line;
    line["type"] = "summary";
    line["boxes"] = tally.boxes;
    line["done"] = tally.done;
    line["failed"] = tally.failed;
    line["average_seconds"] = tally.boxes == 0 ? 0.0 : tally.seconds / tally.boxes;
    return line.dump();
}

void BoxLog::write_box(const BoxRecord& box) {
    const std::string line = box_line(box);
    std::lock_guard lock(mutex_);
    ++tally_.boxes;
    (box.result == BoxResult::done ? tally_.done : tally_.failed) += 1;
    tally_.seconds += seconds_of(box.elapsed);
    write_line(line);
}

void BoxLog::write_summary() {
    std::lock_guard lock(mutex_);
    write_line(summary_line(tally_));
}

BoxTally BoxLog::tally() const {
    std::lock_guard lock(mutex_);
    return tally_;
}

void BoxLog::write_line(const std::string& line) {
    if (file_ == nullptr) {
        return;
    }
    std::fputs(line.c_str(), file_);
    std::fputc('\n', file_);
    std::fflush(file_);
}

}  // namespace velmora::provision
