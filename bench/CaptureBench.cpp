// kestrel_bench [options] DISPLAY...: the capture benchmark. On each display (an Xvfb of
// the size under test, one per size) it paints a busy static picture, then measures
//   - Kestrel per capture inside one process: a separate process of this program (so its
//     memory figures are its own) makes the captures the way the program does, through
//     X11Screen, X11ScreenGrab and SavePictureAsBmp, noting its memory before
//     the first capture and after the last;
//   - the tools a user would pick instead, each timed from outside from spawn to exit,
//     as people run them, and, for information, Kestrel as a whole process
//     (kestrel_capture_once) timed the same way and step by step;
//   - the quality of Kestrel's file against an exact area average of the screen, read
//     back here through plain GetImage.
// Then prints one table and, with --markdown, writes it as a Markdown page. The ratio
// with a target is the fastest peer's whole process over Kestrel's capture inside the
// running program: a user runs a peer as a new process for every picture, while Kestrel
// keeps running and a hot-key press or timer tick costs only the capture. The ratio over
// Kestrel as a whole process is printed beside it, without a target.
#include "BusyScreen.h"
#include "ProcessMemory.h"
#include "Report.h"
#include "Spawn.h"
#include "Statistics.h"

#include "core/Bmp.h"
#include "core/FileName.h"
#include "core/Picture.h"
#include "platform/posix/PosixClock.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/x11/X11Screen.h"
#include "platform/x11/X11ScreenGrab.h"
#include "testkit/AreaReference.h"
#include "testkit/ScratchFolder.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Bench::Clock;
using Bench::Fixed;
using Bench::Median;
using Bench::Milliseconds;
using Bench::Percentile;
using Bench::Table;

constexpr double TARGET_RATIO = 10.0;
constexpr double TARGET_PSNR_DB = 50.0;
constexpr double TARGET_MEMORY_MB = 8.0;
constexpr int MEMORY_TARGET_WIDTH = 3840;
constexpr int MEMORY_TARGET_HEIGHT = 2160;
constexpr char WINDOWS_HEADING[] = "## Windows (under Wine)";

struct Options {
    int Captures = 200;
    int ProcessRuns = 15;
    int PeerRuns = 7;
    int OutputWidth = 800;
    int OutputHeight = 600;
    std::string Markdown;
    std::string Command;
    std::vector<std::string> Displays;
    // --measure: the in-process part, on one display, into one directory.
    std::string MeasureDisplay;
    std::string MeasureDirectory;
};

// ---- the in-process measurement (a process of its own) ----------------------------

