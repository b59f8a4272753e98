// What the core shows in the main window, whichever toolkit draws it.
#pragma once

#include <string>

namespace KestrelMain {

class MainWindowView {
  public:
    // The caption of DirLbl: the current capture directory.
    virtual void SetDirLblText(const std::string& text) = 0;
    // The caption of TotalLbl: "Total captures saved: N".
    virtual void SetTotalLblText(const std::string& text) = 0;

  protected:
    ~MainWindowView() = default;
};

}  // namespace KestrelMain
