// Real keyboard and pointer input through the XTest extension, from a connection of the
// test's own, as a user at the keyboard would produce it.
#pragma once

#include <xcb/xcb.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace TestSupport {

inline constexpr xcb_keysym_t KEY_CONTROL_L = 0xffe3;
inline constexpr xcb_keysym_t KEY_SHIFT_L = 0xffe1;
inline constexpr xcb_keysym_t KEY_CAPS_LOCK = 0xffe5;
inline constexpr xcb_keysym_t KEY_NUM_LOCK = 0xff7f;
inline constexpr xcb_keysym_t KEY_F = 0x0066;
inline constexpr xcb_keysym_t KEY_RETURN = 0xff0d;
inline constexpr xcb_keysym_t KEY_TAB = 0xff09;
inline constexpr xcb_keysym_t KEY_BACKSPACE = 0xff08;

// One key event as the server delivered it to this connection.
struct KeyEventSeen {
    bool Press = false;  // else a release
    xcb_timestamp_t Time = 0;
};

class XInput {
  public:
    explicit XInput(const std::string& display);
    ~XInput();
    XInput(const XInput&) = delete;
    XInput& operator=(const XInput&) = delete;

    void KeyDown(xcb_keysym_t keysym);
    void KeyUp(xcb_keysym_t keysym);
    // Presses the modifiers, taps the key, releases the modifiers in reverse order.
    void Tap(xcb_keysym_t keysym, std::vector<xcb_keysym_t> modifiers = {});
    void PressCtrlF() { Tap(KEY_F, {KEY_CONTROL_L}); }
    void TypeText(const std::string& text);
    // Holds the key down, with the modifiers, for the given time, letting the server's own
    // auto-repeat do what it does; then releases all in reverse order.
    void Hold(xcb_keysym_t keysym, std::vector<xcb_keysym_t> modifiers,
              std::chrono::milliseconds hold);
    void HoldCtrlF(std::chrono::milliseconds hold) { Hold(KEY_F, {KEY_CONTROL_L}, hold); }

    // The server's auto-repeat for every keyboard: the delay before the first repeat and
    // the repeats per second after it (what `xset r rate` sets).
    void SetKeyRepeat(int delayMs, int perSecond);

    // Holds the key on a window of this connection that has the focus, and returns the key
    // events the server delivered for it, in order: each repeat a release and a press,
    // unless this connection asked XKB for detectable auto-repeat.
    std::vector<KeyEventSeen> HoldOnOwnWindow(xcb_keysym_t keysym, std::chrono::milliseconds hold);

    void MovePointer(int x, int y);
    void Click(int x, int y, int button = 1);

    // The server's time now, as it stamps events (an empty property append, the usual way
    // for a client to learn it). Other events read on the way are dropped.
    xcb_timestamp_t ServerTime();

    // A round trip: everything sent so far has been processed by the server.
    void Sync();
    xcb_connection_t* Connection() { return connection_; }
    xcb_window_t Root() const { return root_; }

    // The first keycode that produces keysym; needsShift tells whether Shift is needed.
    xcb_keycode_t Keycode(xcb_keysym_t keysym, bool* needsShift = nullptr);

  private:
    std::string display_;
    xcb_connection_t* connection_ = nullptr;
    xcb_window_t root_ = 0;
    xcb_window_t clockWindow_ = 0;  // created on first use of ServerTime
};

}  // namespace TestSupport
