// One request to the desktop portal (org.freedesktop.portal.Desktop), waited for with a
// deadline. A portal method answers at once with a request object; its result comes later
// in that object's Response signal, perhaps after a dialog. The signal is received on a
// thread of its own, so the caller waits without running the program's event dispatch:
// no timer tick or key press is handled in the middle of a capture, and no second request
// can start while one is open.
#pragma once

#include "core/Failure.h"

#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <chrono>
#include <condition_variable>
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

// The version the portal gives for an interface, or why it has none.
KestrelMain::Result<unsigned> PortalVersion(const QString& interface);

// Calls `method` of the portal's `interface` with `arguments` followed by `options`, to
// which a fresh handle_token is added, and waits up to `deadline` for the Response.
KestrelMain::Result<PortalAnswer> CallPortal(const QString& interface, const QString& method,
                                             const QList<QVariant>& arguments,
                                             QVariantMap options,
                                             std::chrono::milliseconds deadline);

// Why the portal answered as it did, for the user: "the request was cancelled".
std::string PortalRefusal(const PortalAnswer& answer);

// Receives one request's Response on the portal thread.
class PortalResponse final : public QObject {
    Q_OBJECT
  public:
    std::optional<PortalAnswer> WaitFor(std::chrono::milliseconds deadline);

  public Q_SLOTS:
    void Receive(uint code, const QVariantMap& results);

  private:
    std::mutex mutex_;
    std::condition_variable answered_;
    std::optional<PortalAnswer> answer_;
};

}  // namespace Platform::Portal
