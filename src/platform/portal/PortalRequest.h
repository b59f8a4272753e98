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

// The portal's numbers, named as its interfaces define them. A Response's code is kept as
// the portal sent it (PortalAnswer::Code), so that one outside these still reads as itself.
enum class Response : unsigned { Granted = 0, Cancelled = 1, Ended = 2 };
enum class SourceType : unsigned { Monitor = 1, Window = 2, Virtual = 4 };
enum class CursorMode : unsigned { Hidden = 1, Embedded = 2, Metadata = 4 };
enum class PersistMode : unsigned { None = 0, WhileRunning = 1, UntilRevoked = 2 };

template <typename Named>
constexpr unsigned Bits(Named value) {
    return static_cast<unsigned>(value);
}

struct PortalAnswer {
    unsigned Code = Bits(Response::Ended);
    QVariantMap Results;

    bool Granted() const { return Code == Bits(Response::Granted); }
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

// A property of one of the portal's interfaces, or why it cannot be read.
KestrelMain::Result<QVariant> PortalProperty(const QString& interface, const QString& name);

// The version the portal gives for an interface, or why it has none.
KestrelMain::Result<unsigned> PortalVersion(const QString& interface);

// A session's handle out of a reply: an object path, or from some portals a string.
QString SessionHandle(const QVariant& value);

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
