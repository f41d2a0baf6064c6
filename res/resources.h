// The compiled-in resources of the dialog templates: the two arrow icons that the front panel page
// puts on its left and right lamp keys (the system's icons 1011 and 1012).
//
// Callers may rely on this: once velmora_init_resources() has run, the icons load from the paths below
// as 16 x 16 images (QIcon, QPixmap); it may be called any number of times, from any thread, and
// registers the resources once. The templates that show an icon (the front panel page) need it to have
// run before their setupUi.
#pragma once

namespace velmora {

// Icon 1011: a 16 x 16 arrow pointing left.
inline constexpr char k_icon_lamp_left[] = ":/velmora/icons/lamp_left.svg";
// Icon 1012: a 16 x 16 arrow pointing right.
inline constexpr char k_icon_lamp_right[] = ":/velmora/icons/lamp_right.svg";

// Registers the icons with Qt's resource system. A static library's resources are not registered by
// themselves: nothing refers to them, so the linker leaves them out unless this is called.
void velmora_init_resources();

}  // namespace velmora
