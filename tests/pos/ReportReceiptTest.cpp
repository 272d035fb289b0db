// Receipts turned into report lines on a real spool: the exact text stored, which goods lines are
// reported, return receipts set aside for corrections, refused appends, and a generated POS read
// through the SQLite3 ODBC driver giving exactly the reportable lines its generator counted.
#include "pos/AgentReport.h"

#include "platform/Platform.h"
#include "pos/AgentCancel.h"
#include "pos/AgentPos.h"
#include "store/AgentSpool.h"
#include "tests/support/TestSupport.h"
#include "tools/demopos/DemoPos.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace pavona {
namespace {

const std::vector<std::int64_t> kCodes = {7001};
const std::string kDay = "2026-10-06";

TSalesRow Row(const std::string& ord, int seq, int kind, const std::string& goods, std::int64_t price,
              std::int64_t qty = 1, std::int64_t coupon = 0) {
    TSalesRow r;
    r.Raw.OrdCode = ord;
    r.Raw.Seq = seq;
    r.Raw.Kind = kind;
    r.Raw.Goods = goods;
    r.Raw.Coupon = coupon;
    r.Raw.Qty = qty;
    r.Raw.Price = price;
    r.Raw.UnitQty = 1;
    r.SoldAt = EncodeDateTime(2026, 10, 6, 9, 30, 15, 0);
    r.RegisterCode = 2;
    r.RegType = 1;
    return r;
}

class ReportReceiptTest : public test::TempDataTest {
  protected:
    std::vector<std::string> Stored(TSpool& spool, const std::string& day = kDay) {
        std::vector<TSpoolEntry> entries;
        EXPECT_TRUE(spool.Pending(day, entries));
        std::vector<std::string> out;
        for (const TSpoolEntry& e : entries)
            out.push_back(e.Key + " " + e.Payload);
        return out;
    }
};

struct TReceiptCase {
    const char* Name;
    std::vector<TSalesRow> Rows;
    std::vector<std::string> Want; // key, blank, payload
};

TEST_F(ReportReceiptTest, ReportableGoodsLinesAreStoredAsTheirExactText) {
    std::vector<TSalesRow> example = {Row("731", 1, 0, "300", 0), Row("731", 2, 1, "0", -50, 1, 7001),
                                      Row("731", 3, 0, "512", 3000), Row("731", 4, 1, "0", -600, 1, 7001),
                                      Row("731", 5, 1, "0", -300)};
    std::vector<TSalesRow> member = {Row(" 77 ", 1, 0, "512", 2500, 250)};
    member[0].Raw.Stype = 2;
    member[0].MemberCode = 4455;
    member[0].RegisterCode = 0;
    member[0].Raw.Dc = 100;
    std::vector<TSalesRow> empty = {Row("", 1, 0, "513", 1000, 3), Row("", 2, 0, "514", 700, 0),
                                    Row("", 3, 0, "515", -700, 1), Row("", 4, 1, "0", 2000, 1, 7001)};
    empty[0].RegisterCode = 0;
    const std::vector<TReceiptCase> cases = {
        {"the example line, after a free line whose coupon stays with it",
         example,
         {"731:3 {\"tx_key\":\"731:3\",\"sold_at\":\"2026-10-06T00:30:15Z\",\"vendor_item_code\":\"512\","
          "\"vendor_item_name\":\"대파\",\"barcode\":\"880\",\"quantity\":1,\"unit_price\":3000,\"amount\":"
          "3000,"
          "\"discount_amount\":600,\"pos_no\":\"2\",\"receipt_no\":\"731\",\"own_discount\":300}"}},
        {"padded receipt number, member, weighed goods, no register",
         member,
         {"77:1 {\"tx_key\":\"77:1\",\"sold_at\":\"2026-10-06T00:30:15Z\",\"vendor_item_code\":\"512\","
          "\"vendor_item_name\":\"대파\",\"barcode\":\"880\",\"quantity\":2.5,\"unit_price\":1000,\"amount\":"
          "2500,"
          "\"discount_amount\":0,\"member_no\":\"4455\",\"receipt_no\":\" 77 \",\"own_discount\":100}"}},
        {"empty receipt number, unknown goods, zero quantity and negative lines left out, surcharge",
         empty,
         // The surcharge on line 4 belongs to line 3 (never reported), not to line 1.
         {":1 {\"tx_key\":\":1\",\"sold_at\":\"2026-10-06T00:30:15Z\",\"vendor_item_code\":\"513\","
          "\"vendor_item_name\":\"\",\"barcode\":\"\",\"quantity\":3,\"unit_price\":333,\"amount\":1000,"
          "\"discount_amount\":0,\"own_discount\":0}"}},
    };
    const TGoodsNames names = {{"512", {"대파", "880"}}};
    for (const TReceiptCase& c : cases) {
        SCOPED_TRACE(c.Name);
        test::TempDir dir;
        TSpool spool(dir.Path(), 0);
        std::vector<TReturnRow> returns;
        const TReceiptResult r = ReportReceipt(c.Rows, 0, c.Rows.size(), names, kCodes, kDay, spool, returns);
        EXPECT_EQ(r.Stored, static_cast<int>(c.Want.size()));
        EXPECT_EQ(r.Refused, 0);
        EXPECT_FALSE(r.IsReturn);
        EXPECT_TRUE(returns.empty());
        EXPECT_EQ(Stored(spool), c.Want);
    }
}

TEST_F(ReportReceiptTest, OnlyTheGivenRunIsReportedAndReturnsAreSetAside) {
    std::vector<TSalesRow> rows = {Row("10", 1, 0, "512", 1000), Row("11", 1, 0, "512", -3000, -1),
                                   Row("11", 2, 1, "0", 300, 1, 7001), Row("11", 3, 0, "600", -500, -1),
                                   Row("12", 1, 0, "512", 1000)};
    for (size_t i = 1; i <= 3; ++i) {
        rows[i].RegType = 2;
        rows[i].Origin = 10;
        rows[i].SoldAt = EncodeDateTime(2026, 10, 6, 11, 0, 0, 0);
    }
    rows[2].Origin = 999; // only the receipt's first row names the origin
    TSpool spool(FRoot.File("spool"), 0);
    std::vector<TReturnRow> returns;
    const TReceiptResult r = ReportReceipt(rows, 1, 4, {}, kCodes, kDay, spool, returns);
    EXPECT_TRUE(r.IsReturn);
    EXPECT_EQ(r.Stored + r.Refused, 0);
    EXPECT_TRUE(Stored(spool).empty());
    ASSERT_EQ(returns.size(), 3u);
    for (size_t i = 0; i < returns.size(); ++i) {
        EXPECT_EQ(returns[i].OrdCode, "11");
        EXPECT_EQ(returns[i].Origin, 10);
        EXPECT_EQ(returns[i].ReturnedAtLocal, rows[1].SoldAt);
        EXPECT_EQ(returns[i].Raw.Seq, rows[1 + i].Raw.Seq);
        EXPECT_EQ(returns[i].Raw.Price, rows[1 + i].Raw.Price);
    }
    // A sale run in the middle of the rows is reported alone.
    const TReceiptResult sale = ReportReceipt(rows, 4, 5, {}, kCodes, kDay, spool, returns);
    EXPECT_EQ(sale.Stored, 1);
    ASSERT_EQ(Stored(spool).size(), 1u);
    EXPECT_EQ(Stored(spool)[0].substr(0, 5), "12:1 ");
    EXPECT_EQ(returns.size(), 3u);
}

TEST_F(ReportReceiptTest, LinesTheSpoolRefusesAreCountedAndTheRestGoOn) {
    const std::string dir = FRoot.File("spool");
    ASSERT_TRUE(platform::MakeDirs(dir));
    test::WriteFile(dir + "/spool-2026-10-01.jsonl", std::string(64, 'x'));
    TSpool full(dir, 10); // already over its limit: every append is refused
    const std::vector<TSalesRow> rows = {Row("5", 1, 0, "512", 1000), Row("5", 2, 0, "513", 0),
                                         Row("5", 3, 0, "514", 800)};
    std::vector<TReturnRow> returns;
    const TReceiptResult r = ReportReceipt(rows, 0, rows.size(), {}, kCodes, kDay, full, returns);
    EXPECT_EQ(r.Stored, 0);
    EXPECT_EQ(r.Refused, 2);
}

TEST(GoodsNamesTest, FirstNonEmptyNameWithItsBarcode) {
    std::vector<TSalesRow> rows = {Row("1", 1, 0, "512", 100), Row("1", 2, 0, "512", 100),
                                   Row("2", 1, 0, "512", 100), Row("2", 2, 0, "600", 100)};
    rows[1].ItemName = "대파";
    rows[1].Barcode = "880";
    rows[2].ItemName = "쪽파";
    rows[2].Barcode = "881";
    rows[3].ItemName = "양파";
    const TGoodsNames names = GoodsNamesOf(rows);
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names.at("512").Name, "대파");
    EXPECT_EQ(names.at("512").Barcode, "880");
    EXPECT_EQ(names.at("600").Name, "양파");
    EXPECT_EQ(names.at("600").Barcode, "");
}

