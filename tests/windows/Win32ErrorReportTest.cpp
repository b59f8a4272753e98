// The error box: modeless, captioned "Kestrel", one at a time, dismissed by its OK button.
#include "Win32TestSupport.h"
#include "common/win32/Win32WideText.h"
#include "platform/win32/Win32ErrorReport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

namespace {

using Platform::Win32::ERROR_BOX_CLASS;
using Platform::Win32::Utf8Text;
using Platform::Win32::Win32ErrorReport;

std::vector<HWND> Boxes() {
    std::vector<HWND> boxes;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM found) -> BOOL {
            wchar_t name[64] = {};
            GetClassNameW(window, name, 64);
            if (std::wstring(name) == ERROR_BOX_CLASS && IsWindowVisible(window))
                reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&boxes));
    return boxes;
}

std::string WindowText(HWND window) {
    wchar_t text[1024] = {};
    GetWindowTextW(window, text, 1024);
    return Utf8Text(text);
}

// The box's text and its button, found as a user's tools would find them.
HWND Child(HWND box, const wchar_t* className) {
    return FindWindowExW(box, nullptr, className, nullptr);
}

TEST(Win32ErrorReport, ReportShowsOneModelessBoxThatTakesTheNewestText) {
    Win32ErrorReport report;
    const KestrelMain::Failure first{"Cannot create the capture directory",
                                     "C:\\KESTREL_01012026_120000", "Access denied"};
    const KestrelMain::Failure second{"Cannot save the capture",
                                      "C:\\Bilder \xC3\xA4lter\\1-120000-4-5.bmp",  // älter
                                      "There is not enough space on the disk"};
    report.Report(first);
    // Modeless: Report came back with the box on screen.
    ASSERT_EQ(Boxes().size(), 1u);
    HWND box = Boxes().front();
    EXPECT_EQ(report.Box(), box);
    EXPECT_EQ(WindowText(box), "Kestrel");
    EXPECT_EQ(WindowText(Child(box, L"Static")), first.Text());

    report.Report(second);
    Win32Test::DispatchPending();
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes().front(), box);
    EXPECT_EQ(WindowText(Child(box, L"Static")), second.Text());
}

TEST(Win32ErrorReport, OkDismissesTheBoxAndALaterReportShowsAnother) {
    Win32ErrorReport report;
    report.Report({"Cannot read the screen", "", "BitBlt failed"});
    ASSERT_EQ(Boxes().size(), 1u);
    HWND button = Child(Boxes().front(), L"Button");
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(WindowText(button), "OK");
    SendMessageW(button, BM_CLICK, 0, 0);
    EXPECT_TRUE(Win32Test::WaitUntil([] { return Boxes().empty(); }));
    EXPECT_EQ(report.Box(), nullptr);

    report.Report({"Cannot read the screen", "", "again"});
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(WindowText(Child(Boxes().front(), L"Static")), "Cannot read the screen: again");
}

TEST(Win32ErrorReport, NoteShowsNoBox) {
    Win32ErrorReport report;
    report.Note("a stored setting was not a number");
    Win32Test::DispatchPending();
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(report.Box(), nullptr);
}

}  // namespace
