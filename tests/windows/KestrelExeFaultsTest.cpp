// kestrel.exe meeting faults and real input under Wine: its capture directory gone mid-run,
// a base directory that does not exist, a second instance refused Ctrl+F, Ctrl+F held down
// while the X server repeats it, the timer's pace, and the pointer's place in the file name.
// A failure is shown in one box captioned "Kestrel" and sent to the debugger's output, the
// program goes on, and nothing half-written is left behind.
#include "KestrelExeSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <regex>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace Win32Test;
using namespace std::chrono_literals;

constexpr auto CAPTURE_DEADLINE = 30s;

std::wstring TotalText(int count) {
    return L"Total captures saved: " + std::to_wstring(count);
}

bool AnyContains(const std::vector<std::wstring>& lines, const std::wstring& part) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::wstring& line) { return line.find(part) != line.npos; });
}

std::wstring Joined(const std::vector<std::wstring>& lines) {
    std::wstring all;
    for (const auto& line : lines) all += line + L"|";
    return all;
}

// Every entry of a capture directory (hidden ones too), by name.
std::vector<std::wstring> Names(const fs::path& directory) {
    std::vector<std::wstring> names;
    for (const auto& entry : Entries(directory)) names.push_back(entry.filename().wstring());
    std::sort(names.begin(), names.end(), [](const std::wstring& a, const std::wstring& b) {
        return std::wcstol(a.c_str(), nullptr, 10) < std::wcstol(b.c_str(), nullptr, 10);
    });
    return names;
}

// A capture's name: its number, a time of day, the pointer's image position.
bool IsCaptureName(const std::wstring& name, int number, const std::wstring& position = {}) {
    const std::wstring where = position.empty() ? L"-?[0-9]+--?[0-9]+" : position;
    return std::regex_match(
        name, std::wregex(std::to_wstring(number) + L"-[0-9]{6}-" + where + L"\\.bmp"));
}

std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

// The program with the controls the tests drive.
struct Program {
    HWND Window = nullptr;
    HWND CaptureBtn = nullptr;
    HWND TotalLbl = nullptr;
    HWND HotkeyLbl = nullptr;
};

constexpr char XDOTOOL[] = "/usr/bin/xdotool";

// Puts the pointer there for every process. Wine keeps a note of the cursor, set by
// SetCursorPos at once, and reads the X server's pointer instead once that note is a moment
// old; SetCursorPos moves the X server's pointer only when Wine flushes its request. So the
// X server's pointer is moved first, and Wine's note after it.
bool MovePointer(POINT to) {
    auto there = [&] {
        POINT now{};
        return GetCursorPos(&now) && now.x == to.x && now.y == to.y;
    };
    if (!StartUnixProgram(XDOTOOL,
                          L"mousemove " + std::to_wstring(to.x) + L" " + std::to_wstring(to.y)) ||
        !WaitUntil(there, 20s))
        return false;
    return SetCursorPos(to.x, to.y) && there();
}

class KestrelExeFaultsTest : public KestrelExeTestBase {
  protected:
    void TearDown() override {
        kestrel_.reset();  // ended before its settings and base directory go
        KestrelExeTestBase::TearDown();
    }

    // Starts kestrel.exe with the settings stored so far and finds its window's controls.
    testing::AssertionResult Start() {
        kestrel_.emplace();
        if (!kestrel_->Started())
            return testing::AssertionFailure() << "kestrel.exe did not start";
        if (!Attach(*kestrel_, program_))
            return testing::AssertionFailure() << "its main window did not show";
        return testing::AssertionSuccess();
    }

    // Waits for the program's window and finds its controls; false when it did not show.
    static bool Attach(const KestrelExe& kestrel, Program& program) {
        program.Window = kestrel.WaitForWindow();
        if (program.Window == nullptr)
            return false;
        program.CaptureBtn = Child(program.Window, L"Button", L"Make Capture Now");
        program.TotalLbl = Child(program.Window, L"Static", L"Total captures saved: 0");
        program.HotkeyLbl = Child(program.Window, L"Static", L"Hot Key is Disabled");
        if (program.HotkeyLbl == nullptr)
            program.HotkeyLbl = Child(program.Window, L"Static", L"Ctrl-F is the Hot Key");
        return program.CaptureBtn != nullptr && program.TotalLbl != nullptr;
    }

