// Kestrel left running on its timer at 0.01 s, with the pointer moved and Ctrl+F (or the call
// a desktop's key binding makes) at random moments, as it runs for hours on a desktop: on X11
// (Xvfb), on sway (wlr-screencopy) and on GNOME (mutter's screen cast through the desktop
// portal). Every capture is a complete file numbered in sequence, checked and removed as it
// appears; once warmed up, Kestrel's memory, its file descriptors, its shared memory, on X11
// the X server's resources and (on long runs) its processor time per capture stop growing.
// KESTREL_SOAK_CAPTURES sets how many captures a run makes (10,000 unless set) and
// KESTREL_SOAK_MINUTES the time it has for them (a minute per 1,000, at least 10). The
// Wayland runs are made inside their sessions (tests/wayland/desktop-session.sh sway|mutter)
// and are skipped elsewhere.
#include "XResources.h"
#include "support/KestrelProcess.h"
#include "support/PrivateEnv.h"
#include "support/ProgramTest.h"
#include "support/SessionBus.h"
#include "support/UiDriving.h"
#include "support/Wait.h"
#include "support/XInput.h"
#include "support/XWindows.h"
#include "support/Xvfb.h"
#include "testkit/BmpReader.h"

#ifdef KESTREL_SOAK_WAYLAND
#include "SwaySession.h"
#include "testkit/MutterRemote.h"
#endif

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <random>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace TestSupport;
using namespace TestKit;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
using Settings = std::map<std::string, std::string>;

constexpr int OUTPUT_WIDTH = 64;
constexpr int OUTPUT_HEIGHT = 48;
constexpr std::uintmax_t FILE_BYTES = 54 + (OUTPUT_WIDTH * 3 + 3) / 4 * 4 * OUTPUT_HEIGHT;

// Limits of what counts as "stopped growing" and "never stalled".
constexpr long RSS_GROWTH_LIMIT_KB = 1024;
constexpr double CPU_PER_CAPTURE_RATIO_LIMIT = 1.5;
// Processor time per capture is only judged on a long run. Over a few minutes, a few seconds
// of other work on the machine (the rest of the suite runs beside the soak) can double it in
// one third without anything growing in Kestrel; over longer runs such bursts are diluted and
// a real growth, such as work that rises with the number of captures, still stands out.
constexpr long CPU_JUDGED_FROM_CAPTURES = 50000;
constexpr auto LONGEST_CAPTURE_GAP = 3s;
constexpr auto SLOWEST_TRIGGER = 2s;
constexpr auto READING_PERIOD = 250ms;
// Counts of descriptors and shared memory are compared as the least of this many readings:
// a file being saved or a frame in flight adds one for an instant, a leak adds for good.
constexpr std::size_t READINGS_COMPARED = 4;

long FromEnvironment(const char* name, long fallback) {
    const char* text = std::getenv(name);
    const long value = text != nullptr ? std::atol(text) : 0;
    return value > 0 ? value : fallback;
}

long Captures() {
    return std::max(FromEnvironment("KESTREL_SOAK_CAPTURES", 10000), 100L);
}

Clock::duration Deadline(long captures) {
    return std::chrono::minutes(
        FromEnvironment("KESTREL_SOAK_MINUTES", std::max(10L, (captures + 999) / 1000)));
}

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

std::string ProcFile(pid_t pid, const std::string& name) {
    return "/proc/" + std::to_string(pid) + "/" + name;
}

// A figure of /proc/PID/status in kB ("VmRSS:", "RssShmem:"), -1 when missing.
long StatusKb(pid_t pid, const std::string& field) {
    std::ifstream in(ProcFile(pid, "status"));
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(field, 0) == 0)
            return std::stol(line.substr(field.size()));
    }
    return -1;
}

// What each open descriptor refers to ("socket:[123]", "/memfd:pipewire-memfd (deleted)"), so
// that a growth can be named.
std::multiset<std::string> OpenFiles(pid_t pid) {
    std::error_code ec;
    std::multiset<std::string> files;
    for (auto it = fs::directory_iterator(ProcFile(pid, "fd"), ec);
         !ec && it != fs::directory_iterator(); it.increment(ec)) {
        // One closed between the listing and its reading is not held.
        std::error_code gone;
        const fs::path target = fs::read_symlink(it->path(), gone);
        if (!gone)
            files.insert(target.string());
    }
    return files;
}

