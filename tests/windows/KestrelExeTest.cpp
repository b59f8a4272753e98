// kestrel.exe as a user meets it under Wine: started with only a base directory stored, it
// writes its settings back, makes its capture directory, shows its window laid out as
// designed, saves one picture per click of Make Capture Now, and ends when closed.
#include "KestrelExeSupport.h"
#include "platform/win32/Win32SettingsStore.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <regex>
#include <string>
#include <vector>

namespace {

using namespace Win32Test;

using KestrelExeTest = KestrelExeTestBase;

TEST_F(KestrelExeTest, StartsWritesSettingsBackAndMakesItsCaptureDirectory) {
    KestrelExe kestrel;
    ASSERT_TRUE(kestrel.Started());
    HWND window = kestrel.WaitForWindow();
    ASSERT_NE(window, nullptr) << "no window \"Screen Capture Utility\" appeared";

    const std::pair<const wchar_t*, std::wstring> stored[] = {
        {L"BasePath", basePath_}, {L"UseTimer", L"0"},       {L"TimerPeriod", L"2"},
        {L"OutputWidth", L"800"}, {L"OutputHeight", L"600"}, {L"UseHotkey", L"0"},
    };
    for (const auto& [name, text] : stored) EXPECT_EQ(StoredText(name), text) << name;

    const auto entries = Entries(base_.Path());
    ASSERT_EQ(entries.size(), 1u);
    const std::wstring name = entries[0].filename().wstring();
    EXPECT_TRUE(std::regex_match(name, std::wregex(L"KESTREL_[0-9]{8}_[0-9]{6}"))) << name;
    EXPECT_TRUE(std::filesystem::is_directory(entries[0]));

    EXPECT_EQ(Text(FindWindowExW(window, nullptr, L"Static", L"Total captures saved: 0")),
              L"Total captures saved: 0");
    EXPECT_NE(FindWindowExW(window, nullptr, L"Static", L"Hot Key is Disabled"), nullptr);
    HWND dirLbl = FindWindowExW(window, nullptr, L"Static", nullptr);
    bool dirShown = false;
    for (; dirLbl != nullptr; dirLbl = FindWindowExW(window, dirLbl, L"Static", nullptr))
        dirShown = dirShown || Text(dirLbl).find(name) != std::wstring::npos;
    EXPECT_TRUE(dirShown) << "no label names the capture directory";
}

// Twips at 96 dots per inch: 15 to the pixel. Wine's default is 96.
TEST_F(KestrelExeTest, WindowIsLaidOutInTwipsWithTheFocusOnQuit) {
    KestrelExe kestrel;
    ASSERT_TRUE(kestrel.Started());
    HWND window = kestrel.WaitForWindow();
    ASSERT_NE(window, nullptr);

    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 418);
    EXPECT_EQ(client.bottom, 142);
    const LONG style = GetWindowLongW(window, GWL_STYLE);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);

    ExpectLaidOutAsTable(window, KestrelMain::MAIN_FORM, {"HotkeyLbl", "DirLbl"});
    EXPECT_EQ(Text(ControlOf(window, KestrelMain::MAIN_FORM.Control("HotkeyLbl"))),
              L"Hot Key is Disabled");

    HWND quit = FindWindowExW(window, nullptr, L"Button", L"Quit");
    GUITHREADINFO thread{};
    thread.cbSize = sizeof thread;
    EXPECT_TRUE(WaitUntil([&] {
        return GetGUIThreadInfo(kestrel.ThreadId(), &thread) && thread.hwndFocus == quit;
    })) << "the focus is not on Quit";
}

