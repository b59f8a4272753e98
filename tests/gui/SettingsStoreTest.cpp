// The settings store against the real settings file in the private config directory:
// batches, and the lines of the file it cannot read.
#include "platform/qt/QtSettingsStore.h"
#include "support/GuiEnvironment.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>

namespace {

using TestSupport::TestEnvironment;

Platform::QtToolkit::QtSettingsStore store;

std::string FileText() {
    return TestEnvironment().ReadSettingsText();
}

TEST(SettingsStore, ANestedBatchLeavesTheWritingToTheOuterOne) {
    TestEnvironment().WriteSettings({{"UseTimer", "0"}});
    const std::string before = FileText();
    {
        Seam::SettingsBatch outer(store);
        ASSERT_FALSE(store.Write("UseTimer", "1"));
        {
            Seam::SettingsBatch inner(store);
            ASSERT_FALSE(store.Write("OutputWidth", "640"));
            EXPECT_FALSE(inner.Commit());
        }
        // The outer batch still holds both writes, and the file has neither yet.
        EXPECT_EQ(store.Read("UseTimer", "?"), "1");
        EXPECT_EQ(store.Read("OutputWidth", "?"), "640");
        ASSERT_FALSE(store.Write("OutputHeight", "480"));
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
    Seam::SettingsBatch batch(store);
    ASSERT_FALSE(store.Write("UseTimer", "1"));
    EXPECT_EQ(store.Location(), TestEnvironment().SettingsFile().string());
    EXPECT_EQ(FileText(), before);
}

TEST(SettingsStore, EachWriteKeepsTheLinesItCannotRead) {
    {
        std::ofstream out(TestEnvironment().SettingsFile(), std::ios::trunc);
        out << "[Settings]\n"
               "  an indented note\n"
               "UseTimer=0\n"
               "after the timer\n"
               "\"an open quote\n"
               "OutputWidth=800\n";
    }
    ASSERT_FALSE(store.Write("UseTimer", "1"));
    // The open quote swallowed OutputWidth when the file was read; it stays last, where it
    // swallows nothing QSettings writes.
    const std::string once =
        "[Settings]\n"
        "  an indented note\n"
        "UseTimer=1\n"
        "after the timer\n"
        "\"an open quote\n"
        "OutputWidth=800\n";
    EXPECT_EQ(FileText(), once);

    ASSERT_FALSE(store.Write("OutputHeight", "480"));
    EXPECT_EQ(store.Read("OutputHeight", "?"), "480");
    EXPECT_EQ(store.Read("UseTimer", "?"), "1");
    const std::string twice = FileText();
    for (const char* line : {"  an indented note\n", "after the timer\n", "\"an open quote\n"}) {
        const auto first = twice.find(line);
        EXPECT_NE(first, std::string::npos) << line << " in\n" << twice;
        EXPECT_EQ(twice.find(line, first + 1), std::string::npos) << line << " twice in\n" << twice;
    }
    EXPECT_TRUE(twice.ends_with("\"an open quote\nOutputWidth=800\n")) << twice;
}

}  // namespace
