// kestrel.exe's About window as a user meets it under Wine: opened by About, laid out in
// twips at its fixed place, off the task bar, its title line in dark blue; OK hides it and
// About shows the same window again where it was; closing it from its title bar destroys
// it; the web button opens the maker's page through the browser Wine is told to use, a
// stand-in here, and hides the window; the main window keeps working all along. And the
// program's icon, which its file carries.
#include "KestrelExeSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace Win32Test;

constexpr wchar_t ABOUT_CAPTION[] = L"About Screen Capture Utility";
constexpr wchar_t TITLE_TEXT[] = L"Ardmoor Screen Capture Utility v1.0";
constexpr wchar_t WEB_TEXT[] = L"Visit the Ardmoor Website for More Information";
// RGB(0, 0, 192) as a 32-bit DIB holds it: 0x00RRGGBB. The top byte is unused in such a
// DIB and GDI leaves in it what it likes (Wine 10 sets it, Wine 8 clears it): not compared.
constexpr std::uint32_t TITLE_PIXEL = 0x0000C0u;
constexpr std::uint32_t COLOUR_BITS = 0xFFFFFFu;

POINT ClientCorner(HWND window) {
    POINT corner{0, 0};
    ClientToScreen(window, &corner);
    return corner;
}

void Click(HWND parent, const wchar_t* text) {
    PostMessageW(Child(parent, L"Button", text), BM_CLICK, 0, 0);
}

class KestrelExeAboutTest : public KestrelExeTestBase {
  protected:
    // Starts the program and opens its About window with the About button.
    void OpenAbout() {
        ASSERT_TRUE(kestrel_.Started());
        form_ = kestrel_.WaitForWindow();
        ASSERT_NE(form_, nullptr) << "no main window";
        Click(form_, L"About");
        about_ = kestrel_.WaitForWindow(ABOUT_CAPTION);
        ASSERT_NE(about_, nullptr) << "About did not open the About window";
    }

    bool StillRunning() const { return WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }

    // Clicks Make Capture Now and waits for the count to reach captures.
    bool CapturesTo(int captures) {
        HWND total = nullptr;
        for (HWND label = FindWindowExW(form_, nullptr, L"Static", nullptr); label != nullptr;
             label = FindWindowExW(form_, label, L"Static", nullptr)) {
            if (Text(label).starts_with(L"Total captures saved: "))
                total = label;
        }
        if (total == nullptr)
            return false;
        Click(form_, L"Make Capture Now");
        const std::wstring expected = L"Total captures saved: " + std::to_wstring(captures);
        return WaitUntil([&] { return Text(total) == expected; }, std::chrono::seconds(30));
    }

    KestrelExe kestrel_;
    HWND form_ = nullptr;
    HWND about_ = nullptr;

  private:
    struct ProcessHandle {
        HANDLE handle;
        ~ProcessHandle() {
            if (handle != nullptr)
                CloseHandle(handle);
        }
        HANDLE get() const { return handle; }
    };
    ProcessHandle process_{OpenProcess(SYNCHRONIZE, FALSE, kestrel_.ProcessId())};
};

