#include "tools/velmora-stb-sim/sim_recorder.h"

#include "platform/atomic_file.h"

namespace velmora::stb_sim {

std::string SimRecorder::record_client(std::span<const std::uint8_t> bytes) {
    return write("client.bin", bytes);
}

std::string SimRecorder::record_block(std::span<const std::uint8_t> bytes) {
    return write("block.bin", bytes);
}

std::string SimRecorder::record_config(std::span<const std::uint8_t> bytes) {
    // The number counts records received, so a failed write leaves a gap rather than reusing a name.
    return write("config-" + std::to_string(++configs_) + ".bin", bytes);
}

std::string SimRecorder::write(const std::string& name, std::span<const std::uint8_t> bytes) {
    return platform::write_file_atomically(folder_ / name, bytes) ? name : std::string();
}

}  // namespace velmora::stb_sim
