#include "pos/AgentReport.h"

#include <gtest/gtest.h>

namespace pavona {
namespace {

TReportLine ExampleLine() {
    TReportLine l;
    l.TxKey = MakeTxKey("731", 3);
    l.SoldAtLocal = EncodeDateTime(2026, 10, 6, 9, 30, 15);
    l.VendorItemCode = "512";
    l.VendorItemName = "대파";
    l.Barcode = "880";
    l.Quantity = 1;
    l.UnitPrice = 3000;
    l.Amount = 3000;
    l.DiscountAmount = 600;
    l.PosNo = std::string("2"); // assigned a literal, GCC 12 warns of an overlapping copy that is none
    l.ReceiptNo = "731";
    l.HasOwnDiscount = true;
    l.OwnDiscount = 300;
    return l;
}

TEST(LineJson, TheDocumentedLineComesOutByteForByte) {
    EXPECT_EQ(LineJson(ExampleLine()),
              R"({"tx_key":"731:3","sold_at":"2026-10-06T00:30:15Z","vendor_item_code":"512",)"
              R"("vendor_item_name":"대파","barcode":"880","quantity":1,"unit_price":3000,"amount":3000,)"
              R"("discount_amount":600,"pos_no":"2","receipt_no":"731","own_discount":300})");
}

TEST(LineJson, OptionalKeysFollowTheirFields) {
    TReportLine l = ExampleLine();
    l.PosNo.clear();
    l.ReceiptNo.clear();
    l.HasOwnDiscount = false;
    l.SoldAtLocal = 0;
    const std::string s = LineJson(l);
    EXPECT_EQ(s.find("member_no"), std::string::npos);
    EXPECT_EQ(s.find("pos_no"), std::string::npos);
    EXPECT_EQ(s.find("receipt_no"), std::string::npos);
    EXPECT_EQ(s.find("own_discount"), std::string::npos);
    EXPECT_NE(s.find(R"("sold_at":"")"), std::string::npos);

    l.HasOwnDiscount = true;
    l.OwnDiscount = 0;
    l.MemberNo = "4411";
    EXPECT_TRUE(LineJson(l).ends_with(R"("member_no":"4411","own_discount":0})"));
}

TEST(CancelJson, TheDocumentedAmendComesOutByteForByte) {
    TCancelOut o;
    o.TxKey = "731:3";
    o.Kind = "amend";
    o.HasCorrected = true;
    o.Corrected = 300;
    o.Reason = "POS 부분취소 #55";
    o.OccurredAtLocal = EncodeDateTime(2026, 10, 6, 12, 12, 0);
    EXPECT_EQ(CancelJson(o), R"({"tx_key":"731:3","kind":"amend","corrected_discount_amount":300,)"
                             R"("reason":"POS 부분취소 #55","occurred_at":"2026-10-06T03:12:00Z"})");
    o.Kind = "void";
    o.HasCorrected = false;
    EXPECT_EQ(CancelJson(o), R"({"tx_key":"731:3","kind":"void","reason":"POS 부분취소 #55",)"
                             R"("occurred_at":"2026-10-06T03:12:00Z"})");
}

TEST(CouponJson, WritesEveryKey) {
    TCouponRow row;
    row.Code = 12;
    row.Title = "농할 20%";
    row.SponsorName = std::string("aT"); // as above: a false warning of GCC 12
    row.CouponType = 1;
    row.Options = 2;
    row.LimitAmount = 10000;
    row.LimitCycleType = -1;
    TReportCoupon c{row};
    EXPECT_EQ(
        CouponJson(c),
        R"({"code":12,"title":"농할 20%","sponsor_name":"aT","type":1,"options":2,)"
        R"("limit_amount":10000,"limit_cycle_type":-1,"limit_cycle":0,"seen_lines":0,"seen_amount":0})");
    // Each counter lands in its own key.
    c.Coupon.LimitCycle = 3;
    c.SeenLines = 4;
    c.SeenAmount = 5000;
    EXPECT_EQ(
        CouponJson(c),
        R"({"code":12,"title":"농할 20%","sponsor_name":"aT","type":1,"options":2,)"
        R"("limit_amount":10000,"limit_cycle_type":-1,"limit_cycle":3,"seen_lines":4,"seen_amount":5000})");
}

TEST(UtcStamp, SubtractsNineHoursAndDropsTheFraction) {
    struct Case {
        TDateTime t;
        const char* text;
    } cases[] = {
        {0, ""},
        {EncodeDateTime(2026, 10, 6, 9, 30, 15), "2026-10-06T00:30:15Z"},
        {EncodeDateTime(2026, 10, 6, 5, 0, 0), "2026-10-05T20:00:00Z"},
        {EncodeDateTime(2026, 10, 6, 9, 30, 15, 999), "2026-10-06T00:30:15Z"},
        {EncodeDateTime(2027, 1, 1, 8, 59, 59), "2026-12-31T23:59:59Z"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(UtcStamp(c.t), c.text);
}

TEST(JsonQty, IntegersPlainFractionsShortest) {
    struct Case {
        double x;
        const char* text;
    } cases[] = {{2, "2"},
                 {3.0, "3"},
                 {2.5, "2.5"},
                 {0.25, "0.25"},
                 {1.0 / 3, "0.333333333333333"},
                 {0.1 + 0.2, "0.3"},
                 {-1.5, "-1.5"},
                 {0, "0"},
                 {123456.78, "123456.78"}};
    for (const Case& c : cases)
        EXPECT_EQ(JsonQty(c.x), c.text) << c.x;
}

TEST(MakeTxKey, TrimsTheReceiptNumberOnly) {
    EXPECT_EQ(MakeTxKey(" 77 ", 1), "77:1");
    EXPECT_EQ(MakeTxKey("731", 3), "731:3");
}

TEST(SelfTestLines, KeysCodeAndNameDefaults) {
    const TDateTime t = EncodeDateTime(2026, 10, 6, 10, 0, 0);
    EXPECT_TRUE(SelfTestLines(0, "", "", t).empty());
    const auto lines = SelfTestLines(3, " ", "", t);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], R"({"tx_key":"KESTREL-SELFTEST-20261006:1","sold_at":"2026-10-06T00:50:00Z",)"
                        R"("vendor_item_code":"SELFTEST","vendor_item_name":"왕복 시험","barcode":"",)"
                        R"("quantity":1,"unit_price":100,"amount":100,"discount_amount":0})");
    EXPECT_NE(lines[2].find("\"KESTREL-SELFTEST-20261006:3\""), std::string::npos);
    EXPECT_NE(
        SelfTestLines(1, " 512 ", "대파", t)[0].find(R"("vendor_item_code":"512","vendor_item_name":"대파")"),
        std::string::npos);
}

} // namespace
} // namespace pavona
