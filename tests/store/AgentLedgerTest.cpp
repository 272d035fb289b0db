// The ledger over real spool files written by the spool with the report encoder's texts.
#include "store/AgentLedger.h"

#include "common/DateTime.h"
#include "common/Text.h"
#include "platform/Platform.h"
#include "pos/AgentReport.h"
#include "store/AgentSpool.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <iterator>
#include <limits>
#include <memory>
#include <set>

namespace pavona {
namespace {

TDateTime At(int day, int hour, int minute) {
    return EncodeDateTime(2026, 10, day, hour, minute, 0);
}

class LedgerTest : public ::testing::Test {
  protected:
    test::TempDir FTmp;
    std::string FDir = FTmp.Path() + "/spool";
    TSpool FSpool{FDir, 0};

    // A sale line spooled into the file of `fileDay` (October 2026).
    void Sale(int fileDay, const std::string& key, TDateTime soldAt, const std::string& code,
              std::int64_t amount, std::int64_t discount, double qty = 1, const std::string& name = "") {
        TReportLine r;
        r.TxKey = key;
        r.SoldAtLocal = soldAt;
        r.VendorItemCode = code;
        r.VendorItemName = name.empty() ? "상품" + code : name;
        r.Quantity = qty;
        r.UnitPrice = amount;
        r.Amount = amount;
        r.DiscountAmount = discount;
        r.ReceiptNo = key.substr(0, key.find(':'));
        r.PosNo = "1";
        ASSERT_TRUE(FSpool.Append(Day(fileDay), key, LineJson(r)));
    }
    // A correction spooled on `fileDay`; amend with corrected < 0 means a void.
    void Correct(int fileDay, const std::string& key, const std::string& kind, std::int64_t corrected = 0) {
        TCancelOut o;
        o.TxKey = key;
        o.Kind = kind;
        o.HasCorrected = kind == "amend";
        o.Corrected = corrected;
        o.Reason = kind == "amend" ? "POS 부분취소 #1" : "POS 취소 #1";
        o.OccurredAtLocal = At(fileDay, 12, 0);
        ASSERT_TRUE(FSpool.Append(Day(fileDay) + "-cancel", key, CancelJson(o)));
    }
    static std::string Day(int day) { return Fmt("2026-10-%.2d", day); }
    std::string Path(const std::string& name) const { return FDir + "/" + name; }
    void Raw(const std::string& name, const std::string& bytes) {
        ASSERT_TRUE(platform::AppendToFile(Path(name), bytes, false));
    }
};

TEST_F(LedgerTest, LinesOnShowsSentStateCorrectionsAndEachKeyOnce) {
    Sale(6, "9:2", At(6, 10, 5), "512", 3000, 600);
    Sale(6, "9:1", At(6, 10, 5), "512", 2000, 400); // same time: ordered by key
    Sale(6, "8:1", At(6, 9, 0), "700", 1000, 0);
    Sale(6, "8:1", At(6, 9, 0), "700", 1000, 0); // overlapping windows spool it again
    Sale(6, "7:1", At(6, 8, 0), "701", 5000, 1000);
    Sale(6, "6:1", At(5, 23, 50), "702", 100, 0); // sold the day before
    ASSERT_TRUE(FSpool.MarkSent(Day(6), {"9:1", "7:1"}));
    Correct(6, "7:1", "amend", 300);
    Correct(7, "9:2", "void");

    TLedger ledger(FDir);
    const std::vector<TLedgerLine> lines = ledger.LinesOn(At(6, 15, 0));
    ASSERT_EQ(lines.size(), 4u);
    struct Want {
        const char* Key;
        bool Sent, Voided;
        std::int64_t Discount;
    };
    const Want want[] = {{"7:1", true, false, 300},
                         {"8:1", false, false, 0},
                         {"9:1", true, false, 400},
                         {"9:2", false, true, 600}};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(lines[i].Key, want[i].Key);
        EXPECT_EQ(lines[i].Sent, want[i].Sent) << want[i].Key;
        EXPECT_EQ(lines[i].Voided, want[i].Voided) << want[i].Key;
        EXPECT_EQ(lines[i].Discount, want[i].Discount) << want[i].Key;
        EXPECT_EQ(lines[i].FileDay, "2026-10-06");
    }
    EXPECT_EQ(lines[0].Name, "상품701");
    EXPECT_EQ(lines[0].Receipt, "7");
    EXPECT_EQ(lines[0].Amount, 5000);

