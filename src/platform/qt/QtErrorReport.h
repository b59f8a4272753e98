// The error report on Linux: a modeless message box captioned "Kestrel" (at most one on
// screen; a newer failure replaces the text of the one shown) and the same line on
// standard error, "kestrel: " first.
#pragma once

#include "core/seam/ErrorReport.h"

#include <functional>

class QWidget;

namespace Platform::QtToolkit {

class QtErrorReport final : public Seam::ErrorReport {
  public:
    void Report(const KestrelMain::Failure& failure) override;
    void Note(const std::string& line) override;

    // The window the box belongs to, asked when a box is made; none by default. A Wayland
    // compositor places a box it knows to be the main window's with that window.
    void SetOwner(std::function<QWidget*()> owner) { owner_ = std::move(owner); }

  private:
    std::function<QWidget*()> owner_;
};

}  // namespace Platform::QtToolkit
