// The configuration dialog's verdict on what was typed: which message, in which order of
// precedence, and what each setting becomes; then what OK stores and asks of the windows.
#include "core/ConfigRules.h"
#include "core/Numbers.h"
#include "support/MemoryDesktop.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using KestrelMain::AppStateRecord;
using namespace KestrelMain;

const std::string EXISTING = "/existing/dir/";

bool OnlyExistingDirs(const std::string& path) {
    return path == EXISTING || path == "/existing/dir" || path == "/other";
}

AppStateRecord Current() {
    AppStateRecord state;
    state.BasePath = EXISTING;
    state.UseTimer = 0;
    state.OutputWidth = 800;
    state.OutputHeight = 600;
    state.TimerPeriod = 2.0f;
    state.HotkeyActive = 0;
    state.UseHotkey = 0;
    return state;
}

ConfigEntries Unchanged() {
    return ConfigEntries{"800", "600", "2", EXISTING, 0, 0, ""};
}

struct MessageCase {
    const char* Width;
    const char* Height;
    const char* Period;
    const char* BasePath;
    const char* Message;
};

TEST(ConfigRules, FirstFailingCheckWinsInItsOrder) {
    const char* none = "";
    const MessageCase cases[] = {
        {"abc", "600", "0", "/existing/dir/", MSG_INVALID_WIDTH},
        {"abc", "x", "y", "/missing", MSG_INVALID_WIDTH},
        {"", "600", "2", "/existing/dir/", MSG_INVALID_WIDTH},
        {"800", "x", "y", "/missing", MSG_INVALID_HEIGHT},
        {"800", "600", "abc", "/missing", MSG_INVALID_PERIOD},
        {"800", "600", "", "/existing/dir/", MSG_INVALID_PERIOD},
        {"800", "600", "0", "/missing", MSG_PERIOD_NOT_POSITIVE},
        {"800", "600", "-1", "/existing/dir/", MSG_PERIOD_NOT_POSITIVE},
        {"800", "600", "-0", "/existing/dir/", MSG_PERIOD_NOT_POSITIVE},
        {"800", "600", "1e-999", "/existing/dir/", MSG_PERIOD_NOT_POSITIVE},
        {"800", "600", "2", "/missing", MSG_INVALID_DIRECTORY},
        {"800", "600", "2", "", MSG_INVALID_DIRECTORY},
        // Only numeric: fractions, zero and negative sizes pass the checks.
        {"640.5", "0", "0.5", "/existing/dir", none},
        {"-5", "1e2", "2.0", "/existing/dir/", none},
        // Sizes and periods that do not fit come after all five checks.
        {"99999", "600", "2", "/missing", MSG_INVALID_DIRECTORY},
        {"99999", "99999", "2", "/existing/dir/", MSG_WIDTH_OUT_OF_RANGE},
        {"800", "-32769", "2", "/existing/dir/", MSG_HEIGHT_OUT_OF_RANGE},
        {"800", "600", "1e39", "/existing/dir/", MSG_PERIOD_OUT_OF_RANGE},
    };
    for (const MessageCase& c : cases) {
        ConfigEntries entries = Unchanged();
        entries.WidthText = c.Width;
        entries.HeightText = c.Height;
        entries.PeriodText = c.Period;
        entries.BasePathText = c.BasePath;
        const ConfigVerdict verdict = JudgeConfigEntries(entries, Current(), OnlyExistingDirs);
        EXPECT_EQ(verdict.Message, c.Message)
            << c.Width << " | " << c.Height << " | " << c.Period << " | " << c.BasePath;
    }
}

TEST(ConfigRules, TheDirectoryIsTestedEvenWhenUnchanged) {
    AppStateRecord current = Current();
    current.BasePath = "/removed/meanwhile/";
    ConfigEntries entries = Unchanged();
    entries.BasePathText = current.BasePath;
    EXPECT_EQ(JudgeConfigEntries(entries, current, OnlyExistingDirs).Message,
              MSG_INVALID_DIRECTORY);
}

struct SizeCase {
    const char* Text;
    bool Accepted;
    bool Changed;
    int Value;
};

