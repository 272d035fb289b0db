#include "common/DateTime.h"

#include <gtest/gtest.h>

namespace pavona {

TEST(DateTime, SerialMatchesTheEpochAndKnownDays) {
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
    EXPECT_EQ(EncodeDate(1900, 1, 1), 2.0);
    EXPECT_EQ(EncodeDate(1970, 1, 1), 25569.0);
    EXPECT_EQ(EncodeDate(2026, 10, 6), 46301.0);
}

TEST(DateTime, EncodeDecodeRoundTripsToTheMillisecond) {
    const TDateTime t = EncodeDateTime(2026, 10, 6, 23, 59, 59, 999);
    const TDateParts p = DecodeDateTime(t);
    EXPECT_EQ(p.Year, 2026);
    EXPECT_EQ(p.Month, 10);
    EXPECT_EQ(p.Day, 6);
    EXPECT_EQ(p.Hour, 23);
    EXPECT_EQ(p.Minute, 59);
    EXPECT_EQ(p.Second, 59);
    EXPECT_EQ(p.MSec, 999);
    // Arithmetic in minutes lands on whole seconds, not a hair before them.
    EXPECT_EQ(FormatStamp(IncMinute(EncodeDateTime(2026, 10, 6, 9, 0, 0), -5)), "2026-10-06 08:55:00");
    EXPECT_EQ(FormatStamp(EncodeDate(2026, 10, 6) + 9.0 / 24 + 20.0 / 1440), "2026-10-06 09:20:00");
}

TEST(DateTime, FormatPatterns) {
    const TDateTime t = EncodeDateTime(2026, 3, 7, 9, 5, 4, 12);
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", t), "2026-03-07 09:05:04.012");
    EXPECT_EQ(FormatDateTime("mm/dd/yyyy", t), "03/07/2026");
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd\"T\"hh:nn:ss", t), "2026-03-07T09:05:04");
    EXPECT_EQ(FormatDateTime("yyyy-mm-ddThh:nn:ss", t), "2026-03-07T09:05:04");
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd (ddd)", t), "2026-03-07 (토)");
}

TEST(DateTime, ParseDayAcceptsOnlyRealTenCharacterDates) {
    struct Case {
        const char* text;
        bool ok;
    } cases[] = {{"2026-10-06", true},  {"2024-02-29", true},  {"2025-02-29", false},  {"2025-1-01", false},
                 {"2025-13-01", false}, {"2025/01/01", false}, {"2025-01-01 ", false}, {"", false}};
    for (const Case& c : cases) {
        TDateTime t = -1;
        EXPECT_EQ(ParseDay(c.text, t), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(FormatDay(t), c.text);
        }
    }
}

TEST(DateTime, ParseStampText) {
    TDateTime t;
    ASSERT_TRUE(ParseStampText("2026-10-06 09:40:01", t));
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", t), "2026-10-06 09:40:01.000");
    ASSERT_TRUE(ParseStampText("2026-10-06 09:40:01.123", t));
    EXPECT_EQ(DecodeDateTime(t).MSec, 123);
    EXPECT_FALSE(ParseStampText("2026-10-06T09:40:01", t));
    EXPECT_FALSE(ParseStampText("2026-10-06 24:00:00", t));
}

TEST(DateTime, DayOfTheWeekIsMondayFirst) {
    EXPECT_EQ(DayOfTheWeek(EncodeDate(2026, 10, 5)), 1); // a Monday
    EXPECT_EQ(DayOfTheWeek(EncodeDate(2026, 10, 11)), 7);
    EXPECT_EQ(DayOfTheWeek(EncodeDateTime(2026, 10, 11, 23, 59, 59)), 7);
}

TEST(DateTime, InvariantFormRoundTripsAndLeavesMidnightAsADate) {
    struct Case {
        TDateTime t;
        const char* text;
    } cases[] = {
        {EncodeDateTime(2026, 10, 6, 9, 40, 1), "10/06/2026 09:40:01"},
        {EncodeDate(2026, 10, 6), "10/06/2026"},
        {0, "12/30/1899"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatInvariant(c.t), c.text);
        EXPECT_EQ(ParseInvariant(c.text), c.t) << c.text;
    }
    for (const char* bad : {"", "2026-10-06", "13/01/2026", "10/06/2026 9:40:01", "10/06/2026 24:00:00", "x"})
        EXPECT_EQ(ParseInvariant(bad), 0) << bad;
}

} // namespace pavona
