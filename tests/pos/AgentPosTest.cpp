// The POS reader against a real SQLite POS file through the SQLite3 ODBC driver.
#include "pos/AgentPos.h"

#include "PosFixture.h"
#include "common/Text.h"
#include "store/AgentLog.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace pavona {

namespace {

TQueryRun RunOf(const std::string& name) {
    for (const TQueryRun& r : QueryRuns())
        if (r.Name == name) return r;
    return {};
}

TDateTime At(int day, int h, int m, int s = 0, int ms = 0) {
    return EncodeDateTime(2026, 10, day, h, m, s, ms);
}

class PosReaderTest : public test::TempDataTest {
  protected:
    void SetUp() override {
        FPath = FRoot.File("pos.db");
        std::string error;
        ASSERT_TRUE(test::MakeFixturePos(FPath, error)) << error;
        const Result<> connected = FReader.Connect(test::FixtureConnStr(FPath));
        ASSERT_TRUE(connected.Ok()) << connected.Error();
        ASSERT_EQ(FReader.Dialect(), TPosDialect::Sqlite);
    }

    std::string FPath;
    TPosReader FReader;
};

} // namespace

TEST_F(PosReaderTest, SalesLinesMapsEveryColumnInReceiptAndLineOrderWithNullsAsZero) {
    const Result<std::vector<TSalesRow>> read = FReader.SalesLines(At(6, 9, 0), At(6, 10, 50));
    ASSERT_TRUE(read.Ok()) << read.Error();
    const std::vector<TSalesRow>& rows = read.Value();
    struct Want {
        const char* ord;
        int seq, kind;
        const char* goods;
        std::int64_t coupon, qty, price, dc;
        int stype;
        std::int64_t unitQty;
        TDateTime soldAt;
        std::int64_t reg;
        int regType;
        const char *name, *barcode;
        std::int64_t member;
    } want[] = {
        {"1001", 1, 0, "11", 0, 2, 6000, 100, 0, 1, At(6, 9, 0), 1, 1, "사과", "8801234500011", 0},
        {"1001", 2, 1, "0", 7001, 1, -1200, 0, 0, 1, At(6, 9, 0), 1, 1, "", "", 0},
        {"1001", 3, 0, "99", 0, 150, 500, 0, 2, 100, At(6, 9, 0), 1, 1, "", "", 0},
        {"1002", 1, 0, "12", 0, 1, 3000, 0, 0, 1, At(6, 10, 49, 59, 997), 2, 0, "배", "8801234500028", 555},
        {"1002", 2, 1, "0", 7002, 1, -300, 0, 0, 1, At(6, 10, 49, 59, 997), 2, 0, "", "", 555},
        {"1005", 1, 0, "13", 0, 1, 2000, 0, 0, 0, At(6, 9, 30, 0, 500), 3, 1, "청사과", "", 0},
    };
    ASSERT_EQ(rows.size(), std::size(want));
    for (size_t i = 0; i < rows.size(); ++i) {
        const TSalesRow& r = rows[i];
        const Want& w = want[i];
        SCOPED_TRACE(std::string(w.ord) + ":" + std::to_string(w.seq));
        EXPECT_EQ(r.Raw.OrdCode, w.ord);
        EXPECT_EQ(r.Raw.Seq, w.seq);
        EXPECT_EQ(r.Raw.Kind, w.kind);
        EXPECT_EQ(r.Raw.Goods, w.goods);
        EXPECT_EQ(r.Raw.Coupon, w.coupon);
        EXPECT_EQ(r.Raw.Qty, w.qty);
        EXPECT_EQ(r.Raw.Price, w.price);
        EXPECT_EQ(r.Raw.Dc, w.dc);
        EXPECT_EQ(r.Raw.Stype, w.stype);
        EXPECT_EQ(r.Raw.UnitQty, w.unitQty);
        EXPECT_EQ(ToMSecs(r.SoldAt), ToMSecs(w.soldAt));
        EXPECT_EQ(r.RegisterCode, w.reg);
        EXPECT_EQ(r.RegType, w.regType);
        EXPECT_EQ(r.ItemName, w.name);
        EXPECT_EQ(r.Barcode, w.barcode);
        EXPECT_EQ(r.MemberCode, w.member);
        EXPECT_EQ(r.Origin, 0);
    }
    const TQueryRun run = RunOf(SQL_SALES);
    EXPECT_EQ(run.Rows, 6);
    EXPECT_EQ(run.Error, "");
    EXPECT_EQ(run.Params, "p1=2026-10-06 09:00:00  p2=2026-10-06 10:50:00");
    // The text that ran is the SQLite form, not the catalogue's.
    EXPECT_NE(run.Sql.find("julianday(h.ord_date) >= julianday(:p1)"), std::string::npos);
}