int Measure(const Options& options) {
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(options.MeasureDisplay.c_str(), &screenNumber);
    if (xcb_connection_has_error(connection) != 0) {
        std::fprintf(stderr, "kestrel_bench: cannot connect to %s\n",
                     options.MeasureDisplay.c_str());
        return 1;
    }
    auto roots = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && roots.rem > 0; ++i) xcb_screen_next(&roots);
    xcb_screen_t* screen = roots.data;
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));

    // Idle: connected, the screen painted, no capture made yet.
    const long idleRss = Bench::StatusKb("VmRSS");
    const long idleHwm = Bench::StatusKb("VmHWM");
    const bool peakReset = Bench::ResetPeak();

    const std::string directory = options.MeasureDirectory;
    Platform::Posix::PosixClock clock;
    // As the running program saves: the flush to the disk and the name on the file system's
    // own thread.
    bool savedLate = true;
    Platform::Posix::PosixFileSystem files([&savedLate](const KestrelMain::Failure& failed) {
        std::fprintf(stderr, "kestrel_bench: %s\n", failed.Text().c_str());
        savedLate = false;
    });
    std::vector<double> times;
    std::vector<double> named;
    times.reserve(static_cast<std::size_t>(options.Captures));
    named.reserve(static_cast<std::size_t>(options.Captures));
    // The backend as the program holds it for the run: one connection, the monitors' lookup
    // and the grab's segment and weights kept between captures.
    const Platform::X11::X11Connection x11(connection, screen);
    Platform::X11::X11Screen monitors(x11);
    Platform::X11::X11ScreenGrab grabber(x11);
    Seam::ScreenRect area;
    std::string last;
    for (int count = 1; count <= options.Captures; ++count) {
        // The steps of one capture in the program, in its order: monitor, pointer, grab and
        // scale, name, save, release.
        const auto start = Clock::now();
        std::string path;
        {
            const auto monitor = monitors.ReadPrimaryScreen();
            const auto pointer = monitor
                                     ? monitors.ReadPointer(*monitor)
                                     : KestrelMain::Result<Seam::PointerReading>(monitor.Error());
            if (!monitor || !pointer || !(*pointer).Position) {
                std::fprintf(stderr, "kestrel_bench: cannot find the primary monitor\n");
                return 1;
            }
            auto picture = grabber.GrabScaled(*monitor, options.OutputWidth, options.OutputHeight);
            if (!picture) {
                std::fprintf(stderr, "kestrel_bench: %s\n", picture.Error().Text().c_str());
                return 1;
            }
            const Seam::PointerPosition at = *(*pointer).Position;
            const std::string time = KestrelMain::FormatTime(clock.ReadLocalTime());
            path = KestrelMain::ComposeCaptureFileName(
                directory, count, time,
                KestrelMain::ScaleToImage(options.OutputWidth, at.X, (*monitor).Width),
                KestrelMain::ScaleToImage(options.OutputHeight, at.Y, (*monitor).Height));
            if (const auto failed = KestrelMain::SavePictureAsBmp(*picture, path, files)) {
                std::fprintf(stderr, "kestrel_bench: %s\n", failed->Text().c_str());
                return 1;
            }
            area = *monitor;
        }
        times.push_back(Milliseconds(Clock::now() - start));
        files.WaitForSaves();
        named.push_back(Milliseconds(Clock::now() - start));
        if (!savedLate)
            return 1;
        // Only the last file is kept, for the comparison with the exact average.
        if (!last.empty())
            std::remove(last.c_str());
        last = path;
    }
    const long afterRss = Bench::StatusKb("VmRSS");
    const long afterHwm = Bench::StatusKb("VmHWM");

    std::printf("idle_rss_kb=%ld\nidle_hwm_kb=%ld\npeak_reset=%d\n", idleRss, idleHwm,
                peakReset ? 1 : 0);
    std::printf("after_rss_kb=%ld\nafter_hwm_kb=%ld\n", afterRss, afterHwm);
    std::printf("shared_memory=%d\n", grabber.UsedSharedMemory() ? 1 : 0);
    std::printf("area=%d %d %d %d\n", area.X, area.Y, area.Width, area.Height);
    std::printf("last=%s\n", last.c_str());
    std::printf("times_ms=");
    for (double t : times) std::printf("%.4f ", t);
    std::printf("\nnamed_ms=");
    for (double t : named) std::printf("%.4f ", t);
    std::printf("\n");
    xcb_disconnect(connection);
    return 0;
}

// ---- processes timed from outside ---------------------------------------------------

struct Spawned {
    bool Ok = false;
    double Ms = 0;
    double SpawnedAt = 0;  // CLOCK_MONOTONIC, ms: the first spawn
    double ReapedAt = 0;   // and the last exit
    std::string Error;
};

double MonotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

std::string ReadFile(const fs::path& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::map<std::string, std::string> ParseLines(const std::string& text) {
    std::map<std::string, std::string> values;
    std::stringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const std::size_t equals = line.find('=');
        if (equals != std::string::npos)
            values[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return values;
}

// Runs the steps one after another in `directory`, stopping at the first that fails;
// the time is from the first spawn to the last exit. Standard output goes to `output`.
Spawned RunSteps(const std::vector<std::vector<std::string>>& steps, const std::string& display,
                 const fs::path& directory, const fs::path& output) {
    const fs::path errors = directory / "stderr.txt";
    Spawned result;
    double total = 0;
    for (const auto& step : steps) {
        const Bench::Command command{step, {"DISPLAY=" + display}, directory, output, errors};
        const double start = MonotonicMs();
        const pid_t pid = Bench::Spawn(command, result.Error);
        const int status = pid > 0 ? Bench::Reap(pid) : -1;
        const double end = MonotonicMs();
        if (pid < 0)
            return result;
        if (result.SpawnedAt == 0)
            result.SpawnedAt = start;
        result.ReapedAt = end;
        total += end - start;
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::string message = ReadFile(errors);
            while (!message.empty() && (message.back() == '\n' || message.back() == '\r'))
                message.pop_back();
            result.Error = step[0] + " failed (status " + std::to_string(status) + ")" +
                           (message.empty() ? "" : ": " + message);
            return result;
        }
    }
    result.Ok = true;
    result.Ms = total;
    return result;
}

// Empties the directory between runs, outside the timed span.
void ClearDirectory(const fs::path& directory) {
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(directory, ignored))
        fs::remove_all(entry.path(), ignored);
}

