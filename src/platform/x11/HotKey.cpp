#include "platform/x11/HotKey.h"

#include "platform/ErrorReport.h"
#include "platform/x11/HotKeyXkb.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11Session.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QList>

#include <xcb/xcb_keysyms.h>

#include <cstdlib>
#include <memory>
#include <vector>

namespace Platform {

namespace {

constexpr xcb_keysym_t KEYSYM_F_LOWER = 0x0066;
constexpr xcb_keysym_t KEYSYM_NUM_LOCK = 0xff7f;
// XKB event subtypes, second byte of every XKB event (xcb/xkb.h is not valid C++).
constexpr std::uint8_t XKB_NEW_KEYBOARD_NOTIFY = 0;
constexpr std::uint8_t XKB_MAP_NOTIFY = 1;

struct Grab {
    xcb_keycode_t Keycode;
    std::uint16_t Modifiers;
};

class HotKeyFilter : public QAbstractNativeEventFilter {
  public:
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override;

    // Once per run: how the server sends repeats to this connection, then the grabs.
    Status Start();
    Status GrabAll();
    void UngrabAll();
    // Grabs again when the F key or the Num Lock modifier has moved.
    void FollowMappingChange();

    int Pending = 0;

  private:
    KeyRepeatRule repeats_;
    std::vector<Grab> grabs_;
    std::vector<xcb_keycode_t> keycodes_;
    std::uint16_t numLock_ = 0;
    std::uint8_t xkbEventBase_ = 0;
};

HotKeyFilter* filter = nullptr;

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

Status HotKeyFilter::Start() {
    const X11Handles x = X11();
    if (x.Connection == nullptr)
        return NoX11Failure(QStringLiteral("Cannot register Ctrl+F"));
    // The flag holds for every key event on Qt's connection, so Kestrel's windows also get a
    // held key as presses and one release. Text boxes and buttons work the same; only Qt no
    // longer marks those presses as repeats, a mark nothing in Kestrel reads.
    repeats_.SetRepeatsArePairs(KestrelEnableDetectableAutoRepeat(x.Connection) == 0);
    return GrabAll();
}

Status HotKeyFilter::GrabAll() {
    const X11Handles x = X11();
    if (x.Connection == nullptr)
        return NoX11Failure(QStringLiteral("Cannot register Ctrl+F"));

    if (xcb_query_extension_reply_t* xkb = xcb_query_extension_reply(
            x.Connection, xcb_query_extension(x.Connection, 9, "XKEYBOARD"), nullptr)) {
        if (xkb->present)
            xkbEventBase_ = xkb->first_event;
        std::free(xkb);
    }

    keycodes_ = KeycodesOfF(x.Connection);
    if (keycodes_.empty()) {
        return Failure{QStringLiteral("Cannot register Ctrl+F"), QString(),
                       QStringLiteral("the keyboard has no F key")};
    }

    const std::uint16_t numLock = numLock_ = NumLockMask(x.Connection);
    QList<std::uint16_t> variants{0, XCB_MOD_MASK_LOCK};
    if (numLock != 0 && numLock != XCB_MOD_MASK_LOCK) {
        variants << numLock << static_cast<std::uint16_t>(numLock | XCB_MOD_MASK_LOCK);
    }

    std::vector<std::pair<Grab, xcb_void_cookie_t>> requests;
    for (xcb_keycode_t code : keycodes_) {
        for (std::uint16_t variant : variants) {
            const Grab grab{code, static_cast<std::uint16_t>(XCB_MOD_MASK_CONTROL | variant)};
            // owner_events false: the press goes to the root window even when one of
            // Kestrel's own windows has the focus, so it never reaches a text box.
            requests.emplace_back(
                grab, xcb_grab_key_checked(x.Connection, 0, x.Screen->root, grab.Modifiers,
                                           grab.Keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        }
    }
    bool refused = false;
    for (auto& [grab, cookie] : requests) {
        if (xcb_generic_error_t* error = xcb_request_check(x.Connection, cookie)) {
            refused = true;
            std::free(error);
        } else {
            grabs_.push_back(grab);
        }
    }
    if (refused) {
        UngrabAll();
        return Failure{QStringLiteral("Cannot register Ctrl+F"), QString(),
                       QStringLiteral("another program already holds it")};
    }
    return std::nullopt;
}

void HotKeyFilter::UngrabAll() {
    const X11Handles x = X11();
    if (x.Connection != nullptr) {
        for (const Grab& grab : grabs_) {
            xcb_ungrab_key(x.Connection, grab.Keycode, x.Screen->root, grab.Modifiers);
        }
        // A round trip, so the keys are free for other clients once this returns.
        std::free(
            xcb_get_input_focus_reply(x.Connection, xcb_get_input_focus(x.Connection), nullptr));
    }
    grabs_.clear();
}

bool HotKeyFilter::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t")
        return false;
    auto* event = static_cast<xcb_generic_event_t*>(message);
    const std::uint8_t type = event->response_type & 0x7f;

    if (type == XCB_KEY_PRESS || type == XCB_KEY_RELEASE) {
        auto* key = reinterpret_cast<xcb_key_press_event_t*>(event);
        const X11Handles x = X11();
        bool ours = false;
        for (const Grab& grab : grabs_) ours = ours || grab.Keycode == key->detail;
        if (!ours || x.Screen == nullptr || key->event != x.Screen->root)
            return false;

        if (type == XCB_KEY_RELEASE) {
            repeats_.Release(key->time);
        } else if (repeats_.Press(key->time)) {
            ++Pending;
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

void HotKeyFilter::FollowMappingChange() {
    // The server announces a new keyboard whenever input switches devices (XTest, a second
    // keyboard), mostly with the same map. Dropping the grabs then would let a Ctrl+F in
    // the gap reach the focused window, so grab again only when the keys really moved.
    const X11Handles x = X11();
    if (x.Connection == nullptr)
        return;
    if (KeycodesOfF(x.Connection) == keycodes_ && NumLockMask(x.Connection) == numLock_)
        return;
    UngrabAll();
    if (Status failed = GrabAll())
        ReportToStderr(failed->Text());
}

}  // namespace

void KeyRepeatRule::Release(std::uint32_t time) {
    held_ = false;
    justReleased_ = true;
    releaseTime_ = time;
}

bool KeyRepeatRule::Press(std::uint32_t time) {
    const bool pairedRepeat = repeatsArePairs_ && justReleased_ && time == releaseTime_;
    const bool repeat = held_ || pairedRepeat;
    held_ = true;
    justReleased_ = false;
    return !repeat;
}

Status RegisterHotKey() {
    if (filter == nullptr) {
        filter = new HotKeyFilter;
        QCoreApplication::instance()->installNativeEventFilter(filter);
    }
    return filter->Start();
}

bool HotKeyPressPending() {
    return filter != nullptr && filter->Pending > 0;
}

bool TakeHotKeyPress() {
    if (!HotKeyPressPending())
        return false;
    --filter->Pending;
    return true;
}

}  // namespace Platform