TEST(ConfigRules, SizesRoundToNearestEvenAndMustFitSixteenBits) {
    const SizeCase cases[] = {
        {"640.5", true, true, 640},       {"641.5", true, true, 642},
        {"800.4", true, true, 800},       {"800", true, false, 0},
        {"800.0", true, false, 0},        {"0", true, true, 0},
        {"-5", true, true, -5},           {"32767.4", true, true, 32767},
        {"-32768.5", true, true, -32768}, {"32767.5", false, true, 0},
        {"-32769", false, true, 0},       {"1e999", false, true, 0},
        {"-1e999", false, true, 0},
    };
    for (const SizeCase& c : cases) {
        ConfigEntries entries = Unchanged();
        entries.WidthText = c.Text;
        const ConfigVerdict width = JudgeConfigEntries(entries, Current(), OnlyExistingDirs);
        EXPECT_EQ(width.Accepted(), c.Accepted) << c.Text;
        if (!c.Accepted) {
            EXPECT_EQ(width.Message, MSG_WIDTH_OUT_OF_RANGE) << c.Text;
            continue;
        }
        EXPECT_EQ(width.Changes.WidthChanged, c.Changed) << c.Text;
        if (c.Changed) {
            EXPECT_EQ(width.Changes.OutputWidth, c.Value) << c.Text;
        }
        EXPECT_FALSE(width.Changes.HeightChanged) << c.Text;

        entries = Unchanged();
        entries.HeightText = c.Text;
        if (const auto at = entries.HeightText.find("800"); at != std::string::npos)
            entries.HeightText.replace(at, 3, "600");
        const ConfigVerdict height = JudgeConfigEntries(entries, Current(), OnlyExistingDirs);
        EXPECT_TRUE(height.Accepted()) << c.Text;
        EXPECT_FALSE(height.Changes.WidthChanged) << c.Text;
    }
}

struct PeriodCase {
    const char* Text;
    bool Accepted;
    bool Changed;
    float Period;
    int Interval;
};

TEST(ConfigRules, PeriodsCompareInSinglePrecisionAndMustGiveATimerInterval) {
    const PeriodCase cases[] = {
        {"2", true, false, 0, 0},
        {"2.0", true, false, 0, 0},
        {"2.00000001", true, false, 0, 0},  // the same single-precision value
        {"0.5", true, true, 0.5f, 500},
        {"0.0625", true, true, 0.0625f, 62},  // ties to even
        {"0.001", true, true, 0.001f, 1},
        {"2147483", true, true, 2147483.0f, 2147483008},  // the product in single precision
        {"0.0001", false, true, 0, 0},                    // 0 ms: a timer that never fires
        {"1e-50", false, true, 0, 0},                     // 0 in single precision
        {"3000000", false, true, 0, 0},                   // beyond a 32-bit count of milliseconds
        {"1e39", false, true, 0, 0},                      // not finite in single precision
        {"1e999", false, true, 0, 0},
    };
    for (const PeriodCase& c : cases) {
        ConfigEntries entries = Unchanged();
        entries.PeriodText = c.Text;
        const ConfigVerdict verdict = JudgeConfigEntries(entries, Current(), OnlyExistingDirs);
        EXPECT_EQ(verdict.Accepted(), c.Accepted) << c.Text;
        if (!c.Accepted) {
            EXPECT_EQ(verdict.Message, MSG_PERIOD_OUT_OF_RANGE) << c.Text;
            continue;
        }
        EXPECT_EQ(verdict.Changes.PeriodChanged, c.Changed) << c.Text;
        if (c.Changed) {
            EXPECT_EQ(verdict.Changes.TimerPeriod, c.Period) << c.Text;
            // The interval the main window's timer is then programmed with.
            const auto interval = KestrelMain::TimerIntervalFromPeriod(verdict.Changes.TimerPeriod);
            ASSERT_TRUE(interval) << c.Text;
            EXPECT_EQ(*interval, c.Interval) << c.Text;
        }
    }
}

TEST(ConfigRules, AnUnchangedPeriodIsNotJudgedForTheTimer) {
    // A tiny period can only come from the store; leaving it as it is must not lock the
    // user out of every other change.
    AppStateRecord current = Current();
    current.TimerPeriod = 1e-40f;
    ConfigEntries entries = Unchanged();
    entries.PeriodText = "1e-40";
    entries.WidthText = "640";
    const ConfigVerdict verdict = JudgeConfigEntries(entries, current, OnlyExistingDirs);
    ASSERT_TRUE(verdict.Accepted()) << verdict.Message;
    EXPECT_FALSE(verdict.Changes.PeriodChanged);
    EXPECT_TRUE(verdict.Changes.WidthChanged);
}

