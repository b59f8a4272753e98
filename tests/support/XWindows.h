// Looks at the window tree from outside, as a window manager would.
#pragma once

#include <xcb/xcb.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace TestSupport {

struct WindowInfo {
    xcb_window_t Id = 0;
    int X = 0, Y = 0;  // client area's top-left corner, in root coordinates
    int Width = 0, Height = 0;
    bool Viewable = false;
};

// The first viewable top-level window whose _NET_WM_NAME or WM_NAME equals title.
std::optional<WindowInfo> FindWindowByTitle(xcb_connection_t* connection, const std::string& title);

std::optional<WindowInfo> WaitForWindow(
    xcb_connection_t* connection, const std::string& title,
    std::chrono::milliseconds deadline = std::chrono::seconds(15));

// The raw 32-bit items of a window property, empty when absent.
std::vector<std::uint32_t> ReadCardinalProperty(xcb_connection_t* connection, xcb_window_t window,
                                                const std::string& name);

}  // namespace TestSupport
