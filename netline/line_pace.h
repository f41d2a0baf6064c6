// When the caller's bytes are out on the serial line behind a network server, as near as this side
// can tell. A socket takes bytes long before the server's serial line has sent them (the two
// kernels and the server buffer megabytes between them), so "the socket took them" runs ahead of
// the line by seconds, for a large client by minutes. A serial port reports a send complete when
// its output queue is empty, and a sender that waits for that (the link's pauses between a block's
// pieces, its waits after the client before the handshake) must get the same from a network line:
// the line sends 10 bits a byte (start, 8 data, stop) at its baud rate, piece after piece, idle in
// between, and a byte counts as out once the socket took it and the line can have sent it.
//
// Callers may rely on: release() never gives more than the socket has taken, nor more than the line
// can have sent by then, and what it gives adds up to every byte taken once the line's time for them
// has passed; all_out_at() says when that will be while any byte is held back. Qt-free; the time is
// the caller's, so tests need no clock.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>

namespace velmora::netline {

class LinePace {
public:
    using Clock = std::chrono::steady_clock;

    static constexpr double k_bits_per_byte = 10;

    explicit LinePace(std::uint32_t baud);

    // `bytes` handed to the socket at `now`: the line sends them after what it holds already.
    void add(std::uint64_t bytes, Clock::time_point now);
    // The socket took `bytes` more of what was added.
    void taken(std::uint64_t bytes) { taken_ += bytes; }
    // The bytes that count as out by `now` and were not given before.
    std::uint64_t release(Clock::time_point now);
    // When every byte taken so far counts as out; nullopt when none is held back.
    std::optional<Clock::time_point> all_out_at() const;
    void clear();

private:
    struct Piece {
        Clock::time_point start;  // when the line begins to send it
        std::uint64_t bytes;
    };

    Clock::duration line_time(std::uint64_t bytes) const;
    std::uint64_t sent_by(Clock::time_point now) const;

    const double byte_seconds_;
    std::deque<Piece> pieces_;  // on the line or waiting for it, oldest first
    Clock::time_point line_free_{};
    // Counted from the oldest piece kept.
    std::uint64_t taken_ = 0;
    std::uint64_t released_ = 0;
};

}  // namespace velmora::netline
