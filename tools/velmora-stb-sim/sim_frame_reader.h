// Cuts the bytes the host sends into command frames and data blocks, one byte at a time, so that a
// frame may arrive in any number of pieces.
//
// The frames are link_frames.h's. A data block's size is not on the wire, so the box says which size
// it expects (expect_block). While it expects one, 0x23
// followed by anything but 0x2A is still read as a command frame: the host may send its announcement
// again. Bytes outside a frame are counted as stray and dropped.
//
// Callers may rely on: feed() returns a frame exactly when its last CRC byte arrives, with crc_ok
// telling whether the CRC matched; nothing is buffered beyond the frame being read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "link/agent/link_frames.h"

namespace velmora::stb_sim {

struct SimFrame {
    enum class Kind { command, data_block };
    Kind kind = Kind::command;
    std::uint8_t code = 0;           // the command code; 0 for a data block
    std::vector<std::uint8_t> data;  // the payload or the block's data
    bool crc_ok = false;
};

class SimFrameReader {
public:
    // The size of the data block that 0x23 0x2A starts from now on; 0 when none is expected.
    void expect_block(std::size_t size) { expected_block_ = size; }
    std::size_t expected_block() const { return expected_block_; }

    std::optional<SimFrame> feed(std::uint8_t byte);

    // True while a frame has begun and not ended.
    bool in_frame() const { return step_ != Step::start; }
    // Drops a frame that has begun.
    void drop_partial() { step_ = Step::start; }
    // Stray bytes since the last call.
    std::size_t take_stray() { return std::exchange(stray_, 0); }

private:
    enum class Step { start, kind, length, payload, crc };
    std::optional<SimFrame> finish();

    Step step_ = Step::start;
    std::size_t expected_block_ = 0;
    std::size_t wanted_ = 0;  // payload or data bytes of the frame being read
    SimFrame frame_;
    std::uint32_t crc_received_ = 0;
    int crc_bytes_ = 0;
    std::size_t stray_ = 0;
};

}  // namespace velmora::stb_sim