TEST_F(KestrelExeAboutTest, AboutOpensItLaidOutInTwipsAtItsPlaceOffTheTaskBar) {
    OpenAbout();
    EXPECT_EQ(Text(about_), ABOUT_CAPTION);

    RECT client{};
    GetClientRect(about_, &client);
    EXPECT_EQ(client.right, 405);
    EXPECT_EQ(client.bottom, 108);
    // 2760 x 3750 twips from the primary monitor's corner, the screen's origin.
    const POINT corner = ClientCorner(about_);
    EXPECT_EQ(corner.x, 184);
    EXPECT_EQ(corner.y, 250);

    const LONG style = GetWindowLongW(about_, GWL_STYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME | WS_CHILD));
    const LONG exStyle = GetWindowLongW(about_, GWL_EXSTYLE);
    EXPECT_TRUE(exStyle & WS_EX_DLGMODALFRAME);
    // Off the task bar through an owner that nobody sees; not a tool window, whose title
    // bar would lose the system menu. Not owned by the main window either.
    EXPECT_FALSE(exStyle & (WS_EX_APPWINDOW | WS_EX_TOOLWINDOW));
    HWND owner = GetWindow(about_, GW_OWNER);
    ASSERT_NE(owner, nullptr) << "an unowned window gets a task-bar button";
    EXPECT_NE(owner, form_);
    EXPECT_FALSE(IsWindowVisible(owner));

    ExpectLaidOutAsTable(about_, KestrelMain::ABOUT_DIALOG);
    for (const char* name : {"Command1", "OKButton"}) {
        HWND button = ControlOf(about_, KestrelMain::ABOUT_DIALOG.Control(name));
        EXPECT_TRUE(GetWindowLongW(button, GWL_STYLE) & WS_TABSTOP) << name;
    }
    EXPECT_TRUE(GetWindowLongW(Child(about_, L"Static", TITLE_TEXT), GWL_STYLE) & SS_NOPREFIX);
    // Three controls and nothing else.
    int children = 0;
    for (HWND child = GetWindow(about_, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT))
        ++children;
    EXPECT_EQ(children, 3);

    // The main window stays as it was: still the only one with a task-bar button.
    EXPECT_TRUE(GetWindowLongW(form_, GWL_EXSTYLE) & WS_EX_APPWINDOW);
}

TEST_F(KestrelExeAboutTest, FocusStartsOnOkTabWalksToTheWebButtonAndEscapeHidesNothing) {
    OpenAbout();
    ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == about_; }))
        << "the About window did not come to the foreground";
    auto focused = [&] { return Text(kestrel_.Focused()); };
    ASSERT_TRUE(WaitUntil([&] { return focused() == L"OK"; })) << focused();

    // Escape first: the Tab after it is handled after it, so once the focus has moved,
    // Escape has had its turn. No button is the cancel button: the window stays.
    for (const wchar_t* next : {WEB_TEXT, L"OK"}) {
        Press({VK_ESCAPE});
        Press({VK_TAB});
        EXPECT_TRUE(WaitUntil([&] { return focused() == next; })) << focused();
        EXPECT_TRUE(IsWindowVisible(about_));
    }
}

// What can be seen of the title line's font from outside the program: its ink in dark blue
// on the dialog's face, wider and taller than the dialog font would draw it.
TEST_F(KestrelExeAboutTest, TitleLineIsDrawnLargeInDarkBlue) {
    OpenAbout();
    HWND label = Child(about_, L"Static", TITLE_TEXT);
    ASSERT_NE(label, nullptr);
    RECT rect{};
    GetWindowRect(label, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;

    BITMAPINFO info = Win32Test::TopDown32(width, height);
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
    struct Ink {
        int count = 0, left = 0, right = -1, top = 0, bottom = -1;
    } ink;
    auto read = [&] {
        HDC screen = GetDC(nullptr);
        HDC memory = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
        SelectObject(memory, old);
        GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(), &info,
                  DIB_RGB_COLORS);
        DeleteObject(bitmap);
        DeleteDC(memory);
        ReleaseDC(nullptr, screen);
        ink = {0, width, -1, height, -1};
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                if ((pixels[static_cast<std::size_t>(y) * width + x] & COLOUR_BITS) != TITLE_PIXEL)
                    continue;
                ++ink.count;
                ink.left = std::min(ink.left, x);
                ink.right = std::max(ink.right, x);
                ink.top = std::min(ink.top, y);
                ink.bottom = std::max(ink.bottom, y);
            }
        }
        return ink.count > 200;
    };
    ASSERT_TRUE(WaitUntil(read)) << "no dark blue text on the title line: " << ink.count
                                 << " pixels";
    // 13.5 points draw it some 300 pixels wide and 17 high from the tallest letter to the
    // deepest; the dialog font, about 200 by 12.
    EXPECT_GT(ink.right - ink.left + 1, 250) << "ink from " << ink.left << " to " << ink.right;
    EXPECT_GE(ink.bottom - ink.top + 1, 15) << "ink from " << ink.top << " to " << ink.bottom;
}

