// The global Ctrl+F of an X11 session: a passive grab on the root window for every
// combination of Caps Lock and Num Lock, on Qt's connection, whose events reach it through
// a native event filter. Presses are counted as they arrive (a held key counts once) and
// taken out one at a time by the message loop; the grabs follow a change of the keyboard
// mapping.
#pragma once

#include "core/PressQueue.h"
#include "core/seam/HotKey.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11KeyHold.h"

#include <QAbstractNativeEventFilter>

#include <cstdint>
#include <vector>

namespace Platform::X11 {

class X11HotKey final : public Seam::HotKey, private QAbstractNativeEventFilter {
  public:
    // The connection must be the one Qt reads events from.
    explicit X11HotKey(const X11Connection& connection);
    ~X11HotKey() override;
    X11HotKey(const X11HotKey&) = delete;
    X11HotKey& operator=(const X11HotKey&) = delete;

    // Answers at once: held, or the failure when another client already holds any of the
    // combinations (the grabs that did succeed are then undone).
    KestrelMain::Status Register(Seam::HotKeyAnswers& later) override;
    bool PressPending() override;
    bool TakePress() override;
    // The grabs undone; the server would drop them with the connection anyway.
    void Unregister() override;

  private:
    struct Grab {
        xcb_keycode_t Keycode;
        std::uint16_t Modifiers;
    };

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override;
    KestrelMain::Status GrabAll();
    void UngrabAll();
    // Grabs again when the F key or the Num Lock modifier has moved.
    void FollowMappingChange();

    X11Connection x_;
    Seam::HotKeyAnswers* answers_ = nullptr;
    bool filtering_ = false;
    KestrelMain::PressQueue presses_;
    X11KeyHold hold_;
    std::vector<Grab> grabs_;
    std::vector<xcb_keycode_t> keycodes_;
    std::uint16_t numLock_ = 0;
    std::uint8_t xkbEventBase_ = 0;
};

}  // namespace Platform::X11