    // The line sold on the 5th just before midnight went into the 6th's file, as the first window
    // after midnight starts a few minutes before its watermark: it is the 5th's, shown there.
    const std::vector<TLedgerLine> late = ledger.LinesOn(At(5, 0, 0));
    ASSERT_EQ(late.size(), 1u);
    EXPECT_EQ(late[0].Key, "6:1");
    EXPECT_EQ(late[0].FileDay, "2026-10-06");
    Sale(4, "5:1", At(5, 1, 0), "702", 100, 0);
    const std::vector<TLedgerLine> fifth = ledger.LinesOn(At(5, 0, 0));
    ASSERT_EQ(fifth.size(), 2u);
    EXPECT_EQ(fifth[0].Key, "5:1");
    EXPECT_EQ(fifth[0].FileDay, "2026-10-04");
    EXPECT_EQ(fifth[1].Key, "6:1");
}

TEST_F(LedgerTest, LinesOnReadsTheFilesOfTheSevenDaysBeforeAndTheDayAfter) {
    const TDateTime sold = At(20, 11, 0);
    struct Case {
        int FileDay;
        const char* Key;
        bool Found;
    };
    const Case cases[] = {
        {12, "a:1", false}, {13, "b:1", true},  {17, "c:1", true},
        {20, "d:1", true},  {21, "e:1", true}, {22, "f:1", false}};
    for (const Case& c : cases)
        Sale(c.FileDay, c.Key, sold, "1", 100, 0);
    TLedger ledger(FDir);
    std::vector<std::string> got;
    for (const TLedgerLine& l : ledger.LinesOn(At(20, 0, 0)))
        got.push_back(l.Key);
    std::vector<std::string> want;
    for (const Case& c : cases)
        if (c.Found) want.push_back(c.Key);
    EXPECT_EQ(got, want);
    // The earliest file wins for a key spooled into two files.
    Sale(14, "c:1", sold, "1", 999, 0);
    const std::vector<TLedgerLine> again = ledger.LinesOn(At(20, 0, 0));
    ASSERT_EQ(again.size(), 4u);
    EXPECT_EQ(again[1].Key, "c:1");
    EXPECT_EQ(again[1].FileDay, "2026-10-14");
    EXPECT_EQ(again[1].Amount, 999);
}

TEST_F(LedgerTest, MarksVoidIsFinalAndTheLastAmendmentWins) {
    Correct(6, "a:1", "amend", 300);
    Correct(6, "a:1", "void");
    Correct(6, "b:1", "void");
    Correct(6, "b:1", "amend", 500);
    Correct(6, "c:1", "amend", 300);
    Correct(7, "c:1", "amend", 200);
    Correct(8, "c:1", "amend", 100);
    Correct(7, "d:1", "amend", 0);
    TLedger ledger(FDir);
    struct Case {
        const char* Key;
        bool Void;
        std::int64_t Corrected;
    };
    const Case cases[] = {{"a:1", true, 0}, {"b:1", true, 0}, {"c:1", false, 100}, {"d:1", false, 0}};
    for (const Case& c : cases) {
        TCancelMark m;
        ASSERT_TRUE(ledger.MarkOf(c.Key, m)) << c.Key;
        EXPECT_EQ(m.Void, c.Void) << c.Key;
        EXPECT_EQ(m.Corrected, c.Corrected) << c.Key;
    }
    TCancelMark m;
    EXPECT_FALSE(ledger.MarkOf("e:1", m));
    EXPECT_EQ(ledger.Marks().size(), 4u);
    // A new correction file is seen by the next call.
    Correct(9, "e:1", "void");
    EXPECT_TRUE(ledger.MarkOf("e:1", m));
    EXPECT_TRUE(m.Void);
    EXPECT_EQ(ledger.Marks().size(), 5u);
}

TEST_F(LedgerTest, MarksKeepEveryReasonAndNetTheAmendments) {
    auto put = [&](int fileDay, const std::string& key, const std::string& kind, std::int64_t corrected,
                   const std::string& reason) {
        const TCancelOut o{key, kind, kind == "amend", corrected, reason, At(fileDay, 12, 0)};
        ASSERT_TRUE(FSpool.Append(Day(fileDay) + "-cancel", key, CancelJson(o)));
    };
    // A whole spool line with its own payload, as another writer or a damaged file may leave it.
    auto line = [](const std::string& key, const std::string& payload) {
        return key + "\t" + std::to_string(PayloadHash(payload)) + "\t" + payload;
    };
    put(6, "a:1", "amend", 600, "POS 부분취소 #77");
    put(7, "a:1", "amend", 200, "POS 부분취소 #78");
    put(6, "b:1", "amend", 300, "POS 부분취소 #81");
    put(6, "b:1", "void", 0, "POS 취소 #82");
    put(8, "b:1", "amend", 900, "POS 부분취소 #83"); // after the void: recorded, changes nothing
    put(6, "c:1", "amend", 500, "POS 부분취소 #84");
    Raw("spool-2026-10-07-cancel.jsonl",
        line("c:1", "{\"tx_key\":\"c:1\",\"kind\":\"amend\",\"reason\":\"POS 부분취소 #85\"}") + "\r\n");
    Raw("spool-2026-10-07-cancel.jsonl",
        line("d:1", "{\"tx_key\":\"d:1\",\"kind\":\"amend\",\"corrected_discount_amount\":12.5,"
                    "\"reason\":\"POS 부분취소 #86\"}") +
            "\r\n");
    // Files count by name, not by when they were written: the day 9 amendment is the latest.
    put(9, "e:1", "amend", 100, "POS 부분취소 #87");
    put(8, "e:1", "amend", 900, "POS 부분취소 #88");
    // A key column that is not UTF-8 makes the line damaged even when the payload hash matches.
    Raw("spool-2026-10-07-cancel.jsonl",
        line("h\xFF:1", "{\"tx_key\":\"h:1\",\"kind\":\"void\",\"reason\":\"POS 취소 #89\"}") + "\r\n");
    // Last lines without their line break: whole by their hash (the spool sends it) or torn.
    const std::string voidF = "{\"tx_key\":\"f:1\",\"kind\":\"void\",\"reason\":\"POS 취소 #90\"}";
    Raw("spool-2026-10-10-cancel.jsonl", line("f:1", voidF));
    const std::string voidG = "{\"tx_key\":\"g:1\",\"kind\":\"void\",\"reason\":\"POS 취소 #91\"}";
    Raw("spool-2026-10-11-cancel.jsonl", line("g:1", voidG).substr(0, line("g:1", voidG).size() - 2));
    Sale(6, "d:1", At(6, 10, 0), "A", 5000, 700);

    TLedger ledger(FDir);
    using Reasons = std::set<std::string>;
    struct Case {
        const char* Key;
        bool Void;
        bool HasAmend;
        std::int64_t Corrected;
        Reasons Why;
    };
    const Case cases[] = {
        {"a:1", false, true, 200, {"POS 부분취소 #77", "POS 부분취소 #78"}},
        {"b:1", true, false, 0, {"POS 부분취소 #81", "POS 취소 #82", "POS 부분취소 #83"}},
        {"c:1", false, true, 500, {"POS 부분취소 #84", "POS 부분취소 #85"}},
        {"d:1", false, false, 0, {"POS 부분취소 #86"}},
        {"e:1", false, true, 100, {"POS 부분취소 #87", "POS 부분취소 #88"}},
        {"f:1", true, false, 0, {"POS 취소 #90"}},
    };
    for (const Case& c : cases) {
        TCancelMark m;
        ASSERT_TRUE(ledger.MarkOf(c.Key, m)) << c.Key;
        EXPECT_EQ(m.Void, c.Void) << c.Key;
        EXPECT_EQ(m.HasAmend, c.HasAmend) << c.Key;
        EXPECT_EQ(m.Corrected, c.Corrected) << c.Key;
        EXPECT_EQ(m.Reasons, c.Why) << c.Key;
    }
    EXPECT_EQ(ledger.Marks().size(), std::size(cases));
    // An amendment without a whole-won amount leaves the reported discount in the history.
    const std::vector<TLedgerLine> lines = ledger.LinesOn(At(6, 0, 0));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].Discount, 700);
    EXPECT_FALSE(lines[0].Voided);
    // The unterminated void is one the spool sends as it stands; the torn one it does not.
    std::vector<TSpoolEntry> pending;
    ASSERT_TRUE(FSpool.Pending(Day(10) + "-cancel", pending));
    ASSERT_EQ(pending.size(), 1u);
    EXPECT_EQ(pending[0].Payload, voidF);
    ASSERT_TRUE(FSpool.Pending(Day(11) + "-cancel", pending));
    EXPECT_TRUE(pending.empty());
}

