// A plug-in that lacks dll_is_gui: the host must report it and go on without it.
#include "link/plugin_exports.h"

extern "C" int dll_init(QWidget*, velmora::component_registry*) {
    return 1;
}

extern "C" void dll_deinit() {}

extern "C" const char* dll_get_title() {
    return "Incomplete";
}
