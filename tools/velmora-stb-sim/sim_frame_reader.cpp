#include "tools/velmora-stb-sim/sim_frame_reader.h"

namespace velmora::stb_sim {

std::optional<SimFrame> SimFrameReader::feed(std::uint8_t byte) {
    switch (step_) {
        case Step::start:
            if (byte == k_frame_start) {
                frame_ = SimFrame{};
                crc_received_ = 0;
                crc_bytes_ = 0;
                step_ = Step::kind;
            } else {
                ++stray_;
            }
            return std::nullopt;
        case Step::kind:
            if (byte == k_block_marker && expected_block_ != 0) {
                frame_.kind = SimFrame::Kind::data_block;
                wanted_ = expected_block_;
                step_ = Step::payload;
            } else {
                frame_.code = byte;
                step_ = Step::length;
            }
            return std::nullopt;
        case Step::length:
            wanted_ = byte;
            step_ = wanted_ == 0 ? Step::crc : Step::payload;
            return std::nullopt;
        case Step::payload:
            frame_.data.push_back(byte);
            if (frame_.data.size() == wanted_) {
                step_ = Step::crc;
            }
            return std::nullopt;
        case Step::crc:
            crc_received_ |= static_cast<std::uint32_t>(byte) << (8 * crc_bytes_);
            if (++crc_bytes_ == 4) {
                return finish();
            }
            return std::nullopt;
    }
    return std::nullopt;
}

std::optional<SimFrame> SimFrameReader::finish() {
    if (frame_.kind == SimFrame::Kind::command) {
        // The frame's CRC covers the code and the length as well as the payload.
        std::vector<std::uint8_t> covered{frame_.code, static_cast<std::uint8_t>(frame_.data.size())};
        covered.insert(covered.end(), frame_.data.begin(), frame_.data.end());
        frame_.crc_ok = frame_crc(covered) == crc_received_;
    } else {
        frame_.crc_ok = frame_crc(frame_.data) == crc_received_;
    }
    step_ = Step::start;
    return std::move(frame_);
}

}  // namespace velmora::stb_sim
