#include "pos/OdbcValue.h"
#include "pos/OdbcQuery.h"

#include <gtest/gtest.h>

namespace pavona {

TEST(OdbcValue, DateTimeTextsInTheFormsDatabasesWrite) {
    struct Case {
        std::string text;
        bool ok;
        TDateTime want;
    } cases[] = {
        {"2026-10-06 09:00:00", true, EncodeDateTime(2026, 10, 6, 9, 0, 0)},
        {"2026-10-06 09:00:00.000", true, EncodeDateTime(2026, 10, 6, 9, 0, 0)},
        {"2026-10-06T10:49:59.997", true, EncodeDateTime(2026, 10, 6, 10, 49, 59, 997)},
        {"2026-10-06 10:49:59.9975", true, EncodeDateTime(2026, 10, 6, 10, 49, 59, 998)},
        {"2026-10-06 23:59:59.9999999", true, EncodeDateTime(2026, 10, 7, 0, 0, 0)},
        {"2026-10-06 09:05", true, EncodeDateTime(2026, 10, 6, 9, 5, 0)},
        {"2026-10-06", true, EncodeDate(2026, 10, 6)},
        {"2026-02-30 09:00:00", false, 0},
        {"2026-10-06 24:00:00", false, 0},
        {"2026-10-06 09:00:00.", false, 0},
        {"2026-10-06 09:00:00Z", false, 0},
        {"06/10/2026", false, 0},
        {"", false, 0},
    };
    for (const Case& c : cases) {
        TDateTime t = -1;
        EXPECT_EQ(ParseDbStamp(c.text, t), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(ToMSecs(t), ToMSecs(c.want)) << c.text;
        }
        EXPECT_EQ(ToMSecs(TOdbcValue::OfText(c.text).AsDateTime()), ToMSecs(c.want)) << c.text;
    }
    EXPECT_EQ(TOdbcValue{}.AsDateTime(), 0);
    EXPECT_EQ(TOdbcValue::OfInt(5).AsDateTime(), 0);
}

TEST(OdbcValue, NumbersFromIntegersAndTextsNullIsZeroOrEmpty) {
    struct Case {
        TOdbcValue v;
        std::int64_t asInt;
        std::string asText;
    } cases[] = {
        {TOdbcValue{}, 0, ""},
        {TOdbcValue::OfInt(-9007199254740993), -9007199254740993, "-9007199254740993"},
        {TOdbcValue::OfText("1200.00"), 1200, "1200.00"},
        {TOdbcValue::OfText("-1200.50"), -1200, "-1200.50"},
        {TOdbcValue::OfText(" 42 "), 42, " 42 "},
        {TOdbcValue::OfText("12a"), 0, "12a"},
        {TOdbcValue::OfText("."), 0, "."},
        {TOdbcValue::OfText("1.2e3"), 0, "1.2e3"},
        {TOdbcValue::OfStamp(EncodeDateTime(2026, 10, 6, 9, 0, 0)), 0, "2026-10-06 09:00:00"},
        {TOdbcValue::OfStamp(EncodeDateTime(2026, 10, 6, 9, 0, 0, 7)), 0, "2026-10-06 09:00:00.007"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.v.AsInt64(), c.asInt) << c.asText;
        EXPECT_EQ(c.v.AsText(), c.asText);
    }
}

TEST(OdbcQuery, NamedParametersBecomePositionalOutsideQuotesAndComments) {
    struct Case {
        std::string in, out;
        std::vector<std::string> names;
    } cases[] = {
        {"WHERE a >= :p1 AND a < :p2", "WHERE a >= ? AND a < ?", {"p1", "p2"}},
        {"IN (:o0,:o1,:o2)", "IN (?,?,?)", {"o0", "o1", "o2"}},
        {"(:p1 = '' OR n LIKE :p2)", "(? = '' OR n LIKE ?)", {"p1", "p2"}},
        {"x = ':p9' AND y = 'it''s :p8' AND z = :p1", "x = ':p9' AND y = 'it''s :p8' AND z = ?", {"p1"}},
        {"[a:b] = \"c:d\" -- :p3\r\n/* :p4 */ :p1::int",
         "[a:b] = \"c:d\" -- :p3\r\n/* :p4 */ ?::int",
         {"p1"}},
        {"a=:p1+:p1", "a=?+?", {"p1", "p1"}},
        {"12:30 :9 x:y", "12:30 :9 x:y", {}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> names;
        EXPECT_EQ(OdbcPositional(c.in, names), c.out) << c.in;
        EXPECT_EQ(names, c.names) << c.in;
    }
}

} // namespace pavona
