// The history pages' texts as plain functions: quantities and sizes whatever the locale, the log
// line's columns, today's send summary, the query memo, and which lines make up one receipt.
#include "ui/PageText.h"
#include "ui/DiagText.h"
#include "ui/ReceiptView.h"

#include <QLocale>
#include <gtest/gtest.h>

#include <ostream>

void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace pavona {
namespace {

// A German default locale writes "0,5"; the pages must not.
class GermanLocale {
  public:
    GermanLocale() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }
    ~GermanLocale() { QLocale::setDefault(FBefore); }

  private:
    QLocale FBefore;
};

TEST(PageText, QuantitiesAndSizesUseAPointAndGroupWholeQuantitiesOnlyOnTheList) {
    const GermanLocale german;
    struct Case {
        double Qty;
        const char* List;
        const char* Receipt;
    };
    const Case cases[] = {{0.5, "0.5", "0.5"},    {1200, "1,200", "1200"},
                          {1.25, "1.25", "1.25"}, {-0.5, "-0.5", "-0.5"},
                          {-3, "-3", "-3"},       {0, "0", "0"},
                          {0.0001, "0", "0"},     {1234567, "1,234,567", "1234567"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Qty);
        EXPECT_EQ(FormatQty(c.Qty), c.List);
        EXPECT_EQ(FormatReceiptQty(c.Qty), c.Receipt);
    }
    const std::pair<std::int64_t, const char*> sizes[] = {
        {1572864, "1.5 MB"}, {0, "0.0 MB"}, {52428800, "50.0 MB"}, {20971520, "20.0 MB"}};
    for (const auto& [bytes, text] : sizes) {
        SCOPED_TRACE(bytes);
        EXPECT_EQ(FormatMegabytes(bytes), text);
    }
}

TEST(PageText, ALogLineSplitsAtItsDoubleBlanksIntoFourColumns) {
    struct Case {
        const char* Line;
        TLogColumns Want;
    };
    const Case cases[] = {
        {"2026-10-06 09:40:01.123  정보  전송  실적 1줄 → 받음 1 · 중복 0 · 거절 0 (2026-10-06)",
         {"09:40:01", "정보", "전송", "실적 1줄 → 받음 1 · 중복 0 · 거절 0 (2026-10-06)"}},
        // A message that holds double blanks itself is shown whole.
        {"2026-10-06 09:40:01.123  오류  쿼리  SQL_SALES — 연결 끊김 (15 ms)  :p1=x",
         {"09:40:01", "오류", "쿼리", "SQL_SALES — 연결 끊김 (15 ms)  :p1=x"}},
        {"2026-10-06 09:40:01.123  정보  시작  ", {"09:40:01", "정보", "시작", ""}},
        {"no separators at all", {"", "", "", "no separators at all"}},
        {"only  two  parts", {"", "", "", "only  two  parts"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Line);
        const TLogColumns got = SplitLogLine(QString::fromUtf8(c.Line));
        EXPECT_EQ(got.Time, c.Want.Time);
        EXPECT_EQ(got.Level, c.Want.Level);
        EXPECT_EQ(got.Category, c.Want.Category);
        EXPECT_EQ(got.Text, c.Want.Text);
    }
}

TSendRecord Send(TDateTime at, bool ok, int accepted) {
    TSendRecord r;
    r.At = at;
    r.Kind = "실적";
    r.Ok = ok;
    r.Accepted = accepted;
    return r;
}

TEST(PageText, TodaysSendSummaryCountsTodayAndFindsTheLastSuccessOfAnyDay) {
    const TDateTime today = EncodeDate(2026, 10, 6);
    const TDateTime earlier = EncodeDateTime(2026, 10, 5, 9, 40, 0);
    const TDateTime later = EncodeDateTime(2026, 10, 5, 18, 5, 0);
    struct Case {
        const char* Name;
        std::vector<TSendRecord> Records;
        const char* Want;
    };
    const Case cases[] = {
        {"no records",
         {},
         "아직 보낸 기록이 없습니다 (이 판부터 기록합니다 — 그 전에 보낸 줄은 위 「보낸 줄」 에 들어 "
         "있습니다)."},
        {"earlier days only",
         {Send(later, true, 10), Send(earlier, true, 20)},
         "오늘 0번 보냄 · 협회가 받은 줄 0 · 실패 0번 · 마지막 성공 10-05 18:05"},
        {"the latest success, not the first listed",
         {Send(earlier, true, 20), Send(later, true, 10)},
         "오늘 0번 보냄 · 협회가 받은 줄 0 · 실패 0번 · 마지막 성공 10-05 18:05"},
        {"today's failures only",
         {Send(IncMinute(today, 600), false, 0), Send(IncMinute(today, 540), false, 0)},
         "오늘 2번 보냄 · 협회가 받은 줄 0 · 실패 2번"},
        {"today's thousands",
         {Send(IncMinute(today, 600), true, 1500), Send(IncMinute(today, 300), true, 200),
          Send(earlier, true, 9)},
         "오늘 2번 보냄 · 협회가 받은 줄 1,700 · 실패 0번 · 마지막 성공 10-06 10:00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(SendsSummary(c.Records, today), c.Want);
    }
}

TEST(PageText, TheQueryMemoKeepsTheRunsOwnTextAsItCame) {
    TQueryRow row;
    row.Query = {"SQL_X", "시험 질의", "SELECT :p1"};
    row.HasRun = true;
    row.Run.Name = "SQL_X";
    row.Run.At = EncodeDateTime(2026, 10, 6, 9, 0, 1);
    row.Run.Ms = 12;
    row.Run.Rows = 1234;
    row.Run.Count = 1;
    row.Run.Sql = "SELECT 1\r\nFROM t";
    EXPECT_EQ(QueryDetail(row),
              "-- SQL_X\n-- 시험 질의\n-- 마지막 실행 2026-10-06 09:00:01 · 12 ms · 1,234행 · 이번 "
              "실행에서 1번\n\nSELECT 1\nFROM t");
    // A "%1" inside the driver's message is its own text, not a place for the next value.
    row.Run.Error = "값 %1 이 잘못됨";
    row.Run.Count = 2;
    EXPECT_TRUE(QueryDetail(row).contains("· 오류: 값 %1 이 잘못됨 · 이번 실행에서 2번\n"));
}

TLedgerLine Line(const char* key, const char* receipt, TDateTime soldAt, bool sent, bool voided) {
    TLedgerLine l;
    l.Key = key;
    l.Receipt = receipt;
    l.SoldAt = soldAt;
    l.Amount = 1000;
    l.Discount = 200;
    l.OwnDiscount = 100;
    l.Sent = sent;
    l.Voided = voided;
    return l;
}

TEST(ReceiptText, AReceiptIsItsNumberOnTheDayOfTheLinePicked) {
    const TDateTime monday = EncodeDateTime(2026, 10, 5, 23, 58, 0);
    const TDateTime tuesday = EncodeDateTime(2026, 10, 6, 0, 1, 0);
    const std::vector<TLedgerLine> all = {
        Line("7:1", "7", monday, true, false), Line("8:1", "8", tuesday, true, false),
        Line("7:1b", "7", tuesday, true, false), Line("7:2", "7", tuesday, false, true)};
    std::vector<std::string> keys;
    for (const TLedgerLine& l : ReceiptLines(all, all[2]))
        keys.push_back(l.Key);
    EXPECT_EQ(keys, (std::vector<std::string>{"7:1b", "7:2"}));
}

TEST(ReceiptText, AFullyCancelledReceiptTotalsNothingAndSaysHowManyWereCancelled) {
    const TDateTime t = EncodeDateTime(2026, 10, 6, 9, 0, 0);
    const std::vector<TLedgerLine> lines = {Line("7:1", "7", t, true, true),
                                            Line("7:2", "7", t, false, true)};
    const TReceiptTotals totals = ReceiptTotals(lines);
    EXPECT_EQ(totals.Sales, 0);
    EXPECT_EQ(totals.Subsidy, 0);
    EXPECT_EQ(totals.Own, 0);
    EXPECT_EQ(ReceiptFooter(lines), "줄 2개 · 협회 전송 1 · 대기 1 · 취소 2");
    EXPECT_EQ(ReceiptFooter({Line("7:1", "7", t, true, false)}), "줄 1개 · 협회 전송 1 · 대기 0");
}

} // namespace
} // namespace pavona
