#include "plugin/upg_info.h"

#include <string>

namespace velmora {

namespace {

// The label keeps one blank rather than nothing, so it never collapses to an empty text.
constexpr char k_idle_text[] = " ";

}  // namespace

UpgInfo upg_info_for(UpgStatus status, std::int32_t current, std::int32_t total) {
    switch (status) {
        case UpgStatus::syncing:
            return {"Sync with slave, please wait...", false};
        case UpgStatus::transferring:
            return {"Transferring: " + std::to_string(current) + "/" + std::to_string(total), false};
        case UpgStatus::idle:
            break;
    }
    return {k_idle_text, true};
}

}  // namespace velmora
