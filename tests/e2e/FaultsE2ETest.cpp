// Faults the running program meets for real: its capture directory removed or made
// read-only, the disk full, the process killed in a burst of captures, the X server gone.
// Each is reported as "kestrel: <what> “<path>”: <reason>", leaves no partial file, loses
// nothing already saved, and the next capture after the cause is gone succeeds.
#include "support/KestrelProcess.h"
#include "support/PrivateEnv.h"
#include "support/ProgramTest.h"
#include "support/Wait.h"
#include "support/XInput.h"
#include "support/XWindows.h"
#include "support/Xvfb.h"
#include "testkit/BmpReader.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pwd.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>

namespace {

namespace fs = std::filesystem;
using namespace TestSupport;
using namespace TestKit;
using namespace std::chrono_literals;

constexpr const char* SAVE_FAILED = "kestrel: Cannot save the capture \u201C";

// The number a capture file's name starts with.
long NumberOf(const std::string& name) {
    return std::strtol(name.c_str(), nullptr, 10);
}

// The captures in a directory by number, each checked to be a whole BMP file of the given
// size; anything else found there is a problem.
struct Captures {
    std::map<long, fs::path> Files;
    std::vector<std::string> Problems;
};

Captures ReadCaptures(const fs::path& directory, int width, int height) {
    Captures captures;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(directory, ec)) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() != ".bmp") {
            captures.Problems.push_back(name + ": not a capture");
            continue;
        }
        const BmpImage bmp = ReadBmp(entry.path());
        if (!bmp.Ok() || bmp.Width != width || bmp.Height != height) {
            captures.Problems.push_back(name + ": " + (bmp.Ok() ? "wrong size" : bmp.Error));
        }
        captures.Files[NumberOf(name)] = entry.path();
    }
    return captures;
}

// The capture numbers named in "Cannot save the capture" lines for files in directory.
std::set<long> ReportedNumbers(const std::string& stderrText, const fs::path& directory) {
    std::set<long> numbers;
    const std::string prefix = SAVE_FAILED + directory.string() + "/";
    std::istringstream lines(stderrText);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind(prefix, 0) == 0)
            numbers.insert(NumberOf(line.substr(prefix.size())));
    }
    return numbers;
}

std::size_t Occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

// Every entry of a directory, hidden ones too.
std::size_t EntriesIn(const fs::path& directory) {
    std::error_code ec;
    std::size_t count = 0;
    for (auto it = fs::directory_iterator(directory, ec); it != fs::directory_iterator();
         it.increment(ec)) {
        ++count;
    }
    return count;
}

// The KESTREL_* directory under base; empty if none.
fs::path CaptureDirUnder(const fs::path& base) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(base, ec)) {
        if (entry.path().filename().string().rfind("KESTREL_", 0) == 0)
            return entry.path();
    }
    return {};
}