// A generated POS read day by day through the ODBC driver and reported receipt by receipt.
class ReportGeneratedTest : public test::TempDataTest {};

TEST_F(ReportGeneratedTest, EveryReportableLineOfEveryDayIsStoredOnce) {
    const std::string db = FRoot.File("demo.db");
    demopos::TDemoOptions o;
    o.Seed = 77;
    o.FirstDay = EncodeDate(2026, 10, 5);
    o.Days = 2;
    o.ReceiptsPerDay = 150;
    o.ReturnRate = 0.05;
    const demopos::TDemoResult gen = demopos::Generate(db, o);
    ASSERT_TRUE(gen.Ok) << gen.Error;
    TPosReader reader;
    const Result<> connected = reader.Connect("Driver=SQLite3;Database=" + db);
    ASSERT_TRUE(connected.Ok()) << connected.Error();
    TSpool spool(FRoot.File("spool"), 0);
    const std::set<std::int64_t> returnReceipts(gen.Summary.ReturnReceipts.begin(),
                                                gen.Summary.ReturnReceipts.end());

    for (const demopos::TDemoDay& d : gen.Summary.Days) {
        SCOPED_TRACE(d.Day);
        TDateTime day = 0;
        ASSERT_TRUE(ParseDay(d.Day, day));
        const Result<std::vector<TSalesRow>> read = reader.SalesLines(day, IncDay(day, 1));
        ASSERT_TRUE(read.Ok()) << read.Error();
        const std::vector<TSalesRow>& rows = read.Value();
        const TGoodsNames names = GoodsNamesOf(rows);
        std::vector<TReturnRow> returns;
        int stored = 0, receipts = 0, returnRuns = 0;
        spool.BeginBatch();
        for (size_t i = 0; i < rows.size();) {
            size_t j = i;
            while (j < rows.size() && rows[j].Raw.OrdCode == rows[i].Raw.OrdCode)
                ++j;
            const TReceiptResult r =
                ReportReceipt(rows, i, j, names, gen.Summary.DesignatedCoupons, d.Day, spool, returns);
            EXPECT_EQ(r.IsReturn, returnReceipts.count(std::stoll(rows[i].Raw.OrdCode)) > 0);
            EXPECT_EQ(r.Refused, 0);
            stored += r.Stored;
            returnRuns += r.IsReturn ? 1 : 0;
            ++receipts;
            i = j;
        }
        ASSERT_EQ(spool.EndBatch(), 0);
        EXPECT_EQ(receipts, d.Receipts);
        EXPECT_EQ(returnRuns, d.ReturnReceipts);
        EXPECT_EQ(stored, d.ReportableLines);
        for (const TReturnRow& r : returns)
            EXPECT_EQ(returnReceipts.count(std::stoll(r.OrdCode)), 1u);

        std::vector<TSpoolEntry> entries;
        ASSERT_TRUE(spool.Pending(d.Day, entries));
        ASSERT_EQ(static_cast<std::int64_t>(entries.size()), d.ReportableLines);
        std::set<std::string> keys;
        std::int64_t amount = 0;
        for (const TSpoolEntry& e : entries) {
            keys.insert(e.Key);
            const size_t at = e.Payload.find("\"amount\":");
            ASSERT_NE(at, std::string::npos);
            amount += std::stoll(e.Payload.substr(at + 9));
        }
        EXPECT_EQ(static_cast<std::int64_t>(keys.size()), d.ReportableLines); // no key twice
        EXPECT_EQ(amount, d.ReportableAmount);
    }
}

} // namespace
} // namespace pavona
