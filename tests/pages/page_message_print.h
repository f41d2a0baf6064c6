// Shows page messages readably in test failures.
#pragma once

#include <ostream>

#include "pages/models/page_message.h"

namespace velmora {

// Internal linkage: every test file may have its own without clashing.
[[maybe_unused]] static void PrintTo(const PageMessage& message, std::ostream* out) {
    *out << "{kind " << static_cast<int>(message.kind) << ", \"" << message.text << "\", \""
         << message.caption << "\"}";
}

}  // namespace velmora
