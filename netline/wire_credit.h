// How much of what the caller sent has been written, when what goes on the wire differs from it:
// Telnet doubles every 0xFF of the data and adds answers of its own. Each piece handed to the wire
// is added with its wire size and the number of the caller's bytes it carries (0 for the layer's own
// answers); as the socket reports wire bytes written, credit() gives the caller's bytes that are
// now out.
//
// Callers may rely on: the caller's bytes of a piece are all credited exactly when its last wire
// byte is written, never before; within a piece they are credited in proportion, so a long send
// still shows progress; the sum of the credits never exceeds what was added. Qt-free.
#pragma once

#include <cstdint>
#include <deque>

namespace velmora::netline {

class WireCredit {
public:
    void add(std::uint64_t wire, std::uint64_t payload);
    std::uint64_t credit(std::uint64_t wire_written);
    void clear() { pieces_.clear(); }
    bool empty() const { return pieces_.empty(); }

private:
    struct Piece {
        std::uint64_t wire;
        std::uint64_t payload;
        std::uint64_t wire_done = 0;
        std::uint64_t payload_done = 0;
    };

    std::deque<Piece> pieces_;
};

}  // namespace velmora::netline
