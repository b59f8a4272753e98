// The screen, the pointer and the grab on Qt's own connection: the entry points the
// program calls (Screen.h, Pointer.h, ScreenGrab.h, and X11Backend.h for the core, which
// also offers the hot key). They hand Qt's
// connection and screen to the pure XCB code (GrabXcb.h), which never asks Qt for them, so that
// code links without QtGui.
#include "platform/x11/GrabXcb.h"
#include "platform/x11/HotKey.h"
#include "platform/x11/Pointer.h"
#include "platform/x11/Screen.h"
#include "platform/x11/ScreenGrab.h"
#include "platform/x11/X11Backend.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11Session.h"

#include <memory>

namespace Platform {

Result<ScreenRect> PrimaryScreen() {
    const X11Handles x = X11();
    if (x.Connection == nullptr)
        return NoX11Failure(QStringLiteral("Cannot find the primary screen"));
    return PrimaryMonitorRect(x.Connection, x.Screen);
}

Result<PointerPosition> PointerOnScreen(const ScreenRect& screen) {
    const X11Handles x = X11();
    if (x.Connection == nullptr) {
        return NoX11Failure(QStringLiteral("Cannot read the pointer position"));
    }
    return PointerRelativeTo(x.Connection, x.Screen, screen);
}

WindowId DesktopWindow() {
    const X11Handles x = X11();
    return x.Screen != nullptr ? x.Screen->root : 0;
}

Result<ScaledImage> GrabWindowArea(WindowId window, bool clientArea, ScreenRect area,
                                   int outputWidth, int outputHeight) {
    const X11Handles x = X11();
    if (x.Connection == nullptr)
        return NoX11Failure(QStringLiteral("Cannot grab the screen"));
    // One grabber for the run: its shared-memory segment and weights are kept.
    static std::unique_ptr<ScreenGrabber> grabber;
    if (!grabber || grabber->Connection() != x.Connection || grabber->Screen() != x.Screen) {
        grabber = std::make_unique<ScreenGrabber>(x.Connection, x.Screen);
    }
    const auto onRoot = WindowAreaOnRoot(x.Connection, x.Screen,
                                         window == 0 ? x.Screen->root : window, clientArea, area);
    if (!onRoot)
        return onRoot.Error();
    return grabber->Grab(*onRoot, outputWidth, outputHeight);
}

KestrelMain::Result<ScreenRect> X11Screen::ReadPrimaryScreen() {
    auto screen = PrimaryScreen();
    if (!screen)
        return ToCore(screen.Error());
    return *screen;
}

KestrelMain::Result<PointerPosition> X11Screen::ReadPointer(const ScreenRect& primaryScreen) {
    auto pointer = PointerOnScreen(primaryScreen);
    if (!pointer)
        return ToCore(pointer.Error());
    return *pointer;
}

KestrelMain::Result<KestrelMain::Picture> X11ScreenGrab::GrabScaled(const ScreenRect& area,
                                                                    int outputWidth,
                                                                    int outputHeight) {
    auto image = GrabWindowArea(DesktopWindow(), false, area, outputWidth, outputHeight);
    if (!image)
        return ToCore(image.Error());
    return KestrelMain::CreateBitmapPicture(std::move(image.Value().Pixels),
                                            std::move(image.Value().Colors));
}

KestrelMain::Status X11HotKey::Register() {
    if (auto failed = RegisterHotKey())
        return ToCore(*failed);
    return std::nullopt;
}

bool X11HotKey::PressPending() {
    return HotKeyPressPending();
}

bool X11HotKey::TakePress() {
    return TakeHotKeyPress();
}

}  // namespace Platform
