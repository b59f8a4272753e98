// The start-up load from an arbitrary settings file: whatever the file holds, the load
// ends with all six keys stored in their normal text form, the fields hold what the store
// now says, and the lines the store cannot read are still there.
#include "core/AppState.h"
#include "core/Numbers.h"
#include "core/Settings.h"
#include "core/seam/Services.h"
#include "platform/qt/QtErrorReport.h"
#include "platform/qt/QtSettingsFileLines.h"
#include "platform/qt/QtSettingsStore.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSettings>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {
QString settingsFile;
char rootDirectory[] = "/dev/shm/kestrel-fuzz-XXXXXX";

std::vector<QByteArray> SortedUnreadableTexts(const QByteArray& file) {
    std::vector<QByteArray> texts;
    for (const auto& line : Platform::Qt::UnreadableLines(file)) texts.push_back(line.Text);
    std::sort(texts.begin(), texts.end());
    return texts;
}

QByteArray FileBytes() {
    QFile file(settingsFile);
    if (!file.open(QIODevice::ReadOnly))
        std::abort();
    return file.readAll();
}

void RemoveRoot() {
    QDir(QString::fromLocal8Bit(rootDirectory)).removeRecursively();
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // On tmpfs: every settings write is synced to disk, which a disk makes slow.
    const char* root = mkdtemp(rootDirectory);
    if (root == nullptr)
        std::abort();
    std::atexit(RemoveRoot);
    const QString config = QString::fromLocal8Bit(root) + QStringLiteral("/config");
    QDir().mkpath(config);
    QDir().mkpath(QString::fromLocal8Bit(root) + QStringLiteral("/home/Pictures"));
    setenv("XDG_CONFIG_HOME", config.toLocal8Bit().constData(), 1);
    setenv("HOME",
           (QString::fromLocal8Bit(root) + QStringLiteral("/home")).toLocal8Bit().constData(), 1);
    settingsFile = config + QStringLiteral("/Kestrel.conf");
    static Platform::Qt::QtSettingsStore store;
    static Platform::Qt::QtErrorReport errors;
    Seam::Install(Seam::Services{.Settings = &store, .Errors = &errors});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    {
        QFile file(settingsFile);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
        // A new time stamp each round, so that Qt's settings cache never takes this file
        // for the one before, which can have the same size and the same millisecond.
        static qint64 round = 0;
        file.setFileTime(QDateTime::fromSecsSinceEpoch(1000000000 + ++round),
                         QFileDevice::FileModificationTime);
    }
    using KestrelMain::AppState;
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    KestrelMain::LoadSettings(Platform::Qt::DefaultBasePath());
    // Kept, wherever it now sits. QSettings may add lines that it cannot read back itself:
    // a key "/" with the value "p" it writes as "\=p".
    const auto before = SortedUnreadableTexts(input);
    const auto after = SortedUnreadableTexts(FileBytes());
    if (!std::includes(after.begin(), after.end(), before.begin(), before.end()))
        std::abort();

    QSettings stored(settingsFile, QSettings::IniFormat);
    stored.beginGroup(QStringLiteral("Settings"));
    auto text = [&](const char* key) { return stored.value(QString::fromLatin1(key)).toString(); };
    if (text("UseTimer") != QString::number(AppState.UseTimer))
        std::abort();
    if (text("OutputWidth") != QString::number(AppState.OutputWidth))
        std::abort();
    if (text("OutputHeight") != QString::number(AppState.OutputHeight))
        std::abort();
    if (text("UseHotkey") != QString::number(AppState.HotkeyActive))
        std::abort();
    if (text("TimerPeriod").toStdString() != KestrelMain::SingleToText(AppState.TimerPeriod))
        std::abort();
    if (text("BasePath").toStdString() != AppState.BasePath)
        std::abort();
    return 0;
}
