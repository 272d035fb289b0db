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
        {"no policy", false, true, 1000000, 0, 0, llUnknown, 0, 0, 0},
        {"79%", true, true, 1000000, 0, 799999, llNormal, 79, 200001, 0},
        {"80%", true, true, 1000000, 0, 800000, llCaution, 80, 200000, 0},
        {"95%", true, true, 1000000, 0, 950000, llImminent, 95, 50000, 0},
        {"all used", true, true, 1000000, 0, 1000000, llExhausted, 100, 0, 0},
        {"offsets above the budget", true, true, 1000000, 1200000, 0, llExhausted, 100, 0, 0},
        {"nothing allocated", true, true, 0, 0, 5000, llDisabled, 0, 0, 5000},
        {"switched off", true, false, 1000000, 0, 300000, llDisabled, 0, 0, 0},
        {"over by 5,000", true, true, 1000000, 0, 1005000, llExhausted, 100, 0, 5000},
        {"offsets shrink the budget", true, true, 1000000, 200000, 640000, llCaution, 80, 160000, 0},
    };
    for (const Case& c : cases) {
        TLimitInput in;
        in.HasPolicy = c.hasPolicy;
        in.Enabled = c.enabled;
        in.Allocated = c.allocated;
        in.OffsetOutstanding = c.offsets;
        in.ReportedExecuted = c.used / 2;
        in.UnreportedLocal = c.used - c.used / 2;
        const TLimitState s = EvaluateLimit(in);
        EXPECT_EQ(s.Level, c.level) << c.what;
        EXPECT_EQ(s.Used, c.used) << c.what;
        EXPECT_EQ(s.Percent, c.percent) << c.what;
        EXPECT_EQ(s.Remaining, c.remaining) << c.what;
        EXPECT_EQ(s.Over, c.over) << c.what;
    }
}

TEST(EvaluateLimit, HugeUseNeverWrapsThePercentage) {
    TLimitInput in;
    in.HasPolicy = in.Enabled = true;
    in.Allocated = 1000;
    in.ReportedExecuted = std::numeric_limits<std::int64_t>::max() / 10; // ×100 overflows 64 bits
    const TLimitState s = EvaluateLimit(in);
    EXPECT_EQ(s.Level, llExhausted);
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
    EXPECT_EQ(LevelText(llUnknown), "확인 중");
    EXPECT_EQ(LevelText(llExhausted), "소진");
    EXPECT_EQ(LevelAdvice(llNormal), "");
    EXPECT_EQ(LevelAdvice(llDisabled), "이 매장의 농할이 중지되어 있습니다. 지금 붙는 할인은 정산에 들어가지 "
                                       "않습니다. 협회에 문의해 주세요.");
}

} // namespace
} // namespace pavona
