// What the operator (or a station's own program) sees: one line per port. On a terminal the lines
// are redrawn in place ("ttyUSB0  uploading  1564/1564  3.4 s  ..."), each cut to the terminal's
// width so that a long text never wraps and smears the board (the whole text is in the log and in
// --json); otherwise each event that says something new is a line of its own; with --json each event
// is one JSON object a line (port, phase, done, total, seconds, message).
//
// Callers may rely on: update may be called from any thread; the lines never interleave. A text of
// the agent is shown word for word: in JSON whole, on a line one line of it at a time, on a terminal
// with control characters shown as escapes ("\x1b"). The first output that fails (a closed pipe, a
// full disk) goes to the write-error handler, and nothing is written after it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace velmora::provision {

enum class Phase { waiting, client, handshake, uploading, config, done, failed, interrupted, absent };

struct ProgressEvent {
    Phase phase = Phase::waiting;
    std::uint64_t done = 0;
    std::uint64_t total = 0;
    double seconds = 0;   // since the box's sync byte
    std::string message;  // a text of the agent, a message box, or the port's own news; may be empty
};

enum class ProgressStyle { terminal, plain, json };

class ProgressBoard {
public:
    // Told what could not be written and why ("cannot write the progress output: Broken pipe").
    using WriteErrorHandler = std::function<void(const std::string& text)>;

    ProgressBoard(std::vector<std::string> ports, ProgressStyle style, std::FILE* out,
                  WriteErrorHandler on_write_error = {});

    void update(std::size_t port, const ProgressEvent& event);
    // Any line to print after the board goes below it.
    void finish();
    // A line of its own, below the board (the summary).
    void print(const std::string& line);

    static std::string phase_name(Phase phase);
    // "ttyUSB0" for "/dev/ttyUSB0", "pts/3" for "/dev/pts/3"; another path as it is.
    static std::string label(const std::string& port);
    static std::string line(const std::string& label, const ProgressEvent& event, const std::string& message);
    // `text` as a terminal row of at most `columns` columns (0: no limit): control characters as
    // escapes, each character of UTF-8 one column, cut at a character's edge.
    static std::string terminal_row(const std::string& text, std::size_t columns);

private:
    struct Row {
        ProgressEvent last;
        std::string shown_message;  // the last non-empty line of a text
        bool printed = false;
    };
    // Under mutex_.
    void redraw();
    void print_plain(std::size_t port, const ProgressEvent& event);
    void print_json(std::size_t port, const ProgressEvent& event);
    void write_out(const std::string& text);

    std::mutex mutex_;
    const std::vector<std::string> ports_;
    std::vector<std::string> labels_;
    std::vector<Row> rows_;
    const ProgressStyle style_;
    std::FILE* out_;
    const WriteErrorHandler on_write_error_;
    bool failed_ = false;
    bool drawn_ = false;
};

}  // namespace velmora::provision
