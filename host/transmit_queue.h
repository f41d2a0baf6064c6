// The connector's outgoing bytes: transmissions queued from any thread, handed to the port in the
// order they were queued, and credited as the port reports bytes written.
//
// Callers may rely on: `push` copies nothing after it returns (the bytes are the queue's own);
// `take_unsent` returns every byte queued since the last call, in queue order; `credit` gives one
// report per transmission that advanced, with that transmission's running count, so the last report
// of a transmission always carries its full size. An empty transmission is reported, with count 0,
// once it reaches the head. All members are thread-safe.
#pragma once

#include <QByteArray>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

namespace velmora {

class TransmitQueue {
public:
    struct Progress {
        std::uint32_t sent;  // bytes of this transmission written so far
        bool report;         // whether its sender asked for progress
    };

    void push(QByteArray bytes, bool report_progress);
    QByteArray take_unsent();
    // Credits `written` bytes (as the port reports them) to the transmissions in flight, oldest first.
    std::vector<Progress> credit(std::int64_t written);
    // Drops everything, queued and in flight; nothing of it will be reported.
    void clear();
    bool idle() const;

private:
    struct Transmission {
        QByteArray bytes;  // emptied once handed to the port
        std::uint32_t size = 0;
        std::uint32_t sent = 0;
        bool report = false;
    };

    mutable std::mutex mutex_;
    std::deque<Transmission> unsent_;
    std::deque<Transmission> in_flight_;
};

}  // namespace velmora
