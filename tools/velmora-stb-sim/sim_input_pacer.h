// What the box takes in off its line, at the line's pace. A pseudo-terminal hands over whatever the
// host wrote at once; a serial line carries 10 bits a byte at its baud rate. The pacer holds the bytes
// read from the line and lets each go to the box only once a line at that rate would have delivered
// it, one after the other, starting no earlier than the moment it was read. So the box sees the pace
// of the line and every pause the host made between its writes, and none that a line would hide
// (a pause shorter than the bytes before it need is swallowed by the line).
//
// Callers may rely on: bytes come out in the order they went in, none lost; at 0 baud nothing is held
// back. Time enters only through the arguments, so a test drives it with made-up times.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <vector>

namespace velmora::stb_sim {

class SimInputPacer {
public:
    using Clock = std::chrono::steady_clock;

    explicit SimInputPacer(int baud);

    // Bytes read from the line at `read_at`.
    void add(std::span<const std::uint8_t> bytes, Clock::time_point read_at);
    // The bytes the line has delivered by `now`, in order.
    std::vector<std::uint8_t> take(Clock::time_point now);
    // Everything held, at once: the line is gone and its bytes are all there will be.
    std::vector<std::uint8_t> take_all();
    // When the next held byte has arrived; none while nothing is held.
    std::optional<Clock::time_point> next_arrival() const;

private:
    struct Chunk {
        Clock::time_point read_at;
        std::vector<std::uint8_t> bytes;
        std::size_t taken = 0;
    };
    // When the line starts carrying the front chunk's next byte.
    Clock::time_point next_start() const;

    Clock::duration byte_time_;
    std::deque<Chunk> held_;
    Clock::time_point line_free_{};  // when the last byte taken had arrived
};

}  // namespace velmora::stb_sim
