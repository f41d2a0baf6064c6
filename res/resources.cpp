#include "res/resources.h"

#include <QtCore/qglobal.h>

// Q_INIT_RESOURCE declares rcc's initialiser in the enclosing namespace, so it has to be expanded
// outside ours.
static void register_velmora_qrc() {
    Q_INIT_RESOURCE(velmora);
}

namespace velmora {

void velmora_init_resources() {
    // A function-local static registers exactly once, even when threads race to the first call.
    static const bool k_registered = [] {
        register_velmora_qrc();
        return true;
    }();
    static_cast<void>(k_registered);
}

}  // namespace velmora
