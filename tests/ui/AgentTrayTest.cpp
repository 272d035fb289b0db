// The tray entry on the offscreen platform, which like some Linux desktops has no tray host: the
// menu and its signals, the image and hint, and the balloon that becomes a log line and a notice.
#include "ui/AgentTray.h"

#include "engine/AgentMonitor.h"
#include "platform/Clock.h"
#include "store/AgentLog.h"
#include "tests/support/TestSupport.h"
#include "ui/ProgramBalloon.h"
#include "ui/TrayIcon.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <gtest/gtest.h>

namespace pavona {
namespace {

QApplication& App() {
    static int argc = 1;
    static char name[] = "test_agent_tray";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

// Counts how often each of the tray's two requests was made.
struct Requests {
    explicit Requests(TAgentTray& tray) {
        QObject::connect(&tray, &TAgentTray::showRequested, [this] { ++Show; });
        QObject::connect(&tray, &TAgentTray::exitRequested, [this] { ++Exit; });
    }
    int Show = 0;
    int Exit = 0;
};

QImage Pixels(const QIcon& icon) {
    return icon.pixmap(QSize(16, 16)).toImage().convertToFormat(QImage::Format_ARGB32);
}

TEST(AgentTray, OffscreenHasNoTrayHost) {
    App();
    TAgentTray tray;
    EXPECT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());
    EXPECT_FALSE(tray.Available());
}

TEST(AgentTray, MenuOffersShowInBoldAsDefaultThenExitAndEachItemAsksItsSignal) {
    App();
    TAgentTray tray;
    Requests asked(tray);
    ASSERT_EQ(tray.Icon()->contextMenu(), tray.Menu());
    const QList<QAction*> items = tray.Menu()->actions();
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[0]->text().toStdString(), "보기");
    EXPECT_TRUE(items[1]->isSeparator());
    EXPECT_EQ(items[2]->text().toStdString(), "종료");
    EXPECT_EQ(tray.Menu()->defaultAction(), items[0]);
    EXPECT_TRUE(items[0]->font().bold());
    EXPECT_FALSE(items[2]->font().bold());

    items[0]->trigger();
    EXPECT_EQ(asked.Show, 1);
    EXPECT_EQ(asked.Exit, 0);
    // Exit only asks: the tray stays, the window is the one to confirm and end.
    items[2]->trigger();
    EXPECT_EQ(asked.Show, 1);
    EXPECT_EQ(asked.Exit, 1);
    EXPECT_TRUE(tray.Icon()->isVisible());
}

TEST(AgentTray, ClickAndDoubleClickRevealTheWindowOtherActivationsDoNot) {
    App();
    TAgentTray tray;
    Requests asked(tray);
    const struct Case {
        QSystemTrayIcon::ActivationReason Reason;
        bool Reveals;
    } cases[] = {
        {QSystemTrayIcon::Trigger, true},  {QSystemTrayIcon::DoubleClick, true},
        {QSystemTrayIcon::Context, false}, {QSystemTrayIcon::MiddleClick, false},
        {QSystemTrayIcon::Unknown, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.Reason));
        EXPECT_EQ(RevealsWindow(c.Reason), c.Reveals);
        const int before = asked.Show;
        emit tray.Icon()->activated(c.Reason);
        EXPECT_EQ(asked.Show - before, c.Reveals ? 1 : 0);
    }
    EXPECT_EQ(asked.Exit, 0);
}

TEST(AgentTray, StartsWithTheAgentHintAndUnknownImageAndTakesEachLevelsImage) {
    App();
    TAgentTray tray;
    EXPECT_EQ(tray.Hint(), "Pavona 농할 에이전트");
    EXPECT_EQ(tray.Level(), TLimitLevel::Unknown);
    const QImage unknown = TrayImageFor(TLimitLevel::Unknown).convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(Pixels(tray.Icon()->icon()), unknown);

    const TLimitLevel levels[] = {TLimitLevel::Normal,         TLimitLevel::Caution,  TLimitLevel::Imminent,
                                  TLimitLevel::Exhausted,      TLimitLevel::Disabled, TLimitLevel::Unknown,
                                  static_cast<TLimitLevel>(42)};
    for (TLimitLevel level : levels) {
        SCOPED_TRACE(static_cast<int>(level));
        tray.SetLevel(level);
        EXPECT_EQ(tray.Level(), level);
        const QImage want = TrayImageFor(level).convertToFormat(QImage::Format_ARGB32);
        EXPECT_EQ(Pixels(tray.Icon()->icon()), want);
    }
    // A level outside the list draws as unknown, never as one the store could mistake for "normal".
    EXPECT_EQ(Pixels(tray.Icon()->icon()), unknown);
    EXPECT_NE(unknown, TrayImageFor(TLimitLevel::Normal).convertToFormat(QImage::Format_ARGB32));
}

