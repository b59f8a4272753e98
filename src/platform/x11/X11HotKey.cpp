#include "platform/x11/X11HotKey.h"

#include "core/FailureTexts.h"
#include "platform/x11/X11Xkb.h"

#include <QCoreApplication>

#include <xcb/xcb_keysyms.h>

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace Platform::X11 {

using KestrelMain::Failure;
using KestrelMain::Status;

namespace {

constexpr xcb_keysym_t KEYSYM_F_LOWER = 0x0066;
constexpr xcb_keysym_t KEYSYM_NUM_LOCK = 0xff7f;
// XKB event subtypes, second byte of every XKB event (xcb/xkb.h is not valid C++).
constexpr std::uint8_t XKB_NEW_KEYBOARD_NOTIFY = 0;
constexpr std::uint8_t XKB_MAP_NOTIFY = 1;

Failure Refused(std::string reason) {
    return Failure{KestrelMain::CANNOT_REGISTER_HOT_KEY, {}, std::move(reason)};
}

std::uint16_t NumLockMask(xcb_connection_t* connection) {
    std::uint16_t mask = 0;
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(connection);
    if (symbols == nullptr)
        return 0;
    xcb_keycode_t* numLockCodes = xcb_key_symbols_get_keycode(symbols, KEYSYM_NUM_LOCK);
    xcb_get_modifier_mapping_reply_t* map =
        xcb_get_modifier_mapping_reply(connection, xcb_get_modifier_mapping(connection), nullptr);
    if (map != nullptr && numLockCodes != nullptr) {
        const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(map);
        const int perModifier = map->keycodes_per_modifier;
        for (int modifier = 0; modifier < 8; ++modifier) {
            for (int k = 0; k < perModifier; ++k) {
                const xcb_keycode_t code = codes[modifier * perModifier + k];
                for (xcb_keycode_t* n = numLockCodes; code != 0 && *n != XCB_NO_SYMBOL; ++n) {
                    if (*n == code)
                        mask |= static_cast<std::uint16_t>(1u << modifier);
                }
            }
        }
    }
    std::free(map);
    std::free(numLockCodes);
    xcb_key_symbols_free(symbols);
    return mask;
}

std::vector<xcb_keycode_t> KeycodesOfF(xcb_connection_t* connection) {
    std::vector<xcb_keycode_t> keycodes;
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(connection);
    if (symbols != nullptr) {
        if (xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, KEYSYM_F_LOWER)) {
            for (xcb_keycode_t* c = codes; *c != XCB_NO_SYMBOL; ++c) keycodes.push_back(*c);
            std::free(codes);
        }
        xcb_key_symbols_free(symbols);
    }
    return keycodes;
}

}  // namespace

X11HotKey::X11HotKey(const X11Connection& connection) : x_(connection) {}

