// Cancel and return corrections from rows alone: which sold line a cancel or return reaches, what
// correction it gives, what is counted instead, and how earlier corrections read back from the
// correction files change the next partial cancel.
#include "pos/AgentCancel.h"

#include "pos/AgentReport.h"
#include "store/AgentSpool.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pavona {
namespace {

const std::vector<std::int64_t> kCodes = {7001};

TRawLine Line(const std::string& ord, int seq, int kind, const std::string& goods, std::int64_t price,
              std::int64_t qty = 1, std::int64_t coupon = 0) {
    TRawLine r;
    r.OrdCode = ord;
    r.Seq = seq;
    r.Kind = kind;
    r.Goods = goods;
    r.Coupon = coupon;
    r.Qty = qty;
    r.Price = price;
    r.UnitQty = 1;
    return r;
}
TRawLine G(const std::string& ord, int seq, const std::string& goods, std::int64_t price,
           std::int64_t qty = 1) {
    return Line(ord, seq, 0, goods, price, qty);
}
TRawLine D(const std::string& ord, int seq, std::int64_t coupon, std::int64_t price) {
    return Line(ord, seq, 1, "0", price, 1, coupon);
}

std::vector<TOriginRow> Sold(std::vector<TRawLine> lines, bool refund = false) {
    std::vector<TOriginRow> out;
    for (TRawLine& l : lines)
        out.push_back({std::move(l), refund});
    return out;
}

// Receipt 900: line 1 goods 300 (a paid line without coupon), line 2 goods 512 for 5,000 with a
// designated coupon discount of 1,000 on line 3, line 4 a free goods 512 with a coupon line.
std::vector<TOriginRow> Receipt900(const std::string& ord = "900") {
    return Sold({G(ord, 1, "300", 1200), G(ord, 2, "512", 5000), D(ord, 3, 7001, -1000), G(ord, 4, "512", 0),
                 D(ord, 5, 7001, -100)});
}

TDateTime At(int h, int m) {
    return EncodeDateTime(2026, 10, 6, h, m, 0, 0);
}

std::vector<TCancelRow> Cancel(std::int64_t code, std::int64_t ord, TDateTime at,
                               std::vector<TRawLine> lines) {
    std::vector<TCancelRow> out;
    for (TRawLine& l : lines) {
        TCancelRow c;
        c.CancelCode = code;
        c.OrdCode = ord;
        c.CanceledAtLocal = at;
        c.RegisterCode = 1;
        l.OrdCode = std::to_string(ord);
        c.Raw = std::move(l);
        out.push_back(std::move(c));
    }
    return out;
}
std::vector<TCancelRow> Join(std::vector<TCancelRow> a, const std::vector<TCancelRow>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct TWant {
    std::string Key, Kind;
    std::int64_t Corrected; // -1: no corrected amount
    std::string Reason;
};

void ExpectOuts(const std::vector<TCancelOut>& got, const std::vector<TWant>& want, TDateTime at) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(got[i].TxKey, want[i].Key);
        EXPECT_EQ(got[i].Kind, want[i].Kind);
        EXPECT_EQ(got[i].HasCorrected, want[i].Corrected >= 0);
        EXPECT_EQ(got[i].Corrected, want[i].Corrected >= 0 ? want[i].Corrected : 0);
        EXPECT_EQ(got[i].Reason, want[i].Reason);
        EXPECT_EQ(got[i].OccurredAtLocal, at);
    }
}

struct TCancelCase {
    const char* Name;
    std::vector<TOriginRow> Origins;
    std::vector<TCancelRow> Cancels;
    TPriorMarks Prior;
    std::vector<TWant> Want;
    TCancelSkips Skips; // expected counters
};

bool SameSkips(const TCancelSkips& a, const TCancelSkips& b) {
    return a.NoOrigin == b.NoOrigin && a.GoodsDiffer == b.GoodsDiffer &&
           a.OriginIsReturn == b.OriginIsReturn && a.Unchanged == b.Unchanged &&
           a.NotReported == b.NotReported && a.AlreadyApplied == b.AlreadyApplied;
}

TPriorMark Amended(std::int64_t corrected, std::string reason) {
    TPriorMark m;
    m.HasAmend = true;
    m.Corrected = corrected;
    m.Reasons.insert(std::move(reason));
    return m;
}

