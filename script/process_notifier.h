// Receiver of a ProcessRunner's start and end notifications. Nothing in the plug-in installs one;
// tools and tests may. A run's start (4002) always comes before its end (4003).
#pragma once

#include <cstdint>
#include <string_view>

namespace velmora {

// The codes the runner's notifications carry; receivers know them by number.
inline constexpr std::uint32_t k_runner_started_code = 4002;
inline constexpr std::uint32_t k_runner_exited_code = 4003;

class ProcessNotifier {
public:
    virtual ~ProcessNotifier() = default;
    // Called on the runner's threads: `data` is the command text with its terminating zero byte for
    // k_runner_started_code, and empty for k_runner_exited_code.
    virtual void notify(std::uint32_t code, std::string_view data) = 0;
};

}  // namespace velmora