TEST_F(PosReaderTest, HalfOpenWindowsAreExactAtBothBoundsWhateverTheStoredForm) {
    struct Case {
        TDateTime from, to;
        std::vector<std::string> ords; // one entry per receipt, in order
    } cases[] = {
        {At(6, 9, 0), At(6, 10, 50), {"1001", "1002", "1005"}},
        {At(6, 8, 59, 59, 997), At(6, 9, 0), {"1000"}},         // ends just before a row stored as 09:00:00
        {At(6, 10, 49, 59, 997), At(6, 10, 50), {"1002"}},      // starts exactly at a row with a fraction
        {At(6, 10, 50), At(6, 11, 0), {"1003"}},                // starts exactly at a row stored without one
        {At(6, 9, 30, 0, 500), At(6, 9, 30, 0, 501), {"1005"}}, // one millisecond, a "T" form row
        {At(6, 9, 30, 0, 501), At(6, 10, 49, 59, 997), {}},
        {At(7, 0, 0), At(8, 0, 0), {}},
    };
    for (const Case& c : cases) {
        const Result<std::vector<TSalesRow>> read = FReader.SalesLines(c.from, c.to);
        ASSERT_TRUE(read.Ok()) << read.Error();
        const std::vector<TSalesRow>& rows = read.Value();
        std::vector<std::string> ords;
        for (const TSalesRow& r : rows)
            if (ords.empty() || ords.back() != r.Raw.OrdCode) ords.push_back(r.Raw.OrdCode);
        EXPECT_EQ(ords, c.ords) << FormatStamp(c.from) << " .. " << FormatStamp(c.to);
    }
    // An empty window is a run like any other, recorded with 0 rows.
    EXPECT_EQ(RunOf(SQL_SALES).Rows, 0);
    EXPECT_EQ(RunOf(SQL_SALES).Params, "p1=2026-10-07 00:00:00  p2=2026-10-08 00:00:00");
}

TEST_F(PosReaderTest, CancelLinesAndReadBackReceipts) {
    const Result<std::vector<TCancelRow>> cancelsRead = FReader.CancelLines(At(6, 12, 0), At(6, 13, 0));
    ASSERT_TRUE(cancelsRead.Ok()) << cancelsRead.Error();
    const std::vector<TCancelRow>& cancels = cancelsRead.Value();
    ASSERT_EQ(cancels.size(), 2u);
    for (const TCancelRow& c : cancels) {
        EXPECT_EQ(c.CancelCode, 501);
        EXPECT_EQ(c.OrdCode, 1001);
        EXPECT_EQ(c.Raw.OrdCode, "1001");
        EXPECT_EQ(ToMSecs(c.CanceledAtLocal), ToMSecs(At(6, 12, 0)));
        EXPECT_EQ(c.RegisterCode, 1);
        EXPECT_EQ(c.Raw.Dc, 0);
        EXPECT_EQ(c.Raw.Stype, 0);
        EXPECT_EQ(c.Raw.UnitQty, 0);
    }
    EXPECT_EQ(cancels[0].Raw.Seq, 1);
    EXPECT_EQ(cancels[0].Raw.Goods, "11");
    EXPECT_EQ(cancels[0].Raw.Qty, 2);
    EXPECT_EQ(cancels[0].Raw.Price, 6000);
    EXPECT_EQ(cancels[1].Raw.Seq, 3);

    const Result<std::vector<TOriginRow>> originRead = FReader.SalesLinesByOrd({1001, 1004, 1002});
    ASSERT_TRUE(originRead.Ok()) << originRead.Error();
    const std::vector<TOriginRow>& origin = originRead.Value();
    std::vector<std::string> keys;
    for (const TOriginRow& o : origin)
        keys.push_back(o.Raw.OrdCode + ":" + std::to_string(o.Raw.Seq) + (o.IsRefund ? "R" : ""));
    EXPECT_EQ(keys, (std::vector<std::string>{"1001:1", "1001:2", "1001:3", "1002:1", "1002:2", "1004:1R"}));
    EXPECT_EQ(origin[0].Raw.Dc, 100);
    EXPECT_EQ(origin[0].Raw.Stype, 0); // not read by this statement
    EXPECT_EQ(origin[1].Raw.Coupon, 7001);
    EXPECT_EQ(origin[5].Raw.Price, -3000);
    const TQueryRun run = RunOf(SQL_SALES_BY_ORD);
    EXPECT_EQ(run.Params, "o0=1001  o1=1004  o2=1002");
    EXPECT_NE(run.Sql.find("WHERE h.ord_code IN (:o0,:o1,:o2)"), std::string::npos);
}

