#include "plugin/link_status.h"

#include <array>
#include <cstddef>

namespace velmora {

namespace {

struct IndicatorWords {
    LinkIndicator indicator;
    const char* text;
    const char* tip;
};

// In the order of LinkIndicator.
constexpr std::array<IndicatorWords, 5> k_words{{
    {LinkIndicator::offline, "Link: offline", "Press \"Connect with Panel\" to talk to the box."},
    {LinkIndicator::port_closed, "Link: port closed",
     "The serial port is closed. Open it, then connect again."},
    {LinkIndicator::waiting_for_reset, "Link: waiting for reset",
     "Reset the box: its sync byte starts the connection."},
    {LinkIndicator::connecting, "Link: connecting...",
     "The client, the line check and the configuration go to the box; the tests wait for the end."},
    {LinkIndicator::connected, "Link: connected",
     "The box runs the client and has the configuration: the tests and \"Send Config to Panel\" work."},
}};

constexpr bool in_enum_order() {
    for (std::size_t i = 0; i < k_words.size(); ++i) {
        if (static_cast<std::size_t>(k_words[i].indicator) != i) {
            return false;
        }
    }
    return true;
}
static_assert(in_enum_order());

const IndicatorWords& words(LinkIndicator indicator) {
    return k_words[static_cast<std::size_t>(indicator)];
}

}  // namespace

LinkIndicator link_indicator(const LinkFacts& facts) {
    if (!facts.online) {
        return LinkIndicator::offline;
    }
    if (facts.port_closed) {
        return LinkIndicator::port_closed;
    }
    if (facts.connecting) {
        return LinkIndicator::connecting;
    }
    return facts.connected ? LinkIndicator::connected : LinkIndicator::waiting_for_reset;
}

const char* link_indicator_text(LinkIndicator indicator) {
    return words(indicator).text;
}

const char* link_indicator_tip(LinkIndicator indicator) {
    return words(indicator).tip;
}

}  // namespace velmora
