// The production line's log: one JSON object a line, one line per box as each box ends, flushed at
// once, and a summary line when the run ends. The file is opened for appending and never rewritten,
// so a log that several runs share keeps every line.
//
// Callers may rely on: write_box and write_summary are thread-safe; the tally covers every box
// written, also when there is no file.
#pragma once

#include <cstdio>
#include <mutex>
#include <string>

#include "tools/velmora-provision/box_record.h"

namespace velmora::provision {

struct BoxTally {
    int boxes = 0;
    int done = 0;
    int failed = 0;  // interrupted boxes count as failed
    double seconds = 0;
};

class BoxLog {
public:
    BoxLog() = default;
    ~BoxLog();
    BoxLog(const BoxLog&) = delete;
    BoxLog& operator=(const BoxLog&) = delete;

    // False with `error` set when the file cannot be opened for appending.
    bool open(const std::string& path, std::string& error);
    void write_box(const BoxRecord& box);
    void write_summary();
    BoxTally tally() const;

    static std::string box_line(const BoxRecord& box);
    static std::string summary_line(const BoxTally& tally);

private:
    void write_line(const std::string& line);

    mutable std::mutex mutex_;
    std::FILE* file_ = nullptr;
    BoxTally tally_;
};

std::string result_name(BoxResult result);
std::string answer_name(LinkBoxAnswer answer);
// "2026-03-01T12:00:00.123Z"
std::string utc_text(std::chrono::system_clock::time_point at);

}  // namespace velmora::provision
