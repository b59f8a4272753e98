// Kestrel on the session bus: the name org.ardmoor.Kestrel and the desktops' common
// org.freedesktop.Application interface at /org/ardmoor/Kestrel. Where no global hot key
// reaches Kestrel (a Wayland compositor grants none to a plain client), a desktop's own key
// binding or any script asks for a capture with one gdbus call. The calls arrive through
// Qt's event dispatch, so an action runs between handlers, as a click does.
#pragma once

#include "core/Failure.h"

#include <QDBusContext>
#include <QObject>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

#include <functional>
#include <string>

namespace Platform::QtToolkit {

class QtApplicationService final : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")
  public:
    // What the program does for each request; the backend itself decides nothing.
    struct Handlers {
        std::function<void()> Capture;  // the action "capture"
        // The main window brought up in front, with the desktop's activation token (empty
        // when it gave none): a desktop that prevents focus stealing raises a window only
        // with the token of the launch that asked for it.
        std::function<void(const std::string& activationToken)> Activate;
    };

    explicit QtApplicationService(Handlers handlers) : handlers_(std::move(handlers)) {}

    // Offers the interface and takes the name on the session bus. Without a bus, or with
    // the name held by another program (a second Kestrel), nothing is offered and the
    // failure says why; the rest of the program runs as ever.
    KestrelMain::Status Register();

  public Q_SLOTS:
    Q_SCRIPTABLE void Activate(const QVariantMap& platformData);
    Q_SCRIPTABLE void Open(const QStringList& uris, const QVariantMap& platformData);
    Q_SCRIPTABLE void ActivateAction(const QString& actionName, const QVariantList& parameter,
                                     const QVariantMap& platformData);

  private:
    Handlers handlers_;
};

}  // namespace Platform::QtToolkit
