// A simulated box driven in-process, with made-up times, already past its boot unless a test boots it.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/stb_sim/wire.h"
#include "tools/velmora-stb-sim/sim_box.h"

namespace velmora::stb_sim::test {

class BoxTest : public ::testing::Test {
protected:
    using Clock = SimBox::Clock;

    // A box with these settings, booted: reset, sync answered, a small client taken.
    void boot(SimBoxSettings settings = {}) {
        make(std::move(settings));
        box_->reset(now_);
        send(Bytes{k_sync_answer} + client_image(pattern(100, 1)));
        ASSERT_EQ(box_->state(), BoxState::serving);
        box_->take_output();
        log_.clear();
    }
    void make(SimBoxSettings settings = {}) {
        settings.log = [this](const std::string& line) { log_.push_back(line); };
        box_.emplace(std::move(settings));
    }
    void send(const Bytes& bytes) { box_->receive(bytes, now_); }
    Bytes out() { return box_->take_output(); }
    void advance(Clock::duration by) {
        now_ += by;
        box_->tick(now_);
    }
    bool logged(const std::string& line) const {
        for (const std::string& entry : log_) {
            if (entry.find(line) != std::string::npos) {
                return true;
            }
        }
        return false;
    }

    std::optional<SimBox> box_;
    Clock::time_point now_{std::chrono::hours(1)};
    std::vector<std::string> log_;
};

}  // namespace velmora::stb_sim::test