TEST(CancelCorrectionsTest, EachCancelLineReachesOneReportedSoldLineOrIsCounted) {
    const TDateTime t = At(12, 12);
    TPriorMark voided;
    voided.Void = true;
    voided.Reasons.insert("POS 반품 #R-1");
    const std::vector<TCancelCase> cases = {
        {"whole line cancelled",
         Receipt900(),
         Cancel(77, 900, t, {G("", 2, "512", 5000), D("", 3, 7001, -1000)}),
         {},
         {{"900:2", "void", -1, "POS 취소 #77"}},
         {}},
        {"partial cancel keeps what its coupon did not take",
         Receipt900(),
         Cancel(77, 900, t, {G("", 2, "512", 2000), D("", 3, 7001, -400)}),
         {},
         {{"900:2", "amend", 600, "POS 부분취소 #77"}},
         {}},
        {"partial cancel without designated coupon changes nothing",
         Receipt900(),
         Cancel(77, 900, t, {G("", 2, "512", 2000), D("", 3, 8000, -400)}),
         {},
         {},
         {.Unchanged = 1}},
        {"partial cancel taking more than is left ends at 0",
         Receipt900(),
         Cancel(77, 900, t, {G("", 2, "512", 2000), D("", 3, 7001, -1500)}),
         {},
         {{"900:2", "amend", 0, "POS 부분취소 #77"}},
         {}},
        {"line number not on the sold receipt",
         Receipt900(),
         Cancel(77, 900, t, {G("", 9, "512", 5000)}),
         {},
         {},
         {.NoOrigin = 1}},
        {"sold receipt not read back",
         Receipt900(),
         Cancel(77, 901, t, {G("", 2, "512", 5000)}),
         {},
         {},
         {.NoOrigin = 1}},
        {"another goods on that line",
         Receipt900(),
         Cancel(77, 900, t, {G("", 2, "513", 5000)}),
         {},
         {},
         {.GoodsDiffer = 1}},
        {"sold receipt is itself a return",
         Sold({G("900", 2, "512", 5000)}, true),
         Cancel(77, 900, t, {G("", 2, "512", 5000)}),
         {},
         {},
         {.OriginIsReturn = 1}},
        {"free line was never reported",
         Receipt900(),
         Cancel(77, 900, t, {G("", 4, "512", 0), D("", 5, 7001, -100)}),
         {},
         {},
         {.NotReported = 1}},
        {"padded receipt number on the sold receipt",
         Receipt900("  900 "),
         Cancel(77, 900, t, {G("", 2, "512", 5000)}),
         {},
         {{"900:2", "void", -1, "POS 취소 #77"}},
         {}},
        {"two partial cancels in one window add up",
         Receipt900(),
         Join(Cancel(77, 900, t, {G("", 2, "512", 2000), D("", 3, 7001, -400)}),
              Cancel(78, 900, t, {G("", 2, "512", 2000), D("", 3, 7001, -400)})),
         {},
         {{"900:2", "amend", 600, "POS 부분취소 #77"}, {"900:2", "amend", 200, "POS 부분취소 #78"}},
         {}},
        {"partial cancel starts from the amendment already recorded",
         Receipt900(),
         Cancel(78, 900, t, {G("", 2, "512", 2000), D("", 3, 7001, -400)}),
         {{"900:2", Amended(600, "POS 부분취소 #77")}},
         {{"900:2", "amend", 200, "POS 부분취소 #78"}},
         {}},
        {"cancel document already applied is not applied again",
         Receipt900(),
         Cancel(77, 900, t, {G("", 2, "512", 2000), D("", 3, 7001, -400)}),
         {{"900:2", Amended(600, "POS 부분취소 #77")}},
         {},
         {.AlreadyApplied = 1}},
        {"line voided earlier takes no further correction",
         Receipt900(),
         Cancel(77, 900, t, {G("", 2, "512", 5000)}),
         {{"900:2", voided}},
         {},
         {.AlreadyApplied = 1}},
        {"whole cancel after an amendment voids",
         Receipt900(),
         Cancel(78, 900, t, {G("", 2, "512", 5000)}),
         {{"900:2", Amended(600, "POS 부분취소 #77")}},
         {{"900:2", "void", -1, "POS 취소 #78"}},
         {}},
        {"several lines of one document in order",
         Receipt900(),
         Cancel(77, 900, t, {G("", 1, "300", 1200), G("", 2, "512", 5000), G("", 7, "512", 10)}),
         {},
         {{"900:1", "void", -1, "POS 취소 #77"}, {"900:2", "void", -1, "POS 취소 #77"}},
         {.NoOrigin = 1}},
    };
    for (const TCancelCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TCancelSkips skips;
        skips.NoOrigin = 99; // must be reset by the call
        const std::vector<TCancelOut> out = CancelCorrections(c.Cancels, c.Origins, kCodes, c.Prior, skips);
        ExpectOuts(out, c.Want, t);
        EXPECT_TRUE(SameSkips(skips, c.Skips))
            << skips.NoOrigin << " " << skips.GoodsDiffer << " " << skips.OriginIsReturn << " "
            << skips.Unchanged << " " << skips.NotReported << " " << skips.AlreadyApplied;
    }
}