// Those in `now` but not in `before`, each kind once with its count, socket numbers aside.
std::string NewFiles(const std::multiset<std::string>& before,
                     const std::multiset<std::string>& now) {
    std::vector<std::string> added;
    std::set_difference(now.begin(), now.end(), before.begin(), before.end(),
                        std::back_inserter(added));
    std::map<std::string, int> kinds;
    for (const std::string& file : added)
        ++kinds[std::regex_replace(file, std::regex(R"(\[[0-9]+\])"), "")];
    std::string text;
    for (const auto& [kind, count] : kinds) text += " " + kind + " x" + std::to_string(count);
    return text;
}

// The shared-memory objects mapped into the process, each counted once however many
// mappings it has, by name: memfds and /dev/shm files (Wayland's buffers, PipeWire's) and
// System V segments (X11's MIT-SHM).
std::map<std::string, std::string> SharedMemoryObjects(pid_t pid) {
    std::ifstream in(ProcFile(pid, "maps"));
    std::map<std::string, std::string> objects;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string range, perms, offset, device, inode, path;
        fields >> range >> perms >> offset >> device >> inode >> path;
        if (path.rfind("/memfd:", 0) == 0 || path.rfind("/dev/shm/", 0) == 0 ||
            path.rfind("/SYSV", 0) == 0)
            objects[device + " " + inode] = path;
    }
    return objects;
}

// The objects judged for growth: all but the toolkit's window and cursor buffers. Qt adds a
// window buffer while the compositor still holds the others, which a label repainted 100
// times a second makes it do now and then, and keeps it a while.
int SharedMemoryMapped(pid_t pid) {
    int judged = 0;
    for (const auto& [object, name] : SharedMemoryObjects(pid))
        judged += name != "/memfd:wayland-shm" && name != "/memfd:wayland-cursor";
    return judged;
}

std::string SharedMemoryNames(pid_t pid) {
    std::map<std::string, int> counts;
    for (const auto& [object, name] : SharedMemoryObjects(pid)) ++counts[name];
    std::string text;
    for (const auto& [name, count] : counts) text += " " + name + " x" + std::to_string(count);
    return text;
}

// The System V segments the process made that still exist, attached or not: a segment
// never marked for removal outlives the process.
int SystemVSegments(pid_t pid) {
    std::ifstream in("/proc/sysvipc/shm");
    std::string line;
    std::getline(in, line);  // the heading
    int count = 0;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string key, id, perms, size;
        long creator = 0;
        if (fields >> key >> id >> perms >> size >> creator && creator == pid)
            ++count;
    }
    return count;
}

// Every file that appears is checked and removed at once, so the directory stays small;
// what is remembered is which numbers were seen.
class CaptureLedger {
  public:
    void Take(const fs::path& file) {
        static const std::regex NAME(R"((\d+)-\d{6}-(-?\d+|NA)-(-?\d+|NA)\.bmp)");
        const std::string name = file.filename().string();
        std::smatch parts;
        if (!std::regex_match(name, parts, NAME)) {
            Problem(name + ": not a capture file name");
            return;
        }
        const long number = std::stol(parts[1]);
        if (parts[2] == "NA" || parts[3] == "NA") {
            ++unplaced_;
        } else {
            const int x = std::stoi(parts[2]), y = std::stoi(parts[3]);
            if (x < 0 || x >= OUTPUT_WIDTH || y < 0 || y >= OUTPUT_HEIGHT) {
                Problem(name + ": the pointer was on the screen, not at " + parts[2].str() + "," +
                        parts[3].str());
            }
        }
        std::error_code ec;
        const std::uintmax_t bytes = fs::file_size(file, ec);
        const BmpImage bmp = ReadBmp(file);
        if (!bmp.Ok()) {
            Problem(name + ": " + bmp.Error);
        } else if (bmp.Width != OUTPUT_WIDTH || bmp.Height != OUTPUT_HEIGHT ||
                   bmp.BitsPerPixel != 24 || bytes != FILE_BYTES) {
            Problem(name + ": " + std::to_string(bmp.Width) + "x" + std::to_string(bmp.Height) +
                    "x" + std::to_string(bmp.BitsPerPixel) + ", " + std::to_string(bytes) +
                    " bytes");
        }
        fs::remove(file, ec);
        if (number < 1) {
            Problem(name + ": numbered below 1");
            return;
        }
        if (static_cast<std::size_t>(number) >= seen_.size()) {
            seen_.resize(static_cast<std::size_t>(number) * 2 + 1024, 0);
        }
        if (seen_[static_cast<std::size_t>(number)]++ != 0)
            Problem(name + ": number seen before");
        highest_ = std::max(highest_, number);
        ++files_;
    }

