// The lines of a settings file that QSettings cannot read: which they are, and where they go
// back into the file QSettings has written without them.
#include "platform/qt/QtSettingsFileLines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Platform::QtToolkit::PutBackUnreadableLines;
using Platform::QtToolkit::UnreadableLines;

std::vector<std::string> Texts(const QByteArray& file) {
    std::vector<std::string> texts;
    for (const auto& line : UnreadableLines(file)) texts.push_back(line.Text.toStdString());
    return texts;
}

TEST(SettingsFileLines, OnlyLinesWithoutAnEqualsSignOutsideQuotesAreUnreadable) {
    const struct {
        const char* File;
        std::vector<std::string> Unreadable;
    } cases[] = {
        {"[Settings]\nBasePath=/x\nUseTimer=1\n", {}},
        {"[Settings]\nBasePath=/x\nmy note\nUseTimer=1\n", {"my note"}},
        {"note at the top\n[Settings]\nA=1\n", {"note at the top"}},
        {"[Settings]\n  indented note \t\nA=1\n", {"  indented note \t"}},
        {"[Settings]\r\nA=1\r\nwindows note\r\n", {"windows note"}},
        {"[Settings]\n# not a comment to QSettings\n", {"# not a comment to QSettings"}},
        {"[Settings]\nnote ; with a=comment\n", {"note ; with a=comment"}},
        {"[Settings]\n\"quoted = sign\"\n", {"\"quoted = sign\""}},
        // Comments, blank lines and headers are no settings lines at all.
        {"; comment\n\n[Settings]\n;A=1\n\n", {}},
        {"[Settings\nA=1\n", {}},
        // A quoted value and a "\" continue over the line break: one readable line.
        {"[Settings]\nk = \"a\nb\"\nA=1\n", {}},
        {"[Settings]\nk\\\n=1\n", {}},
        // A note whose quote closes on its second line is one unreadable line of two.
        {"[Settings]\n\"two\nlines\"\nA=1\n", {"\"two\nlines\""}},
        // An open quote runs to the end of the file, taking the keys after it along.
        {"[Settings]\n\"open\nA=1\n", {"\"open\nA=1\n"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Texts(c.File), c.Unreadable) << c.File;
    }
}

TEST(SettingsFileLines, EachKnowsItsLineSectionAndTheKeyBeforeIt) {
    const auto lines = UnreadableLines(
        "top\n[Settings]\nfirst\nBasePath=/x\nsecond\nthird\n[Notes]\nA=1\nfourth\n");
    ASSERT_EQ(lines.size(), 5);
    const struct {
        int Number;
        const char* Section;
        const char* AfterKey;
    } expected[] = {{1, "", ""},
                    {3, "Settings", ""},
                    {5, "Settings", "BasePath"},
                    {6, "Settings", "BasePath"},
                    {9, "Notes", "A"}};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(lines[i].Number, expected[i].Number) << i;
        EXPECT_EQ(lines[i].Section, expected[i].Section) << i;
        EXPECT_EQ(lines[i].AfterKey, expected[i].AfterKey) << i;
        EXPECT_FALSE(lines[i].Unterminated) << i;
    }
    EXPECT_TRUE(UnreadableLines("[Settings]\n\"open\n").front().Unterminated);
    EXPECT_TRUE(UnreadableLines("[Settings]\nends in\\").front().Unterminated);
}

TEST(SettingsFileLines, GoBackWhereTheyWereInTheFileQSettingsWrote) {
    const struct {
        const char* Before;   // the file as it was read
        const char* Written;  // as QSettings wrote it: the same settings, without the lines
        const char* After;
    } cases[] = {
        {"[Settings]\nBasePath=/x\nmy note\nUseTimer=1\n", "[Settings]\nBasePath=/y\nUseTimer=0\n",
         "[Settings]\nBasePath=/y\nmy note\nUseTimer=0\n"},
        {"[Settings]\nfirst note\nB=1\nsecond\nthird\n", "[Settings]\nA=0\nB=1\n",
         "[Settings]\nfirst note\nA=0\nB=1\nsecond\nthird\n"},
        {"top note\n[Settings]\nA=1\n", "[Settings]\nA=2\n", "top note\n[Settings]\nA=2\n"},
        // The key it followed is gone: the end of its section.
        {"[Settings]\nOld=1\nnote\n[Other]\nB=1\n", "[Other]\nB=1\n\n[Settings]\nA=1\n",
         "[Other]\nB=1\n\n[Settings]\nA=1\nnote\n"},
        // A section of notes only, which QSettings leaves out, comes back at the end.
        {"[Notes]\nonly text\n[Settings]\nA=1\n", "[Settings]\nA=1\n",
         "[Settings]\nA=1\n\n[Notes]\nonly text\n"},
        // An open quote stays last, where it has nothing after it to swallow.
        {"[Settings]\n\"open\nA=1\n", "[Settings]\nA=2\n", "[Settings]\nA=2\n\"open\nA=1\n"},
        // A note ending in an escaped "\r" is not run on into the next line by a "\n".
        {"[Settings]\nA=1\nnote\\\r\rB=1\n", "[Settings]\nA=1\nB=1\n",
         "[Settings]\nA=1\nnote\\\r\rB=1\n"},
        // QSettings passes over one byte order mark at the start, not over a second one.
        {"\xEF\xBB\xBF\xEF\xBB\xBFnote\n[Settings]\nA=1\n", "[Settings]\nA=1\n",
         "\xEF\xBB\xBF\xEF\xBB\xBFnote\n[Settings]\nA=1\n"},
        // Written without a final line break.
        {"[Settings]\nA=1\nnote\n", "[Settings]\nA=1", "[Settings]\nA=1\nnote\n"},
    };
    for (const auto& c : cases) {
        const auto lines = UnreadableLines(c.Before);
        const QByteArray after = PutBackUnreadableLines(c.Written, lines);
        EXPECT_EQ(after.toStdString(), c.After) << c.Before;
        // Read again, the lines are the same ones, to be kept by the next write.
        EXPECT_EQ(Texts(after), Texts(c.Before)) << c.Before;
    }
}

TEST(SettingsFileLines, ASectionIsFoundUnderTheNameQSettingsEscapes) {
    const auto lines = UnreadableLines("[a=b]\nA=1\nnote\n");
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(PutBackUnreadableLines("[a%3Db]\nA=1\n", lines).toStdString(),
              "[a%3Db]\nA=1\nnote\n");
    EXPECT_EQ(PutBackUnreadableLines("[Settings]\nA=1\n", {}), "[Settings]\nA=1\n");
}

}  // namespace
