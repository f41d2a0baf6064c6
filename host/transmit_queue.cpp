#include "host/transmit_queue.h"

#include <algorithm>
#include <utility>

namespace velmora {

void TransmitQueue::push(QByteArray bytes, bool report_progress) {
    Transmission item;
    item.size = static_cast<std::uint32_t>(bytes.size());
    item.bytes = std::move(bytes);
    item.report = report_progress;
    std::lock_guard lock(mutex_);
    unsent_.push_back(std::move(item));
}

QByteArray TransmitQueue::take_unsent() {
    std::lock_guard lock(mutex_);
    QByteArray out;
    for (Transmission& item : unsent_) {
        out.append(item.bytes);
        item.bytes.clear();
        in_flight_.push_back(std::move(item));
    }
    unsent_.clear();
    return out;
}

std::vector<TransmitQueue::Progress> TransmitQueue::credit(std::int64_t written) {
    std::lock_guard lock(mutex_);
    std::vector<Progress> reports;
    std::uint64_t left = written > 0 ? static_cast<std::uint64_t>(written) : 0;
    while (!in_flight_.empty()) {
        Transmission& head = in_flight_.front();
        const auto step = static_cast<std::uint32_t>(std::min<std::uint64_t>(left, head.size - head.sent));
        head.sent += step;
        left -= step;
        if (step > 0 || head.size == 0) {
            reports.push_back({head.sent, head.report});
        }
        if (head.sent < head.size) {
            break;
        }
        in_flight_.pop_front();
    }
    return reports;
}

void TransmitQueue::clear() {
    std::lock_guard lock(mutex_);
    unsent_.clear();
    in_flight_.clear();
}

bool TransmitQueue::idle() const {
    std::lock_guard lock(mutex_);
    return unsent_.empty() && in_flight_.empty();
}

}  // namespace velmora
