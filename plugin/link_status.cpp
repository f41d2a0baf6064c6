#include "plugin/link_status.h"

namespace velmora {

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
    switch (indicator) {
        case LinkIndicator::offline:
            return "Link: offline";
        case LinkIndicator::port_closed:
            return "Link: port closed";
        case LinkIndicator::waiting_for_reset:
            return "Link: waiting for reset";
        case LinkIndicator::connecting:
            return "Link: connecting...";
        case LinkIndicator::connected:
            return "Link: connected";
    }
    return "";
}

const char* link_indicator_tip(LinkIndicator indicator) {
    switch (indicator) {
        case LinkIndicator::offline:
            return "Press \"Connect with Panel\" to talk to the box.";
        case LinkIndicator::port_closed:
            return "The serial port is closed. Open it, then connect again.";
        case LinkIndicator::waiting_for_reset:
            return "Reset the box: its sync byte starts the connection.";
        case LinkIndicator::connecting:
            return "The client, the line check and the configuration go to the box; the tests wait for the "
                   "end.";
        case LinkIndicator::connected:
            return "The box runs the client and has the configuration: the tests and \"Send Config to "
                   "Panel\" "
                   "work.";
    }
    return "";
}

}  // namespace velmora