TEST(ConfigRules, BasePathComparesTheTypedTextExactlyThenGetsItsSlash) {
    const struct {
        const char* Typed;
        bool Changed;
        const char* Stored;
    } cases[] = {
        {"/existing/dir/", false, ""},
        {"/existing/dir", true, "/existing/dir/"},  // same directory, different text
        {"/other", true, "/other/"},
    };
    for (const auto& c : cases) {
        ConfigEntries entries = Unchanged();
        entries.BasePathText = c.Typed;
        const ConfigVerdict verdict = JudgeConfigEntries(entries, Current(), OnlyExistingDirs);
        ASSERT_TRUE(verdict.Accepted()) << c.Typed;
        EXPECT_EQ(verdict.Changes.BasePathChanged, c.Changed) << c.Typed;
        if (c.Changed) {
            EXPECT_EQ(verdict.Changes.BasePath, c.Stored);
        }
    }
}

TEST(ConfigRules, TheSeparatorAppendedIsThePlatformsOwn) {
    const struct {
        const char* Typed;
        char Separator;
        const char* Stored;
    } cases[] = {
        {"/srv/shots", '/', "/srv/shots/"},
        {"/srv/shots/", '/', "/srv/shots/"},
        {"D:\\shots", '\\', "D:\\shots\\"},
        {"D:\\shots\\", '\\', "D:\\shots\\"},
        {"C:", '\\', "C:\\"},
        // Only the platform's own separator counts as the last one.
        {"D:\\shots/", '\\', "D:\\shots/\\"},
        {"/srv/shots\\", '/', "/srv/shots\\/"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WithTrailingSeparator(c.Typed, c.Separator), c.Stored) << c.Typed;

        ConfigEntries entries = Unchanged();
        entries.BasePathText = c.Typed;
        entries.PathSeparator = c.Separator;
        const ConfigVerdict verdict =
            JudgeConfigEntries(entries, Current(), [](const std::string&) { return true; });
        ASSERT_TRUE(verdict.Accepted()) << c.Typed;
        EXPECT_TRUE(verdict.Changes.BasePathChanged) << c.Typed;
        EXPECT_EQ(verdict.Changes.BasePath, c.Stored) << c.Typed;
    }
}

TEST(ConfigRules, NothingTypedDiffersMeansNoChange) {
    const ConfigVerdict verdict = JudgeConfigEntries(Unchanged(), Current(), OnlyExistingDirs);
    ASSERT_TRUE(verdict.Accepted());
    EXPECT_FALSE(verdict.Changes.Any());
}

TEST(ConfigRules, CheckBoxesChangeOnlyTheirOwnSetting) {
    ConfigEntries entries = Unchanged();
    entries.UseTimerValue = 1;
    ConfigVerdict verdict = JudgeConfigEntries(entries, Current(), OnlyExistingDirs);
    EXPECT_TRUE(verdict.Changes.UseTimerChanged);
    EXPECT_EQ(verdict.Changes.UseTimer, 1);
    EXPECT_FALSE(verdict.Changes.UseHotkeyChanged);

    entries = Unchanged();
    entries.UseHotkeyValue = 1;
    verdict = JudgeConfigEntries(entries, Current(), OnlyExistingDirs);
    EXPECT_TRUE(verdict.Changes.UseHotkeyChanged);
    EXPECT_EQ(verdict.Changes.UseHotkey, 1);
    EXPECT_FALSE(verdict.Changes.UseTimerChanged);
    EXPECT_FALSE(verdict.Changes.WidthChanged || verdict.Changes.PeriodChanged ||
                 verdict.Changes.BasePathChanged);
}

TEST(ConfigRules, HotkeyCaptionFollowsStartUpStateAndNewSetting) {
    EXPECT_EQ(HotkeyCaptionAfterChange(1, 1), "Ctrl-F is the Hot Key.");
    EXPECT_EQ(HotkeyCaptionAfterChange(1, 0),
              "Ctrl-F is the Hot Key.  Hot key will be disabled on next launch.");
    EXPECT_EQ(HotkeyCaptionAfterChange(0, 1),
              "Hot key is disabled.  Will be enabled on next launch.");
    EXPECT_EQ(HotkeyCaptionAfterChange(0, 0), "Hot key is disabled.");
    // Exactly 1 counts as on; anything else stored counts as off.
    EXPECT_EQ(HotkeyCaptionAfterChange(2, 1),
              "Hot key is disabled.  Will be enabled on next launch.");
}

