// The settings store against the real settings file in the private config directory.
#include "platform/SettingsStore.h"
#include "support/GuiEnvironment.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

using TestSupport::TestEnvironment;

std::string FileText() {
    return TestEnvironment().ReadSettingsText();
}

TEST(SettingsStore, ANestedBatchLeavesTheWritingToTheOuterOne) {
    TestEnvironment().WriteSettings({{"UseTimer", "0"}});
    const std::string before = FileText();
    {
        Platform::SettingsBatch outer;
        ASSERT_FALSE(Platform::WriteSetting("UseTimer", "1"));
        {
            Platform::SettingsBatch inner;
            ASSERT_FALSE(Platform::WriteSetting("OutputWidth", "640"));
            EXPECT_FALSE(inner.Commit());
        }
        // The outer batch still holds both writes, and the file has neither yet.
        EXPECT_EQ(Platform::ReadSetting("UseTimer", "?"), "1");
        EXPECT_EQ(Platform::ReadSetting("OutputWidth", "?"), "640");
        ASSERT_FALSE(Platform::WriteSetting("OutputHeight", "480"));
        EXPECT_EQ(FileText(), before);
        EXPECT_FALSE(outer.Commit());
    }
    const std::map<std::string, std::string> expected{
        {"UseTimer", "1"}, {"OutputWidth", "640"}, {"OutputHeight", "480"}};
    EXPECT_EQ(TestEnvironment().ReadSettings(), expected);
}

TEST(SettingsStore, AskingWhereTheFileIsWritesNothingOfAnOpenBatch) {
    TestEnvironment().WriteSettings({{"UseTimer", "0"}});
    const std::string before = FileText();
    Platform::SettingsBatch batch;
    ASSERT_FALSE(Platform::WriteSetting("UseTimer", "1"));
    EXPECT_EQ(Platform::SettingsFilePath().toStdString(),
              TestEnvironment().SettingsFile().string());
    EXPECT_EQ(FileText(), before);
}

}  // namespace
