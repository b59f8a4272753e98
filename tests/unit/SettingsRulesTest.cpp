// The settings' conversions and the start-up load, run against a store in memory: what is
// read, what is written back and in how many writes, and what is reported.
#include "core/AppState.h"
#include "core/Settings.h"
#include "support/MemoryServices.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

using KestrelMain::AppState;
using TestSupport::MemoryServices;

constexpr char DEFAULT_BASE[] = "/home/user/Pictures/";

TEST(StoredSettings, ConvertOrFallBackToTheDefault) {
    const struct {
        const char* Text;
        int Value;
        bool Problem;
    } cases[] = {{"1024", 1024, false}, {"12.5", 12, false},  {"-5", -5, false}, {"abc", 800, true},
                 {"", 800, true},       {"40000", 800, true}, {"1e9", 800, true}};
    for (const auto& c : cases) {
        const auto stored = KestrelMain::Int16FromStore(c.Text, 800);
        EXPECT_EQ(stored.Value, c.Value) << c.Text;
        EXPECT_EQ(!stored.Problem.empty(), c.Problem) << c.Text;
    }
    EXPECT_EQ(KestrelMain::SingleFromStore("0.5", 2.0f).Value, 0.5f);
    EXPECT_EQ(KestrelMain::SingleFromStore("x", 2.0f).Value, 2.0f);
    EXPECT_FALSE(KestrelMain::SingleFromStore("1e40", 2.0f).Problem.empty());
    // A locale's comma is never the store's.
    EXPECT_EQ(KestrelMain::SingleFromStore("0,5", 2.0f).Value, 2.0f);
}

// The store and the report, fresh for each test.
class CoreSettingsLoad : public testing::Test {
  protected:
    MemoryServices services_;
};

TEST_F(CoreSettingsLoad, AnEmptyStoreGetsAllSixDefaultsInOneBatch) {
    KestrelMain::LoadSettings(DEFAULT_BASE);

    EXPECT_EQ(AppState.BasePath, DEFAULT_BASE);
    EXPECT_EQ(AppState.UseTimer, 0);
    EXPECT_EQ(AppState.TimerPeriod, 2.0f);
    EXPECT_EQ(AppState.OutputWidth, 800);
    EXPECT_EQ(AppState.OutputHeight, 600);
    EXPECT_EQ(AppState.HotkeyActive, 0);

    EXPECT_EQ(services_.Settings.Batches, 1);
    const std::vector<std::string> writes{std::string("BasePath=") + DEFAULT_BASE,
                                          "UseTimer=0",
                                          "TimerPeriod=2",
                                          "OutputWidth=800",
                                          "OutputHeight=600",
                                          "UseHotkey=0"};
    EXPECT_EQ(services_.Settings.Writes, writes);
    EXPECT_TRUE(services_.Errors.Notes.empty());
    EXPECT_TRUE(services_.Errors.Reports.empty());
}

TEST_F(CoreSettingsLoad, StoredValuesAreTakenAndWrittenBackInTheirNormalForm) {
    services_.Settings.Values = {{"BasePath", "/srv/shots"}, {"UseTimer", "1"},
                                 {"TimerPeriod", "0.50"},    {"OutputWidth", "1024"},
                                 {"OutputHeight", " 12.5"},  {"UseHotkey", "1"}};
    KestrelMain::LoadSettings(DEFAULT_BASE);

    EXPECT_EQ(AppState.BasePath, "/srv/shots");  // taken as stored, no slash added
    EXPECT_EQ(AppState.UseTimer, 1);
    EXPECT_EQ(AppState.TimerPeriod, 0.5f);
    EXPECT_EQ(AppState.OutputWidth, 1024);
    EXPECT_EQ(AppState.OutputHeight, 12);  // nearest, a tie to the even neighbour
    EXPECT_EQ(AppState.HotkeyActive, 1);

    const std::map<std::string, std::string> normal{
        {"BasePath", "/srv/shots"}, {"UseTimer", "1"},      {"TimerPeriod", "0.5"},
        {"OutputWidth", "1024"},    {"OutputHeight", "12"}, {"UseHotkey", "1"}};
    EXPECT_EQ(services_.Settings.Values, normal);
    EXPECT_EQ(services_.Settings.Batches, 1);
    EXPECT_TRUE(services_.Errors.Notes.empty());
}

