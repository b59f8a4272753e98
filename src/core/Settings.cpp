#include "core/Settings.h"

#include "core/AppState.h"
#include "platform/ErrorReport.h"
#include "platform/Numbers.h"
#include "platform/SettingsStore.h"
#include "platform/qt/FileSystem.h"

#include <QDir>
#include <QStandardPaths>

namespace KestrelMain {

QString DefaultBasePath() {
    QString path = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (path.isEmpty() || !Platform::FolderExists(path))
        path = QDir::homePath();
    if (!path.endsWith(u'/'))
        path += u'/';
    return path;
}

StoredInt16 Int16FromStore(const QString& text, std::int16_t defaultValue) {
    const auto number = Platform::ParseNumber(text, Platform::NumberText::Stored);
    if (!number)
        return {defaultValue, QStringLiteral("is not a number")};
    const auto value = Platform::ToInt16(*number);
    if (!value)
        return {defaultValue, QStringLiteral("does not fit in -32768..32767")};
    return {*value, QString()};
}

StoredSingle SingleFromStore(const QString& text, float defaultValue) {
    const auto number = Platform::ParseNumber(text, Platform::NumberText::Stored);
    if (!number)
        return {defaultValue, QStringLiteral("is not a number")};
    const auto value = Platform::ToSingle(*number);
    if (!value)
        return {defaultValue, QStringLiteral("does not fit in single precision")};
    return {*value, QString()};
}

void StoreSetting(const QString& key, const QString& text) {
    if (auto failed = Platform::WriteSetting(key, text))
        Platform::ReportFailure(*failed);
}

namespace {

void ReportReplaced(const QString& key, const QString& text, const QString& problem,
                    const QString& replacement) {
    Platform::ReportToStderr(
        QStringLiteral("the stored %1 \u201C%2\u201D %3; using %4 (%5)")
            .arg(key, text, problem, replacement, Platform::SettingsFilePath()));
}

std::int16_t LoadInt16(const QString& key, std::int16_t defaultValue) {
    const QString text = Platform::ReadSetting(key, QString::number(defaultValue));
    const StoredInt16 stored = Int16FromStore(text, defaultValue);
    if (!stored.Problem.isEmpty()) {
        ReportReplaced(key, text, stored.Problem, QString::number(defaultValue));
    }
    StoreSetting(key, QString::number(stored.Value));
    return stored.Value;
}

}  // namespace

void LoadSettings() {
    Platform::SettingsBatch batch;
    AppState.BasePath = DefaultBasePath();
    AppState.BasePath = Platform::ReadSetting(KEY_BASE_PATH, AppState.BasePath);
    StoreSetting(KEY_BASE_PATH, AppState.BasePath);

    AppState.UseTimer = DEFAULT_USE_TIMER;
    AppState.UseTimer = LoadInt16(KEY_USE_TIMER, AppState.UseTimer);

    AppState.TimerPeriod = DEFAULT_TIMER_PERIOD;
    {
        const QString defaultText = Platform::SingleToText(AppState.TimerPeriod);
        const QString text = Platform::ReadSetting(KEY_TIMER_PERIOD, defaultText);
        const StoredSingle stored = SingleFromStore(text, AppState.TimerPeriod);
        if (!stored.Problem.isEmpty()) {
            ReportReplaced(KEY_TIMER_PERIOD, text, stored.Problem, defaultText);
        }
        AppState.TimerPeriod = stored.Value;
        StoreSetting(KEY_TIMER_PERIOD, Platform::SingleToText(AppState.TimerPeriod));
    }

    AppState.OutputWidth = DEFAULT_OUTPUT_WIDTH;
    AppState.OutputWidth = LoadInt16(KEY_OUTPUT_WIDTH, AppState.OutputWidth);
    AppState.OutputHeight = DEFAULT_OUTPUT_HEIGHT;
    AppState.OutputHeight = LoadInt16(KEY_OUTPUT_HEIGHT, AppState.OutputHeight);

    AppState.HotkeyActive = DEFAULT_USE_HOTKEY;
    AppState.HotkeyActive = LoadInt16(KEY_USE_HOTKEY, AppState.HotkeyActive);
    if (auto failed = batch.Commit())
        Platform::ReportFailure(*failed);
}

}  // namespace KestrelMain
