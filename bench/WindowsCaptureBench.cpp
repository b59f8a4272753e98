// kestrel_bench_windows [--captures N] [--size W H]: what one capture costs kestrel.exe,
// measured inside one process with the same code: the Win32 backend installed behind the
// seam and the core's MakeCapture called as the program calls it (the screen and the
// pointer, the GDI grab in strips folded into the area average, the picture, the BMP
// written all or nothing through the Win32 file system). The screen is covered first by a
// topmost window of another process (this program again, with --show-busy) showing the
// benchmark's busy picture, checked pixel for pixel on the screen, so the last file can be
// compared with the exact area average of what was there. For information it also times
// the parts alone: the grab and scale, one BitBlt of the whole screen (GDI's copy, Wine's
// here rather than Kestrel's), and the BMP file's write.
// Prints a Markdown table on standard output (scripts/bench-windows.sh puts it in
// bench/results.md); progress and failures go to standard error.
#include "NoWindow.h"
#include "Report.h"
#include "Statistics.h"
#include "testkit/AreaReference.h"
#include "testkit/BusyPicture.h"

#include "core/Bmp.h"
#include "core/CaptureSequence.h"
#include "core/PathText.h"
#include "core/seam/Services.h"
#include "platform/win32/Win32Clock.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32Screen.h"
#include "platform/win32/Win32ScreenGrab.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Bench::Clock;
using Bench::Fixed;
using Bench::Median;
using Bench::Milliseconds;
using Bench::Percentile;

constexpr double TARGET_PSNR_DB = 50.0;
constexpr auto SHOWN_DEADLINE = std::chrono::seconds(30);

struct Options {
    int Captures = 60;
    int OutputWidth = 800;
    int OutputHeight = 600;
};

BITMAPINFO TopDown32(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

// The busy picture at the screen's size, as a top-down 32-bit DIB's pixels.
struct Busy {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint32_t> Pixels;
};

LRESULT CALLBACK PaintBusy(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    } else if (message == WM_PAINT) {
        const auto* busy = reinterpret_cast<const Busy*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        const BITMAPINFO info = TopDown32(busy->Width, busy->Height);
        SetDIBitsToDevice(
            dc, 0, 0, static_cast<DWORD>(busy->Width), static_cast<DWORD>(busy->Height), 0, 0, 0,
            static_cast<UINT>(busy->Height), busy->Pixels.data(), &info, DIB_RGB_COLORS);
        EndPaint(window, &paint);
        return 0;
    } else if (message == WM_ERASEBKGND) {
        return 1;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void DispatchPending() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

Busy MakeBusy(int width, int height) {
    Busy busy;
    busy.Width = width;
    busy.Height = height;
    busy.Pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            busy.Pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                        static_cast<std::size_t>(x)] = TestKit::BusyColourAt(x, y, width, height);
    }
    return busy;
}

// --show-busy: a topmost window over the primary screen showing the busy picture, until
// the thread is told to quit. It runs as a process of its own, as the windows a user
// captures belong to other programs: Wine might read a window of the capturing process
// from its own memory rather than from the X server.
int ShowBusy() {
    Platform::Win32::Win32Screen screen;
    const auto primary = screen.ReadPrimaryScreen();
    if (!primary)
        return 1;
    const Busy busy = MakeBusy((*primary).Width, (*primary).Height);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = PaintBusy;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"KestrelBenchBusy";
    RegisterClassExW(&windowClass);
    HWND cover =
        CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"KestrelBenchBusy", L"busy", WS_POPUP,
                        (*primary).X, (*primary).Y, busy.Width, busy.Height, nullptr, nullptr,
                        GetModuleHandleW(nullptr), const_cast<Busy*>(&busy));
    if (cover == nullptr)
        return 1;
    ShowWindow(cover, SW_SHOWNOACTIVATE);
    UpdateWindow(cover);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    DestroyWindow(cover);
    return 0;
}

