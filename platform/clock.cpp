#include "platform/clock.h"

#include <thread>

namespace velmora::platform {

std::uint32_t tick_count() {
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    // Keeping only the low 32 bits is exactly the Windows counter's wrap-around.
    return static_cast<std::uint32_t>(elapsed.count());
}

void sleep_for(std::chrono::milliseconds duration) {
    std::this_thread::sleep_for(duration);
}

}  // namespace velmora::platform
