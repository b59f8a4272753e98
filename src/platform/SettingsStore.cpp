#include "platform/SettingsStore.h"

#include "platform/ErrorReport.h"

#include <QSettings>

#include <optional>

namespace Platform {

namespace {

// An organisation name alone puts the file at $XDG_CONFIG_HOME/Kestrel.conf.
class Store : public QSettings {
  public:
    Store() : QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Kestrel")) {
        setFallbacksEnabled(false);
    }
};

QString GroupKey(const QString& key) {
    return QStringLiteral("Settings/") + key;
}

Store* openBatch = nullptr;

Status AccessFailure(const QSettings& store, const QString& what) {
    return Failure{what, store.fileName(), QStringLiteral("the settings file cannot be written")};
}

}  // namespace

QString ReadSetting(const QString& key, const QString& defaultText) {
    // Another QSettings on the same file would flush the batch's changes when it goes.
    std::optional<Store> own;
    if (openBatch == nullptr)
        own.emplace();
    Store& store = openBatch != nullptr ? *openBatch : *own;
    const QVariant value = store.value(GroupKey(key));
    static bool damageReported = false;
    if (store.status() == QSettings::FormatError && !damageReported) {
        damageReported = true;
        ReportToStderr(QStringLiteral("the settings file %1 has lines that cannot be read; "
                                      "they are left as they are")
                           .arg(store.fileName()));
    }
    if (!value.isValid())
        return defaultText;
    // A hand-edited value with an unquoted comma reads back as a list; keep its text.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(u',');
    return value.toString();
}

Status WriteSetting(const QString& key, const QString& text) {
    if (openBatch != nullptr) {
        openBatch->setValue(GroupKey(key), text);
        return std::nullopt;
    }
    Store store;
    store.setValue(GroupKey(key), text);
    store.sync();
    // A format error belongs to reading a damaged file; Qt still writes the value through,
    // so only an access error means the setting was not saved.
    if (store.status() == QSettings::AccessError) {
        return AccessFailure(store, QStringLiteral("Cannot save the setting ") + key);
    }
    return std::nullopt;
}

SettingsBatch::SettingsBatch() {
    if (openBatch == nullptr) {
        openBatch = new Store;
        owner_ = true;
    }
}

SettingsBatch::~SettingsBatch() {
    if (!owner_)
        return;
    delete openBatch;  // a batch not committed still reaches the file, as QSettings does
    openBatch = nullptr;
}

Status SettingsBatch::Commit() {
    if (!owner_)
        return std::nullopt;
    openBatch->sync();
    if (openBatch->status() == QSettings::AccessError) {
        return AccessFailure(*openBatch, QStringLiteral("Cannot save the settings"));
    }
    return std::nullopt;
}

QString SettingsFilePath() {
    // A new QSettings on the file would write an open batch's changes at once.
    if (openBatch != nullptr)
        return openBatch->fileName();
    return Store().fileName();
}

}  // namespace Platform