TEST_F(LedgerTest, TotalsPerGoodsOverTheRangeCountEachLineOnce) {
    Sale(5, "1:1", At(5, 10, 0), "A", 1000, 100, 2, "사과");
    Sale(6, "2:1", At(6, 10, 0), "A", 3000, 300, 1.5, "사과 큰것");
    Sale(6, "2:1", At(6, 10, 0), "A", 3000, 300, 1.5); // the same line again in the same file
    Sale(6, "2:2", At(6, 10, 0), "B", 500, 50);
    Sale(6, "2:3", At(6, 10, 1), "B", 700, 70);
    Correct(6, "2:3", "void");
    Correct(7, "2:2", "amend", 20);
    Sale(7, "3:1", At(7, 10, 0), "B", 900, 90);     // after the range
    Sale(3, "0:1", At(3, 10, 0), "A", 100000, 100); // before the range, in a file that is read
    // A window across midnight and the next one both spooled this line, into two day files.
    Sale(5, "4:1", At(6, 0, 2), "C", 800, 80);
    Sale(6, "4:1", At(6, 0, 2), "C", 800, 80);

    TLedger ledger(FDir);
    const std::map<std::string, TGoodsTotal> totals = ledger.Totals(At(5, 0, 0), At(6, 0, 0));
    ASSERT_EQ(totals.size(), 3u);
    const TGoodsTotal& a = totals.at("A");
    EXPECT_EQ(a.Code, "A");
    EXPECT_EQ(a.Name, "사과");
    EXPECT_EQ(a.Lines, 2);
    EXPECT_DOUBLE_EQ(a.Qty, 3.5);
    EXPECT_EQ(a.Amount, 4000);
    EXPECT_EQ(a.Discount, 400);
    const TGoodsTotal& b = totals.at("B");
    EXPECT_EQ(b.Lines, 1);
    EXPECT_EQ(b.Amount, 500);
    EXPECT_EQ(b.Discount, 20);
    const TGoodsTotal& c = totals.at("C");
    EXPECT_EQ(c.Lines, 1);
    EXPECT_EQ(c.Amount, 800);
    EXPECT_EQ(c.Discount, 80);

    // Only the 6th: the midnight line is counted once although the 5th's file holds it too.
    const std::map<std::string, TGoodsTotal> sixth = ledger.Totals(At(6, 0, 0), At(6, 0, 0));
    EXPECT_EQ(sixth.at("A").Lines, 1);
    EXPECT_EQ(sixth.at("C").Lines, 1);
    EXPECT_EQ(sixth.at("C").Amount, 800);
    // A line sold on the 6th just before midnight that only the 7th's file holds is the 6th's.
    Sale(7, "5:1", At(6, 23, 58), "D", 600, 60);
    EXPECT_EQ(ledger.Totals(At(6, 0, 0), At(6, 0, 0)).at("D").Amount, 600);
    EXPECT_EQ(ledger.Totals(At(5, 0, 0), At(6, 0, 0)).at("D").Lines, 1);
    // Only the 7th: B's line of that day.
    const std::map<std::string, TGoodsTotal> seventh = ledger.Totals(At(7, 0, 0), At(7, 0, 0));
    ASSERT_EQ(seventh.size(), 1u);
    EXPECT_EQ(seventh.at("B").Amount, 900);
}

