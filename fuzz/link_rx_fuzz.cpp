// Arbitrary bytes from the serial line, met by the link agent in every state: deliveries of received
// bytes and of send counts, reads of any size and flushes, in any order. The agent must never read
// past what it was given, and while it only listens (states 2..4, its worker parked) its queue must
// hand out exactly the bytes delivered, in order.
//
// Input: byte 0 picks the state (mod 5) and byte 1 whether the view is online; then each operation
// is one byte, its low two bits the kind and the rest a count.
#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "host/host_registry.h"
#include "link/agent/link_agent.h"
#include "link/host_components.h"

using namespace velmora;

namespace {

class QuietComponent : public component {
public:
    QuietComponent(std::string name, component_registry* registry) : component(std::move(name), registry) {}
    bool is_shareable() const override { return true; }
    std::string type_name() const override { return "fuzz"; }
};

// The serial port: every send is on the line at once.
class InstantConnector : public QuietComponent {
public:
    explicit InstantConnector(component_registry* registry) : QuietComponent(k_com_connector, registry) {}
    std::atomic<link_agent*> agent{nullptr};
    std::uint32_t request(const component_msg& msg) override {
        if (msg.code == k_connector_send) {
            if (link_agent* target = agent.load()) {
                const std::uint32_t count = msg.param1;
                target->deliver(component_msg{k_connector_sent, 0, &count});
            }
            return 1;
        }
        return msg.code == k_connector_is_open ? 1 : 0;
    }
};

class QuietOwner : public link_owner {
public:
    explicit QuietOwner(bool online) : online_(online) {}
    void SetUpgInfo(UpgStatus, std::int32_t, std::int32_t) override {}
    bool IsLinkOnline() const override { return online_; }
    bool panel_connected() const override { return connected_.load(); }
    void set_panel_connected(bool value) override { connected_.store(value); }
    void with_config(const std::function<void(ConfigBlock&)>& use) override {
        std::lock_guard lock(mutex_);
        use(block_);
    }
    LinkBoxAnswer message_box(const std::string&, LinkBoxButtons) override { return LinkBoxAnswer::cancel; }
    void post_to_page(LinkPage, int) override {}

private:
    const bool online_;
    std::atomic<bool> connected_{false};
    std::mutex mutex_;
    ConfigBlock block_;
};

LinkTiming no_waits() {
    LinkTiming timing;
    timing.worker_pass_pause = timing.client_start_wait = timing.receipt_reply = timing.command_result =
        timing.announce_result = timing.block_piece_gap = timing.block_ack = timing.record_reply =
            timing.test_reply = std::chrono::milliseconds(0);
    timing.send_margin = std::chrono::milliseconds(50);
    return timing;
}

enum Op : std::uint8_t { k_deliver = 0, k_read = 1, k_flush = 2, k_count = 3 };

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const auto state = static_cast<LinkState>(data[0] % 5);
    QuietOwner owner((data[1] & 1) != 0);
    HostRegistry registry;
    InstantConnector connector(&registry);
    link_agent agent(owner, &registry, no_waits());
    agent.set_client_path("/nonexistent/velmora-fuzz/velmora.bin");
    connector.agent.store(&agent);
    agent.line().set_link_state(state);
    // Only a listening agent's queue is ours alone: in state 0 a sync byte sets the worker going.
    const bool modelled = state >= LinkState::listening;
    std::deque<std::uint8_t> model;

    std::size_t at = 2;
    while (at < size) {
        const std::uint8_t op = data[at++];
        const std::size_t count = op >> 2;
        switch (op & 3) {
            case k_deliver: {
                const std::size_t n = std::min(count, size - at);
                std::vector<std::uint8_t> bytes(data + at, data + at + n);  // exactly what was received
                at += n;
                agent.deliver(component_msg{k_connector_received, static_cast<std::uint32_t>(n),
                                            n == 0 ? nullptr : bytes.data()});
                if (modelled) {
                    model.insert(model.end(), bytes.begin(), bytes.end());
                }
                break;
            }
            case k_read: {
                std::vector<std::uint8_t> buffer(count);
                const bool got = agent.line().read_rx(buffer.data(), count, std::chrono::milliseconds(0));
                if (modelled) {
                    if (got != (model.size() >= count)) {
                        std::abort();
                    }
                    if (got) {
                        if (!std::equal(buffer.begin(), buffer.end(), model.begin())) {
                            std::abort();
                        }
                        model.erase(model.begin(), model.begin() + static_cast<std::ptrdiff_t>(count));
                    }
                }
                break;
            }
            case k_flush:
                agent.line().flush_rx();
                model.clear();
                break;
            case k_count: {
                const auto reported = static_cast<std::uint32_t>(count);
                agent.deliver(component_msg{k_connector_sent, 0, &reported});
                break;
            }
        }
    }
    if (modelled && agent.line().rx_queued() != model.size()) {
        std::abort();
    }
    connector.agent.store(nullptr);
    return 0;
}
