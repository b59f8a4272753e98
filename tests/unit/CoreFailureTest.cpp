// The one-line text of a failure, as the message box and standard error show it.
#include "core/Failure.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using KestrelMain::Failure;
using KestrelMain::Result;

TEST(CoreFailure, TextJoinsWhatPathAndReasonLeavingOutWhatIsEmpty) {
    const struct {
        Failure Given;
        std::string Text;
    } cases[] = {
        {{"Cannot save the capture", "/home/a/KESTREL_01012026_120000/1-120000-4-5.bmp",
          "No space left on device"},
         "Cannot save the capture \u201C/home/a/KESTREL_01012026_120000/1-120000-4-5.bmp\u201D: "
         "No space left on device"},
        {{"Cannot read the screen", "", "the X server answered BadMatch (request 73.0)"},
         "Cannot read the screen: the X server answered BadMatch (request 73.0)"},
        {{"Cannot create the capture directory", "C:\\KESTREL_01012026_120000", ""},
         "Cannot create the capture directory \u201C"
         "C:\\KESTREL_01012026_120000\u201D"},
        {{"Cannot start the timer", "", ""}, "Cannot start the timer"},
        // UTF-8 in and out, byte for byte.
        {{"Cannot save the capture",
          "/home/z\xC3\xBC"
          "rich/\xE5\x86\x99\xE7\x9C\x9F",
          "Zugriff verweigert"},
         "Cannot save the capture \xE2\x80\x9C/home/z\xC3\xBC"
         "rich/\xE5\x86\x99\xE7\x9C\x9F\xE2\x80\x9D: "
         "Zugriff verweigert"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.Given.Text(), c.Text);
    }
}

TEST(CoreFailure, AResultHoldsEitherItsValueOrItsFailure) {
    const Result<int> value = 42;
    ASSERT_TRUE(value.Ok());
    EXPECT_TRUE(static_cast<bool>(value));
    EXPECT_EQ(*value, 42);

    const Result<int> failed = Failure{"Cannot count", "", "the count is at its limit"};
    ASSERT_FALSE(failed.Ok());
    EXPECT_FALSE(static_cast<bool>(failed));
    EXPECT_EQ(failed.Error().Text(), "Cannot count: the count is at its limit");
}

}  // namespace