TEST_F(LedgerTest, TotalsSaturateAtTheLimitsOfTheAmounts) {
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    const double bigQty = static_cast<double>(kMax);
    // Two huge lines of one goods in one file.
    Sale(6, "1:1", At(6, 10, 0), "A", kMax, kMax, bigQty);
    Sale(6, "1:2", At(6, 11, 0), "A", kMax, kMax, bigQty);
    // A window across midnight and the next one both spooled the huge line: it counts once, beside
    // a small line of the same goods in the later file.
    Sale(5, "2:1", At(6, 0, 2), "B", kMax, kMax, bigQty);
    Sale(6, "2:1", At(6, 0, 2), "B", kMax, kMax, bigQty);
    Sale(6, "2:2", At(6, 10, 0), "B", 1000, 100);
    // The same with nothing else of the goods: once, not twice and not taken back to nothing.
    Sale(5, "3:1", At(6, 0, 3), "C", kMax, kMax, bigQty);
    Sale(6, "3:1", At(6, 0, 3), "C", kMax, kMax, bigQty);
    Sale(6, "3:1", At(6, 0, 3), "C", kMax, kMax, bigQty); // and again in the same file
    // Negative amounts from the POS's columns stop at the other end.
    Sale(6, "4:1", At(6, 10, 0), "D", kMin, kMin);
    Sale(6, "4:2", At(6, 10, 1), "D", kMin, kMin);
    Sale(5, "4:3", At(6, 0, 4), "D", kMin, kMin);
    Sale(6, "4:3", At(6, 0, 4), "D", kMin, kMin);
    // An amendment to a huge discount.
    Sale(6, "5:1", At(6, 10, 0), "E", kMax, 100);
    Sale(6, "5:2", At(6, 10, 1), "E", 5, 100);
    Correct(6, "5:2", "amend", kMax);

    struct Want {
        const char* Code;
        int Lines;
        double Qty;
        std::int64_t Amount, Discount;
    };
    const Want want[] = {
        {"A", 2, 2 * bigQty, kMax, kMax}, {"B", 2, bigQty + 1, kMax, kMax}, {"C", 1, bigQty, kMax, kMax},
        {"D", 3, 3, kMin, kMin},          {"E", 2, 2, kMax, kMax},
    };
    TLedger ledger(FDir);
    // Both ranges read the 5th's file; the last call is served from the cache.
    const TDateTime froms[] = {At(6, 0, 0), At(5, 0, 0), At(6, 0, 0)};
    for (const TDateTime from : froms) {
        SCOPED_TRACE(FormatDay(from));
        const std::map<std::string, TGoodsTotal> totals = ledger.Totals(from, At(6, 0, 0));
        ASSERT_EQ(totals.size(), std::size(want));
        for (const Want& w : want) {
            SCOPED_TRACE(w.Code);
            const TGoodsTotal& t = totals.at(w.Code);
            EXPECT_EQ(t.Lines, w.Lines);
            EXPECT_DOUBLE_EQ(t.Qty, w.Qty);
            EXPECT_EQ(t.Amount, w.Amount);
            EXPECT_EQ(t.Discount, w.Discount);
        }
    }
    EXPECT_EQ(ledger.Aggregations(), 2);
}