// The program for a name: Debian's own copy first, so no wrapper earlier on PATH stands
// between the benchmark and the tool it means to measure.
std::string Tool(const std::string& name) {
    const fs::path debian = fs::path("/usr/bin") / name;
    return fs::exists(debian) ? debian.string() : name;
}

bool OnPath(const std::string& program) {
    if (program.find('/') != std::string::npos)
        return access(program.c_str(), X_OK) == 0;
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path != nullptr ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        if (access((fs::path(dir) / program).c_str(), X_OK) == 0)
            return true;
    }
    return false;
}

enum class Role {
    Kestrel,  // kestrel_capture_once, which also reports its phases
    Peer,
    Floor,  // a process that does nothing: what any whole process costs here at least
};

// Where the whole-process time of one Kestrel run went, in ms.
struct Phases {
    double StartUp = 0;  // spawn to main: loading and linking the libraries
    double Connect = 0;
    double Grab = 0;  // the first grab of a process: segment, weights, first touches
    double Save = 0;
    double Exit = 0;  // disconnect, exit handlers, reaping
};

constexpr int PHASE_COUNT = 5;
const char* const PHASE_NAMES[PHASE_COUNT] = {"start-up (spawn to main)", "connect",
                                              "grab and scale", "picture and save",
                                              "disconnect, exit, reap"};

double PhaseValue(const Phases& p, int index) {
    const double values[PHASE_COUNT] = {p.StartUp, p.Connect, p.Grab, p.Save, p.Exit};
    return values[index];
}

struct Contender {
    std::string Name;
    Role Kind = Role::Peer;
    std::vector<std::vector<std::string>> Steps;
    int Runs = 0;
    std::vector<double> Times;
    std::vector<Phases> PhaseTimes;
    std::string Error;
};

std::optional<Phases> ParsePhases(const std::string& text, const Spawned& run) {
    auto values = ParseLines(text);
    std::stringstream stamps(values["phases"]);
    double at[5];
    for (double& a : at) {
        if (!(stamps >> a))
            return std::nullopt;
    }
    return Phases{at[0] - run.SpawnedAt, at[1] - at[0], at[2] - at[1], at[3] - at[2],
                  run.ReapedAt - at[3]};
}

std::vector<Contender> Contenders(const Options& options, const fs::path& self) {
    const std::string size =
        std::to_string(options.OutputWidth) + "x" + std::to_string(options.OutputHeight);
    const std::string convert = Tool("convert");
    std::vector<Contender> all;
    const auto add = [&](std::string name, Role kind, std::vector<std::vector<std::string>> steps,
                         int runs) {
        Contender c;
        c.Name = std::move(name);
        c.Kind = kind;
        c.Steps = std::move(steps);
        c.Runs = runs;
        all.push_back(std::move(c));
    };
    add("Kestrel process", Role::Kestrel,
        {{(self.parent_path() / "kestrel_capture_once").string(), "--phases", "out.bmp",
          std::to_string(options.OutputWidth), std::to_string(options.OutputHeight)}},
        options.ProcessRuns);
    add("true", Role::Floor, {{"true"}}, options.ProcessRuns);
    add("import", Role::Peer,
        {{Tool("import"), "-window", "root", "-resize", size + "!", "out.bmp"}}, options.PeerRuns);
    // scrot's own thumbnail, written as a BMP next to the full-size shot.
    add("scrot -t", Role::Peer, {{Tool("scrot"), "-o", "-t", size, "shot.bmp"}}, options.PeerRuns);
    add("scrot + convert", Role::Peer,
        {{Tool("scrot"), "-o", "shot.png"},
         {convert, "shot.png", "-resize", size + "!", "out.bmp"}},
        options.PeerRuns);
    add("maim + convert", Role::Peer,
        {{Tool("maim"), "shot.png"}, {convert, "shot.png", "-resize", size + "!", "out.bmp"}},
        options.PeerRuns);
    return all;
}

// ---- one display ----------------------------------------------------------------------