    // Checks and removes every capture in the directory; hidden files are a save in flight
    // on file systems without unnamed files and are left for later.
    void TakeAll(const fs::path& directory) {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(directory, ec)) {
            if (entry.path().filename().string().front() != '.')
                Take(entry.path());
        }
    }

    std::vector<long> Missing() const {
        std::vector<long> missing;
        for (long n = 1; n <= highest_; ++n) {
            if (seen_[static_cast<std::size_t>(n)] == 0)
                missing.push_back(n);
        }
        return missing;
    }

    long Highest() const { return highest_; }
    long Files() const { return files_; }
    long Unplaced() const { return unplaced_; }
    const std::vector<std::string>& Problems() const { return problems_; }

  private:
    void Problem(std::string text) {
        if (problems_.size() < 50)
            problems_.push_back(std::move(text));
    }

    std::vector<unsigned char> seen_;
    long highest_ = 0;
    long files_ = 0;
    long unplaced_ = 0;
    std::vector<std::string> problems_;
};

// What a display server holds for Kestrel, by kind; nothing when it could not say.
using Held = std::optional<std::map<std::string, std::uint64_t>>;

// A desktop the soak runs Kestrel on: how it starts there, how the pointer and the extra
// trigger reach it, what the display server holds for it, and how it is ended.
class Desktop {
  public:
    virtual ~Desktop() = default;
    // Starts Kestrel with these settings; true once it is ready to capture.
    virtual bool Start(const Settings& settings) = 0;
    virtual KestrelProcess& Process() = 0;
    // Puts the pointer into the pixel (x, y) of the screen.
    virtual void MovePointer(int x, int y) = 0;
    // Asks for one capture as the user would; false when the request did not arrive.
    virtual bool Trigger() = 0;
    virtual Held ServerHeld() { return Held::value_type{}; }
    // Ends Kestrel as its user would; its exit status, nothing while it runs on.
    virtual std::optional<int> Stop() = 0;

    int Width = 0;
    int Height = 0;
    // False where a capture may not know the pointer's place (its name then says NA).
    bool PointerAlwaysKnown = false;
};

class X11Desktop final : public Desktop {
  public:
    X11Desktop() {
        Width = 1024;
        Height = 768;
        PointerAlwaysKnown = true;
    }
    bool Start(const Settings& settings) override {
        env_.WriteSettings(settings);
        // A session bus as a desktop has one, so that start-up has nothing to say.
        process_ = std::make_unique<KestrelProcess>(env_, server_.Display(),
                                                    LaunchOptions{{bus_.Variable()}});
        window_ = WaitForWindow(input_.Connection(), MAIN_TITLE);
        return window_.has_value();
    }
    KestrelProcess& Process() override { return *process_; }
    void MovePointer(int x, int y) override { input_.MovePointer(x, y); }
    bool Trigger() override {
        input_.PressCtrlF();  // ends with a round trip to the server
        return true;
    }
    Held ServerHeld() override {
        const auto resources = Soak::ResourcesOfWindowOwner(input_.Connection(), window_->Id);
        if (!resources)
            return std::nullopt;
        std::map<std::string, std::uint64_t> held(resources->Counts.begin(),
                                                  resources->Counts.end());
        held["pixmap bytes"] = resources->PixmapBytes;
        return held;
    }
    std::optional<int> Stop() override {
        RequestClose(input_.Connection(), window_->Id);
        return process_->WaitExit(10s);
    }

  private:
    XvfbServer server_{XvfbOptions{1024, 768, 24, {}}};
    PrivateEnvironment env_;
    XInput input_{server_.Display()};
    SessionBus bus_;
    std::unique_ptr<KestrelProcess> process_;
    std::optional<WindowInfo> window_;
};