TEST_F(LedgerTest, TotalsRereadOnlyWhatGrew) {
    for (int d = 1; d <= 5; ++d)
        Sale(d, Fmt("%d:1", d), At(d, 10, 0), "A", 1000, 100);
    auto files = std::make_shared<TCountingSpoolFiles>();
    TLedger ledger(FDir, files);
    EXPECT_EQ(ledger.Totals(At(1, 0, 0), At(5, 0, 0)).at("A").Lines, 5);
    EXPECT_EQ(ledger.Aggregations(), 5);
    EXPECT_EQ(ledger.MarkLoads(), 1);

    // Unchanged files: served from the cache, nothing read.
    const int reads = files->Reads;
    EXPECT_EQ(ledger.Totals(At(1, 0, 0), At(5, 0, 0)).at("A").Lines, 5);
    EXPECT_EQ(ledger.Aggregations(), 5);
    EXPECT_EQ(files->Reads, reads);

    // A grown day file: only that file is read again.
    Sale(3, "3:2", At(3, 11, 0), "A", 1000, 100);
    EXPECT_EQ(ledger.Totals(At(1, 0, 0), At(5, 0, 0)).at("A").Lines, 6);
    EXPECT_EQ(ledger.Aggregations(), 6);
    EXPECT_EQ(ledger.MarkLoads(), 1);

    // A new correction: every aggregate is rebuilt with it.
    Correct(5, "3:2", "amend", 30);
    const TGoodsTotal a = ledger.Totals(At(1, 0, 0), At(5, 0, 0)).at("A");
    EXPECT_EQ(a.Lines, 6);
    EXPECT_EQ(a.Discount, 530);
    EXPECT_EQ(ledger.Aggregations(), 11);
    EXPECT_EQ(ledger.MarkLoads(), 2);
    // The correction file grows by one line: rebuilt again.
    Correct(5, "1:1", "void");
    EXPECT_EQ(ledger.Totals(At(1, 0, 0), At(5, 0, 0)).at("A").Lines, 5);
    EXPECT_EQ(ledger.Aggregations(), 16);
    EXPECT_EQ(ledger.MarkLoads(), 3);
}

