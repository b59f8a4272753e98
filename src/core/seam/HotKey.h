// The program's global hot key (Ctrl+F) as the core uses it: asked for once at start-up,
// its presses counted as they arrive (a held key counts once) and taken out one at a time
// by the idle loop.
#pragma once

#include "core/Failure.h"

#include <string>

namespace Seam {

// The answer of a desktop that grants the hot key only later, after asking its user (a
// portal's dialog), and that may bind another trigger than Ctrl+F. Given from the event
// dispatch, never from inside Register.
class HotKeyAnswers {
  public:
    // Held from now on, as the desktop bound it: its own text for the trigger ("Ctrl-F",
    // "Super+F").
    virtual void HotKeyGranted(const std::string& trigger) = 0;
    // Refused after all; nothing is held.
    virtual void HotKeyRefused(const KestrelMain::Failure& why) = 0;

  protected:
    ~HotKeyAnswers() = default;
};

class HotKey {
  public:
    // Asks for Ctrl+F. A desktop that answers at once returns the failure when it cannot
    // give it or another program holds it (nothing is held then), else nothing. A desktop
    // that answers later returns nothing now and answers through `later`.
    virtual KestrelMain::Status Register(HotKeyAnswers& later) = 0;

    // Presses that arrived and were not yet taken.
    virtual bool PressPending() = 0;

    // Takes one pending press out; false when there was none.
    virtual bool TakePress() = 0;

    // Gives Ctrl+F back as the program ends. Most desktops take it back with the process
    // anyway; one where the key was bound in the desktop's own configuration for the run
    // (sway) would otherwise keep a binding that runs nothing.
    virtual void Unregister() = 0;

  protected:
    ~HotKey() = default;
};

}  // namespace Seam