#ifdef KESTREL_SOAK_WAYLAND
// A Wayland session's Kestrel, which ends on SIGTERM as when the session ends.
class WaylandDesktop : public Desktop {
  public:
    KestrelProcess& Process() override { return kestrel_->Process(); }
    std::optional<int> Stop() override {
        Process().Kill(SIGTERM);
        return Process().WaitExit(10s);
    }

  protected:
    WaylandDesktop() {
        Width = 1920;
        Height = 1080;
    }
    std::unique_ptr<WaylandTest::SessionKestrel> kestrel_;
};

// sway: the pointer a virtual device of the seat's, Ctrl+F through sway's binding.
class SwayDesktop final : public WaylandDesktop {
  public:
    bool Start(const Settings& settings) override {
        kestrel_ = std::make_unique<WaylandTest::SessionKestrel>(settings);
        return pointer_.Ready() && kestrel_->Window().has_value();
    }
    void MovePointer(int x, int y) override { pointer_.MoveTo(x, y); }
    bool Trigger() override { return WaylandTest::Shell("wtype -M ctrl f -m ctrl") == 0; }

  private:
    WaylandTest::VirtualPointer pointer_;
};

// GNOME: the screen shared in the portal's chooser, the pointer through mutter's remote
// desktop, and the capture action called as a key binding of the user's calls it (the
// portal's own hot key needs a portal with global shortcuts, which not every release has).
class MutterDesktop final : public WaylandDesktop {
  public:
    bool Start(const Settings& settings) override {
        kestrel_ = std::make_unique<WaylandTest::SessionKestrel>(settings);
        return remote_.Ready() &&
               WaitUntil(
                   [&] {
                       remote_.AnswerChooser(true);
                       return kestrel_->Says("granted through the ScreenCast portal", 1, 2s);
                   },
                   40s);
    }
    void MovePointer(int x, int y) override { remote_.MoveTo(x, y); }
    bool Trigger() override { return WaylandTest::CaptureAction() == 0; }

  private:
    TestKit::MutterRemote remote_;
};
#endif

// The desktop of this name, or nothing with why it cannot be had here.
std::unique_ptr<Desktop> MakeDesktop(const std::string& name, std::string& whyNot) {
    if (name == "x11")
        return std::make_unique<X11Desktop>();
#ifdef KESTREL_SOAK_WAYLAND
    const char* current = std::getenv("XDG_CURRENT_DESKTOP");
    const std::string session = current != nullptr ? current : "";
    if (name == "sway" && session == "sway")
        return std::make_unique<SwayDesktop>();
    if (name == "mutter" && session == "GNOME")
        return std::make_unique<MutterDesktop>();
#endif
    whyNot = "not in a " + name + " session (tests/wayland/desktop-session.sh starts one)";
    return nullptr;
}

// The pointer over every part of the screen once, windows being larger than the step: what a
// program loads at the pointer's first visit (Qt's cursor theme, over its window) is then
// loaded before the counts are taken.
void VisitEveryPart(Desktop& desktop) {
    for (int y = 50; y < desktop.Height; y += 100) {
        for (int x = 50; x < desktop.Width; x += 100) desktop.MovePointer(x, y);
    }
}

struct Reading {
    Clock::duration At;
    long Captures = 0;
    // Resident memory but for shared memory's pages: those are the desktop's buffers, counted
    // where a frame is first read into (all of a PipeWire stream's buffers in turn), and
    // judged by the count of shared-memory objects instead.
    long RssKb = 0;
    long SharedKb = 0;
    long CpuTicks = 0;
    // A capture being written is open in its folder, nameless, for a moment of every capture,
    // and then the folder itself, synced after the name: counted apart, so that a reading
    // taken then is no growth.
    int Files = 0;
    int CapturesOpen = 0;
    std::multiset<std::string> FileNames;
    int SharedMemory = 0;
    int Segments = 0;
};

