// The send history, query and log pages through their real widgets offscreen, fed by the test: the
// files and the send log with today's summary, the query selection across reloads, the log day's
// filter, search, columns and warning count; and a busy day's summaries on the narrowest window.
#include "ui/LogPage.h"
#include "ui/QueryPage.h"
#include "ui/SalesPage.h"
#include "ui/SendsPage.h"

#include "tests/support/TestSupport.h"
#include "tests/ui/PageTestSupport.h"
#include "ui/UiControls.h"

#include "platform/Clock.h"
#include "platform/Platform.h"

#include <QElapsedTimer>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>

namespace pavona {
namespace {

constexpr int kCardWidth = 760;
const TDateTime kToday = EncodeDate(2026, 10, 6);
const TDateTime kNow = EncodeDateTime(2026, 10, 6, 14, 30, 0);

// Answers on a later turn of the event loop, as the reader thread's answers come.
template <class T> void AnswerLater(std::function<void(T)> answer, T value) {
    QTimer::singleShot(0, [answer = std::move(answer), value = std::move(value)] { answer(value); });
}

// The clock at kNow, the data folder in a temp folder, and a host for one page.
class DiagPagesTest : public test::TempDataTest {
  protected:
    DiagPagesTest() : FScope(FClock) { FHost.Widget()->show(); }

    template <class TPage> TPage* Make(const TPageReads& reads) {
        return Place(new TPage(kCardWidth, reads, FHost.Widget()));
    }
    template <class TPage> TPage* Place(TPage* page) {
        page->resize(FHost.Widget()->size());
        page->show();
        return page;
    }
    template <class T> static T* Find(QWidget* page, const char* name) {
        auto* w = page->findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    static QString Text(QWidget* page, const char* name) { return Find<QLabel>(page, name)->text(); }

    const ScaleGuard FScale{1.0};
    FixedClock FClock{kNow};
    ScopedClock FScope;
    Host FHost{kUiBackdrop, QSize(UiScale(kCardWidth + 56), UiScale(700))};
};

TSendRecord Record(TDateTime at, const char* kind, const char* fileDay, int lines, int accepted, bool ok,
                   const char* note = "") {
    TSendRecord r;
    r.At = at;
    r.Kind = kind;
    r.FileDay = fileDay;
    r.Lines = lines;
    r.Accepted = accepted;
    r.Ok = ok;
    r.Note = note;
    return r;
}

TEST_F(DiagPagesTest, SendHistoryListsFilesAndSendsAsReadWithTodaysSummary) {
    // A decimal comma in the user's locale must not reach the file sizes.
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    TPageReads reads;
    reads.Files = [](std::function<void(std::vector<TFileSummary>)> answer) {
        AnswerLater(answer, std::vector<TFileSummary>{{"2026-10-06", 1000, 990, 1572864},
                                                      {"2026-10-05", 500, 500, 524288}});
    };
    int maxAsked = 0;
    reads.SendLog = [&](int maxCount, std::function<void(std::vector<TSendRecord>)> answer) {
        maxAsked = maxCount;
        AnswerLater(answer,
                    std::vector<TSendRecord>{
                        Record(EncodeDateTime(2026, 10, 6, 11, 0, 0), "실적", "2026-10-06", 200, 198, true),
                        Record(EncodeDateTime(2026, 10, 6, 10, 0, 0), "취소", "2026-10-06-cancel", 3, 0,
                               false, "시간 초과"),
                        Record(EncodeDateTime(2026, 10, 5, 9, 40, 0), "실적", "2026-10-05", 150, 150, true)});
    };
    auto* page = Make<TSendsPage>(reads);
    page->Reload();
    ASSERT_TRUE(WaitSettled(*page));
    QLocale::setDefault(before);

    EXPECT_EQ(maxAsked, 2000);
    auto* files = Find<QTableView>(page, "filesList");
    ASSERT_EQ(files->model()->rowCount(), 2);
    const std::vector<std::string> first = {Cell(files, 0, 0), Cell(files, 0, 1), Cell(files, 0, 2),
                                            Cell(files, 0, 3), Cell(files, 0, 4)};
    EXPECT_EQ(first, (std::vector<std::string>{"2026-10-06", "1,000", "990", "10", "1.5 MB"}));
    EXPECT_EQ(Cell(files, 1, 4), "0.5 MB");

    auto* sends = Find<QTableView>(page, "sendsList");
    EXPECT_EQ(ColumnOf(sends, 0), (std::vector<std::string>{"2026-10-06 11:00:00", "2026-10-06 10:00:00",
                                                            "2026-10-05 09:40:00"}));
    EXPECT_EQ(ColumnOf(sends, 2), (std::vector<std::string>{"2026-10-06", "2026-10-06", "2026-10-05"}));
    EXPECT_EQ(ColumnOf(sends, 7), (std::vector<std::string>{"성공", "실패", "성공"}));
    EXPECT_EQ(Cell(sends, 1, 8), "시간 초과");
    EXPECT_EQ(Text(page, "sendsSum"),
              "오늘 2번 보냄 · 협회가 받은 줄 198 · 실패 1번 · 마지막 성공 10-06 11:00");
}

TEST_F(DiagPagesTest, QuerySelectionSurvivesAReloadAndTheMemoFollowsTheNewRun) {
    std::vector<TQueryRun> runs(1);
    runs[0].Name = SQL_SALES;
    runs[0].At = EncodeDateTime(2026, 10, 6, 14, 20, 5);
    runs[0].Ms = 15;
    runs[0].Rows = 1234;
    runs[0].Count = 1;
    TPageReads reads;
    int asked = 0;
    reads.QueryRuns = [&](std::function<void(std::vector<TQueryRun>)> answer) {
        ++asked;
        AnswerLater(answer, runs);
    };
    auto* page = Make<TQueryPage>(reads);
    page->Reload();
    ASSERT_TRUE(WaitSettled(*page));
    auto* list = Find<QTableView>(page, "queryList");
    auto* memo = Find<QPlainTextEdit>(page, "queryMemo");
    EXPECT_EQ(memo->toPlainText(), "위 목록에서 질의를 고르세요.");
    ASSERT_EQ(list->model()->rowCount(), static_cast<int>(PosQueries().size()));
    EXPECT_EQ(ColumnOf(list, 0).front(), SQL_SALES);
    const std::vector<std::string> sales = {Cell(list, 0, 2), Cell(list, 0, 3), Cell(list, 0, 4),
                                            Cell(list, 0, 5)};
    EXPECT_EQ(sales, (std::vector<std::string>{"14:20:05", "15 ms", "1,234", "1"}));

    int coupon = -1;
    for (int row = 0; row < list->model()->rowCount(); ++row)
        if (Cell(list, row, 0) == SQL_COUPON) coupon = row;
    ASSERT_GE(coupon, 0);
    const std::vector<std::string> notRun = {Cell(list, coupon, 2), Cell(list, coupon, 3),
                                             Cell(list, coupon, 4), Cell(list, coupon, 5)};
    EXPECT_EQ(notRun, (std::vector<std::string>{"—", "", "", "0"}));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(list->model()->index(coupon, 0)).center());
    EXPECT_EQ(page->SelectedName(), SQL_COUPON);
    EXPECT_TRUE(memo->toPlainText().contains("아래는 질의의 틀입니다(%s · :p1 자리는 실행 때 채운다)."));
    EXPECT_TRUE(
        memo->toPlainText().endsWith(QString::fromStdString(PosQuerySql(SQL_COUPON)).replace("\r\n", "\n")));

