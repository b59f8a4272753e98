#include "support/FakeScreen.h"

#include <cstring>
#include <utility>

namespace TestSupport {

namespace {

// The rows of one rectangle of the desktop, as the scaler asks for them.
class DesktopRows final : public KestrelMain::RowSource {
  public:
    DesktopRows(const std::vector<std::uint32_t>& pixels, int desktopWidth,
                const Seam::ScreenRect& area)
        : pixels_(pixels), desktopWidth_(desktopWidth), area_(area) {}

    const std::uint8_t* Row(int y) override {
        const std::size_t first = static_cast<std::size_t>(area_.Y + y) * desktopWidth_ + area_.X;
        return reinterpret_cast<const std::uint8_t*>(pixels_.data() + first);
    }

  private:
    const std::vector<std::uint32_t>& pixels_;
    int desktopWidth_;
    Seam::ScreenRect area_;
};

bool LittleEndian() {
    const std::uint32_t one = 1;
    std::uint8_t first = 0;
    std::memcpy(&first, &one, 1);
    return first == 1;
}

}  // namespace

FakeScreen::FakeScreen(int desktopWidth, int desktopHeight)
    : width_(desktopWidth),
      height_(desktopHeight),
      pixels_(static_cast<std::size_t>(desktopWidth) * desktopHeight, 0),
      primary_{0, 0, desktopWidth, desktopHeight} {}

void FakeScreen::SetPixel(int x, int y, std::uint32_t rgb) {
    pixels_[static_cast<std::size_t>(y) * width_ + x] = rgb & 0xffffffu;
}

std::uint32_t FakeScreen::Pixel(int x, int y) const {
    return pixels_[static_cast<std::size_t>(y) * width_ + x];
}

KestrelMain::Result<Seam::ScreenRect> FakeScreen::ReadPrimaryScreen() {
    if (screenFailure_)
        return *screenFailure_;
    return primary_;
}

KestrelMain::Result<Seam::PointerReading> FakeScreen::ReadPointer(
    const Seam::ScreenRect& primaryScreen) {
    if (pointerFailure_)
        return *pointerFailure_;
    if (pointerUnknown_)
        return Seam::PointerReading::Unknown(*pointerUnknown_);
    return Seam::PointerReading::At(pointerX_ - primaryScreen.X, pointerY_ - primaryScreen.Y);
}

KestrelMain::Result<KestrelMain::Picture> FakeScreen::GrabScaled(const Seam::ScreenRect& area,
                                                                 int outputWidth,
                                                                 int outputHeight) {
    ++grabs_;
    lastGrabbed_ = area;
    if (grabFailure_)
        return *grabFailure_;
    if (!changes_.empty()) {
        primary_ = changes_.front();
        changes_.erase(changes_.begin());
        return KestrelMain::Failure{"Cannot read the screen", {}, "BadMatch"};
    }
    if (area.X < 0 || area.Y < 0 || area.X + area.Width > width_ ||
        area.Y + area.Height > height_) {
        return KestrelMain::Failure{"Cannot read the screen", {}, "outside the desktop"};
    }
    KestrelMain::PixelLayout layout;  // depth 24 in 32-bit pixels
    layout.MsbFirst = !LittleEndian();
    if (auto failed = scaler_.Prepare(layout, area.Width, area.Height, outputWidth, outputHeight))
        return *failed;
    auto bitmap = scaler_.AllocateOutput(outputWidth, outputHeight);
    if (!bitmap)
        return bitmap.Error();
    DesktopRows rows(pixels_, width_, area);
    if (!scaler_.Run(rows, bitmap.Value()))
        return KestrelMain::Failure{"Cannot read the screen", {}, "a row could not be read"};
    return KestrelMain::CreateBitmapPicture(std::move(bitmap.Value()), std::nullopt);
}

}  // namespace TestSupport
