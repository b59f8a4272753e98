// Ctrl+F registered with the system: once only, and given back when the owner goes.
#include "platform/win32/Win32HotKey.h"
#include "support/FakeEvents.h"

#include <gtest/gtest.h>

namespace {

using Platform::Win32::Win32HotKey;

TEST(Win32HotKey, CtrlFIsHeldByOneOwnerAtATimeAndFreedWhenItGoes) {
    TestSupport::RecordingHotKeyAnswers answers;
    {
        Win32HotKey first(nullptr, 1);
        ASSERT_EQ(first.Register(answers), std::nullopt);
        EXPECT_TRUE(first.Registered());
        EXPECT_FALSE(first.TakePress());

        Win32HotKey second(nullptr, 2);
        const auto refused = second.Register(answers);
        ASSERT_TRUE(refused.has_value());
        EXPECT_EQ(refused->What, "Cannot register Ctrl+F");
        EXPECT_FALSE(refused->Reason.empty());
        EXPECT_FALSE(second.Registered());
    }
    Win32HotKey later(nullptr, 3);
    EXPECT_EQ(later.Register(answers), std::nullopt);
    EXPECT_TRUE(answers.Answers.empty());  // the system answers at once
}

}  // namespace
