// The settings page through its real widgets offscreen, without an engine: the connection summary,
// the autostart states with their texts, the layout as cards open, and every text fitting its
// label in Pretendard at 100 % and 150 %.
#include "ui/SettingsPage.h"

#include "config/AgentInstall.h"
#include "platform/Platform.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/SettingsText.h"
#include "ui/UiControls.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <cstdlib>
#include <memory>
#include <ostream>

// Failures print the text itself, not its UTF-16 units.
void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace pavona {
namespace {

constexpr int kCardWidth = 705; // the settings cards of a 980-pixel window

TAgentSettings Enrolled() {
    TAgentSettings s;
    DefaultSettings(s);
    s.Store = "1234567890";
    s.Key = "agent-key";
    s.PosConnStr =
        "Provider=SQLOLEDB;Data Source=POS-PC\\SQLEXPRESS;Initial Catalog=MartPos;User ID=reader;Password=x";
    return s;
}

class SettingsPageTest : public test::TempDataTest {
  protected:
    // A page on its own top-level host; `program` is the running program as the page sees it.
    TSettingsPage& MakePage(const TAgentSettings& settings, const std::string& program = "") {
        FHost = std::make_unique<Host>(kUiBackdrop, QSize(UiScale(kCardWidth + 56), UiScale(1300)));
        TSettingsHooks hooks;
        hooks.ProgramPath = program.empty() ? FRoot.File("download/pavona-agent") : program;
        FPage = new TSettingsPage(settings, kCardWidth, hooks, FHost->Widget());
        FPage->resize(UiScale(kCardWidth + 56), FPage->minimumHeight());
        return *FPage;
    }
    template <class T> T* Child(const char* name) const {
        T* child = FPage->findChild<T*>(name);
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    QString Text(const char* name) const { return Child<QLabel>(name)->text(); }
    std::string Ink(const char* name) const {
        return Hex(Child<QLabel>(name)->palette().color(QPalette::WindowText).rgb());
    }
    // The design y of a control inside the page (its card's top added).
    int DesignTop(const QWidget* w) const { return w->mapTo(FPage, QPoint(0, 0)).y(); }

    std::unique_ptr<Host> FHost;
    TSettingsPage* FPage = nullptr; // owned by the host
};

TEST(SettingsText, ConnectionSummaryNamesServerDatabaseAndAccount) {
    const struct Case {
        const char* Conn;
        QString Summary;
    } cases[] = {
        {"Provider=SQLOLEDB;Data Source=POS-PC;Initial Catalog=MartPos;Integrated Security=SSPI",
         "SQL Server  POS-PC   ·   DB  MartPos   ·   Windows 로그인"},
        {"Server=10.0.0.5,1433; Database = Pos ;UID=reader;PWD=secret",
         "SQL Server  10.0.0.5,1433   ·   DB  Pos   ·   계정  reader"},
        // A later key wins, as ADO reads it; the password is never shown.
        {"Data Source=A;Data Source=B;Initial Catalog=C;User ID=u;Password=pw",
         "SQL Server  B   ·   DB  C   ·   계정  u"},
        {"Password=only", "접속 정보를 읽지 못했습니다 — 「접속 정보 바꾸기」 에서 확인해 주세요."},
        {"=Server;nonsense", "접속 정보를 읽지 못했습니다 — 「접속 정보 바꾸기」 에서 확인해 주세요."},
        {"Driver=SQLite3;Database=/srv/pos/demo.sqlite", "SQLite 파일  /srv/pos/demo.sqlite   ·   읽기 전용"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Conn);
        EXPECT_EQ(ConnectionSummary(c.Conn), c.Summary);
    }
}

TEST_F(SettingsPageTest, ShowsTheSettingsInForce) {
    const ScaleGuard scale(1.0);
    TSettingsPage& page = MakePage(Enrolled());
    EXPECT_EQ(Child<QLineEdit>("store")->text(), "1234567890");
    EXPECT_EQ(Child<QLineEdit>("collectMinutes")->text(), "10");
    EXPECT_EQ(Child<QLineEdit>("imminentPct")->text(), "95");
    EXPECT_EQ(Child<QLineEdit>("key")->echoMode(), QLineEdit::Password);
    EXPECT_EQ(Text("registration"), "등록됨 — 사업자 1234567890");
    EXPECT_EQ(Ink("registration"), "#1F8A4C");
    EXPECT_EQ(Text("connSummary"), "SQL Server  POS-PC\\SQLEXPRESS   ·   DB  MartPos   ·   계정  reader");

    // The association's name for the store arrives with a policy.
    TAgentSnapshot s;
    s.PolicyAt = 46000.5;
    s.PointLabel = "M7 솔빛마트";
    s.CollectMinutes = 10;
    page.Render(s);
    EXPECT_EQ(Text("registration"), "등록됨 — M7 솔빛마트 · 사업자 1234567890");
    EXPECT_EQ(Text("nextRun"), "다음 수집 —  ·  다음 정책 확인 —  ·  지금 주기 10분(피크 30분)");

    // Not enrolled, no POS: both lines say what is missing, in red.
    MakePage(TAgentSettings{});
    EXPECT_EQ(Text("registration"), "아직 등록하지 않았습니다 — 아래에 등록 코드를 넣어 주세요");
    EXPECT_EQ(Ink("registration"), "#C0392B");
    EXPECT_EQ(Text("connSummary"), kNoPosConn);
    EXPECT_EQ(Ink("connSummary"), "#C0392B");

    // Codes are shown in capitals whatever the keyboard gives.
    QTest::keyClicks(Child<QLineEdit>("enrollCode"), "abcd-efgh-jk");
    EXPECT_EQ(Child<QLineEdit>("enrollCode")->text(), "ABCD-EFGH-JK");
}

TEST_F(SettingsPageTest, AutostartStatesWithTheirTexts) {
    const ScaleGuard scale(1.0);
    const std::string installed = InstalledExe();
    const std::string downloaded = FRoot.File("download/pavona-agent");
    ASSERT_TRUE(platform::MakeDirs(InstallDir()));
    ASSERT_TRUE(platform::MakeDirs(platform::ParentDir(downloaded)));
    test::WriteFile(installed, "agent");
    test::WriteFile(downloaded, "agent");
    const QString entry = QString::fromStdString(platform::AutoStartEntryPath());
    const struct Case {
        const char* Name;
        std::string Registered; // empty: no entry
        std::string Program;    // the running program
        bool Checked;
        QString Note;
        bool InstallEnabled;
    } cases[] = {
        {"0 off", "", downloaded, false,
         "지금 상태 — 꺼짐\n컴퓨터를 켤 때 자동으로 실행되지 않습니다. 아래에서 켜 주세요.", true},
        {"1 on from the installed place, running there", installed, installed, true,
         "지금 상태 — 켜짐\n자동 실행 항목 — " + entry, false},
        {"1 on from the installed place, running elsewhere", installed, downloaded, true,
         "지금 상태 — 켜짐\n자동 실행 항목 — " + entry, true},
        {"2 on from another place", downloaded, downloaded, true,
         "지금 상태 — 켜짐 (설치되지 않은 자리)\n지금은 돌지만 이 파일을 옮기거나 지우면 멈춥니다. 「설치」 "
         "를 "
         "누르면 안전한 자리로 옮겨 둡니다.\n자동 실행 항목 — " +
             entry,
         true},
        {"3 broken", FRoot.File("gone/pavona-agent"), installed, true,
         "지금 상태 — 고장 — 프로그램을 찾지 못합니다\n자동 실행에 적힌 프로그램이 그 자리에 없습니다 — 이미 "
         "멈춰 "
         "있습니다. 「설치」 를 눌러 다시 잡아 주세요.\n자동 실행 항목 — " +
             entry,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        SetAutoStart(!c.Registered.empty(), c.Registered);
        MakePage(Enrolled(), c.Program);
        EXPECT_EQ(Child<QCheckBox>("autoStart")->isChecked(), c.Checked);
        EXPECT_EQ(Text("autoStartNote"), c.Note);
        EXPECT_EQ(Child<TUiButton>("install")->isEnabled(), c.InstallEnabled);
        // However long the note, its card holds all of it.
        const QLabel* note = Child<QLabel>("autoStartNote");
        EXPECT_LE(note->heightForWidth(note->width()), note->height());
        EXPECT_LE(note->geometry().bottom(), Child<TUiCard>("autoCard")->height());
    }
}

TEST_F(SettingsPageTest, OpeningCardsMovesWhatIsBelow) {
    for (const double factor : {1.0, 1.5}) {
        SCOPED_TRACE(factor);
        const ScaleGuard scale(factor);
        LoadUiFonts();
        TSettingsPage& page = MakePage(Enrolled());
        auto* save = Child<TUiButton>("save");
        auto* adv = Child<TUiCard>("advCard");
        auto* base = Child<QLineEdit>("baseUrl");
        // Folded: the advanced card shows its title row only, its rows are out of reach.
        EXPECT_EQ(DesignTop(save), UiScale(932));
        EXPECT_EQ(adv->height(), UiScale(66));
        EXPECT_FALSE(base->isVisibleTo(&page));
        EXPECT_EQ(Child<TUiButton>("advToggle")->Text(), "펼치기");
        const int foldedHeight = page.minimumHeight();

        page.ToggleAdvanced();
        EXPECT_EQ(DesignTop(save), UiScale(1154));
        EXPECT_EQ(DesignTop(Child<QLabel>("saveNote")), UiScale(1156));
        EXPECT_EQ(adv->height(), UiScale(288));
        EXPECT_TRUE(base->isVisibleTo(&page));
        EXPECT_EQ(Child<TUiButton>("advToggle")->Text(), "접기");
        EXPECT_EQ(page.minimumHeight() - foldedHeight, UiScale(1230) - UiScale(1008));
        // The last row ends inside the open card.
        EXPECT_LE(Child<QLineEdit>("imminentPct")->geometry().bottom(), adv->height());

        // The connection edit opens 42 pixels in the POS card and pushes the lower cards down.
        page.ToggleConnEdit();
        EXPECT_TRUE(Child<QLineEdit>("connEdit")->isVisibleTo(&page));
        EXPECT_EQ(Child<TUiCard>("posCard")->height(), UiScale(202));
        EXPECT_EQ(DesignTop(Child<TUiCard>("autoCard")), UiScale(440));
        EXPECT_EQ(DesignTop(Child<TUiCard>("timingCard")), UiScale(632));
        EXPECT_EQ(DesignTop(save), UiScale(1196));

        // A wider window widens the cards; the buttons on the right keep their distance.
        page.SetCardWidth(kCardWidth + 200);
        EXPECT_EQ(adv->width(), UiScale(kCardWidth + 200));
        EXPECT_EQ(Child<TUiButton>("install")->x(), UiScale(kCardWidth + 200 - 214));
        EXPECT_EQ(save->x(), UiScale(kCardWidth + 200 - 122));
        EXPECT_EQ(Child<QLineEdit>("connEdit")->text().toStdString(), Enrolled().PosConnStr);
    }
}

// Every text of a busy page fits its label in Pretendard, with the cards folded and open, at both
// scales; the page is photographed into $PAVONA_PICTURES when that is set.
TEST_F(SettingsPageTest, TextsFitTheirLabelsAtBothScales) {
    SetAutoStart(true, FRoot.File("gone/pavona-agent")); // the longest autostart note
    const char* pictures = std::getenv("PAVONA_PICTURES");
    for (const double factor : {1.0, 1.5}) {
        const ScaleGuard scale(factor);
        LoadUiFonts();
        TSettingsPage& page = MakePage(Enrolled());
        TAgentSnapshot s;
        s.PolicyAt = 46000.5;
        s.PointLabel = "M7 솔빛마트 본점";
        s.NextCollectAt = 46000.5;
        s.NextPolicyAt = 46000.75;
        s.CollectMinutes = 1440;
        page.Render(s);
        for (const bool open : {false, true}) {
            SCOPED_TRACE(std::to_string(factor) + (open ? " open" : " folded"));
            if (open != page.AdvancedOpen()) {
                page.ToggleAdvanced();
                page.ToggleConnEdit();
            }
            page.resize(page.width(), page.minimumHeight());
            for (QLabel* label : page.findChildren<QLabel*>()) {
                if (!label->isVisibleTo(&page)) continue;
                SCOPED_TRACE(label->text().toStdString());
                EXPECT_TRUE(label->font().family().startsWith("Pretendard"))
                    << label->font().family().toStdString();
                if (label->wordWrap())
                    EXPECT_LE(label->heightForWidth(label->width()), label->height());
                else
                    EXPECT_LE(QFontMetrics(label->font()).horizontalAdvance(label->text()), label->width());
                EXPECT_LE(label->geometry().bottom(), label->parentWidget()->height());
            }
            const QImage image = Grab(&page);
            // The backdrop beside the cards, a card's white and the primary button's navy.
            EXPECT_EQ(At(image, UiScale(10), UiScale(300)), "#F4F6F8");
            EXPECT_EQ(At(image, UiScale(28 + 10), UiScale(24 + 40)), "#FFFFFF");
            const QWidget* save = Child<TUiButton>("save");
            const QPoint middle = save->mapTo(&page, QPoint(UiScale(10), save->height() / 2));
            EXPECT_EQ(At(image, middle.x(), middle.y()), "#17324A");
            if (pictures)
                image.save(QString("%1/settings-%2-%3.png")
                               .arg(pictures)
                               .arg(factor == 1.0 ? "100" : "150")
                               .arg(open ? "open" : "folded"));
        }
    }
}

} // namespace
} // namespace pavona
