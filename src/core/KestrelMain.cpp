#include "core/KestrelMain.h"

#include "capture/MakeCapture.h"
#include "core/AppState.h"
#include "core/CaptureDirectory.h"
#include "core/ConfigRules.h"
#include "core/Settings.h"
#include "platform/ErrorReport.h"
#include "platform/MessageLoop.h"
#include "platform/Process.h"
#include "platform/qt/QtSettingsStore.h"
#include "platform/x11/HotKey.h"
#include "ui/MainForm.h"

namespace KestrelMain {

bool ApplyTimerPeriod() {
    const auto interval = TimerIntervalFor(AppState.TimerPeriod);
    if (!interval) {
        Platform::ReportFailure(interval.Error());
        return false;
    }
    Ui::MainForm::Instance().Timer1->SetInterval(*interval);
    return true;
}

void StartUp() {
    LoadSettings(Platform::DefaultBasePath());
    NewCaptureDir();
    AppState.UseHotkey = AppState.HotkeyActive;
    AppState.CaptureCount = 0;
    AppState.QuitRequested = STATE_FALSE;

    Ui::MainForm& form = Ui::MainForm::Instance();
    if (AppState.HotkeyActive == 1) {
        // The caption says what was asked for; a refused grab is only noted on stderr.
        if (auto failed = Platform::RegisterHotKey())
            Platform::ReportToStderr(failed->Text());
        form.HotkeyLbl->setText(QString::fromLatin1(CAPTION_HOTKEY_ON));
    } else {
        form.HotkeyLbl->setText(QString::fromLatin1(CAPTION_HOTKEY_OFF));
    }

    form.show();
    const bool intervalSet = ApplyTimerPeriod();
    if (AppState.UseTimer == 1 && intervalSet)
        form.Timer1->SetEnabled(true);
}

void Main() {
    StartUp();
    RunMessageLoop();
    Platform::EndProgramNow();
}

void RunMessageLoop() {
    if (AppState.QuitRequested != STATE_FALSE)
        return;
    for (;;) {
        Platform::WaitMessage();
        if (AppState.HotkeyActive == 1 && Platform::TakeHotKeyPress())
            Capture::MakeCapture();
        Platform::DoEvents();
        if (AppState.QuitRequested != STATE_FALSE)
            return;
    }
}

}  // namespace KestrelMain
