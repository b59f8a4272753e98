// What the core shows in the main window, whichever toolkit draws it: the captions of its
// labels, its timer and the window itself.
#pragma once

#include <cstdint>
#include <string>

namespace Seam {

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

// A front end's main window as the core sees it, made on its first use: start-up names the
// capture directory in it before showing it, so installing the view creates no window.
// Form is the front end's window class, with a static Instance() and the view's operations.
template <class Form>
class MainWindowOnFirstUse final : public MainWindowView {
  public:
    void SetDirLblText(const std::string& text) override { Form::Instance().SetDirLblText(text); }
    void SetTotalLblText(const std::string& text) override {
        Form::Instance().SetTotalLblText(text);
    }
    void SetHotkeyLblText(const std::string& text) override {
        Form::Instance().SetHotkeyLblText(text);
    }
    void SetTimer1Interval(std::int32_t milliseconds) override {
        Form::Instance().SetTimer1Interval(milliseconds);
    }
    void SetTimer1Enabled(bool enabled) override { Form::Instance().SetTimer1Enabled(enabled); }
    void Show() override { Form::Instance().Show(); }
};

}  // namespace Seam
