// The compiled-in resources of the dialog templates: the two arrow icons (ids 1011 and 1012) that the
// front panel page puts on its lamp-test keys.
//
// Callers may rely on this: once velmora_init_resources() has run, the icons load from the paths below
// as 16 x 16 images (QIcon, QPixmap); it may be called any number of times, from any thread, and
// registers the resources once. The templates that show an icon (1005) need it to have run before
// their setupUi.
#pragma once

namespace velmora {

// Icon 1011: a 16 x 16 arrow pointing left.
inline constexpr char k_icon_1011[] = ":/velmora/icons/icon_1011.svg";
// Icon 1012: a 16 x 16 arrow pointing right.
inline constexpr char k_icon_1012[] = ":/velmora/icons/icon_1012.svg";

// Registers the icons with Qt's resource system. A static library's resources are not registered by
// themselves: nothing refers to them, so the linker leaves them out unless this is called.
void velmora_init_resources();

}  // namespace velmora
