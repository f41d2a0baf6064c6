#include "tools/velmora-stb-sim/sim_input_pacer.h"

#include <algorithm>

namespace velmora::stb_sim {

namespace {

// A byte on the line: start bit, eight data bits, stop bit.
constexpr std::int64_t k_bits_per_byte = 10;

}  // namespace

SimInputPacer::SimInputPacer(int baud)
    : byte_time_(baud <= 0 ? Clock::duration::zero()
                           : std::chrono::duration_cast<Clock::duration>(
                                 std::chrono::nanoseconds(k_bits_per_byte * 1'000'000'000 / baud))) {}

void SimInputPacer::add(std::span<const std::uint8_t> bytes, Clock::time_point read_at) {
    if (!bytes.empty()) {
        held_.push_back({read_at, std::vector<std::uint8_t>(bytes.begin(), bytes.end())});
    }
}

SimInputPacer::Clock::time_point SimInputPacer::next_start() const {
    const Chunk& front = held_.front();
    // A chunk begins on the line when it was read, unless the bytes before it still occupy it.
    return front.taken == 0 ? std::max(line_free_, front.read_at) : line_free_;
}

std::vector<std::uint8_t> SimInputPacer::take(Clock::time_point now) {
    std::vector<std::uint8_t> arrived;
    while (!held_.empty()) {
        Chunk& front = held_.front();
        const Clock::time_point start = next_start();
        const std::size_t left = front.bytes.size() - front.taken;
        std::size_t count = left;
        if (byte_time_ != Clock::duration::zero()) {
            const auto elapsed = now - start;
            count = elapsed < byte_time_ ? 0 : std::min<std::size_t>(left, elapsed / byte_time_);
        }
        const auto from = front.bytes.begin() + static_cast<std::ptrdiff_t>(front.taken);
        arrived.insert(arrived.end(), from, from + static_cast<std::ptrdiff_t>(count));
        front.taken += count;
        line_free_ = start + byte_time_ * static_cast<std::int64_t>(count);
        if (front.taken < front.bytes.size()) {
            break;
        }
        held_.pop_front();
    }
    return arrived;
}

std::vector<std::uint8_t> SimInputPacer::take_all() {
    std::vector<std::uint8_t> all;
    for (const Chunk& chunk : held_) {
        all.insert(all.end(), chunk.bytes.begin() + static_cast<std::ptrdiff_t>(chunk.taken),
                   chunk.bytes.end());
    }
    held_.clear();
    return all;
}

std::optional<SimInputPacer::Clock::time_point> SimInputPacer::next_arrival() const {
    if (held_.empty()) {
        return std::nullopt;
    }
    return next_start() + byte_time_;
}

}  // namespace velmora::stb_sim
