#include "host/null_component.h"

namespace velmora {

// Never registered: it stands for "nothing there", so it must not be found by its own name.
NullComponent::NullComponent() : component(k_name, nullptr) {}

}  // namespace velmora
