#include "support/XInput.h"

#include "support/Wait.h"

#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>

extern char** environ;

namespace TestSupport {

XInput::XInput(const std::string& display) : display_(display) {
    connection_ = xcb_connect(display.c_str(), nullptr);
    if (xcb_connection_has_error(connection_) != 0) {
        throw std::runtime_error("cannot connect to X display " + display);
    }
    root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
}

XInput::~XInput() {
    if (connection_ != nullptr)
        xcb_disconnect(connection_);
}

xcb_keycode_t XInput::Keycode(xcb_keysym_t keysym, bool* needsShift) {
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(connection_);
    xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, keysym);
    xcb_keycode_t code = (codes != nullptr) ? codes[0] : 0;
    if (needsShift != nullptr) {
        *needsShift = code != 0 && xcb_key_symbols_get_keysym(symbols, code, 0) != keysym;
    }
    std::free(codes);
    xcb_key_symbols_free(symbols);
    if (code == 0)
        throw std::runtime_error("no keycode for keysym " + std::to_string(keysym));
    return code;
}

void XInput::KeyDown(xcb_keysym_t keysym) {
    xcb_test_fake_input(connection_, XCB_KEY_PRESS, Keycode(keysym), XCB_CURRENT_TIME, XCB_NONE, 0,
                        0, 0);
    xcb_flush(connection_);
}

void XInput::KeyUp(xcb_keysym_t keysym) {
    xcb_test_fake_input(connection_, XCB_KEY_RELEASE, Keycode(keysym), XCB_CURRENT_TIME, XCB_NONE,
                        0, 0, 0);
    xcb_flush(connection_);
}

void XInput::Tap(xcb_keysym_t keysym, std::vector<xcb_keysym_t> modifiers) {
    for (xcb_keysym_t m : modifiers) KeyDown(m);
    KeyDown(keysym);
    KeyUp(keysym);
    for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it) KeyUp(*it);
    Sync();
}

void XInput::TypeText(const std::string& text) {
    for (char c : text) {
        // Printable Latin-1 characters share their code with their keysym.
        const auto keysym = static_cast<xcb_keysym_t>(static_cast<unsigned char>(c));
        bool shift = false;
        Keycode(keysym, &shift);
        if (shift) {
            Tap(keysym, {KEY_SHIFT_L});
        } else {
            Tap(keysym);
        }
    }
}

void XInput::Hold(xcb_keysym_t keysym, std::vector<xcb_keysym_t> modifiers,
                  std::chrono::milliseconds hold) {
    for (xcb_keysym_t m : modifiers) KeyDown(m);
    KeyDown(keysym);
    Sync();
    // The length of the hold is the stimulus itself; nothing is awaited here. Qt's events
    // go on being handled meanwhile, so an in-process Kestrel sees the repeats as they come.
    WaitUntil([] { return false; }, hold);
    KeyUp(keysym);
    for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it) KeyUp(*it);
    Sync();
}

void XInput::SetKeyRepeat(int delayMs, int perSecond) {
    std::string delay = std::to_string(delayMs), rate = std::to_string(perSecond);
    std::string program = "xset", displayFlag = "-display", r = "r", rateWord = "rate";
    char* argv[] = {program.data(),  displayFlag.data(), display_.data(), r.data(),
                    rateWord.data(), delay.data(),       rate.data(),     nullptr};
    pid_t pid = -1;
    if (posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv, environ) != 0)
        throw std::runtime_error("cannot start xset");
    int status = 0;
    // xset closes its display with a round trip, so the rate is in force once it has ended.
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("xset r rate " + delay + " " + rate + " failed");
}

std::vector<KeyEventSeen> XInput::HoldOnOwnWindow(xcb_keysym_t keysym,
                                                  std::chrono::milliseconds hold) {
    const xcb_keycode_t keycode = Keycode(keysym);
    const xcb_window_t window = xcb_generate_id(connection_);
    const std::uint32_t values[] = {1, XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE};
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window, root_, 0, 0, 10, 10, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT,
                      XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
    xcb_map_window(connection_, window);
    xcb_set_input_focus(connection_, XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
    Hold(keysym, {}, hold);

    // XTest delivers the events of a fake key before it answers the next request, so after
    // Hold's round trip every event of the hold is already queued here.
    std::vector<KeyEventSeen> seen;
    while (auto* event = xcb_poll_for_queued_event(connection_)) {
        const std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> owned(event, &std::free);
        const std::uint8_t type = event->response_type & 0x7f;
        if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE)
            continue;
        auto* key = reinterpret_cast<xcb_key_press_event_t*>(event);
        if (key->event == window && key->detail == keycode)
            seen.push_back({type == XCB_KEY_PRESS, key->time});
    }
    xcb_destroy_window(connection_, window);
    Sync();
    return seen;
}

void XInput::MovePointer(int x, int y) {
    xcb_test_fake_input(connection_, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, root_,
                        static_cast<int16_t>(x), static_cast<int16_t>(y), 0);
    Sync();
}

void XInput::Click(int x, int y, int button) {
    MovePointer(x, y);
    const auto detail = static_cast<xcb_button_t>(button);
    xcb_test_fake_input(connection_, XCB_BUTTON_PRESS, detail, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    xcb_test_fake_input(connection_, XCB_BUTTON_RELEASE, detail, XCB_CURRENT_TIME, XCB_NONE, 0, 0,
                        0);
    Sync();
}

xcb_timestamp_t XInput::ServerTime() {
    if (clockWindow_ == 0) {
        clockWindow_ = xcb_generate_id(connection_);
        const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_create_window(connection_, 0, clockWindow_, root_, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK,
                          &mask);
    }
    xcb_change_property(connection_, XCB_PROP_MODE_APPEND, clockWindow_, XCB_ATOM_WM_NAME,
                        XCB_ATOM_STRING, 8, 0, nullptr);
    xcb_flush(connection_);
    while (auto* event = xcb_wait_for_event(connection_)) {
        const std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> owned(event, &std::free);
        if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY) {
            auto* property = reinterpret_cast<xcb_property_notify_event_t*>(event);
            if (property->window == clockWindow_)
                return property->time;
        }
    }
    throw std::runtime_error("X connection lost");
}

void XInput::Sync() {
    std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
}

}  // namespace TestSupport
