// Opening a web page in the user's browser, as the About window's web button does: the
// address is handed to the desktop and the call returns without waiting for the browser.
// Whether a page could be opened is not reported; there is nothing the user could do.
#pragma once

#include <string>

namespace Seam {

class WebPage {
  public:
    virtual void Open(const std::string& address) = 0;

  protected:
    ~WebPage() = default;
};

}  // namespace Seam