TEST_F(PosReaderTest, CouponMasterSubsidyAndLinks) {
    const Result<std::vector<TCouponRow>> couponsRead = FReader.CouponMaster(At(6, 9, 0), At(6, 10, 50));
    ASSERT_TRUE(couponsRead.Ok()) << couponsRead.Error();
    const std::vector<TCouponRow>& coupons = couponsRead.Value();
    ASSERT_EQ(coupons.size(), 2u); // 7003 is used only on the receipt at the upper bound
    EXPECT_EQ(coupons[0].Code, 7001);
    EXPECT_EQ(coupons[0].Title, "농할 20%");
    EXPECT_EQ(coupons[0].CouponType, 1);
    EXPECT_EQ(coupons[0].Options, 3);
    EXPECT_EQ(coupons[0].LimitAmount, 10000);
    EXPECT_EQ(coupons[0].LimitCycleType, 1);
    EXPECT_EQ(coupons[0].LimitCycle, 7);
    EXPECT_EQ(coupons[0].SponsorName, "농협");
    EXPECT_EQ(coupons[1].Code, 7002);
    EXPECT_EQ(coupons[1].SponsorName, ""); // sponsor code without a sponsor row

    struct Case {
        std::vector<std::int64_t> codes;
        std::int64_t total;
    } cases[] = {{{7001, 7002}, 1500}, {{7001}, 1200}, {{7003}, 0}, {{4242}, 0}};
    for (const Case& c : cases) {
        const Result<std::int64_t> total = FReader.SubsidyTotal(At(6, 9, 0), At(6, 10, 50), c.codes);
        ASSERT_TRUE(total.Ok()) << total.Error();
        EXPECT_EQ(total.Value(), c.total) << c.codes.size();
    }

    Result<std::vector<TLinkRow>> linksRead = FReader.CouponLinks({7001, 7002});
    ASSERT_TRUE(linksRead.Ok()) << linksRead.Error();
    std::vector<TLinkRow> links = std::move(linksRead).Value();
    std::sort(links.begin(), links.end(), [](const TLinkRow& a, const TLinkRow& b) {
        return std::tie(a.CouponCode, a.GoodsCode) < std::tie(b.CouponCode, b.GoodsCode);
    });
    ASSERT_EQ(links.size(), 3u);
    EXPECT_EQ(links[0].CouponCode, 7001);
    EXPECT_EQ(links[0].GoodsCode, "11");
    EXPECT_EQ(links[0].Rate, 20);
    EXPECT_EQ(links[0].Cap, 10000);
    EXPECT_EQ(ToMSecs(links[0].EndsOn), ToMSecs(EncodeDate(2026, 12, 31)));
    EXPECT_FALSE(links[0].ViaGroup);
    for (int i : {1, 2}) {
        EXPECT_EQ(links[i].CouponCode, 7002);
        EXPECT_EQ(links[i].Rate, -1); // an amount coupon
        EXPECT_EQ(links[i].Cap, 5000);
        EXPECT_EQ(links[i].EndsOn, 0);
        EXPECT_TRUE(links[i].ViaGroup);
    }
    EXPECT_EQ(links[1].GoodsCode, "12");
    EXPECT_EQ(links[2].GoodsCode, "13");
    EXPECT_NE(RunOf(SQL_LINKS).Sql.find("c.cp_code IN (7001,7002) AND c.cp_group <> 0"), std::string::npos);
}

