// What the core shows in the main window, whichever toolkit draws it: the captions of its
// labels, its timer and the window itself.
#pragma once

#include <cstdint>
#include <string>

namespace KestrelMain {

class MainWindowView {
  public:
    // The caption of DirLbl: the current capture directory.
    virtual void SetDirLblText(const std::string& text) = 0;
    // The caption of TotalLbl: "Total captures saved: N".
    virtual void SetTotalLblText(const std::string& text) = 0;
    // The caption of HotkeyLbl: whether Ctrl+F makes captures.
    virtual void SetHotkeyLblText(const std::string& text) = 0;
    // Timer1: a new interval, or switching it on or off, counts the next tick from now.
    virtual void SetTimer1Interval(std::int32_t milliseconds) = 0;
    virtual void SetTimer1Enabled(bool enabled) = 0;
    // Shows the window, modeless and without an owner.
    virtual void Show() = 0;

  protected:
    ~MainWindowView() = default;
};

}  // namespace KestrelMain
