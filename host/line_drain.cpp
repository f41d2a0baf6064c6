#include "host/line_drain.h"

#include <algorithm>

namespace velmora {

namespace {

// A byte on the line: start bit, eight data bits, stop bit.
constexpr std::uint64_t k_bits_per_byte = 10;

}  // namespace

void LineDrain::clear(std::uint32_t baud) {
    byte_time_ = baud == 0 ? Clock::duration::zero()
                           : std::chrono::duration_cast<Clock::duration>(
                                 std::chrono::nanoseconds(k_bits_per_byte * 1'000'000'000 / baud));
    runs_.clear();
    written_ = 0;
    carried_ = 0;
    left_ = 0;
    line_free_ = {};
}

void LineDrain::written(std::uint64_t count, Clock::time_point now) {
    if (count == 0) {
        return;
    }
    // Bytes the driver takes while the line still carries earlier ones wait their turn.
    const Clock::time_point start = std::max(now, line_free_);
    runs_.push_back({start, written_, written_ + count});
    written_ += count;
    line_free_ = start + byte_time_ * static_cast<std::int64_t>(count);
}

std::uint64_t LineDrain::carried(Clock::time_point now) {
    if (byte_time_ == Clock::duration::zero()) {
        runs_.clear();
        carried_ = written_;
    }
    while (!runs_.empty()) {
        const Run& run = runs_.front();
        const std::uint64_t size = run.end - run.first;
        if (now >= run.start + byte_time_ * static_cast<std::int64_t>(size)) {
            carried_ = run.end;
            runs_.pop_front();
            continue;
        }
        const auto elapsed = now - run.start;
        return run.first +
               (elapsed <= Clock::duration::zero() ? 0 : static_cast<std::uint64_t>(elapsed / byte_time_));
    }
    return carried_;
}

std::uint64_t LineDrain::left(Clock::time_point now, std::uint64_t queued) {
    const std::uint64_t out_of_driver = written_ - std::min(queued, written_);
    left_ = std::max(left_, std::min(out_of_driver, carried(now)));
    return left_;
}

}  // namespace velmora
