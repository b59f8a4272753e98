#include "support/XInput.h"

#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

#include <cstdlib>
#include <stdexcept>

namespace TestSupport {

XInput::XInput(const std::string& display) {
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

void XInput::Sync() {
    std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
}

}  // namespace TestSupport
