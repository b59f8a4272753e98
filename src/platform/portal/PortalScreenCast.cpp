#include "platform/portal/PortalScreenCast.h"

#include "core/FailureTexts.h"
#include "core/seam/Services.h"
#include "platform/portal/PortalPipeWire.h"
#include "platform/portal/PortalRequest.h"
#include "platform/portal/PortalRestoreToken.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>

#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <thread>

namespace Platform::Portal {

using KestrelMain::Failure;
using KestrelMain::Result;
using KestrelMain::Status;

namespace {

const QString SCREENCAST = QStringLiteral("org.freedesktop.portal.ScreenCast");

constexpr auto CALL_DEADLINE = std::chrono::seconds(30);
// The portal's chooser waits for the user; past this the request is withdrawn.
constexpr auto CHOOSER_DEADLINE = std::chrono::minutes(10);

// What the portal granted.
struct Grant {
    std::uint32_t Node = 0;
    Seam::ScreenRect Monitor;
    int PipeWire = -1;
    QString Session;
    bool PointerMetadata = false;
};

std::pair<int, int> Pair(const QVariant& value) {
    int first = 0;
    int second = 0;
    if (value.canConvert<QDBusArgument>()) {
        const auto argument = value.value<QDBusArgument>();
        argument.beginStructure();
        argument >> first >> second;
        argument.endStructure();
    }
    return {first, second};
}

// The one stream of the granted monitor: its PipeWire node, where it lies on the desktop and
// its size.
std::optional<std::pair<std::uint32_t, Seam::ScreenRect>> FirstStream(const QVariant& streams) {
    if (!streams.canConvert<QDBusArgument>())
        return std::nullopt;
    const auto argument = streams.value<QDBusArgument>();
    std::optional<std::pair<std::uint32_t, Seam::ScreenRect>> first;
    argument.beginArray();
    while (!argument.atEnd()) {
        uint node = 0;
        QVariantMap properties;
        argument.beginStructure();
        argument >> node >> properties;
        argument.endStructure();
        if (first)
            continue;
        const auto [x, y] = Pair(properties.value(QStringLiteral("position")));
        const auto [width, height] = Pair(properties.value(QStringLiteral("size")));
        first = std::make_pair(node, Seam::ScreenRect{x, y, width, height});
    }
    argument.endArray();
    return first;
}

// The ways the portal can show the pointer; none when it cannot say.
unsigned CursorModes() {
    const auto modes = PortalProperty(SCREENCAST, QStringLiteral("AvailableCursorModes"));
    return modes ? (*modes).toUInt() : 0;
}

// One answer of the portal: its results, or the refusal or failure to report.
Result<QVariantMap> Ask(const QString& method, const QList<QVariant>& arguments,
                        const QVariantMap& options, std::chrono::milliseconds deadline) {
    const auto answer = CallPortal(SCREENCAST, method, arguments, options, deadline);
    if (!answer)
        return answer.Error();
    if (!(*answer).Granted())
        return Failure{KestrelMain::CAPTURE_NOT_ALLOWED, {}, PortalRefusal(*answer)};
    return (*answer).Results;
}

// CreateSession, SelectSources (one monitor, the pointer as metadata where offered, the grant
// remembered), Start (the chooser, unless the token restores the grant) and the stream's
// PipeWire remote.
Result<Grant> Negotiate(const std::string& tokenFile) {
    Grant grant;
    const auto created =
        Ask(QStringLiteral("CreateSession"), {},
            {{QStringLiteral("session_handle_token"), NewSessionToken()}}, CALL_DEADLINE);
    if (!created)
        return created.Error();
    grant.Session = SessionHandle((*created).value(QStringLiteral("session_handle")));
    const QDBusObjectPath session(grant.Session);
    // A session that grants nothing is ended, so that the next request starts afresh.
    const auto ending = [&](Failure why) {
        ClosePortalSession(grant.Session);
        return why;
    };

    grant.PointerMetadata = (CursorModes() & Bits(CursorMode::Metadata)) != 0;
    QVariantMap sources{{QStringLiteral("types"), Bits(SourceType::Monitor)},
                        {QStringLiteral("multiple"), false},
                        {QStringLiteral("cursor_mode"),
                         Bits(grant.PointerMetadata ? CursorMode::Metadata : CursorMode::Hidden)},
                        {QStringLiteral("persist_mode"), Bits(PersistMode::UntilRevoked)}};
    if (const std::string token = ReadRestoreToken(tokenFile); !token.empty())
        sources.insert(QStringLiteral("restore_token"), QString::fromStdString(token));
    const auto selected = Ask(QStringLiteral("SelectSources"), {QVariant::fromValue(session)},
                              sources, CALL_DEADLINE);
    if (!selected)
        return ending(selected.Error());

    const auto started = Ask(QStringLiteral("Start"), {QVariant::fromValue(session), QString()}, {},
                             CHOOSER_DEADLINE);
    if (!started)
        return ending(started.Error());
    const auto stream = FirstStream((*started).value(QStringLiteral("streams")));
    if (!stream)
        return ending(
            Failure{KestrelMain::CAPTURE_NOT_ALLOWED, {}, "the portal granted no monitor"});
    grant.Node = stream->first;
    grant.Monitor = stream->second;
    // Each start hands out a new token; the old one is spent.
    const QString token = (*started).value(QStringLiteral("restore_token")).toString();
    if (!token.isEmpty()) {
        if (auto unsaved = SaveRestoreToken(tokenFile, token.toStdString())) {
            OnMainThread([note = unsaved->Text()] { Seam::Installed().Errors->Note(note); });
        }
    }

    QDBusMessage open =
        QDBusMessage::createMethodCall(QLatin1String(PORTAL_SERVICE), QLatin1String(PORTAL_PATH),
                                       SCREENCAST, QStringLiteral("OpenPipeWireRemote"));
    open << QVariant::fromValue(session) << QVariantMap();
    const QDBusMessage reply = PortalBus().call(open, QDBus::Block);
    const auto fd = reply.arguments().value(0).value<QDBusUnixFileDescriptor>();
    if (reply.type() == QDBusMessage::ErrorMessage || !fd.isValid()) {
        return ending(
            Failure{KestrelMain::CANNOT_READ_SCREEN,
                    {},
                    "the portal opened no PipeWire remote: " + reply.errorMessage().toStdString()});
    }
    grant.PipeWire = dup(fd.fileDescriptor());
    return grant;
}

}  // namespace

struct PortalScreenCast::Shared {
    enum class Phase { Asking, Streaming, Refused };

