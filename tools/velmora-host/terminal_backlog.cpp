#include "tools/velmora-host/terminal_backlog.h"

#include <algorithm>

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
