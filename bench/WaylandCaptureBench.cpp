// kestrel_bench_wayland [--captures N] [--peer-runs N] [--kestrel PATH] WIDTHxHEIGHT...: what
// one capture costs Kestrel in a Wayland session, run inside a headless sway
// (scripts/bench-wayland.sh starts it). For each size the output takes that mode and shows
// the benchmark's busy picture; then, in this one process, the core's MakeCapture runs as
// the program runs it on the Wayland backend (the primary output, the pointer asked through
// a cursor session or the overlay, ext-image-copy-capture and wlr-screencopy in turn, where
// the compositor offers them, into the kept buffer, the area average, the BMP written all or
// nothing), and the tool a user would run instead, grim and ImageMagick's resize to BMP, is
// timed as whole processes. Last, the built program idles with Ctrl+F bound, and its
// processor time is read. Prints a Markdown section on standard output.
#include "NoWindow.h"
#include "ProcessMemory.h"
#include "Report.h"
#include "Spawn.h"
#include "Statistics.h"
#include "testkit/AreaReference.h"
#include "testkit/BusyPicture.h"

#include "core/CaptureSequence.h"
#include "core/seam/Services.h"
#include "platform/posix/PosixClock.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandScreen.h"
#include "platform/wayland/WaylandScreenGrab.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Bench::Clock;
using Bench::Fixed;
using Bench::Median;
using Bench::Milliseconds;
using Bench::Percentile;

struct Options {
    int Captures = 200;
    int PeerRuns = 10;
    std::string Kestrel;
    std::vector<std::pair<int, int>> Sizes;
};

class StderrNotes final : public Seam::ErrorReport {
  public:
    void Report(const KestrelMain::Failure& failure) override { Note(failure.Text()); }
    void Note(const std::string& line) override { std::fprintf(stderr, "  %s\n", line.c_str()); }
};

int Run(const std::string& command) {
    return std::system(command.c_str());
}

// The busy picture on the output, pixel for pixel, once grim reads it back so.
bool ShowBusy(const fs::path& dir, int width, int height) {
    fs::create_directories(dir);
    const fs::path ppm = dir / "busy.ppm";
    const fs::path png = dir / "busy.png";
    {
        std::ofstream out(ppm, std::ios::binary);
        out << "P6\n" << width << " " << height << "\n255\n";
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const std::uint32_t c = TestKit::BusyColourAt(x, y, width, height);
                const char rgb[3] = {static_cast<char>(c >> 16), static_cast<char>(c >> 8),
                                     static_cast<char>(c)};
                out.write(rgb, 3);
            }
        }
    }
    if (Run("convert " + ppm.string() + " " + png.string()) != 0)
        return false;
    Run("swaymsg output HEADLESS-1 mode " + std::to_string(width) + "x" + std::to_string(height) +
        "@60Hz bg " + png.string() + " stretch >/dev/null");
    const fs::path shown = dir / "shown.ppm";
    for (int attempt = 0; attempt < 200; ++attempt) {
        if (Run("grim -t ppm " + shown.string() + " 2>/dev/null") == 0 &&
            Run("cmp -s " + shown.string() + " " + ppm.string()) == 0)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));  // swaybg's next frame
    }
    return false;
}

struct Row {
    int Width = 0;
    int Height = 0;
    double Median = 0;
    double P90 = 0;
    double Peer = 0;
    double Psnr = 0;
    long IdleKb = 0;
    long PeakKb = 0;
    std::string Error;
};

Row Measure(const Options& options, Platform::Wayland::CaptureProtocol protocol, int width,
            int height, const fs::path& dir) {
    Row row;
    row.Width = width;
    row.Height = height;
    if (!ShowBusy(dir, width, height)) {
        row.Error = "the busy picture did not show";
        return row;
    }
    auto connection = Platform::Wayland::WaylandConnection::Open();
    if (!connection) {
        row.Error = connection.Error().Text();
        return row;
    }
    Platform::Wayland::WaylandScreen screen(*connection.Value());
    Platform::Wayland::WaylandScreenGrab grab(*connection.Value(), protocol);
    Platform::Posix::PosixFileSystem files;
    Platform::Posix::PosixClock clock;
    Bench::NoWindow window;
    StderrNotes notes;
    Seam::Install(Seam::Services{.Errors = &notes,
                                 .Screen = &screen,
                                 .Grab = &grab,
                                 .Files = &files,
                                 .Clock = &clock,
                                 .MainWindow = &window});
    const fs::path captures = dir / "captures";
    fs::create_directories(captures);
    row.IdleKb = Bench::StatusKb("VmRSS");
    Bench::ResetPeak();
    std::vector<double> times;
    std::int32_t count = 0;
    for (int i = 0; i < options.Captures; ++i) {
        const auto start = Clock::now();
        if (auto failed = KestrelMain::MakeCapture(captures.string(), 800, 600, count)) {
            row.Error = failed->Text();
            return row;
        }
        times.push_back(Milliseconds(Clock::now() - start));
    }
    row.PeakKb = Bench::StatusKb("VmHWM");
    row.Median = Median(times);
    row.P90 = Percentile(times, 0.9);

    fs::path last;
    for (const auto& entry : fs::directory_iterator(captures)) {
        if (entry.path().filename().string().starts_with(std::to_string(count) + "-"))
            last = entry.path();
    }
    row.Psnr = TestKit::Compare(TestKit::ReadBmp(last),
                                TestKit::BusyPictureAverage(width, height, 800, 600))
                   .Psnr;

    std::vector<double> peer;
    const std::string out = (dir / "peer.bmp").string();
    for (int i = 0; i < options.PeerRuns; ++i) {
        const auto start = Clock::now();
        if (Run("grim -t ppm - | convert ppm:- -resize 800x600! bmp3:" + out) != 0) {
            row.Error = "grim and convert failed";
            return row;
        }
        peer.push_back(Milliseconds(Clock::now() - start));
    }
    row.Peer = Median(peer);
    Seam::Install(Seam::Services{});
    return row;
}

