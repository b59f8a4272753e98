// LoadSettings against the real settings file in the private config directory.
#include "core/AppState.h"
#include "core/Settings.h"
#include "support/GuiEnvironment.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using KestrelMain::AppState;
using TestSupport::TestEnvironment;

TEST(SettingsLoad, FirstStartWritesAllSixDefaults) {
    std::filesystem::remove(TestEnvironment().SettingsFile());
    KestrelMain::LoadSettings();

    const std::string pictures = TestEnvironment().Pictures().string() + "/";
    EXPECT_EQ(AppState.BasePath.toStdString(), pictures);
    EXPECT_EQ(AppState.UseTimer, 0);
    EXPECT_EQ(AppState.TimerPeriod, 2.0f);
    EXPECT_EQ(AppState.OutputWidth, 800);
    EXPECT_EQ(AppState.OutputHeight, 600);
    EXPECT_EQ(AppState.HotkeyActive, 0);

    const std::map<std::string, std::string> expected{
        {"BasePath", pictures}, {"UseTimer", "0"},       {"TimerPeriod", "2"},
        {"OutputWidth", "800"}, {"OutputHeight", "600"}, {"UseHotkey", "0"}};
    EXPECT_EQ(TestEnvironment().ReadSettings(), expected);
}

TEST(SettingsLoad, WithoutPicturesTheHomeDirectoryIsTheDefault) {
    std::filesystem::remove(TestEnvironment().SettingsFile());
    std::filesystem::remove(TestEnvironment().Pictures());
    KestrelMain::LoadSettings();
    EXPECT_EQ(AppState.BasePath.toStdString(), TestEnvironment().Home().string() + "/");
}

TEST(SettingsLoad, StoredValuesAreReadAndWrittenBackUnchanged) {
    const std::map<std::string, std::string> stored{
        {"BasePath", "/srv/shots"}, {"UseTimer", "1"},      {"TimerPeriod", "0.5"},
        {"OutputWidth", "1024"},    {"OutputHeight", "-7"}, {"UseHotkey", "1"}};
    TestEnvironment().WriteSettings(stored);
    KestrelMain::LoadSettings();

    EXPECT_EQ(AppState.BasePath, "/srv/shots");
    EXPECT_EQ(AppState.UseTimer, 1);
    EXPECT_EQ(AppState.TimerPeriod, 0.5f);
    EXPECT_EQ(AppState.OutputWidth, 1024);
    EXPECT_EQ(AppState.OutputHeight, -7);
    EXPECT_EQ(AppState.HotkeyActive, 1);
    EXPECT_EQ(TestEnvironment().ReadSettings(), stored);
}

TEST(SettingsLoad, ValuesThatAreNotNumbersTakeTheirDefaultAndAreReported) {
    TestEnvironment().WriteSettings({{"BasePath", "/tmp/"},
                                     {"UseTimer", "yes"},
                                     {"TimerPeriod", "fast"},
                                     {"OutputWidth", "99999"},
                                     {"OutputHeight", "12.5"},
                                     {"UseHotkey", ""}});
    testing::internal::CaptureStderr();
    KestrelMain::LoadSettings();
    const std::string errors = testing::internal::GetCapturedStderr();

    EXPECT_EQ(AppState.UseTimer, 0);
    EXPECT_EQ(AppState.TimerPeriod, 2.0f);
    EXPECT_EQ(AppState.OutputWidth, 800);
    EXPECT_EQ(AppState.OutputHeight, 12);
    EXPECT_EQ(AppState.HotkeyActive, 0);
    for (const char* key : {"UseTimer", "TimerPeriod", "OutputWidth", "UseHotkey"}) {
        EXPECT_NE(errors.find(key), std::string::npos) << key << " not reported in:\n" << errors;
    }
    EXPECT_EQ(errors.find("OutputHeight"), std::string::npos) << errors;

    const auto written = TestEnvironment().ReadSettings();
    EXPECT_EQ(written.at("UseTimer"), "0");
    EXPECT_EQ(written.at("TimerPeriod"), "2");
    EXPECT_EQ(written.at("OutputWidth"), "800");
    EXPECT_EQ(written.at("OutputHeight"), "12");
    EXPECT_EQ(written.at("UseHotkey"), "0");
}

}  // namespace
