#include "core/KestrelMain.h"

#include "core/AppState.h"
#include "core/CaptureDirectory.h"
#include "core/CaptureSequence.h"
#include "core/ConfigRules.h"
#include "core/MakerWebPage.h"
#include "core/Settings.h"
#include "core/seam/Services.h"

#include <cstdlib>

namespace KestrelMain {

namespace {

// The desktop's later answer about Ctrl+F, for desktops that ask their user first.
class HotKeyAnswersToLabel final : public Seam::HotKeyAnswers {
  public:
    void HotKeyGranted(const std::string& trigger) override {
        HotkeyLbl.Trigger = ReadableTrigger(trigger);
        Seam::Installed().MainWindow->SetHotkeyLblText(CurrentHotkeyCaption());
    }
    // Noted as a refusal at start-up is; the caption keeps saying what was asked for.
    void HotKeyRefused(const Failure& why) override { Seam::Installed().Errors->Note(why.Text()); }
};

HotKeyAnswersToLabel hotKeyAnswers;

// The end of the program, whichever way the user quit: Ctrl+F given back, the last captures
// on the disk, then nothing more runs.
[[noreturn]] void EndTheRun() {
    const Seam::Services& seam = Seam::Installed();
    if (AppState.HotkeyActive == 1)
        seam.HotKey->Unregister();
    seam.Files->WaitForSaves();
    seam.Loop->EndProgramNow();
    std::abort();  // never reached: the loop's end does not return
}

}  // namespace

bool ApplyTimerPeriod() {
    const Seam::Services& seam = Seam::Installed();
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
    HotkeyLbl = HotkeyLblState{};
    ForgetRunNotes();

    const Seam::Services& seam = Seam::Installed();
    // The caption says what was asked for; a refused registration is only noted.
    if (AppState.HotkeyActive == 1) {
        if (auto failed = seam.HotKey->Register(hotKeyAnswers))
            seam.Errors->Note(failed->Text());
    }
    seam.MainWindow->SetHotkeyLblText(CurrentHotkeyCaption());
    seam.MainWindow->Show();
    // After the window: a desktop that asks its user for the screen (a chooser) then puts its
    // question in front of Kestrel's window. A source that will never be ready is said once
    // here; each capture then says why it cannot be made.
    if (auto failed = seam.Grab->Start())
        seam.Errors->Note(failed->Text());
    // A timer whose interval could not be set stays off rather than run at the old one.
    const bool intervalSet = ApplyTimerPeriod();
    if (AppState.UseTimer == 1 && intervalSet)
        seam.MainWindow->SetTimer1Enabled(true);
}

void Main(const std::string& defaultBasePath) {
    StartUp(defaultBasePath);
    RunMessageLoop();
    EndTheRun();
}

void RunMessageLoop() {
    if (AppState.QuitRequested != STATE_FALSE)
        return;
    const Seam::Services& seam = Seam::Installed();
    for (;;) {
        seam.Loop->WaitMessage();
        if (AppState.HotkeyActive == 1 && seam.HotKey->TakePress())
            MakeCapture();
        seam.Loop->DoEvents();
        if (AppState.QuitRequested != STATE_FALSE)
            return;
        MakeWaitingCaptures();
    }
}

void Timer1Tick() {
    // Not 0, where start-up and the dialog switch the timer on only for exactly 1.
    if (AppState.UseTimer != 0)
        MakeTimedCapture();
    else
        Seam::Installed().MainWindow->SetTimer1Enabled(false);
}

void VisitMakerWebPage() {
    if (Seam::WebPage* web = Seam::Installed().Web)
        web->Open(MAKER_WEB_PAGE);
}

void Quit() {
    AppState.QuitRequested = STATE_TRUE;
    // Open dialogs and whatever was typed into them go with the process.
    EndTheRun();
}

}  // namespace KestrelMain
