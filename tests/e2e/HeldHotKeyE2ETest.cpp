// The built program with the hot key on, Ctrl+F held down while the X server repeats it as
// it does for a user: one file for the whole hold, and one more for the next press.
#include "support/ProgramTest.h"
#include "support/Wait.h"
#include "support/XInput.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

namespace {

namespace fs = std::filesystem;
using namespace TestSupport;
using namespace std::chrono_literals;

struct RepeatCase {
    const char* Name;
    std::optional<int> DelayMs;  // none: the server's own default
    int PerSecond = 0;
};

void PrintTo(const RepeatCase& c, std::ostream* os) {
    *os << c.Name;
}

class HeldHotKeyE2E : public ProgramTest, public testing::WithParamInterface<RepeatCase> {
  protected:
    // Waits for the file that makes count, then gives a further one the chance to show.
    void ExpectFiles(const fs::path& dir, std::size_t count, const char* after) {
        EXPECT_TRUE(WaitUntil([&] { return ListFiles(dir).size() >= count; }))
            << "no capture " << count << " " << after;
        EXPECT_FALSE(WaitUntil([&] { return ListFiles(dir).size() > count; }, 500ms))
            << ListFiles(dir).size() << " files " << after;
    }
};

TEST_P(HeldHotKeyE2E, AHeldCtrlFSavesOneFileAndTheNextPressAnother) {
    auto kestrel = Start({{"UseHotkey", "1"}});
    const fs::path dir = kestrel->FindCaptureDir();
    ASSERT_FALSE(dir.empty());
    if (GetParam().DelayMs)
        input_.SetKeyRepeat(*GetParam().DelayMs, GetParam().PerSecond);
    // A server that did not repeat would let a program that counts repeats pass.
    const auto seen = input_.HoldOnOwnWindow(KEY_F, 1s);
    ASSERT_GE(
        std::count_if(seen.begin(), seen.end(), [](const KeyEventSeen& e) { return e.Press; }), 3)
        << "the server does not repeat";

    input_.HoldCtrlF(2s);
    ExpectFiles(dir, 1, "after holding Ctrl+F for 2 s");
    input_.PressCtrlF();
    ExpectFiles(dir, 2, "after the next press");

    const auto files = ListFiles(dir);
    ASSERT_EQ(files.size(), 2u) << kestrel->Stderr();
    EXPECT_TRUE(files[0].filename().string().starts_with("1-")) << files[0];
    EXPECT_TRUE(files[1].filename().string().starts_with("2-")) << files[1];
    EXPECT_TRUE(kestrel->Running());
}

INSTANTIATE_TEST_SUITE_P(ServerRepeat, HeldHotKeyE2E,
                         testing::Values(RepeatCase{"DefaultRate", std::nullopt},
                                         RepeatCase{"FastRate", 200, 50}),
                         [](const testing::TestParamInfo<RepeatCase>& param) {
                             return std::string(param.param.Name);
                         });

}  // namespace
