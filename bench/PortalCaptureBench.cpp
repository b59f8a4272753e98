// kestrel_bench_portal gnome|kwin --picture-program PATH [--kestrel PATH] [--captures N]:
// what one capture costs Kestrel on GNOME (the ScreenCast portal's stream, under a headless
// mutter) or on KDE Plasma (KWin's ScreenShot2, under a headless KWin), run inside
// tests/wayland/desktop-session.sh (scripts/bench-portal.sh starts it). The busy picture is
// shown full screen; on GNOME the portal's chooser is answered through mutter's remote
// desktop, as the tests do. Then the core's MakeCapture runs in this one process as the
// program runs it, and the PSNR of its last capture is read against the exact area average.
// On GNOME, last, the built program runs with the grant restored while a corner of the
// screen changes at every frame, and its processor time over 10 s is read. Prints one
// Markdown table row, and the idle line, on standard output.
#include "NoWindow.h"
#include "ProcessMemory.h"
#include "Report.h"
#include "Spawn.h"
#include "Statistics.h"
#include "testkit/AreaReference.h"
#include "testkit/BusyPicture.h"
#include "testkit/MutterRemote.h"

#include "core/CaptureSequence.h"
#include "core/seam/Services.h"
#include "platform/kde/KWinScreenShotGrab.h"
#include "platform/portal/PortalScreenCast.h"
#include "platform/posix/PosixClock.h"
#include "platform/posix/PosixFileSystem.h"

#include <QCoreApplication>
#include <QImage>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Bench::Clock;
using Bench::Fixed;

constexpr int WIDTH = 1920;
constexpr int HEIGHT = 1080;

class StderrNotes final : public Seam::ErrorReport {
  public:
    void Report(const KestrelMain::Failure& failure) override { Note(failure.Text()); }
    void Note(const std::string& line) override { std::fprintf(stderr, "  %s\n", line.c_str()); }
};

// Runs `done` with Qt's events handled between tries, until it holds or the deadline passes.
bool Until(const std::function<bool()>& done, std::chrono::seconds deadline) {
    const auto end = Clock::now() + deadline;
    while (!done()) {
        if (Clock::now() >= end)
            return false;
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(50ms);  // the desktop's next answer or frame
    }
    return true;
}

// Standard output and error both to `output`; -1, said, when it cannot start.
pid_t Spawn(const std::vector<std::string>& command, const fs::path& output,
            const std::vector<std::string>& environment = {}) {
    std::string error;
    const pid_t pid = Bench::Spawn({command, environment, {}, output, output}, error);
    if (pid < 0)
        std::fprintf(stderr, "kestrel_bench_portal: %s\n", error.c_str());
    return pid;
}

