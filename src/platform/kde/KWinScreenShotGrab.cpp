#include "platform/kde/KWinScreenShotGrab.h"

#include "core/FailureTexts.h"
#include "core/seam/Services.h"
#include "platform/posix/PosixErrors.h"
#include "platform/posix/PosixRead.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QImage>
#include <QVariantMap>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <future>
#include <vector>

namespace Platform::Kde {

using KestrelMain::Failure;
using KestrelMain::Result;

namespace {

constexpr char KWIN_SERVICE[] = "org.kde.KWin";
constexpr char SCREENSHOT_PATH[] = "/org/kde/KWin/ScreenShot2";
constexpr char SCREENSHOT_INTERFACE[] = "org.kde.KWin.ScreenShot2";
constexpr char NOT_AUTHORISED[] = "org.kde.KWin.ScreenShot2.Error.NoAuthorized";
constexpr char NO_SUCH_OUTPUT[] = "org.kde.KWin.ScreenShot2.Error.InvalidScreen";

// KWin takes a tenth to a third of a second for a 1920 x 1080 output on a busy machine
// without a graphics card; the deadlines leave room for far slower ones.
constexpr auto ANSWER_DEADLINE = std::chrono::seconds(5);
constexpr auto READ_DEADLINE = std::chrono::seconds(5);

Failure GrabFailure(std::string reason) {
    return Failure{KestrelMain::CANNOT_READ_SCREEN, {}, std::move(reason)};
}

struct PipeContents {
    std::vector<std::uint8_t> Bytes;
    std::string Error;  // empty when the writer closed its end
};

// Everything written into the pipe until the last writer closes it, read on a thread of its
// own: KWin writes the picture after it has answered, and a large picture would fill the
// pipe long before the answer could be read on the calling thread.
std::future<PipeContents> ReadToEnd(int fd) {
    return std::async(std::launch::async, [fd] {
        PipeContents contents;
        const auto end = std::chrono::steady_clock::now() + READ_DEADLINE;
        std::uint8_t chunk[65536];
        for (;;) {
            const ssize_t n = Posix::ReadBefore(fd, chunk, sizeof chunk, end);
            if (n < 0 && errno == ETIMEDOUT) {
                contents.Error =
                    "KWin wrote no picture within " + std::to_string(READ_DEADLINE.count()) + " s";
                break;
            }
            if (n < 0) {
                contents.Error = std::string("reading KWin's picture: ") + Posix::ErrnoText(errno);
                break;
            }
            if (n == 0)
                break;
            contents.Bytes.insert(contents.Bytes.end(), chunk, chunk + n);
        }
        close(fd);
        return contents;
    });
}

struct Capture {
    QDBusMessage Reply;
    PipeContents Contents;
};

// CaptureScreen of the named output into a fresh pipe: KWin's answer and what it wrote.
Result<Capture> CaptureScreen(const QString& output) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return GrabFailure("there is no session bus");
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0)
        return GrabFailure(std::string("cannot make a pipe: ") + Posix::ErrnoText(errno));
    std::future<PipeContents> contents = ReadToEnd(ends[0]);
    Capture capture;
    {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QLatin1String(KWIN_SERVICE), QLatin1String(SCREENSHOT_PATH),
            QLatin1String(SCREENSHOT_INTERFACE), QStringLiteral("CaptureScreen"));
        const QVariantMap options{{QStringLiteral("native-resolution"), true},
                                  {QStringLiteral("include-cursor"), false},
                                  {QStringLiteral("hide-caller-windows"), false}};
        call << output << options << QVariant::fromValue(QDBusUnixFileDescriptor(ends[1]));
        // The message keeps a copy of the write end until it goes; the reader sees the end
        // of the picture once KWin's copy is closed too.
        close(ends[1]);
        capture.Reply =
            bus.call(call, QDBus::Block,
                     static_cast<int>(std::chrono::milliseconds(ANSWER_DEADLINE).count()));
    }
    capture.Contents = contents.get();
    return capture;
}

}  // namespace

KWinScreenShotGrab::KWinScreenShotGrab(std::function<std::string()> primaryOutput)
    : primaryOutput_(std::move(primaryOutput)) {}

