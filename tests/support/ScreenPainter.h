// Paints known pictures on an X screen, through a connection of the test's own: the
// picture becomes the root window's background, so it stays when windows come and go.
// Also reads the whole screen back, for references computed in the test.
#pragma once

#include "testkit/BmpReader.h"

#include <xcb/xcb.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace TestSupport {

using TestKit::Rgb;

class ScreenPainter {
  public:
    explicit ScreenPainter(const std::string& display);
    ~ScreenPainter();
    ScreenPainter(const ScreenPainter&) = delete;
    ScreenPainter& operator=(const ScreenPainter&) = delete;

    xcb_connection_t* Connection() const { return connection_; }
    xcb_screen_t* Screen() const { return screen_; }
    int Width() const { return screen_->width_in_pixels; }
    int Height() const { return screen_->height_in_pixels; }
    int Depth() const { return screen_->root_depth; }
    bool Palette() const { return !trueColor_; }
    std::uint32_t RedMask() const { return masks_[0]; }
    std::uint32_t GreenMask() const { return masks_[1]; }
    std::uint32_t BlueMask() const { return masks_[2]; }

    // The screen's pixel value for a colour; on palette screens a colormap cell is
    // allocated for it.
    std::uint32_t PixelOf(Rgb colour);
    // The colour as the screen shows it, back in 8-bit channels.
    Rgb Shown(Rgb colour);

    void Fill(int x, int y, int width, int height, Rgb colour);
    // Every pixel of the screen from a function (true-colour screens).
    void Paint(const std::function<Rgb(int x, int y)>& colourAt);

    // The whole screen as the server holds it, in 8-bit channels, top row first.
    std::vector<Rgb> ReadScreen();

  private:
    void Show();

    xcb_connection_t* connection_ = nullptr;
    xcb_screen_t* screen_ = nullptr;
    xcb_pixmap_t pixmap_ = 0;
    xcb_gcontext_t gc_ = 0;
    bool trueColor_ = true;
    std::uint32_t masks_[3] = {0, 0, 0};
    int bitsPerPixel_ = 32;
    std::map<std::uint32_t, std::uint32_t> allocated_;
};

}  // namespace TestSupport