struct SizeResult {
    std::string Display;
    int Width = 0;
    int Height = 0;
    std::string Error;
    std::vector<double> Captures;
    std::vector<double> Named;  // from the capture's start until its file is on the disk
    bool SharedMemory = false;
    long IdleRss = -1;
    long IdleHwm = -1;
    long AfterRss = -1;
    long AfterHwm = -1;
    bool PeakReset = false;
    TestKit::Quality Quality;
    std::vector<Contender> Processes;
};

// Runs this program with --measure and returns what it printed, or nothing on failure.
std::optional<std::string> RunMeasure(const fs::path& self, const Options& options,
                                      const std::string& display, const fs::path& directory,
                                      std::string& error) {
    const fs::path output = directory / "measure.txt";
    const fs::path captures = directory / "captures";
    fs::create_directory(captures);
    const Bench::Command command{
        {self.string(), "--measure", display, captures.string(), "--captures",
         std::to_string(options.Captures), "--size", std::to_string(options.OutputWidth),
         std::to_string(options.OutputHeight)},
        {},
        {},
        output,
        {}};
    const pid_t pid = Bench::Spawn(command, error);
    if (pid < 0) {
        error = "cannot start the in-process measurement: " + error;
        return std::nullopt;
    }
    const int status = Bench::Reap(pid);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        error = "the in-process measurement failed (status " + std::to_string(status) + ")";
        return std::nullopt;
    }
    return ReadFile(output);
}

SizeResult MeasureDisplay(const Options& options, const fs::path& self,
                          const std::string& display) {
    SizeResult result;
    result.Display = display;
    Bench::BusyScreen screen(display);
    result.Width = screen.Width();
    result.Height = screen.Height();
    std::fprintf(stderr, "kestrel_bench: %s %dx%d: painting\n", display.c_str(), result.Width,
                 result.Height);
    if (!screen.Paint()) {
        result.Error = screen.Error();
        return result;
    }

    const TestKit::ScratchFolder scratch("kestrel-bench");
    const fs::path directory = scratch.Path();

    std::fprintf(stderr, "kestrel_bench: %s: %d captures in one process\n", display.c_str(),
                 options.Captures);
    const auto measured = RunMeasure(self, options, display, directory, result.Error);
    if (!measured)
        return result;
    auto values = ParseLines(*measured);
    for (const char* key : {"times_ms", "named_ms", "idle_rss_kb", "idle_hwm_kb", "after_rss_kb",
                            "after_hwm_kb", "area", "last"}) {
        if (values.count(key) == 0) {
            result.Error = std::string("the in-process measurement did not report ") + key;
            return result;
        }
    }
    std::stringstream times(values["times_ms"]);
    for (double t; times >> t;) result.Captures.push_back(t);
    std::stringstream named(values["named_ms"]);
    for (double t; named >> t;) result.Named.push_back(t);
    result.SharedMemory = values["shared_memory"] == "1";
    result.IdleRss = std::stol(values["idle_rss_kb"]);
    result.AfterRss = std::stol(values["after_rss_kb"]);
    result.AfterHwm = std::stol(values["after_hwm_kb"]);
    result.IdleHwm = std::stol(values["idle_hwm_kb"]);
    result.PeakReset = values["peak_reset"] == "1";
    if (!result.PeakReset) {
        // Without a reset the peak may predate the captures; the idle peak bounds it.
        result.IdleRss = std::max(result.IdleRss, std::stol(values["idle_hwm_kb"]));
    }

    std::fprintf(stderr, "kestrel_bench: %s: exact area average of the screen\n", display.c_str());
    Seam::ScreenRect area;
    std::stringstream(values["area"]) >> area.X >> area.Y >> area.Width >> area.Height;
    TestKit::ExactAreaAverage reference(area.Width, area.Height, options.OutputWidth,
                                        options.OutputHeight);
    if (!screen.ReadRows(
            area.X, area.Y, area.Width, area.Height,
            [&](int y, const std::uint32_t* pixels) { reference.AddRow(y, pixels); })) {
        result.Error = screen.Error();
    } else {
        result.Quality = TestKit::Compare(TestKit::ReadBmp(values["last"]), reference);
    }
    fs::remove_all(directory / "captures");

    // Whole processes, in rounds, so that a busy moment of the machine falls on all.
    result.Processes = Contenders(options, self);
    for (Contender& c : result.Processes) {
        if (!OnPath(c.Steps[0][0]) || (c.Steps.size() > 1 && !OnPath(c.Steps[1][0])))
            c.Error = "not installed";
    }
    const fs::path work = directory / "work";
    fs::create_directory(work);
    const fs::path printed = directory / "stdout.txt";
    std::fprintf(stderr, "kestrel_bench: %s: whole processes\n", display.c_str());
    int rounds = 0;
    for (const Contender& c : result.Processes) rounds = std::max(rounds, c.Runs);
    // Round 0 warms the caches and is not counted.
    for (int round = 0; round <= rounds; ++round) {
        for (Contender& c : result.Processes) {
            if (!c.Error.empty() || round > c.Runs)
                continue;
            const Spawned run = RunSteps(c.Steps, display, work, printed);
            ClearDirectory(work);
            if (!run.Ok) {
                c.Error = run.Error;
                c.Times.clear();
            } else if (round > 0) {
                c.Times.push_back(run.Ms);
                if (c.Kind == Role::Kestrel) {
                    if (const auto phases = ParsePhases(ReadFile(printed), run))
                        c.PhaseTimes.push_back(*phases);
                }
            }
        }
    }
    return result;
}