    std::string TokenFile;
    std::mutex Mutex;
    Phase Now = Phase::Asking;
    Seam::ScreenRect Monitor;
    QString Session;
    KestrelPwStream* Stream = nullptr;

    // The refusal, said once: in the error box, from the event dispatch.
    void Refuse(const Failure& why) {
        {
            std::lock_guard lock(Mutex);
            Now = Phase::Refused;
        }
        OnMainThread([why] { Seam::Installed().Errors->Report(why); });
    }
};

namespace {

void SetUp(const std::shared_ptr<PortalScreenCast::Shared>& shared) {
    auto grant = Negotiate(shared->TokenFile);
    if (!grant) {
        shared->Refuse(grant.Error());
        return;
    }
    char error[256] = "";
    // The screen is ready with its first picture: the loop is woken for captures that wait.
    const auto pictured = [](void*) { OnMainThread([] {}); };
    KestrelPwStream* stream =
        KestrelPwOpen((*grant).PipeWire, (*grant).Node, pictured, nullptr, error, sizeof error);
    if (stream == nullptr) {
        ClosePortalSession((*grant).Session);
        shared->Refuse(Failure{KestrelMain::CANNOT_READ_SCREEN, {}, error});
        return;
    }
    const Seam::ScreenRect monitor = (*grant).Monitor;
    const bool pointer = (*grant).PointerMetadata;
    {
        std::lock_guard lock(shared->Mutex);
        shared->Stream = stream;
        shared->Monitor = monitor;
        shared->Session = (*grant).Session;
        shared->Now = PortalScreenCast::Shared::Phase::Streaming;
    }
    OnMainThread([monitor, pointer] {
        Seam::Installed().Errors->Note(
            "Wayland: the screen granted through the ScreenCast portal, " +
            std::to_string(monitor.Width) + " x " + std::to_string(monitor.Height) + " pixels at " +
            std::to_string(monitor.X) + "," + std::to_string(monitor.Y) +
            (pointer ? ", the pointer with it" : ", without the pointer"));
    });
}

struct Scaling {
    KestrelMain::AreaScaler* Scaler;
    int OutputWidth;
    int OutputHeight;
    std::optional<Result<KestrelMain::Picture>> Picture;
};

int ScaleFrame(const KestrelPwFrame* frame, void* data) {
    auto& scaling = *static_cast<Scaling*>(data);
    KestrelMain::PixelLayout layout;
    layout.RedMask = 0xffu << frame->RedShift;
    layout.GreenMask = 0xffu << frame->GreenShift;
    layout.BlueMask = 0xffu << frame->BlueShift;
    scaling.Picture = KestrelMain::ScalePicture(*scaling.Scaler, layout, frame->Width,
                                                frame->Height, scaling.OutputWidth,
                                                scaling.OutputHeight, frame->Pixels, frame->Stride);
    return 0;
}

}  // namespace

PortalScreenCast::PortalScreenCast(std::string tokenFile, WhenShown whenShown)
    : whenShown_(std::move(whenShown)), shared_(std::make_shared<Shared>()) {
    shared_->TokenFile = std::move(tokenFile);
}

// The set-up thread holds the shared part itself, so it may outlive this.
PortalScreenCast::~PortalScreenCast() {
    std::lock_guard lock(shared_->Mutex);
    KestrelPwClose(shared_->Stream);
    shared_->Stream = nullptr;
}

std::optional<std::string> PortalScreenCast::Unavailable() {
    const auto version = PortalVersion(SCREENCAST);
    if (!version)
        return "the desktop portal offers no ScreenCast (" + version.Error().Reason + ")";
    if (*version < 4)
        return "the desktop portal's ScreenCast (version " + std::to_string(*version) +
               ") cannot remember a grant";
    return std::nullopt;
}

std::string PortalScreenCast::DefaultTokenFile() {
    const char* state = std::getenv("XDG_STATE_HOME");
    const char* home = std::getenv("HOME");
    const std::string base = state != nullptr && *state == '/'
                                 ? std::string(state)
                                 : std::string(home != nullptr ? home : "") + "/.local/state";
    return base + "/kestrel/screencast-restore-token";
}

void PortalScreenCast::Ask() {
    std::thread([shared = shared_] { SetUp(shared); }).detach();
}

Status PortalScreenCast::Start() {
    Seam::Installed().Errors->Note(
        "Wayland: the screen through the ScreenCast portal, asking for it");
    if (whenShown_)
        whenShown_([this] { Ask(); });
    else
        Ask();
    return std::nullopt;
}

bool PortalScreenCast::Refused() {
    std::unique_lock lock(shared_->Mutex);
    if (shared_->Now == Shared::Phase::Streaming) {
        char why[256] = "";
        if (KestrelPwState(shared_->Stream, why, sizeof why) < 0) {
            KestrelPwClose(shared_->Stream);
            shared_->Stream = nullptr;
            ClosePortalSession(shared_->Session);
            lock.unlock();
            shared_->Refuse(Failure{"Kestrel can no longer capture the screen", {}, why});
            return true;
        }
    }
    return shared_->Now == Shared::Phase::Refused;
}

bool PortalScreenCast::AskAgain() {
    {
        std::lock_guard lock(shared_->Mutex);
        if (shared_->Now != Shared::Phase::Refused)
            return false;
        shared_->Now = Shared::Phase::Asking;
    }
    Ask();
    return true;
}

std::optional<std::string> PortalScreenCast::NotReadyBecause() {
    std::lock_guard lock(shared_->Mutex);
    if (shared_->Now == Shared::Phase::Asking)
        return "the desktop has not yet granted Kestrel the screen";
    char why[256] = "";
    if (shared_->Stream == nullptr || KestrelPwState(shared_->Stream, why, sizeof why) == 0)
        return "the screen's stream is still being set up";
    // Captures asked for before it would only fail: the timer's first ticks after the grant.
    if (KestrelPwState(shared_->Stream, why, sizeof why) > 0 && !KestrelPwPictured(shared_->Stream))
        return "the screen's stream has sent no picture yet";
    return std::nullopt;
}

Result<Seam::ScreenRect> PortalScreenCast::ReadPrimaryScreen() {
    std::lock_guard lock(shared_->Mutex);
    if (shared_->Now != Shared::Phase::Streaming)
        return Failure{"Cannot find the primary screen", {}, "the desktop granted no monitor"};
    // The monitor's size as the stream sends it now: a new mode renegotiates the stream.
    Seam::ScreenRect monitor = shared_->Monitor;
    if (shared_->Stream != nullptr)
        KestrelPwSize(shared_->Stream, &monitor.Width, &monitor.Height);
    return monitor;
}

Result<Seam::PointerReading> PortalScreenCast::ReadPointer(const Seam::ScreenRect&) {
    std::lock_guard lock(shared_->Mutex);
    int x = 0;
    int y = 0;
    if (shared_->Stream != nullptr && KestrelPwPointer(shared_->Stream, &x, &y))
        return Seam::PointerReading::At(x, y);
    if (shared_->Stream != nullptr && !KestrelPwSendsPointer(shared_->Stream))
        return Seam::PointerReading::Unknown("the desktop sends the screen without the pointer");
    return Seam::PointerReading::Unknown(
        "the desktop has not said that the pointer is on the monitor");
}

Result<KestrelMain::Picture> PortalScreenCast::GrabScaled(const Seam::ScreenRect&, int outputWidth,
                                                          int outputHeight) {
    std::lock_guard lock(shared_->Mutex);
    if (shared_->Stream == nullptr)
        return Failure{KestrelMain::CANNOT_READ_SCREEN, {}, "the desktop granted no monitor"};
    Scaling scaling{&scaler_, outputWidth, outputHeight, std::nullopt};
    if (KestrelPwWithFrame(shared_->Stream, ScaleFrame, &scaling) < 0 || !scaling.Picture)
        return Failure{
            KestrelMain::CANNOT_READ_SCREEN, {}, "the screen's stream has sent no picture yet"};
    return std::move(*scaling.Picture);
}

}  // namespace Platform::Portal
