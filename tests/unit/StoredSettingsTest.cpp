#include "core/Settings.h"

#include <gtest/gtest.h>

namespace {

TEST(StoredSettings, ConvertOrFallBackToTheDefault) {
    const struct {
        const char* Text;
        int Value;
        bool Problem;
    } cases[] = {{"1024", 1024, false}, {"12.5", 12, false},  {"-5", -5, false}, {"abc", 800, true},
                 {"", 800, true},       {"40000", 800, true}, {"1e9", 800, true}};
    for (const auto& c : cases) {
        const auto stored = KestrelMain::Int16FromStore(QString::fromUtf8(c.Text), 800);
        EXPECT_EQ(stored.Value, c.Value) << c.Text;
        EXPECT_EQ(!stored.Problem.isEmpty(), c.Problem) << c.Text;
    }
    EXPECT_EQ(KestrelMain::SingleFromStore("0.5", 2.0f).Value, 0.5f);
    EXPECT_EQ(KestrelMain::SingleFromStore("x", 2.0f).Value, 2.0f);
    EXPECT_FALSE(KestrelMain::SingleFromStore("1e40", 2.0f).Problem.isEmpty());
}

}  // namespace