std::vector<TReturnRow> Return(const std::string& ord, std::int64_t origin, TDateTime at,
                               std::vector<TRawLine> lines) {
    std::vector<TReturnRow> out;
    for (TRawLine& l : lines) {
        l.OrdCode = ord;
        out.push_back({ord, origin, at, std::move(l)});
    }
    return out;
}

struct TReturnCase {
    const char* Name;
    std::vector<TOriginRow> Origins;
    std::vector<TReturnRow> Returns;
    std::vector<TWant> Want;
    TReturnSkips Skips;
};

TEST(ReturnCorrectionsTest, ReturnedQuantityGoesToReportedSoldLinesOfTheSameGoods) {
    const TDateTime t = At(15, 0);
    const std::string partial5 = "POS 부분반품 #R-5 — 남은 수량의 지원액을 가를 수 없어 줄 전체를 뺀다";
    const std::vector<TOriginRow> twoLines = Sold({G("900", 1, "512", 9000, 3), D("900", 2, 7001, -300),
                                                   G("900", 3, "512", 6000, 2), G("900", 4, "77", 500)});
    std::vector<TOriginRow> withOther = Sold({G("800", 1, "512", 100)});
    withOther.insert(withOther.end(), twoLines.begin(), twoLines.end());
    const std::vector<TReturnCase> cases = {
        {"one of three returned voids the line as partial",
         twoLines,
         Return("R-5", 900, t, {G("", 1, "512", -3000, -1)}),
         {{"900:1", "void", -1, partial5}},
         {.Partial = 1}},
        {"four returned spread over lines of three and two",
         twoLines,
         Return("R-5", 900, t, {G("", 1, "512", -8000, -4)}),
         {{"900:1", "void", -1, "POS 반품 #R-5"}, {"900:3", "void", -1, partial5}},
         {.Partial = 1}},
        {"returned quantities of one goods add up over lines",
         twoLines,
         Return("R-5", 900, t, {G("", 1, "512", -6000, -2), D("", 2, 7001, 100), G("", 3, "512", -3000, -1)}),
         {{"900:1", "void", -1, "POS 반품 #R-5"}},
         {}},
        {"more returned than sold",
         Sold({G("900", 1, "512", 9000, 3)}),
         Return("R-5", 900, t, {G("", 1, "512", -15000, -5)}),
         {{"900:1", "void", -1, "POS 반품 #R-5"}},
         {.Unmatched = 1}},
        {"goods not on the sold receipt",
         twoLines,
         Return("R-5", 900, t, {G("", 1, "999", -100, -1)}),
         {},
         {.Unmatched = 1}},
        {"no origin number",
         twoLines,
         Return("R-5", 0, t, {G("", 1, "512", -3000, -1)}),
         {},
         {.NoOriginRef = 1}},
        {"origin not read back",
         twoLines,
         Return("R-5", 901, t, {G("", 1, "512", -3000, -1)}),
         {},
         {.OriginMissing = 1}},
        {"origin is itself a return",
         Sold({G("900", 1, "512", -3000, -1)}, true),
         Return("R-5", 900, t, {G("", 1, "512", -3000, -1)}),
         {},
         {.OriginIsReturn = 1}},
        {"only the origin's own rows are looked at",
         withOther,
         Return("R-5", 900, t, {G("", 1, "512", -3000, -1)}),
         {{"900:1", "void", -1, partial5}},
         {.Partial = 1}},
        {"a free line of the goods does not take the returned quantity",
         Sold({G("900", 1, "512", 0, 1), G("900", 2, "512", 3000, 1)}),
         Return("R-5", 900, t, {G("", 1, "512", -3000, -1)}),
         {{"900:2", "void", -1, "POS 반품 #R-5"}},
         {}},
        {"free goods handed back need no correction and no warning",
         Sold({G("900", 1, "512", 3000, 1), G("900", 2, "600", 0, 2)}),
         Return("R-5", 900, t, {G("", 1, "600", 0, -2)}),
         {},
         {}},
        {"padded origin receipt number",
         Sold({G(" 900  ", 1, "512", 3000, 1)}),
         Return("R-5", 900, t, {G("", 1, "512", -3000, -1)}),
         {{"900:1", "void", -1, "POS 반품 #R-5"}},
         {}},
    };
    for (const TReturnCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TReturnSkips skips;
        skips.Unmatched = 99; // must be reset by the call
        const std::vector<TCancelOut> out = ReturnCorrections(c.Returns, c.Origins, skips);
        ExpectOuts(out, c.Want, t);
        EXPECT_EQ(skips.NoOriginRef, c.Skips.NoOriginRef);
        EXPECT_EQ(skips.OriginMissing, c.Skips.OriginMissing);
        EXPECT_EQ(skips.OriginIsReturn, c.Skips.OriginIsReturn);
        EXPECT_EQ(skips.Unmatched, c.Skips.Unmatched);
        EXPECT_EQ(skips.Partial, c.Skips.Partial);
    }
}

