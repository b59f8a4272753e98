#include "platform/portal/PortalGlobalShortcuts.h"

#include "core/seam/Services.h"
#include "platform/portal/PortalRequest.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QMetaObject>

namespace Platform::Portal::Detail {

// One shortcut as the portal's a(sa{sv}) carries it: its id and its properties.
struct PortalShortcut {
    QString Id;
    QVariantMap Properties;
};

QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut) {
    argument.beginStructure();
    argument << shortcut.Id << shortcut.Properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut) {
    argument.beginStructure();
    argument >> shortcut.Id >> shortcut.Properties;
    argument.endStructure();
    return argument;
}

}  // namespace Platform::Portal::Detail

Q_DECLARE_METATYPE(Platform::Portal::Detail::PortalShortcut)

namespace Platform::Portal {

using Detail::PortalShortcut;
using KestrelMain::Failure;

namespace {

const QString GLOBAL_SHORTCUTS = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString CAPTURE = QStringLiteral("capture");
constexpr auto SESSION_DEADLINE = std::chrono::seconds(30);
// A desktop may ask its user which key to bind; give them time to choose.
constexpr auto BIND_DEADLINE = std::chrono::minutes(5);

QList<PortalShortcut> TheShortcut() {
    return {{CAPTURE,
             {{QStringLiteral("description"), QStringLiteral("Make a capture")},
              {QStringLiteral("preferred_trigger"), QStringLiteral("CTRL+f")}}}};
}

}  // namespace

struct PortalGlobalShortcuts::Answer {
    QString Session;  // empty when the portal bound nothing
    std::string Trigger;
    std::string Why;
};

PortalGlobalShortcuts::PortalGlobalShortcuts(Seam::HotKey& fallback) : fallback_(fallback) {
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<QList<PortalShortcut>>();
    // The portal sends a session's signals only to the connection that made the session.
    QDBusConnection bus = PortalBus();
    bus.connect(QLatin1String(PORTAL_SERVICE), QLatin1String(PORTAL_PATH), GLOBAL_SHORTCUTS,
                QStringLiteral("Activated"), this,
                SLOT(OnActivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
    bus.connect(QLatin1String(PORTAL_SERVICE), QLatin1String(PORTAL_PATH), GLOBAL_SHORTCUTS,
                QStringLiteral("Deactivated"), this,
                SLOT(OnDeactivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
}

// Waits for requests still open: they answer within their deadlines.
PortalGlobalShortcuts::~PortalGlobalShortcuts() = default;

KestrelMain::Status PortalGlobalShortcuts::Register(Seam::HotKeyAnswers& later) {
    requests_ = std::jthread([this, &later] {
        Answer answer;
        const auto refused = [&](const KestrelMain::Result<PortalAnswer>& reply) {
            if (!reply)
                answer.Why = reply.Error().Reason;
            else if (!reply.Value().Granted())
                answer.Why = PortalRefusal(reply.Value());
            return !answer.Why.empty();
        };
        // Some desktops (Plasma 5.27) bind the shortcuts the session is created with; the
        // others bind them when asked to.
        const QVariant shortcuts = QVariant::fromValue(TheShortcut());
        const auto created =
            CallPortal(GLOBAL_SHORTCUTS, QStringLiteral("CreateSession"), {},
                       {{QStringLiteral("session_handle_token"), NewSessionToken()},
                        {QStringLiteral("shortcuts"), shortcuts}},
                       SESSION_DEADLINE);
        if (!refused(created)) {
            const QString session =
                SessionHandle(created.Value().Results.value(QStringLiteral("session_handle")));
            const auto bound =
                CallPortal(GLOBAL_SHORTCUTS, QStringLiteral("BindShortcuts"),
                           {QVariant::fromValue(QDBusObjectPath(session)), shortcuts, QString()},
                           {}, BIND_DEADLINE);
            QList<PortalShortcut> given;
            if (bound)
                bound.Value().Results.value(QStringLiteral("shortcuts")).value<QDBusArgument>() >>
                    given;
            for (const PortalShortcut& shortcut : given) {
                const std::string trigger =
                    shortcut.Properties.value(QStringLiteral("trigger_description"))
                        .toString()
                        .toStdString();
                // GNOME 48.0's portal answers 2 for a shortcut it did bind (its success path
                // never sets the answer): a bound trigger in the results is the answer that
                // counts. A cancelled question (KDE's 1) carries none.
                if (shortcut.Id == CAPTURE && (bound.Value().Granted() || !trigger.empty())) {
                    answer.Session = session;
                    answer.Trigger = trigger;
                }
            }
            if (answer.Session.isEmpty() && !refused(bound))
                answer.Why = "the desktop bound no key to Kestrel's shortcut";
        }
        QMetaObject::invokeMethod(
            this, [this, answer, &later] { Answered(answer, later); }, Qt::QueuedConnection);
    });
    return std::nullopt;
}

void PortalGlobalShortcuts::Answered(const Answer& answer, Seam::HotKeyAnswers& later) {
    if (!answer.Session.isEmpty()) {
        session_ = answer.Session;
        // The desktop names the key it bound; one that does not bound what was asked.
        const std::string trigger = answer.Trigger.empty() ? "Ctrl-F" : answer.Trigger;
        if (Seam::ErrorReport* report = Seam::Installed().Errors)
            report->Note("Wayland: the hot key through the desktop portal, bound to " + trigger);
        later.HotKeyGranted(trigger);
        return;
    }
    fallenBack_ = true;
    if (auto failed = fallback_.Register(later)) {
        failed->Reason =
            "the desktop portal binds no shortcut (" + answer.Why + "); " + failed->Reason;
        later.HotKeyRefused(*failed);
    }
}

bool PortalGlobalShortcuts::PressPending() {
    return fallenBack_ ? fallback_.PressPending() : presses_.Pending();
}

bool PortalGlobalShortcuts::TakePress() {
    if (fallenBack_)
        return fallback_.TakePress();
    return presses_.Take();
}

void PortalGlobalShortcuts::Unregister() {
    if (fallenBack_) {
        fallback_.Unregister();
        return;
    }
    ClosePortalSession(session_);
    session_.clear();
    presses_.Clear();
}

void PortalGlobalShortcuts::OnActivated(const QDBusObjectPath& session, const QString& id,
                                        qulonglong, const QVariantMap&) {
    if (session_.isEmpty() || session.path() != session_ || id != CAPTURE)
        return;
    if (hold_.Press(PortalShortcutHold::Clock::now()))
        presses_.Add();
}

void PortalGlobalShortcuts::OnDeactivated(const QDBusObjectPath& session, const QString& id,
                                          qulonglong, const QVariantMap&) {
    if (session.path() == session_ && id == CAPTURE)
        hold_.Release();
}

}  // namespace Platform::Portal