Reading Read(KestrelProcess& kestrel, const fs::path& dir, Clock::duration at, long captures) {
    const pid_t pid = kestrel.Pid();
    const long shared = StatusKb(pid, "RssShmem:");
    std::multiset<std::string> files = OpenFiles(pid);
    const std::string inDir = dir.string() + "/";
    const auto capturesOpen =
        static_cast<int>(std::count_if(files.begin(), files.end(), [&](const std::string& f) {
            return f == dir.string() || f.starts_with(inDir);
        }));
    return Reading{at,
                   captures,
                   StatusKb(pid, "VmRSS:") - shared,
                   shared,
                   kestrel.CpuTicks(),
                   static_cast<int>(files.size()) - capturesOpen,
                   capturesOpen,
                   std::move(files),
                   SharedMemoryMapped(pid),
                   SystemVSegments(pid)};
}

// The least of the readings' counts from `first` to `last`; `count` picks the count (a member).
template <typename Count>
int Least(std::vector<Reading>::const_iterator first, std::vector<Reading>::const_iterator last,
          Count count) {
    int least = std::invoke(count, *first);
    for (auto r = first; r != last; ++r) least = std::min(least, std::invoke(count, *r));
    return least;
}

// Processor time per capture between two readings, in milliseconds.
double CpuMsPerCapture(const Reading& from, const Reading& to) {
    const long captures = to.Captures - from.Captures;
    if (captures <= 0)
        return 0;
    return static_cast<double>(to.CpuTicks - from.CpuTicks) * 1000.0 /
           static_cast<double>(sysconf(_SC_CLK_TCK)) / static_cast<double>(captures);
}

std::string Text(const Held& held) {
    if (!held)
        return "?";
    std::string text;
    for (const auto& [kind, count] : *held)
        text += (text.empty() ? "" : ", ") + kind + " " + std::to_string(count);
    return text;
}

class Soak : public testing::TestWithParam<const char*> {};

