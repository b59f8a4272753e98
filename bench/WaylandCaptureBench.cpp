// kestrel_bench_wayland [--captures N] [--peer-runs N] [--kestrel PATH] WIDTHxHEIGHT...: what
// one capture costs Kestrel in a Wayland session, run inside a headless sway
// (scripts/bench-wayland.sh starts it). For each size the output takes that mode and shows
// the benchmark's busy picture; then, in this one process, the core's MakeCapture runs as
// the program runs it on the Wayland backend (the primary output, the pointer asked through
// the overlay, wlr-screencopy into the kept buffer, the area average, the BMP written all or
// nothing), and the tool a user would run instead, grim and ImageMagick's resize to BMP, is
// timed as whole processes. Last, the built program idles with Ctrl+F bound, and its
// processor time is read. Prints a Markdown section on standard output.
#include "BusyPicture.h"
#include "NoWindow.h"
#include "ProcessMemory.h"
#include "Reference.h"
#include "Statistics.h"

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

class StderrNotes final : public Platform::ErrorReport {
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
                const std::uint32_t c = Bench::BusyColourAt(x, y, width, height);
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

Row Measure(const Options& options, int width, int height, const fs::path& dir) {
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
    Platform::Wayland::WaylandScreenGrab grab(*connection.Value());
    Platform::Posix::PosixFileSystem files;
    Platform::Posix::PosixClock clock;
    Bench::NoWindow window;
    StderrNotes notes;
    Platform::Install(Platform::Services{.Errors = &notes,
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

    Bench::ExactAreaAverage reference(width, height, 800, 600);
    std::vector<std::uint32_t> line(static_cast<std::size_t>(width));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            line[static_cast<std::size_t>(x)] = Bench::BusyColourAt(x, y, width, height);
        reference.AddRow(y, line.data());
    }
    fs::path last;
    for (const auto& entry : fs::directory_iterator(captures)) {
        if (entry.path().filename().string().starts_with(std::to_string(count) + "-"))
            last = entry.path();
    }
    row.Psnr = Bench::Compare(Bench::ReadBmp24(last), reference).Psnr;

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
    Platform::Install(Platform::Services{});
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
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);
        freopen(log.c_str(), "w", stderr);
        execl(kestrel.c_str(), kestrel.c_str(), static_cast<char*>(nullptr));
        _exit(127);
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
    waitpid(pid, nullptr, 0);
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

    std::printf(
        "| Screen | Kestrel per capture in the running program ms median / p90 (target 33) "
        "| grim + convert ms | grim + convert / Kestrel (target 5x) | PSNR dB (target 50) "
        "| memory MB idle -> peak (+delta, target 8) |\n|---|---:|---:|---:|---:|---:|\n");
    int status = 0;
    for (const auto& [width, height] : options.Sizes) {
        const Row row = Measure(options, width, height,
                                dir / (std::to_string(width) + "x" + std::to_string(height)));
        if (!row.Error.empty()) {
            std::fprintf(stderr, "kestrel_bench_wayland: %dx%d: %s\n", width, height,
                         row.Error.c_str());
            status = 1;
            continue;
        }
        std::printf("| %dx%d | %s / %s | %s | %sx | %s | %s -> %s (+%s) |\n", width, height,
                    Fixed(row.Median, 2).c_str(), Fixed(row.P90, 2).c_str(),
                    Fixed(row.Peer, 1).c_str(), Fixed(row.Peer / row.Median, 1).c_str(),
                    Fixed(row.Psnr, 1).c_str(),
                    Fixed(static_cast<double>(row.IdleKb) / 1024, 1).c_str(),
                    Fixed(static_cast<double>(row.PeakKb) / 1024, 1).c_str(),
                    Fixed(static_cast<double>(row.PeakKb - row.IdleKb) / 1024, 1).c_str());
    }
    if (!options.Kestrel.empty()) {
        const long ticks = IdleTicks(options.Kestrel, dir);
        std::printf(
            "\nIdle with Ctrl+F bound in sway: %ld clock ticks of processor time in 5 s "
            "(target 0).\n",
            ticks);
    }
    return status;
}