    static bool CountReaches(const Program& program, int count,
                             std::chrono::milliseconds deadline = CAPTURE_DEADLINE) {
        return WaitUntil([&] { return Text(program.TotalLbl) == TotalText(count); }, deadline);
    }

    // The window brought to the front, where Wine's X11 driver gives it the keyboard.
    static bool Foreground(HWND window) {
        return WaitUntil(
            [&] {
                if (GetForegroundWindow() == window)
                    return true;
                SetForegroundWindow(window);
                return false;
            },
            15s);
    }

    std::optional<KestrelExe> kestrel_;
    Program program_;
};

// The capture directory goes while the program runs: each capture into it is reported in
// the one box, the program goes on, and once the directory is back captures land there
// again, with nothing but whole captures in it.
TEST_F(KestrelExeFaultsTest, CaptureDirectoryRemovedMidRunIsReportedInOneBoxUntilItIsBack) {
    Store(L"OutputWidth", L"64");
    Store(L"OutputHeight", L"48");
    DebugOutput debug;
    ASSERT_TRUE(debug.Listening()) << "the debugger's output cannot be read";
    ASSERT_TRUE(Start());
    const fs::path dir = CaptureDir();
    ASSERT_FALSE(dir.empty());

    Click(program_.CaptureBtn);
    ASSERT_TRUE(CountReaches(program_, 1)) << Narrow(Text(program_.TotalLbl));
    ASSERT_TRUE(WaitUntil([&] { return Names(dir).size() == 1; }));

    fs::remove_all(dir);
    ASSERT_FALSE(fs::exists(dir));
    Click(program_.CaptureBtn);
    ASSERT_TRUE(CountReaches(program_, 2));
    HWND box = kestrel_->WaitForWindow(ERROR_CAPTION, CAPTURE_DEADLINE);
    ASSERT_NE(box, nullptr) << "the failed capture was not reported in a box";
    const std::wstring failed = L"Cannot save the capture \u201C" + dir.wstring() + L"\\2-";
    const std::wstring reason = L"\u201D: " + SystemMessage(ERROR_PATH_NOT_FOUND);
    std::wstring message = BoxMessage(box);
    EXPECT_EQ(message.rfind(failed, 0), 0u) << Narrow(message);
    EXPECT_TRUE(message.ends_with(reason)) << Narrow(message);
    EXPECT_TRUE(WaitUntil([&] {
        return AnyContains(debug.From(kestrel_->ProcessId()),
                           L"kestrel: Cannot save the capture ") &&
               AnyContains(debug.From(kestrel_->ProcessId()), dir.wstring() + L"\\2-");
    })) << Narrow(Joined(debug.From(kestrel_->ProcessId())));

    // A second failure while the box is up reuses it.
    Click(program_.CaptureBtn);
    ASSERT_TRUE(CountReaches(program_, 3));
    EXPECT_TRUE(WaitUntil([&] {
        return BoxMessage(box).find(dir.wstring() + L"\\3-") != std::wstring::npos;
    })) << Narrow(BoxMessage(box));
    EXPECT_EQ(kestrel_->Windows(ERROR_CAPTION).size(), 1u);
    EXPECT_TRUE(kestrel_->Running());
    EXPECT_TRUE(IsWindowVisible(program_.Window));

    ASSERT_TRUE(fs::create_directory(dir));
    Click(program_.CaptureBtn);
    ASSERT_TRUE(CountReaches(program_, 4));
    ASSERT_TRUE(WaitUntil([&] { return !Names(dir).empty(); }, CAPTURE_DEADLINE));
    EXPECT_EQ(kestrel_->Windows(ERROR_CAPTION), std::vector<HWND>{box});
    EXPECT_EQ(BoxMessage(box).find(L"\\4-"), std::wstring::npos) << "a saved capture reported";

    // Dismissed, the box goes; the next capture needs none.
    HWND ok = Child(box, L"Button", L"OK");
    ASSERT_NE(ok, nullptr);
    // Clicked with the mouse, as a user would. (A click posted to the button, BM_CLICK, while
    // the box is not the active window was lost under Wine in about half the runs.)
    RECT okRect{};
    GetWindowRect(ok, &okRect);
    ASSERT_TRUE(MovePointer({(okRect.left + okRect.right) / 2, (okRect.top + okRect.bottom) / 2}));
    INPUT click[2] = {};
    click[0].type = click[1].type = INPUT_MOUSE;
    click[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    click[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    ASSERT_EQ(SendInput(2, click, sizeof(INPUT)), 2u);
    ASSERT_TRUE(WaitUntil([&] { return kestrel_->Windows(ERROR_CAPTION).empty(); }))
        << "the box stayed after its OK button was clicked";
    Click(program_.CaptureBtn);
    ASSERT_TRUE(CountReaches(program_, 5));
    ASSERT_TRUE(WaitUntil([&] { return Names(dir).size() == 2; }, CAPTURE_DEADLINE))
        << Narrow(Joined(Names(dir)));
    EXPECT_TRUE(kestrel_->Windows(ERROR_CAPTION).empty());

    // Only the two whole captures: no temporary file of the failed or the saved ones.
    const auto names = Names(dir);
    ASSERT_EQ(names.size(), 2u);
    EXPECT_TRUE(IsCaptureName(names[0], 4)) << Narrow(names[0]);
    EXPECT_TRUE(IsCaptureName(names[1], 5)) << Narrow(names[1]);
    for (const auto& name : names)
        EXPECT_EQ(fs::file_size(dir / name), 54u + 64u * 48u * 3u) << Narrow(name);
    EXPECT_TRUE(kestrel_->Running());
}

// The time of day "hhmmss" this many seconds from now, as the program names its captures.
std::wstring TimeOfDayIn(int seconds) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    FILETIME file{};
    SystemTimeToFileTime(&now, &file);
    ULARGE_INTEGER ticks{};
    ticks.LowPart = file.dwLowDateTime;
    ticks.HighPart = file.dwHighDateTime;
    ticks.QuadPart += static_cast<ULONGLONG>(seconds) * 10'000'000ULL;
    file.dwLowDateTime = ticks.LowPart;
    file.dwHighDateTime = ticks.HighPart;
    SYSTEMTIME then{};
    FileTimeToSystemTime(&file, &then);
    wchar_t text[8] = {};
    swprintf(text, std::size(text), L"%02u%02u%02u", then.wHour, then.wMinute, then.wSecond);
    return text;
}

// A capture whose name is already taken: the file there is left as it was, the failure is
// reported, and no temporary file of the capture stays behind.
TEST_F(KestrelExeFaultsTest, ACaptureNameAlreadyTakenIsReportedAndTheFileThereKept) {
    Store(L"OutputWidth", L"64");
    Store(L"OutputHeight", L"48");
    ASSERT_TRUE(Start());
    const fs::path dir = CaptureDir();
    ASSERT_FALSE(dir.empty());
    ASSERT_TRUE(MovePointer({0, 0}));

    // Every name the first capture can take in the next minute.
    const std::string kept = "not a capture";
    for (int second = 0; second < 60; ++second)
        std::ofstream(dir / (L"1-" + TimeOfDayIn(second) + L"-0-0.bmp"), std::ios::binary) << kept;
    Click(program_.CaptureBtn);
    ASSERT_TRUE(CountReaches(program_, 1));
    HWND box = kestrel_->WaitForWindow(ERROR_CAPTION, CAPTURE_DEADLINE);
    ASSERT_NE(box, nullptr) << "the capture that could not be saved was not reported";
    const std::wstring message = BoxMessage(box);
    EXPECT_EQ(message.rfind(L"Cannot save the capture \u201C" + dir.wstring() + L"\\1-", 0), 0u)
        << Narrow(message);
    EXPECT_TRUE(message.ends_with(L"-0-0.bmp\u201D: " + SystemMessage(ERROR_ALREADY_EXISTS)))
        << Narrow(message);

    const auto names = Names(dir);
    EXPECT_EQ(names.size(), 60u) << Narrow(Joined(names));
    for (const auto& name : names) {
        std::ifstream file(dir / name, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(file)), {});
        EXPECT_EQ(bytes, kept) << Narrow(name);
    }
    EXPECT_TRUE(kestrel_->Running());
}

