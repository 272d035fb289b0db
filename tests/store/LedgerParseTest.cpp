// The ledger's readers of the spooled JSON texts: member values, sale times, money, whole lines.
#include "store/AgentLedger.h"

#include "common/DateTime.h"
#include "pos/AgentReport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace pavona {
namespace {

TEST(LedgerParse, ParseSoldAtReadsUtcAsKoreanLocalTime) {
    struct Case {
        const char* Text;
        TDateTime Want;
    };
    const Case cases[] = {
        {"2026-10-06T15:30:00Z", EncodeDateTime(2026, 10, 7, 0, 30, 0)}, // UTC afternoon: next local day
        {"2026-10-06T00:30:15Z", EncodeDateTime(2026, 10, 6, 9, 30, 15)},
        {"2026-12-31T20:00:00Z", EncodeDateTime(2027, 1, 1, 5, 0, 0)},      // across the year
        {"2026-10-06T15:30:00", EncodeDateTime(2026, 10, 6, 15, 30, 0)},    // no "Z": local already
        {"2026-10-06 15:30:00+09", EncodeDateTime(2026, 10, 6, 15, 30, 0)}, // only a "Z" means UTC
        {"2026/10/06-15.30.00Z", EncodeDateTime(2026, 10, 7, 0, 30, 0)},    // separators not checked
        {"2024-02-29T01:02:03", EncodeDateTime(2024, 2, 29, 1, 2, 3)},
        {"2026-02-29T01:02:03Z", 0}, // no such day
        {"2026-13-01T00:00:00Z", 0},
        {"2026-10-06T24:00:00Z", 0},
        {"2026-10-06T23:60:00Z", 0},
        {"2026-10-06T23:59:60Z", 0},
        {"2026-1x-06T10:00:00Z", 0},                                        // a part that is no number
        {"2026-10-06T10:00:0", 0},                                          // too short
        {"9999-12-31T14:59:59Z", EncodeDateTime(9999, 12, 31, 23, 59, 59)}, // the calendar's last second
        {"9999-12-31T15:00:00Z", 0},                                        // a local day after the year 9999
        {"0001-01-01T00:00:00Z", EncodeDateTime(1, 1, 1, 9, 0, 0)},
        {"", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ToMSecs(ParseSoldAt(c.Text)), ToMSecs(c.Want)) << c.Text;
    // What the report encoder writes comes back as the local time it was given.
    const TDateTime local = EncodeDateTime(2026, 10, 6, 5, 0, 0);
    EXPECT_EQ(ToMSecs(ParseSoldAt(UtcStamp(local))), ToMSecs(local));
}

TEST(LedgerParse, ParseMoneyWholeDecimalAndNothing) {
    struct Case {
        const char* Text;
        std::int64_t Want;
    };
    const Case cases[] = {
        {"600", 600},
        {"-5", -5},
        {"0", 0},
        {"9223372036854775807", std::numeric_limits<std::int64_t>::max()},
        {"-9223372036854775808", std::numeric_limits<std::int64_t>::min()},
        {"2.5", 2}, // ties go to the even neighbour
        {"3.5", 4},
        {"-2.5", -2},
        {"1.49", 1},
        {"1.51", 2},
        {"1e3", 1000},
        {"99999999999999999999", 0}, // no 64-bit amount
        {"1e30", 0},
        {"", 0},
        {"abc", 0},
        {"1,000", 0},
        {" 5", 0},
        {"nan", 0},
        {"inf", 0},
        {"null", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseMoney(c.Text), c.Want) << c.Text;
}

TEST(LedgerParse, JsonFieldTextReadsOneMember) {
    const std::string payload =
        R"({"tx_key":"7:1","amount":3000,"discount_amount": 600 ,"name":"a\"b\\c\/d\te\u00e9\ud83d\ude00",)"
        R"("bad":"x\uZZ12y","lone":"\udc00","member_no":null,"empty":"","neg":-5})";
    struct Case {
        const char* Name;
        std::string Want;
    };
    const Case cases[] = {
        {"tx_key", "7:1"},
        {"amount", "3000"}, // "discount_amount" holds the same word but is another member
        {"discount_amount", "600"},
        {"name", "a\"b\\c/d\te\xC3\xA9\xF0\x9F\x98\x80"},
        {"bad", "x?y"},
        {"lone", "\xEF\xBF\xBD"},
        {"member_no", ""},
        {"empty", ""},
        {"neg", "-5"},
        {"missing", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(JsonFieldText(payload, c.Name), c.Want) << c.Name;
    // A value cut off by a torn write ends where the text ends; bytes that are not UTF-8 are replaced.
    EXPECT_EQ(JsonFieldText(R"({"n":"ab)", "n"), "ab");
    EXPECT_EQ(JsonFieldText("{\"n\":\"a\xFF\"}", "n"), "a\xEF\xBF\xBD");
}

TEST(LedgerParse, ParseLedgerLineReadsWhatTheEncoderWrote) {
    TReportLine r;
    r.TxKey = MakeTxKey("731", 3);
    r.SoldAtLocal = EncodeDateTime(2026, 10, 6, 9, 30, 15);
    r.VendorItemCode = "512";
    r.VendorItemName = "대파 \"특\"";
    r.Barcode = "880";
    r.Quantity = 1.5;
    r.UnitPrice = 2000;
    r.Amount = 3000;
    r.DiscountAmount = 600;
    r.MemberNo = "42";
    r.PosNo = "2";
    r.ReceiptNo = "731";
    r.HasOwnDiscount = true;
    r.OwnDiscount = 300;
    TLedgerLine l;
    ASSERT_TRUE(ParseLedgerLine(r.TxKey + "\t123\t" + LineJson(r) + "\r", l));
    EXPECT_EQ(l.Key, "731:3");
    EXPECT_EQ(ToMSecs(l.SoldAt), ToMSecs(r.SoldAtLocal));
    EXPECT_EQ(l.Receipt, "731");
    EXPECT_EQ(l.PosNo, "2");
    EXPECT_EQ(l.Code, "512");
    EXPECT_EQ(l.Name, "대파 \"특\"");
    EXPECT_EQ(l.Barcode, "880");
    EXPECT_EQ(l.Member, "42");
    EXPECT_DOUBLE_EQ(l.Qty, 1.5);
    EXPECT_EQ(l.UnitPrice, 2000);
    EXPECT_EQ(l.Amount, 3000);
    EXPECT_EQ(l.Discount, 600);
    EXPECT_EQ(l.OwnDiscount, 300);
    EXPECT_FALSE(l.Sent);
    EXPECT_FALSE(l.Voided);

    // Members left out by the encoder read as empty or 0.
    r.HasOwnDiscount = false;
    r.MemberNo.clear();
    ASSERT_TRUE(ParseLedgerLine("k\t1\t" + LineJson(r), l));
    EXPECT_EQ(l.OwnDiscount, 0);
    EXPECT_EQ(l.Member, "");

    const std::string bad[] = {
        "k\t1",                                         // one tab only
        "k" + LineJson(r),                              // no tabs
        "k\t1\t[" + LineJson(r) + "]",                  // payload not an object
        "k\t1\t{\"tx_key\":\"k\",\"amount\":5}",        // no sale time
        "k\t1\t{\"sold_at\":\"2026-02-30T00:00:00Z\"}", // invalid sale time
    };
    for (const std::string& line : bad)
        EXPECT_FALSE(ParseLedgerLine(line, l)) << line;
}

} // namespace
} // namespace pavona
