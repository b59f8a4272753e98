// What a test needs of the headless KWin session that desktop-session.sh kwin started, beside what
// SwaySession.h offers every Wayland session: keys pressed through KWin's own input
// (org_kde_kwin_fake_input, which the session opens to its clients), as a keyboard would;
// the outputs' order changed as the display settings change it.
#pragma once

#include <cstddef>
#include <memory>

namespace WaylandTest {

class FakeKeyboard {
  public:
    FakeKeyboard();
    ~FakeKeyboard();
    bool Ready() const;
    // Presses or releases a key by its Linux input code (KEY_F), once KWin has it.
    void Key(int code, bool down);

  private:
    struct Device;
    std::unique_ptr<Device> device_;
};

// Makes the output KWin announced in this place (0 the first) the first of its order, as
// choosing the primary display in the settings does; true once KWin has applied it.
bool PutFirst(std::size_t announced);

}  // namespace WaylandTest