std::string ReadWhole(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

class FaultsE2E : public ProgramTest {
  protected:
    // Presses Ctrl+F and waits for its outcome: a new file in directory, or a new line on
    // standard error. True when it was a file.
    bool CaptureWithCtrlF(KestrelProcess& kestrel, const fs::path& directory) {
        const std::size_t files = ListFiles(directory).size();
        const std::size_t lines = Occurrences(kestrel.Stderr(), "\n");
        input_.PressCtrlF();
        EXPECT_TRUE(WaitUntil([&] {
            return ListFiles(directory).size() > files ||
                   Occurrences(kestrel.Stderr(), "\n") > lines;
        })) << "Ctrl+F had no outcome; stderr:\n"
            << kestrel.Stderr();
        return ListFiles(directory).size() > files;
    }
};

const std::map<std::string, std::string> SMALL_CAPTURES_ON_CTRL_F{
    {"UseHotkey", "1"}, {"OutputWidth", "64"}, {"OutputHeight", "48"}};

// The directory goes while the timer runs; every number counted meanwhile is either a whole
// file or a reported failure, and the captures resume once the directory is back.
void DirectoryGoesAndComesBack(KestrelProcess& kestrel, const fs::path& moved) {
    const fs::path dir = kestrel.FindCaptureDir();
    ASSERT_TRUE(WaitUntil([&] { return ListFiles(dir).size() >= 3; })) << kestrel.Stderr();
    if (!moved.empty()) {
        fs::rename(dir, moved);
    } else {
        // New captures can land while the tree is being removed.
        ASSERT_TRUE(WaitUntil([&] {
            std::error_code ec;
            fs::remove_all(dir, ec);
            return !fs::exists(dir);
        }));
    }
    const std::string failed = SAVE_FAILED + dir.string() + "/";
    ASSERT_TRUE(WaitUntil([&] { return Occurrences(kestrel.Stderr(), failed) >= 3; }))
        << kestrel.Stderr();
    EXPECT_NE(kestrel.Stderr().find("No such file or directory"), std::string::npos)
        << kestrel.Stderr();
    EXPECT_TRUE(kestrel.Running());

    fs::create_directory(dir);
    ASSERT_TRUE(WaitUntil([&] { return ListFiles(dir).size() >= 3; })) << kestrel.Stderr();
    kestrel.Kill(SIGKILL);
    kestrel.WaitExit(10s);

    const Captures after = ReadCaptures(dir, 64, 48);
    for (const std::string& problem : after.Problems) ADD_FAILURE() << problem;
    const std::set<long> reported = ReportedNumbers(kestrel.Stderr(), dir);
    ASSERT_FALSE(reported.empty());
    EXPECT_GT(after.Files.begin()->first, *reported.rbegin()) << "saved before the last failure";
    if (moved.empty())
        return;

    const Captures before = ReadCaptures(moved, 64, 48);
    for (const std::string& problem : before.Problems) ADD_FAILURE() << problem;
    for (long n = 1; n <= after.Files.rbegin()->first; ++n) {
        const int places =
            static_cast<int>(before.Files.count(n) + after.Files.count(n) + reported.count(n));
        EXPECT_EQ(places, 1) << "capture " << n << " is saved or reported " << places
                             << " times; stderr:\n"
                             << kestrel.Stderr();
    }
}

TEST_F(FaultsE2E, CaptureDirectoryMovedAwayMidRunIsReportedAndCapturesResumeWhenItIsBack) {
    auto kestrel = Start(
        {{"UseTimer", "1"}, {"TimerPeriod", "0.1"}, {"OutputWidth", "64"}, {"OutputHeight", "48"}});
    DirectoryGoesAndComesBack(*kestrel, env_.Root() / "moved");
}

TEST_F(FaultsE2E, CaptureDirectoryDeletedMidRunIsReportedAndCapturesResumeWhenItIsBack) {
    auto kestrel = Start(
        {{"UseTimer", "1"}, {"TimerPeriod", "0.1"}, {"OutputWidth", "64"}, {"OutputHeight", "48"}});
    DirectoryGoesAndComesBack(*kestrel, fs::path());
}

// Root may write anywhere; an ordinary user is needed to see a read-only directory refuse.
std::optional<std::pair<uid_t, gid_t>> UnprivilegedUser() {
    const passwd* user = getpwnam("nobody");
    if (user == nullptr)
        return std::nullopt;
    const pid_t child = fork();
    if (child == 0) {
        const bool switched = setgid(user->pw_gid) == 0 && setuid(user->pw_uid) == 0;
        _exit(switched && access(KESTREL_BINARY, X_OK) == 0 ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return std::make_pair(user->pw_uid, user->pw_gid);
}

TEST_F(FaultsE2E, ReadOnlyCaptureDirectoryIsReportedAndCapturesResumeWhenWritable) {
    LaunchOptions options;
    if (geteuid() == 0) {
        const auto user = UnprivilegedUser();
        if (!user) {
            GTEST_SKIP() << "running as root, and user nobody cannot run " << KESTREL_BINARY
                         << ": permissions would not apply to the program";
        }
        options.Uid = static_cast<int>(user->first);
        options.Gid = static_cast<int>(user->second);
        for (const auto& entry : fs::recursive_directory_iterator(env_.Root())) {
            ASSERT_EQ(lchown(entry.path().c_str(), user->first, user->second), 0);
        }
        ASSERT_EQ(lchown(env_.Root().c_str(), user->first, user->second), 0);
    }
    auto kestrel = Start(SMALL_CAPTURES_ON_CTRL_F, options);
    const fs::path dir = kestrel->FindCaptureDir();
    ASSERT_TRUE(CaptureWithCtrlF(*kestrel, dir)) << kestrel->Stderr();
    const fs::path first = ListFiles(dir).front();
    const std::string firstBytes = ReadWhole(first);

    fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                             fs::perms::group_exec | fs::perms::others_read |
                             fs::perms::others_exec);
    EXPECT_FALSE(CaptureWithCtrlF(*kestrel, dir));
    EXPECT_NE(kestrel->Stderr().find(SAVE_FAILED + dir.string() + "/2-"), std::string::npos)
        << kestrel->Stderr();
    EXPECT_NE(kestrel->Stderr().find("\u201D: Permission denied"), std::string::npos)
        << kestrel->Stderr();
    EXPECT_EQ(EntriesIn(dir), 1u);
    EXPECT_TRUE(kestrel->Running());

    fs::permissions(dir, fs::perms::owner_write, fs::perm_options::add);
    ASSERT_TRUE(CaptureWithCtrlF(*kestrel, dir)) << kestrel->Stderr();
    const Captures captures = ReadCaptures(dir, 64, 48);
    for (const std::string& problem : captures.Problems) ADD_FAILURE() << problem;
    ASSERT_EQ(captures.Files.size(), 2u);
    EXPECT_EQ(captures.Files.rbegin()->first, 3);
    EXPECT_EQ(ReadWhole(first), firstBytes);
}

// A small file system of its own under where, seen only by this test process and the
// programs it starts, and gone with them.
class SmallFileSystem {
  public:
    SmallFileSystem(const fs::path& where, const std::string& size) : where_(where) {
        fs::create_directories(where);
        if (unshare(CLONE_NEWNS) != 0) {
            Unavailable = std::string("unshare: ") + std::strerror(errno);
        } else if (mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                   mount("tmpfs", where.c_str(), "tmpfs", MS_NOSUID | MS_NODEV,
                         ("size=" + size).c_str()) != 0) {
            Unavailable = std::string("mount: ") + std::strerror(errno);
        } else {
            mounted_ = true;
        }
    }
    ~SmallFileSystem() {
        if (mounted_)
            umount2(where_.c_str(), MNT_DETACH);
    }

    // Writes a file that takes every free block, leaving no room for anything else.
    void Fill(const fs::path& file) const {
        const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        const std::string block(4096, 'x');
        while (write(fd, block.data(), block.size()) > 0) {
        }
        close(fd);
    }

    std::string Unavailable;

  private:
    fs::path where_;
    bool mounted_ = false;
};

TEST_F(FaultsE2E, DiskFilledUpMidRunIsReportedKeepsEarlierCapturesAndRecovers) {
    const fs::path base = env_.Root() / "small";
    SmallFileSystem disk(base, "256k");
    if (!disk.Unavailable.empty()) {
        GTEST_SKIP() << "no file system of a test's own here (" << disk.Unavailable << ")";
    }
    auto settings = SMALL_CAPTURES_ON_CTRL_F;
    settings["BasePath"] = base.string() + "/";
    auto kestrel = Start(settings);
    const fs::path dir = CaptureDirUnder(base);
    ASSERT_FALSE(dir.empty()) << kestrel->Stderr();
    ASSERT_TRUE(CaptureWithCtrlF(*kestrel, dir)) << kestrel->Stderr();
    ASSERT_TRUE(CaptureWithCtrlF(*kestrel, dir)) << kestrel->Stderr();
    const std::string secondBytes = ReadWhole(ListFiles(dir).back());

    disk.Fill(base / "filler");
    EXPECT_FALSE(CaptureWithCtrlF(*kestrel, dir));
    EXPECT_NE(kestrel->Stderr().find(SAVE_FAILED + dir.string() + "/3-"), std::string::npos)
        << kestrel->Stderr();
    EXPECT_NE(kestrel->Stderr().find("\u201D: No space left on device"), std::string::npos)
        << kestrel->Stderr();
    EXPECT_EQ(EntriesIn(dir), 2u) << "a partial file is left";
    EXPECT_TRUE(kestrel->Running());

    fs::remove(base / "filler");
    ASSERT_TRUE(CaptureWithCtrlF(*kestrel, dir)) << kestrel->Stderr();
    const Captures captures = ReadCaptures(dir, 64, 48);
    for (const std::string& problem : captures.Problems) ADD_FAILURE() << problem;
    ASSERT_EQ(captures.Files.size(), 3u);
    EXPECT_EQ(captures.Files.rbegin()->first, 4);
    EXPECT_EQ(ReadWhole(captures.Files.at(2)), secondBytes);
}

// Killed at random moments, during start-up (when the settings are written) and in bursts
// of large captures (when files are being written): what is left is whole.
TEST_F(FaultsE2E, KilledAtRandomMomentsLeavesOnlyWholeCapturesAndIntactSettings) {
    constexpr int WIDTH = 2400, HEIGHT = 1800;  // 13 MB files: long writes to land in
    const std::map<std::string, std::string> settings{{"BasePath", env_.Pictures().string() + "/"},
                                                      {"OutputHeight", std::to_string(HEIGHT)},
                                                      {"OutputWidth", std::to_string(WIDTH)},
                                                      {"TimerPeriod", "0.05"},
                                                      {"UseHotkey", "1"},
                                                      {"UseTimer", "1"}};
    env_.WriteSettings(settings);
    const std::random_device::result_type seed = std::random_device{}();
    std::mt19937 random(seed);
    SCOPED_TRACE("random seed " + std::to_string(seed));

    for (int round = 0; round < 8; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        KestrelProcess kestrel(env_, server_.Display());
        if (round < 3) {
            // Somewhere in start-up, which loads and writes back the settings.
            std::this_thread::sleep_for(
                std::chrono::milliseconds(std::uniform_int_distribution<int>(0, 300)(random)));
        } else {
            const std::size_t saved = std::uniform_int_distribution<std::size_t>(1, 3)(random);
            ASSERT_TRUE(WaitUntil([&] {
                const fs::path dir = kestrel.FindCaptureDir();
                return !dir.empty() && ListFiles(dir).size() >= saved;
            })) << kestrel.Stderr();
            for (int press = 0; press < 3; ++press) input_.PressCtrlF();
            std::this_thread::sleep_for(
                std::chrono::microseconds(std::uniform_int_distribution<int>(0, 60000)(random)));
        }
        kestrel.Kill(SIGKILL);
        const auto status = kestrel.WaitExit(10s);
        ASSERT_TRUE(status && WIFSIGNALED(*status));

        EXPECT_EQ(env_.ReadSettings(), settings) << env_.ReadSettingsText();
        for (const auto& entry : fs::directory_iterator(env_.ConfigHome())) {
            const std::string name = entry.path().filename().string();
            EXPECT_TRUE(name == "Kestrel.conf" || name == "Kestrel.conf.lock") << name;
        }
        const fs::path dir = kestrel.FindCaptureDir();
        if (dir.empty())
            continue;
        const Captures captures = ReadCaptures(dir, WIDTH, HEIGHT);
        for (const std::string& problem : captures.Problems) ADD_FAILURE() << problem;
        if (!captures.Files.empty()) {
            EXPECT_EQ(captures.Files.rbegin()->first, static_cast<long>(captures.Files.size()))
                << "a gap in the numbers";
        }
        // The next start may fall in the same second and want the same name.
        fs::rename(dir, env_.Root() / ("round-" + std::to_string(round)));
    }
}

// The X server goes while Kestrel runs, idle or in the middle of captures: Kestrel says so and
// ends with a status, not a signal.
struct ServerEnd {
    const char* Name;
    int Signal;
    bool Capturing;
};

class XServerGoneE2E : public FaultsE2E, public testing::WithParamInterface<ServerEnd> {};

TEST_P(XServerGoneE2E, EndsWithStatusOneAndAClearMessage) {
    const ServerEnd& end = GetParam();
    std::map<std::string, std::string> settings = SMALL_CAPTURES_ON_CTRL_F;
    if (end.Capturing) {
        settings["UseTimer"] = "1";
        settings["TimerPeriod"] = "0.05";
    }
    auto kestrel = Start(settings);
    const fs::path dir = kestrel->FindCaptureDir();
    if (end.Capturing) {
        ASSERT_TRUE(WaitUntil([&] { return ListFiles(dir).size() >= 5; })) << kestrel->Stderr();
    }
    kill(server_.Pid(), end.Signal);
    const auto status = kestrel->WaitExit(20s);
    ASSERT_TRUE(status) << "still running without its X server; stderr:\n" << kestrel->Stderr();
    EXPECT_FALSE(WIFSIGNALED(*status)) << "ended by signal " << WTERMSIG(*status) << "; stderr:\n"
                                       << kestrel->Stderr();
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 1) << kestrel->Stderr();
    EXPECT_NE(kestrel->Stderr().find("The X11 connection broke"), std::string::npos)
        << kestrel->Stderr();
    const Captures captures = ReadCaptures(dir, 64, 48);
    for (const std::string& problem : captures.Problems) ADD_FAILURE() << problem;
}

INSTANTIATE_TEST_SUITE_P(Ends, XServerGoneE2E,
                         testing::Values(ServerEnd{"TerminatedWhileIdle", SIGTERM, false},
                                         ServerEnd{"KilledWhileCapturing", SIGKILL, true},
                                         ServerEnd{"TerminatedWhileCapturing", SIGTERM, true}),
                         [](const auto& test) { return std::string(test.param.Name); });

}  // namespace
