#include "platform/SettingsStore.h"

#include "platform/ErrorReport.h"
#include "platform/SettingsFileLines.h"

#include <QDataStream>
#include <QFile>
#include <QLockFile>
#include <QSaveFile>
#include <QSettings>
#include <QTemporaryFile>

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

QByteArray ReadWholeFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

// Every key and value QSettings reads from these bytes, streamed, for comparing; empty when
// no scratch file can be made to read them from.
QByteArray SettingsReadFrom(const QByteArray& file) {
    QTemporaryFile copy;
    if (!copy.open() || copy.write(file) != file.size() || !copy.flush())
        return QByteArray();
    const QSettings settings(copy.fileName(), QSettings::IniFormat);
    QByteArray result;
    QDataStream out(&result, QIODevice::WriteOnly);
    for (const QString& key : settings.allKeys()) out << key << settings.value(key);
    return result;
}

// Puts back the lines of `before` that QSettings could not read, which its write has just
// dropped, with a second atomic replacement of the file. They go where they were unless
// QSettings would then read the settings differently (a section header it merges with
// another, say), else at the end of the file.
Status PutBack(const QString& path, const QByteArray& before) {
    const QList<UnreadableLine> lines = UnreadableLines(before);
    if (lines.isEmpty())
        return std::nullopt;
    // The lock QSettings takes for its own writes, so another Kestrel writing its settings
    // meanwhile is neither lost nor given the lines twice.
    QLockFile lock(path + QStringLiteral(".lock"));
    lock.lock();
    const QByteArray written = ReadWholeFile(path);
    if (written == before)
        return std::nullopt;  // QSettings had nothing to write
    const QString what =
        QStringLiteral("Cannot keep the lines it cannot read in the settings file");
    const QByteArray settings = SettingsReadFrom(written);
    QByteArray restored = PutBackUnreadableLines(written, lines);
    if (SettingsReadFrom(restored) != settings) {
        restored = AppendUnreadableLines(written, lines);
        if (SettingsReadFrom(restored) != settings) {
            return Failure{what, path,
                           QStringLiteral("put back, they would change the settings read")};
        }
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(restored) != restored.size() ||
        !file.commit()) {
        return Failure{what, path, file.errorString()};
    }
    return std::nullopt;
}

// Writes what `store` holds and keeps the file's unreadable lines.
Status Sync(QSettings& store, const QString& what) {
    const QByteArray before = ReadWholeFile(store.fileName());
    store.sync();
    // A format error belongs to reading a damaged file; Qt still writes the values through,
    // so only an access error means the settings were not saved.
    if (store.status() == QSettings::AccessError)
        return AccessFailure(store, what);
    return PutBack(store.fileName(), before);
}

// "line 3", "lines 3, 7", and no more than ten of them.
QString LineNumbers(const QList<UnreadableLine>& lines) {
    constexpr qsizetype SHOWN = 10;
    QStringList numbers;
    for (qsizetype i = 0; i < lines.size() && i < SHOWN; ++i)
        numbers.append(QString::number(lines[i].Number));
    QString text = (lines.size() == 1 ? QStringLiteral("line ") : QStringLiteral("lines ")) +
                   numbers.join(QStringLiteral(", "));
    if (lines.size() > SHOWN)
        text += QStringLiteral(" and %1 more").arg(lines.size() - SHOWN);
    return text;
}

void ReportDamage(const QString& path) {
    const QList<UnreadableLine> lines = UnreadableLines(ReadWholeFile(path));
    if (lines.isEmpty()) {
        // A header without its "]", say: read all the same, and written in its normal form.
        ReportToStderr(QStringLiteral("the settings file %1 is not quite in its normal form; "
                                      "it is written again in that form")
                           .arg(path));
        return;
    }
    ReportToStderr(QStringLiteral("the settings file %1 has lines that cannot be read (%2); "
                                  "they are left as they are")
                       .arg(path, LineNumbers(lines)));
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
        ReportDamage(store.fileName());
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
    return Sync(store, QStringLiteral("Cannot save the setting ") + key);
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
    // A batch not committed still reaches the file, as QSettings does.
    (void)Sync(*openBatch, QStringLiteral("Cannot save the settings"));
    delete openBatch;
    openBatch = nullptr;
}

Status SettingsBatch::Commit() {
    if (!owner_)
        return std::nullopt;
    return Sync(*openBatch, QStringLiteral("Cannot save the settings"));
}

QString SettingsFilePath() {
    // A new QSettings on the file would write an open batch's changes at once, behind the
    // back of the batch's own write, which keeps the lines the store cannot read.
    if (openBatch != nullptr)
        return openBatch->fileName();
    return Store().fileName();
}

}  // namespace Platform