TEST_F(LedgerTest, FilesSummariseEachDayFileNewestFirst) {
    Sale(5, "1:1", At(5, 10, 0), "A", 1000, 100);
    Sale(6, "2:1", At(6, 10, 0), "A", 1000, 100);
    Sale(6, "2:2", At(6, 10, 0), "A", 1000, 100);
    Sale(6, "2:3", At(6, 10, 0), "A", 1000, 100);
    Raw("spool-2026-10-06.jsonl", "2:4\t12345\t{\"edited\":1}\r\n\r\nno tab here\r\n");
    ASSERT_TRUE(FSpool.MarkSent(Day(6), {"2:1", "2:4"}));
    Raw("sent-2026-10-06.txt", "2:2\t" + std::to_string(PayloadHash("other")) + "\r\n"); // not this payload
    Correct(6, "2:1", "void");                                                           // not a day file
    Raw("spool-notes.jsonl", "x\ty\tz\r\n");                                             // not a day file

    TLedger ledger(FDir);
    const std::vector<TFileSummary> files = ledger.Files();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].FileDay, "2026-10-06");
    EXPECT_EQ(files[0].Lines, 4); // the edited line is still a line of the file
    EXPECT_EQ(files[0].Sent, 2);
    EXPECT_EQ(files[0].Bytes, platform::FileSize(Path("spool-2026-10-06.jsonl")));
    EXPECT_EQ(files[1].FileDay, "2026-10-05");
    EXPECT_EQ(files[1].Lines, 1);
    EXPECT_EQ(files[1].Sent, 0);
}

