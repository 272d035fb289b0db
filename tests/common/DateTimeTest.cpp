#include "common/DateTime.h"
#include "pos/OdbcValue.h"
#include "store/AgentLedger.h"
#include "store/AgentSpool.h"

#include <gtest/gtest.h>

namespace pavona {

namespace {

// A reading as text: the day alone at midnight, milliseconds only when there are some; "-" when the
// reader refused the text.
std::string Shown(bool ok, TDateTime t) {
    if (!ok) return "-";
    const std::int64_t ms = ToMSecs(t);
    if (ms % kMSecsPerDay == 0) return FormatDay(t);
    return ms % 1000 == 0 ? FormatStamp(t) : FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", t);
}

} // namespace

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

// Every reader of "yyyy-mm-dd..." texts on the same inputs. They differ on purpose: files this agent
// writes itself are read loosely (separators not looked at, characters counted, a sign allowed),
// database texts and the send log strictly, policy dates by their first ten characters.
TEST(DateTime, StampReadersKeepTheirOwnRules) {
    struct Case {
        const char* Text;
        const char* Day;       // ParseDay
        const char* StampText; // ParseStampText
        const char* Db;        // ParseDbStamp
        const char* Policy;    // ParsePolicyDate
        const char* Spool;     // ParseStamp
        const char* SoldAt;    // ParseSoldAt
    } const cases[] = {
        {"2026-10-06", "2026-10-06", "-", "2026-10-06", "2026-10-06", "-", "-"},
        {"2026-10-06 09:20:05", "-", "2026-10-06 09:20:05", "2026-10-06 09:20:05", "2026-10-06",
         "2026-10-06 09:20:05", "2026-10-06 09:20:05"},
        {"2026-10-06T09:20:05", "-", "-", "2026-10-06 09:20:05", "2026-10-06", "2026-10-06 09:20:05",
         "2026-10-06 09:20:05"},
        // Only the sale time reads a "Z" right after the seconds, as UTC.
        {"2026-10-06T09:20:05Z", "-", "-", "-", "2026-10-06", "2026-10-06 09:20:05", "2026-10-06 18:20:05"},
        {"2026-10-06 09:20:05Z", "-", "-", "-", "2026-10-06", "2026-10-06 09:20:05", "2026-10-06 18:20:05"},
        {"2026-12-31T20:00:00Z", "-", "-", "-", "2026-12-31", "2026-12-31 20:00:00", "2027-01-01 05:00:00"},
        {"2026-10-06T09:20:05ZZ", "-", "-", "-", "2026-10-06", "2026-10-06 09:20:05", "2026-10-06 18:20:05"},
        {"2026-10-06T09:20:05z", "-", "-", "-", "2026-10-06", "2026-10-06 09:20:05", "2026-10-06 09:20:05"},
        {"2026-10-06T09:20:05+09:00", "-", "-", "-", "2026-10-06", "2026-10-06 09:20:05",
         "2026-10-06 09:20:05"},
        {"2026-10-06T09:20:05.5Z", "-", "-", "-", "2026-10-06", "2026-10-06 09:20:05", "2026-10-06 09:20:05"},
        // Fractions: exactly three digits in the send log, any number in database texts.
        {"2026-10-06 09:20:05.000", "-", "2026-10-06 09:20:05", "2026-10-06 09:20:05", "2026-10-06",
         "2026-10-06 09:20:05", "2026-10-06 09:20:05"},
        {"2026-10-06 09:20:05.123", "-", "2026-10-06 09:20:05.123", "2026-10-06 09:20:05.123", "2026-10-06",
         "2026-10-06 09:20:05", "2026-10-06 09:20:05"},
        {"2026-10-06 09:20:05.1", "-", "-", "2026-10-06 09:20:05.100", "2026-10-06", "2026-10-06 09:20:05",
         "2026-10-06 09:20:05"},
        {"2026-10-06 09:20:05.12345", "-", "-", "2026-10-06 09:20:05.123", "2026-10-06",
         "2026-10-06 09:20:05", "2026-10-06 09:20:05"},
        {"2026-10-06 09:20:05.9995", "-", "-", "2026-10-06 09:20:06", "2026-10-06", "2026-10-06 09:20:05",
         "2026-10-06 09:20:05"},
        {"2026-10-06 23:59:59.9999", "-", "-", "2026-10-07", "2026-10-06", "2026-10-06 23:59:59",
         "2026-10-06 23:59:59"},
        {"2026-10-06 09:20:05.", "-", "-", "-", "2026-10-06", "2026-10-06 09:20:05", "2026-10-06 09:20:05"},
        {"2026-10-06 09:20:05,123", "-", "-", "-", "2026-10-06", "2026-10-06 09:20:05",
         "2026-10-06 09:20:05"},
        {"2026-10-06 09:20:05.12a", "-", "-", "-", "2026-10-06", "2026-10-06 09:20:05",
         "2026-10-06 09:20:05"},
        // Extra and missing characters.
        {"2026-10-06 09:20:05 ", "-", "-", "-", "2026-10-06", "2026-10-06 09:20:05", "2026-10-06 09:20:05"},
        {"2026-10-06 09:20", "-", "-", "2026-10-06 09:20:00", "2026-10-06", "-", "-"},
        {"2026-10-06T09:20", "-", "-", "2026-10-06 09:20:00", "2026-10-06", "-", "-"},
        {"2026-10-06 09", "-", "-", "-", "2026-10-06", "-", "-"},
        {"2026-10-06 09:", "-", "-", "-", "2026-10-06", "-", "-"},
        {"2026-10-06 09:20:0", "-", "-", "-", "2026-10-06", "-", "-"},
        {"2026-10-06 9:20:05", "-", "-", "-", "2026-10-06", "-", "-"},
        {"2026-10-06 ", "-", "-", "-", "2026-10-06", "-", "-"},
        {"2026-10-06T", "-", "-", "-", "2026-10-06", "-", "-"},
        {"2026-10-06x", "-", "-", "-", "2026-10-06", "-", "-"},
        {"2026-10-6", "-", "-", "-", "-", "-", "-"},
        {"2026-1-06 09:20:05", "-", "-", "-", "-", "-", "-"},
        {"", "-", "-", "-", "-", "-", "-"},
        {"abcd-ef-gh", "-", "-", "-", "-", "-", "-"},
        // Separators: the loose readers take any one character, counting a UTF-8 character or an
        // ill-formed byte run as one.
        {"2026/10/06 09:20:05", "-", "-", "-", "-", "2026-10-06 09:20:05", "2026-10-06 09:20:05"},
        {"2026-10-06 09.20.05", "-", "-", "-", "2026-10-06", "2026-10-06 09:20:05", "2026-10-06 09:20:05"},
        {"2026년10월06일09시20분05", "-", "-", "-", "-", "2026-10-06 09:20:05", "2026-10-06 09:20:05"},
        {"2026\xFF"
         "10\xFF"
         "06 09:20:05",
         "-", "-", "-", "-", "2026-10-06 09:20:05", "2026-10-06 09:20:05"},
        {"2026\xE0\xA0"
         "10-06 09:20:05",
         "-", "-", "-", "-", "2026-10-06 09:20:05", "2026-10-06 09:20:05"},
        {"2026-10-06 09:20:05 년", "-", "-", "-", "2026-10-06", "2026-10-06 09:20:05", "2026-10-06 09:20:05"},
        // No reader skips a byte-order mark or blanks itself.
        {"\xEF\xBB\xBF"
         "2026-10-06 09:20:05",
         "-", "-", "-", "-", "-", "-"},
        {"\xEF\xBB\xBF"
         "2026-10-06",
         "-", "-", "-", "-", "-", "-"},
        {" 2026-10-06 09:20:05", "-", "-", "-", "-", "-", "-"},
        {"2026- 1-06 09:20:05", "-", "-", "-", "-", "-", "-"},
        // Signs: the loose readers and policy dates read a field as a signed number.
        {"2026-+1-06 -0:+5:05", "-", "-", "-", "2026-01-06", "2026-01-06 00:05:05", "2026-01-06 00:05:05"},
        {"+999-01-01T00:00:00Z", "-", "-", "-", "-", "-", "0999-01-01 09:00:00"},
        {"2026-10--1 09:20:05", "-", "-", "-", "-", "-", "-"},
        {"2026-10-06 -1:20:05", "-", "-", "-", "2026-10-06", "-", "-"},
        // Calendar and clock ranges.
        {"2026-02-29 12:00:00", "-", "-", "-", "-", "-", "-"},
        {"2024-02-29 12:00:00", "-", "2024-02-29 12:00:00", "2024-02-29 12:00:00", "2024-02-29",
         "2024-02-29 12:00:00", "2024-02-29 12:00:00"},
        {"2000-02-29 00:00:00", "-", "2000-02-29", "2000-02-29", "2000-02-29", "2000-02-29", "2000-02-29"},
        {"2100-02-29", "-", "-", "-", "-", "-", "-"},
        {"2026-13-01 00:00:00", "-", "-", "-", "-", "-", "-"},
        {"2026-00-10", "-", "-", "-", "-", "-", "-"},
        {"2026-10-00", "-", "-", "-", "-", "-", "-"},
        {"2026-10-32", "-", "-", "-", "-", "-", "-"},
        {"2026-10-06 24:00:00", "-", "-", "-", "2026-10-06", "-", "-"},
        {"2026-10-06 23:60:00", "-", "-", "-", "2026-10-06", "-", "-"},
        {"2026-10-06 23:59:60", "-", "-", "-", "2026-10-06", "-", "-"},
        {"2026-10-06 23:59:59", "-", "2026-10-06 23:59:59", "2026-10-06 23:59:59", "2026-10-06",
         "2026-10-06 23:59:59", "2026-10-06 23:59:59"},
        // Years: the spool's stamps and policy dates start at 2000.
        {"1999-12-31 23:59:59", "-", "1999-12-31 23:59:59", "1999-12-31 23:59:59", "-", "-",
         "1999-12-31 23:59:59"},
        {"1999-12-31", "1999-12-31", "-", "1999-12-31", "-", "-", "-"},
        {"2000-01-01 00:00:00", "-", "2000-01-01", "2000-01-01", "2000-01-01", "2000-01-01", "2000-01-01"},
        {"2000-01-01", "2000-01-01", "-", "2000-01-01", "2000-01-01", "-", "-"},
        {"0001-01-01 00:00:00", "-", "0001-01-01", "0001-01-01", "-", "-", "0001-01-01"},
        {"0000-01-01 00:00:00", "-", "-", "-", "-", "-", "-"},
        {"9999-12-31 23:59:59", "-", "9999-12-31 23:59:59", "9999-12-31 23:59:59", "9999-12-31",
         "9999-12-31 23:59:59", "9999-12-31 23:59:59"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Text);
        TDateTime t = -1;
        const bool day = ParseDay(c.Text, t);
        EXPECT_EQ(Shown(day, t), c.Day);
        if (!day) {
            EXPECT_EQ(t, -1) << "a refused text leaves the result alone";
        }
        t = -1;
        const bool stamp = ParseStampText(c.Text, t);
        EXPECT_EQ(Shown(stamp, t), c.StampText);
        if (!stamp) {
            EXPECT_EQ(t, -1);
        }
        t = -1;
        const bool db = ParseDbStamp(c.Text, t);
        EXPECT_EQ(Shown(db, t), c.Db);
        if (!db) {
            EXPECT_EQ(t, -1);
        }
        t = ParsePolicyDate(c.Text);
        EXPECT_EQ(Shown(t != 0, t), c.Policy);
        t = ParseStamp(c.Text);
        EXPECT_EQ(Shown(t != 0, t), c.Spool);
        t = ParseSoldAt(c.Text);
        EXPECT_EQ(Shown(t != 0, t), c.SoldAt);
    }
}

TEST(ParsePolicyDateTest, AcceptsOnlyRealDatesFromTheYear2000) {
    struct Case {
        const char* Text;
        TDateTime Want;
    } const cases[] = {
        {"2025-09-01", EncodeDate(2025, 9, 1)},
        {"2025-09-01T00:00:00+09:00", EncodeDate(2025, 9, 1)},
        {"2025-09-01 아무 글", EncodeDate(2025, 9, 1)},
        {"2024-02-29", EncodeDate(2024, 2, 29)},
        {"2000-01-01", EncodeDate(2000, 1, 1)},
        {"2025-9-1", 0},
        {"1999-12-31", 0},
        {"2025-02-30", 0},
        {"2025-13-01", 0},
        {"2025-00-10", 0},
        {"2025/09/01", 0},
        {"2025-09-0", 0},
        {"abcd-ef-gh", 0},
        {"", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Text);
        EXPECT_EQ(ParsePolicyDate(c.Text), c.Want);
    }
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
