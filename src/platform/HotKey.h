// The global Ctrl+F hot key: a passive grab on the root window for every combination
// of Caps Lock and Num Lock. Presses are counted as they arrive (a held key counts
// once) and taken out one at a time by the message loop.
#pragma once

#include "platform/Failure.h"

namespace Platform {

// Grabs Ctrl+F. Fails when there is no X11 session or another client already holds
// any of the combinations; the grabs that did succeed are then undone.
Status RegisterHotKey();

// Presses that arrived and were not yet taken.
bool HotKeyPressPending();

// Takes one pending press out; false when there was none.
bool TakeHotKeyPress();

}  // namespace Platform