std::string Read(const fs::path& file) {
    std::ifstream in(file);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

double Psnr(const fs::path& capture) {
    return TestKit::Compare(TestKit::ReadBmp(capture),
                            TestKit::BusyPictureAverage(WIDTH, HEIGHT, 800, 600))
        .Psnr;
}

// The primary output where the benchmark knows it: the whole screen. The pointer is not
// measured.
struct WholeScreen final : Seam::Screen {
    KestrelMain::Result<Seam::ScreenRect> ReadPrimaryScreen() override {
        return Seam::ScreenRect{0, 0, WIDTH, HEIGHT};
    }
    KestrelMain::Result<Seam::PointerReading> ReadPointer(const Seam::ScreenRect&) override {
        return Seam::PointerReading::Unknown("not measured");
    }
};

fs::path Last(const fs::path& captures, std::int32_t count) {
    for (const auto& entry : fs::directory_iterator(captures)) {
        if (entry.path().filename().string().starts_with(std::to_string(count) + "-"))
            return entry.path();
    }
    return {};
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    std::string desktop = argc > 1 ? argv[1] : "";
    std::string picture;
    std::string kestrel;
    int captures = 50;
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--picture-program")
            picture = argv[i + 1];
        else if (option == "--kestrel")
            kestrel = argv[i + 1];
        else if (option == "--captures")
            captures = std::atoi(argv[i + 1]);
    }
    if ((desktop != "gnome" && desktop != "kwin") || picture.empty()) {
        std::fprintf(stderr,
                     "usage: kestrel_bench_portal gnome|kwin --picture-program PATH "
                     "[--kestrel PATH] [--captures N]\n");
        return 2;
    }
    const char* session = std::getenv("KESTREL_SESSION_DIR");
    const fs::path dir = session != nullptr ? fs::path(session) : fs::temp_directory_path();
    const fs::path busy = dir / "busy.png";
    QImage image(WIDTH, HEIGHT, QImage::Format_RGB32);
    for (int y = 0; y < HEIGHT; ++y) {
        for (int x = 0; x < WIDTH; ++x)
            image.setPixel(x, y, 0xff000000u | TestKit::BusyColourAt(x, y, WIDTH, HEIGHT));
    }
    image.save(QString::fromStdString(busy.string()));
    setenv("QT_QPA_PLATFORM", "wayland", 1);
    const pid_t shown = Spawn({picture, busy.string()}, dir / "picture.txt");

    StderrNotes notes;
    Platform::Posix::PosixFileSystem files;
    Platform::Posix::PosixClock clock;
    Bench::NoWindow window;
    const std::string token = (dir / "state" / "kestrel" / "screencast-restore-token").string();
    std::optional<Platform::Portal::PortalScreenCast> cast;
    std::optional<Platform::Kde::KWinScreenShotGrab> kwin;
    WholeScreen whole;
    Seam::Services services{
        .Errors = &notes, .Files = &files, .Clock = &clock, .MainWindow = &window};
    std::string failed;
    if (desktop == "gnome") {
        cast.emplace(token, nullptr);
        services.Screen = &*cast;
        services.Grab = &*cast;
        Seam::Install(services);
        cast->Start();
        TestKit::MutterRemote remote;
        // The chooser: Tab to the monitor, Alt+S to share (Shift first: the remote session
        // loses its first key), again until the grant comes.
        if (!Until(
                [&] {
                    if (!cast->NotReadyBecause())
                        return true;
                    remote.Keys({TestKit::KEY_SHIFT});
                    remote.Keys({TestKit::KEY_TAB});
                    remote.Keys({TestKit::KEY_ALT, TestKit::KEY_S});
                    return Until([&] { return !cast->NotReadyBecause(); }, 2s);
                },
                60s))
            failed = "the screen cast was not granted";
    } else {
        // KWin's one output, Virtual-0, at the origin, is the whole desktop here.
        kwin.emplace([] { return std::string("Virtual-0"); });
        services.Screen = &whole;
        services.Grab = &*kwin;
        Seam::Install(services);
        bool refused = false;
        if (auto why = Platform::Kde::KWinScreenShotGrab::Unavailable(refused))
            failed = *why;
    }

    const fs::path out = dir / "captures";
    fs::create_directories(out);
    std::int32_t count = 0;
    double psnr = 0;
    // The picture is on screen once a capture shows it.
    if (failed.empty() && !Until(
                              [&] {
                                  if (KestrelMain::MakeCapture(out.string(), 800, 600, count))
                                      return false;
                                  psnr = Psnr(Last(out, count));
                                  return psnr >= 50;
                              },
                              30s))
        failed = "the picture did not show in the captures (PSNR " + Fixed(psnr, 1) + " dB)";
    std::vector<double> times;
    for (int i = 0; failed.empty() && i < captures; ++i) {
        const auto start = Clock::now();
        if (auto error = KestrelMain::MakeCapture(out.string(), 800, 600, count))
            failed = error->Text();
        times.push_back(Bench::Milliseconds(Clock::now() - start));
    }
    if (failed.empty())
        psnr = Psnr(Last(out, count));
    if (shown > 0) {
        kill(shown, SIGTERM);
        Bench::Reap(shown);
    }
    if (!failed.empty()) {
        std::fprintf(stderr, "kestrel_bench_portal: %s\n", failed.c_str());
        return 1;
    }
    // One row: scripts/bench-portal.sh puts the table together from both desktops' runs.
    Bench::WriteMarkdown(
        std::cout,
        {{},
         {{desktop == "gnome" ? "GNOME (mutter 43), ScreenCast portal, stream running"
                              : "KDE Plasma (KWin 5.27), ScreenShot2",
           std::to_string(WIDTH) + "x" + std::to_string(HEIGHT),
           Fixed(Bench::Median(times), 2) + " / " + Fixed(Bench::Percentile(times, 0.9), 2),
           Fixed(psnr, 1)}}});

    if (desktop == "gnome" && !kestrel.empty()) {
        // The built program, its grant restored from the token this run kept, while a corner
        // of the screen changes at every frame.
        const fs::path home = dir / "idle-home";
        fs::create_directories(home / ".config");
        fs::create_directories(home / "Pictures");
        std::ofstream(home / ".config" / "Kestrel.conf")
            << "[Settings]\nBasePath=" << (home / "Pictures").string() << "/\n";
        const fs::path log = dir / "idle-stderr.txt";
        const pid_t program =
            Spawn({kestrel}, log,
                  {"HOME=" + home.string(), "XDG_CONFIG_HOME=" + (home / ".config").string(),
                   "XDG_STATE_HOME=" + (dir / "state").string()});
        const pid_t changing = Spawn({picture, "--changing", busy.string()}, dir / "changing.txt");
        long used = -1;
        if (Until([&] { return Read(log).find("granted through") != std::string::npos; }, 30s)) {
            std::this_thread::sleep_for(1s);  // start-up's last events
            const long before = Bench::ProcessTicks(program);
            std::this_thread::sleep_for(10s);  // the idle time measured
            used = Bench::ProcessTicks(program) - before;
        }
        for (const pid_t pid : {changing, program}) {
            if (pid > 0) {
                kill(pid, SIGTERM);
                Bench::Reap(pid);
            }
        }
        std::printf(
            "\nIdle on GNOME with the stream running and a corner of the screen changing at "
            "every frame: %ld clock ticks of processor time in 10 s (%s%% of a core; target "
            "1%%).\n",
            used,
            Fixed(static_cast<double>(used) / static_cast<double>(sysconf(_SC_CLK_TCK)) * 10, 2)
                .c_str());
    }
    return 0;
}