// ---- report ---------------------------------------------------------------------------

double TargetMs(int width, int height) {
    const long pixels = long{width} * height;
    if (pixels <= 1024L * 768)
        return 5;
    if (pixels <= 1920L * 1080)
        return 8;
    return 20;
}

std::string Mb(long kb) {
    return Fixed(static_cast<double>(kb) / 1024.0, 1);
}

struct Report {
    Table Main;
    Table Phases;                       // Kestrel's whole process, step by step
    std::vector<std::string> Findings;  // targets, met or missed
};

const Contender* Find(const SizeResult& r, const std::string& name) {
    for (const Contender& c : r.Processes) {
        if (c.Name == name)
            return &c;
    }
    return nullptr;
}

std::string ProcessCell(const Contender* c) {
    if (c == nullptr)
        return "n/a";
    if (!c->Error.empty())
        return "failed";
    return Fixed(Median(c->Times), 1);
}

Report MakeReport(const std::vector<SizeResult>& results) {
    Report report;
    Table& table = report.Main;
    std::vector<std::string>& findings = report.Findings;
    report.Phases.Header = {"Screen", "Kestrel whole process ms"};
    for (const char* name : PHASE_NAMES) report.Phases.Header.push_back(name);
    report.Phases.Header.push_back("`true` ms");
    report.Phases.Header.push_back("fastest peer / `true`");
    table.Header = {"Screen",
                    "Kestrel per capture in the running program ms median / p90 (target)",
                    "import ms",
                    "scrot -t ms",
                    "scrot + convert ms",
                    "maim + convert ms",
                    "fastest peer / Kestrel per capture (target " + Fixed(TARGET_RATIO, 0) + "x)",
                    "PSNR dB",
                    "memory MB idle -> peak (+delta)",
                    "informative: Kestrel whole process ms",
                    "informative: fastest peer / Kestrel whole process"};
    for (const SizeResult& r : results) {
        const std::string size = std::to_string(r.Width) + "x" + std::to_string(r.Height);
        if (!r.Error.empty()) {
            table.Rows.push_back({size, "error: " + r.Error});
            findings.push_back(size + ": not measured: " + r.Error);
            continue;
        }
        const double median = Median(r.Captures);
        const double p90 = Percentile(r.Captures, 0.9);
        const double target = TargetMs(r.Width, r.Height);
        const Contender* kestrel = Find(r, "Kestrel process");
        const double process =
            kestrel != nullptr && kestrel->Error.empty() ? Median(kestrel->Times) : NAN;
        std::string fastestName;
        double fastest = NAN;
        for (const Contender& c : r.Processes) {
            if (c.Kind != Role::Peer || !c.Error.empty() || c.Times.empty())
                continue;
            const double m = Median(c.Times);
            if (std::isnan(fastest) || m < fastest) {
                fastest = m;
                fastestName = c.Name;
            }
        }
        // The target: a peer as people run it against a capture of the running program.
        const double ratio = fastest / median;
        // For information only: Kestrel started for one capture, like the peers.
        const double processRatio = fastest / process;
        const std::string fastestNote = fastestName.empty() ? "" : " (" + fastestName + ")";

        std::vector<std::string> phases = {size, ProcessCell(kestrel)};
        for (int i = 0; i < PHASE_COUNT; ++i) {
            std::vector<double> values;
            if (kestrel != nullptr) {
                for (const Phases& p : kestrel->PhaseTimes) values.push_back(PhaseValue(p, i));
            }
            phases.push_back(Fixed(Median(values), 1));
        }
        const Contender* floor = Find(r, "true");
        phases.push_back(ProcessCell(floor));
        phases.push_back(
            Fixed(floor != nullptr && floor->Error.empty() ? fastest / Median(floor->Times) : NAN,
                  1) +
            "x");
        report.Phases.Rows.push_back(phases);
        const long peak = r.AfterHwm;
        const double deltaMb = static_cast<double>(peak - r.IdleRss) / 1024.0;
        const std::string psnr =
            r.Quality.Error.empty() ? Fixed(r.Quality.Psnr, 1) : "error: " + r.Quality.Error;

        table.Rows.push_back(
            {size, Fixed(median, 2) + " / " + Fixed(p90, 2) + " (" + Fixed(target, 0) + ")",
             ProcessCell(Find(r, "import")), ProcessCell(Find(r, "scrot -t")),
             ProcessCell(Find(r, "scrot + convert")), ProcessCell(Find(r, "maim + convert")),
             Fixed(ratio, 1) + "x" + fastestNote, psnr,
             Mb(r.IdleRss) + " -> " + Mb(peak) + " (+" + Fixed(deltaMb, 1) + ")",
             ProcessCell(kestrel), Fixed(processRatio, 1) + "x" + fastestNote});

        const auto verdict = [](bool met) { return met ? "met" : "MISSED"; };
        findings.push_back(size + ": per capture " + Fixed(median, 2) + " ms median (p90 " +
                           Fixed(p90, 2) + ") against at most " + Fixed(target, 0) +
                           " ms: " + verdict(median <= target));
        findings.push_back(size + ": per capture in the running program " + Fixed(median, 2) +
                           " ms, " + Fixed(ratio, 1) + "x faster than the fastest peer as a " +
                           "whole process (" + fastestName + ", " + Fixed(fastest, 1) +
                           " ms), target " + Fixed(TARGET_RATIO, 0) +
                           "x: " + verdict(!std::isnan(ratio) && ratio >= TARGET_RATIO));
        if (!r.Named.empty()) {
            findings.push_back(size + ": informative: each file on the disk and named " +
                               Fixed(Median(r.Named), 2) + " ms median after its capture began " +
                               "(written, flushed and named on the file system's thread while " +
                               "the program goes on)");
        }
        if (r.Quality.Error.empty()) {
            findings.push_back(
                size + ": PSNR " + Fixed(r.Quality.Psnr, 1) + " dB against the exact mean (" +
                Fixed(r.Quality.PsnrUnrounded, 1) + " dB against its unrounded value; largest " +
                "channel difference " + std::to_string(r.Quality.MaxError) + "), target " +
                Fixed(TARGET_PSNR_DB, 0) + " dB: " + verdict(r.Quality.Psnr >= TARGET_PSNR_DB));
        }
        if (r.Width == MEMORY_TARGET_WIDTH && r.Height == MEMORY_TARGET_HEIGHT) {
            findings.push_back(size + ": memory: idle VmRSS " + Mb(r.IdleRss) + " MB (VmHWM " +
                               Mb(r.IdleHwm) + " MB); after " + std::to_string(r.Captures.size()) +
                               " captures VmHWM " + Mb(r.AfterHwm) + " MB, VmRSS " +
                               Mb(r.AfterRss) + " MB; peak " + Fixed(deltaMb, 1) +
                               " MB above idle, target " + Fixed(TARGET_MEMORY_MB, 0) +
                               " MB: " + verdict(deltaMb <= TARGET_MEMORY_MB));
        }
        if (!r.SharedMemory)
            findings.push_back(size + ": the grab did not use shared memory");
        for (const Contender& c : r.Processes) {
            if (!c.Error.empty())
                findings.push_back(size + ": " + c.Name + ": " + c.Error);
        }
    }
    return report;
}