TEST(AgentTray, HintTellsTheLevelAndWhatRemainsOnceThePolicyIsKnown) {
    App();
    TAgentTray tray;
    const struct Case {
        bool HasPolicy;
        bool Enabled;
        std::int64_t Allocated;
        std::int64_t Used;
        const char* Hint;
    } cases[] = {
        {false, true, 1000000, 799999, "농할 에이전트 — 확인 중"},
        {true, true, 1000000, 799999, "농할 에이전트 — 정상 · 남음 200,001원"},
        {true, true, 1000000, 800000, "농할 에이전트 — 주의 · 남음 200,000원"},
        {true, true, 1000000, 950000, "농할 에이전트 — 임박 · 남음 50,000원"},
        {true, true, 1000000, 1005000, "농할 에이전트 — 소진 · 남음 0원"},
        {true, false, 1000000, 300000, "농할 에이전트 — 중지 · 남음 0원"},
        {true, true, 12345678901, 0, "농할 에이전트 — 정상 · 남음 12,345,678,901원"},
        {true, true, 1000, 1, "농할 에이전트 — 정상 · 남음 999원"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Hint);
        TAgentSnapshot s;
        s.Input.HasPolicy = c.HasPolicy;
        s.Input.Enabled = c.Enabled;
        s.Input.Allocated = c.Allocated;
        s.Input.ReportedExecuted = c.Used;
        s.State = EvaluateLimit(s.Input);
        EXPECT_EQ(TrayHintFor(s), c.Hint);
        tray.SetHint(TrayHintFor(s));
        EXPECT_EQ(tray.Hint(), c.Hint);
        EXPECT_EQ(tray.Icon()->toolTip().toStdString(), c.Hint);
    }
}

TEST(TrayActions, CloseHidesToTheTrayMinimisesWithoutOneAndQuitsOnlyWhenConfirmed) {
    const struct Case {
        bool TrayAvailable;
        bool ReallyClose;
        TCloseAction Action;
    } cases[] = {
        {true, false, TCloseAction::Hide},
        {false, false, TCloseAction::Minimise},
        {true, true, TCloseAction::Quit},
        {false, true, TCloseAction::Quit},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.TrayAvailable << c.ReallyClose);
        EXPECT_EQ(CloseActionFor(c.TrayAvailable, c.ReallyClose), c.Action);
    }
}

TEST(TrayActions, TrayModeStartsHiddenOrMinimisedWithoutATrayOtherwiseShown) {
    const struct Case {
        bool TrayAvailable;
        bool TrayMode;
        TStartAction Action;
    } cases[] = {
        {true, true, TStartAction::Hidden},
        {false, true, TStartAction::Minimised},
        {true, false, TStartAction::Shown},
        {false, false, TStartAction::Shown},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.TrayAvailable << c.TrayMode);
        EXPECT_EQ(StartActionFor(c.TrayAvailable, c.TrayMode), c.Action);
    }
}

TEST(TrayActions, BalloonLineJoinsTheNonBlankLinesWithOneSpace) {
    const struct Case {
        const char* Text;
        const char* Line;
    } cases[] = {
        {"가\r\n\r\n나\r\n다", "가 나 다"},
        {"가\n나\r다", "가 나 다"},
        {"  가 나  \r\n\r\n\r\n  다 ", "가 나 다"},
        {"한 줄", "한 줄"},
        {"\r\n\r\n", ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Text);
        EXPECT_EQ(BalloonLine(c.Text), c.Line);
    }
}

class AgentTrayLog : public test::TempDataTest {
  protected:
    AgentTrayLog() { App(); }
    FixedClock FClock{EncodeDateTime(2026, 10, 6, 9, 40, 1, 123)};
    ScopedClock FUse{FClock};
};

TEST_F(AgentTrayLog, WithoutATrayHostTheProgrammeNewsGoesToThePolicyLogAndComesBackAsANotice) {
    TAgentTray tray;
    ASSERT_FALSE(tray.Available()) << "the offscreen platform was expected to have no tray host";
    TProgramNews news;
    news.ProgramCode = "NH-2026-10";
    news.ProgramName = "10월 농할";
    news.StartsOn = "2026-10-01";
    news.EndsOn = "2026-10-31";
    news.Allocated = 1000000;
    news.Items = 12;
    const std::string line = "새 농할 회차가 시작되었습니다. 10월 농할 2026-10-01 ~ 2026-10-31 "
                             "우리 매장 배정액 1,000,000원 대상 품목 12개 가운데 3개가 아직 연결되지 "
                             "않았습니다. 「농할 설정」 탭에서 확인해 주세요.";
    ASSERT_EQ(BalloonLine(ProgramBalloonText(news, 3)), line);

    const TNotice notice = tray.AnnounceProgram(news, 3);
    EXPECT_EQ(notice, TNotice::Info(line));
    const std::vector<std::string> logged = ReadLogDay(EncodeDate(2026, 10, 6));
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0], "2026-10-06 09:40:01.123  정보  정책  " + line);

    // A balloon of the tray's own title takes the same road: one more line, its own notice.
    const TNotice other = tray.ShowBalloon("첫 줄\r\n\r\n둘째 줄");
    EXPECT_EQ(other, TNotice::Info("첫 줄 둘째 줄"));
    const std::vector<std::string> after = ReadLogDay(EncodeDate(2026, 10, 6));
    ASSERT_EQ(after.size(), 2u);
    EXPECT_EQ(after[1], "2026-10-06 09:40:01.123  정보  정책  첫 줄 둘째 줄");
}

} // namespace
} // namespace pavona
