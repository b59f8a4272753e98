#include "platform/SettingsStore.h"

#include <QSettings>

namespace Platform {

namespace {

// An organisation name alone puts the file at $XDG_CONFIG_HOME/Kestrel.conf.
class Store : public QSettings {
public:
    Store() : QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Kestrel")) {
        setFallbacksEnabled(false);
    }
};

QString GroupKey(const QString& key) { return QStringLiteral("Settings/") + key; }

}  // namespace

QString ReadSetting(const QString& key, const QString& defaultText) {
    Store store;
    const QVariant value = store.value(GroupKey(key));
    if (!value.isValid()) return defaultText;
    // A hand-edited value with an unquoted comma reads back as a list; keep its text.
    if (value.typeId() == QMetaType::QStringList) return value.toStringList().join(u',');
    return value.toString();
}

Status WriteSetting(const QString& key, const QString& text) {
    Store store;
    store.setValue(GroupKey(key), text);
    store.sync();
    if (store.status() != QSettings::NoError) {
        return Failure{QStringLiteral("Cannot save the setting ") + key, store.fileName(),
                       store.status() == QSettings::AccessError
                           ? QStringLiteral("the settings file cannot be written")
                           : QStringLiteral("the settings file is malformed")};
    }
    return std::nullopt;
}

QString SettingsFilePath() {
    return Store().fileName();
}

}  // namespace Platform
