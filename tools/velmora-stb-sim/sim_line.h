// The box's end of the serial line: a pseudo-terminal of its own (the host opens the other end by
// the path slave_path() gives) or a serial device, raw, 8 data bits, no echo.
//
// Callers may rely on:
// - The descriptor is non-blocking; poll it for input and call read_available().
// - A pseudo-terminal keeps its other end open inside this process too, so a host that closes and
//   opens the port again never leaves the line hung up.
// - write() paces the bytes at 10 bits a byte at the baud rate (none at 0), as a real line delivers
//   them, and gives up after k_write_stall when nobody reads the line; it never blocks for ever.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/unique_fd.h"

namespace velmora::stb_sim {

// How long a full line may keep the box from sending before the bytes are dropped.
inline constexpr std::chrono::milliseconds k_write_stall{2000};

class SimLine {
public:
    // nullptr and the reason when the line cannot be made or opened.
    static std::unique_ptr<SimLine> open_pseudo_terminal(int baud, std::string& error);
    static std::unique_ptr<SimLine> open_device(const std::string& path, int baud, std::string& error);

    int fd() const { return fd_.get(); }
    const std::string& slave_path() const { return slave_path_; }

    // Appends what has arrived without waiting; false when the line is gone (an error or hang-up).
    bool read_available(std::vector<std::uint8_t>& into);
    // Sends every byte, paced; false when the line stayed full for k_write_stall or failed.
    bool write(std::span<const std::uint8_t> bytes);

private:
    SimLine(platform::UniqueFd fd, int baud) : fd_(std::move(fd)), baud_(baud) {}
    bool write_now(std::span<const std::uint8_t> bytes);

    platform::UniqueFd fd_;
    platform::UniqueFd slave_;  // our own hold on a pseudo-terminal's other end
    std::string slave_path_;
    int baud_;
};

}  // namespace velmora::stb_sim