TEST(ConfigRules, TypedNumbersTakeTheLocaleSeparatorHandedIn) {
    ConfigEntries entries = Unchanged();
    entries.PeriodText = "0,5";
    EXPECT_EQ(JudgeConfigEntries(entries, Current(), OnlyExistingDirs).Message, MSG_INVALID_PERIOD);
    entries.DecimalPoint = ",";
    const ConfigVerdict verdict = JudgeConfigEntries(entries, Current(), OnlyExistingDirs);
    ASSERT_TRUE(verdict.Accepted()) << verdict.Message;
    EXPECT_EQ(verdict.Changes.TimerPeriod, 0.5f);
    // And the dialog shows a period as the user types it.
    EXPECT_EQ(PeriodAsTyped(0.5f, ","), entries.PeriodText);
    EXPECT_EQ(PeriodAsTyped(2.0f, ","), "2");
    entries.WidthText = "640,5";
    EXPECT_EQ(JudgeConfigEntries(entries, Current(), OnlyExistingDirs).Changes.OutputWidth, 640);
}

// OK on a desktop in memory whose file system holds the directories the entries name; what
// it showed in the main window is the view's log.
class ConfigOkTest : public testing::Test {
  protected:
    ConfigOkTest() { Reset(); }
    ~ConfigOkTest() override { AppState = {}; }

    void Reset() {
        AppState = Current();
        HotkeyLbl = {};
        for (const char* dir : {"/existing/dir", "/other"}) desktop_.Files.AddDirectories(dir);
    }

    TestSupport::MemoryDesktop desktop_;
    TestSupport::MemorySettingsStore& settings_ = desktop_.Services.Settings;
    std::vector<std::string>& shown_ = desktop_.Log;
};

TEST_F(ConfigOkTest, EveryChangeIsStoredInItsOrderAndShownInTheMainWindow) {
    const ConfigEntries entries{"640.5", "480", "0.5", "/other", 1, 1, ""};
    const ConfigVerdict verdict = ConfigOk(entries);
    ASSERT_TRUE(verdict.Accepted()) << verdict.Message;
    EXPECT_EQ(verdict.Changes.BasePath, "/other/");  // what the dialog's box then shows

    const std::vector<std::string> writes{"BasePath=/other/", "OutputWidth=640", "OutputHeight=480",
                                          "TimerPeriod=0.5",  "UseTimer=1",      "UseHotkey=1"};
    EXPECT_EQ(settings_.Writes, writes);
    EXPECT_EQ(settings_.Batches, 0);  // each written through at once
    const std::vector<std::string> shown{
        "DirLbl /other/KESTREL_07122026_140359", "Timer1Interval 500", "Timer1 on",
        "HotkeyLbl Hot key is disabled.  Will be enabled on next launch."};
    EXPECT_EQ(shown_, shown);
    EXPECT_TRUE(desktop_.Files.FolderExists("/other/KESTREL_07122026_140359"));

    EXPECT_EQ(AppState.BasePath, "/other/");
    EXPECT_EQ(AppState.OutputWidth, 640);
    EXPECT_EQ(AppState.OutputHeight, 480);
    EXPECT_EQ(AppState.TimerPeriod, 0.5f);
    EXPECT_EQ(AppState.UseTimer, 1);
    EXPECT_EQ(AppState.UseHotkey, 1);
    EXPECT_EQ(AppState.HotkeyActive, 0);  // Ctrl+F waits for the next start
    EXPECT_TRUE(desktop_.Services.Errors.Reports.empty());
}