TEST_P(Soak, TimerAndTriggersLoseNothingAndGrowNothing) {
    const std::string name = GetParam();
    std::string whyNot;
    const std::unique_ptr<Desktop> desktop = MakeDesktop(name, whyNot);
    if (!desktop)
        GTEST_SKIP() << whyNot;
    const long captures = Captures();
    // A tenth of the run: start-up, fonts, first paints and the desktop's buffers settle.
    const long warmUp = captures / 10;
    const Clock::duration deadline = Deadline(captures);
    const std::random_device::result_type seed = std::random_device{}();
    std::mt19937 random(seed);
    const char* const desk = name.c_str();
    std::printf("soak %s: %ld captures at 0.01 s within %.0f min, warm-up %ld, random seed %u\n",
                desk, captures, Seconds(deadline) / 60, warmUp, seed);

    const bool started = desktop->Start({{"UseTimer", "1"},
                                         {"TimerPeriod", "0.01"},
                                         {"OutputWidth", std::to_string(OUTPUT_WIDTH)},
                                         {"OutputHeight", std::to_string(OUTPUT_HEIGHT)},
                                         {"UseHotkey", "1"}});
    KestrelProcess& kestrel = desktop->Process();
    ASSERT_TRUE(started) << "Kestrel did not get ready; stderr:\n" << kestrel.Stderr();
    const fs::path dir = kestrel.FindCaptureDir();
    ASSERT_FALSE(dir.empty()) << kestrel.Stderr();
    VisitEveryPart(*desktop);
    // What start-up said is the desktop's business; from here on nothing is to be said.
    const std::size_t saidAtStart = kestrel.Stderr().size();

    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, dir.c_str(), IN_CREATE | IN_MOVED_TO), 0);

    CaptureLedger ledger;
    std::vector<Reading> readings;
    std::optional<std::size_t> warm;
    Held warmHeld, mostHeld = Held::value_type{};
    long triggers = 0, failedTriggers = 0;
    Clock::duration longestGap{}, slowestTrigger{};
    std::uniform_int_distribution<int> triggerGap(10, 500), pointX(0, desktop->Width - 1),
        pointY(0, desktop->Height - 1);

    const Clock::time_point start = Clock::now();
    Clock::time_point nextTrigger = start + std::chrono::milliseconds(triggerGap(random));
    Clock::time_point nextReading = start;
    Clock::time_point lastCapture = start;
    bool inTime = true;
    while (ledger.Highest() < captures) {
        Clock::time_point now = Clock::now();
        if (now - start > deadline) {
            inTime = false;
            break;
        }
        // Wakes for a new file or for the next trigger or reading, whichever comes first.
        const auto until = std::min(nextTrigger, nextReading);
        pollfd p{watch, POLLIN, 0};
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(until - now);
        if (poll(&p, 1, static_cast<int>(std::max<long>(0, wait.count()) + 1)) > 0) {
            char events[4096];
            while (read(watch, events, sizeof events) > 0) {
            }
            const long before = ledger.Highest();
            ledger.TakeAll(dir);
            if (ledger.Highest() != before) {
                now = Clock::now();
                if (warm)
                    longestGap = std::max(longestGap, now - lastCapture);
                lastCapture = now;
            }
        }
        now = Clock::now();
        if (now >= nextTrigger) {
            desktop->MovePointer(pointX(random), pointY(random));
            const auto asked = Clock::now();
            failedTriggers += desktop->Trigger() ? 0 : 1;
            slowestTrigger = std::max(slowestTrigger, Clock::now() - asked);
            ++triggers;
            nextTrigger = Clock::now() + std::chrono::milliseconds(triggerGap(random));
        }
        if (now >= nextReading) {
            ASSERT_TRUE(kestrel.Running()) << "Kestrel ended; stderr:\n" << kestrel.Stderr();
            readings.push_back(Read(kestrel, dir, now - start, ledger.Highest()));
            if (!warm && ledger.Highest() >= warmUp)
                warm = readings.size() - 1;
            if (warm) {
                const Held held = desktop->ServerHeld();
                ASSERT_TRUE(held) << "the display server does not say what it holds for Kestrel";
                if (!warmHeld)
                    warmHeld = held;
                for (const auto& [kind, count] : *held)
                    (*mostHeld)[kind] = std::max((*mostHeld)[kind], count);
            }
            nextReading += READING_PERIOD;
        }
    }
    const Clock::duration took = Clock::now() - start;
    readings.push_back(Read(kestrel, dir, took, ledger.Highest()));
    const Held endHeld = desktop->ServerHeld();
    const std::string said = kestrel.Stderr().substr(saidAtStart);
    const auto status = desktop->Stop();
    ASSERT_TRUE(status) << "still running after it was asked to end";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << "status " << *status;
    ledger.TakeAll(dir);
    close(watch);

    // Figures first, so that a failing run still shows them.
    ASSERT_TRUE(warm && readings.size() - *warm >= 2 * READINGS_COMPARED)
        << "too few readings after warm-up: " << ledger.Highest() << " captures";
    const auto warmReading = readings.cbegin() + static_cast<long>(*warm);
    const auto endReadings = readings.cend() - static_cast<long>(READINGS_COMPARED);
    const auto afterWarm = warmReading + static_cast<long>(READINGS_COMPARED);
    const Reading& last = readings.back();
    long mostRss = 0;
    int mostFiles = 0, mostShared = 0, mostCapturesOpen = 0;
    for (auto r = warmReading; r != readings.cend(); ++r) {
        mostRss = std::max(mostRss, r->RssKb);
        mostFiles = std::max(mostFiles, r->Files);
        mostCapturesOpen = std::max(mostCapturesOpen, r->CapturesOpen);
        mostShared = std::max(mostShared, r->SharedMemory);
    }
    const int warmFiles = Least(warmReading, afterWarm, &Reading::Files);
    const int endFiles = Least(endReadings, readings.cend(), &Reading::Files);
    const int warmShared = Least(warmReading, afterWarm, &Reading::SharedMemory);
    const int endShared = Least(endReadings, readings.cend(), &Reading::SharedMemory);
    const int warmSegments = Least(warmReading, afterWarm, &Reading::Segments);
    const int endSegments = Least(endReadings, readings.cend(), &Reading::Segments);
    const auto measured = readings.cend() - warmReading;
    const double cpuFirst = CpuMsPerCapture(*warmReading, *(warmReading + measured / 3));
    const double cpuLast = CpuMsPerCapture(*(warmReading + 2 * measured / 3), last);
    const double made = static_cast<double>(ledger.Highest());
    std::printf(
        "soak %s: %ld captures in %.1f s, %.2f ms a capture (%.1f a second), %ld triggers, %ld "
        "without the pointer's place\n",
        desk, ledger.Highest(), Seconds(took), Seconds(took) * 1000 / made, made / Seconds(took),
        triggers, ledger.Unplaced());
    std::printf(
        "soak %s: resident memory (shared memory's aside) %ld kB at the first reading, %ld kB "
        "after warm-up (capture %ld), %ld kB at the end, at most %ld kB after warm-up (growth "
        "%ld kB); shared memory resident %ld kB after warm-up, %ld kB at the end\n",
        desk, readings.front().RssKb, warmReading->RssKb, warmReading->Captures, last.RssKb,
        mostRss, mostRss - warmReading->RssKb, warmReading->SharedKb, last.SharedKb);
    std::printf(
        "soak %s: file descriptors (captures being written aside) %d after warm-up, %d at the end "
        "(at most %d), captures open at once at most %d; shared memory objects mapped (the "
        "window's aside) %d after warm-up, %d at the end (at most %d); System V segments %d after "
        "warm-up, %d at the end\n",
        desk, warmFiles, endFiles, mostFiles, mostCapturesOpen, warmShared, endShared, mostShared,
        warmSegments, endSegments);
    if (!warmHeld->empty()) {
        std::printf("soak %s: held by the display server after warm-up: %s\n", desk,
                    Text(warmHeld).c_str());
        std::printf("soak %s: held by the display server at the end:    %s\n", desk,
                    Text(endHeld).c_str());
    }
    std::printf(
        "soak %s: processor time per capture %.3f ms in the first third after warm-up, %.3f ms "
        "in the last\n",
        desk, cpuFirst, cpuLast);
    std::printf("soak %s: longest wait between two captures %.3f s, slowest trigger %.3f s\n", desk,
                Seconds(longestGap), Seconds(slowestTrigger));
    std::fflush(stdout);

    EXPECT_TRUE(inTime) << "only " << ledger.Highest() << " of " << captures << " captures in "
                        << Seconds(deadline) / 60 << " min";
    for (const std::string& problem : ledger.Problems()) ADD_FAILURE() << problem;
    const std::vector<long> missing = ledger.Missing();
    EXPECT_TRUE(missing.empty()) << missing.size() << " captures missing, the first "
                                 << missing.front() << "; Kestrel said:\n"
                                 << kestrel.Stderr().substr(0, 4000);
    EXPECT_EQ(ledger.Files(), ledger.Highest());
    if (desktop->PointerAlwaysKnown) {
        EXPECT_EQ(ledger.Unplaced(), 0);
    }
    EXPECT_EQ(failedTriggers, 0);
    EXPECT_GE(triggers, static_cast<long>(Seconds(took)));
    EXPECT_LT(longestGap, LONGEST_CAPTURE_GAP);
    EXPECT_LT(slowestTrigger, SLOWEST_TRIGGER);
    EXPECT_EQ(said.find("kestrel:"), std::string::npos) << said;
    std::vector<fs::path> left;
    for (const auto& entry : fs::directory_iterator(dir)) left.push_back(entry.path());
    EXPECT_TRUE(left.empty()) << left.size() << " files left, the first " << left.front();

    EXPECT_LT(mostRss - warmReading->RssKb, RSS_GROWTH_LIMIT_KB);
    EXPECT_LE(endFiles, warmFiles) << "file descriptors grew after warm-up; new at the end:"
                                   << NewFiles(warmReading->FileNames, last.FileNames);
    EXPECT_LE(mostCapturesOpen, 1) << "captures left open";
    EXPECT_LE(endShared, warmShared)
        << "shared memory grew after warm-up; mapped now:" << SharedMemoryNames(kestrel.Pid());
    EXPECT_LE(endSegments, warmSegments) << "System V segments grew after warm-up";
    ASSERT_TRUE(endHeld);
    for (const auto& [kind, count] : *mostHeld) {
        EXPECT_LE(count, (*warmHeld)[kind]) << kind << " grew after warm-up";
    }
    if (ledger.Highest() >= CPU_JUDGED_FROM_CAPTURES) {
        EXPECT_LE(cpuLast, cpuFirst * CPU_PER_CAPTURE_RATIO_LIMIT + 0.1)
            << "processor time per capture grew";
    }
}

INSTANTIATE_TEST_SUITE_P(Desktops, Soak, testing::Values("x11", "sway", "mutter"),
                         [](const testing::TestParamInfo<const char*>& desktop) {
                             return std::string(desktop.param);
                         });

}  // namespace
