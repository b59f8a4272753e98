// Failures reported on Windows: the line goes to the debugger's output (a GUI program has
// no standard error) and the user sees it in a modeless box captioned "Kestrel", so the
// handler that failed runs to completion. At most one box is on screen: a report while it
// is shown replaces its text. The box lives on the program's one thread and its messages
// are dispatched by the program's message loop, which passes them through
// IsDialogMessageW(Box(), ...) so that Enter, Esc and Tab work in it.
#pragma once

#include "core/seam/ErrorReport.h"

#include <windows.h>

#include <string>

namespace Platform::Win32 {

// The window class of the box, for finding it.
inline constexpr wchar_t ERROR_BOX_CLASS[] = L"KestrelErrorBox";

class Win32ErrorReport final : public Seam::ErrorReport {
  public:
    Win32ErrorReport() = default;
    ~Win32ErrorReport();
    Win32ErrorReport(const Win32ErrorReport&) = delete;
    Win32ErrorReport& operator=(const Win32ErrorReport&) = delete;

    void Report(const KestrelMain::Failure& failure) override;
    void Note(const std::string& line) override;

    // The box on screen, if any.
    HWND Box() const;

  private:
    bool ShowBox(const std::wstring& text);
    HWND box_ = nullptr;
};

}  // namespace Platform::Win32
