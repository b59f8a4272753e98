#include "platform/qt/QtSettingsStore.h"

#include "platform/qt/QtErrorReport.h"
#include "platform/qt/QtSettingsFileLines.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <optional>

namespace Platform::QtToolkit {

namespace {

// An organisation name alone puts the file at $XDG_CONFIG_HOME/Kestrel.conf.
class Store : public QSettings {
  public:
    Store() : QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Kestrel")) {
        setFallbacksEnabled(false);
    }
};

QString GroupKey(const std::string& key) {
    return QStringLiteral("Settings/") + QString::fromStdString(key);
}

KestrelMain::Failure AccessFailure(const QSettings& store, const std::string& what) {
    return KestrelMain::Failure{what, store.fileName().toStdString(),
                                "the settings file cannot be written"};
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
KestrelMain::Status PutBack(const QString& path, const QByteArray& before) {
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
    const std::string what = "Cannot keep the lines it cannot read in the settings file";
    const QByteArray settings = SettingsReadFrom(written);
    QByteArray restored = PutBackUnreadableLines(written, lines);
    if (SettingsReadFrom(restored) != settings) {
        restored = AppendUnreadableLines(written, lines);
        if (SettingsReadFrom(restored) != settings) {
            return KestrelMain::Failure{what, path.toStdString(),
                                        "put back, they would change the settings read"};
        }
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(restored) != restored.size() ||
        !file.commit()) {
        return KestrelMain::Failure{what, path.toStdString(), file.errorString().toStdString()};
    }
    return std::nullopt;
}

// Writes what `store` holds and keeps the file's unreadable lines.
KestrelMain::Status Sync(QSettings& store, const std::string& what) {
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

// Standard error only: the program reads the file all the same, and nothing waits on the
// user.
void ReportDamage(const QString& path) {
    const QList<UnreadableLine> lines = UnreadableLines(ReadWholeFile(path));
    QtErrorReport report;
    if (lines.isEmpty()) {
        // A header without its "]", say: read all the same, and written in its normal form.
        report.Note(QStringLiteral("the settings file %1 is not quite in its normal form; "
                                   "it is written again in that form")
                        .arg(path)
                        .toStdString());
        return;
    }
    report.Note(QStringLiteral("the settings file %1 has lines that cannot be read (%2); "
                               "they are left as they are")
                    .arg(path, LineNumbers(lines))
                    .toStdString());
}

}  // namespace

std::string QtSettingsStore::Read(const std::string& key, const std::string& defaultText) {
    // Another QSettings on the same file would flush the batch's changes when it goes.
    std::optional<Store> own;
    if (batch_ == nullptr)
        own.emplace();
    QSettings& store = batch_ != nullptr ? *batch_ : *own;
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
        return value.toStringList().join(u',').toStdString();
    return value.toString().toStdString();
}

KestrelMain::Status QtSettingsStore::Write(const std::string& key, const std::string& text) {
    if (batch_ != nullptr) {
        batch_->setValue(GroupKey(key), QString::fromStdString(text));
        return std::nullopt;
    }
    Store store;
    store.setValue(GroupKey(key), QString::fromStdString(text));
    return Sync(store, "Cannot save the setting " + key);
}

void QtSettingsStore::BeginBatch() {
    if (depth_++ == 0)
        batch_ = std::make_unique<Store>();
}

KestrelMain::Status QtSettingsStore::EndBatch() {
    if (depth_ == 0 || --depth_ > 0)
        return std::nullopt;
    KestrelMain::Status written = Sync(*batch_, "Cannot save the settings");
    batch_.reset();
    return written;
}

std::string QtSettingsStore::Location() {
    // A new QSettings on the file would write an open batch's changes at once, behind the
    // back of the batch's own write, which keeps the lines the store cannot read.
    if (batch_ != nullptr)
        return batch_->fileName().toStdString();
    return Store().fileName().toStdString();
}

QtSettingsStore::QtSettingsStore() = default;
QtSettingsStore::~QtSettingsStore() = default;

std::string DefaultBasePath() {
    QString path = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (path.isEmpty() || !QFileInfo(path).isDir())
        path = QDir::homePath();
    if (!path.endsWith(u'/'))
        path += u'/';
    return path.toStdString();
}

}  // namespace Platform::QtToolkit
