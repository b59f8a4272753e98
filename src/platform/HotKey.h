// The program's global hot key (Ctrl+F) as the core uses it: taken once at start-up, its
// presses counted as they arrive (a held key counts once) and taken out one at a time by
// the idle loop.
#pragma once

#include "core/Failure.h"

namespace Platform {

class HotKey {
  public:
    // Takes Ctrl+F for this program. Fails when the desktop cannot give it or another
    // program already holds it; nothing is held then.
    virtual KestrelMain::Status Register() = 0;

    // Presses that arrived and were not yet taken.
    virtual bool PressPending() = 0;

    // Takes one pending press out; false when there was none.
    virtual bool TakePress() = 0;

  protected:
    ~HotKey() = default;
};

}  // namespace Platform
