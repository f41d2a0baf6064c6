#include "netline/wire_credit.h"

#include <algorithm>

namespace velmora::netline {

void WireCredit::add(std::uint64_t wire, std::uint64_t payload) {
    if (wire == 0) {
        return;
    }
    pieces_.push_back(Piece{wire, payload});
}

std::uint64_t WireCredit::credit(std::uint64_t wire_written) {
    std::uint64_t credited = 0;
    while (wire_written > 0 && !pieces_.empty()) {
        Piece& piece = pieces_.front();
        const std::uint64_t step = std::min(wire_written, piece.wire - piece.wire_done);
        wire_written -= step;
        piece.wire_done += step;
        // In 128 bits: the product of two 64-bit counts does not fit 64.
        using Wide = unsigned __int128;
        const std::uint64_t done =
            piece.wire_done == piece.wire
                ? piece.payload
                : static_cast<std::uint64_t>(Wide{piece.payload} * piece.wire_done / piece.wire);
        credited += done - piece.payload_done;
        piece.payload_done = done;
        if (piece.wire_done == piece.wire) {
            pieces_.pop_front();
        }
    }
    return credited;
}

}  // namespace velmora::netline
