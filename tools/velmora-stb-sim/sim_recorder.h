// Keeps what the simulated box received as files in one folder, for tests and benches to compare:
// client.bin (the client program), block.bin (each whole-block upload, the last one kept) and
// config-N.bin (each configuration record, N counting from 1).
//
// Callers may rely on: every file appears whole or not at all (written beside its name and renamed
// into place), so a reader that sees the name sees all of its bytes. A failed write is reported to
// the caller and changes nothing else.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace velmora::stb_sim {

class SimRecorder {
public:
    explicit SimRecorder(std::filesystem::path folder) : folder_(std::move(folder)) {}

    // The file's name on success, an empty string on failure.
    std::string record_client(std::span<const std::uint8_t> bytes);
    std::string record_block(std::span<const std::uint8_t> bytes);
    std::string record_config(std::span<const std::uint8_t> bytes);

private:
    std::string write(const std::string& name, std::span<const std::uint8_t> bytes);

    std::filesystem::path folder_;
    int configs_ = 0;
};

}  // namespace velmora::stb_sim
