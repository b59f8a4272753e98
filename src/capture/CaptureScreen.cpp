#include "capture/CaptureScreen.h"

#include "core/AppState.h"

namespace Capture {

using KestrelMain::AppState;
using KestrelMain::Picture;

Platform::Result<Picture> CaptureScreen(const Platform::ScreenRect& primaryScreen) {
    return CaptureWindowArea(Platform::DesktopWindow(), 0, primaryScreen.X, primaryScreen.Y,
                             primaryScreen.Width, primaryScreen.Height);
}

Platform::Result<Picture> CaptureWindowArea(Platform::WindowId window, std::int16_t clientFlag,
                                            std::int32_t x, std::int32_t y, std::int32_t width,
                                            std::int32_t height) {
    auto image =
        Platform::GrabWindowArea(window, clientFlag != 0, Platform::ScreenRect{x, y, width, height},
                                 AppState.OutputWidth, AppState.OutputHeight);
    if (!image)
        return image.Error();
    return KestrelMain::CreateBitmapPicture(std::move(image.Value().Pixels),
                                            std::move(image.Value().Colors));
}

}  // namespace Capture
