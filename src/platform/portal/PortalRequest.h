// One request to the desktop portal (org.freedesktop.portal.Desktop), waited for with a
// deadline. A portal method answers at once with a request object; its result comes later
// in that object's Response signal, perhaps after a dialog. Responses are received on a
// thread of its own, so the caller waits without running the program's event dispatch:
// no timer tick or key press is handled in the middle of a capture, and no second request
// can start while one is open.
//
// Kestrel listens for all its Responses at once, from the first use on (PortalVersion, at
// start-up): Qt holds the bus connection's lock while it handles a call made to Kestrel
// (its capture action), and starting to listen takes that lock, so a capture asked for
// that way could not listen for its own request's answer.
#pragma once

#include "core/Failure.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <optional>

namespace Platform::Portal {

inline constexpr char PORTAL_SERVICE[] = "org.freedesktop.portal.Desktop";
inline constexpr char PORTAL_PATH[] = "/org/freedesktop/portal/desktop";

// The Response's code: 0 granted, 1 cancelled by the user, 2 ended otherwise.
struct PortalAnswer {
    unsigned Code = 2;
    QVariantMap Results;
};

// Kestrel's own connection to the session bus, which carries all its portal traffic. The
// portal knows a program by the app id registered on the connection before its first method
// call there, and Qt's own connection is not Kestrel's to register: Qt's platform theme asks
// the portal on it early, and newer Qt registers it itself.
QDBusConnection PortalBus();

// A session_handle_token for each new portal session (a screen cast, the shortcuts, a screen
// cast asked for again): portals before 1.21 name a session after its token alone, and a
// second session under a token in use fails and takes the first one down with it.
QString NewSessionToken();

// Runs `work` on the main thread, from the event dispatch: notes and the error box are the
// window's, and a note made before the services are installed waits for them.
void OnMainThread(std::function<void()> work);

// The version the portal gives for an interface, or why it has none.
KestrelMain::Result<unsigned> PortalVersion(const QString& interface);

// Calls `method` of the portal's `interface` with `arguments` followed by `options`, to
// which a fresh handle_token is added, and waits up to `deadline` for the Response.
KestrelMain::Result<PortalAnswer> CallPortal(const QString& interface, const QString& method,
                                             const QList<QVariant>& arguments, QVariantMap options,
                                             std::chrono::milliseconds deadline);

// Ends a portal session (a screen cast, a set of shortcuts) without waiting; nothing when
// `session` is empty.
void ClosePortalSession(const QString& session);

// Why the portal answered as it did, for the user: "the request was cancelled".
std::string PortalRefusal(const PortalAnswer& answer);

// The Responses to Kestrel's requests, kept by request path until taken; received on the
// portal thread.
class PortalResponses final : public QObject {
    Q_OBJECT
  public:
    // Listening, once; later calls answer the same.
    static PortalResponses& Listening();

    // Waits for the answer at `path`, and forgets it.
    std::optional<PortalAnswer> Take(const QString& path, std::chrono::milliseconds deadline);
    void Forget(const QString& path);

  public Q_SLOTS:
    void Receive(uint code, const QVariantMap& results, const QDBusMessage& message);

  private:
    std::mutex mutex_;
    std::condition_variable answered_;
    std::map<QString, PortalAnswer> answers_;
};

}  // namespace Platform::Portal