TEST_F(KestrelExeAboutTest, OkHidesItAndAboutShowsTheSameWindowWhereItWasLeft) {
    OpenAbout();
    // Moved by the user: shown again there, not at its first place.
    RECT frame{};
    GetWindowRect(about_, &frame);
    SetWindowPos(about_, nullptr, frame.left + 40, frame.top + 30, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ASSERT_TRUE(WaitUntil([&] { return ClientCorner(about_).x == 224; }));
    const POINT moved = ClientCorner(about_);

    for (int round = 0; round < 2; ++round) {
        Click(about_, L"OK");
        ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(about_); }))
            << "OK did not hide the About window";
        EXPECT_TRUE(IsWindow(about_)) << "OK destroyed the About window";
        Click(form_, L"About");
        HWND again = kestrel_.WaitForWindow(ABOUT_CAPTION);
        ASSERT_EQ(again, about_) << "About made a second window";
        const POINT corner = ClientCorner(again);
        EXPECT_EQ(corner.x, moved.x);
        EXPECT_EQ(corner.y, moved.y);
    }
    // About while it is already open: still the one window.
    Click(form_, L"About");
    ASSERT_TRUE(CapturesTo(1));
    EXPECT_EQ(FindWindowExW(nullptr, about_, nullptr, ABOUT_CAPTION), nullptr);
    EXPECT_EQ(FindWindowExW(nullptr, nullptr, nullptr, ABOUT_CAPTION), about_);
}

TEST_F(KestrelExeAboutTest, ClosingItFromItsTitleBarDestroysItAndAboutMakesANewOne) {
    OpenAbout();
    HWND first = about_;
    PostMessageW(first, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(first); }))
        << "closing from the title bar left the window in existence";
    EXPECT_TRUE(StillRunning());

    Click(form_, L"About");
    HWND second = kestrel_.WaitForWindow(ABOUT_CAPTION);
    ASSERT_NE(second, nullptr) << "About did not make the window anew";
    EXPECT_NE(second, first);
    const POINT corner = ClientCorner(second);
    EXPECT_EQ(corner.x, 184);
    EXPECT_EQ(corner.y, 250);
    EXPECT_NE(Child(second, L"Static", TITLE_TEXT), nullptr);

    // And the new one answers its buttons like the first.
    Click(second, L"OK");
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(second); }));
    EXPECT_TRUE(IsWindow(second));
}

TEST_F(KestrelExeAboutTest, MakeCaptureNowStillWorksWhileItIsOpen) {
    OpenAbout();
    ASSERT_TRUE(CapturesTo(1));
    ASSERT_TRUE(CapturesTo(2));
    EXPECT_TRUE(IsWindowVisible(about_));
    const auto folders = Entries(base_.Path());
    ASSERT_EQ(folders.size(), 1u);
    EXPECT_EQ(Entries(folders[0]).size(), 2u);

    PostMessageW(form_, WM_CLOSE, 0, 0);
    EXPECT_TRUE(kestrel_.EndsWithStatusZero());
}