X11HotKey::~X11HotKey() {
    if (filtering_ && QCoreApplication::instance() != nullptr)
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

Status X11HotKey::Register(Seam::HotKeyAnswers& later) {
    answers_ = &later;
    if (x_.Broken())
        return X11Connection::BrokenFailure(KestrelMain::CANNOT_REGISTER_HOT_KEY);
    if (!filtering_) {
        QCoreApplication::instance()->installNativeEventFilter(this);
        filtering_ = true;
    }
    // The flag holds for every key event on Qt's connection, so Kestrel's windows also get a
    // held key as presses and one release. Text boxes and buttons work the same; only Qt no
    // longer marks those presses as repeats, a mark nothing in Kestrel reads.
    hold_.SetRepeatsArePairs(KestrelEnableDetectableAutoRepeat(x_.Connection()) == 0);
    return GrabAll();
}

bool X11HotKey::PressPending() {
    return presses_.Pending();
}

bool X11HotKey::TakePress() {
    return presses_.Take();
}

void X11HotKey::Unregister() {
    UngrabAll();
}

Status X11HotKey::GrabAll() {
    xcb_connection_t* connection = x_.Connection();
    if (xcb_query_extension_reply_t* xkb = xcb_query_extension_reply(
            connection, xcb_query_extension(connection, 9, "XKEYBOARD"), nullptr)) {
        if (xkb->present)
            xkbEventBase_ = xkb->first_event;
        std::free(xkb);
    }

    keycodes_ = KeycodesOfF(connection);
    if (keycodes_.empty())
        return Refused("the keyboard has no F key");

    const std::uint16_t numLock = numLock_ = NumLockMask(connection);
    std::vector<std::uint16_t> variants{0, XCB_MOD_MASK_LOCK};
    if (numLock != 0 && numLock != XCB_MOD_MASK_LOCK) {
        variants.push_back(numLock);
        variants.push_back(static_cast<std::uint16_t>(numLock | XCB_MOD_MASK_LOCK));
    }

    std::vector<std::pair<Grab, xcb_void_cookie_t>> requests;
    for (xcb_keycode_t code : keycodes_) {
        for (std::uint16_t variant : variants) {
            const Grab grab{code, static_cast<std::uint16_t>(XCB_MOD_MASK_CONTROL | variant)};
            // owner_events false: the press goes to the root window even when one of
            // Kestrel's own windows has the focus, so it never reaches a text box.
            requests.emplace_back(
                grab, xcb_grab_key_checked(connection, 0, x_.Root(), grab.Modifiers, grab.Keycode,
                                           XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        }
    }
    bool refused = false;
    for (auto& [grab, cookie] : requests) {
        if (xcb_generic_error_t* error = xcb_request_check(connection, cookie)) {
            refused = true;
            std::free(error);
        } else {
            grabs_.push_back(grab);
        }
    }
    if (refused) {
        UngrabAll();
        return Refused("another program already holds it");
    }
    return std::nullopt;
}

void X11HotKey::UngrabAll() {
    if (!x_.Broken()) {
        for (const Grab& grab : grabs_)
            xcb_ungrab_key(x_.Connection(), grab.Keycode, x_.Root(), grab.Modifiers);
        // A round trip, so the keys are free for other clients once this returns.
        std::free(xcb_get_input_focus_reply(x_.Connection(), xcb_get_input_focus(x_.Connection()),
                                            nullptr));
    }
    grabs_.clear();
}

bool X11HotKey::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t")
        return false;
    auto* event = static_cast<xcb_generic_event_t*>(message);
    const std::uint8_t type = event->response_type & 0x7f;

    if (type == XCB_KEY_PRESS || type == XCB_KEY_RELEASE) {
        auto* key = reinterpret_cast<xcb_key_press_event_t*>(event);
        bool ours = false;
        for (const Grab& grab : grabs_) ours = ours || grab.Keycode == key->detail;
        if (!ours || key->event != x_.Root())
            return false;

        if (type == XCB_KEY_RELEASE) {
            hold_.Release(key->time);
        } else if (hold_.Press(key->time)) {
            presses_.Add();
        }
        return true;
    }

    const bool coreMappingChange =
        type == XCB_MAPPING_NOTIFY &&
        reinterpret_cast<xcb_mapping_notify_event_t*>(event)->request == XCB_MAPPING_KEYBOARD;
    const bool xkbMappingChange =
        xkbEventBase_ != 0 && type == xkbEventBase_ &&
        (reinterpret_cast<const std::uint8_t*>(event)[1] == XKB_NEW_KEYBOARD_NOTIFY ||
         reinterpret_cast<const std::uint8_t*>(event)[1] == XKB_MAP_NOTIFY);
    if ((coreMappingChange || xkbMappingChange) && !grabs_.empty())
        FollowMappingChange();
    return false;  // Qt updates its own keymap from the same event
}

void X11HotKey::FollowMappingChange() {
    // The server announces a new keyboard whenever input switches devices (XTest, a second
    // keyboard), mostly with the same map. Dropping the grabs then would let a Ctrl+F in
    // the gap reach the focused window, so grab again only when the keys really moved.
    if (x_.Broken())
        return;
    if (KeycodesOfF(x_.Connection()) == keycodes_ && NumLockMask(x_.Connection()) == numLock_)
        return;
    UngrabAll();
    // Lost to another client in the gap: a refusal after the fact.
    if (Status failed = GrabAll(); failed && answers_ != nullptr)
        answers_->HotKeyRefused(*failed);
}

}  // namespace Platform::X11
