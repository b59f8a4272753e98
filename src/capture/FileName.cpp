#include "capture/FileName.h"

namespace Capture {

std::int64_t ScaleToImage(std::int64_t outputSize, std::int64_t pointer, std::int64_t screenSize) {
    if (screenSize <= 0)
        return 0;
    return outputSize * pointer / screenSize;
}

QString ComposeCaptureFileName(const QString& captureDir, std::int32_t count,
                               const QString& timeOfDay, std::int64_t imageX, std::int64_t imageY) {
    return captureDir + u'/' + QString::number(count) + u'-' + timeOfDay + u'-' +
           QString::number(imageX) + u'-' + QString::number(imageY) + QStringLiteral(".bmp");
}

}  // namespace Capture
