// The budget level at each threshold, percentages that never wrap, level texts and won format.
#include "engine/AgentMonitor.h"

#include <gtest/gtest.h>

#include <limits>

namespace pavona {
namespace {

TEST(EvaluateLimit, LevelsAndFigures) {
    struct Case {
        const char* what;
        bool hasPolicy, enabled;
        std::int64_t allocated, offsets, used;
        TLimitLevel level;
        int percent;
        std::int64_t remaining, over;
    } cases[] = {
        {"no policy", false, true, 1000000, 0, 0, TLimitLevel::Unknown, 0, 0, 0},
        {"79%", true, true, 1000000, 0, 799999, TLimitLevel::Normal, 79, 200001, 0},
        {"80%", true, true, 1000000, 0, 800000, TLimitLevel::Caution, 80, 200000, 0},
        {"95%", true, true, 1000000, 0, 950000, TLimitLevel::Imminent, 95, 50000, 0},
        {"all used", true, true, 1000000, 0, 1000000, TLimitLevel::Exhausted, 100, 0, 0},
        {"offsets above the budget", true, true, 1000000, 1200000, 0, TLimitLevel::Exhausted, 100, 0, 0},
        {"nothing allocated", true, true, 0, 0, 5000, TLimitLevel::Disabled, 0, 0, 5000},
        {"switched off", true, false, 1000000, 0, 300000, TLimitLevel::Disabled, 0, 0, 0},
        {"over by 5,000", true, true, 1000000, 0, 1005000, TLimitLevel::Exhausted, 100, 0, 5000},
        {"offsets shrink the budget", true, true, 1000000, 200000, 640000, TLimitLevel::Caution, 80, 160000,
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TLimitInput in;
        in.HasPolicy = c.hasPolicy;
        in.Enabled = c.enabled;
        in.Allocated = c.allocated;
        in.OffsetOutstanding = c.offsets;
        in.ReportedExecuted = c.used / 2;
        in.UnreportedLocal = c.used - c.used / 2;
        const TLimitState s = EvaluateLimit(in);
        EXPECT_EQ(s.Level, c.level);
        EXPECT_EQ(s.Used, c.used);
        EXPECT_EQ(s.Percent, c.percent);
        EXPECT_EQ(s.Remaining, c.remaining);
        EXPECT_EQ(s.Over, c.over);
    }
}

TEST(EvaluateLimit, HugeUseNeverWrapsThePercentage) {
    TLimitInput in;
    in.HasPolicy = in.Enabled = true;
    in.Allocated = 1000;
    in.ReportedExecuted = std::numeric_limits<std::int64_t>::max() / 10; // ×100 overflows 64 bits
    const TLimitState s = EvaluateLimit(in);
    EXPECT_EQ(s.Level, TLimitLevel::Exhausted);
    EXPECT_EQ(s.Percent, std::numeric_limits<int>::max());
    EXPECT_GT(s.Over, 0);
}

TEST(FormatWon, GroupsOfThree) {
    EXPECT_EQ(FormatWon(0), "0원");
    EXPECT_EQ(FormatWon(1234567), "1,234,567원");
    EXPECT_EQ(FormatWon(-5000), "-5,000원");
    EXPECT_EQ(FormatWon(999), "999원");
    EXPECT_EQ(WonDigits(1000), "1,000");
    EXPECT_EQ(WonDigits(std::numeric_limits<std::int64_t>::min()), "-9,223,372,036,854,775,808");
}

TEST(LevelTexts, OnePerLevel) {
    EXPECT_EQ(LevelText(TLimitLevel::Unknown), "확인 중");
    EXPECT_EQ(LevelText(TLimitLevel::Exhausted), "소진");
    EXPECT_EQ(LevelAdvice(TLimitLevel::Normal), "");
    EXPECT_EQ(LevelAdvice(TLimitLevel::Disabled),
              "이 매장의 농할이 중지되어 있습니다. 지금 붙는 할인은 정산에 들어가지 "
              "않습니다. 협회에 문의해 주세요.");
}

} // namespace
} // namespace pavona