TEST(ReturnCorrectionsTest, SeveralReturnReceiptsAndTheirOrigins) {
    const TDateTime t1 = At(15, 0), t2 = At(16, 0);
    std::vector<TReturnRow> rows = Return("R-5", 900, t1, {G("", 1, "512", -3000, -1)});
    for (const TReturnRow& r : Return("R-6", 0, t2, {G("", 1, "512", -3000, -1)}))
        rows.push_back(r);
    for (const TReturnRow& r : Return("R-7", 800, t2, {G("", 1, "100", -500, -1)}))
        rows.push_back(r);
    for (const TReturnRow& r : Return("R-8", 900, t2, {G("", 1, "512", -3000, -1)}))
        rows.push_back(r);
    EXPECT_EQ(ReturnOrigins(rows), (std::vector<std::int64_t>{900, 800}));

    std::vector<TOriginRow> origins = Sold({G("800", 1, "100", 500)});
    for (const TOriginRow& o : Sold({G("900", 1, "512", 3000)}))
        origins.push_back(o);
    TReturnSkips skips;
    const std::vector<TCancelOut> out = ReturnCorrections(rows, origins, skips);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0].TxKey, "900:1");
    EXPECT_EQ(out[0].Reason, "POS 반품 #R-5");
    EXPECT_EQ(out[0].OccurredAtLocal, t1);
    EXPECT_EQ(out[1].TxKey, "800:1");
    EXPECT_EQ(out[1].OccurredAtLocal, t2);
    EXPECT_EQ(out[2].Reason, "POS 반품 #R-8");
    EXPECT_EQ(skips.NoOriginRef, 1);
    EXPECT_EQ(skips.SkippedReturns(), 1);
}

TEST(CancelSpoolDayTest, NamedAfterTheCycleDay) {
    EXPECT_EQ(CancelSpoolDay(EncodeDateTime(2026, 10, 6, 0, 0, 5, 0)), "2026-10-06-cancel");
    EXPECT_EQ(CancelSpoolDay(EncodeDateTime(2026, 12, 31, 23, 59, 59, 999)), "2026-12-31-cancel");
}

class PriorMarksTest : public test::TempDataTest {};

