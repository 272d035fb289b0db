// Round navigation of the target-items page: "<" and ">" from each round, the label each step
// shows, a round list that shrank, the items a viewed round shows and the days its totals cover.
#include "engine/TargetRounds.h"

#include <gtest/gtest.h>

namespace pavona {
namespace {

TRoundInfo Round(int no, const char* phase, const char* starts, const char* ends) {
    TRoundInfo r;
    r.RoundNo = no;
    r.Phase = phase;
    r.StartsOn = starts;
    r.EndsOn = ends;
    return r;
}

const std::vector<TRoundInfo> kThree = {Round(1, "past", "2026-09-01", "2026-09-15"),
                                        Round(2, "current", "2026-09-16", "2026-09-30"),
                                        Round(3, "upcoming", "2026-10-01", "2026-10-15")};
const std::vector<TRoundInfo> kNoneCurrent = {Round(1, "past", "2026-09-01", "2026-09-15"),
                                              Round(2, "", "2026-09-16", "2026-09-30"),
                                              Round(3, "upcoming", "2026-10-01", "2026-10-15")};

TEST(TargetRounds, StepsAndLabels) {
    struct Case {
        const char* Name;
        const std::vector<TRoundInfo>* Rounds;
        int From;
        int Delta;
        int To;
        const char* Label;
    };
    const std::vector<TRoundInfo> none;
    const Case cases[] = {
        {"today, back to the past round", &kThree, -1, -1, 0, "1차  09-01 ~ 09-15  ·  지난 차수"},
        {"the past round, forward to today", &kThree, 0, +1, -1, "오늘 차수"},
        {"today, forward to the upcoming round", &kThree, -1, +1, 2, "3차  10-01 ~ 10-15  ·  다음 차수"},
        {"the last round keeps", &kThree, 2, +1, 2, "3차  10-01 ~ 10-15  ·  다음 차수"},
        {"the first round keeps", &kThree, 0, -1, 0, "1차  09-01 ~ 09-15  ·  지난 차수"},
        {"none current, back", &kNoneCurrent, -1, -1, 0, "1차  09-01 ~ 09-15  ·  지난 차수"},
        {"none current, forward", &kNoneCurrent, -1, +1, 1, "2차  09-16 ~ 09-30  ·  이번 주"},
        {"none current, from round 1 forward", &kNoneCurrent, 1, +1, 2, "3차  10-01 ~ 10-15  ·  다음 차수"},
        {"no rounds", &none, -1, +1, -1, "오늘 차수"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const int to = StepRound(*c.Rounds, c.From, c.Delta);
        EXPECT_EQ(to, c.To);
        EXPECT_EQ(RoundLabel(*c.Rounds, to), c.Label);
    }
    EXPECT_EQ(CurrentRoundIndex(kThree), 1);
    EXPECT_EQ(CurrentRoundIndex(kNoneCurrent), -1);
}

TEST(TargetRounds, AViewedRoundThatNoLongerExistsIsTheCurrentOne) {
    EXPECT_EQ(ClampViewRound(kThree, 2), 2);
    const std::vector<TRoundInfo> shrunk(kThree.begin(), kThree.begin() + 2);
    EXPECT_EQ(ClampViewRound(shrunk, 2), -1);
    EXPECT_EQ(RoundLabel(shrunk, 2), "오늘 차수");
    EXPECT_EQ(RoundHeader(shrunk, 2), "이번 차수(2차)");
    EXPECT_EQ(RoundHeader({}, -1), "이번 차수");
}

TEST(TargetRounds, ThePastRoundShowsItsOwnItemsWithoutCap) {
    TPolicyItem current;
    current.VendorItemCode = "512";
    current.ItemName = "대파";
    current.DiscountRate = 20;
    current.DiscountCap = 2000;
    std::vector<TRoundInfo> rounds = kThree;
    TPolicyItem old = current;
    old.VendorItemCode = "400";
    old.DiscountCap = 5000; // a round item never carries a cap, even when the document sent one
    rounds[0].Items = {old};
    const auto past = ViewedRoundItems({current}, rounds, 0);
    ASSERT_EQ(past.size(), 1u);
    EXPECT_EQ(past[0].ItemCode, "400");
    EXPECT_EQ(past[0].Cap, 0);
    for (int view : {-1, 1, 7}) {
        SCOPED_TRACE(view);
        const auto shown = ViewedRoundItems({current}, rounds, view);
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].ItemCode, "512");
        EXPECT_EQ(shown[0].Cap, 2000);
    }
}

TEST(TargetRounds, TotalsCoverTheProgrammeOrTheLast21Days) {
    const TDateTime today = EncodeDate(2026, 10, 6);
    EXPECT_EQ(RoundTotalsFrom(EncodeDate(2026, 10, 1), today), EncodeDate(2026, 10, 1));
    EXPECT_EQ(RoundTotalsFrom(0, today + 0.5), EncodeDate(2026, 9, 15));
}

} // namespace
} // namespace pavona
