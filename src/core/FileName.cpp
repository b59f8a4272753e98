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

std::string ComposeCaptureFileName(const std::string& captureDir, std::int32_t count,
                                   const std::string& timeOfDay, std::int64_t imageX,
                                   std::int64_t imageY) {
    return captureDir + "/" + std::to_string(count) + "-" + timeOfDay + "-" +
           std::to_string(imageX) + "-" + std::to_string(imageY) + ".bmp";
}

}  // namespace KestrelMain
