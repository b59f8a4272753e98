#include "core/KestrelMain.h"

#include "core/AppState.h"
#include "core/CaptureDirectory.h"
#include "core/CaptureOnDesktop.h"
#include "core/ConfigRules.h"
#include "core/Settings.h"
#include "platform/ErrorReport.h"
#include "platform/Services.h"
#include "platform/posix/Process.h"
#include "platform/qt/MessageLoop.h"
#include "platform/qt/QtSettingsStore.h"
#include "ui/qt/MainForm.h"

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
        if (auto failed = DesktopHotKey().Register())
            Platform::Installed().Errors->Note(failed->Text());
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
        Platform::WaitMessage([] { return DesktopHotKey().PressPending(); });
        if (AppState.HotkeyActive == 1 && DesktopHotKey().TakePress())
            MakeCapture();
        Platform::DoEvents();
        if (AppState.QuitRequested != STATE_FALSE)
            return;
    }
}

}  // namespace KestrelMain