// A base directory that is not there at start: the capture directory cannot be made below
// it, which the box says, and the program still shows its window and runs.
TEST_F(KestrelExeFaultsTest, BaseDirectoryMissingAtStartIsReportedAndTheWindowShows) {
    const std::wstring missing = basePath_ + L"missing\\";
    Store(L"BasePath", missing);
    DebugOutput debug;
    ASSERT_TRUE(debug.Listening()) << "the debugger's output cannot be read";
    ASSERT_TRUE(Start());
    EXPECT_TRUE(IsWindowVisible(program_.Window));

    HWND box = kestrel_->WaitForWindow(ERROR_CAPTION, CAPTURE_DEADLINE);
    ASSERT_NE(box, nullptr) << "the missing base directory was not reported";
    const std::wstring message = BoxMessage(box);
    EXPECT_EQ(
        message.rfind(L"Cannot create the capture directory \u201C" + missing + L"KESTREL_", 0), 0u)
        << Narrow(message);
    EXPECT_TRUE(message.ends_with(L"\u201D: " + SystemMessage(ERROR_PATH_NOT_FOUND)))
        << Narrow(message);
    EXPECT_TRUE(WaitUntil([&] {
        return AnyContains(debug.From(kestrel_->ProcessId()),
                           L"kestrel: Cannot create the capture directory ");
    })) << Narrow(Joined(debug.From(kestrel_->ProcessId())));
    EXPECT_TRUE(kestrel_->Running());
    EXPECT_TRUE(Entries(base_.Path()).empty());

    // A capture into the directory that is not there is the next report, in the same box.
    Click(program_.CaptureBtn);
    ASSERT_TRUE(CountReaches(program_, 1));
    EXPECT_TRUE(WaitUntil([&] {
        return BoxMessage(box).rfind(L"Cannot save the capture \u201C" + missing + L"KESTREL_",
                                     0) == 0;
    })) << Narrow(BoxMessage(box));
    EXPECT_EQ(kestrel_->Windows(ERROR_CAPTION).size(), 1u);
    EXPECT_TRUE(kestrel_->Running());
    EXPECT_TRUE(Entries(base_.Path()).empty());
}

