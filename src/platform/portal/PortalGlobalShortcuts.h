// Ctrl+F through the desktop portal's GlobalShortcuts (KDE Plasma; GNOME from 48): a session
// of the portal's holding one shortcut, "capture", which the desktop binds to Ctrl+F or to
// what its user chooses. The requests run on a thread of their own, so a dialog the desktop
// shows never holds up the program; the answer comes back through the event dispatch. Where
// the portal has no such shortcuts (wlroots, GNOME before 48) the hot key given as the
// fallback takes over, and answers in its stead.
#pragma once

#include "core/PressQueue.h"
#include "core/seam/HotKey.h"
#include "platform/portal/PortalShortcutHold.h"

#include <QDBusObjectPath>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <optional>
#include <thread>

namespace Platform::Portal {

class PortalGlobalShortcuts final : public QObject, public Seam::HotKey {
    Q_OBJECT
  public:
    explicit PortalGlobalShortcuts(Seam::HotKey& fallback);
    ~PortalGlobalShortcuts() override;

    KestrelMain::Status Register(Seam::HotKeyAnswers& later) override;
    bool PressPending() override;
    bool TakePress() override;
    void Unregister() override;

  private Q_SLOTS:
    void OnActivated(const QDBusObjectPath& session, const QString& id, qulonglong timestamp,
                     const QVariantMap& options);
    void OnDeactivated(const QDBusObjectPath& session, const QString& id, qulonglong timestamp,
                       const QVariantMap& options);

  private:
    struct Answer;
    void Answered(const Answer& answer, Seam::HotKeyAnswers& later);

    Seam::HotKey& fallback_;
    bool fallenBack_ = false;
    QString session_;  // the portal's session handle once it bound the shortcut
    PortalShortcutHold hold_;
    KestrelMain::PressQueue presses_;
    std::jthread requests_;
};

}  // namespace Platform::Portal
