// The demo POS generator: same seed gives the same database, the rows have the shape the agent's
// statements expect, the summary agrees with SQL counts, and rows can be added at exact times.
#include "tools/demopos/DemoPos.h"

#include "common/Text.h"
#include "platform/Clock.h"
#include "platform/Platform.h"
#include "pos/AgentAttribute.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace pavona {
namespace {

using demopos::TDemoOptions;
using demopos::TDemoResult;

struct TDbClose {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct TFinalize {
    void operator()(sqlite3_stmt* st) const { sqlite3_finalize(st); }
};

// Every row of a query as text cells joined by "|" (NULL written as "∅").
std::vector<std::string> Rows(const std::string& path, const std::string& sql) {
    std::vector<std::string> out;
    sqlite3* rawDb = nullptr;
    EXPECT_EQ(sqlite3_open_v2(path.c_str(), &rawDb, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    // Declared first, closed last: the statement is finalized before its connection.
    const std::unique_ptr<sqlite3, TDbClose> db(rawDb);
    sqlite3_stmt* rawSt = nullptr;
    const int prepared = sqlite3_prepare_v2(db.get(), sql.c_str(), -1, &rawSt, nullptr);
    const std::unique_ptr<sqlite3_stmt, TFinalize> st(rawSt);
    if (prepared != SQLITE_OK) {
        ADD_FAILURE() << sqlite3_errmsg(db.get()) << " in " << sql;
        return out;
    }
    while (sqlite3_step(st.get()) == SQLITE_ROW) {
        std::string row;
        for (int i = 0; i < sqlite3_column_count(st.get()); ++i) {
            if (i) row += "|";
            const unsigned char* t = sqlite3_column_text(st.get(), i);
            row += t ? reinterpret_cast<const char*>(t) : "∅";
        }
        out.push_back(row);
    }
    return out;
}

std::int64_t Count(const std::string& path, const std::string& sql) {
    const auto rows = Rows(path, sql);
    return rows.size() == 1 ? StrToInt64Def(rows[0], -1) : -1;
}

const char* const kTables[] = {"Ord",    "Ordd",          "ordcancel", "orddcancel",
                               "coupon", "couponsponsor", "goods",     "promotiongoods"};

std::vector<std::string> DumpAll(const std::string& path) {
    std::vector<std::string> all;
    for (const char* t : kTables) {
        for (const std::string& r : Rows(path, std::string("SELECT * FROM ") + t + " ORDER BY 1, 2"))
            all.push_back(std::string(t) + ":" + r);
    }
    return all;
}

TDemoOptions SmallOptions() {
    TDemoOptions o;
    o.Seed = 42;
    o.FirstDay = EncodeDate(2026, 10, 5);
    o.Days = 3;
    o.ReceiptsPerDay = 400;
    // Higher than a real store so that every kind of correction shows up in a small database.
    o.FullCancelRate = 0.03;
    o.PartialCancelRate = 0.03;
    o.ReturnRate = 0.03;
    return o;
}

class DemoPosTest : public ::testing::Test {
  protected:
    test::TempDir FDir;
};

TEST_F(DemoPosTest, SameSeedGivesTheSameDatabase) {
    const TDemoOptions o = SmallOptions();
    const TDemoResult a = demopos::Generate(FDir.File("a.db"), o);
    const TDemoResult b = demopos::Generate(FDir.File("b.db"), o);
    TDemoOptions other = o;
    other.Seed = 43;
    const TDemoResult c = demopos::Generate(FDir.File("c.db"), other);
    ASSERT_TRUE(a.Ok) << a.Error;
    ASSERT_TRUE(b.Ok) << b.Error;
    ASSERT_TRUE(c.Ok) << c.Error;
    const auto dumpA = DumpAll(FDir.File("a.db"));
    EXPECT_GT(dumpA.size(), 5000u);
    EXPECT_EQ(dumpA, DumpAll(FDir.File("b.db")));
    EXPECT_NE(dumpA, DumpAll(FDir.File("c.db")));
    EXPECT_EQ(a.Summary.FullyCancelled, b.Summary.FullyCancelled);
    EXPECT_EQ(a.Summary.ReturnReceipts, b.Summary.ReturnReceipts);
}

TEST_F(DemoPosTest, ADayOfAGivenSizeComesCloseToIt) {
    TDemoOptions o = SmallOptions();
    o.FirstDay = EncodeDate(2026, 10, 6);
    const TDemoResult r = demopos::GenerateDayOfLines(FDir.File("day.db"), o, 6000);
    ASSERT_TRUE(r.Ok) << r.Error;
    ASSERT_EQ(r.Summary.Days.size(), 1u);
    const std::int64_t lines = r.Summary.Days[0].GoodsLines + r.Summary.Days[0].DiscountLines;
    EXPECT_GT(lines, 5000);
    EXPECT_LT(lines, 7000);
}

TEST_F(DemoPosTest, RowsHaveTheShapeThePosStatementsRead) {
    const std::string db = FDir.File("pos.db");
    const TDemoResult r = demopos::Generate(db, SmallOptions());
    ASSERT_TRUE(r.Ok) << r.Error;
    for (const char* t : kTables)
        EXPECT_GT(Count(db, std::string("SELECT COUNT(*) FROM ") + t), 0) << t;

    struct {
        const char* What;
        const char* Sql;
        bool Some; // true: at least one row must match; false: none may
    } checks[] = {
        {"return receipts", "SELECT COUNT(*) FROM Ord WHERE ord_regtype = 2", true},
        {"returns naming an origin that exists",
         "SELECT COUNT(*) FROM Ord h JOIN Ord o ON o.ord_code = h.ord_origin WHERE h.ord_regtype = 2", true},
        {"returns naming an origin that does not exist",
         "SELECT COUNT(*) FROM Ord h WHERE h.ord_regtype = 2 AND h.ord_origin IS NOT NULL "
         "AND NOT EXISTS (SELECT 1 FROM Ord o WHERE o.ord_code = h.ord_origin)",
         false},
        {"origins on sales", "SELECT COUNT(*) FROM Ord WHERE ord_regtype <> 2 AND ord_origin IS NOT NULL",
         false},
        {"return goods lines with positive quantity",
         "SELECT COUNT(*) FROM Ord h JOIN Ordd d ON d.ordd_code = h.ord_code "
         "WHERE h.ord_regtype = 2 AND d.ordd_kind = 0 AND d.ordd_qty >= 0",
         false},
        {"register type left empty", "SELECT COUNT(*) FROM Ord WHERE ord_regtype IS NULL", true},
        {"cancels of receipts that do not exist",
         "SELECT COUNT(*) FROM ordcancel c WHERE NOT EXISTS (SELECT 1 FROM Ord o WHERE o.ord_code = "
         "c.ordc_ord)",
         false},
        {"cancel lines that name no sold line of the same goods",
         "SELECT COUNT(*) FROM ordcancel c JOIN orddcancel l ON l.orddc_code = c.ordc_code "
         "WHERE NOT EXISTS (SELECT 1 FROM Ordd d WHERE d.ordd_code = c.ordc_ord AND d.ordd_seq = l.orddc_seq "
         "AND d.ordd_goods = l.orddc_goods AND d.ordd_kind = l.orddc_kind)",
         false},
        {"cancels dated before their sale",
         "SELECT COUNT(*) FROM ordcancel c JOIN Ord o ON o.ord_code = c.ordc_ord WHERE c.ordc_date <= "
         "o.ord_date",
         false},
        {"cancel lines for part of a goods line (amend)",
         "SELECT COUNT(*) FROM ordcancel c JOIN orddcancel l ON l.orddc_code = c.ordc_code JOIN Ordd d "
         "ON d.ordd_code = c.ordc_ord AND d.ordd_seq = l.orddc_seq WHERE l.orddc_kind = 0 AND l.orddc_price "
         "< d.ordd_price",
         true},
        {"weighed goods lines", "SELECT COUNT(*) FROM Ordd WHERE ordd_kind = 0 AND ordd_stype = 2", true},
        {"multi-unit goods lines", "SELECT COUNT(*) FROM Ordd WHERE ordd_kind = 0 AND ordd_unitqty > 1",
         true},
        {"own discount on goods lines", "SELECT COUNT(*) FROM Ordd WHERE ordd_kind = 0 AND ordd_dc > 0",
         true},
        {"discount lines without a coupon",
         "SELECT COUNT(*) FROM Ordd WHERE ordd_kind <> 0 AND ordd_coupon = 0", true},
        {"one coupon on two lines of one goods line",
         "SELECT COUNT(*) FROM Ordd a JOIN Ordd b ON b.ordd_code = a.ordd_code AND b.ordd_seq = a.ordd_seq + "
         "1 "
         "WHERE a.ordd_kind <> 0 AND b.ordd_kind <> 0 AND a.ordd_coupon <> 0 AND b.ordd_coupon = "
         "a.ordd_coupon",
         true},
        {"goods lines on goods outside the master",
         "SELECT COUNT(*) FROM Ordd d LEFT JOIN goods g ON g.goods_code = d.ordd_goods "
         "WHERE d.ordd_kind = 0 AND g.goods_code IS NULL",
         true},
        {"discounts larger than their goods line",
         "SELECT COUNT(*) FROM Ordd g WHERE g.ordd_kind = 0 AND g.ordd_price > 0 AND g.ordd_dc - (SELECT "
         "COALESCE(SUM(d.ordd_price), 0) FROM Ordd d WHERE d.ordd_code = g.ordd_code AND d.ordd_kind <> 0 "
         "AND "
         "d.ordd_seq > g.ordd_seq AND d.ordd_seq < COALESCE((SELECT MIN(n.ordd_seq) FROM Ordd n WHERE "
         "n.ordd_code = "
         "g.ordd_code AND n.ordd_kind = 0 AND n.ordd_seq > g.ordd_seq), 1000000)) > g.ordd_price",
         false},
        {"names padded with blanks", "SELECT COUNT(*) FROM goods WHERE goods_name <> RTRIM(goods_name)",
         true},
        {"barcodes padded with blanks", "SELECT COUNT(*) FROM goods WHERE goods_bcode <> RTRIM(goods_bcode)",
         true},
        {"goods on sale with status NULL", "SELECT COUNT(*) FROM goods WHERE goods_status IS NULL", true},
        {"goods on sale with status 1", "SELECT COUNT(*) FROM goods WHERE goods_status = 1", true},
        {"goods taken off sale", "SELECT COUNT(*) FROM goods WHERE goods_status NOT IN (1)", true},
        {"coupons on one product", "SELECT COUNT(*) FROM coupon WHERE cp_target = 1 AND cp_goods <> 0", true},
        {"coupons on a group with members",
         "SELECT COUNT(*) FROM coupon c WHERE c.cp_group <> 0 AND EXISTS (SELECT 1 FROM promotiongoods p "
         "WHERE p.pg_group = c.cp_group)",
         true},
        {"amount coupons", "SELECT COUNT(*) FROM coupon WHERE cp_dctype <> 1", true},
        {"coupons without an end date", "SELECT COUNT(*) FROM coupon WHERE cp_end IS NULL", true},
        {"coupons whose sponsor has no row",
         "SELECT COUNT(*) FROM coupon c LEFT JOIN couponsponsor s ON s.cps_code = c.cp_sponsor "
         "WHERE s.cps_code IS NULL",
         true},
        {"coupons used on receipts but missing from the master",
         "SELECT COUNT(*) FROM Ordd d WHERE d.ordd_coupon <> 0 AND NOT EXISTS "
         "(SELECT 1 FROM coupon c WHERE c.cp_code = d.ordd_coupon)",
         false},
        {"stamps not written yyyy-mm-dd hh:nn:ss.fff",
         "SELECT COUNT(*) FROM (SELECT ord_date AS t FROM Ord UNION ALL SELECT ordc_date FROM ordcancel) "
         "WHERE "
         "t NOT GLOB '[0-9][0-9][0-9][0-9]-[0-1][0-9]-[0-3][0-9] "
         "[0-2][0-9]:[0-5][0-9]:[0-5][0-9].[0-9][0-9][037]'",
         false},
        {"sales outside the opening hours",
         "SELECT COUNT(*) FROM Ord WHERE substr(ord_date, 12, 8) < '09:00:00' OR substr(ord_date, 12, 8) >= "
         "'22:00:00'",
         false},
    };
    for (const auto& c : checks) {
        const std::int64_t n = Count(db, c.Sql);
        if (c.Some)
            EXPECT_GT(n, 0) << c.What;
        else
            EXPECT_EQ(n, 0) << c.What;
    }

    // A partial cancel always leaves at least one goods line of the receipt standing.
    ASSERT_FALSE(r.Summary.PartlyCancelled.empty());
    for (std::int64_t ord : r.Summary.PartlyCancelled) {
        const std::string o = std::to_string(ord);
        const std::int64_t sold =
            Count(db, "SELECT COUNT(*) FROM Ordd WHERE ordd_kind = 0 AND ordd_code = " + o);
        const std::int64_t gone =
            Count(db, "SELECT COUNT(*) FROM ordcancel c JOIN orddcancel l ON l.orddc_code = "
                      "c.ordc_code WHERE l.orddc_kind = 0 AND c.ordc_ord = " +
                          o);
        EXPECT_GT(gone, 0) << o;
        EXPECT_LT(gone, sold) << o;
    }
    // A whole cancel repeats every line of the receipt with the same amounts.
    ASSERT_FALSE(r.Summary.FullyCancelled.empty());
    for (std::int64_t ord : r.Summary.FullyCancelled) {
        const std::string o = std::to_string(ord);
        EXPECT_EQ(
            Rows(db, "SELECT ordd_seq, ordd_kind, ordd_goods, ordd_coupon, ordd_qty, ordd_price FROM Ordd "
                     "WHERE ordd_code = " +
                         o + " ORDER BY 1"),
            Rows(db, "SELECT l.orddc_seq, l.orddc_kind, l.orddc_goods, l.orddc_coupon, l.orddc_qty, "
                     "l.orddc_price FROM ordcancel c JOIN orddcancel l ON l.orddc_code = c.ordc_code "
                     "WHERE c.ordc_ord = " +
                         o + " ORDER BY 1"))
            << o;
    }
    // The summary's goods are the master's rows without their padding.
    std::vector<std::string> master;
    for (const auto& g : r.Summary.Goods)
        master.push_back(
            Fmt("%lld|%s|%s|%s", (long long)g.Code, g.Name.c_str(), g.Barcode.c_str(), g.Spec.c_str()));
    EXPECT_EQ(Rows(db,
                   "SELECT goods_code, RTRIM(goods_name), RTRIM(goods_bcode), RTRIM(goods_sspec) FROM goods "
                   "ORDER BY goods_code"),
              master);
}

TEST_F(DemoPosTest, SummaryAgreesWithTheDatabase) {
    const std::string db = FDir.File("pos.db");
    TDemoOptions o = SmallOptions();
    o.DesignatedCoupons = {501, 502, 503, 504, 505};
    const TDemoResult r = demopos::Generate(db, o);
    ASSERT_TRUE(r.Ok) << r.Error;
    EXPECT_EQ(r.Summary.DesignatedCoupons, o.DesignatedCoupons);
    ASSERT_EQ(r.Summary.Days.size(), 3u);
    EXPECT_EQ(r.Summary.Days[0].Day, "2026-10-05");
    EXPECT_EQ(r.Summary.Days[2].Day, "2026-10-07");

    const std::string codes = "501,502,503,504,505";
    EXPECT_EQ(Count(db, "SELECT COUNT(*) FROM coupon WHERE cp_code IN (" + codes + ")"), 5);
    std::int64_t receipts = 0;
    for (const auto& d : r.Summary.Days) {
        SCOPED_TRACE(d.Day);
        const std::string from = "'" + d.Day + " 00:00:00'";
        const std::string day = "h.ord_date >= " + from + " AND h.ord_date < date(" + from + ", '+1 day')";
        const std::string lines = "FROM Ord h JOIN Ordd d ON d.ordd_code = h.ord_code WHERE " + day;
        EXPECT_EQ(Count(db, "SELECT COUNT(*) FROM Ord h WHERE " + day), d.Receipts);
        EXPECT_EQ(Count(db, "SELECT COUNT(*) FROM Ord h WHERE h.ord_regtype = 2 AND " + day),
                  d.ReturnReceipts);
        EXPECT_EQ(Count(db, "SELECT COUNT(*) " + lines + " AND d.ordd_kind = 0"), d.GoodsLines);
        EXPECT_EQ(Count(db, "SELECT COUNT(*) " + lines + " AND d.ordd_kind <> 0"), d.DiscountLines);
        const std::string reportable =
            lines +
            " AND d.ordd_kind = 0 AND (h.ord_regtype IS NULL OR h.ord_regtype <> 2) AND d.ordd_price > 0 "
            "AND d.ordd_qty > 0";
        EXPECT_EQ(Count(db, "SELECT COUNT(*) " + reportable), d.ReportableLines);
        EXPECT_EQ(Count(db, "SELECT SUM(d.ordd_price) " + reportable), d.ReportableAmount);
        EXPECT_EQ(Count(db, "SELECT -COALESCE(SUM(d.ordd_price), 0) " + lines +
                                " AND d.ordd_kind <> 0 AND "
                                "d.ordd_coupon IN (" +
                                codes + ")"),
                  d.DesignatedDiscount);
        EXPECT_GT(d.DesignatedDiscount, 0);
        EXPECT_EQ(Count(db, "SELECT COUNT(*) FROM ordcancel h WHERE h.ordc_date >= " + from +
                                " AND h.ordc_date < date(" + from + ", '+1 day')"),
                  d.Cancels);
        EXPECT_LT(d.ReportableLines, d.GoodsLines); // returns and department keys are among the goods lines
        receipts += d.Receipts;
    }
    EXPECT_EQ(receipts, r.Summary.Receipts);

    auto asText = [](const std::vector<std::int64_t>& v) {
        std::vector<std::string> out;
        for (std::int64_t x : v)
            out.push_back(x == 0 ? "∅" : std::to_string(x));
        return out;
    };
    std::vector<std::int64_t> returns = r.Summary.ReturnReceipts, origins = r.Summary.ReturnedOrigins;
    EXPECT_EQ(Rows(db, "SELECT ord_code FROM Ord WHERE ord_regtype = 2 ORDER BY ord_date"), asText(returns));
    EXPECT_EQ(Rows(db, "SELECT ord_origin FROM Ord WHERE ord_regtype = 2 ORDER BY ord_date"),
              asText(origins));
    std::vector<std::int64_t> cancelled = r.Summary.FullyCancelled;
    cancelled.insert(cancelled.end(), r.Summary.PartlyCancelled.begin(), r.Summary.PartlyCancelled.end());
    std::sort(cancelled.begin(), cancelled.end());
    EXPECT_EQ(Rows(db, "SELECT ordc_ord FROM ordcancel ORDER BY ordc_ord"), asText(cancelled));
    EXPECT_EQ(Count(db, "SELECT COUNT(*) FROM ordcancel"), (std::int64_t)r.Summary.CancelCodes.size());

    // The designated targets are exactly what the single-product and group links reach.
    std::vector<std::string> targets;
    for (std::int64_t g : r.Summary.DesignatedTargets)
        targets.push_back(std::to_string(g));
    EXPECT_EQ(Rows(db, "SELECT cp_goods FROM coupon WHERE cp_code IN (" + codes +
                           ") AND cp_target = 1 AND "
                           "cp_goods <> 0 UNION SELECT pg.pg_goods FROM coupon c JOIN promotiongoods pg ON "
                           "pg.pg_group = c.cp_group WHERE c.cp_code IN (" +
                           codes + ") AND c.cp_group <> 0 ORDER BY 1"),
              targets);
    std::vector<std::string> unknown;
    for (std::int64_t g : r.Summary.UnknownGoods)
        unknown.push_back(std::to_string(g));
    EXPECT_EQ(
        Rows(db, "SELECT DISTINCT d.ordd_goods FROM Ordd d LEFT JOIN goods g ON g.goods_code = d.ordd_goods "
                 "WHERE g.goods_code IS NULL AND d.ordd_kind = 0 ORDER BY 1"),
        unknown);
}

// Attribution over every generated sale receipt: the designated coupons' subsidy adds up to the
// designated discount lines, and every line's figures leave the store a valid own discount.
TEST_F(DemoPosTest, AttributionOfGeneratedReceiptsAddsUp) {
    const std::string db = FDir.File("pos.db");
    const TDemoResult r = demopos::Generate(db, SmallOptions());
    ASSERT_TRUE(r.Ok) << r.Error;
    const auto rows = Rows(db, "SELECT d.ordd_code, d.ordd_seq, d.ordd_kind, d.ordd_goods, d.ordd_coupon, "
                               "d.ordd_qty, d.ordd_price, d.ordd_dc, d.ordd_stype, d.ordd_unitqty FROM Ord h "
                               "JOIN Ordd d ON d.ordd_code = h.ord_code WHERE h.ord_regtype IS NULL OR "
                               "h.ord_regtype <> 2 ORDER BY d.ordd_code, d.ordd_seq");
    std::map<std::string, std::vector<TRawLine>> receipts;
    for (const std::string& row : rows) {
        const auto c = Split(row, '|');
        ASSERT_EQ(c.size(), 10u);
        TRawLine l;
        l.OrdCode = c[0];
        l.Seq = StrToIntDef(c[1], -1);
        l.Kind = StrToIntDef(c[2], -1);
        l.Goods = c[3];
        l.Coupon = StrToInt64Def(c[4], -1);
        l.Qty = StrToInt64Def(c[5], -1);
        l.Price = StrToInt64Def(c[6], -1);
        l.Dc = StrToInt64Def(c[7], -1);
        l.Stype = StrToIntDef(c[8], -1);
        l.UnitQty = StrToInt64Def(c[9], -1);
        receipts[l.OrdCode].push_back(l);
    }
    const auto& codes = r.Summary.DesignatedCoupons;
    std::int64_t subsidy = 0, lines = 0, weighed = 0;
    for (const auto& [ord, raw] : receipts) {
        for (const TSaleLine& s : Attribute(raw)) {
            ++lines;
            const std::int64_t sub = SubsidyOf(s, codes);
            subsidy += sub;
            const TOwnDiscount own = OwnDiscountOf(s.Amount, sub, s.Discount);
            EXPECT_TRUE(own.Has) << ord << ":" << s.Seq;
            EXPECT_GT(LineQuantity(s.Stype, s.UnitQty, s.Qty), 0.0) << ord << ":" << s.Seq;
            weighed += s.Stype == 2 ? 1 : 0;
        }
    }
    std::int64_t goodsLines = 0;
    for (const auto& d : r.Summary.Days)
        goodsLines += d.GoodsLines;
    const std::string codeList = "7001,7002,7003,7004";
    EXPECT_EQ(subsidy,
              Count(db, "SELECT -SUM(d.ordd_price) FROM Ord h JOIN Ordd d ON d.ordd_code = h.ord_code "
                        "WHERE (h.ord_regtype IS NULL OR h.ord_regtype <> 2) AND d.ordd_kind <> 0 AND "
                        "d.ordd_coupon IN (" +
                            codeList + ")"));
    EXPECT_GT(subsidy, 0);
    EXPECT_GT(weighed, 0);
    EXPECT_EQ(lines, Count(db, "SELECT COUNT(*) FROM Ord h JOIN Ordd d ON d.ordd_code = h.ord_code "
                               "WHERE (h.ord_regtype IS NULL OR h.ord_regtype <> 2) AND d.ordd_kind = 0"));
    EXPECT_LT(lines, goodsLines);
}

TEST_F(DemoPosTest, RowsAddedAtExactTimesKeepTheirStamp) {
    const std::string db = FDir.File("pos.db");
    std::string error;
    ASSERT_TRUE(demopos::CreateEmpty(db, error)) << error;
    const TDateTime nine = EncodeDateTime(2026, 10, 6, 9, 0, 0);
    const TDateTime end = EncodeDateTime(2026, 10, 6, 10, 50, 0);
    std::int64_t first = 0, second = 0, third = 0;
    ASSERT_TRUE(demopos::AddReceiptAt(db, nine, 100001, 10000, 7001, 2000, error, &first)) << error;
    ASSERT_TRUE(demopos::AddReceiptAt(db, end, 100002, 5000, 0, 0, error, &second)) << error;
    demopos::TDemoReceipt ret;
    ret.OrdCode = 900;
    ret.At = EncodeDateTime(2026, 10, 6, 10, 49, 59, 997);
    ret.RegType = 2;
    ret.Origin = first;
    ret.Lines = {{0, 0, 100001, 0, -1, -10000, 0, 0, 1}, {0, 1, 100001, 7001, -1, 2000, 0, 0, 1}};
    ASSERT_TRUE(demopos::AddReceipt(db, ret, error, &third)) << error;
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 2);
    EXPECT_EQ(third, 900);
    demopos::TDemoCancel cancel;
    cancel.OrdCode = first;
    cancel.At = EncodeDateTime(2026, 10, 6, 9, 30, 0);
    cancel.Lines = {{1, 0, 100001, 0, 1, 10000, 0, 0, 1}};
    std::int64_t cancelCode = 0;
    ASSERT_TRUE(demopos::AddCancel(db, cancel, error, &cancelCode)) << error;
    EXPECT_EQ(cancelCode, 1);

    EXPECT_EQ(Rows(db, "SELECT ord_code, ord_date, ord_regtype, ord_memcode, ord_origin FROM Ord ORDER BY 1"),
              (std::vector<std::string>{"1|2026-10-06 09:00:00.000|1|∅|∅", "2|2026-10-06 10:50:00.000|1|∅|∅",
                                        "900|2026-10-06 10:49:59.997|2|∅|1"}));
    EXPECT_EQ(Rows(db, "SELECT ordd_code, ordd_seq, ordd_kind, ordd_coupon, ordd_qty, ordd_price FROM Ordd "
                       "ORDER BY 1, 2"),
              (std::vector<std::string>{"1|1|0|0|1|10000", "1|2|1|7001|1|-2000", "2|1|0|0|1|5000",
                                        "900|1|0|0|-1|-10000", "900|2|1|7001|-1|2000"}));
    EXPECT_EQ(Rows(db, "SELECT ordc_code, ordc_ord, ordc_date FROM ordcancel"),
              (std::vector<std::string>{"1|1|2026-10-06 09:30:00.000"}));
    // A half-open window [09:00, 10:50) written either way holds the first and the return, not the second.
    for (const char* bounds : {"'2026-10-06 09:00:00' AND ord_date < '2026-10-06 10:50:00'",
                               "'2026-10-06 09:00:00.000' AND ord_date < '2026-10-06 10:50:00.000'"})
        EXPECT_EQ(
            Rows(db, std::string("SELECT ord_code FROM Ord WHERE ord_date >= ") + bounds + " ORDER BY 1"),
            (std::vector<std::string>{"1", "900"}))
            << bounds;

    // A receipt number already taken is refused whole: no header without its lines.
    demopos::TDemoReceipt dup;
    dup.OrdCode = 2;
    dup.At = nine;
    dup.Lines = {{0, 0, 100003, 0, 1, 700, 0, 0, 1}};
    EXPECT_FALSE(demopos::AddReceipt(db, dup, error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(Count(db, "SELECT COUNT(*) FROM Ordd WHERE ordd_goods = 100003"), 0);
}

TEST_F(DemoPosTest, BadRequestsFailWithoutLeavingAFile) {
    struct {
        const char* What;
        void (*Change)(TDemoOptions&);
    } cases[] = {
        {"no days", [](TDemoOptions& o) { o.Days = 0; }},
        {"negative receipts", [](TDemoOptions& o) { o.ReceiptsPerDay = -1; }},
        {"no registers", [](TDemoOptions& o) { o.Registers = 0; }},
        {"closing before opening", [](TDemoOptions& o) { o.CloseHour = o.OpenHour; }},
        {"a designated code twice",
         [](TDemoOptions& o) {
             o.DesignatedCoupons = {501, 501};
         }},
        {"a designated code 0", [](TDemoOptions& o) { o.DesignatedCoupons = {0}; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        TDemoOptions o = SmallOptions();
        c.Change(o);
        const TDemoResult r = demopos::Generate(FDir.File("bad.db"), o);
        EXPECT_FALSE(r.Ok);
        EXPECT_FALSE(r.Error.empty());
        EXPECT_FALSE(platform::FileExists(FDir.File("bad.db")));
    }
    // An existing file stays as it was when replacing is not allowed.
    test::WriteFile(FDir.File("keep.db"), "not a database");
    TDemoOptions o = SmallOptions();
    o.Overwrite = false;
    const TDemoResult kept = demopos::Generate(FDir.File("keep.db"), o);
    EXPECT_FALSE(kept.Ok);
    EXPECT_EQ(test::ReadFile(FDir.File("keep.db")), "not a database");
    // A folder that does not exist cannot hold the database.
    EXPECT_FALSE(demopos::Generate(FDir.File("no/such/dir/pos.db"), SmallOptions()).Ok);
    std::string error;
    EXPECT_FALSE(demopos::AddReceiptAt(FDir.File("missing.db"), 46000.5, 1, 100, 0, 0, error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(platform::FileExists(FDir.File("missing.db")));
}

TEST_F(DemoPosTest, DefaultDaysEndToday) {
    FixedClock clock(EncodeDateTime(2026, 10, 6, 14, 30, 0));
    ScopedClock scoped(clock);
    TDemoOptions o = SmallOptions();
    o.FirstDay = 0;
    o.Days = 2;
    o.ReceiptsPerDay = 20;
    const TDemoResult r = demopos::Generate(FDir.File("pos.db"), o);
    ASSERT_TRUE(r.Ok) << r.Error;
    ASSERT_EQ(r.Summary.Days.size(), 2u);
    EXPECT_EQ(r.Summary.Days[0].Day, "2026-10-05");
    EXPECT_EQ(r.Summary.Days[1].Day, "2026-10-06");
    EXPECT_EQ(Rows(FDir.File("pos.db"), "SELECT DISTINCT substr(ord_date, 1, 10) FROM Ord ORDER BY 1"),
              (std::vector<std::string>{"2026-10-05", "2026-10-06"}));
}

TEST_F(DemoPosTest, CancelsOfLateSalesStayOnTheSaleDay) {
    TDemoOptions o = SmallOptions();
    o.OpenHour = 23;
    o.CloseHour = 24;
    o.ReceiptsPerDay = 200;
    o.FullCancelRate = 0.5;
    const std::string db = FDir.File("late.db");
    const TDemoResult r = demopos::Generate(db, o);
    ASSERT_TRUE(r.Ok) << r.Error;
    EXPECT_GT(
        Count(db,
              "SELECT COUNT(*) FROM ordcancel WHERE ordc_date = substr(ordc_date, 1, 10) || ' 23:59:59.997'"),
        0);
    EXPECT_EQ(
        Count(
            db,
            "SELECT COUNT(*) FROM ordcancel c JOIN Ord o ON o.ord_code = c.ordc_ord WHERE "
            "substr(c.ordc_date, 1, 10) <> substr(o.ord_date, 1, 10) OR c.ordc_date NOT GLOB "
            "'[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9] [0-9][0-9]:[0-9][0-9]:[0-9][0-9].[0-9][0-9][037]'"),
        0);
    std::int64_t cancels = 0;
    for (const auto& d : r.Summary.Days)
        cancels += d.Cancels;
    EXPECT_EQ(cancels, Count(db, "SELECT COUNT(*) FROM ordcancel"));
}

TEST_F(DemoPosTest, CommandLineWritesTheDatabase) {
    const std::string db = FDir.File("cli.db");
    struct {
        std::vector<std::string> Args;
        int Exit;
    } cases[] = {
        {{"--help"}, 0},
        {{"--days", "2"}, 2},                            // no output file
        {{"--out", db, "--days", "x"}, 2},               // not a number
        {{"--out", db, "--bogus", "1"}, 2},              // unknown option
        {{"--out", db, "--first-day", "2026-02-30"}, 2}, // no such day
        {{"--out", db, "--first-day", "2026-10-01", "--days-back", "3"}, 2},
        {{"--out", db, "--seed", "9", "--first-day", "2026-10-01", "--days", "2", "--receipts", "50",
          "--coupons", "501,502"},
         0},
    };
    for (const auto& c : cases) {
        const test::ProcessResult p = test::RunProcess(PAVONA_DEMOPOS_BIN, c.Args);
        EXPECT_EQ(p.ExitCode, c.Exit) << (c.Args.empty() ? "" : c.Args[0]) << "\n" << p.Out << p.Err;
        if (c.Exit == 2) {
            EXPECT_FALSE(p.Err.empty());
        }
    }
    EXPECT_EQ(Count(db, "SELECT COUNT(*) FROM Ord"), 100);
    EXPECT_EQ(Rows(db, "SELECT cp_code FROM coupon WHERE cp_code IN (501, 502, 7001) ORDER BY 1"),
              (std::vector<std::string>{"501", "502"}));
    EXPECT_EQ(Rows(db, "SELECT MIN(substr(ord_date, 1, 10)), MAX(substr(ord_date, 1, 10)) FROM Ord"),
              (std::vector<std::string>{"2026-10-01|2026-10-02"}));
    // The same seed from the library gives the same rows as the tool.
    TDemoOptions o;
    o.Seed = 9;
    o.FirstDay = EncodeDate(2026, 10, 1);
    o.Days = 2;
    o.ReceiptsPerDay = 50;
    o.DesignatedCoupons = {501, 502};
    ASSERT_TRUE(demopos::Generate(FDir.File("lib.db"), o).Ok);
    EXPECT_EQ(DumpAll(db), DumpAll(FDir.File("lib.db")));
}

} // namespace
} // namespace pavona
