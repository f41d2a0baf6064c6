// The record that components pass to each other through `request` and `deliver`.
//
// Callers may rely on: a receiver uses the record, and the data `param2` points to, only during the
// call; whoever needs the bytes later copies them before returning.
#pragma once

#include <cstdint>

namespace velmora {

struct component_msg {
    std::uint32_t code = 0;
    std::uint32_t param1 = 0;      // a count, length or flag
    const void* param2 = nullptr;  // address of data, or none
};

}  // namespace velmora
