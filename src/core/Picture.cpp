#include "core/Picture.h"

namespace KestrelMain {

Picture CreateBitmapPicture(Bitmap bitmap, std::optional<Palette> palette) {
    return Picture(std::move(bitmap), std::move(palette));
}

}  // namespace KestrelMain
