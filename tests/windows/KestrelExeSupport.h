// Driving kestrel.exe under Wine as a user would: started as its own process with a base
// directory of the test's, its windows found by caption, its controls read through
// messages, keys pressed through the system's input, its registry values and files read
// where it keeps them.
#pragma once

#include "Win32TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

namespace Win32Test {

inline constexpr wchar_t PROGRAM_KEY[] = L"Software\\VB and VBA Program Settings\\Kestrel";
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

    // The control holding its keyboard focus, or null.
    HWND Focused() const;

    // Whether it ended within the deadline, and with status 0.
    bool EndsWithStatusZero() const;

  private:
    PROCESS_INFORMATION process_{};
};

// A test of kestrel.exe: its settings key removed before and after, and a fresh base
// directory stored for it.
class KestrelExeTestBase : public testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    TemporaryFolder base_;
    std::wstring basePath_;  // base_ with a trailing backslash, as stored
};

}  // namespace Win32Test
