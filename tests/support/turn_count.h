// A count that two threads of a test take turns over: one side advances it, the other blocks until it
// has reached a value. A producer that hands over its next item only once the other side has counted
// the last one does a fixed amount of work however busy the machine is, and nobody spins meanwhile.
//
// Callers may rely on: advance() and wait_for() may be called from any thread; wait_for() returns as
// soon as the count has reached the value (at once when it already has) and never misses an advance.
#pragma once

#include <atomic>

namespace velmora::test {

class TurnCount {
public:
    void advance() {
        count_.fetch_add(1);
        count_.notify_all();
    }
    void wait_for(int value) const {
        for (int now = count_.load(); now < value; now = count_.load()) {
            count_.wait(now);
        }
    }
    int value() const { return count_.load(); }

private:
    std::atomic<int> count_{0};
};

}  // namespace velmora::test
