// The compressed key script as the flash image's directory B delivers it.
//
// The view keeps one of these for its whole life: a Parse whose directory B has no script entry
// unpacks whatever an earlier Parse left here.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace velmora {

struct KeyScriptBuffer {
    // Largest compressed script a flash image may carry; a longer record refuses the image.
    static constexpr std::size_t k_capacity = 10240;

    std::array<std::uint8_t, k_capacity> bytes{};
    std::uint32_t size = 0;
};

}  // namespace velmora
