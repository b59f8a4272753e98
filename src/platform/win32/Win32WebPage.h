// The web page on Windows: the shell opens the address in the user's browser and returns
// without waiting for it.
#pragma once

#include "core/seam/WebPage.h"

namespace Platform::Win32 {

class Win32WebPage final : public Seam::WebPage {
  public:
    void Open(const std::string& address) override;
};

}  // namespace Platform::Win32
