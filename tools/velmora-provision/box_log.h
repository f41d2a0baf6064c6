// The production line's log: one JSON object a line, one line per box as each box ends, and a summary
// line when the run ends. The file is opened for appending and never rewritten, so a log that several
// runs share keeps every line.
//
// Callers may rely on:
// - open() refuses, without blocking, a path that is not a regular file (a FIFO, a device, a
//   directory), saying what it is.
// - Each line goes out in one write() of the whole line, so lines of several runs never mix; a line
//   that does not go out whole (a full disk) is cut back off the file, so the log always ends with a
//   whole line. The first line that cannot be written is handed to the write-error handler, and no
//   line is written after it.
// - write_box and write_summary are thread-safe; the tally covers every box, also when there is no
//   file or the file failed. The average is over the boxes that were done: a box that failed at once
//   would make it look faster than a box is.
#pragma once

#include <functional>
#include <mutex>
#include <string>

#include "platform/unique_fd.h"
#include "tools/velmora-provision/box_record.h"

namespace velmora::provision {

struct BoxTally {
    int boxes = 0;
    int done = 0;
    int failed = 0;           // interrupted boxes count as failed
    double done_seconds = 0;  // of the boxes that were done

    double average_seconds() const { return done == 0 ? 0.0 : done_seconds / done; }
};

class BoxLog {
public:
    // Told what could not be written and why ("cannot write the log x: ...").
    using WriteErrorHandler = std::function<void(const std::string& text)>;

    explicit BoxLog(WriteErrorHandler on_write_error = {}) : on_write_error_(std::move(on_write_error)) {}
    BoxLog(const BoxLog&) = delete;
    BoxLog& operator=(const BoxLog&) = delete;

    // False with `error` set when the file cannot be opened for appending or is no regular file.
    bool open(const std::string& path, std::string& error);
    void write_box(const BoxRecord& box);
    void write_summary();
    BoxTally tally() const;

    static std::string box_line(const BoxRecord& box);
    static std::string summary_line(const BoxTally& tally);

private:
    // Under mutex_.
    void write_line(const std::string& line);
    void fail(const std::string& reason);

    const WriteErrorHandler on_write_error_;
    mutable std::mutex mutex_;
    std::string path_;
    platform::UniqueFd fd_;
    bool failed_ = false;
    BoxTally tally_;
};

std::string result_name(BoxResult result);
std::string answer_name(LinkBoxAnswer answer);
// "2026-03-01T12:00:00.123Z"
std::string utc_text(std::chrono::system_clock::time_point at);

}  // namespace velmora::provision
