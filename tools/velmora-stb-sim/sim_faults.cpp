#include "tools/velmora-stb-sim/sim_faults.h"

#include <charconv>

namespace velmora::stb_sim {

std::optional<std::string> FaultSet::add_named(std::string_view text) {
    const std::size_t equals = text.find('=');
    const std::string_view name = text.substr(0, equals);
    for (const FaultInfo& info : k_faults) {
        if (info.name != name) {
            continue;
        }
        if (!info.takes_count) {
            if (equals != std::string_view::npos) {
                return "fault " + std::string(name) + " takes no value";
            }
            add(info.fault);
            return std::nullopt;
        }
        const std::string_view count = equals == std::string_view::npos ? "" : text.substr(equals + 1);
        std::size_t bytes = 0;
        const auto [end, error] = std::from_chars(count.data(), count.data() + count.size(), bytes);
        if (count.empty() || error != std::errc() || end != count.data() + count.size()) {
            return "fault " + std::string(name) + " needs a byte count: " + std::string(name) + "=N";
        }
        set_silent_after(bytes);
        return std::nullopt;
    }
    std::string known;
    for (const FaultInfo& info : k_faults) {
        known += (known.empty() ? "" : ", ") + std::string(info.name);
    }
    return "unknown fault '" + std::string(text) + "' (known: " + known + ")";
}

}  // namespace velmora::stb_sim
