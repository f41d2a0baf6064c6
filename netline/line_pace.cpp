#include "netline/line_pace.h"

#include <algorithm>
#include <cmath>

namespace velmora::netline {

namespace {

constexpr double k_rounding = 1e-6;

}  // namespace

LinePace::LinePace(std::uint32_t baud) : byte_seconds_(baud > 0 ? k_bits_per_byte / baud : 0) {}

// Rounded up, so that at the time given the line has sent them all.
LinePace::Clock::duration LinePace::line_time(std::uint64_t bytes) const {
    return std::chrono::ceil<Clock::duration>(
        std::chrono::duration<double>(static_cast<double>(bytes) * byte_seconds_));
}

void LinePace::add(std::uint64_t bytes, Clock::time_point now) {
    if (bytes == 0) {
        return;
    }
    const Clock::time_point start = std::max(now, line_free_);
    pieces_.push_back({start, bytes});
    line_free_ = start + line_time(bytes);
}

std::uint64_t LinePace::sent_by(Clock::time_point now) const {
    std::uint64_t sent = 0;
    for (const Piece& piece : pieces_) {
        if (now <= piece.start) {
            break;  // the pieces after it start later still
        }
        const double seconds = std::chrono::duration<double>(now - piece.start).count();
        // A hair over, so the time line_time() gives for n bytes finds all n sent.
        const auto bytes = byte_seconds_ > 0
                               ? static_cast<std::uint64_t>(std::floor(seconds / byte_seconds_ + k_rounding))
                               : piece.bytes;
        sent += std::min(bytes, piece.bytes);
    }
    return sent;
}

std::uint64_t LinePace::release(Clock::time_point now) {
    const std::uint64_t out = std::min(taken_, sent_by(now));
    const std::uint64_t given = out > released_ ? out - released_ : 0;
    released_ += given;
    // Pieces wholly given are done with; the counts are kept from the oldest piece left.
    while (!pieces_.empty() && released_ >= pieces_.front().bytes) {
        released_ -= pieces_.front().bytes;
        taken_ -= pieces_.front().bytes;
        pieces_.pop_front();
    }
    return given;
}

std::optional<LinePace::Clock::time_point> LinePace::all_out_at() const {
    if (taken_ <= released_) {
        return std::nullopt;
    }
    std::uint64_t before = 0;
    for (const Piece& piece : pieces_) {
        if (taken_ <= before + piece.bytes) {
            return piece.start + line_time(taken_ - before);
        }
        before += piece.bytes;
    }
    return line_free_;
}

void LinePace::clear() {
    pieces_.clear();
    line_free_ = {};
    taken_ = 0;
    released_ = 0;
}

}  // namespace velmora::netline
