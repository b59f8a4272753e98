// The screen the benchmark measures: the busy picture (BusyPicture.h) painted once as the
// root window's background, so every tool reads the same pixels and windows cannot hide
// them; and the whole screen read back through plain GetImage, independently of the
// capture code.
#pragma once

#include "testkit/BusyPicture.h"

#include <xcb/xcb.h>

#include <cstdint>
#include <functional>
#include <string>

namespace Bench {

class BusyScreen {
  public:
    // Connects to the display; Error() says why when that failed.
    explicit BusyScreen(const std::string& display);
    ~BusyScreen();
    BusyScreen(const BusyScreen&) = delete;
    BusyScreen& operator=(const BusyScreen&) = delete;

    const std::string& Error() const { return error_; }
    int Width() const;
    int Height() const;

    // Paints the picture and waits until the server has it; false with Error() set when
    // the screen is not a 32-bit true-colour one or the server refused.
    bool Paint();

    // Calls rowAt(y, pixels) for every row of the rectangle, top to bottom, with the
    // pixels as 0xRRGGBB; false with Error() set when the server refused the read.
    bool ReadRows(int x, int y, int width, int height,
                  const std::function<void(int row, const std::uint32_t* pixels)>& rowAt);

  private:
    bool CheckLayout();

    xcb_connection_t* connection_ = nullptr;
    xcb_screen_t* screen_ = nullptr;
    std::string error_;
    int shift_[3] = {16, 8, 0};  // red, green, blue
    bool swap_ = false;          // the server's byte order differs from ours
};

}  // namespace Bench
