#include "platform/win32/Win32WebPage.h"

#include "common/win32/Win32WideText.h"

#include <windows.h>

#include <shellapi.h>

namespace Platform::Win32 {

void Win32WebPage::Open(const std::string& address) {
    // Parented to the desktop, not to the About window that hides in the same click; a page
    // that cannot be opened is not the user's concern here.
    ShellExecuteW(GetDesktopWindow(), L"open", WideText(address).c_str(), nullptr, nullptr,
                  SW_SHOWNORMAL);
}

}  // namespace Platform::Win32
