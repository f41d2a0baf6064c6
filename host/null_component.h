// The component a registry hands out when a lookup finds nothing usable: named "null component",
// of type "null", never shareable, and answering 0 to every request and delivery.
#pragma once

#include <string>

#include "link/component.h"

namespace velmora {

class NullComponent final : public component {
public:
    static constexpr const char* k_name = "null component";
    static constexpr const char* k_type = "null";

    NullComponent();

    bool is_shareable() const override { return false; }
    std::string type_name() const override { return k_type; }
};

}  // namespace velmora
