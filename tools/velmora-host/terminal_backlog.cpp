#include "tools/velmora-host/terminal_backlog.h"

#include <algorithm>
#include <iterator>

namespace velmora::host_app {

void TerminalBacklog::set_waker(std::function<void()> waker) {
    const std::lock_guard lock(waker_mutex_);
    waker_ = std::move(waker);
}

void TerminalBacklog::push_bytes(const QByteArray& bytes) {
    if (bytes.isEmpty()) {
        return;
    }
    std::unique_lock lock(mutex_);
    // Room for this entry and for a drop entry after it, so the capacity holds whatever follows.
    const qsizetype room = capacity_ - held_ - 2 * k_entry_overhead;
    bool wake = false;
    if (room <= 0) {
        wake = count_dropped(static_cast<std::uint64_t>(bytes.size()));
    } else if (bytes.size() <= room) {
        entries_.push_back({Entry::Kind::bytes, bytes, {}, 0});
        held_ += bytes.size() + k_entry_overhead;
        wake = added();
    } else {
        entries_.push_back({Entry::Kind::bytes, bytes.left(room), {}, 0});
        held_ += room + k_entry_overhead;
        wake = added();
        count_dropped(static_cast<std::uint64_t>(bytes.size() - room));
    }
    lock.unlock();
    if (wake) {
        call_waker();
    }
}

void TerminalBacklog::push_notice(const QString& notice) {
    std::unique_lock lock(mutex_);
    if (notices_ >= k_max_notices) {
        return;
    }
    ++notices_;
    held_ += notice.size() * 2 + k_entry_overhead;
    entries_.push_back({Entry::Kind::notice, {}, notice, 0});
    const bool wake = added();
    lock.unlock();
    if (wake) {
        call_waker();
    }
}

std::vector<TerminalBacklog::Entry> TerminalBacklog::take(qsizetype max_bytes, bool& more) {
    std::vector<Entry> taken;
    const std::lock_guard lock(mutex_);
    qsizetype budget = max_bytes;
    while (!entries_.empty()) {
        Entry& head = entries_.front();
        if (head.kind == Entry::Kind::bytes) {
            if (budget <= 0) {
                break;
            }
            if (head.bytes.size() > budget) {
                taken.push_back({Entry::Kind::bytes, head.bytes.left(budget), {}, 0});
                head.bytes = head.bytes.mid(budget);
                held_ -= budget;
                budget = 0;
                break;
            }
            budget -= head.bytes.size();
            held_ -= head.bytes.size() + k_entry_overhead;
        } else if (head.kind == Entry::Kind::notice) {
            held_ -= head.notice.size() * 2 + k_entry_overhead;
            --notices_;
        } else {
            held_ -= k_entry_overhead;
        }
        taken.push_back(std::move(head));
        entries_.pop_front();
    }
    more = !entries_.empty();
    busy_ = more;
    return taken;
}

std::uint64_t TerminalBacklog::drop_oldest(qsizetype keep) {
    const std::lock_guard lock(mutex_);
    qsizetype waiting = 0;
    for (const Entry& entry : entries_) {
        if (entry.kind == Entry::Kind::bytes) {
            waiting += entry.bytes.size();
        }
    }
    qsizetype excess = waiting - keep;
    if (excess <= 0) {
        return 0;
    }
    std::deque<Entry> kept;  // the notices passed and the drop entries, in their order
    std::uint64_t run = 0;   // dropped since the last entry kept, counts of earlier drops included
    std::uint64_t dropped = 0;
    const auto end_run = [&] {
        if (run != 0) {
            kept.push_back({Entry::Kind::dropped, {}, {}, run});
            held_ += k_entry_overhead;
            run = 0;
        }
    };
    while (!entries_.empty() && (excess > 0 || entries_.front().kind == Entry::Kind::dropped)) {
        Entry& head = entries_.front();
        if (head.kind == Entry::Kind::bytes && head.bytes.size() > excess) {
            head.bytes = head.bytes.mid(excess);
            held_ -= excess;
            run += static_cast<std::uint64_t>(excess);
            dropped += static_cast<std::uint64_t>(excess);
            excess = 0;
            break;
        }
        if (head.kind == Entry::Kind::bytes) {
            excess -= head.bytes.size();
            held_ -= head.bytes.size() + k_entry_overhead;
            run += static_cast<std::uint64_t>(head.bytes.size());
            dropped += static_cast<std::uint64_t>(head.bytes.size());
        } else if (head.kind == Entry::Kind::dropped) {
            held_ -= k_entry_overhead;
            run += head.dropped;
        } else {
            end_run();
            kept.push_back(std::move(head));
        }
        entries_.pop_front();
    }
    end_run();
    entries_.insert(entries_.begin(), std::make_move_iterator(kept.begin()),
                    std::make_move_iterator(kept.end()));
    dropped_total_ += dropped;
    return dropped;
}

qsizetype TerminalBacklog::held() const {
    const std::lock_guard lock(mutex_);
    return held_;
}

std::uint64_t TerminalBacklog::dropped_total() const {
    const std::lock_guard lock(mutex_);
    return dropped_total_;
}

bool TerminalBacklog::added() {
    if (busy_) {
        return false;
    }
    busy_ = true;
    return true;
}

bool TerminalBacklog::count_dropped(std::uint64_t count) {
    dropped_total_ += count;
    if (!entries_.empty() && entries_.back().kind == Entry::Kind::dropped) {
        entries_.back().dropped += count;
        return false;
    }
    entries_.push_back({Entry::Kind::dropped, {}, {}, count});
    held_ += k_entry_overhead;
    return added();
}

void TerminalBacklog::call_waker() {
    const std::lock_guard lock(waker_mutex_);
    if (waker_) {
        waker_();
    }
}

}  // namespace velmora::host_app
