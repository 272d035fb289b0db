// Cancels and returns read from a POS database through the SQLite3 ODBC driver, corrected on a real
// spool cycle after cycle: overlapping windows, notices, read failures, refused appends, and a
// generated POS whose every correction names a line that was reported.
#include "pos/AgentCancel.h"

#include "platform/Platform.h"
#include "pos/AgentPos.h"
#include "pos/AgentReport.h"
#include "store/AgentSpool.h"
#include "tests/support/TestSupport.h"
#include "tools/demopos/DemoPos.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace pavona {
namespace {

const std::vector<std::int64_t> kCodes = {7001};

TDateTime At(int h, int m) {
    return EncodeDateTime(2026, 10, 6, h, m, 0, 0);
}

demopos::TDemoLine L(int seq, std::int64_t goods, std::int64_t price, std::int64_t qty = 1,
                     std::int64_t coupon = 0) {
    demopos::TDemoLine l;
    l.Seq = seq;
    l.Kind = goods == 0 ? 1 : 0;
    l.Goods = goods;
    l.Coupon = coupon;
    l.Qty = qty;
    l.Price = price;
    return l;
}

// What one report cycle does with the POS: the window's receipts to the spool, then cancels, then
// returns, all in one batch.
struct TCycle {
    TCorrectionResult Cancels, Returns;
    int Stored = 0;
};

TCycle RunCycle(TPosReader& reader, TSpool& spool, TDateTime fromT, TDateTime toT, TDateTime now,
                const std::vector<std::int64_t>& codes = kCodes) {
    TCycle c;
    const Result<std::vector<TSalesRow>> read = reader.SalesLines(fromT, toT);
    EXPECT_TRUE(read.Ok()) << read.Error();
    const std::vector<TSalesRow> rows = read.ValueOr({});
    const TPriorMarks prior = LoadPriorMarks(spool.Dir());
    const TGoodsNames names = GoodsNamesOf(rows);
    std::vector<TReturnRow> returns;
    spool.BeginBatch();
    for (size_t i = 0; i < rows.size();) {
        size_t j = i;
        while (j < rows.size() && rows[j].Raw.OrdCode == rows[i].Raw.OrdCode)
            ++j;
        c.Stored += ReportReceipt(rows, i, j, names, codes, FormatDay(fromT), spool, returns).Stored;
        i = j;
    }
    c.Cancels = ApplyCancels(reader, fromT, toT, codes, prior, spool, now);
    c.Returns = ApplyReturns(reader, returns, spool, now);
    EXPECT_EQ(spool.EndBatch(), 0);
    return c;
}

std::vector<std::string> Corrections(TSpool& spool, TDateTime now) {
    std::vector<TSpoolEntry> entries;
    EXPECT_TRUE(spool.Pending(CancelSpoolDay(now), entries));
    std::vector<std::string> out;
    for (const TSpoolEntry& e : entries)
        out.push_back(e.Payload);
    return out;
}

class CancelPosTest : public test::TempDataTest {
  protected:
    void SetUp() override {
        FDb = FRoot.File("pos.db");
        std::string error;
        ASSERT_TRUE(demopos::CreateEmpty(FDb, error)) << error;
        // Receipt 900: a paid line, goods 512 for 5,000 with a designated discount of 1,000, and a
        // free 512 with a coupon line of its own.
        demopos::TDemoReceipt r;
        r.OrdCode = 900;
        r.At = At(9, 0);
        r.Register = 2;
        r.Lines = {L(1, 300, 1200), L(2, 512, 5000), L(3, 0, -1000, 1, 7001), L(4, 512, 0),
                   L(5, 0, -100, 1, 7001)};
        ASSERT_TRUE(demopos::AddReceipt(FDb, r, error)) << error;
        const Result<> connected = FReader.Connect("Driver=SQLite3;Database=" + FDb);
        ASSERT_TRUE(connected.Ok()) << connected.Error();
    }
    void AddCancel(std::int64_t code, TDateTime at, std::vector<demopos::TDemoLine> lines) {
        demopos::TDemoCancel c;
        c.CancelCode = code;
        c.OrdCode = 900;
        c.At = at;
        c.Lines = std::move(lines);
        std::string error;
        ASSERT_TRUE(demopos::AddCancel(FDb, c, error)) << error;
    }
    void AddReturn(std::int64_t ord, std::int64_t origin, TDateTime at,
                   std::vector<demopos::TDemoLine> lines) {
        demopos::TDemoReceipt r;
        r.OrdCode = ord;
        r.At = at;
        r.RegType = 2;
        r.Origin = origin;
        r.Lines = std::move(lines);
        std::string error;
        ASSERT_TRUE(demopos::AddReceipt(FDb, r, error)) << error;
    }