void PrintText(const Report& report) {
    std::printf(
        "Ratio with the target: the fastest peer's whole process over Kestrel's capture "
        "inside the running program; the whole-process columns are informative.\n\n");
    Bench::WriteAligned(std::cout, report.Main);
    std::printf("\nInformative: Kestrel as a whole process, median of each step (ms):\n");
    Bench::WriteAligned(std::cout, report.Phases);
    std::printf("\n");
    for (const std::string& f : report.Findings) std::printf("%s\n", f.c_str());
}

std::string FirstLine(const fs::path& file, const std::string& key) {
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, key.size(), key) == 0) {
            const std::size_t colon = line.find(':');
            std::string value = colon == std::string::npos ? line : line.substr(colon + 1);
            value.erase(0, value.find_first_not_of(" \t"));
            return value;
        }
    }
    return "unknown";
}

std::string OsName() {
    std::ifstream in("/etc/os-release");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("PRETTY_NAME=", 0) == 0) {
            std::string name = line.substr(12);
            name.erase(std::remove(name.begin(), name.end(), '"'), name.end());
            return name;
        }
    }
    return "unknown system";
}

std::string LoadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string one, five, fifteen;
    in >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

void WriteMarkdown(const Options& options, const Report& report,
                   const std::vector<SizeResult>& results, const std::string& loadBefore,
                   const std::string& when) {
    // The Windows section (scripts/bench-windows.sh) comes from another run: kept as it is.
    std::string windows;
    {
        std::ifstream page(options.Markdown);
        std::string line;
        while (std::getline(page, line)) {
            if (windows.empty() && line != WINDOWS_HEADING)
                continue;
            windows += line + "\n";
        }
    }
    std::ofstream out(options.Markdown);
    utsname system{};
    uname(&system);
    const long memoryKb = std::strtol(FirstLine("/proc/meminfo", "MemTotal").c_str(), nullptr, 10);
    out << "# Capture benchmark\n\n";
    out << "- Date: " << when << "\n";
    out << "- Machine: " << FirstLine("/proc/cpuinfo", "model name") << ", "
        << std::thread::hardware_concurrency() << " cores, " << Mb(memoryKb) << " MB RAM, "
        << system.sysname << " " << system.release << "; " << OsName() << "\n";
    out << "- Load average (1, 5, 15 min) before: " << loadBefore << ", after: " << LoadAverage()
        << "\n";
    out << "- Command: `" << options.Command << "`\n";
    out << "- Screens: Xvfb at 24 bits, one per size, painted once with the benchmark's busy "
           "picture; output "
        << options.OutputWidth << "x" << options.OutputHeight << " BMP, 24-bit\n";
    out << "- Runs: " << options.Captures << " captures in one process; whole processes "
        << options.ProcessRuns << " runs for Kestrel, " << options.PeerRuns
        << " for each peer, after one uncounted warm-up run each, interleaved\n\n";

    out << "The ratio with the target is the fastest peer's whole process over Kestrel's "
           "capture inside the running program. The columns marked informative show Kestrel "
           "started as a whole process for one capture, like the peers; they carry no "
           "target.\n\n";
    Bench::WriteMarkdown(out, report.Main);
    out << "\n## Informative: Kestrel as a whole process, step by step\n\n"
           "Medians in ms. `true` is a process that does nothing, spawned and reaped the same "
           "way: no whole process costs less on this machine, so the last column is the "
           "largest ratio any program started for one capture could reach.\n\n";
    Bench::WriteMarkdown(out, report.Phases);
    out << "\n## Targets\n\n";
    for (const std::string& f : report.Findings) out << "- " << f << "\n";
    out << "\n## What is measured\n\n"
           "- Kestrel per capture in the running program: one capture as the running program "
           "makes it on a hot-key press or timer tick: the primary "
           "monitor and the pointer from the server (X11Screen, on a connection held for the "
           "run), the streaming grab and area average into the picture (X11ScreenGrab), the "
           "file name and the BMP file written all or "
           "nothing (SavePictureAsBmp) into a temporary directory, as the running program "
           "saves: the file's bytes copied in the capture, then written, flushed to the disk "
           "and named on the file system's own thread, which is awaited after each capture, "
           "outside its time, so every capture starts with the disk idle; each file is "
           "deleted once named. Median and 90th percentile (nearest rank) of all "
           "captures, the first (which sets up the shared-memory segment and the weights) "
           "included.\n"
           "- Kestrel whole process (informative): `kestrel_capture_once --phases out.bmp W H`, "
           "built from the same capture code and linked with only QtCore and xcb: connect, "
           "grab, scale, save, exit; it notes the monotonic clock at "
           "main, after connecting, after the grab, after the save and before returning, and "
           "the steps are the differences, with spawn and reap taken here.\n"
           "- Peers, each timed from spawn to exit, steps run back to back: `import -window "
           "root -resize WxH! out.bmp` (ImageMagick); `scrot -o -t WxH shot.bmp` (scrot's own "
           "thumbnail, written as a BMP beside the full-size shot); `scrot -o shot.png` then "
           "`convert shot.png -resize WxH! out.bmp`; `maim shot.png` then the same `convert`. "
           "Every tool is Debian's own copy in /usr/bin.\n"
           "- Ratio (the target): the fastest peer's whole-process median over Kestrel's "
           "per-capture median inside the running program. The peers are run as whole "
           "processes because that is how people run them; Kestrel is run as a resident "
           "program, so a capture on a hot-key press or timer tick costs only the capture in "
           "the program. The fastest peer's median over Kestrel's whole-process median is "
           "shown as well, for information, without a target.\n"
           "- PSNR: Kestrel's last file against the exact area average of the same screen, "
           "read back through plain GetImage and averaged here in double precision, rounded "
           "to 8 bits; 'inf' when every channel matches.\n"
           "- Memory: VmRSS of the in-process run after connecting (the screen already "
           "painted by another process), then VmHWM after the captures, with the peak reset "
           "at idle through /proc/self/clear_refs"
        << (std::all_of(results.begin(), results.end(),
                        [](const SizeResult& r) { return r.PeakReset || !r.Error.empty(); })
                ? ""
                : " (not possible on this kernel for some sizes: there the idle figure is "
                  "VmHWM)")
        << ". A full-size copy of a 3840x2160 screen alone would be 32 MB.\n";
    if (!windows.empty())
        out << "\n" << windows;
}

