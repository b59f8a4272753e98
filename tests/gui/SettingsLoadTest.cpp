// LoadSettings against the real settings file in the private config directory.
#include "core/AppState.h"
#include "core/Settings.h"
#include "platform/qt/QtSettingsStore.h"
#include "support/GuiEnvironment.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>

namespace {

namespace fs = std::filesystem;
using KestrelMain::AppState;
using TestSupport::TestEnvironment;

// The settings file as a person might have edited it, dated apart from every earlier
// version so Qt's settings cache never takes it for the one before.
void WriteSettingsText(const std::string& text) {
    const fs::path file = TestEnvironment().SettingsFile();
    std::ofstream(file, std::ios::trunc) << text;
    static int round = 0;
    fs::last_write_time(file, fs::file_time_type::clock::now() + std::chrono::seconds(++round));
}

TEST(SettingsLoad, FirstStartWritesAllSixDefaults) {
    std::filesystem::remove(TestEnvironment().SettingsFile());
    KestrelMain::LoadSettings(Platform::QtToolkit::DefaultBasePath());

    const std::string pictures = TestEnvironment().Pictures().string() + "/";
    EXPECT_EQ(AppState.BasePath, pictures);
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
    KestrelMain::LoadSettings(Platform::QtToolkit::DefaultBasePath());
    EXPECT_EQ(AppState.BasePath, TestEnvironment().Home().string() + "/");
}

TEST(SettingsLoad, StoredValuesAreReadAndWrittenBackUnchanged) {
    const std::map<std::string, std::string> stored{
        {"BasePath", "/srv/shots"}, {"UseTimer", "1"},      {"TimerPeriod", "0.5"},
        {"OutputWidth", "1024"},    {"OutputHeight", "-7"}, {"UseHotkey", "1"}};
    TestEnvironment().WriteSettings(stored);
    KestrelMain::LoadSettings(Platform::QtToolkit::DefaultBasePath());

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
    KestrelMain::LoadSettings(Platform::QtToolkit::DefaultBasePath());
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

TEST(SettingsLoad, PeriodsStoredWithAnExponentAreWrittenBackAsPlainDecimals) {
    const std::string tiniest = "0." + std::string(44, '0') + "1";
    const struct {
        const char* Stored;
        float Period;
        std::string Written;
    } cases[] = {
        {"1e+05", 100000.0f, "100000"},
        {"6e-04", 0.0006f, "0.0006"},
        {"0.1", 0.1f, "0.1"},
        {"2", 2.0f, "2"},
        {"3.4e+38", 3.4e38f, "34" + std::string(37, '0')},
        {"1e-45", std::numeric_limits<float>::denorm_min(), tiniest},
    };
    for (const auto& c : cases) {
        WriteSettingsText(std::string("[Settings]\nTimerPeriod=") + c.Stored + "\n");
        KestrelMain::LoadSettings(Platform::QtToolkit::DefaultBasePath());
        EXPECT_EQ(AppState.TimerPeriod, c.Period) << c.Stored;
        EXPECT_EQ(TestEnvironment().ReadSettings().at("TimerPeriod"), c.Written) << c.Stored;
    }
}

TEST(SettingsLoad, LinesThatCannotBeReadAreReportedAndKeptWhereTheyWere) {
    const std::string base = TestEnvironment().Pictures().string() + "/";
    WriteSettingsText(
        "[Settings]\n"
        "BasePath=" +
        base +
        "\n"
        "remember: 0.5 is twice a second\n"
        "UseTimer=yes\n"
        "[Notes]\n"
        "shots of the garden\n");
    testing::internal::CaptureStderr();
    KestrelMain::LoadSettings(Platform::QtToolkit::DefaultBasePath());
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("has lines that cannot be read (lines 3, 6); they are left as they are"),
              std::string::npos)
        << errors;
    EXPECT_NE(errors.find(TestEnvironment().SettingsFile().string()), std::string::npos) << errors;

    const std::string loaded = TestEnvironment().ReadSettingsText();
    EXPECT_NE(loaded.find("BasePath=" + base + "\nremember: 0.5 is twice a second\n"),
              std::string::npos)
        << loaded;
    EXPECT_TRUE(loaded.ends_with("\n[Notes]\nshots of the garden\n")) << loaded;
    const std::map<std::string, std::string> normal{{"BasePath", base},      {"UseTimer", "0"},
                                                    {"TimerPeriod", "2"},    {"OutputWidth", "800"},
                                                    {"OutputHeight", "600"}, {"UseHotkey", "0"}};
    EXPECT_EQ(TestEnvironment().ReadSettings(), normal);

    // Every later write keeps them, once: the dialog's and the next start's.
    KestrelMain::StoreSetting(KestrelMain::KEY_OUTPUT_WIDTH, "640");
    KestrelMain::LoadSettings(Platform::QtToolkit::DefaultBasePath());
    const std::string later = TestEnvironment().ReadSettingsText();
    EXPECT_EQ(AppState.OutputWidth, 640);
    std::string expected = loaded;
    expected.replace(expected.find("OutputWidth=800"), 15, "OutputWidth=640");
    EXPECT_EQ(later, expected);
}

TEST(SettingsLoad, AHeaderWithoutItsBracketIsReadAndWrittenAgainInItsNormalForm) {
    WriteSettingsText("[Settings\nUseTimer=1\n");
    testing::internal::CaptureStderr();
    KestrelMain::LoadSettings(Platform::QtToolkit::DefaultBasePath());
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(AppState.UseTimer, 1);
    EXPECT_NE(errors.find("is not quite in its normal form; it is written again in that form"),
              std::string::npos)
        << errors;
    EXPECT_EQ(errors.find("cannot be read"), std::string::npos) << errors;
    EXPECT_TRUE(TestEnvironment().ReadSettingsText().starts_with("[Settings]\n"));
}

}  // namespace
