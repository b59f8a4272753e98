// Kestrel's one name on the desktop: its desktop entry, the app id Wayland compositors know
// its windows by, and its name on the session bus, where its object has the path made of the
// same words.
#pragma once

namespace KestrelMain {

inline constexpr char APP_ID[] = "org.ardmoor.Kestrel";
inline constexpr char APP_OBJECT_PATH[] = "/org/ardmoor/Kestrel";

}  // namespace KestrelMain