TEST_F(PriorMarksTest, CorrectionFilesReadBackAsTheNetStateOfEachLine) {
    const std::string dir = FRoot.File("spool");
    TSpool spool(dir, 0);
    const TDateTime t = At(12, 0);
    auto put = [&](const std::string& day, const std::string& key, const char* kind, std::int64_t corrected,
                   const std::string& reason) {
        TCancelOut o{key, kind, corrected >= 0, corrected >= 0 ? corrected : 0, reason, t};
        ASSERT_TRUE(spool.Append(day, key, CancelJson(o)));
    };
    put("2026-10-05-cancel", "1:1", "amend", 600, "POS 부분취소 #77");
    put("2026-10-06-cancel", "1:1", "amend", 200, "POS 부분취소 #78");
    put("2026-10-05-cancel", "2:1", "void", -1, "POS 반품 #R-1");
    put("2026-10-06-cancel", "2:1", "amend", 900, "POS 부분취소 #80");
    put("2026-10-05-cancel", "3:1", "amend", 300, "POS 부분취소 #81");
    put("2026-10-06-cancel", "3:1", "void", -1, "POS 취소 #82");
    put("2026-10-06-cancel", "4:1", "amend", 0, "POS 부분취소 #83 \"따옴표\"");
    // A sales day file and a damaged correction line are not corrections.
    ASSERT_TRUE(spool.Append("2026-10-06", "5:1", CancelJson({"5:1", "void", false, 0, "x", t})));
    test::WriteFile(dir + "/spool-2026-10-07-cancel.jsonl",
                    "6:1\t123\t" + CancelJson({"6:1", "void", false, 0, "POS 취소 #1", t}) + "\r\n");

    const TPriorMarks marks = LoadPriorMarks(dir);
    ASSERT_EQ(marks.size(), 4u);
    const TPriorMark& m1 = marks.at("1:1");
    EXPECT_FALSE(m1.Void);
    EXPECT_TRUE(m1.HasAmend);
    EXPECT_EQ(m1.Corrected, 200);
    EXPECT_EQ(m1.Reasons, (std::set<std::string>{"POS 부분취소 #77", "POS 부분취소 #78"}));
    EXPECT_TRUE(marks.at("2:1").Void);
    EXPECT_TRUE(marks.at("3:1").Void);
    EXPECT_EQ(marks.at("4:1").Corrected, 0);
    EXPECT_TRUE(marks.at("4:1").HasAmend);
    EXPECT_EQ(*marks.at("4:1").Reasons.begin(), "POS 부분취소 #83 \"따옴표\"");

    EXPECT_TRUE(LoadPriorMarks(FRoot.File("missing")).empty());
}

TEST_F(PriorMarksTest, PartialCancelsSpreadOverCyclesAddUpOnceEach) {
    // Each cycle reads its window with an overlap, so a cancel document is met twice; its
    // corrections go to the spool and are read back before the next cycle.
    const std::string dir = FRoot.File("spool");
    TSpool spool(dir, 0);
    const TDateTime t = At(12, 0);
    const auto c77 = Cancel(77, 900, t, {G("", 2, "512", 2000), D("", 3, 7001, -400)});
    const auto c78 = Cancel(78, 900, IncMinute(t, 7), {G("", 2, "512", 2000), D("", 3, 7001, -400)});
    const std::vector<std::vector<TCancelRow>> windows = {c77, Join(c77, c78), c78, {}};
    std::vector<std::int64_t> corrected;
    for (const auto& rows : windows) {
        TCancelSkips skips;
        for (const TCancelOut& o :
             CancelCorrections(rows, Receipt900(), kCodes, LoadPriorMarks(dir), skips)) {
            ASSERT_TRUE(spool.Append(CancelSpoolDay(t), o.TxKey, CancelJson(o)));
            corrected.push_back(o.Corrected);
        }
    }
    EXPECT_EQ(corrected, (std::vector<std::int64_t>{600, 200}));
    std::vector<TSpoolEntry> pending;
    ASSERT_TRUE(spool.Pending(CancelSpoolDay(t), pending));
    ASSERT_EQ(pending.size(), 2u);
    EXPECT_EQ(pending[1].Payload,
              "{\"tx_key\":\"900:2\",\"kind\":\"amend\",\"corrected_discount_amount\":200,"
              "\"reason\":\"POS 부분취소 #78\",\"occurred_at\":\"2026-10-06T03:07:00Z\"}");
}

} // namespace
} // namespace pavona