TEST_F(PosReaderTest, GoodsSearchAndGoodsByCodes) {
    Result<std::vector<TGoodsRow>> read = FReader.GoodsList("  사과 ", 0);
    ASSERT_TRUE(read.Ok()) << read.Error();
    std::vector<TGoodsRow> goods = read.Value();
    ASSERT_EQ(goods.size(), 2u); // the stopped 사과즙 is not listed
    EXPECT_EQ(goods[0].Code, "11");
    EXPECT_EQ(goods[0].Name, "사과");
    EXPECT_EQ(goods[0].Barcode, "8801234500011");
    EXPECT_EQ(goods[0].Spec, "1kg");
    EXPECT_TRUE(goods[0].Active);
    EXPECT_EQ(goods[1].Name, "청사과");
    EXPECT_EQ(goods[1].Barcode, "");
    EXPECT_EQ(RunOf(SQL_GOODS).Params, "p1=사과  p2=%사과%");
    EXPECT_TRUE(EndsWith(RunOf(SQL_GOODS).Sql, " LIMIT 500"));

    read = FReader.GoodsList("", 2);
    ASSERT_TRUE(read.Ok()) << read.Error();
    goods = read.Value();
    ASSERT_EQ(goods.size(), 2u);
    EXPECT_EQ(goods[0].Name, "배");
    EXPECT_EQ(goods[1].Name, "사과");

    read = FReader.GoodsByCodes({" 0012", "A17", ""});
    ASSERT_TRUE(read.Ok()) << read.Error();
    goods = read.Value();
    ASSERT_EQ(goods.size(), 1u);
    EXPECT_EQ(goods[0].Code, "12");
    EXPECT_EQ(goods[0].Name, "배");
    EXPECT_EQ(goods[0].Spec, "");
    EXPECT_TRUE(goods[0].Active); // status NULL
    EXPECT_NE(RunOf(SQL_GOODS_BY_CODES).Sql.find("WHERE g.goods_code IN (12)"), std::string::npos);
    read = FReader.GoodsByCodes({"14"});
    ASSERT_TRUE(read.Ok()) << read.Error();
    goods = read.Value();
    ASSERT_EQ(goods.size(), 1u);
    EXPECT_FALSE(goods[0].Active);
}

TEST_F(PosReaderTest, DailyReportableGivesOneEntryPerDayAndRegistersTheirLastSale) {
    const Result<std::vector<TDayCount>> daysRead =
        FReader.DailyReportable({EncodeDate(2026, 10, 6), EncodeDate(2026, 10, 7), EncodeDate(2026, 10, 8)});
    ASSERT_TRUE(daysRead.Ok()) << daysRead.Error();
    const std::vector<TDayCount>& days = daysRead.Value();
    ASSERT_EQ(days.size(), 3u);
    EXPECT_EQ(days[0].Day, "2026-10-06");
    EXPECT_EQ(days[0].Lines, 6);
    EXPECT_EQ(days[0].Amount, 13500);
    EXPECT_EQ(days[1].Day, "2026-10-07");
    EXPECT_EQ(days[1].Lines, 0);
    EXPECT_EQ(days[1].Amount, 0);
    EXPECT_EQ(days[2].Day, "2026-10-08"); // a return, a zero quantity and a negative amount don't count
    EXPECT_EQ(days[2].Lines, 1);
    EXPECT_EQ(days[2].Amount, 700);
    EXPECT_EQ(RunOf(SQL_DAILY_REPORTABLE).Params, "p1=2026-10-06 00:00:00  p2=2026-10-09 00:00:00");

    const Result<std::vector<TRegisterSeen>> seenRead = FReader.LastSeenByRegister(At(6, 9, 0));
    ASSERT_TRUE(seenRead.Ok()) << seenRead.Error();
    const std::vector<TRegisterSeen>& seen = seenRead.Value();
    ASSERT_EQ(seen.size(), 3u);
    const std::pair<std::int64_t, std::int64_t> counts[] = {{1, 3}, {2, 2}, {3, 1}};
    const TDateTime last[] = {At(8, 12, 0), At(8, 11, 0), At(6, 9, 30, 0, 500)};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(seen[i].Code, counts[i].first);
        EXPECT_EQ(seen[i].OrdCount, counts[i].second);
        EXPECT_EQ(ToMSecs(seen[i].LastSoldAt), ToMSecs(last[i])) << i;
    }
}