std::optional<Options> ParseOptions(int argc, char** argv) {
    Options options;
    std::vector<std::string> args(argv + 1, argv + argc);
    const auto number = [&](std::size_t& i) -> std::optional<int> {
        if (i + 1 >= args.size())
            return std::nullopt;
        const int value = std::atoi(args[++i].c_str());
        return value > 0 ? std::optional<int>(value) : std::nullopt;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::optional<int> value;
        if (a == "--captures" && (value = number(i))) {
            options.Captures = *value;
        } else if (a == "--process-runs" && (value = number(i))) {
            options.ProcessRuns = *value;
        } else if (a == "--peer-runs" && (value = number(i))) {
            options.PeerRuns = *value;
        } else if (a == "--size" && (value = number(i))) {
            options.OutputWidth = *value;
            if (!(value = number(i)))
                return std::nullopt;
            options.OutputHeight = *value;
        } else if (a == "--markdown" && i + 1 < args.size()) {
            options.Markdown = args[++i];
        } else if (a == "--command" && i + 1 < args.size()) {
            options.Command = args[++i];
        } else if (a == "--measure" && i + 2 < args.size()) {
            options.MeasureDisplay = args[++i];
            options.MeasureDirectory = args[++i];
        } else if (!a.empty() && a[0] != '-') {
            options.Displays.push_back(a);
        } else {
            return std::nullopt;
        }
    }
    if (options.MeasureDisplay.empty() && options.Displays.empty())
        return std::nullopt;
    if (options.Command.empty()) {
        options.Command = "kestrel_bench";
        for (const std::string& a : args) options.Command += " " + a;
    }
    return options;
}

}  // namespace

