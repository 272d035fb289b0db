#include "engine/AgentCollect.h"

#include <gtest/gtest.h>

namespace pavona {
namespace {

const TDateTime D = EncodeDate(2026, 10, 6);
TDateTime At(int day, int h, int n, int s = 0) {
    return IncSecond(IncDay(D, day), (h * 60 + n) * 60 + s);
}

TEST(Schedule, PeakHoursStretchTheInterval) {
    for (int h : {10, 14, 16, 21})
        EXPECT_FALSE(IsPeakHour(h)) << h;
    for (int h : {11, 12, 13, 17, 18, 19, 20})
        EXPECT_TRUE(IsPeakHour(h)) << h;
    EXPECT_EQ(CollectInterval(10, 10, 30), 10);
    EXPECT_EQ(CollectInterval(21, 10, 30), 10);
    EXPECT_EQ(CollectInterval(11, 10, 30), 30);
    EXPECT_EQ(CollectInterval(20, 10, 30), 30);
}

TEST(CollectWindow, WorkedExamples) {
    struct Case {
        const char* what;
        TDateTime now, watermark, collectFrom;
        bool ok;
        TDateTime from, to;
    } cases[] = {
        {"watermark 09:00", At(0, 9, 30), At(0, 9, 0), 0, true, At(0, 8, 55), At(0, 9, 20)},
        {"watermark 09:25", At(0, 9, 30), At(0, 9, 25), 0, false, 0, 0},
        {"first window is one day", At(0, 10, 0), 0, 0, true, At(-1, 9, 50), At(0, 9, 50)},
        {"collection start three days back", At(0, 10, 0), 0, At(-3, 8, 0), true, At(-3, 8, 0), At(-2, 8, 0)},
        {"collection start later than a day back", At(0, 10, 0), 0, At(0, 8, 0), true, At(-1, 9, 50),
         At(0, 9, 50)},
        {"1440 minutes 59 seconds is not cut", At(0, 10, 0), At(-1, 9, 54, 1), 0, true, At(-1, 9, 49, 1),
         At(0, 9, 50)},
        {"1441 minutes is cut", At(0, 10, 0), At(-1, 9, 54), 0, true, At(-1, 9, 49), At(0, 9, 49)},
        {"watermark in the future", At(0, 10, 0), At(0, 12, 0), 0, false, 0, 0},
    };
    for (const Case& c : cases) {
        TCollectParams p;
        p.CollectFrom = c.collectFrom;
        const Result<TCollectWindow> r = CollectWindow(p, c.now, c.watermark);
        EXPECT_EQ(r.Ok(), c.ok) << c.what;
        const TCollectWindow w = r.ValueOr({});
        EXPECT_EQ(FormatStamp(w.FromT), FormatStamp(c.from)) << c.what;
        EXPECT_EQ(FormatStamp(w.ToT), FormatStamp(c.to)) << c.what;
    }
}

TEST(SpoolDayOf, WatermarkStrictlyInsideElseTheStart) {
    const TCollectWindow w{At(-1, 23, 55), At(0, 0, 20)};
    EXPECT_EQ(SpoolDayOf(w, At(0, 0, 0, 1)), "2026-10-06");
    EXPECT_EQ(SpoolDayOf(w, At(-1, 23, 55)), "2026-10-05"); // equal to the start: not inside
    EXPECT_EQ(SpoolDayOf(w, 0), "2026-10-05");
}

TEST(LastFullDays, WholeDaysOnlyAndTheMostRecentN) {
    auto days = LastFullDays(3, At(0, 13, 0), At(5, 0, 10));
    ASSERT_EQ(days.size(), 3u);
    EXPECT_EQ(FormatStamp(days[0]), FormatStamp(At(2, 0, 0)));
    EXPECT_EQ(FormatStamp(days[2]), FormatStamp(At(4, 0, 0)));

    days = LastFullDays(3, At(0, 0, 0), At(1, 0, 0)); // since exactly at midnight counts that day
    ASSERT_EQ(days.size(), 1u);
    EXPECT_EQ(FormatStamp(days[0]), FormatStamp(D));
    EXPECT_TRUE(LastFullDays(0, At(0, 0, 0), At(3, 0, 0)).empty());
    EXPECT_TRUE(LastFullDays(3, At(3, 0, 0), At(3, 0, 0)).empty());
}

TEST(CollectWindow, AWatermarkThatCannotBeTrueIsReadAgainFromWhereItMustBe) {
    const struct {
        const char* what;
        TDateTime watermark, since, collectFrom, newest;
        TWatermarkFault fault;
        TDateTime readFrom;
    } cases[] = {
        {"no watermark yet", 0, 0, At(-3, 8, 0), 0, TWatermarkFault::None, 0},
        {"an ordinary watermark", At(0, 9, 0), At(-2, 9, 0), At(-3, 8, 0), 0, TWatermarkFault::None, 0},
        {"exactly now", At(0, 10, 0), At(-2, 9, 0), 0, 0, TWatermarkFault::None, 0},
        {"before the association's start but after since", At(-2, 10, 0), At(-2, 9, 0), At(-1, 0, 0), 0,
         TWatermarkFault::None, 0},
        {"before both starts: the later one", At(-3650, 9, 0), At(-2, 9, 0), At(-3, 8, 0), 0,
         TWatermarkFault::BeforeStart, At(-2, 9, 0)},
        {"before both, the association's start later", At(-3650, 9, 0), At(-2, 9, 0), At(-1, 8, 0), 0,
         TWatermarkFault::BeforeStart, At(-1, 8, 0)},
        {"before since, no association start", At(-3650, 9, 0), At(-2, 9, 0), 0, 0,
         TWatermarkFault::BeforeStart, At(-2, 9, 0)},
        {"no start known: nothing to hold it to", At(-3650, 9, 0), 0, 0, 0, TWatermarkFault::None, 0},
        {"later than now: the newest spooled sale", At(3650, 9, 0), At(-2, 9, 0), 0, At(0, 9, 12),
         TWatermarkFault::AfterNow, At(0, 9, 12)},
        {"later than now, nothing spooled: a day back", At(3650, 9, 0), At(-2, 9, 0), 0, 0,
         TWatermarkFault::AfterNow, At(-1, 10, 0)},
        {"a second later than now", At(0, 10, 0, 1), At(-2, 9, 0), 0, At(0, 9, 40), TWatermarkFault::AfterNow,
         At(0, 9, 40)},
        {"missing after reporting started: the newest spooled sale", 0, At(-2, 9, 0), 0, At(0, 9, 12),
         TWatermarkFault::Missing, At(0, 9, 12)},
        {"missing, nothing spooled: since", 0, At(-4, 9, 0), 0, 0, TWatermarkFault::Missing, At(-4, 9, 0)},
        {"missing before the first report: the first window", 0, 0, 0, 0, TWatermarkFault::None, 0},
    };
    const TDateTime now = At(0, 10, 0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const TWatermarkCheck r = CheckWatermark(c.watermark, c.since, c.collectFrom, now, c.newest);
        EXPECT_EQ(r.Fault, c.fault);
        EXPECT_EQ(ToMSecs(r.ReadFrom), ToMSecs(c.readFrom));
    }
}

} // namespace
} // namespace pavona
