// The connection to the X server that every X11 part of a run shares, and the screen it
// draws on: looked up once, on the connection Qt opened, so Kestrel holds one connection to
// the server; or handed in, as the benchmark and the tests hand in their own.
#pragma once

#include "core/Failure.h"

#include <xcb/xcb.h>

#include <optional>
#include <string>
#include <utility>

namespace Platform::X11 {

class X11Connection {
  public:
    X11Connection(xcb_connection_t* connection, xcb_screen_t* screen)
        : connection_(connection), screen_(screen) {}

    // Qt's connection and the screen DISPLAY names (":0.1" is screen 1), or nothing when Qt
    // does not run on xcb or its connection is broken. Needs the QGuiApplication.
    static std::optional<X11Connection> OfQtApplication();
    // Whether Qt runs on xcb and its connection is broken. Needs the QGuiApplication.
    static bool QtConnectionBroken();

    xcb_connection_t* Connection() const { return connection_; }
    xcb_screen_t* Screen() const { return screen_; }
    xcb_window_t Root() const { return screen_->root; }
    // The root window's size as it is now: RandR resizes it (a mode switched, a monitor
    // added), while the connection's set-up data keeps the size it had at the start.
    // Nothing when the server does not answer.
    std::optional<std::pair<int, int>> RootSizeNow() const {
        return RootSizeNow(connection_, screen_->root);
    }
    static std::optional<std::pair<int, int>> RootSizeNow(xcb_connection_t* connection,
                                                          xcb_window_t root);

    // Once broken (the server went away), every request fails; nothing may be asked.
    bool Broken() const { return xcb_connection_has_error(connection_) != 0; }
    static KestrelMain::Failure BrokenFailure(std::string what) {
        return KestrelMain::Failure{
            std::move(what), {}, "the connection to the X server is broken"};
    }
    // What the server's error says: its name and the request it answered.
    static std::string ErrorText(const xcb_generic_error_t* error);

  private:
    xcb_connection_t* connection_;
    xcb_screen_t* screen_;
};

}  // namespace Platform::X11
