// The POS reader over a generated POS day by day: what it reads agrees with what the generator
// says it wrote.
#include "pos/AgentPos.h"

#include "tests/support/TestSupport.h"
#include "tools/demopos/DemoPos.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

namespace pavona {

class PosGeneratedTest : public test::TempDataTest {
  protected:
    void SetUp() override {
        FPath = FRoot.File("demo.db");
        demopos::TDemoOptions o;
        o.Seed = 20261006;
        o.FirstDay = EncodeDate(2026, 10, 5);
        o.Days = 3;
        o.ReceiptsPerDay = 120;
        const demopos::TDemoResult r = demopos::Generate(FPath, o);
        ASSERT_TRUE(r.Ok) << r.Error;
        FSummary = r.Summary;
        const Result<> connected = FReader.Connect("Driver=SQLite3;Database=" + FPath);
        ASSERT_TRUE(connected.Ok()) << connected.Error();
    }

    std::string FPath;
    demopos::TDemoSummary FSummary;
    TPosReader FReader;
};

TEST_F(PosGeneratedTest, EachDayReadsAsGenerated) {
    std::vector<TDateTime> days;
    for (const demopos::TDemoDay& d : FSummary.Days) {
        TDateTime t = 0;
        ASSERT_TRUE(ParseDay(d.Day, t));
        days.push_back(t);
    }
    const Result<std::vector<TDayCount>> countsRead = FReader.DailyReportable(days);
    ASSERT_TRUE(countsRead.Ok()) << countsRead.Error();
    const std::vector<TDayCount>& counts = countsRead.Value();
    ASSERT_EQ(counts.size(), days.size());
    std::int64_t receipts = 0;
    for (size_t i = 0; i < days.size(); ++i) {
        const demopos::TDemoDay& want = FSummary.Days[i];
        SCOPED_TRACE(want.Day);
        EXPECT_EQ(counts[i].Day, want.Day);
        EXPECT_EQ(counts[i].Lines, want.ReportableLines);
        EXPECT_EQ(counts[i].Amount, want.ReportableAmount);

        const Result<std::int64_t> subsidy =
            FReader.SubsidyTotal(days[i], IncDay(days[i], 1), FSummary.DesignatedCoupons);
        ASSERT_TRUE(subsidy.Ok()) << subsidy.Error();
        EXPECT_EQ(subsidy.Value(), want.DesignatedDiscount);

        const Result<std::vector<TSalesRow>> read = FReader.SalesLines(days[i], IncDay(days[i], 1));
        ASSERT_TRUE(read.Ok()) << read.Error();
        const std::vector<TSalesRow>& rows = read.Value();
        EXPECT_EQ(static_cast<std::int64_t>(rows.size()), want.GoodsLines + want.DiscountLines);
        std::set<std::string> ords;
        for (size_t r = 0; r < rows.size(); ++r) {
            ords.insert(rows[r].Raw.OrdCode);
            EXPECT_GE(ToMSecs(rows[r].SoldAt), ToMSecs(days[i]));
            EXPECT_LT(ToMSecs(rows[r].SoldAt), ToMSecs(IncDay(days[i], 1)));
            if (r == 0) continue;
            const TRawLine& a = rows[r - 1].Raw;
            const TRawLine& b = rows[r].Raw;
            const bool ordered =
                std::stoll(a.OrdCode) < std::stoll(b.OrdCode) || (a.OrdCode == b.OrdCode && a.Seq < b.Seq);
            EXPECT_TRUE(ordered) << a.OrdCode << ":" << a.Seq << " before " << b.OrdCode << ":" << b.Seq;
        }
        EXPECT_EQ(static_cast<std::int64_t>(ords.size()), want.Receipts);
        receipts += want.Receipts;
    }

    const Result<std::vector<TRegisterSeen>> seenRead = FReader.LastSeenByRegister(days.front());
    ASSERT_TRUE(seenRead.Ok()) << seenRead.Error();
    const std::vector<TRegisterSeen>& seen = seenRead.Value();
    std::int64_t seenReceipts = 0;
    for (const TRegisterSeen& s : seen)
        seenReceipts += s.OrdCount;
    EXPECT_EQ(seenReceipts, receipts);
}

TEST_F(PosGeneratedTest, CorrectionsLinksAndGoodsReadAsGenerated) {
    const Result<std::vector<TCancelRow>> cancelsRead =
        FReader.CancelLines(EncodeDate(2026, 10, 5), EncodeDate(2026, 11, 5));
    ASSERT_TRUE(cancelsRead.Ok()) << cancelsRead.Error();
    const std::vector<TCancelRow>& cancels = cancelsRead.Value();
    std::set<std::int64_t> cancelCodes, cancelled;
    for (const TCancelRow& c : cancels) {
        cancelCodes.insert(c.CancelCode);
        cancelled.insert(c.OrdCode);
        EXPECT_EQ(c.Raw.OrdCode, std::to_string(c.OrdCode));
    }
    EXPECT_EQ(cancelCodes, std::set<std::int64_t>(FSummary.CancelCodes.begin(), FSummary.CancelCodes.end()));
    for (std::int64_t ord : FSummary.FullyCancelled)
        EXPECT_TRUE(cancelled.count(ord)) << ord;

    ASSERT_FALSE(FSummary.ReturnReceipts.empty());
    const Result<std::vector<TOriginRow>> returnsRead = FReader.SalesLinesByOrd(FSummary.ReturnReceipts);
    ASSERT_TRUE(returnsRead.Ok()) << returnsRead.Error();
    const std::vector<TOriginRow>& returns = returnsRead.Value();
    std::set<std::string> returnOrds;
    for (const TOriginRow& r : returns) {
        EXPECT_TRUE(r.IsRefund) << r.Raw.OrdCode;
        returnOrds.insert(r.Raw.OrdCode);
    }
    EXPECT_EQ(returnOrds.size(), FSummary.ReturnReceipts.size());

    const Result<std::vector<TLinkRow>> linksRead = FReader.CouponLinks(FSummary.DesignatedCoupons);
    ASSERT_TRUE(linksRead.Ok()) << linksRead.Error();
    const std::vector<TLinkRow>& links = linksRead.Value();
    std::set<std::int64_t> targets;
    for (const TLinkRow& l : links)
        targets.insert(std::stoll(l.GoodsCode));
    EXPECT_EQ(targets,
              std::set<std::int64_t>(FSummary.DesignatedTargets.begin(), FSummary.DesignatedTargets.end()));

    std::vector<std::string> codes;
    std::map<std::string, const demopos::TDemoGoods*> byCode;
    for (const demopos::TDemoGoods& g : FSummary.Goods) {
        codes.push_back(std::to_string(g.Code));
        byCode[codes.back()] = &g;
    }
    const Result<std::vector<TGoodsRow>> goodsRead = FReader.GoodsByCodes(codes);
    ASSERT_TRUE(goodsRead.Ok()) << goodsRead.Error();
    const std::vector<TGoodsRow>& goods = goodsRead.Value();
    EXPECT_EQ(goods.size(), FSummary.Goods.size());
    for (const TGoodsRow& g : goods) {
        const demopos::TDemoGoods* want = byCode[g.Code];
        ASSERT_NE(want, nullptr) << g.Code;
        EXPECT_EQ(g.Name, want->Name); // the padding the POS stores is gone
        EXPECT_EQ(g.Barcode, want->Barcode);
        EXPECT_EQ(g.Active, want->Active) << g.Code;
    }

    const Result<std::vector<TColumnInfo>> columnsRead = FReader.Fingerprint();
    ASSERT_TRUE(columnsRead.Ok()) << columnsRead.Error();
    const std::vector<TColumnInfo>& columns = columnsRead.Value();
    std::set<std::string> tables;
    for (const TColumnInfo& c : columns)
        tables.insert(c.TableName);
    EXPECT_EQ(tables.size(), 8u);
}

} // namespace pavona