std::optional<std::string> KWinScreenShotGrab::Unavailable(bool& refused) {
    refused = false;
    // A capture of an output that does not exist: KWin checks the caller first, so the
    // answer says whether Kestrel may, without taking a picture.
    const auto probe = CaptureScreen(QString());
    if (!probe)
        return probe.Error().Reason;
    const QDBusMessage& reply = probe.Value().Reply;
    if (reply.type() != QDBusMessage::ErrorMessage ||
        reply.errorName() == QLatin1String(NO_SUCH_OUTPUT))
        return std::nullopt;
    if (reply.errorName() == QLatin1String(NOT_AUTHORISED)) {
        refused = true;
        return "KWin does not let this program take screenshots: no desktop entry whose Exec is "
               "this very file lists org.kde.KWin.ScreenShot2 in "
               "X-KDE-DBUS-Restricted-Interfaces (an installed Kestrel's does)";
    }
    return "KWin's screenshot interface is not there (" + reply.errorMessage().toStdString() + ")";
}

KestrelMain::Status KWinScreenShotGrab::Start() {
    shownOutput_ = primaryOutput_ ? primaryOutput_() : std::string();
    if (Seam::ErrorReport* report = Seam::Installed().Errors)
        report->Note("Wayland: the screen through KWin's screenshot interface, primary output " +
                     shownOutput_);
    return std::nullopt;
}

Result<KestrelMain::Picture> KWinScreenShotGrab::GrabScaled(const Seam::ScreenRect& area,
                                                            int outputWidth, int outputHeight) {
    const std::string output = primaryOutput_ ? primaryOutput_() : std::string();
    if (output.empty())
        return GrabFailure("the compositor names no primary output");
    // Said once a change, so a capture of another monitor than before is explained.
    if (output != shownOutput_) {
        shownOutput_ = output;
        if (Seam::ErrorReport* report = Seam::Installed().Errors)
            report->Note("Wayland: the primary output is now " + output);
    }
    auto capture = CaptureScreen(QString::fromStdString(output));
    if (!capture)
        return capture.Error();
    const QDBusMessage& reply = capture.Value().Reply;
    if (reply.type() == QDBusMessage::ErrorMessage)
        return GrabFailure("KWin answered: " + reply.errorMessage().toStdString());
    const PipeContents& contents = capture.Value().Contents;
    if (!contents.Error.empty())
        return GrabFailure(contents.Error);

    const auto results = qdbus_cast<QVariantMap>(reply.arguments().value(0));
    const int width = results.value(QStringLiteral("width")).toInt();
    const int height = results.value(QStringLiteral("height")).toInt();
    const qsizetype stride = results.value(QStringLiteral("stride")).toLongLong();
    const auto format =
        static_cast<QImage::Format>(results.value(QStringLiteral("format")).toUInt());
    if (width != area.Width || height != area.Height) {
        return GrabFailure("KWin's picture of " + output + " is " + std::to_string(width) + " x " +
                           std::to_string(height) + " pixels, not the primary output's size");
    }
    if (stride < qsizetype{width} * 4 ||
        contents.Bytes.size() < static_cast<std::size_t>(stride) * static_cast<std::size_t>(height))
        return GrabFailure("KWin's picture of " + output + " ended early");

    // The formats of 32 bits a pixel with blue first in memory are read as they are; any
    // other is converted once.
    QImage converted;
    const std::uint8_t* first = contents.Bytes.data();
    qsizetype rowBytes = stride;
    if (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32 &&
        format != QImage::Format_ARGB32_Premultiplied) {
        converted =
            QImage(first, width, height, stride, format).convertToFormat(QImage::Format_RGB32);
        if (converted.isNull())
            return GrabFailure("KWin's picture has a format Kestrel cannot read (" +
                               std::to_string(static_cast<int>(format)) + ")");
        first = converted.constBits();
        rowBytes = converted.bytesPerLine();
    }
    return KestrelMain::ScalePicture(scaler_, KestrelMain::PixelLayout{}, width, height,
                                     outputWidth, outputHeight, first, rowBytes);
}

}  // namespace Platform::Kde