    std::string FDb;
    TPosReader FReader;
};

TEST_F(CancelPosTest, OverlappingWindowsApplyEachCancelOnceAndPartialCancelsAddUp) {
    AddCancel(77, At(12, 12), {L(2, 512, 2000), L(3, 0, -400, 1, 7001)});
    AddCancel(78, At(12, 20), {L(2, 512, 2000), L(3, 0, -400, 1, 7001)});
    AddCancel(79, At(12, 30), {L(4, 512, 0), L(5, 0, -100, 1, 7001), L(9, 512, 100)});
    TSpool spool(FRoot.File("spool"), 0);
    const TDateTime now = At(12, 45);

    // The sale itself, then three cycles whose windows overlap by five minutes.
    EXPECT_EQ(RunCycle(FReader, spool, At(8, 55), At(9, 5), now).Stored, 2);
    const TCycle a = RunCycle(FReader, spool, At(12, 0), At(12, 15), now);
    const TCycle b = RunCycle(FReader, spool, At(12, 10), At(12, 25), now);
    const TCycle c = RunCycle(FReader, spool, At(12, 20), At(12, 35), now);

    EXPECT_TRUE(a.Cancels.Note.Empty());
    EXPECT_EQ(a.Cancels.Stored, 1);
    EXPECT_TRUE(b.Cancels.Note.Empty());
    EXPECT_EQ(b.Cancels.Stored, 1);
    EXPECT_EQ(b.Cancels.CancelSkips.AlreadyApplied, 1); // cancel 77 met again in the overlap
    // Cancel 79: the free line was never reported, line 9 is not on the receipt.
    EXPECT_EQ(c.Cancels.Note,
              TNotice::Warning("⚠ 취소 1건이 원 줄과 맞지 않습니다 — 짐작으로 취소하지 않았습니다."));
    EXPECT_EQ(c.Cancels.CancelSkips.NoOrigin, 1);
    EXPECT_EQ(c.Cancels.CancelSkips.NotReported, 1);
    EXPECT_EQ(c.Cancels.CancelSkips.AlreadyApplied, 1); // cancel 78 met again
    EXPECT_EQ(c.Cancels.Stored, 0);
    EXPECT_TRUE(c.Returns.Note.Empty());

    EXPECT_EQ(
        Corrections(spool, now),
        (std::vector<std::string>{
            "{\"tx_key\":\"900:2\",\"kind\":\"amend\",\"corrected_discount_amount\":600,\"reason\":\"POS "
            "부분취소 #77\",\"occurred_at\":\"2026-10-06T03:12:00Z\"}",
            "{\"tx_key\":\"900:2\",\"kind\":\"amend\",\"corrected_discount_amount\":200,\"reason\":\"POS "
            "부분취소 #78\",\"occurred_at\":\"2026-10-06T03:20:00Z\"}"}));
    // Filed under the day the corrections were found, not the day of the sale.
    const TDateTime nextDay = EncodeDateTime(2026, 10, 7, 8, 0, 0, 0);
    AddCancel(80, EncodeDateTime(2026, 10, 7, 7, 55, 0, 0), {L(1, 300, 1200)});
    const TCycle d = RunCycle(FReader, spool, IncMinute(nextDay, -10), nextDay, nextDay);
    EXPECT_EQ(d.Cancels.Stored, 1);
    EXPECT_EQ(Corrections(spool, nextDay),
              (std::vector<std::string>{"{\"tx_key\":\"900:1\",\"kind\":\"void\",\"reason\":\"POS 취소 "
                                        "#80\",\"occurred_at\":\"2026-10-06T22:55:00Z\"}"}));
}

TEST_F(CancelPosTest, ReturnsMetInTheWindowVoidTheirSoldLines) {
    AddReturn(950, 900, At(15, 0), {L(1, 512, -5000, -1)});
    AddReturn(951, 0, At(15, 5), {L(1, 300, -1200, -1)});
    AddReturn(952, 950, At(15, 6), {L(1, 512, 5000, 1)});
    TSpool spool(FRoot.File("spool"), 0);
    const TDateTime now = At(15, 30);
    const TCycle c = RunCycle(FReader, spool, At(14, 55), At(15, 10), now);
    EXPECT_EQ(c.Stored, 0); // return receipts are not sales
    EXPECT_EQ(c.Returns.ReturnSkips.NoOriginRef, 1);
    EXPECT_EQ(c.Returns.ReturnSkips.OriginIsReturn, 1);
    EXPECT_EQ(c.Returns.Note,
              TNotice::Error("⚠ 반품 2건의 원거래를 확정하지 못했습니다 — 짐작으로 빼지 않았습니다."));
    EXPECT_EQ(Corrections(spool, now),
              (std::vector<std::string>{"{\"tx_key\":\"900:2\",\"kind\":\"void\",\"reason\":"
                                        "\"POS 반품 #950\",\"occurred_at\":\"2026-10-"
                                        "06T06:00:00Z\"}"}));
}

TEST_F(CancelPosTest, ReadFailuresAndRefusedAppendsLeaveTheAmountInTheClaim) {
    AddCancel(77, At(12, 12), {L(2, 512, 5000)});
    const std::vector<TReturnRow> returns = {{"950", 900, At(15, 0), {}}};
    const TDateTime now = At(16, 0);
    {
        // Every correction refused: counted, so the cycle reads the window again.
        const std::string dir = FRoot.File("full");
        ASSERT_TRUE(platform::MakeDirs(dir));
        test::WriteFile(dir + "/spool-2026-10-01.jsonl", std::string(64, 'x'));
        TSpool full(dir, 10);
        const TCorrectionResult r = ApplyCancels(FReader, At(12, 0), At(13, 0), kCodes, {}, full, now);
        EXPECT_EQ(r.Corrections.size(), 1u);
        EXPECT_EQ(r.Refused, 1);
        EXPECT_EQ(r.Stored, 0);
    }
    TSpool spool(FRoot.File("spool"), 0);
    TPosReader closed;
    struct TCase {
        const char* Name;
        TPosReader& Reader;
        std::string Sql; // run on the POS before the step
        bool Returns;
        const char* Note;
    };
    const std::vector<TCase> cases = {
        {"cancels unreadable", closed, "", false, "취소를 읽지 못했습니다 — 취소분이 청구에 남습니다."},
        {"return origins unreadable", closed, "", true,
         "반품의 원거래를 읽지 못했습니다 — 반품분이 청구에 남습니다."},
        {"sold receipts of the cancels unreadable", FReader, "DROP TABLE Ordd;", false,
         "원 전표를 읽지 못했습니다 — 취소분이 청구에 남습니다."},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        std::string error;
        if (!c.Sql.empty()) {
            ASSERT_TRUE(demopos::RunSql(FDb, c.Sql, error)) << error;
        }
        const TCorrectionResult r =
            c.Returns ? ApplyReturns(c.Reader, returns, spool, now)
                      : ApplyCancels(c.Reader, At(12, 0), At(13, 0), kCodes, {}, spool, now);
        EXPECT_EQ(r.Note, TNotice::Error(c.Note));
        EXPECT_TRUE(r.Corrections.empty());
        EXPECT_EQ(r.Refused + r.Stored, 0);
    }
    EXPECT_TRUE(Corrections(spool, now).empty());
}

// Generated days of sales, cancels and returns run as one cycle per day, twice.
TEST(CancelGeneratedTest, EveryCorrectionNamesAReportedLineAndRereadsAddNothing) {
    test::TempDir root;
    const std::string db = root.File("demo.db");
    demopos::TDemoOptions o;
    o.Seed = 4242;
    o.FirstDay = EncodeDate(2026, 10, 5);
    o.Days = 2;
    o.ReceiptsPerDay = 200;
    o.FullCancelRate = 0.05;
    o.PartialCancelRate = 0.05;
    o.ReturnRate = 0.05;
    const demopos::TDemoResult gen = demopos::Generate(db, o);
    ASSERT_TRUE(gen.Ok) << gen.Error;
    TPosReader reader;
    const Result<> connected = reader.Connect("Driver=SQLite3;Database=" + db);
    ASSERT_TRUE(connected.Ok()) << connected.Error();
    TSpool spool(root.File("spool"), 0);
    const TDateTime now = EncodeDateTime(2026, 10, 7, 6, 0, 0, 0);

    std::map<std::string, std::string> reported; // tx key → receipt number
    std::vector<TCancelOut> all;
    int noOriginRef = 0, returnSkips = 0;
    for (int pass = 0; pass < 2; ++pass) {
        for (const demopos::TDemoDay& d : gen.Summary.Days) {
            SCOPED_TRACE(d.Day + (pass ? " again" : ""));
            TDateTime day = 0;
            ASSERT_TRUE(ParseDay(d.Day, day));
            const size_t before = Corrections(spool, now).size();
            const TCycle c = RunCycle(reader, spool, day, IncDay(day, 1), now, gen.Summary.DesignatedCoupons);
            EXPECT_TRUE(c.Cancels.Note.Empty());
            EXPECT_EQ(c.Cancels.CancelSkips.Unmatched(), 0);
            EXPECT_EQ(c.Cancels.CancelSkips.OriginIsReturn, 0);
            EXPECT_EQ(c.Cancels.Refused + c.Returns.Refused, 0);
            if (pass == 0) {
                EXPECT_EQ(c.Cancels.CancelSkips.AlreadyApplied, 0);
                all.insert(all.end(), c.Cancels.Corrections.begin(), c.Cancels.Corrections.end());
                all.insert(all.end(), c.Returns.Corrections.begin(), c.Returns.Corrections.end());
                noOriginRef += c.Returns.ReturnSkips.NoOriginRef;
                returnSkips += c.Returns.ReturnSkips.SkippedReturns();
                std::vector<TSpoolEntry> lines;
                ASSERT_TRUE(spool.Pending(d.Day, lines));
                for (const TSpoolEntry& e : lines) {
                    const size_t at = e.Payload.find("\"receipt_no\":\"");
                    ASSERT_NE(at, std::string::npos);
                    reported[e.Key] = e.Payload.substr(at + 14, e.Payload.find('"', at + 14) - at - 14);
                }
            } else {
                // Read again: cancels were applied already, returns give the very same corrections.
                EXPECT_TRUE(c.Cancels.Corrections.empty());
                EXPECT_EQ(Corrections(spool, now).size(), before);
            }
        }
    }
    ASSERT_FALSE(all.empty());
    // Every correction names a line the server received.
    std::set<std::string> voided, amended;
    for (const TCancelOut& o : all) {
        EXPECT_EQ(reported.count(o.TxKey), 1u) << o.TxKey;
        (o.Kind == "void" ? voided : amended).insert(o.TxKey);
    }
    // Every reported line of a receipt cancelled whole is voided by its cancel.
    const std::set<std::int64_t> whole(gen.Summary.FullyCancelled.begin(), gen.Summary.FullyCancelled.end());
    ASSERT_FALSE(whole.empty());
    for (const auto& [key, receipt] : reported)
        if (whole.count(std::stoll(receipt))) {
            EXPECT_EQ(voided.count(key), 1u) << key;
        }
    // A receipt cancelled in part keeps at least one of its reported lines whole.
    const std::set<std::int64_t> part(gen.Summary.PartlyCancelled.begin(), gen.Summary.PartlyCancelled.end());
    ASSERT_FALSE(part.empty());
    std::map<std::string, int> kept;
    for (const auto& [key, receipt] : reported)
        if (part.count(std::stoll(receipt)) && !voided.count(key)) ++kept[receipt];
    EXPECT_EQ(kept.size(), part.size());
    // The returns without an origin number are the ones the store is told about.
    int withoutOrigin = 0;
    for (std::int64_t origin : gen.Summary.ReturnedOrigins)
        withoutOrigin += origin == 0 ? 1 : 0;
    EXPECT_EQ(noOriginRef, withoutOrigin);
    EXPECT_EQ(returnSkips, withoutOrigin);
}

} // namespace
} // namespace pavona