// Ctrl+F can be held by one program only. The second instance's refusal is noted in the
// debugger's output, as the Linux program notes it on standard error, without a box; its
// label still says what was asked for, and the first goes on capturing on Ctrl+F.
TEST_F(KestrelExeFaultsTest, SecondInstanceIsRefusedCtrlFNotesItAndTheFirstKeepsIt) {
    Store(L"UseHotkey", L"1");
    Store(L"OutputWidth", L"64");
    Store(L"OutputHeight", L"48");
    DebugOutput debug;
    ASSERT_TRUE(debug.Listening()) << "the debugger's output cannot be read";
    KestrelExe first;
    ASSERT_TRUE(first.Started());
    Program one;
    ASSERT_TRUE(Attach(first, one));
    const fs::path firstDir = CaptureDir();
    ASSERT_FALSE(firstDir.empty());

    // Both would name their capture directory after the same second.
    ScratchFolder otherBase;
    Store(L"BasePath", otherBase.Path().wstring() + L"\\");
    KestrelExe second;
    ASSERT_TRUE(second.Started());
    Program two;
    ASSERT_TRUE(Attach(second, two));
    EXPECT_EQ(Text(two.HotkeyLbl), L"Ctrl-F is the Hot Key");
    const std::wstring refused =
        L"kestrel: Cannot register Ctrl+F: " + SystemMessage(ERROR_HOTKEY_ALREADY_REGISTERED);
    EXPECT_TRUE(WaitUntil([&] { return AnyContains(debug.From(second.ProcessId()), refused); }))
        << Narrow(refused) << " not in " << Narrow(Joined(debug.From(second.ProcessId())));
    EXPECT_FALSE(AnyContains(debug.From(first.ProcessId()), L"Cannot register"));
    // Start-up registers the key before it shows the window: any box would be up by now.
    EXPECT_TRUE(second.Windows(ERROR_CAPTION).empty());
    EXPECT_TRUE(second.Running());

    ASSERT_TRUE(Foreground(one.Window));
    Press({VK_CONTROL, 'F'});
    ASSERT_TRUE(CountReaches(one, 1)) << Narrow(Text(one.TotalLbl));
    EXPECT_TRUE(WaitUntil([&] { return Names(firstDir).size() == 1; }));
    ASSERT_TRUE(Foreground(two.Window));
    Press({VK_CONTROL, 'F'});
    ASSERT_TRUE(CountReaches(one, 2)) << "the first lost Ctrl+F when the second came forward";
    EXPECT_EQ(Text(two.TotalLbl), TotalText(0));
    EXPECT_TRUE(first.Running());
    EXPECT_TRUE(second.Running());
}