// The processor time, in clock ticks, the built program uses over a few idle seconds with
// Ctrl+F bound.
long IdleTicks(const std::string& kestrel, const fs::path& dir) {
    const fs::path home = dir / "idle-home";
    fs::create_directories(home / ".config");
    fs::create_directories(home / "Pictures");
    std::ofstream(home / ".config" / "Kestrel.conf")
        << "[Settings]\nUseHotkey=1\nBasePath=" << (home / "Pictures").string() << "/\n";
    const fs::path log = dir / "idle-stderr.txt";
    std::string error;
    const pid_t pid =
        Bench::Spawn({{kestrel},
                      {"HOME=" + home.string(), "XDG_CONFIG_HOME=" + (home / ".config").string()},
                      {},
                      {},
                      log},
                     error);
    if (pid < 0) {
        std::fprintf(stderr, "kestrel_bench_wayland: %s\n", error.c_str());
        return -1;
    }
    const auto ticks = [pid] { return Bench::ProcessTicks(pid); };
    long used = -1;
    for (int i = 0; i < 100; ++i) {
        std::ifstream in(log);
        const std::string text((std::istreambuf_iterator<char>(in)), {});
        if (text.find("Ctrl+F bound") != std::string::npos) {
            std::this_thread::sleep_for(std::chrono::seconds(1));  // start-up's last events
            const long before = ticks();
            std::this_thread::sleep_for(std::chrono::seconds(5));  // the idle time measured
            used = ticks() - before;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    kill(pid, SIGTERM);
    Bench::Reap(pid);
    return used;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--captures" && i + 1 < argc) {
            options.Captures = std::atoi(argv[++i]);
        } else if (a == "--peer-runs" && i + 1 < argc) {
            options.PeerRuns = std::atoi(argv[++i]);
        } else if (a == "--kestrel" && i + 1 < argc) {
            options.Kestrel = argv[++i];
        } else if (int w = 0, h = 0; std::sscanf(a.c_str(), "%dx%d", &w, &h) == 2) {
            options.Sizes.emplace_back(w, h);
        } else {
            std::fprintf(stderr,
                         "usage: kestrel_bench_wayland [--captures N] [--peer-runs N] "
                         "[--kestrel PATH] WIDTHxHEIGHT...\n");
            return 2;
        }
    }
    const char* session = std::getenv("KESTREL_SESSION_DIR");
    const fs::path dir = session != nullptr ? fs::path(session) : fs::temp_directory_path();

    Bench::Table table{{"Screen", "Protocol",
                        "Kestrel per capture in the running program ms median / p90 (target 33)",
                        "grim + convert ms", "grim + convert / Kestrel (target 5x)",
                        "PSNR dB (target 50)", "memory MB idle -> peak (+delta, target 8)"},
                       {}};
    int status = 0;
    using Platform::Wayland::CaptureProtocol;
    const std::pair<CaptureProtocol, const char*> protocols[] = {
        {CaptureProtocol::ImageCopy, "ext-image-copy-capture"},
        {CaptureProtocol::Screencopy, "wlr-screencopy"}};
    for (const auto& [width, height] : options.Sizes) {
        for (const auto& [protocol, protocolName] : protocols) {
            const Row row = Measure(options, protocol, width, height,
                                    dir / (std::to_string(width) + "x" + std::to_string(height)));
            if (!row.Error.empty()) {
                std::fprintf(stderr, "kestrel_bench_wayland: %dx%d, %s: %s\n", width, height,
                             protocolName, row.Error.c_str());
                // A compositor offers one of them or both: only an offered one that fails counts.
                if (row.Error.find("offers no screen capture") == std::string::npos)
                    status = 1;
                continue;
            }
            const auto mb = [](long kb) { return Fixed(static_cast<double>(kb) / 1024, 1); };
            table.Rows.push_back({std::to_string(width) + "x" + std::to_string(height),
                                  protocolName, Fixed(row.Median, 2) + " / " + Fixed(row.P90, 2),
                                  Fixed(row.Peer, 1), Fixed(row.Peer / row.Median, 1) + "x",
                                  Fixed(row.Psnr, 1),
                                  mb(row.IdleKb) + " -> " + mb(row.PeakKb) + " (+" +
                                      mb(row.PeakKb - row.IdleKb) + ")"});
        }
    }
    Bench::WriteMarkdown(std::cout, table);
    if (!options.Kestrel.empty()) {
        const long ticks = IdleTicks(options.Kestrel, dir);
        std::printf(
            "\nIdle with Ctrl+F bound in sway: %ld clock ticks of processor time in 5 s "
            "(target 0).\n",
            ticks);
    }
    return status;
}
