// Blocks for the page tests: filled, patterned (every byte unlike its neighbours, so a write to the
// wrong byte or bit shows), and patched; and what a page shows, by label.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "config/config_block.h"
#include "pages/models/page_model.h"

namespace velmora::test {

using Patch = std::vector<std::pair<std::size_t, std::uint8_t>>;

inline ConfigBlock filled_block(std::uint8_t value) {
    ConfigBlock block;
    block.bytes.fill(value);
    return block;
}

inline ConfigBlock patterned_block() {
    ConfigBlock block;
    for (std::size_t i = 0; i < block.bytes.size(); ++i) {
        block.bytes[i] = static_cast<std::uint8_t>(i * 37 + 11);
    }
    return block;
}

inline ConfigBlock patched(ConfigBlock block, const Patch& patch) {
    for (const auto& [offset, value] : patch) {
        block.bytes[offset] = value;
    }
    return block;
}

inline std::map<std::string, std::string> shown(const PageModel& page) {
    std::map<std::string, std::string> fields;
    for (const auto& field : page.view().fields) {
        fields[field.label] = field.value;
    }
    return fields;
}

}  // namespace velmora::test
