// Millisecond time for code written against the Windows tick counter and Sleep.
//
// Callers may rely on: tick_count() is monotonic modulo 2^32 (it wraps like the Windows counter,
// so compare ticks by unsigned subtraction), and sleep_for() sleeps at least the time asked.
#pragma once

#include <chrono>
#include <cstdint>

namespace velmora::platform {

std::uint32_t tick_count();

void sleep_for(std::chrono::milliseconds duration);

}  // namespace velmora::platform