int main(int argc, char** argv) {
    const auto options = ParseOptions(argc, argv);
    if (!options) {
        std::fprintf(stderr,
                     "usage: kestrel_bench [--captures N] [--process-runs N] [--peer-runs N]\n"
                     "                     [--size W H] [--markdown FILE] [--command TEXT] "
                     "DISPLAY...\n");
        return 2;
    }
    if (!options->MeasureDisplay.empty())
        return Measure(*options);

    const fs::path self = fs::read_symlink("/proc/self/exe");
    const std::string loadBefore = LoadAverage();
    const std::time_t now = std::time(nullptr);
    char when[64];
    std::strftime(when, sizeof when, "%Y-%m-%d %H:%M %Z", std::localtime(&now));

    std::vector<SizeResult> results;
    for (const std::string& display : options->Displays)
        results.push_back(MeasureDisplay(*options, self, display));

    const Report report = MakeReport(results);
    PrintText(report);
    if (!options->Markdown.empty()) {
        WriteMarkdown(*options, report, results, loadBefore, when);
        std::printf("\nwritten to %s\n", options->Markdown.c_str());
    }
    const bool failed = std::any_of(results.begin(), results.end(),
                                    [](const SizeResult& r) { return !r.Error.empty(); });
    return failed ? 1 : 0;
}
