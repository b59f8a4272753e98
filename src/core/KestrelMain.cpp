#include "core/KestrelMain.h"

#include "core/AppState.h"
#include "core/CaptureDirectory.h"
#include "core/CaptureSequence.h"
#include "core/ConfigRules.h"
#include "core/Settings.h"
#include "platform/Services.h"

#include <cstdlib>

namespace KestrelMain {

bool ApplyTimerPeriod() {
    const Platform::Services& seam = Platform::Installed();
    const auto interval = TimerIntervalFor(AppState.TimerPeriod);
    if (!interval) {
        seam.Errors->Report(interval.Error());
        return false;
    }
    seam.MainWindow->SetTimer1Interval(*interval);
    return true;
}

void StartUp(const std::string& defaultBasePath) {
    LoadSettings(defaultBasePath);
    NewCaptureDir();
    AppState.UseHotkey = AppState.HotkeyActive;
    AppState.CaptureCount = 0;
    AppState.QuitRequested = STATE_FALSE;

    const Platform::Services& seam = Platform::Installed();
    if (AppState.HotkeyActive == 1) {
        // The caption says what was asked for; a refused registration is only noted.
        if (auto failed = seam.HotKey->Register())
            seam.Errors->Note(failed->Text());
        seam.MainWindow->SetHotkeyLblText(CAPTION_HOTKEY_ON);
    } else {
        seam.MainWindow->SetHotkeyLblText(CAPTION_HOTKEY_OFF);
    }

    seam.MainWindow->Show();
    // A timer whose interval could not be set stays off rather than run at the old one.
    const bool intervalSet = ApplyTimerPeriod();
    if (AppState.UseTimer == 1 && intervalSet)
        seam.MainWindow->SetTimer1Enabled(true);
}

void Main(const std::string& defaultBasePath) {
    StartUp(defaultBasePath);
    RunMessageLoop();
    Platform::Installed().Loop->EndProgramNow();
    std::abort();  // never reached: the loop's end does not return
}

void RunMessageLoop() {
    if (AppState.QuitRequested != STATE_FALSE)
        return;
    const Platform::Services& seam = Platform::Installed();
    for (;;) {
        seam.Loop->WaitMessage();
        if (AppState.HotkeyActive == 1 && seam.HotKey->TakePress())
            MakeCapture();
        seam.Loop->DoEvents();
        if (AppState.QuitRequested != STATE_FALSE)
            return;
    }
}

void Timer1Tick() {
    // Not 0, where start-up and the dialog switch the timer on only for exactly 1.
    if (AppState.UseTimer != 0)
        MakeCapture();
    else
        Platform::Installed().MainWindow->SetTimer1Enabled(false);
}

void Quit() {
    AppState.QuitRequested = STATE_TRUE;
    // Open dialogs and whatever was typed into them go with the process.
    Platform::Installed().Loop->EndProgramNow();
    std::abort();  // never reached: the loop's end does not return
}

}  // namespace KestrelMain