TEST_F(CoreSettingsLoad, ValuesThatDoNotConvertTakeTheirDefaultsAndAreNoted) {
    const struct {
        const char* Key;
        const char* Stored;
        std::string Written;
        const char* Problem;
    } cases[] = {
        {"UseTimer", "yes", "0", "is not a number"},
        {"UseTimer", "", "0", "is not a number"},
        {"TimerPeriod", "fast", "2", "is not a number"},
        {"TimerPeriod", "1e39", "2", "does not fit in single precision"},
        {"OutputWidth", "99999", "800", "does not fit in -32768..32767"},
        {"OutputWidth", "0x10", "800", "is not a number"},
        {"OutputHeight", "-32769", "600", "does not fit in -32768..32767"},
        {"UseHotkey", "on", "0", "is not a number"},
    };
    for (const auto& c : cases) {
        MemoryServices services;
        services.Settings.Values = {{c.Key, c.Stored}};
        KestrelMain::LoadSettings(DEFAULT_BASE);

        EXPECT_EQ(services.Settings.Values.at(c.Key), c.Written) << c.Key << "=" << c.Stored;
        ASSERT_EQ(services.Errors.Notes.size(), 1u) << c.Key << "=" << c.Stored;
        EXPECT_EQ(services.Errors.Notes[0], std::string("the stored ") + c.Key + " \xE2\x80\x9C" +
                                                c.Stored + "\xE2\x80\x9D " + c.Problem +
                                                "; using " + c.Written + " (memory:Kestrel)");
        EXPECT_TRUE(services.Errors.Reports.empty());
        EXPECT_EQ(services.Settings.Batches, 1);
    }
}

TEST_F(CoreSettingsLoad, OutOfRangeButConvertibleValuesAreKept) {
    // Kept as they are: only what cannot be held is replaced; the dialog and the timer judge
    // the rest when they use it.
    services_.Settings.Values = {{"UseTimer", "7"},
                                 {"TimerPeriod", "-3"},
                                 {"OutputWidth", "-32768"},
                                 {"OutputHeight", "32767"},
                                 {"UseHotkey", "-1"}};
    KestrelMain::LoadSettings(DEFAULT_BASE);
    EXPECT_EQ(AppState.UseTimer, 7);
    EXPECT_EQ(AppState.TimerPeriod, -3.0f);
    EXPECT_EQ(AppState.OutputWidth, -32768);
    EXPECT_EQ(AppState.OutputHeight, 32767);
    EXPECT_EQ(AppState.HotkeyActive, -1);
    EXPECT_TRUE(services_.Errors.Notes.empty());
    EXPECT_EQ(services_.Settings.Values.at("TimerPeriod"), "-3");
}

TEST_F(CoreSettingsLoad, AStoreThatCannotBeWrittenIsReportedOnceAndTheValuesStillApply) {
    services_.Settings.Values = {{"OutputWidth", "640"}};
    services_.Settings.FailWrites = true;
    KestrelMain::LoadSettings(DEFAULT_BASE);

    EXPECT_EQ(AppState.OutputWidth, 640);
    EXPECT_EQ(AppState.OutputHeight, 600);
    ASSERT_EQ(services_.Errors.Reports.size(), 1u);
    EXPECT_EQ(services_.Errors.Reports[0].What, "Cannot save the settings");
    EXPECT_EQ(services_.Errors.Reports[0].Path, "memory:Kestrel");
    EXPECT_TRUE(services_.Settings.Writes.empty());
    EXPECT_EQ(services_.Settings.Values.size(), 1u);
}

TEST_F(CoreSettingsLoad, ALoadInsideABatchLeavesTheWriteToThatBatch) {
    {
        Seam::SettingsBatch outer(services_.Settings);
        KestrelMain::LoadSettings(DEFAULT_BASE);
        EXPECT_EQ(services_.Settings.Batches, 0);
        EXPECT_TRUE(services_.Settings.Values.empty());
        EXPECT_FALSE(outer.Commit());
    }
    EXPECT_EQ(services_.Settings.Batches, 1);
    EXPECT_EQ(services_.Settings.Values.size(), 6u);
}

TEST(CoreSettings, StoreSettingWritesThroughOrReports) {
    MemoryServices services;
    KestrelMain::StoreSetting(KestrelMain::KEY_OUTPUT_WIDTH, "640");
    EXPECT_EQ(services.Settings.Writes, std::vector<std::string>{"OutputWidth=640"});
    EXPECT_TRUE(services.Errors.Reports.empty());

    services.Settings.FailWrites = true;
    KestrelMain::StoreSetting(KestrelMain::KEY_OUTPUT_HEIGHT, "480");
    ASSERT_EQ(services.Errors.Reports.size(), 1u);
    EXPECT_EQ(services.Errors.Reports[0].What, "Cannot save the setting OutputHeight");
    EXPECT_EQ(services.Settings.Values.count("OutputHeight"), 0u);
}

}  // namespace
