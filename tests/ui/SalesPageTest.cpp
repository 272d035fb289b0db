// The sales history page through its real widgets offscreen, fed one ledger day per read: the sums,
// the search and the subsidy filter, day stepping, late answers, and the receipt of a double-click.
#include "ui/SalesPage.h"

#include "tests/support/TestSupport.h"
#include "tests/ui/PageTestSupport.h"
#include "ui/ReceiptView.h"
#include "ui/UiControls.h"

#include "platform/Clock.h"
#include "store/AgentLog.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <map>

namespace pavona {
namespace {

constexpr int kCardWidth = 760;
const TDateTime kToday = EncodeDate(2026, 10, 6);
const TDateTime kNow = EncodeDateTime(2026, 10, 6, 14, 30, 0);

TLedgerLine Line(const std::string& receipt, int seq, const std::string& name, std::int64_t amount,
                 std::int64_t discount, bool sent, bool voided = false, TDateTime day = kToday) {
    TLedgerLine l;
    l.Key = receipt + ":" + std::to_string(seq);
    l.FileDay = FormatDay(day);
    l.SoldAt = IncMinute(day, 9 * 60 + seq);
    l.Receipt = receipt;
    l.PosNo = "2";
    l.Code = std::to_string(500 + seq);
    l.Name = name;
    l.Qty = 1;
    l.Amount = amount;
    l.Discount = discount;
    l.Sent = sent;
    l.Voided = voided;
    return l;
}

// The lines the ledger gives for the test's days; every read is answered on a later turn of the
// event loop, as the reader thread's answers are, and counted.
struct FakeLedger {
    std::map<TDateTime, std::vector<TLedgerLine>> Days;
    std::vector<TDateTime> Asked;

    TPageReads Reads() {
        TPageReads r;
        r.LedgerDay = [this](TDateTime day, std::function<void(std::vector<TLedgerLine>)> answer) {
            Asked.push_back(day);
            std::vector<TLedgerLine> lines = Days.count(day) ? Days[day] : std::vector<TLedgerLine>{};
            QTimer::singleShot(0, [answer, lines] { answer(lines); });
        };
        return r;
    }
};

// A page on its own host with the clock at kNow and the agent's data folder in a temp folder.
class SalesPageTest : public test::TempDataTest {
  protected:
    SalesPageTest() : FScope(FClock) {}

