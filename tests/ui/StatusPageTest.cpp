// The status page driven through its real widgets offscreen: the budget and connection texts a
// snapshot gives, the tiles against a set clock, the notice colours and the "지금 보내기" button.
#include "ui/StatusPage.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/AgentTray.h"
#include "ui/UiControls.h"

#include "platform/Clock.h"

#include <QFontMetrics>
#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>

#include <ostream>
#include <vector>

// Failures print the text itself, not its UTF-16 units.
void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace pavona {
namespace {

constexpr int kCardWidth = 760;

// A page on its own top-level host, with the clock standing at `now`.
struct PageRig {
    explicit PageRig(TDateTime now, std::function<void()> askSend = nullptr,
                     TStatusPage::TOpener opener = nullptr)
        : FClock(now), FScope(FClock), FHost(0xF4F6F8, QSize(UiScale(kCardWidth + 56), UiScale(600))),
          FPage(new TStatusPage(kCardWidth, std::move(askSend), FHost.Widget(), std::move(opener))) {}

    QLabel* Label(const char* name) const {
        auto* label = FPage->findChild<QLabel*>(name);
        EXPECT_NE(label, nullptr) << name;
        return label;
    }
    QString Text(const char* name) const { return Label(name)->text(); }
    std::string Ink(const char* name) const {
        return Hex(Label(name)->palette().color(QPalette::WindowText).rgb());
    }

    FixedClock FClock;
    ScopedClock FScope;
    Host FHost;
    TStatusPage* FPage; // owned by the host
};

const TDateTime kNow = EncodeDateTime(2026, 12, 10, 14, 30, 0);

TAgentSnapshot WithPolicy(std::int64_t allocated, std::int64_t executed) {
    TAgentSnapshot s;
    s.Input.HasPolicy = true;
    s.Input.Enabled = true;
    s.Input.Allocated = allocated;
    s.Input.ReportedExecuted = executed;
    s.State = EvaluateLimit(s.Input);
    s.PolicyAt = EncodeDateTime(2026, 12, 10, 9, 5, 0);
    return s;
}

TEST(StatusPage, ShowsItsConstructionTextsUntilTheFirstSnapshot) {
    const ScaleGuard scale(1.0);
    PageRig rig(kNow);
    const struct {
        const char* Name;
        QString Text;
    } cases[] = {{"level", "확인 중"},
                 {"remain", "—"},
                 {"budget", "—"},
                 {"program", "회차 —"},
                 {"connection", "협회 서버 —"},
                 {"tileValue0", "—"},
                 {"lastNotice", "아직 수집하지 않았습니다."}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(rig.Text(c.Name), c.Text);
    }
}

// Every single-line text of the busiest snapshots fits its label in Pretendard at both scales.
TEST(StatusPage, TextsFitTheirLabelsAtBothScales) {
    TAgentSnapshot over = WithPolicy(100'000'000, 120'500'000);
    over.Input.OffsetOutstanding = 1'250'000;
    over.Input.UnreportedLocal = 2'500'000;
    over.State = EvaluateLimit(over.Input);
    over.ProgramName = "2026 겨울 농할 2회차";
    over.ProgramStart = EncodeDate(2026, 12, 1);
    over.ProgramEnd = EncodeDate(2026, 12, 31);
    over.LastCollectAt = EncodeDateTime(2026, 12, 8, 13, 0, 0);
    over.SentDay = EncodeDate(2026, 12, 10);
    over.SentToday = 1'234'567;
    over.LastSendAt = EncodeDateTime(2026, 12, 10, 13, 0, 0);
    over.PendingDays = {"2026-12-08", "2026-12-09", "2026-12-10"};
    over.PosState = TPosState::Failed;
    for (const double factor : {1.0, 1.5}) {
        SCOPED_TRACE(factor);
        const ScaleGuard scale(factor);
        LoadUiFonts();
        PageRig rig(kNow);
        rig.FPage->SetSettings("1234567890", "");
        rig.FPage->Render(over);
        for (QLabel* label : rig.FPage->findChildren<QLabel*>()) {
            if (label->wordWrap()) continue;
            SCOPED_TRACE(label->text().toStdString());
            EXPECT_TRUE(label->font().family().startsWith("Pretendard"))
                << label->font().family().toStdString();
            EXPECT_TRUE(FaceInstalled(label->font().family()));
            EXPECT_LE(QFontMetrics(label->font()).horizontalAdvance(label->text()), label->width());
        }
    }
}

TEST(StatusPage, RenderMapsTheEvaluationAndTheConnection) {
    const ScaleGuard scale(1.0);
    struct Case {
        const char* Name;
        std::function<TAgentSnapshot()> Make;
        std::string Store;
        QString Level, Remain;
        std::string RemainInk, LevelInk;
        QString Budget, Percent, Note, Conn, Pill;
        std::string Dot;
        int Meter;
    };
    const Case cases[] = {
        {"before enrolment", [] { return TAgentSnapshot{}; }, "", "확인 중", "—", "#0F1F2E", "#8A94A0", "—",
         "—", "", "설정이 아직 비어 있습니다", "등록 전", "#C27C0E", 0},
        {"normal, policy fetched at 09:05", [] { return WithPolicy(1'000'000, 250'000); }, "1234567890",
         "정상", "750,000원", "#0F1F2E", "#1F8A4C", "1,000,000원", "25%", "", "협회 서버 09:05 확인",
         "협회 연결됨", "#7AD271", 25},
        {"caution with offsets and unsent use",
         [] {
             TAgentSnapshot s = WithPolicy(1'000'000, 740'000);
             s.Input.OffsetOutstanding = 50'000;
             s.Input.UnreportedLocal = 30'000;
             s.State = EvaluateLimit(s.Input);
             return s;
         },
         "1234567890", "주의", "180,000원", "#0F1F2E", "#C27C0E", "1,000,000원", "81%",
         "배정액에서 상계 예정 50,000원 을 뺐습니다.  사용액에 아직 보내지 않은 30,000원 을 포함했습니다.",
         "협회 서버 09:05 확인", "협회 연결됨", "#7AD271", 81},
        {"over budget",
         [] {
             TAgentSnapshot s = WithPolicy(1'000'000, 1'005'000);
             s.PolicyError = "⚠ 협회 서버에 **연결하지 못했습니다**";
             return s;
         },
         "1234567890", "소진", "5,000원 초과", "#C0392B", "#C0392B", "1,000,000원", "100%", "",
         "협회 서버 — 협회 서버에 연결하지 못했습니다", "협회 연결 안 됨", "#FF6B6B", 100},
        {"enrolled, waiting for the first policy", [] { return TAgentSnapshot{}; }, "1234567890", "확인 중",
         "—", "#0F1F2E", "#8A94A0", "—", "—", "", "협회 서버를 확인하는 중입니다", "협회 서버 확인 중",
         "#8A94A0", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        PageRig rig(kNow);
        rig.FPage->SetSettings(c.Store, "https://example.invalid");
        const TAgentSnapshot s = c.Make();
        rig.FPage->Render(s);
        EXPECT_EQ(rig.Text("level"), c.Level);
        EXPECT_EQ(rig.Ink("level"), c.LevelInk);
        EXPECT_EQ(rig.Text("remain"), c.Remain);
        EXPECT_EQ(rig.Ink("remain"), c.RemainInk);
        EXPECT_EQ(rig.Text("budget"), c.Budget);
        EXPECT_EQ(rig.Text("percent"), c.Percent);
        EXPECT_EQ(rig.Text("budgetNote"), c.Note);
        EXPECT_EQ(rig.Text("connection"), c.Conn);
        EXPECT_FALSE(rig.Text("advice").isEmpty()) << "every level has advice, normal its own sentence";
        auto* meter = rig.FPage->findChild<TUiMeter*>("meter");
        ASSERT_NE(meter, nullptr);
        EXPECT_EQ(meter->Position(), c.Meter);
        EXPECT_EQ(Hex(meter->BarColor().rgb()), c.LevelInk);
        auto* hero = rig.FPage->findChild<TUiCard*>("hero");
        ASSERT_NE(hero, nullptr);
        EXPECT_EQ(Hex(hero->Accent().rgb()), c.LevelInk);

        const TConnectionLook look = ConnectionLook(s, c.Store);
        EXPECT_EQ(look.Line, c.Conn);
        EXPECT_EQ(look.PillText, c.Pill);
        EXPECT_EQ(Hex(look.PillDot.rgb()), c.Dot);
    }
}

TEST(StatusPage, EachRenderReplacesWhatThePreviousOneShowed) {
    const ScaleGuard scale(1.0);
    PageRig rig(kNow);
    rig.FPage->SetSettings("1234567890", "");
    TAgentSnapshot over = WithPolicy(1'000'000, 1'200'000);
    over.Input.OffsetOutstanding = 10'000;
    over.State = EvaluateLimit(over.Input);
    rig.FPage->Render(over);
    EXPECT_EQ(rig.Ink("remain"), "#C0392B");
    rig.FPage->Render(WithPolicy(1'000'000, 1'000));
    EXPECT_EQ(rig.Text("advice"), "한도 안에서 농할 할인을 그대로 진행하시면 됩니다.");
    rig.FPage->Render(TAgentSnapshot{});
    EXPECT_EQ(rig.Text("remain"), "—");
    EXPECT_EQ(rig.Ink("remain"), "#0F1F2E");
    EXPECT_EQ(rig.Text("used"), "—");
    EXPECT_EQ(rig.Text("budgetNote"), "");
}

TEST(StatusPage, ProgrammeLineCountsWholeDaysToItsEnd) {
    const ScaleGuard scale(1.0);
    struct Case {
        const char* Name;
        std::string Program;
        TDateTime End;
        QString Line;
        bool PolicyRead = true;
    };
    const TDateTime start = EncodeDate(2026, 12, 1);
    const Case cases[] = {
        {"ends in three days", "겨울 농할", EncodeDateTime(2026, 12, 13, 23, 59, 0),
         "겨울 농할 · 12-01 ~ 12-13 · 3일 남음"},
        {"ends today", "겨울 농할", EncodeDate(2026, 12, 10), "겨울 농할 · 12-01 ~ 12-10 · 오늘 끝남"},
        {"ended yesterday", "겨울 농할", EncodeDateTime(2026, 12, 9, 23, 0, 0),
         "겨울 농할 · 12-01 ~ 12-09 · 끝남"},
        {"a policy without a programme says so", "", EncodeDate(2026, 12, 13), "지금 열린 농할 회차가 없습니다"},
        {"no policy yet keeps the old line", "", 0, "회차 —", false},
        {"no end keeps the old line", "겨울 농할", 0, "회차 —"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        PageRig rig(kNow);
        TAgentSnapshot s = WithPolicy(1'000'000, 0);
        s.ProgramName = c.Program;
        s.ProgramStart = start;
        s.ProgramEnd = c.End;
        if (!c.PolicyRead) s.PolicyAt = 0;
        rig.FPage->Render(s);
        EXPECT_EQ(rig.Text("program"), c.Line);
    }
}

TEST(StatusPage, TilesTellTimeSinceCollectionAndRollTheDayOver) {
    const ScaleGuard scale(1.0);
    struct Case {
        const char* Name;
        TDateTime Now;
        TDateTime LastCollect, SentDay, LastSend;
        std::int64_t SentToday;
        QString CollectValue, CollectSub, SentValue, SentSub;
    };
    const TDateTime collected = EncodeDateTime(2026, 12, 10, 13, 31, 0);
    const TDateTime day = EncodeDate(2026, 12, 10);
    const TDateTime sent = EncodeDateTime(2026, 12, 10, 13, 32, 0);
    const Case cases[] = {
        {"just now", IncSecond(collected, 59), collected, day, sent, 1234, "13:31", "방금", "1,234줄",
         "13:32 협회가 받음"},
        {"59 minutes", IncMinute(collected, 59), collected, day, sent, 12, "13:31", "59분 전", "12줄",
         "13:32 협회가 받음"},
        {"60 minutes", IncMinute(collected, 60), collected, day, sent, 12, "13:31", "12-10 · 1시간 전",
         "12줄", "13:32 협회가 받음"},
        {"after midnight", EncodeDateTime(2026, 12, 11, 0, 1, 0), collected, day, sent, 4321, "13:31",
         "12-10 · 10시간 전", "0줄", "오늘 아직 보내지 않음"},
        {"never collected", kNow, 0, day, 0, 0, "—", "아직 읽지 않았습니다", "0줄", "오늘 아직 보내지 않음"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        PageRig rig(c.Now);
        TAgentSnapshot s;
        s.LastCollectAt = c.LastCollect;
        s.SentDay = c.SentDay;
        s.SentToday = c.SentToday;
        s.LastSendAt = c.LastSend;
        rig.FPage->RefreshStatus(s);
        EXPECT_EQ(rig.Text("tileValue0"), c.CollectValue);
        EXPECT_EQ(rig.Text("tileSub0"), c.CollectSub);
        EXPECT_EQ(rig.Text("tileValue1"), c.SentValue);
        EXPECT_EQ(rig.Text("tileSub1"), c.SentSub);
    }
}

TEST(StatusPage, WaitingAndPosTilesByState) {
    const ScaleGuard scale(1.0);
    struct Case {
        const char* Name;
        std::vector<std::string> Pending;
        TPosState Pos;
        QString WaitValue, WaitSub;
        std::string WaitInk;
        QString PosValue, PosSub;
        std::string PosInk;
    };
    const Case cases[] = {
        {"all sent, POS read",
         {},
         TPosState::Read,
         "없음",
         "모두 보냈습니다",
         "#0F1F2E",
         "정상",
         "읽기 전용",
         "#1F8A4C"},
        {"two days waiting, POS failed",
         {"2026-12-09", "2026-12-10"},
         TPosState::Failed,
         "2일치",
         "이 PC 에 보관 · 다시 보냅니다",
         "#C27C0E",
         "실패",
         "설정에서 연결 시험",
         "#C0392B"},
        {"POS not read yet",
         {},
         TPosState::NotRead,
         "없음",
         "모두 보냈습니다",
         "#0F1F2E",
         "—",
         "아직 읽지 않았습니다",
         "#0F1F2E"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        PageRig rig(kNow);
        TAgentSnapshot s;
        s.PendingDays = c.Pending;
        s.PosState = c.Pos;
        rig.FPage->RefreshStatus(s);
        EXPECT_EQ(rig.Text("tileValue2"), c.WaitValue);
        EXPECT_EQ(rig.Text("tileSub2"), c.WaitSub);
        EXPECT_EQ(rig.Ink("tileValue2"), c.WaitInk);
        EXPECT_EQ(rig.Text("tileValue3"), c.PosValue);
        EXPECT_EQ(rig.Text("tileSub3"), c.PosSub);
        EXPECT_EQ(rig.Ink("tileValue3"), c.PosInk);
    }
}

TEST(StatusPage, NoticeIsColouredByItsLevel) {
    const ScaleGuard scale(1.0);
    struct Case {
        TNotice Notice;
        QString Shown;
        std::string Fill, Border, Ink;
    };
    const Case cases[] = {
        {TNotice::Stop("⛔ 보고를 **멈췄습니다**"), "보고를 멈췄습니다", "#FCEDEC", "#F0C0B9", "#C0392B"},
        {TNotice::Warning("  ⚠ 전송이 **늦습니다**"), "전송이 늦습니다", "#FDF6E3", "#F2D998", "#8A5A09"},
        {TNotice::Error("POS 를 읽지 못했습니다"), "POS 를 읽지 못했습니다", "#FDF6E3", "#F2D998", "#8A5A09"},
        {TNotice::Info("12줄을 보냈습니다 ⛔ 아님"), "12줄을 보냈습니다  아님", "#FFFFFF", "#E1E6EA",
         "#4B5B63"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Notice.Text);
        PageRig rig(kNow);
        rig.FPage->ShowNotice(TNotice::Stop("⛔ 앞선 알림")); // the colours of a previous notice must go
        rig.FPage->ShowNotice(c.Notice);
        EXPECT_EQ(rig.Text("lastNotice"), c.Shown);
        EXPECT_EQ(rig.Ink("lastNotice"), c.Ink);
        EXPECT_EQ(rig.FPage->LastNotice(), c.Notice);
        auto* card = rig.FPage->findChild<TUiCard*>("notice");
        ASSERT_NE(card, nullptr);
        EXPECT_EQ(Hex(card->Fill().rgb()), c.Fill);
        EXPECT_EQ(Hex(card->Border().rgb()), c.Border);
        const QImage img = Grab(card);
        EXPECT_EQ(At(img, img.width() / 2, 2), c.Fill) << "painted fill";
        EXPECT_EQ(At(img, img.width() / 2, 0), c.Border) << "painted border";
    }
}

TEST(StatusPage, SendNowAsksOnceAndComesBackWhenDone) {
    const ScaleGuard scale(1.0);
    int asked = 0;
    PageRig rig(kNow, [&asked] { ++asked; });
    auto* button = rig.FPage->findChild<TUiButton*>("sendNow");
    ASSERT_NE(button, nullptr);
    rig.FHost.Activate();
    EXPECT_EQ(button->Text(), "지금 보내기");
    EXPECT_TRUE(button->isEnabled());

    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(60, 20));
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(button->Text(), "보내는 중…");
    EXPECT_FALSE(button->isEnabled());
    EXPECT_TRUE(rig.FPage->Sending());

    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(60, 20));
    emit button->clicked(); // even a click that slipped past the disabled state asks nothing
    EXPECT_EQ(asked, 1);

    rig.FPage->SendNowDone();
    EXPECT_EQ(button->Text(), "지금 보내기");
    EXPECT_TRUE(button->isEnabled());
    EXPECT_FALSE(rig.FPage->Sending());
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(60, 20));
    EXPECT_EQ(asked, 2);
}

// A resize rebuilds the cards at the new width; the store must not see its figures, its warning or
// a send under way vanish because the window was dragged wider.
TEST(StatusPage, RebuildAtANewWidthShowsWhatWasShownBefore) {
    const ScaleGuard scale(1.0);
    int asked = 0;
    PageRig rig(kNow, [&asked] { ++asked; });
    TAgentSnapshot s = WithPolicy(1'000'000, 1'200'000);
    s.ProgramName = "겨울 농할";
    s.ProgramStart = EncodeDate(2026, 12, 1);
    s.ProgramEnd = EncodeDate(2026, 12, 13);
    s.LastCollectAt = EncodeDateTime(2026, 12, 10, 14, 0, 0);
    rig.FPage->Render(s);
    // A later snapshot without the programme's end keeps the line, and so must the rebuild.
    s.ProgramEnd = 0;
    s.PendingDays = {"2026-12-09"};
    rig.FPage->RefreshStatus(s);
    rig.FPage->ShowNotice({TNoticeLevel::Warning, "⚠ 협회 서버에 닿지 않았습니다"});
    rig.FHost.Activate();
    QTest::mouseClick(rig.FPage->findChild<TUiButton*>("sendNow"), Qt::LeftButton, {}, QPoint(60, 20));
    ASSERT_EQ(asked, 1);

    const char* names[] = {"level", "remain", "used", "percent", "program", "connection",
                           "tileValue0", "tileSub0", "tileValue2", "lastNotice"};
    std::vector<QString> before;
    for (const char* name : names)
        before.push_back(rig.Text(name));
    const std::string remainInk = rig.Ink("remain");
    QWidget* oldHero = rig.FPage->findChild<QWidget*>("hero");

    rig.FPage->SetCardWidth(kCardWidth);
    EXPECT_EQ(rig.FPage->findChild<QWidget*>("hero"), oldHero) << "same width, nothing rebuilt";

    rig.FPage->SetCardWidth(kCardWidth + 240);
    EXPECT_EQ(rig.FPage->findChildren<TUiCard*>().size(), 4u) << "the old cards are gone";
    EXPECT_EQ(rig.FPage->findChild<QWidget*>("hero")->width(), kCardWidth + 240);
    for (size_t i = 0; i < std::size(names); ++i) {
        SCOPED_TRACE(names[i]);
        EXPECT_EQ(rig.Text(names[i]), before[i]);
    }
    EXPECT_EQ(rig.Ink("remain"), remainInk);
    EXPECT_EQ(rig.Ink("lastNotice"), "#8A5A09");
    auto* button = rig.FPage->findChild<TUiButton*>("sendNow");
    EXPECT_EQ(button->Text(), "보내는 중…");
    EXPECT_FALSE(button->isEnabled());
    EXPECT_TRUE(button->isVisible());

    rig.FPage->SendNowDone();
    EXPECT_EQ(button->Text(), "지금 보내기");
    EXPECT_TRUE(button->isEnabled());
}

TEST(StatusPage, AssociationLinkOpensTheMartPage) {
    const ScaleGuard scale(1.0);
    struct Case {
        std::string Base;
        QString Opened; // empty: nothing opens
    };
    const Case cases[] = {
        {"https://assoc.example.invalid", "https://assoc.example.invalid/mart"},
        {"  https://assoc.example.invalid//  ", "https://assoc.example.invalid/mart"},
        {"", ""},
        {"   ", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Base);
        std::vector<QUrl> opened;
        PageRig rig(kNow, nullptr, [&opened](const QUrl& url) {
            opened.push_back(url);
            return true;
        });
        rig.FPage->SetSettings("1234567890", c.Base);
        auto* link = rig.FPage->findChild<TUiButton*>("associationLink");
        ASSERT_NE(link, nullptr);
        rig.FHost.Activate();
        QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(40, 20));
        if (c.Opened.isEmpty()) {
            EXPECT_TRUE(opened.empty());
        } else {
            ASSERT_EQ(opened.size(), 1u);
            EXPECT_EQ(opened[0].toString(), c.Opened);
        }
    }
}

TEST(StatusPage, HeaderAndTrayTexts) {
    struct Case {
        const char* Name;
        TAgentSnapshot Snapshot;
        std::string Store;
        QString Title, Badge, Hint;
    };
    TAgentSnapshot named = WithPolicy(1'000'000, 850'000);
    named.PointLabel = "솔빛마트 본점";
    TAgentSnapshot stopped = WithPolicy(0, 5'000);
    const Case cases[] = {
        {"not enrolled", TAgentSnapshot{}, "",
         "아직 등록하지 않았습니다 — 「설정」 에서 등록 코드를 넣어 주세요", "", "농할 에이전트 — 확인 중"},
        {"enrolled, not known yet", WithPolicy(1'000'000, 0), "1234567890",
         "사업자 1234567890 — 협회 확인 전", "", "농할 에이전트 — 정상 · 남음 1,000,000원"},
        {"known by name, caution", named, "1234567890", "솔빛마트 본점   ·   사업자 1234567890", "주의",
         "농할 에이전트 — 주의 · 남음 150,000원"},
        {"name without a business number", named, "", "솔빛마트 본점", "주의",
         "농할 에이전트 — 주의 · 남음 150,000원"},
        {"stopped", stopped, "1234567890", "사업자 1234567890 — 협회 확인 전", "중지",
         "농할 에이전트 — 중지 · 남음 0원"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(StoreTitle(c.Snapshot, c.Store), c.Title);
        EXPECT_EQ(NavBadge(c.Snapshot.State.Level), c.Badge);
        // The tray's hint has one definition, the tray's own.
        EXPECT_EQ(QString::fromStdString(TrayHintFor(c.Snapshot)), c.Hint);
    }
    EXPECT_EQ(NavBadge(static_cast<TLimitLevel>(42)), "");
}

TEST(StatusPage, NextRunLine) {
    TAgentSnapshot s;
    s.CollectMinutes = 10;
    EXPECT_EQ(NextRunLine(s), "다음 수집 —  ·  다음 정책 확인 —  ·  지금 주기 10분(피크 30분)");
    s.NextCollectAt = EncodeDateTime(2026, 12, 10, 14, 40, 0);
    s.NextPolicyAt = EncodeDateTime(2026, 12, 10, 15, 5, 0);
    s.CollectMinutes = 15;
    EXPECT_EQ(NextRunLine(s), "다음 수집 14:40  ·  다음 정책 확인 15:05  ·  지금 주기 15분(피크 45분)");
}

} // namespace
} // namespace pavona
