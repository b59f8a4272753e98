#include "platform/qt/QtApplicationService.h"

#include "core/AppId.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>

namespace Platform::QtToolkit {

namespace {
const QString NAME = QLatin1String(KestrelMain::APP_ID);
const QString PATH = QLatin1String(KestrelMain::APP_OBJECT_PATH);
}  // namespace

KestrelMain::Status QtApplicationService::Register() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return KestrelMain::Failure{"Cannot offer the capture action on the session bus",
                                    {},
                                    bus.lastError().message().toStdString()};
    }
    // The object first: whoever sees the name appear can call it at once.
    bus.registerObject(PATH, this, QDBusConnection::ExportScriptableSlots);
    // Never queued for the name nor taking it over: the Kestrel that holds it keeps
    // answering, and this one runs on without.
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
        bus.interface()->registerService(NAME, QDBusConnectionInterface::DontQueueService,
                                         QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered)
        return {};
    bus.unregisterObject(PATH);
    return KestrelMain::Failure{
        "Cannot take the session-bus name", NAME.toStdString(),
        reply.isValid() ? "another program holds it" : reply.error().message().toStdString()};
}

void QtApplicationService::Activate(const QVariantMap& platformData) {
    const QString token = platformData.value(QStringLiteral("activation-token")).toString();
    handlers_.Activate(token.toStdString());
}

void QtApplicationService::Open(const QStringList&, const QVariantMap&) {
    sendErrorReply(QDBusError::NotSupported, QStringLiteral("Kestrel opens no files"));
}

void QtApplicationService::ActivateAction(const QString& actionName, const QVariantList& parameter,
                                          const QVariantMap&) {
    if (actionName != QLatin1String("capture")) {
        sendErrorReply(QDBusError::InvalidArgs,
                       QStringLiteral("Kestrel has no action \u201C%1\u201D").arg(actionName));
    } else if (!parameter.isEmpty()) {
        sendErrorReply(QDBusError::InvalidArgs,
                       QStringLiteral("The action \u201Ccapture\u201D takes no parameter"));
    } else {
        handlers_.Capture();
    }
}

}  // namespace Platform::QtToolkit
