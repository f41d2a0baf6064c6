#include "link/agent/link_line.h"

#include <algorithm>

#include "link/agent/link_frames.h"
#include "link/component.h"
#include "link/host_components.h"

namespace velmora {

namespace {

// A port that answers no baud rate is taken as the slowest the box uses, so the wait is never short.
constexpr std::uint32_t k_fallback_baud = 9600;
// A byte on the line: start bit, eight data bits, stop bit.
constexpr std::uint64_t k_bits_per_byte = 10;

}  // namespace

std::uint32_t LinkLine::connector_request(std::uint32_t code, std::uint32_t param1, const void* param2) {
    if (registry_ == nullptr) {
        return 0;
    }
    return registry_->lookup(k_com_connector)->request(component_msg{code, param1, param2});
}

bool LinkLine::connector_query() {
    return connector_request(k_connector_is_open, 0, nullptr) != 0;
}

bool LinkLine::connector_switch(std::uint32_t value) {
    return connector_request(k_connector_upgrade_mode, value, nullptr) != 0;
}

std::chrono::milliseconds LinkLine::line_time(std::size_t bytes) {
    std::uint32_t baud = connector_request(k_connector_baud, 0, nullptr);
    if (baud == 0) {
        baud = k_fallback_baud;
    }
    const std::uint64_t bits_ms = static_cast<std::uint64_t>(bytes) * k_bits_per_byte * 1000;
    return std::chrono::milliseconds((bits_ms + baud - 1) / baud);
}

void LinkLine::set_link_state(LinkState state) {
    state_.store(state);
    if (state == LinkState::idle) {
        wake_readers();
    }
}

bool LinkLine::advance(LinkState from, LinkState to) {
    return state_.compare_exchange_strong(from, to);
}

void LinkLine::stop() {
    stopped_.store(true);
    set_link_state(LinkState::idle);
    abort();
}

bool LinkLine::send_raw(std::span<const std::uint8_t> bytes) {
    expected_count_.store(static_cast<std::uint32_t>(bytes.size()));
    reported_count_.store(0);
    send_done_.reset();
    send_abort_.reset();
    if (port_closed() || stopped_.load()) {
        return false;  // no report will come for bytes that cannot go out
    }
    // The connector drops bytes in flight when its port fails and then reports nothing, so a send
    // waits only as long as its bytes need on the line plus a margin, and fails after that.
    const std::chrono::milliseconds limit = line_time(bytes.size()) + timing_.send_margin;
    connector_request(k_connector_send, static_cast<std::uint32_t>(bytes.size()), bytes.data());
    return platform::wait_for_either(send_done_, send_abort_, limit) == platform::WaitResult::first;
}

void LinkLine::send_sync_answer() {
    connector_request(k_connector_send, 1, &k_sync_answer);
    expected_count_.store(1);
    reported_count_.store(0);
}

std::uint32_t LinkLine::sent(std::uint32_t count) {
    reported_count_.store(count);
    const std::uint32_t expected = expected_count_.load();
    if (count == expected) {
        send_done_.set();
    }
    return expected;
}

void LinkLine::queue(const std::uint8_t* bytes, std::size_t count) {
    {
        std::lock_guard lock(rx_mutex_);
        rx_queue_.insert(rx_queue_.end(), bytes, bytes + count);
    }
    rx_changed_.notify_all();
}

bool LinkLine::read_rx(std::uint8_t* buffer, std::size_t count, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::unique_lock lock(rx_mutex_);
    if (reads_end()) {
        return false;
    }
    ++rx_waiters_;
    rx_changed_.wait_until(lock, deadline, [&] { return rx_queue_.size() >= count || reads_end(); });
    --rx_waiters_;
    if (rx_queue_.size() < count) {
        return false;
    }
    std::copy_n(rx_queue_.begin(), count, buffer);
    rx_queue_.erase(rx_queue_.begin(), rx_queue_.begin() + static_cast<std::ptrdiff_t>(count));
    return true;
}

void LinkLine::flush_rx() {
    std::lock_guard lock(rx_mutex_);
    rx_queue_.clear();
}

std::size_t LinkLine::rx_queued() {
    std::lock_guard lock(rx_mutex_);
    return rx_queue_.size();
}

bool LinkLine::rx_starved() {
    std::lock_guard lock(rx_mutex_);
    return rx_queue_.empty() && rx_waiters_ > 0;
}

void LinkLine::wake_readers() {
    {
        // Taken so that a reader between its look at the state and its wait cannot miss the wake.
        std::lock_guard lock(rx_mutex_);
    }
    rx_changed_.notify_all();
}

}  // namespace velmora