// This program again with --show-busy, told to quit when the object goes.
class BusyProcess {
  public:
    BusyProcess() {
        wchar_t self[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring commandLine = L"\"" + std::wstring(self) + L"\" --show-busy";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        if (!CreateProcessW(self, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &process_))
            process_ = {};
    }
    ~BusyProcess() {
        if (process_.hProcess == nullptr)
            return;
        PostThreadMessageW(process_.dwThreadId, WM_QUIT, 0, 0);
        if (WaitForSingleObject(process_.hProcess, 10000) != WAIT_OBJECT_0)
            TerminateProcess(process_.hProcess, 1);
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }
    BusyProcess(const BusyProcess&) = delete;
    BusyProcess& operator=(const BusyProcess&) = delete;

    bool Running() const {
        return process_.hProcess != nullptr &&
               WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
    }

  private:
    PROCESS_INFORMATION process_{};
};

// The whole screen read back in one BitBlt into a DIB section, which is also the part of a
// capture timed alone.
class ScreenCopy {
  public:
    ScreenCopy(int width, int height) : width_(width), height_(height) {
        screen_ = GetDC(nullptr);
        memory_ = CreateCompatibleDC(screen_);
        const BITMAPINFO info = TopDown32(width, height);
        bitmap_ = CreateDIBSection(screen_, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
        if (bitmap_ != nullptr)
            previous_ = SelectObject(memory_, bitmap_);
    }
    ~ScreenCopy() {
        if (bitmap_ != nullptr) {
            SelectObject(memory_, previous_);
            DeleteObject(bitmap_);
        }
        DeleteDC(memory_);
        ReleaseDC(nullptr, screen_);
    }
    ScreenCopy(const ScreenCopy&) = delete;
    ScreenCopy& operator=(const ScreenCopy&) = delete;

    bool Read() {
        if (bitmap_ == nullptr || bits_ == nullptr ||
            !BitBlt(memory_, 0, 0, width_, height_, screen_, 0, 0, SRCCOPY))
            return false;
        GdiFlush();
        return true;
    }
    const std::uint32_t* Pixels() const { return static_cast<const std::uint32_t*>(bits_); }

  private:
    int width_;
    int height_;
    HDC screen_ = nullptr;
    HDC memory_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    void* bits_ = nullptr;
};

// Pixels of the screen that differ from the busy picture; -1 when it cannot be read.
long long Differences(ScreenCopy& copy, const Busy& busy) {
    if (!copy.Read())
        return -1;
    long long count = 0;
    for (std::size_t i = 0; i < busy.Pixels.size(); ++i)
        count += (copy.Pixels()[i] & 0xffffffu) != busy.Pixels[i] ? 1 : 0;
    return count;
}

bool WaitUntil(const std::function<bool()>& condition, Clock::duration deadline) {
    const auto end = Clock::now() + deadline;
    for (;;) {
        DispatchPending();
        if (condition())
            return true;
        if (Clock::now() >= end)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

// One thing timed, with `Before` run untimed ahead of each run.
struct Step {
    std::function<void()> Before;
    std::function<bool()> What;
    std::vector<double> Times;
};

// Runs the steps in turn, `runs` rounds after one uncounted round, so that every step meets
// the same load on a machine shared with others; false as soon as one fails.
bool Interleaved(int runs, std::vector<Step*> steps) {
    for (int run = 0; run <= runs; ++run) {
        for (Step* step : steps) {
            step->Before();
            const auto start = Clock::now();
            const bool done = step->What();
            const double ms = Milliseconds(Clock::now() - start);
            if (!done)
                return false;
            if (run > 0)
                step->Times.push_back(ms);
        }
    }
    return true;
}

void RemoveFiles(const fs::path& folder) {
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(folder, ignored)) {
        if (entry.is_regular_file(ignored))
            fs::remove(entry.path(), ignored);
    }
}

fs::path OnlyFile(const fs::path& folder) {
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(folder, ignored)) {
        if (entry.is_regular_file(ignored))
            return entry.path();
    }
    return {};
}

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--captures" && i + 1 < argc) {
            options.Captures = std::atoi(argv[++i]);
        } else if (a == "--size" && i + 2 < argc) {
            options.OutputWidth = std::atoi(argv[++i]);
            options.OutputHeight = std::atoi(argv[++i]);
        } else {
            return false;
        }
    }
    return options.Captures > 0 && options.OutputWidth > 0 && options.OutputWidth <= 32767 &&
           options.OutputHeight > 0 && options.OutputHeight <= 32767;
}

