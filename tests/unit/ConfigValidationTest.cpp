// The configuration dialog's verdict on what was typed: which message, in which order of
// precedence, and what each setting becomes.
#include "platform/Numbers.h"
#include "ui/ConfigValidation.h"

#include <gtest/gtest.h>

#include <QString>

namespace {

using KestrelMain::AppStateRecord;
using namespace Ui;

const QString EXISTING = QStringLiteral("/existing/dir/");

bool OnlyExistingDirs(const QString& path) {
    return path == EXISTING || path == QStringLiteral("/existing/dir") ||
           path == QStringLiteral("/other");
}

AppStateRecord Current() {
    AppStateRecord state;
    state.BasePath = EXISTING.toStdString();
    state.UseTimer = 0;
    state.OutputWidth = 800;
    state.OutputHeight = 600;
    state.TimerPeriod = 2.0f;
    state.HotkeyActive = 0;
    state.UseHotkey = 0;
    return state;
}

ConfigEntries Unchanged() {
    return ConfigEntries{
        QStringLiteral("800"), QStringLiteral("600"), QStringLiteral("2"), EXISTING, 0, 0};
}

struct MessageCase {
    const char* Width;
    const char* Height;
    const char* Period;
    const char* BasePath;
    const QString& Message;
};

TEST(ConfigValidation, FirstFailingCheckWinsInItsOrder) {
    const QString none;
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
        entries.WidthText = QString::fromUtf8(c.Width);
        entries.HeightText = QString::fromUtf8(c.Height);
        entries.PeriodText = QString::fromUtf8(c.Period);
        entries.BasePathText = QString::fromUtf8(c.BasePath);
        const ConfigVerdict verdict = JudgeConfigEntries(entries, Current(), OnlyExistingDirs);
        EXPECT_EQ(verdict.Message, c.Message)
            << c.Width << " | " << c.Height << " | " << c.Period << " | " << c.BasePath;
    }
}

TEST(ConfigValidation, TheDirectoryIsTestedEvenWhenUnchanged) {
    AppStateRecord current = Current();
    current.BasePath = "/removed/meanwhile/";
    ConfigEntries entries = Unchanged();
    entries.BasePathText = QString::fromStdString(current.BasePath);
    EXPECT_EQ(JudgeConfigEntries(entries, current, OnlyExistingDirs).Message,
              MSG_INVALID_DIRECTORY);
}

struct SizeCase {
    const char* Text;
    bool Accepted;
    bool Changed;
    int Value;
};

TEST(ConfigValidation, SizesRoundToNearestEvenAndMustFitSixteenBits) {
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
        entries.WidthText = QString::fromUtf8(c.Text);
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
        entries.HeightText =
            QString::fromUtf8(c.Text).replace(QStringLiteral("800"), QStringLiteral("600"));
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

TEST(ConfigValidation, PeriodsCompareInSinglePrecisionAndMustGiveATimerInterval) {
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
        entries.PeriodText = QString::fromUtf8(c.Text);
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

TEST(ConfigValidation, AnUnchangedPeriodIsNotJudgedForTheTimer) {
    // A tiny period can only come from the store; leaving it as it is must not lock the
    // user out of every other change.
    AppStateRecord current = Current();
    current.TimerPeriod = 1e-40f;
    ConfigEntries entries = Unchanged();
    entries.PeriodText = QStringLiteral("1e-40");
    entries.WidthText = QStringLiteral("640");
    const ConfigVerdict verdict = JudgeConfigEntries(entries, current, OnlyExistingDirs);
    ASSERT_TRUE(verdict.Accepted()) << verdict.Message.toStdString();
    EXPECT_FALSE(verdict.Changes.PeriodChanged);
    EXPECT_TRUE(verdict.Changes.WidthChanged);
}

TEST(ConfigValidation, BasePathComparesTheTypedTextExactlyThenGetsItsSlash) {
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
        entries.BasePathText = QString::fromUtf8(c.Typed);
        const ConfigVerdict verdict = JudgeConfigEntries(entries, Current(), OnlyExistingDirs);
        ASSERT_TRUE(verdict.Accepted()) << c.Typed;
        EXPECT_EQ(verdict.Changes.BasePathChanged, c.Changed) << c.Typed;
        if (c.Changed) {
            EXPECT_EQ(verdict.Changes.BasePath, QString::fromUtf8(c.Stored));
        }
    }
}

TEST(ConfigValidation, NothingTypedDiffersMeansNoChange) {
    const ConfigVerdict verdict = JudgeConfigEntries(Unchanged(), Current(), OnlyExistingDirs);
    ASSERT_TRUE(verdict.Accepted());
    EXPECT_FALSE(verdict.Changes.Any());
}

TEST(ConfigValidation, CheckBoxesChangeOnlyTheirOwnSetting) {
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

TEST(ConfigValidation, HotkeyCaptionFollowsStartUpStateAndNewSetting) {
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

}  // namespace
