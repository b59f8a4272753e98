// The About window's title font: the classic face where the system has it, else the nearest
// sans-serif one, never a serif or a fixed-pitch face; 13.5 points at the window's DPI, bold
// and italic; and what GDI really draws with when asked for it on this system. And the
// text of every control of the three windows fits it in the control's own font.
#include "ui/win32/AboutDialog.h"
#include "ui/win32/ConfigDlg.h"
#include "ui/win32/Layout.h"
#include "ui/win32/MainForm.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <initializer_list>
#include <set>
#include <string>

namespace {

using Ui::Win32::FaceInstalled;
using Ui::Win32::SansSerifFace;
using Ui::Win32::TitleFontFor;

TEST(AboutTitleFont, FaceIsTheClassicOneElseTheNearestSansSerifInstalled) {
    struct Case {
        std::initializer_list<const wchar_t*> installed;
        const wchar_t* face;
    };
    const Case cases[] = {
        {{L"Arial", L"Tahoma", L"MS Sans Serif", L"Microsoft Sans Serif"}, L"MS Sans Serif"},
        {{L"Arial", L"Microsoft Sans Serif", L"Tahoma"}, L"Microsoft Sans Serif"},
        {{L"DejaVu Sans", L"Arial", L"Tahoma"}, L"Tahoma"},
        {{L"Liberation Sans", L"Arial"}, L"Arial"},
        {{L"DejaVu Sans", L"Liberation Sans"}, L"Liberation Sans"},
        {{L"Courier New", L"DejaVu Sans"}, L"DejaVu Sans"},
        // No sans-serif face known by name: none named, the family decides.
        {{L"Courier New", L"Times New Roman", L"MS Serif"}, L""},
        {{}, L""},
    };
    for (const Case& c : cases) {
        const std::set<std::wstring> installed(c.installed.begin(), c.installed.end());
        EXPECT_EQ(std::wstring(
                      SansSerifFace([&](const wchar_t* face) { return installed.contains(face); })),
                  c.face)
            << "expected " << c.face;
    }
}

TEST(AboutTitleFont, IsThirteenAndAHalfPointsBoldItalicSansSerifAtEveryDpi) {
    struct Case {
        UINT dpi;
        LONG height;  // character height in pixels, as a LOGFONT gives it (negative)
    };
    const Case cases[] = {{96, -18}, {120, -23}, {144, -27}, {192, -36}, {288, -54}};
    for (const Case& c : cases) {
        const LOGFONTW font = TitleFontFor(c.dpi);
        EXPECT_EQ(font.lfHeight, c.height) << c.dpi << " dpi";
        EXPECT_EQ(font.lfWeight, 700) << c.dpi << " dpi";
        EXPECT_TRUE(font.lfItalic) << c.dpi << " dpi";
        EXPECT_FALSE(font.lfUnderline || font.lfStrikeOut) << c.dpi << " dpi";
        EXPECT_EQ(font.lfPitchAndFamily & 0xF0, FF_SWISS) << c.dpi << " dpi";
    }
}

TEST(AboutTitleFont, FaceInstalledKnowsWhatTheSystemHas) {
    HDC screen = GetDC(nullptr);
    ASSERT_NE(screen, nullptr);
    HGDIOBJ old = SelectObject(screen, GetStockObject(DEFAULT_GUI_FONT));
    wchar_t stock[LF_FACESIZE] = {};
    GetTextFaceW(screen, LF_FACESIZE, stock);
    SelectObject(screen, old);
    ReleaseDC(nullptr, screen);

    EXPECT_TRUE(FaceInstalled(stock)) << "the stock dialog face " << stock;
    EXPECT_FALSE(FaceInstalled(L"No Such Face Kestrel 7"));
}

// Asked for at 96 dpi, GDI draws the title in the face chosen, as large, bold and italic as
// asked: the choice is one the font mapper honours rather than replaces.
TEST(AboutTitleFont, GdiDrawsWithTheChosenFaceBoldAndItalic) {
    const LOGFONTW wanted = TitleFontFor(96);
    HFONT font = CreateFontIndirectW(&wanted);
    ASSERT_NE(font, nullptr);
    HDC screen = GetDC(nullptr);
    HGDIOBJ old = SelectObject(screen, font);
    wchar_t face[LF_FACESIZE] = {};
    GetTextFaceW(screen, LF_FACESIZE, face);
    TEXTMETRICW metrics{};
    GetTextMetricsW(screen, &metrics);
    SelectObject(screen, old);
    ReleaseDC(nullptr, screen);
    DeleteObject(font);

    const std::wstring chosen = SansSerifFace(&FaceInstalled);
    if (!chosen.empty()) {
        EXPECT_EQ(std::wstring(face), chosen);
    }
    EXPECT_TRUE(metrics.tmItalic);
    EXPECT_GE(metrics.tmWeight, 700);
    EXPECT_EQ(metrics.tmPitchAndFamily & 0xF0, FF_SWISS);
    // 18 pixels of character height asked for; a bitmap face comes in the size nearest.
    EXPECT_GE(metrics.tmHeight - metrics.tmInternalLeading, 14);
    EXPECT_LE(metrics.tmHeight - metrics.tmInternalLeading, 22);
}

// No label wraps onto a line its box hides, and no button or check box (whose text starts
// after the box, 16 pixels in at 96 dpi) cuts its text: at 96 dpi and at 144.
TEST(FormText, EveryControlsTextFitsItAt96And144Dpi) {
    using namespace Ui::Win32;
    const HWND windows[] = {MainForm::Instance().Handle(), ConfigDlg::Instance().Handle(),
                            AboutDialog::Instance().Handle()};
    HDC screen = GetDC(nullptr);
    for (const int dpi : {96, 144}) {
        for (HWND window : windows) {
            RECT place{};
            GetWindowRect(window, &place);
            SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                         reinterpret_cast<LPARAM>(&place));
            for (HWND control = GetWindow(window, GW_CHILD); control != nullptr;
                 control = GetWindow(control, GW_HWNDNEXT)) {
                wchar_t text[128] = {};
                const int length = GetWindowTextW(control, text, 128);
                HGDIOBJ old = SelectObject(
                    screen, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
                SIZE extent{};
                GetTextExtentPoint32W(screen, text, length, &extent);
                SelectObject(screen, old);
                if ((GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK) == BS_AUTOCHECKBOX)
                    extent.cx += MulDiv(16, dpi, 96);
                RECT box{};
                GetClientRect(control, &box);
                EXPECT_TRUE(length == 0 || (extent.cx <= box.right && extent.cy <= box.bottom))
                    << dpi << " dpi: " << text << " needs " << extent.cx << " x " << extent.cy;
            }
        }
    }
    ReleaseDC(nullptr, screen);
}

}  // namespace