int Fail(const std::string& what) {
    std::fprintf(stderr, "kestrel_bench_windows: %s\n", what.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "--show-busy")
        return ShowBusy();
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: kestrel_bench_windows [--captures N] [--size W H]\n");
        return 2;
    }
    Platform::Win32::BecomePerMonitorDpiAware();

    static Platform::Win32::Win32Screen screen;
    static Platform::Win32::Win32ScreenGrab grab;
    static Platform::Win32::Win32FileSystem files;
    static Platform::Win32::Win32Clock clock;
    static Bench::NoWindow mainWindow;
    Seam::Services services;
    services.Screen = &screen;
    services.Grab = &grab;
    services.Files = &files;
    services.Clock = &clock;
    services.MainWindow = &mainWindow;
    Seam::Install(services);

    const auto primary = screen.ReadPrimaryScreen();
    if (!primary)
        return Fail(primary.Error().Text());
    const Busy busy = MakeBusy((*primary).Width, (*primary).Height);
    BusyProcess shown;
    ScreenCopy copy(busy.Width, busy.Height);
    long long differing = -1;
    if (!WaitUntil([&] { return (differing = Differences(copy, busy)) == 0 || !shown.Running(); },
                   SHOWN_DEADLINE) ||
        differing != 0)
        return Fail("the screen does not show the busy picture: " + std::to_string(differing) +
                    " pixels differ");

    wchar_t temporary[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temporary);
    const fs::path folder =
        fs::path(temporary) / (L"kestrel-bench-" + std::to_wstring(GetCurrentProcessId()));
    std::error_code error;
    fs::create_directories(folder, error);
    if (error)
        return Fail("cannot create " + KestrelMain::PathText(folder) + ": " + error.message());
    const std::string captureDir = KestrelMain::PathText(folder);
    const auto w = static_cast<std::int16_t>(options.OutputWidth);
    const auto h = static_cast<std::int16_t>(options.OutputHeight);

    std::fprintf(stderr, "kestrel_bench_windows: %dx%d -> %dx%d, %d captures\n", busy.Width,
                 busy.Height, options.OutputWidth, options.OutputHeight, options.Captures);
    std::string failure;
    const auto nothing = [] {};
    const fs::path saves = folder / L"saves";
    fs::create_directory(saves, error);
    const auto picture = grab.GrabScaled(*primary, options.OutputWidth, options.OutputHeight);
    if (!picture)
        return Fail(picture.Error().Text());
    std::int32_t count = 0;
    // Each file is deleted before the next capture, outside its time; the last one stays,
    // for the comparison.
    Step capture{[&] { RemoveFiles(folder); },
                 [&] {
                     const auto failed = KestrelMain::MakeCapture(captureDir, w, h, count);
                     if (failed)
                         failure = failed->Text();
                     return !failed;
                 },
                 {}};
    Step grabAlone{nothing,
                   [&] {
                       const auto grabbed =
                           grab.GrabScaled(*primary, options.OutputWidth, options.OutputHeight);
                       if (!grabbed)
                           failure = grabbed.Error().Text();
                       return grabbed.Ok();
                   },
                   {}};
    Step blitAlone{nothing, [&] { return copy.Read(); }, {}};
    Step writeAlone{[&] { RemoveFiles(saves); },
                    [&] {
                        const auto failed =
                            KestrelMain::SavePictureAsBmp(*picture, saves / L"picture.bmp", files);
                        if (failed)
                            failure = failed->Text();
                        return !failed;
                    },
                    {}};
    if (!Interleaved(options.Captures, {&capture, &grabAlone, &blitAlone, &writeAlone}) &&
        failure.empty())
        failure = "one BitBlt of the whole screen failed";
    const fs::path last = OnlyFile(folder);
    const long long differingAfter = Differences(copy, busy);
    const std::vector<double>& captures = capture.Times;

    TestKit::ExactAreaAverage reference(busy.Width, busy.Height, options.OutputWidth,
                                        options.OutputHeight);
    for (int y = 0; y < busy.Height; ++y)
        reference.AddRow(y, busy.Pixels.data() +
                                static_cast<std::size_t>(y) * static_cast<std::size_t>(busy.Width));
    const TestKit::Quality quality = TestKit::Compare(TestKit::ReadBmp(last), reference);
    fs::remove_all(folder, error);
    if (!failure.empty())
        return Fail(failure);
    if (!quality.Error.empty())
        return Fail(quality.Error);
    if (differingAfter != 0)
        return Fail("the busy picture was covered during the captures");

    const std::string screenSize = std::to_string(busy.Width) + "x" + std::to_string(busy.Height);
    Bench::WriteMarkdown(
        std::cout,
        {{"Screen", "per capture ms median / p90", "grab and scale alone ms",
          "one BitBlt of the whole screen alone ms", "BMP file written alone ms", "PSNR dB"},
         {{screenSize, Fixed(Median(captures), 2) + " / " + Fixed(Percentile(captures, 0.9), 2),
           Fixed(Median(grabAlone.Times), 2), Fixed(Median(blitAlone.Times), 2),
           Fixed(Median(writeAlone.Times), 2), Fixed(quality.Psnr, 1)}}});
    std::printf(
        "\n- PSNR %s dB against the exact mean (%s dB against its unrounded value; largest "
        "channel difference %d), target %.0f dB: %s\n",
        Fixed(quality.Psnr, 1).c_str(), Fixed(quality.PsnrUnrounded, 1).c_str(), quality.MaxError,
        TARGET_PSNR_DB, quality.Psnr >= TARGET_PSNR_DB ? "met" : "NOT met");
    std::printf(
        "- %d rounds, after one uncounted: a capture to %dx%d, then each part alone, so all "
        "meet the same load\n",
        options.Captures, options.OutputWidth, options.OutputHeight);
    return quality.Psnr >= TARGET_PSNR_DB ? 0 : 1;
}