TEST_F(ConfigOkTest, OnlyWhatChangedIsStoredAndApplied) {
    const struct {
        ConfigEntries Entries;
        std::vector<std::string> Writes;
        std::vector<std::string> Shown;
    } cases[] = {
        {Unchanged(), {}, {}},
        {{"800", "600", "2", "/existing/dir", 0, 0, ""},
         {"BasePath=/existing/dir/"},
         {"DirLbl /existing/dir/KESTREL_07122026_140359"}},
        {{"800.0", "600", "2.00000001", EXISTING, 0, 0, ""}, {}, {}},
        {{"801", "600", "2", EXISTING, 0, 0, ""}, {"OutputWidth=801"}, {}},
        {{"800", "-1", "2", EXISTING, 0, 0, ""}, {"OutputHeight=-1"}, {}},
        {{"800", "600", "0.0625", EXISTING, 0, 0, ""},
         {"TimerPeriod=0.0625"},
         {"Timer1Interval 62"}},
        {{"800", "600", "2", EXISTING, 1, 0, ""}, {"UseTimer=1"}, {"Timer1 on"}},
        {{"800", "600", "2", EXISTING, 0, 1, ""},
         {"UseHotkey=1"},
         {"HotkeyLbl Hot key is disabled.  Will be enabled on next launch."}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Entries.WidthText);
        Reset();
        settings_.Writes.clear();
        shown_.clear();
        EXPECT_TRUE(ConfigOk(c.Entries).Accepted());
        EXPECT_EQ(settings_.Writes, c.Writes);
        EXPECT_EQ(shown_, c.Shown);
    }
}

TEST_F(ConfigOkTest, TheTimerIsSwitchedOffAndTheCaptionFollowsTheStartUpState) {
    AppState.UseTimer = 1;
    AppState.HotkeyActive = 1;
    AppState.UseHotkey = 1;
    const ConfigEntries entries{"800", "600", "2", EXISTING, 0, 0, ""};
    EXPECT_TRUE(ConfigOk(entries).Accepted());
    const std::vector<std::string> shown{
        "Timer1 off", "HotkeyLbl Ctrl-F is the Hot Key.  Hot key will be disabled on next launch."};
    EXPECT_EQ(shown_, shown);
    EXPECT_EQ(settings_.Writes, (std::vector<std::string>{"UseTimer=0", "UseHotkey=0"}));
}

TEST_F(ConfigOkTest, ARejectedEntryShowsItsMessageAndChangesNothing) {
    // Each later entry is good and differs, so anything applied would show.
    const struct {
        ConfigEntries Entries;
        const char* Message;
    } cases[] = {
        {{"x", "480", "0.5", "/other", 1, 1, ""}, MSG_INVALID_WIDTH},
        {{"640", "x", "0.5", "/other", 1, 1, ""}, MSG_INVALID_HEIGHT},
        {{"640", "480", "x", "/other", 1, 1, ""}, MSG_INVALID_PERIOD},
        {{"640", "480", "0", "/other", 1, 1, ""}, MSG_PERIOD_NOT_POSITIVE},
        {{"640", "480", "0.5", "/missing", 1, 1, ""}, MSG_INVALID_DIRECTORY},
        {{"40000", "480", "0.5", "/other", 1, 1, ""}, MSG_WIDTH_OUT_OF_RANGE},
        {{"640", "40000", "0.5", "/other", 1, 1, ""}, MSG_HEIGHT_OUT_OF_RANGE},
        {{"640", "480", "0.0001", "/other", 1, 1, ""}, MSG_PERIOD_OUT_OF_RANGE},
    };
    for (const auto& c : cases) {
        Reset();
        EXPECT_EQ(ConfigOk(c.Entries).Message, c.Message);
        EXPECT_TRUE(settings_.Writes.empty()) << c.Message;
        EXPECT_TRUE(shown_.empty()) << c.Message;
        EXPECT_EQ(AppState.OutputWidth, 800) << c.Message;
        EXPECT_EQ(AppState.BasePath, EXISTING) << c.Message;
        EXPECT_EQ(AppState.UseTimer, 0) << c.Message;
    }
}

TEST_F(ConfigOkTest, ASettingThatCannotBeStoredIsReportedAndStillApplied) {
    settings_.FailWrites = true;
    const ConfigEntries entries{"640", "600", "2", EXISTING, 1, 0, ""};
    EXPECT_TRUE(ConfigOk(entries).Accepted());
    const auto& reports = desktop_.Services.Errors.Reports;
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].What, "Cannot save the setting OutputWidth");
    EXPECT_EQ(reports[1].What, "Cannot save the setting UseTimer");
    EXPECT_EQ(AppState.OutputWidth, 640);
    EXPECT_EQ(shown_, std::vector<std::string>{"Timer1 on"});
}

TEST(TimerInterval, AFailureNamesThePeriod) {
    EXPECT_EQ(*TimerIntervalFor(0.5f), 500);
    const auto refused = TimerIntervalFor(-1.0f);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.Error().What, "Cannot set the timer for a period of -1 seconds");
    EXPECT_EQ(refused.Error().Reason, "a negative interval cannot be timed");
}

}  // namespace
