// A captured picture: one bitmap at the screen's depth and, on palette screens, the
// palette it is drawn with. The picture owns both; they go when it goes.
#pragma once

#include "core/Bitmap.h"

#include <optional>
#include <utility>

namespace KestrelMain {

class Picture {
  public:
    Picture(Picture&&) = default;
    Picture& operator=(Picture&&) = default;

    const Bitmap& Pixels() const { return bitmap_; }
    const std::optional<Palette>& Colors() const { return palette_; }
    int Width() const { return bitmap_.Width; }
    int Height() const { return bitmap_.Height; }

  private:
    friend Picture CreateBitmapPicture(Bitmap bitmap, std::optional<Palette> palette);
    Picture(Bitmap bitmap, std::optional<Palette> palette)
        : bitmap_(std::move(bitmap)), palette_(std::move(palette)) {}

    Bitmap bitmap_;
    std::optional<Palette> palette_;
};

// Wraps a bitmap and its palette (none on true-colour screens) into a picture that takes
// ownership of both.
Picture CreateBitmapPicture(Bitmap bitmap, std::optional<Palette> palette);

}  // namespace KestrelMain
