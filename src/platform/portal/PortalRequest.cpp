#include "platform/portal/PortalRequest.h"

#include "core/seam/Services.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QThread>

#include <atomic>

namespace Platform::Portal {

using KestrelMain::Failure;

namespace {

constexpr char REQUEST_INTERFACE[] = "org.freedesktop.portal.Request";
// Asked at start-up, before the window shows: a portal that is slow to start (the bus
// starts it and its backends on demand) is not waited for long.
constexpr int START_DEADLINE_MS = 10000;

// Lives as long as the program: Responses are received here while the main thread waits.
QThread& ResponseThread() {
    static QThread* thread = [] {
        auto* started = new QThread;
        started->setObjectName(QStringLiteral("kestrel-portal"));
        started->start();
        return started;
    }();
    return *thread;
}

// The request object's path is known before the call, so the Response cannot come before
// Kestrel listens for it: .../request/SENDER/TOKEN, the sender's unique name without its
// colon and with its dots as underscores.
QString RequestPath(const QDBusConnection& bus, const QString& token) {
    QString sender = bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return QStringLiteral("%1/request/%2/%3").arg(QLatin1String(PORTAL_PATH), sender, token);
}

Failure Unreachable(std::string reason) {
    return Failure{"Cannot reach the desktop portal", {}, std::move(reason)};
}

// Kestrel's app id (its desktop entry's name) on the portal's registry, which portals from
// 1.19 on have. Without it newer portals, and GNOME on any, bind Kestrel no shortcut. The
// portal takes an id only with its desktop entry installed, which is said; an older portal
// without the registry, a connection that has its id already or a portal out of reach are
// not: the calls that follow go on without it, and say their own failures.
void RegisterAppId(const QDBusConnection& bus) {
    const QString appId = QGuiApplication::desktopFileName();
    if (appId.isEmpty())
        return;
    QDBusMessage reg = QDBusMessage::createMethodCall(
        QLatin1String(PORTAL_SERVICE), QLatin1String(PORTAL_PATH),
        QStringLiteral("org.freedesktop.host.portal.Registry"), QStringLiteral("Register"));
    reg << appId << QVariantMap();
    const QDBusMessage reply = bus.call(reg, QDBus::Block, START_DEADLINE_MS);
    if (reply.type() != QDBusMessage::ErrorMessage ||
        !reply.errorMessage().contains(QStringLiteral("App info not found")))
        return;
    OnMainThread([entry = appId.toStdString() + ".desktop"] {
        if (Seam::ErrorReport* report = Seam::Installed().Errors)
            report->Note(
                "Wayland: the desktop portal cannot tell Kestrel from other programs: no " + entry +
                " is installed; a desktop may refuse it the hot key");
    });
}

// The portal connection, its app id registered once, before its first method call.
QDBusConnection RegisteredBus() {
    static const QDBusConnection bus = [] {
        QDBusConnection opened = PortalBus();
        if (opened.isConnected())
            RegisterAppId(opened);
        return opened;
    }();
    return bus;
}

}  // namespace

QDBusConnection PortalBus() {
    static const QDBusConnection bus = QDBusConnection::connectToBus(
        QDBusConnection::SessionBus, QStringLiteral("kestrel-portal"));
    return bus;
}

QString NewSessionToken() {
    static std::atomic<unsigned> sessions{0};
    return QStringLiteral("kestrel_session%1").arg(++sessions);
}

void OnMainThread(std::function<void()> work) {
    if (QCoreApplication* application = QCoreApplication::instance())
        QMetaObject::invokeMethod(application, std::move(work), Qt::QueuedConnection);
}

PortalResponses& PortalResponses::Listening() {
    static PortalResponses* responses = [] {
        auto* made = new PortalResponses;
        made->moveToThread(&ResponseThread());
        // Any path: each request has its own object.
        PortalBus().connect(QLatin1String(PORTAL_SERVICE), QString(),
                            QLatin1String(REQUEST_INTERFACE), QStringLiteral("Response"), made,
                            SLOT(Receive(uint, QVariantMap, QDBusMessage)));
        return made;
    }();
    return *responses;
}

std::optional<PortalAnswer> PortalResponses::Take(const QString& path,
                                                  std::chrono::milliseconds deadline) {
    std::unique_lock lock(mutex_);
    answered_.wait_for(lock, deadline, [&] { return answers_.count(path) != 0; });
    const auto found = answers_.find(path);
    if (found == answers_.end())
        return std::nullopt;
    const PortalAnswer answer = found->second;
    answers_.erase(found);
    return answer;
}

void PortalResponses::Forget(const QString& path) {
    std::lock_guard lock(mutex_);
    answers_.erase(path);
}

void PortalResponses::Receive(uint code, const QVariantMap& results, const QDBusMessage& message) {
    {
        std::lock_guard lock(mutex_);
        answers_[message.path()] = PortalAnswer{code, results};
    }
    answered_.notify_all();
}

KestrelMain::Result<QVariant> PortalProperty(const QString& interface, const QString& name) {
    QDBusConnection bus = RegisteredBus();
    if (!bus.isConnected())
        return Unreachable("there is no session bus");
    PortalResponses::Listening();
    QDBusMessage get = QDBusMessage::createMethodCall(
        QLatin1String(PORTAL_SERVICE), QLatin1String(PORTAL_PATH),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << interface << name;
    const QDBusMessage reply = bus.call(get, QDBus::Block, START_DEADLINE_MS);
    if (reply.type() == QDBusMessage::ErrorMessage)
        return Unreachable(reply.errorMessage().toStdString());
    return reply.arguments().value(0).value<QDBusVariant>().variant();
}

KestrelMain::Result<unsigned> PortalVersion(const QString& interface) {
    const auto version = PortalProperty(interface, QStringLiteral("version"));
    if (!version)
        return version.Error();
    return (*version).toUInt();
}

QString SessionHandle(const QVariant& value) {
    if (value.canConvert<QDBusObjectPath>())
        return value.value<QDBusObjectPath>().path();
    return value.toString();
}

KestrelMain::Result<PortalAnswer> CallPortal(const QString& interface, const QString& method,
                                             const QList<QVariant>& arguments, QVariantMap options,
                                             std::chrono::milliseconds deadline) {
    static std::atomic<unsigned> requests{0};
    QDBusConnection bus = RegisteredBus();
    if (!bus.isConnected())
        return Unreachable("there is no session bus");
    PortalResponses& responses = PortalResponses::Listening();
    const QString token = QStringLiteral("kestrel%1").arg(++requests);
    options.insert(QStringLiteral("handle_token"), token);
    QDBusMessage call = QDBusMessage::createMethodCall(
        QLatin1String(PORTAL_SERVICE), QLatin1String(PORTAL_PATH), interface, method);
    call.setArguments(QList<QVariant>(arguments) << options);
    const QDBusMessage reply = bus.call(call, QDBus::Block, static_cast<int>(deadline.count()));
    if (reply.type() == QDBusMessage::ErrorMessage)
        return Unreachable(reply.errorMessage().toStdString());
    // The request object's path, as the portal named it (older portals ignore the token).
    QString path = reply.arguments().value(0).value<QDBusObjectPath>().path();
    if (path.isEmpty())
        path = RequestPath(bus, token);
    const auto answer = responses.Take(path, deadline);
    if (!answer) {
        // Withdrawn, so that no dialog of it stays on screen with nobody waiting; an answer
        // that comes after all is dropped.
        bus.call(QDBusMessage::createMethodCall(QLatin1String(PORTAL_SERVICE), path,
                                                QLatin1String(REQUEST_INTERFACE),
                                                QStringLiteral("Close")),
                 QDBus::NoBlock);
        responses.Forget(path);
        return Unreachable("the desktop did not answer within " +
                           std::to_string(deadline.count() / 1000) + " s");
    }
    return *answer;
}

void ClosePortalSession(const QString& session) {
    if (session.isEmpty())
        return;
    PortalBus().call(QDBusMessage::createMethodCall(
                         QLatin1String(PORTAL_SERVICE), session,
                         QStringLiteral("org.freedesktop.portal.Session"), QStringLiteral("Close")),
                     QDBus::NoBlock);
}

std::string PortalRefusal(const PortalAnswer& answer) {
    switch (static_cast<Response>(answer.Code)) {
        case Response::Granted:
            return "it was granted";
        case Response::Cancelled:
            return "the request was cancelled";
        default:
            return "the portal ended the request (response " + std::to_string(answer.Code) + ")";
    }
}

}  // namespace Platform::Portal