    TQueryRun failed;
    failed.Name = SQL_COUPON;
    failed.At = EncodeDateTime(2026, 10, 6, 14, 25, 0);
    failed.Ms = 60000;
    failed.Rows = -1;
    failed.Error = "시간 초과";
    failed.Params = ":p1=2026-10-06 14:10:00";
    failed.Sql = "SELECT 1";
    failed.Count = 2;
    runs.push_back(failed);
    page->Reload();
    ASSERT_TRUE(WaitSettled(*page));
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(page->SelectedName(), SQL_COUPON);
    EXPECT_EQ(Cell(list, coupon, 4), "오류");
    EXPECT_EQ(Cell(list, coupon, 5), "2");
    EXPECT_EQ(memo->toPlainText().toStdString(),
              std::string("-- SQL_COUPON\n-- ") + PosQueries()[static_cast<size_t>(coupon)].Purpose +
                  "\n-- 마지막 실행 2026-10-06 14:25:00 · 60000 ms · 오류: 시간 초과 · 이번 실행에서 2번\n"
                  "-- 값: :p1=2026-10-06 14:10:00\n\nSELECT 1");
}

// One day of the log with two warnings, a blank line and a line that is not in the log's form.
const std::vector<std::string> kLogDay = {
    "2026-10-06 09:00:00.001  정보  시작  에이전트 시작 — 판 20261006-196818e",
    "2026-10-06 09:10:00.000  주의  수집  POS 응답이 느립니다",
    "   ",
    "2026-10-06 09:20:00.000  정보  전송  실적 1줄 → 받음 1 · 중복 0 · 거절 0 (2026-10-06)",
    "broken line",
    "2026-10-06 09:30:00.000  오류  전송  실적 3줄 실패 — 시간 초과 (2026-10-06)",
};

class LogPageTest : public DiagPagesTest {
  protected:
    TLogPage* Open() {
        TPageReads reads;
        reads.LogDay = [this](TDateTime day, std::function<void(std::vector<std::string>)> answer) {
            FAsked.push_back(day);
            AnswerLater(answer, DateOf(day) == kToday ? kLogDay : std::vector<std::string>{});
        };
        auto* page = Place(new TLogPage(kCardWidth, reads, FHost.Widget(), [this](const QUrl& url) {
            FOpened.push_back(url);
            return true;
        }));
        page->Reload();
        EXPECT_TRUE(WaitSettled(*page));
        return page;
    }
    std::vector<TDateTime> FAsked;
    std::vector<QUrl> FOpened;
};

TEST_F(LogPageTest, FilterAndSearchChangeTheLinesShownButNotTheDaysWarningCount) {
    TLogPage* page = Open();
    auto* list = Find<QTableView>(page, "logList");
    auto* search = Find<QLineEdit>(page, "logSearch");
    const QString file = QString::fromStdString(LogDir() + "agent-2026-10-06.log");
    struct Case {
        bool OnlyWarnings;
        QString Search;
        std::vector<std::string> Times; // newest first
    };
    const Case cases[] = {
        {false, "", {"09:30:00", "", "09:20:00", "09:10:00", "09:00:00"}},
        {true, "", {"09:30:00", "09:10:00"}},
        {false, "전송", {"09:30:00", "09:20:00"}},
        {true, " pos ", {"09:10:00"}},
        {false, "BROKEN", {""}},
        {false, "없는 글자", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Search.toStdString() + (c.OnlyWarnings ? " (warnings)" : ""));
        if (page->OnlyWarnings() != c.OnlyWarnings)
            QTest::mouseClick(Find<TUiButton>(page, "logFilter"), Qt::LeftButton);
        search->setText(c.Search);
        ASSERT_TRUE(WaitSettled(*page));
        EXPECT_EQ(ColumnOf(list, 0), c.Times);
        EXPECT_EQ(Text(page, "logSum"),
                  QString("%1줄 보임 · 이 날 주의 · 오류 2건 · 파일 %2").arg(c.Times.size()).arg(file));
    }
    EXPECT_EQ(FAsked.size(), 1u) << "filtering and searching read the file again";
}

TEST_F(LogPageTest, EachLineShowsInFourColumnsAndAStrayLineWholeInTheLast) {
    TLogPage* page = Open();
    auto* list = Find<QTableView>(page, "logList");
    ASSERT_EQ(list->model()->rowCount(), 5);
    const auto row = [&](int r) {
        return std::vector<std::string>{Cell(list, r, 0), Cell(list, r, 1), Cell(list, r, 2),
                                        Cell(list, r, 3)};
    };
    EXPECT_EQ(row(0), (std::vector<std::string>{"09:30:00", "오류", "전송",
                                                "실적 3줄 실패 — 시간 초과 (2026-10-06)"}));
    EXPECT_EQ(row(1), (std::vector<std::string>{"", "", "", "broken line"}));
    EXPECT_EQ(Text(page, "logDay"), "2026-10-06 (화)");
}

TEST_F(LogPageTest, TheSearchWaitsForTypingToPauseAndNeverRereadsTheDay) {
    TLogPage* page = Open();
    auto* list = Find<QTableView>(page, "logList");
    QElapsedTimer typed;
    TypeText(Find<QLineEdit>(page, "logSearch"), "전송");
    typed.start();
    // Nothing is searched while the pause runs: the list still shows the whole day.
    EXPECT_TRUE(page->Busy());
    EXPECT_EQ(list->model()->rowCount(), 5);
    ASSERT_TRUE(WaitSettled(*page));
    // A coarse timer may fire up to 5 % early.
    EXPECT_GE(typed.elapsed(), TLogPage::kSearchPauseMs * 9 / 10);
    EXPECT_EQ(list->model()->rowCount(), 2);
    EXPECT_EQ(FAsked.size(), 1u);
}

TEST_F(LogPageTest, DayStepsStopAtTodayAndTheFolderIsMadeAndOpened) {
    TLogPage* page = Open();
    QTest::mouseClick(Find<TUiButton>(page, "logNext"), Qt::LeftButton);
    ASSERT_TRUE(WaitSettled(*page));
    EXPECT_EQ(FormatDay(page->Day()), "2026-10-06");
    QTest::mouseClick(Find<TUiButton>(page, "logPrev"), Qt::LeftButton);
    ASSERT_TRUE(WaitSettled(*page));
    EXPECT_EQ(Text(page, "logDay"), "2026-10-05 (월)");
    EXPECT_EQ(Find<QTableView>(page, "logList")->model()->rowCount(), 0);
    ASSERT_EQ(FAsked.size(), 3u);
    EXPECT_EQ(FormatDay(FAsked[1]), "2026-10-06");
    EXPECT_EQ(FormatDay(FAsked[2]), "2026-10-05");

    QTest::mouseClick(Find<TUiButton>(page, "logFolder"), Qt::LeftButton);
    ASSERT_EQ(FOpened.size(), 1u);
    EXPECT_EQ(FOpened[0].toLocalFile().toStdString(), LogDir());
    EXPECT_TRUE(platform::DirExists(LogDir()));
}

// A busy day's single-line texts fit their labels in Pretendard on the narrowest window (980 design
// pixels, cards 723 wide), at 100 % and at 150 %; a summary too long for its line is shortened with
// "…" and keeps the whole text in its tooltip.
class HistoryPagesLook : public test::TempDataTest {
  protected:
    FixedClock FClock{kNow};
    ScopedClock FScope{FClock};
};

TEST_F(HistoryPagesLook, BusyTextsFitTheirLabelsAtBothScales) {
    TPageReads reads;
    reads.LedgerDay = [](TDateTime, std::function<void(std::vector<TLedgerLine>)> answer) {
        std::vector<TLedgerLine> day;
        for (int i = 0; i < 5000; ++i) {
            TLedgerLine l;
            l.Key = std::to_string(i);
            l.Receipt = std::to_string(10000 + i / 3);
            l.SoldAt = IncSecond(kToday, 8 * 3600 + i * 10);
            l.Amount = 9700 + i % 5;
            l.Discount = i % 2 ? 1350 : 0;
            l.Sent = i % 50 != 0;
            l.Voided = i % 400 == 7;
            day.push_back(l);
        }
        answer(day);
    };
    reads.SendLog = [](int, std::function<void(std::vector<TSendRecord>)> answer) {
        std::vector<TSendRecord> records;
        for (int i = 0; i < 144; ++i)
            records.push_back(Record(IncMinute(kNow, -5 * i), "실적", "2026-10-06", 200, 199, i % 9 != 0));
        answer(records);
    };
    reads.LogDay = [](TDateTime, std::function<void(std::vector<std::string>)> answer) {
        answer(std::vector<std::string>(25000, "2026-10-06 09:00:00.000  주의  수집  느림"));
    };
    for (const double factor : {1.0, 1.5}) {
        SCOPED_TRACE(factor);
        const ScaleGuard scale(factor);
        LoadUiFonts();
        const int w = 723;
        Host host(kUiBackdrop, QSize(UiScale(w + 56), UiScale(700)));
        host.Widget()->show();
        std::vector<QWidget*> pages = {new TSalesPage(w, reads, host.Widget()),
                                       new TSendsPage(w, reads, host.Widget()),
                                       new TLogPage(w, reads, host.Widget())};
        static_cast<TSalesPage*>(pages[0])->Reload();
        static_cast<TSendsPage*>(pages[1])->Reload();
        static_cast<TLogPage*>(pages[2])->Reload();
        ASSERT_TRUE(WaitSettled(*static_cast<TSalesPage*>(pages[0])));
        ASSERT_TRUE(WaitSettled(*static_cast<TSendsPage*>(pages[1])));
        ASSERT_TRUE(WaitSettled(*static_cast<TLogPage*>(pages[2])));
        int shortened = 0;
        for (QWidget* page : pages) {
            page->resize(host.Widget()->size());
            page->show();
            QCoreApplication::processEvents();
            for (QLabel* label : page->findChildren<QLabel*>()) {
                if (label->wordWrap()) continue;
                SCOPED_TRACE(label->text().toStdString());
                EXPECT_TRUE(label->font().family().startsWith("Pretendard"))
                    << label->font().family().toStdString();
                QString shown = label->text();
                if (auto* fit = qobject_cast<TFitLabel*>(label)) {
                    shown = fit->ShownText();
                    if (shown != label->text()) {
                        ++shortened;
                        EXPECT_TRUE(shown.endsWith(QChar(0x2026)) || shown.contains(QChar(0x2026)));
                        EXPECT_EQ(label->toolTip(), label->text());
                    }
                }
                EXPECT_LE(QFontMetrics(label->font()).horizontalAdvance(shown), label->width());
            }
        }
        // The 5,000-line day's sums are the one text longer than its line.
        EXPECT_EQ(shortened, 1);
    }
}

} // namespace
} // namespace pavona
