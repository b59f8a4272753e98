// The web page through Qt: QDesktopServices hands the address to the desktop's URL handler
// (xdg-open on Linux) and does not wait for the browser.
#pragma once

#include "core/seam/WebPage.h"

namespace Platform::QtToolkit {

class QtWebPage final : public Seam::WebPage {
  public:
    void Open(const std::string& address) override;
};

}  // namespace Platform::QtToolkit
