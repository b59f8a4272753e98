// A desktop in memory for the core's capture: a true-colour screen of known pixels, its
// primary monitor and the pointer. The grab hands the monitor's rows to the real area
// scaler, as the X11 grab hands it the server's strips. Each operation can be made to
// fail with a failure of the test's choosing.
#pragma once

#include "core/AreaScaler.h"
#include "core/Failure.h"
#include "core/seam/MainWindowView.h"
#include "core/seam/Screen.h"
#include "core/seam/ScreenGrab.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace TestSupport {

class FakeScreen final : public Seam::Screen, public Seam::ScreenGrab {
  public:
    // A desktop of this size, black, whose primary monitor is all of it.
    FakeScreen(int desktopWidth, int desktopHeight);

    // Pixel (x, y) of the desktop as 0xRRGGBB.
    void SetPixel(int x, int y, std::uint32_t rgb);
    std::uint32_t Pixel(int x, int y) const;
    // The primary monitor's rectangle; it may lie anywhere, also beyond the desktop's
    // pixels, which the grab then refuses.
    void SetPrimary(Seam::ScreenRect primary) { primary_ = primary; }
    // The pointer in desktop coordinates; read relative to the primary monitor.
    void SetPointer(int x, int y) { pointerX_ = x, pointerY_ = y; }

    // A desktop that will not tell where the pointer is, and why.
    void HidePointer(std::optional<std::string> why) { pointerUnknown_ = std::move(why); }
    // A screen source still being set up, and why; nothing once it is ready.
    void SetNotReady(std::optional<std::string> why) { notReady_ = std::move(why); }
    // A source the desktop refused, until the button asks again; one that then answers
    // later (a chooser) or in the capture itself.
    void Refuse(bool answersLater = false) { refused_ = true, answersLater_ = answersLater; }
    int AskedAgain() const { return askedAgain_; }

    void FailScreen(std::optional<KestrelMain::Failure> failure) { screenFailure_ = failure; }
    void FailPointer(std::optional<KestrelMain::Failure> failure) { pointerFailure_ = failure; }
    void FailGrab(std::optional<KestrelMain::Failure> failure) { grabFailure_ = failure; }

    // The monitor becomes each of these in turn as a grab starts, and that grab fails, as a
    // server's does when a mode switch or an unplugged monitor takes the area away.
    void ChangeAtGrab(std::vector<Seam::ScreenRect> changes) { changes_ = std::move(changes); }

    int Grabs() const { return grabs_; }
    const std::optional<Seam::ScreenRect>& LastGrabbed() const { return lastGrabbed_; }

    KestrelMain::Result<Seam::ScreenRect> ReadPrimaryScreen() override;
    KestrelMain::Result<Seam::PointerReading> ReadPointer(
        const Seam::ScreenRect& primaryScreen) override;
    KestrelMain::Status Start() override {
        if (Log != nullptr)
            Log->push_back("GrabStart");
        return std::nullopt;
    }
    std::vector<std::string>* Log = nullptr;  // "GrabStart", shared with other stand-ins
    std::optional<std::string> NotReadyBecause() override { return notReady_; }
    bool Refused() override { return refused_; }
    bool AskAgain() override {
        const bool later = refused_ && answersLater_;
        refused_ = false, ++askedAgain_;
        return later;
    }
    KestrelMain::Result<KestrelMain::Picture> GrabScaled(const Seam::ScreenRect& area,
                                                         int outputWidth,
                                                         int outputHeight) override;

  private:
    int width_;
    int height_;
    std::vector<std::uint32_t> pixels_;  // 32 bits per pixel, as an X server sends depth 24
    Seam::ScreenRect primary_;
    int pointerX_ = 0;
    int pointerY_ = 0;
    std::optional<std::string> pointerUnknown_;
    std::optional<std::string> notReady_;
    bool refused_ = false;
    bool answersLater_ = false;
    int askedAgain_ = 0;
    std::optional<KestrelMain::Failure> screenFailure_;
    std::optional<KestrelMain::Failure> pointerFailure_;
    std::optional<KestrelMain::Failure> grabFailure_;
    std::vector<Seam::ScreenRect> changes_;
    int grabs_ = 0;
    std::optional<Seam::ScreenRect> lastGrabbed_;
    KestrelMain::AreaScaler scaler_;
};

// The main window as the core set it: its labels, its timer and whether it was shown, and
// each call in order ("DirLbl <text>", "Timer1Interval 2000", "Show", ...) in Log when one
// is given, a log the test may share with other stand-ins.
class RecordingView final : public Seam::MainWindowView {
  public:
    void SetDirLblText(const std::string& text) override {
        DirLbl = text;
        Note("DirLbl " + text);
    }
    void SetTotalLblText(const std::string& text) override {
        TotalLbl = text;
        Note("TotalLbl " + text);
    }
    void SetHotkeyLblText(const std::string& text) override {
        HotkeyLbl = text;
        Note("HotkeyLbl " + text);
    }
    void SetTimer1Interval(std::int32_t milliseconds) override {
        Timer1Interval = milliseconds;
        Note("Timer1Interval " + std::to_string(milliseconds));
    }
    void SetTimer1Enabled(bool enabled) override {
        Timer1Enabled = enabled;
        Note(enabled ? "Timer1 on" : "Timer1 off");
    }
    void Show() override {
        Shown = true;
        Note("Show");
    }

    std::string DirLbl;
    std::string TotalLbl;
    std::string HotkeyLbl;
    std::int32_t Timer1Interval = 5000;  // as the window creates its timer
    bool Timer1Enabled = false;
    bool Shown = false;
    std::vector<std::string>* Log = nullptr;

  private:
    void Note(const std::string& call) {
        if (Log != nullptr)
            Log->push_back(call);
    }
};

}  // namespace TestSupport