// Wine opens an http address with winebrowser, which runs the first program that starts
// among those named by HKCU\Software\Wine\WineBrowser's "Browsers" value. The stand-in
// named there writes down what it was given; the value is put back as it was afterwards.
class BrowserStandIn {
  public:
    explicit BrowserStandIn(const std::filesystem::path& folder)
        : record_(folder / L"address.txt") {
        const std::string unixFolder = UnixPath(folder);
        const std::filesystem::path script = folder / L"browser.sh";
        std::ofstream(script, std::ios::binary)
            << "printf '%s\\n' \"$@\" > '" << unixFolder << "/address.part'\n"
            << "mv '" << unixFolder << "/address.part' '" << unixFolder << "/address.txt'\n";
        // Not executable as Wine writes it: run by the shell.
        const std::string command = "/bin/sh \"" + unixFolder + "/browser.sh\"";

        RegCreateKeyExW(HKEY_CURRENT_USER, KEY, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                        nullptr, &key_, &disposition_);
        DWORD bytes = 0;
        if (RegQueryValueExW(key_, VALUE, nullptr, &oldKind_, nullptr, &bytes) == ERROR_SUCCESS) {
            oldValue_.emplace(bytes, 0);
            RegQueryValueExW(key_, VALUE, nullptr, &oldKind_, oldValue_->data(), &bytes);
        }
        const std::wstring wide(command.begin(), command.end());
        RegSetValueExW(key_, VALUE, 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                       static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
    }

    ~BrowserStandIn() {
        if (oldValue_)
            RegSetValueExW(key_, VALUE, 0, oldKind_, oldValue_->data(),
                           static_cast<DWORD>(oldValue_->size()));
        else
            RegDeleteValueW(key_, VALUE);
        RegCloseKey(key_);
        if (disposition_ == REG_CREATED_NEW_KEY)
            RegDeleteKeyW(HKEY_CURRENT_USER, KEY);
    }

    BrowserStandIn(const BrowserStandIn&) = delete;
    BrowserStandIn& operator=(const BrowserStandIn&) = delete;

    // What the browser was given, one argument a line; empty until it ran.
    std::string Recorded() const {
        std::ifstream file(record_, std::ios::binary);
        return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    }

  private:
    static constexpr wchar_t KEY[] = L"Software\\Wine\\WineBrowser";
    static constexpr wchar_t VALUE[] = L"Browsers";

    static std::string UnixPath(const std::filesystem::path& path) {
        using ToUnix = char*(CDECL*)(const wchar_t*);
        auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
        if (toUnix == nullptr)
            return {};
        char* unix = toUnix(path.c_str());
        if (unix == nullptr)
            return {};
        std::string result = unix;
        HeapFree(GetProcessHeap(), 0, unix);
        return result;
    }

    std::filesystem::path record_;
    HKEY key_ = nullptr;
    DWORD disposition_ = 0;
    DWORD oldKind_ = 0;
    std::optional<std::vector<BYTE>> oldValue_;
};

TEST_F(KestrelExeAboutTest, WebButtonOpensTheMakersPageInTheBrowserAndHidesTheWindow) {
    ScratchFolder folder;
    BrowserStandIn browser(folder.Path());
    OpenAbout();

    Click(about_, WEB_TEXT);
    EXPECT_TRUE(WaitUntil([&] { return !browser.Recorded().empty(); }, std::chrono::seconds(60)))
        << "the browser was not started";
    EXPECT_EQ(browser.Recorded(), "http://" KESTREL_MAKER_HOST "/education/dl/tools/\n");
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(about_); }))
        << "the web button did not hide the About window";
    EXPECT_TRUE(IsWindow(about_));

    // The program goes on: it captures, and About shows the same window again.
    EXPECT_TRUE(StillRunning());
    ASSERT_TRUE(CapturesTo(1));
    Click(form_, L"About");
    EXPECT_EQ(kestrel_.WaitForWindow(ABOUT_CAPTION), about_);
}

}  // namespace

namespace {

// kestrel.exe's icon: resource 1, which the main window's class and the shell take, with
// an image for each size the shell and the task bar ask for, each one that loads.
TEST(KestrelExeIcon, IconOneHoldsEverySizeTheShellAsksForAndEachLoads) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::filesystem::path program =
        std::filesystem::path(self).parent_path() / L"kestrel.exe";
    HMODULE module = LoadLibraryExW(program.c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module, nullptr);

    HRSRC group = FindResourceW(module, MAKEINTRESOURCEW(1), RT_GROUP_ICON);
    ASSERT_NE(group, nullptr) << "no icon group 1";
    const auto* directory = static_cast<const BYTE*>(LockResource(LoadResource(module, group)));
    ASSERT_NE(directory, nullptr);
    // A 6-byte header (reserved, type 1, count), then 14-byte entries whose first byte is the
    // width, 0 standing for 256.
    const int count = directory[4] | directory[5] << 8;
    std::vector<int> sizes;
    for (int entry = 0; entry < count; ++entry) {
        const int width = directory[6 + 14 * entry];
        sizes.push_back(width == 0 ? 256 : width);
    }
    EXPECT_EQ(sizes, (std::vector<int>{16, 24, 32, 48, 256}));

    for (int size : sizes) {
        HICON icon = static_cast<HICON>(
            LoadImageW(module, MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
        ASSERT_NE(icon, nullptr) << size << " px";
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon, &info)) << size << " px";
        BITMAP bitmap{};
        GetObjectW(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
        EXPECT_EQ(bitmap.bmWidth, size);
        if (info.hbmColor != nullptr)
            DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
    FreeLibrary(module);
}

}  // namespace