// F going down and up on the desktop, seen by a low-level hook of the test's while it lives.
class FKeySeen {
  public:
    FKeySeen() {
        downs_ = 0;
        ups_ = 0;
        hook_ = SetWindowsHookExW(WH_KEYBOARD_LL, &FKeySeen::Seen, GetModuleHandleW(nullptr), 0);
    }
    ~FKeySeen() {
        if (hook_ != nullptr)
            UnhookWindowsHookEx(hook_);
    }
    FKeySeen(const FKeySeen&) = delete;
    FKeySeen& operator=(const FKeySeen&) = delete;
    bool Hooked() const { return hook_ != nullptr; }
    int Downs() const { return downs_; }
    int Ups() const { return ups_; }

  private:
    static LRESULT CALLBACK Seen(int code, WPARAM wParam, LPARAM lParam) {
        const auto* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        if (code == HC_ACTION && key->vkCode == 'F') {
            if (wParam == WM_KEYDOWN || wParam == WM_SYSKEYDOWN)
                ++downs_;
            else
                ++ups_;
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    static inline std::atomic<int> downs_{0};
    static inline std::atomic<int> ups_{0};
    HHOOK hook_ = nullptr;
};

// A hold of Ctrl+F as the program meets it: keys pressed on the X server, which repeats F
// while it is down as for a user, or the key-downs that a keyboard repeats, sent through
// the system once the press has been taken.
struct HoldCase {
    const char* Name;
    bool OnTheXServer;
};

class KestrelExeHeldHotKeyTest : public KestrelExeFaultsTest,
                                 public testing::WithParamInterface<HoldCase> {
  protected:
    // Holds Ctrl+F for two seconds' worth of repeats, as the hook counts them.
    void HoldCtrlF(const FKeySeen& keys, const Program& program) {
        const int downs = keys.Downs();
        const int ups = keys.Ups();
        if (GetParam().OnTheXServer) {
            ASSERT_TRUE(StartUnixProgram(XDOTOOL, L"keydown ctrl+f"));
            ASSERT_TRUE(WaitUntil([&] { return keys.Downs() > downs; }, 20s))
                << "the keys pressed on the X server did not reach Wine";
            const auto start = std::chrono::steady_clock::now();
            // The server's default: 660 ms before the first repeat, then 25 a second.
            const bool repeated = WaitUntil(
                [&] {
                    return keys.Downs() - downs >= 20 &&
                           std::chrono::steady_clock::now() - start >= 2s;
                },
                20s);
            ASSERT_TRUE(StartUnixProgram(XDOTOOL, L"keyup ctrl+f"));
            ASSERT_TRUE(repeated) << keys.Downs() - downs
                                  << " key-downs of F reached Wine: the X server did not repeat";
        } else {
            INPUT press[2] = {};
            for (INPUT& input : press) input.type = INPUT_KEYBOARD;
            press[0].ki.wVk = VK_CONTROL;
            press[1].ki.wVk = 'F';
            ASSERT_EQ(SendInput(2, press, sizeof(INPUT)), 2u);
            // A keyboard repeats only after its delay, long after the press was taken.
            ASSERT_TRUE(CountReaches(program, 1)) << Narrow(Text(program.TotalLbl));
            std::vector<INPUT> inputs(61);
            for (auto& input : inputs) {
                input.type = INPUT_KEYBOARD;
                input.ki.wVk = 'F';
            }
            inputs[59].ki.dwFlags = KEYEVENTF_KEYUP;
            inputs[60].ki.wVk = VK_CONTROL;
            inputs[60].ki.dwFlags = KEYEVENTF_KEYUP;
            ASSERT_EQ(SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)),
                      inputs.size());
        }
        ASSERT_TRUE(WaitUntil([&] { return keys.Ups() > ups; }, 20s)) << "F was not released";
    }

