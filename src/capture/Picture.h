// A captured picture: one bitmap at the screen's depth and, on palette screens, the
// palette it is drawn with. The picture owns both; they go when it goes.
#pragma once

#include "platform/ScreenGrab.h"

#include <optional>
#include <utility>

namespace Capture {

class Picture {
  public:
    Picture(Picture&&) = default;
    Picture& operator=(Picture&&) = default;

    const Platform::Bitmap& Pixels() const { return bitmap_; }
    const std::optional<Platform::Palette>& Colors() const { return palette_; }
    int Width() const { return bitmap_.Width; }
    int Height() const { return bitmap_.Height; }

  private:
    friend Picture CreateBitmapPicture(Platform::Bitmap bitmap,
                                       std::optional<Platform::Palette> palette);
    Picture(Platform::Bitmap bitmap, std::optional<Platform::Palette> palette)
        : bitmap_(std::move(bitmap)), palette_(std::move(palette)) {}

    Platform::Bitmap bitmap_;
    std::optional<Platform::Palette> palette_;
};

// Wraps a bitmap and its palette (none on true-colour screens) into a picture that takes
// ownership of both.
Picture CreateBitmapPicture(Platform::Bitmap bitmap, std::optional<Platform::Palette> palette);

}  // namespace Capture
