#include "platform/portal/PortalScreenshotGrab.h"

#include "core/FailureTexts.h"
#include "core/seam/Services.h"
#include "platform/portal/PortalRequest.h"

#include <QFile>
#include <QImage>
#include <QUrl>

namespace Platform::Portal {

using KestrelMain::Failure;
using KestrelMain::Result;

namespace {

const QString SCREENSHOT = QStringLiteral("org.freedesktop.portal.Screenshot");

// Long enough for a user to answer the desktop's question whether Kestrel may take
// screenshots, the first time; a screenshot itself takes a fraction of a second.
constexpr auto ANSWER_DEADLINE = std::chrono::seconds(60);

Failure GrabFailure(std::string reason) {
    return Failure{KestrelMain::CANNOT_READ_SCREEN, {}, std::move(reason)};
}

}  // namespace

PortalScreenshotGrab::PortalScreenshotGrab(std::function<std::optional<Seam::ScreenRect>()> desktop)
    : desktop_(std::move(desktop)) {}

std::optional<std::string> PortalScreenshotGrab::Unavailable() {
    const auto version = PortalVersion(SCREENSHOT);
    if (!version)
        return "the desktop portal offers no Screenshot (" + version.Error().Reason + ")";
    return std::nullopt;
}

KestrelMain::Status PortalScreenshotGrab::Start() {
    if (Seam::ErrorReport* report = Seam::Installed().Errors)
        report->Note("Wayland: the screen through the desktop portal's Screenshot");
    return std::nullopt;
}

Result<KestrelMain::Picture> PortalScreenshotGrab::GrabScaled(const Seam::ScreenRect& area,
                                                              int outputWidth, int outputHeight) {
    const auto answer = CallPortal(SCREENSHOT, QStringLiteral("Screenshot"), {QString()},
                                   {{QStringLiteral("interactive"), false}}, ANSWER_DEADLINE);
    if (!answer)
        return GrabFailure(answer.Error().Reason);
    if (!(*answer).Granted()) {
        refused_ = true;
        return Failure{KestrelMain::CAPTURE_NOT_ALLOWED, {}, PortalRefusal(*answer)};
    }
    const QUrl uri((*answer).Results.value(QStringLiteral("uri")).toString());
    if (!uri.isLocalFile())
        return GrabFailure("the desktop portal gave no file but \u201C" +
                           uri.toString().toStdString() + "\u201D");
    const QString file = uri.toLocalFile();
    QImage image(file);
    // Read or not, the file is Kestrel's to remove: a screenshot of the user's screen must
    // not stay behind in a shared folder.
    QFile::remove(file);
    if (image.isNull())
        return GrabFailure("the desktop portal's screenshot " + file.toStdString() +
                           " could not be read");
    image.convertTo(QImage::Format_RGB32);

    // A screenshot of the primary output alone, or of all outputs, the primary cut out.
    int left = 0;
    int top = 0;
    if (image.width() != area.Width || image.height() != area.Height) {
        const auto desktop = desktop_ ? desktop_() : std::nullopt;
        if (!desktop || image.width() != desktop->Width || image.height() != desktop->Height) {
            return GrabFailure("the desktop portal's screenshot is " +
                               std::to_string(image.width()) + " x " +
                               std::to_string(image.height()) +
                               " pixels, neither the primary output's nor the desktop's size");
        }
        left = area.X - desktop->X;
        top = area.Y - desktop->Y;
    }
    // The primary output's rectangle of the screenshot, as 32-bit XRGB pixels.
    return KestrelMain::ScalePicture(
        scaler_, KestrelMain::PixelLayout{}, area.Width, area.Height, outputWidth, outputHeight,
        image.constScanLine(top) + static_cast<std::size_t>(left) * 4, image.bytesPerLine());
}

}  // namespace Platform::Portal