    void PressCtrlF(const FKeySeen& keys) {
        const int ups = keys.Ups();
        if (GetParam().OnTheXServer)
            ASSERT_TRUE(StartUnixProgram(XDOTOOL, L"key ctrl+f"));
        else
            Press({VK_CONTROL, 'F'});
        ASSERT_TRUE(WaitUntil([&] { return keys.Ups() > ups; }, 20s)) << "F was not pressed";
    }
};

TEST_P(KestrelExeHeldHotKeyTest, CtrlFHeldTwoSecondsIsOneCaptureAndTheNextPressAnother) {
    Store(L"UseHotkey", L"1");
    Store(L"OutputWidth", L"64");
    Store(L"OutputHeight", L"48");
    ASSERT_TRUE(Start());
    const fs::path dir = CaptureDir();
    ASSERT_FALSE(dir.empty());
    // Wine turns keys into the hot key only while one of its windows has the keyboard. With
    // no window manager the X server gives the keyboard to the window under the pointer.
    ASSERT_TRUE(Foreground(program_.Window));
    RECT label{};
    GetWindowRect(program_.TotalLbl, &label);
    ASSERT_TRUE(MovePointer({(label.left + label.right) / 2, (label.top + label.bottom) / 2}));
    FKeySeen keys;
    ASSERT_TRUE(keys.Hooked());

    ASSERT_NO_FATAL_FAILURE(HoldCtrlF(keys, program_));
    ASSERT_TRUE(CountReaches(program_, 1)) << Narrow(Text(program_.TotalLbl));
    EXPECT_FALSE(WaitUntil([&] { return Text(program_.TotalLbl) != TotalText(1); }, 1s))
        << Narrow(Text(program_.TotalLbl)) << " after one hold";

    ASSERT_NO_FATAL_FAILURE(PressCtrlF(keys));
    ASSERT_TRUE(CountReaches(program_, 2)) << Narrow(Text(program_.TotalLbl));
    EXPECT_FALSE(WaitUntil([&] { return Text(program_.TotalLbl) != TotalText(2); }, 1s))
        << Narrow(Text(program_.TotalLbl)) << " after the next press";
    ASSERT_TRUE(WaitUntil([&] { return Names(dir).size() == 2; }, CAPTURE_DEADLINE));
    const auto names = Names(dir);
    EXPECT_TRUE(IsCaptureName(names[0], 1)) << Narrow(names[0]);
    EXPECT_TRUE(IsCaptureName(names[1], 2)) << Narrow(names[1]);
    EXPECT_TRUE(kestrel_->Running());
}

INSTANTIATE_TEST_SUITE_P(Repeat, KestrelExeHeldHotKeyTest,
                         testing::Values(HoldCase{"XServerAutoRepeat", true},
                                         HoldCase{"RepeatedKeyDowns", false}),
                         [](const testing::TestParamInfo<HoldCase>& param) {
                             return std::string(param.param.Name);
                         });

// The pace of Timer1 at 0.2 s, and none with the timer off: numbered files 1, 2, 3 ...
struct TimerCase {
    const char* Name;
    const wchar_t* UseTimer;
};

class KestrelExeTimerTest : public KestrelExeFaultsTest,
                            public testing::WithParamInterface<TimerCase> {};

