#include "tools/velmora-provision/box_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <nlohmann/json.hpp>

#include "tools/velmora-provision/file_kind.h"

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

bool BoxLog::open(const std::string& path, std::string& error) {
    // Non-blocking: a FIFO without a reader must not hold the run before its first box.
    platform::UniqueFd fd(
        ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666));
    if (!fd) {
        const int reason = errno;
        const std::string kind = file_kind_text(path);
        error = kind.empty() || kind == file_kind_text(S_IFREG)
                    ? "cannot open the log " + path + ": " + std::strerror(reason)
                    : "the log " + path + " is " + kind + ", not a regular file";
        return false;
    }
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        error = "the log " + path + " is " + file_kind_text(status.st_mode) + ", not a regular file";
        return false;
    }
    ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
    std::lock_guard lock(mutex_);
    path_ = path;
    fd_ = std::move(fd);
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
    line["average_seconds"] = tally.average_seconds();
    return line.dump();
}

void BoxLog::write_box(const BoxRecord& box) {
    const std::string line = box_line(box);
    std::lock_guard lock(mutex_);
    ++tally_.boxes;
    if (box.result == BoxResult::done) {
        ++tally_.done;
        tally_.done_seconds += seconds_of(box.elapsed);
    } else {
        ++tally_.failed;
    }
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
    if (!fd_ || failed_) {
        return;
    }
    const std::string whole = line + "\n";
    ssize_t written = -1;
    do {
        written = ::write(fd_.get(), whole.data(), whole.size());
    } while (written < 0 && errno == EINTR);
    if (written < 0) {
        fail(std::strerror(errno));
        return;
    }
    if (static_cast<std::size_t>(written) < whole.size()) {
        // The file was appended to, so the part that went in ends where the file offset is now.
        const off_t end = ::lseek(fd_.get(), 0, SEEK_CUR);
        if (end >= written) {
            [[maybe_unused]] const int ignored = ::ftruncate(fd_.get(), end - written);
        }
        fail("no room for a whole line (" + std::to_string(written) + " of its " +
             std::to_string(whole.size()) + " bytes went in and were taken out again)");
    }
}

void BoxLog::fail(const std::string& reason) {
    failed_ = true;
    if (on_write_error_) {
        on_write_error_("cannot write the log " + path_ + ": " + reason);
    }
}

}  // namespace velmora::provision
