// The four functions every plug-in exports, undecorated, and the types the host resolves them as.
//
// Callers may rely on: the host finds the exports by these names, calls `dll_get_title` and
// `dll_is_gui` first, then `dll_init` once with a parent widget of its own (null for a plug-in
// without a user interface) and its registry, and never unloads the library. The header needs no Qt.
#pragma once

class QWidget;

namespace velmora {
class component_registry;
}

extern "C" {
// Exported even from a library built with hidden visibility: the declarations carry it.
// 1 when the plug-in's window exists after the call, 0 when it could not be created.
[[gnu::visibility("default")]] int dll_init(QWidget* parent, velmora::component_registry* registry);
[[gnu::visibility("default")]] void dll_deinit();
// A constant text that lives as long as the library.
[[gnu::visibility("default")]] const char* dll_get_title();
// 1 when the plug-in has a user interface.
[[gnu::visibility("default")]] int dll_is_gui();
}

namespace velmora {

using DllInitFn = int (*)(QWidget*, component_registry*);
using DllDeinitFn = void (*)();
using DllGetTitleFn = const char* (*)();
using DllIsGuiFn = int (*)();

inline constexpr const char* k_dll_init_name = "dll_init";
inline constexpr const char* k_dll_deinit_name = "dll_deinit";
inline constexpr const char* k_dll_get_title_name = "dll_get_title";
inline constexpr const char* k_dll_is_gui_name = "dll_is_gui";

}  // namespace velmora