TEST_P(KestrelExeTimerTest, TimerPeriodOfAFifthOfASecondSavesNumberedCapturesAtThatPace) {
    Store(L"UseTimer", GetParam().UseTimer);
    Store(L"TimerPeriod", L"0.2");
    Store(L"OutputWidth", L"64");
    Store(L"OutputHeight", L"48");
    ASSERT_TRUE(Start());
    const fs::path dir = CaptureDir();
    ASSERT_FALSE(dir.empty());

    if (std::wstring(GetParam().UseTimer) == L"0") {
        EXPECT_FALSE(WaitUntil([&] { return !Names(dir).empty(); }, 1500ms));
        EXPECT_EQ(Text(program_.TotalLbl), TotalText(0));
        return;
    }
    ASSERT_TRUE(WaitUntil([&] { return !Names(dir).empty(); }, CAPTURE_DEADLINE));
    const auto firstSeen = std::chrono::steady_clock::now();
    // Five more periods: 1 s at 0.2 s, 25 s at the timer's 5 s default.
    ASSERT_TRUE(WaitUntil([&] { return Names(dir).size() >= 6; }, 5s))
        << Names(dir).size() << " captures 5 s after the first";
    const auto sixthSeen = std::chrono::steady_clock::now();
    EXPECT_GE(sixthSeen - firstSeen, 800ms) << "faster than one capture per 0.2 s";

    const std::wstring label = Text(program_.TotalLbl);
    PostMessageW(program_.Window, WM_CLOSE, 0, 0);
    ASSERT_TRUE(kestrel_->EndsWithStatusZero());
    const auto names = Names(dir);
    for (std::size_t i = 0; i < names.size(); ++i)
        EXPECT_TRUE(IsCaptureName(names[i], static_cast<int>(i) + 1)) << Narrow(names[i]);
    // The label had counted the last file, or all but the one the next tick saved.
    const int shown = std::wcstol(label.substr(label.rfind(L' ') + 1).c_str(), nullptr, 10);
    EXPECT_TRUE(shown == static_cast<int>(names.size()) ||
                shown + 1 == static_cast<int>(names.size()))
        << Narrow(label) << " with " << names.size() << " files";
    EXPECT_FALSE(WaitUntil([&] { return Names(dir).size() > names.size(); }, 500ms))
        << "saved after the program_ ended";
}

INSTANTIATE_TEST_SUITE_P(UseTimer, KestrelExeTimerTest,
                         testing::Values(TimerCase{"On", L"1"}, TimerCase{"Off", L"0"}),
                         [](const testing::TestParamInfo<TimerCase>& param) {
                             return std::string(param.param.Name);
                         });

// Stored periods that make an interval of 0 ms: no capture at all rather than as many as the
// system allows, and the program runs on. An absence, so watched for a fixed while.
TEST_F(KestrelExeFaultsTest, TimerPeriodBelowHalfAMillisecondMakesNoCapture) {
    for (const wchar_t* period : {L"0", L"0.0004"}) {
        Store(L"UseTimer", L"1");
        Store(L"TimerPeriod", period);
        KestrelExe kestrel;
        Program program;
        ASSERT_TRUE(Attach(kestrel, program)) << Narrow(period);
        EXPECT_FALSE(WaitUntil([&] { return Text(program.TotalLbl) != TotalText(0); }, 5s));
        EXPECT_TRUE(kestrel.Running()) << Narrow(period);
    }
}

// The pointer put at known places of the screen: the name carries its place in the
// 400 x 300 picture, each coordinate scaled and truncated as 32-bit integers.
TEST_F(KestrelExeFaultsTest, PointerPlaceIsNamedInThePicturesPixels) {
    Store(L"OutputWidth", L"400");
    Store(L"OutputHeight", L"300");
    ASSERT_TRUE(Start());
    const fs::path dir = CaptureDir();
    ASSERT_FALSE(dir.empty());

    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    ASSERT_GT(width, 0);
    ASSERT_GT(height, 0);
    struct Place {
        const char* Name;
        POINT Screen;
    };
    const Place places[] = {
        {"top left", {0, 0}},
        {"bottom right", {width - 1, height - 1}},
        {"centre", {width / 2, height / 2}},
        {"top right", {width - 1, 0}},
        {"bottom left", {0, height - 1}},
        {"a third across, two thirds down", {width / 3, 2 * height / 3}},
    };
    int number = 0;
    for (const Place& place : places) {
        ASSERT_TRUE(MovePointer(place.Screen)) << place.Name;
        ++number;
        Click(program_.CaptureBtn);
        ASSERT_TRUE(CountReaches(program_, number)) << place.Name;
        ASSERT_TRUE(WaitUntil([&] { return Names(dir).size() == static_cast<std::size_t>(number); },
                              CAPTURE_DEADLINE))
            << place.Name;
        const std::wstring expected = std::to_wstring(400 * place.Screen.x / width) + L"-" +
                                      std::to_wstring(300 * place.Screen.y / height);
        const std::wstring name = Names(dir).back();
        EXPECT_TRUE(IsCaptureName(name, number, expected))
            << place.Name << ": " << Narrow(name) << ", expected " << Narrow(expected);
    }
    EXPECT_TRUE(kestrel_->Windows(ERROR_CAPTION).empty());
}

}  // namespace
