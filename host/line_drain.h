// What of the bytes handed to a serial port has left its line, so the connector reports a send
// complete when the box can have had all of it, not when the driver took it. Two things bound it: the
// driver's output queue (what TIOCOUTQ says it still holds), and the bytes' time on the line at the
// port's baud rate, 10 bits a byte, one after the other from when the driver took them. The second
// matters where the first cannot tell: a pseudo-terminal's queue is always empty, and a USB adapter's
// own buffer is not counted in it.
//
// Callers may rely on: counts are bytes since the last clear(); left() never passes what was written
// and never goes back. Time enters only through the arguments. Not thread-safe: one thread uses it.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>

namespace velmora {

class LineDrain {
public:
    using Clock = std::chrono::steady_clock;

    // Forgets every byte, for a port at `baud` (0: the line takes no time).
    void clear(std::uint32_t baud);
    // The driver took `count` more bytes at `now`.
    void written(std::uint64_t count, Clock::time_point now);
    std::uint64_t written_total() const { return written_; }
    // The bytes that have left by `now`, while `queued` of them are still in the driver's queue.
    std::uint64_t left(Clock::time_point now, std::uint64_t queued);
    // When the line will have carried everything written so far.
    Clock::time_point line_free_at() const { return line_free_; }
    // True when bytes have still not left `margin` after the line could have carried them all: the
    // queue is stuck, and waiting longer helps nobody.
    bool overdue(Clock::time_point now, Clock::duration margin) const {
        return left_ < written_ && now > line_free_ + margin;
    }
    Clock::duration byte_time() const { return byte_time_; }

private:
    // Bytes [first, end) go out back to back from `start`.
    struct Run {
        Clock::time_point start;
        std::uint64_t first;
        std::uint64_t end;
    };
    std::uint64_t carried(Clock::time_point now);

    Clock::duration byte_time_{};
    std::deque<Run> runs_;
    std::uint64_t written_ = 0;
    std::uint64_t carried_ = 0;  // by runs that have ended
    std::uint64_t left_ = 0;
    Clock::time_point line_free_{};
};

}  // namespace velmora
