#include "core/FileName.h"

namespace KestrelMain {

std::string ComposeCaptureDirName(const std::string& basePath, const LocalDateTime& moment) {
    return basePath + "KESTREL_" + FormatDate(moment) + "_" + FormatTime(moment);
}

std::int64_t ScaleToImage(std::int64_t outputSize, std::int64_t pointer, std::int64_t screenSize) {
    if (screenSize <= 0)
        return 0;
    return outputSize * pointer / screenSize;
}

namespace {

std::string CoordinateText(std::optional<std::int64_t> coordinate) {
    return coordinate ? std::to_string(*coordinate) : UNKNOWN_COORDINATE;
}

}  // namespace

std::string ComposeCaptureFileName(const std::string& captureDir, std::int32_t count,
                                   const std::string& timeOfDay, std::optional<std::int64_t> imageX,
                                   std::optional<std::int64_t> imageY) {
    return captureDir + "/" + std::to_string(count) + "-" + timeOfDay + "-" +
           CoordinateText(imageX) + "-" + CoordinateText(imageY) + ".bmp";
}

}  // namespace KestrelMain
