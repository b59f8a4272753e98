// The built program on its fastest timer counts on past 32,767 captures, the most a 16-bit
// count could hold: numbering goes on without a gap or a failure. On a tiny screen with a
// tiny output a capture takes about a millisecond, so the run lasts under a minute.
#include "support/ProgramTest.h"
#include "support/SessionBus.h"
#include "testkit/BmpReader.h"
#include "testkit/ScratchFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

namespace {

namespace fs = std::filesystem;
using namespace TestSupport;
using namespace TestKit;
using namespace std::chrono_literals;

constexpr long PAST_SIXTEEN_BITS = 32770;

// The capture directory Kestrel made in `base`.
fs::path CaptureDirIn(const fs::path& base) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(base, ec)) {
        if (entry.path().filename().string().starts_with("KESTREL_"))
            return entry.path();
    }
    return {};
}

long FileCount(const fs::path& directory) {
    std::error_code ec;
    long count = 0;
    for (auto it = fs::directory_iterator(directory, ec); !ec && it != fs::directory_iterator();
         it.increment(ec)) {
        ++count;
    }
    return count;
}

class CountE2E : public ProgramTest {
  protected:
    CountE2E() : ProgramTest(XvfbOptions{64, 48, 24, {}}) {}
};

TEST_F(CountE2E, ATimerRunNumbersOnPast32767WithoutAGap) {
    // Some 33,000 small files: on tmpfs where there is one, gone with the test.
    const TestKit::ScratchFolder shots(
        "kestrel-count", fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : env_.Root());
    // A session bus as a desktop has one, so that start-up has nothing to say.
    const SessionBus bus;
    auto kestrel = Start({{"BasePath", shots.Path().string() + "/"},
                          {"UseTimer", "1"},
                          {"TimerPeriod", "0.001"},
                          {"OutputWidth", "8"},
                          {"OutputHeight", "6"}},
                         {{bus.Variable()}});
    const fs::path dir = CaptureDirIn(shots.Path());
    ASSERT_FALSE(dir.empty()) << kestrel->Stderr();

    // Listing tens of thousands of names takes time from Kestrel: once a second is enough.
    auto lastLook = std::chrono::steady_clock::now();
    const bool passed = WaitUntil(
        [&] {
            const auto now = std::chrono::steady_clock::now();
            if (now - lastLook < 1s)
                return false;
            lastLook = now;
            return FileCount(dir) >= PAST_SIXTEEN_BITS;
        },
        150s);
    kestrel->Kill();
    kestrel->WaitExit(10s);
    ASSERT_TRUE(passed) << FileCount(dir) << " files; stderr:\n" << kestrel->Stderr();

    std::set<long> numbers;
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with('.'))
            continue;  // a save in flight where files cannot be written unnamed
        numbers.insert(std::stol(name.substr(0, name.find('-'))));
        if (name.starts_with("32767-") || name.starts_with("32768-") ||
            name.starts_with("32770-")) {
            const BmpImage bmp = ReadBmp(entry.path());
            ASSERT_TRUE(bmp.Ok()) << name << ": " << bmp.Error;
            EXPECT_EQ(bmp.Width, 8) << name;
            EXPECT_EQ(bmp.Height, 6) << name;
        }
    }
    ASSERT_GE(static_cast<long>(numbers.size()), PAST_SIXTEEN_BITS);
    EXPECT_EQ(*numbers.begin(), 1);
    EXPECT_EQ(*numbers.rbegin(), static_cast<long>(numbers.size())) << "a number is missing";
    EXPECT_EQ(kestrel->Stderr().find("kestrel:"), std::string::npos) << kestrel->Stderr();
}

}  // namespace
