#include "plugin/upg_info.h"

#include <string>

namespace velmora {

namespace {

// The label keeps one blank rather than nothing, so it never collapses to an empty text.
constexpr char k_idle_text[] = " ";

}  // namespace

UpgInfo upg_info_for(std::int32_t status, std::int32_t current, std::int32_t total) {
    switch (static_cast<UpgStatus>(status)) {
        case UpgStatus::reset_box:
            return {"Please reset the slave STB!", false};
        case UpgStatus::syncing:
            return {"Sync with slave, please wait...", false};
        case UpgStatus::transferring:
            return {"Transferring: " + std::to_string(current) + "/" + std::to_string(total), false};
        case UpgStatus::send_end:
            return {"send end", true};
        case UpgStatus::idle:
            break;
    }
    return {k_idle_text, true};
}

}  // namespace velmora