TEST_F(LedgerTest, SentFileFormsAndCase) {
    Sale(6, "A7:1", At(6, 10, 0), "A", 1000, 100);
    Sale(6, "A7:2", At(6, 10, 1), "A", 1000, 100);
    Sale(6, "A7:3", At(6, 10, 2), "A", 1000, 100);
    std::vector<TSpoolEntry> pending;
    ASSERT_TRUE(FSpool.Pending(Day(6), pending));
    ASSERT_EQ(pending.size(), 3u);
    // The spool itself compares keys without regard to case; key + hash marks that very payload.
    Raw("sent-2026-10-06.txt", "\xEF\xBB\xBF"
                               "a7:1\r\n"
                               "A7:2\t" +
                                   std::to_string(PayloadHash(pending[1].Payload)) +
                                   "\r\n"
                                   "A7:3\t1\r\n"
                                   "\xFF\xFE\r\n");
    ASSERT_TRUE(FSpool.Pending(Day(6), pending));
    ASSERT_EQ(pending.size(), 1u);
    EXPECT_EQ(pending[0].Key, "A7:3");

    TLedger ledger(FDir);
    const std::vector<TLedgerLine> lines = ledger.LinesOn(At(6, 0, 0));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(lines[0].Sent);
    EXPECT_TRUE(lines[1].Sent);
    EXPECT_FALSE(lines[2].Sent);
    EXPECT_EQ(ledger.Files().at(0).Sent, 2);
}

TEST_F(LedgerTest, DamagedLinesAreSkipped) {
    TReportLine r;
    r.TxKey = "5:1";
    r.SoldAtLocal = At(6, 10, 0);
    r.VendorItemCode = "A";
    r.Amount = 3000;
    r.DiscountAmount = 600;
    const std::string payload = LineJson(r);
    const std::string whole = "5:1\t" + std::to_string(PayloadHash(payload)) + "\t" + payload;
    // A crash tore the first write after the amount; the window was spooled again on a new line.
    Raw("spool-2026-10-06.jsonl", "\xEF\xBB\xBF" + whole.substr(0, whole.find("\"amount\":30") + 10) + "\n");
    // A flipped byte turned an earlier line's key into "5:1": its payload still names its own sale.
    r.TxKey = "4:1";
    r.VendorItemCode = "B";
    r.Amount = 7000;
    const std::string other = LineJson(r);
    Raw("spool-2026-10-06.jsonl", "5:1\t" + std::to_string(PayloadHash(other)) + "\t" + other + "\r\n");
    Raw("spool-2026-10-06.jsonl", whole + "\r\n");
    Raw("spool-2026-10-06.jsonl",
        "6:1\t1\t{\"sold_at\":\"2026-10-06T01:00:00Z\",\"amount\":5}\r\n");          // hash edited
    Raw("spool-2026-10-06.jsonl", "\xFF\xFE\t\xC3\t{\"sold_at\":\"\xE0\x80\"}\r\n"); // not UTF-8
    Raw("spool-2026-10-06.jsonl", "\r\n   \r\njust text\r\n");
    Raw("spool-2026-10-06-cancel.jsonl", "5:1\t7\t{\"tx_key\":\"5:1\",\"kind\":\"void\"}\r\n"); // hash edited

    TLedger ledger(FDir);
    const std::vector<TLedgerLine> lines = ledger.LinesOn(At(6, 0, 0));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].Key, "5:1");
    EXPECT_EQ(lines[0].Amount, 3000);
    EXPECT_EQ(lines[0].Discount, 600);
    EXPECT_FALSE(lines[0].Voided);
    const auto totals = ledger.Totals(At(6, 0, 0), At(6, 0, 0));
    ASSERT_EQ(totals.size(), 1u);
    EXPECT_EQ(totals.at("A").Amount, 3000);
    EXPECT_EQ(totals.at("A").Lines, 1);
    EXPECT_TRUE(ledger.Marks().empty());
}

TEST_F(LedgerTest, NothingThereGivesEmptyViews) {
    TLedger missing(FTmp.Path() + "/nowhere");
    EXPECT_TRUE(missing.LinesOn(At(6, 0, 0)).empty());
    EXPECT_TRUE(missing.Totals(At(1, 0, 0), At(6, 0, 0)).empty());
    EXPECT_TRUE(missing.Files().empty());
    EXPECT_TRUE(missing.Marks().empty());
}

} // namespace
} // namespace pavona