TEST_F(PosReaderTest, FingerprintListsTheEightTablesColumnsByNameWithoutOtherTables) {
    const Result<std::vector<TColumnInfo>> read = FReader.Fingerprint();
    ASSERT_TRUE(read.Ok()) << read.Error();
    const std::vector<TColumnInfo>& cols = read.Value();
    ASSERT_EQ(cols.size(), 50u);
    std::vector<std::string> tables;
    for (const TColumnInfo& c : cols)
        if (tables.empty() || tables.back() != c.TableName) tables.push_back(c.TableName);
    EXPECT_EQ(tables, (std::vector<std::string>{"coupon", "couponsponsor", "goods", "Ord", "ordcancel",
                                                "Ordd", "orddcancel", "promotiongoods"}));
    EXPECT_EQ(cols[0].ColumnName, "cp_code");
    EXPECT_EQ(cols[0].DataType, "bigint");
    EXPECT_EQ(cols[0].Nullable, "NO");
    const auto find = [&](const char* column) {
        for (const TColumnInfo& c : cols)
            if (c.ColumnName == column) return c;
        return TColumnInfo{};
    };
    EXPECT_EQ(find("goods_name").DataType, "char");
    EXPECT_EQ(find("goods_name").Nullable, "YES");
    EXPECT_EQ(find("cp_title").DataType, "varchar");
    EXPECT_EQ(find("ordd_price").DataType, "decimal");
    EXPECT_EQ(find("ord_date").Nullable, "NO");
    EXPECT_EQ(find("mem_code").TableName, "");
}

TEST_F(PosReaderTest, EmptyInputsRunNothingAndRecordNothing) {
    const int before[] = {RunOf(SQL_SALES_BY_ORD).Count, RunOf(SQL_SUBSIDY).Count,
                          RunOf(SQL_GOODS_BY_CODES).Count, RunOf(SQL_DAILY_REPORTABLE).Count,
                          RunOf(SQL_LINKS).Count};
    const Result<std::vector<TOriginRow>> origin = FReader.SalesLinesByOrd({});
    const Result<std::int64_t> total = FReader.SubsidyTotal(At(6, 0, 0), At(7, 0, 0), {});
    const Result<std::vector<TGoodsRow>> goods = FReader.GoodsByCodes({"A17", "", " x1"});
    const Result<std::vector<TDayCount>> days = FReader.DailyReportable({});
    const Result<std::vector<TLinkRow>> links = FReader.CouponLinks({});
    ASSERT_TRUE(origin.Ok()) << origin.Error();
    ASSERT_TRUE(total.Ok()) << total.Error();
    ASSERT_TRUE(goods.Ok()) << goods.Error();
    ASSERT_TRUE(days.Ok()) << days.Error();
    ASSERT_TRUE(links.Ok()) << links.Error();
    EXPECT_TRUE(origin.Value().empty() && goods.Value().empty() && days.Value().empty() &&
                links.Value().empty());
    EXPECT_EQ(total.Value(), 0);
    const int after[] = {RunOf(SQL_SALES_BY_ORD).Count, RunOf(SQL_SUBSIDY).Count,
                         RunOf(SQL_GOODS_BY_CODES).Count, RunOf(SQL_DAILY_REPORTABLE).Count,
                         RunOf(SQL_LINKS).Count};
    EXPECT_TRUE(std::equal(std::begin(before), std::end(before), std::begin(after)));
}

TEST_F(PosReaderTest, AFailingStatementIsRecordedWithItsErrorAndLeavesTheReaderUsable) {
    std::string error;
    ASSERT_TRUE(test::RunFixtureSql(FPath, "ALTER TABLE goods DROP COLUMN goods_bcode", error)) << error;
    const int count = RunOf(SQL_SALES).Count;
    const Result<std::vector<TSalesRow>> rows = FReader.SalesLines(At(6, 9, 0), At(6, 10, 50));
    EXPECT_FALSE(rows.Ok()); // and so no rows at all
    EXPECT_NE(rows.Error().find("goods_bcode"), std::string::npos) << rows.Error();
    const TQueryRun run = RunOf(SQL_SALES);
    EXPECT_EQ(run.Rows, -1);
    EXPECT_EQ(run.Error, rows.Error());
    EXPECT_EQ(run.Count, count + 1);

    const Result<std::vector<TCouponRow>> coupons = FReader.CouponMaster(At(6, 9, 0), At(6, 10, 50));
    ASSERT_TRUE(coupons.Ok()) << coupons.Error();
    EXPECT_EQ(coupons.Value().size(), 2u);
    const Result<> connected = FReader.Connect(test::FixtureConnStr(FPath));
    ASSERT_TRUE(connected.Ok()) << connected.Error();
}

} // namespace pavona
