#include "capture/Picture.h"

namespace Capture {

Picture CreateBitmapPicture(Platform::Bitmap bitmap, std::optional<Platform::Palette> palette) {
    return Picture(std::move(bitmap), std::move(palette));
}

}  // namespace Capture
