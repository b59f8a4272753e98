// Driving kestrel.exe under Wine as a user would: started as its own process with a base
// directory of the test's, its windows found by caption, its controls read through
// messages, keys pressed through the system's input, its registry values and files read
// where it keeps them.
#pragma once

#include "Win32TestSupport.h"
#include "core/WindowLayouts.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace Win32Test {

inline constexpr wchar_t PROGRAM_KEY[] = L"Software\\VB and VBA Program Settings\\Kestrel";
// The user's own number formats, the decimal separator "sDecimal" among them.
inline constexpr wchar_t USER_LOCALE[] = L"Control Panel\\International";
inline constexpr wchar_t MAIN_CAPTION[] = L"Screen Capture Utility";
inline constexpr auto START_DEADLINE = std::chrono::seconds(60);

// A control's or a window's text, read through a message so that it works across processes.
std::wstring Text(HWND window);

// A value under the program's settings key, or "<absent or not REG_SZ>".
std::wstring StoredText(const wchar_t* name);
void Store(const wchar_t* name, const std::wstring& text);

// The entries of a folder, in no particular order; none when it is missing.
std::vector<std::filesystem::path> Entries(const std::filesystem::path& folder);

std::int32_t LittleEndian32(const std::array<unsigned char, 26>& bytes, std::size_t at);

// Presses the keys in order and releases them in reverse, as one input sequence.
void Press(std::initializer_list<WORD> keys);

// The child of parent with that class and text, or null.
HWND Child(HWND parent, const wchar_t* kind, const wchar_t* text);

// The lines that processes send to the debugger's output (OutputDebugStringW) while no
// debugger is attached, collected through the system-wide buffer that debug monitors read,
// for as long as the object lives. One monitor on the desktop at a time.
class DebugOutput {
  public:
    DebugOutput();
    ~DebugOutput();
    DebugOutput(const DebugOutput&) = delete;
    DebugOutput& operator=(const DebugOutput&) = delete;

    // Whether the buffer and its events could be set up (another monitor may hold them).
    bool Listening() const { return thread_.joinable(); }
    // What that process has sent so far, one string per call, as the system's code page
    // read it back.
    std::vector<std::wstring> From(DWORD processId) const;

  private:
    void Listen();
    HANDLE mapping_ = nullptr;
    HANDLE bufferReady_ = nullptr;
    HANDLE dataReady_ = nullptr;
    HANDLE stop_ = nullptr;
    const void* view_ = nullptr;
    mutable std::mutex mutex_;
    std::vector<std::pair<DWORD, std::wstring>> lines_;
    std::thread thread_;
};

// The running program, ended by force should a test stop before it ended by itself.
class KestrelExe {
  public:
    // kestrel.exe beside the test program, or the one at program.
    explicit KestrelExe(const std::filesystem::path& program = {});
    ~KestrelExe();
    KestrelExe(const KestrelExe&) = delete;
    KestrelExe& operator=(const KestrelExe&) = delete;

    bool Started() const { return process_.hProcess != nullptr; }
    DWORD ProcessId() const { return process_.dwProcessId; }
    DWORD ThreadId() const { return process_.dwThreadId; }

    // Its visible top-level window with this caption once shown, or null.
    HWND WaitForWindow(const wchar_t* caption = MAIN_CAPTION,
                       std::chrono::milliseconds deadline = START_DEADLINE) const;

    // Its visible top-level windows with this caption, now.
    std::vector<HWND> Windows(const wchar_t* caption) const;

    // Whether it is still running.
    bool Running() const;

    // The control holding its keyboard focus, or null.
    HWND Focused() const;

    // Whether it ended within the deadline, and with status 0.
    bool EndsWithStatusZero() const;

  private:
    PROCESS_INFORMATION process_{};
};

// A test of kestrel.exe: its settings key removed before and after, a fresh base directory
// stored for it, and the decimal separator of the prefix's en-US put back after.
class KestrelExeTestBase : public testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // The one capture directory under base_, or empty when there is none or several.
    std::filesystem::path CaptureDir() const;

    ScratchFolder base_;
    std::wstring basePath_;  // base_ with a trailing backslash, as stored
};

// Where a control is, in its window's client area.
RECT PlaceIn(HWND window, HWND control);

// The control of a window's table in the running window: the child of its class at its
// place (15 twips to the pixel at Wine's 96 dpi), or null.
HWND ControlOf(HWND window, const KestrelMain::ControlLayout& control);

// Checks that every control of the table is there, at its place and size, with the caption
// it has at creation, except for the controls named in changedAtStart, whose captions
// start-up has already written.
void ExpectLaidOutAsTable(HWND window, const KestrelMain::WindowLayout& layout,
                          std::initializer_list<std::string_view> changedAtStart = {});

// The error box's caption, and its message (the box's one label), or empty.
inline constexpr wchar_t ERROR_CAPTION[] = L"Kestrel";
std::wstring BoxMessage(HWND box);

// The text of the system's message for a Win32 error code, as the program words its
// reasons.
std::wstring SystemMessage(DWORD error);

// Clicks a button by its message, wherever the pointer is, and without the focus.
void Click(HWND button);

// Starts a program of the Unix host with these arguments; false when it did not start.
// Wine runs an ELF file as a Unix process with this process's environment, so it sees the
// same DISPLAY, but gives no handle to wait on: its end shows only by what it did.
bool StartUnixProgram(const std::string& unixPath, const std::wstring& arguments);

}  // namespace Win32Test
