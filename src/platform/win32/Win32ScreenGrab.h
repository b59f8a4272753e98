// The scaled grab on Windows: GDI copies the screen in horizontal strips into one DIB
// section (about 1 MB, created once and kept between grabs with its memory DC), and each
// strip's rows are folded straight into the output by the core's area scaler, so no
// full-size copy of the screen is ever held. True colour is read as 32-bit pixels; on a
// 256-colour palette display the pixels are the system palette's indices, scaled by
// nearest neighbour, and the picture carries that palette.
#pragma once

#include "core/AreaScaler.h"
#include "core/seam/ScreenGrab.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Platform::Win32 {

class Win32ScreenGrab final : public Seam::ScreenGrab {
  public:
    // stripBytes bounds one strip; a strip is at least one row.
    explicit Win32ScreenGrab(std::size_t stripBytes = 1u << 20);
    ~Win32ScreenGrab();
    Win32ScreenGrab(const Win32ScreenGrab&) = delete;
    Win32ScreenGrab& operator=(const Win32ScreenGrab&) = delete;

    // GDI answers at once: ready from the start.
    KestrelMain::Status Start() override { return std::nullopt; }
    std::optional<std::string> NotReadyBecause() override { return std::nullopt; }

    KestrelMain::Result<KestrelMain::Picture> GrabScaled(const Seam::ScreenRect& area,
                                                         int outputWidth,
                                                         int outputHeight) override;

  private:
    class StripReader;

    KestrelMain::Status OpenDevice();
    // A DIB section of at least this size and kind selected into the memory DC.
    KestrelMain::Status EnsureStrip(int width, int rows, bool indexed);
    void ReleaseStrip();

    std::size_t stripBytes_;
    HDC screen_ = nullptr;  // GetDC(nullptr), released in the destructor
    HDC memory_ = nullptr;
    HBITMAP strip_ = nullptr;
    HGDIOBJ original_ = nullptr;  // the memory DC's own bitmap while strip_ is selected
    std::uint8_t* bits_ = nullptr;
    int stripWidth_ = 0;
    int stripRows_ = 0;
    bool stripIndexed_ = false;
    KestrelMain::AreaScaler scaler_;
};

}  // namespace Platform::Win32