TEST_F(KestrelExeTest, MakeCaptureNowSavesOneBmpAndClosingTheWindowEndsTheProgram) {
    // The width as an administrator's .reg file may store it: a number, kept as the user's.
    const DWORD width = 1024;
    RegSetKeyValueW(HKEY_CURRENT_USER, Platform::Win32::SETTINGS_SUBKEY, L"OutputWidth", REG_DWORD,
                    &width, sizeof width);
    KestrelExe kestrel;
    ASSERT_TRUE(kestrel.Started());
    HWND window = kestrel.WaitForWindow();
    ASSERT_NE(window, nullptr);
    const auto entries = Entries(base_.Path());
    ASSERT_EQ(entries.size(), 1u);
    const std::filesystem::path captureDir = entries[0];
    ASSERT_TRUE(Entries(captureDir).empty());

    HWND capture = FindWindowExW(window, nullptr, L"Button", L"Make Capture Now");
    ASSERT_NE(capture, nullptr);
    PostMessageW(capture, BM_CLICK, 0, 0);
    HWND total = FindWindowExW(window, nullptr, L"Static", L"Total captures saved: 0");
    ASSERT_TRUE(WaitUntil([&] { return Text(total) == L"Total captures saved: 1"; },
                          std::chrono::seconds(30)))
        << Text(total);

    const auto files = Entries(captureDir);
    ASSERT_EQ(files.size(), 1u);
    const std::wstring name = files[0].filename().wstring();
    EXPECT_TRUE(std::regex_match(name, std::wregex(L"1-[0-9]{6}--?[0-9]+--?[0-9]+\\.bmp"))) << name;
    std::array<unsigned char, 26> header{};
    std::ifstream file(files[0], std::ios::binary);
    file.read(reinterpret_cast<char*>(header.data()), header.size());
    ASSERT_TRUE(file) << "shorter than a BMP header";
    EXPECT_EQ(header[0], 'B');
    EXPECT_EQ(header[1], 'M');
    EXPECT_EQ(LittleEndian32(header, 2),
              static_cast<std::int32_t>(std::filesystem::file_size(files[0])));
    EXPECT_EQ(LittleEndian32(header, 18), 1024);
    EXPECT_EQ(std::abs(LittleEndian32(header, 22)), 600);
    EXPECT_EQ(StoredText(L"OutputWidth"), L"1024");

    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(kestrel.EndsWithStatusZero());
    EXPECT_EQ(Entries(captureDir).size(), 1u);
}

TEST_F(KestrelExeTest, QuitButtonEndsTheProgram) {
    KestrelExe kestrel;
    ASSERT_TRUE(kestrel.Started());
    HWND window = kestrel.WaitForWindow();
    ASSERT_NE(window, nullptr);
    PostMessageW(FindWindowExW(window, nullptr, L"Button", L"Quit"), BM_CLICK, 0, 0);
    EXPECT_TRUE(kestrel.EndsWithStatusZero());
}

TEST_F(KestrelExeTest, TabWalksTheButtonsFromQuitAndCtrlFCapturesWhenTheHotKeyIsOn) {
    Store(L"UseHotkey", L"1");
    KestrelExe kestrel;
    ASSERT_TRUE(kestrel.Started());
    HWND window = kestrel.WaitForWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_NE(FindWindowExW(window, nullptr, L"Static", L"Ctrl-F is the Hot Key"), nullptr);
    ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == window; }))
        << "the window did not come to the foreground";

    auto focused = [&] { return Text(kestrel.Focused()); };
    ASSERT_TRUE(WaitUntil([&] { return focused() == L"Quit"; })) << focused();
    for (const wchar_t* next : {L"Configure", L"Make Capture Now", L"About", L"Quit"}) {
        Press({VK_TAB});
        EXPECT_TRUE(WaitUntil([&] { return focused() == next; })) << focused();
    }

    HWND total = FindWindowExW(window, nullptr, L"Static", L"Total captures saved: 0");
    Press({VK_CONTROL, 'F'});
    EXPECT_TRUE(WaitUntil([&] { return Text(total) == L"Total captures saved: 1"; },
                          std::chrono::seconds(30)))
        << Text(total);
    const auto entries = Entries(base_.Path());
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(Entries(entries[0]).size(), 1u);
}

}  // namespace