    TSalesPage& Page() {
        if (!FPage) {
            FHost = std::make_unique<Host>(kUiBackdrop, QSize(UiScale(kCardWidth + 56), UiScale(700)));
            FPage = new TSalesPage(kCardWidth, FLedger.Reads(), FHost->Widget());
            FPage->resize(FHost->Widget()->size());
            FHost->Widget()->show();
            FPage->Reload();
            EXPECT_TRUE(WaitSettled(*FPage));
        }
        return *FPage;
    }
    template <class T> T* Find(const char* name) {
        auto* w = Page().findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QString Text(const char* name) { return Find<QLabel>(name)->text(); }
    QTableView* List() { return Find<QTableView>("salesList"); }
    void Click(const char* name) {
        QTest::mouseClick(Find<TUiButton>(name), Qt::LeftButton);
        EXPECT_TRUE(WaitSettled(Page()));
    }
    void Search(const QString& text) {
        QLineEdit* box = Find<QLineEdit>("salesSearch");
        box->clear();
        TypeText(box, text);
        EXPECT_TRUE(WaitSettled(Page()));
    }

    const ScaleGuard FScale{1.0};
    FixedClock FClock{kNow};
    ScopedClock FScope;
    FakeLedger FLedger;
    std::unique_ptr<Host> FHost;
    TSalesPage* FPage = nullptr; // owned by the host
};

TEST_F(SalesPageTest, SumsLeaveVoidedLinesOutOfTheMoneyButCountThemAsSentOrWaiting) {
    FLedger.Days[kToday] = {
        Line("731", 1, "대파", 3000, 600, true), Line("731", 2, "양파", 5000, 1000, true, true),
        Line("732", 1, "감자", 2000, 0, false), Line("732", 2, "당근", 1000, 200, false, true)};
    EXPECT_EQ(Text("salesSum"),
              "영수증 2건 · 줄 4 · 매출 5,000원 · 농할 지원 600원 (1줄) · 협회 전송 2 / 대기 2 · "
              "취소 2   — 줄을 두 번 누르면 영수증");
    EXPECT_EQ(Text("salesDay"), "2026-10-06 (화)");
    EXPECT_EQ(ColumnOf(List(), 8), (std::vector<std::string>{"보냄", "취소됨", "대기", "취소됨"}));
    // A line without a subsidy or an own discount leaves those cells empty.
    EXPECT_EQ(Cell(List(), 2, 6), "");
    EXPECT_EQ(Cell(List(), 2, 7), "");
    EXPECT_EQ(Cell(List(), 0, 0), "09:01:00");
    EXPECT_EQ(Cell(List(), 1, 6), "1,000");
}

TEST_F(SalesPageTest, ADayWithoutLinesSaysSoAndShowsNoRows) {
    EXPECT_EQ(Text("salesSum"),
              "이 날 모은 판매 줄이 없습니다 — 영업하지 않은 날이거나, 아직 수집 전입니다.");
    EXPECT_EQ(List()->model()->rowCount(), 0);
}

TEST_F(SalesPageTest, SearchAndSubsidyFilterCombineAndReplaceTheRows) {
    TLedgerLine cj = Line("733", 1, "CJ 햇반", 4000, 0, true);
    cj.Code = "AB12";
    FLedger.Days[kToday] = {Line("731", 1, "국산 대파", 3000, 600, true),
                            Line("731", 2, "대파 뿌리", 1500, 0, true),
                            Line("732", 1, "양파", 5000, 1000, false), cj};
    struct Case {
        const char* Name;
        bool OnlySubsidy;
        QString Search;
        std::vector<std::string> Keys;
        const char* SumHead;
    };
    const Case cases[] = {
        {"everything", false, "", {"731:1", "731:2", "732:1", "733:1"}, "영수증 3건 · 줄 4 · 매출 13,500원"},
        {"name, blanks around", false, "  대파 ", {"731:1", "731:2"}, "영수증 1건 · 줄 2 · 매출 4,500원"},
        {"receipt number", false, "732", {"732:1"}, "영수증 1건 · 줄 1 · 매출 5,000원"},
        {"letters in either case", false, "cj", {"733:1"}, "영수증 1건 · 줄 1 · 매출 4,000원"},
        {"code typed as printed", false, "AB1", {"733:1"}, "영수증 1건 · 줄 1 · 매출 4,000원"},
        {"subsidy only", true, "", {"731:1", "732:1"}, "영수증 2건 · 줄 2 · 매출 8,000원"},
        {"subsidy and search", true, "대파", {"731:1"}, "영수증 1건 · 줄 1 · 매출 3,000원"},
        {"nothing found", true, "햇반", {}, "영수증 0건 · 줄 0 · 매출 0원"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        if (Page().OnlySubsidy() != c.OnlySubsidy) Click("salesFilter");
        EXPECT_EQ(Find<TUiButton>("salesFilter")->Kind(),
                  c.OnlySubsidy ? TUiButtonKind::Primary : TUiButtonKind::Secondary);
        Search(c.Search);
        std::vector<std::string> keys;
        for (int row = 0; Page().RowLine(row) != nullptr; ++row)
            keys.push_back(Page().RowLine(row)->Key);
        EXPECT_EQ(keys, c.Keys);
        EXPECT_EQ(List()->model()->rowCount(), static_cast<int>(c.Keys.size()));
        EXPECT_TRUE(Text("salesSum").startsWith(c.SumHead)) << Text("salesSum").toStdString();
    }
    // Filtering never read the day again.
    EXPECT_EQ(FLedger.Asked.size(), 1u);
}

TEST_F(SalesPageTest, DayStepsBackAndForwardButNeverPastTodayAndReadsEveryTime) {
    struct Case {
        const char* Button;
        TDateTime Day;
        const char* Label;
    };
    const Case steps[] = {
        {"salesNext", kToday, "2026-10-06 (화)"}, // today: stays, yet reads again
        {"salesPrev", IncDay(kToday, -1), "2026-10-05 (월)"},
        {"salesPrev", IncDay(kToday, -2), "2026-10-04 (일)"},
        {"salesNext", IncDay(kToday, -1), "2026-10-05 (월)"},
        {"salesToday", kToday, "2026-10-06 (화)"},
        {"salesNext", kToday, "2026-10-06 (화)"},
        {"salesRefresh", kToday, "2026-10-06 (화)"},
    };
    Page();
    size_t reads = FLedger.Asked.size();
    for (const Case& c : steps) {
        SCOPED_TRACE(std::string(c.Button) + " → " + c.Label);
        Click(c.Button);
        EXPECT_EQ(FormatDay(Page().Day()), FormatDay(c.Day));
        ASSERT_EQ(FLedger.Asked.size(), ++reads);
        EXPECT_EQ(FormatDay(FLedger.Asked.back()), FormatDay(c.Day));
        EXPECT_EQ(Text("salesDay"), c.Label);
    }
}

TEST_F(SalesPageTest, AnOlderReadAnsweringLastDoesNotReplaceTheNewerDay) {
    FLedger.Days[IncDay(kToday, -1)] = {Line("701", 1, "어제 줄", 1000, 0, true, false, IncDay(kToday, -1))};
    FLedger.Days[kToday] = {Line("731", 1, "오늘 줄", 3000, 600, true)};
    Page();
    // Both reads are held and answered newest first, as a slow reader thread might.
    std::vector<std::function<void()>> held;
    TPageReads slow;
    slow.LedgerDay = [&](TDateTime day, std::function<void(std::vector<TLedgerLine>)> answer) {
        held.push_back([this, day, answer] { answer(FLedger.Days[day]); });
    };
    auto* page = new TSalesPage(kCardWidth, slow, FHost->Widget());
    page->StepDay(-1); // yesterday
    page->ShowToday(); // then today
    ASSERT_EQ(held.size(), 2u);
    held[1]();
    held[0]();
    ASSERT_TRUE(WaitSettled(*page));
    ASSERT_NE(page->RowLine(0), nullptr);
    EXPECT_EQ(page->RowLine(0)->Name, "오늘 줄");
    EXPECT_EQ(page->findChild<QLabel*>("salesDay")->text(), "2026-10-06 (화)");
}

TEST_F(SalesPageTest, DoubleClickShowsTheWholeReceiptWhateverTheFilterAndLogsIt) {
    FLedger.Days[kToday] = {Line("731", 1, "대파", 3000, 600, true), Line("731", 2, "양파", 2000, 0, false),
                            Line("732", 1, "감자", 5000, 1000, true),
                            Line("731", 3, "당근", 1000, 200, true, true)};
    Click("salesFilter");
    Search("대파");
    ASSERT_EQ(List()->model()->rowCount(), 1);

    const QRect row = List()->visualRect(List()->model()->index(0, 3));
    // A real double-click: the first press selects the row, the second comes as a double-click.
    QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, row.center());
    QTest::mouseDClick(List()->viewport(), Qt::LeftButton, {}, row.center());
    auto* view = FHost->Widget()->window()->findChild<TReceiptView*>("receiptView");
    ASSERT_NE(view, nullptr);
    std::vector<std::string> keys;
    for (const TLedgerLine& l : view->Lines())
        keys.push_back(l.Key);
    EXPECT_EQ(keys, (std::vector<std::string>{"731:1", "731:2", "731:3"}));
    EXPECT_EQ(view->Receipt(), "731");
    EXPECT_EQ(view->NeededHeight(), 3 * 44 + 440);
    auto* window = qobject_cast<QDialog*>(view->window());
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), "영수증 731 — 협회 전송 기록");
    EXPECT_TRUE(window->isModal());
    window->close();

    const std::vector<std::string> log = ReadLogDay(kToday);
    const auto logged = [&](const std::string& tail) {
        for (const std::string& line : log)
            if (line.find("  정보  화면  " + tail) != std::string::npos) return true;
        return false;
    };
    EXPECT_TRUE(logged("실적 내역 2026-10-06 — 4줄"));
    EXPECT_TRUE(logged("영수증 보기 731"));
}

} // namespace
} // namespace pavona
