// The connector's code-18 reports, checked against the transmissions that were queued: each
// transmission's counts rise to its size and end there, in the order the transmissions were queued.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "link/host_components.h"
#include "recording_component.h"

namespace velmora::test {

inline void expect_progress(const std::vector<RecordingComponent::Delivery>& deliveries,
                            const std::vector<std::size_t>& sizes) {
    std::vector<std::uint32_t> counts;
    for (const auto& delivery : deliveries) {
        if (delivery.code == k_connector_sent) {
            counts.push_back(delivery.count);
        }
    }
    std::size_t at = 0;
    for (std::size_t size : sizes) {
        std::uint32_t last = 0;
        for (;;) {
            ASSERT_LT(at, counts.size()) << "no final count for a transmission of " << size;
            const std::uint32_t count = counts[at++];
            ASSERT_GE(count, last);
            ASSERT_LE(count, size);
            last = count;
            if (count == size) {
                break;
            }
        }
    }
    EXPECT_EQ(at, counts.size()) << "counts beyond the last transmission";
}

}  // namespace velmora::test
