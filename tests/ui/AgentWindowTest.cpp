// The main window's shell driven through its real widgets offscreen: header, navigation and page
// slots, placement restore, closing and the exit question, revealing, the relayout debounce and
// the wheel over the page area.
#include "ui/AgentWindow.h"
#include "common/Version.h"
#include "config/AgentSettings.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/AgentUi.h"
#include "ui/UiControls.h"
#include "ui/WindowPlacement.h"

#include <QAbstractButton>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>

namespace pavona {
namespace {

// The offscreen platform's screen is 800 × 800 unless told otherwise, narrower than the window's
// minimum; a 1920 × 1080 screen (work area the same) lets a saved width show. Set before the
// QApplication is made, removed when the program ends. One file per process: CTest runs the cases
// of this program as parallel processes, and one that ends must not take another's screen away.
const struct WideScreen {
    WideScreen()
        : Path(std::filesystem::temp_directory_path() /
               ("pavona-window-test-screen-" + std::to_string(::getpid()) + ".json")) {
        std::ofstream(Path)
            << R"({"screens": [{"name": "wide", "x": 0, "y": 0, "width": 1920, "height": 1080,)"
               R"( "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})";
        setenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + Path.string()).c_str(), 1);
    }
    ~WideScreen() {
        std::error_code ignored;
        std::filesystem::remove(Path, ignored);
    }
    std::filesystem::path Path;
} kWideScreen;

std::string S(const QString& text) {
    return text.toStdString();
}

class AgentWindowTest : public test::TempDataTest {
  protected:
    AgentWindowTest() { UiTestApp(); }

    // A window whose surroundings answer as the test says and count what they were asked.
    std::unique_ptr<TAgentForm> Make(bool trayAvailable = false) {
        TAgentFormHooks hooks;
        hooks.AskExit = [this](QWidget*) {
            ++FAsked;
            return FAnswer;
        };
        hooks.TrayAvailable = [trayAvailable] { return trayAvailable; };
        hooks.Quit = [this] { ++FQuits; };
        return std::make_unique<TAgentForm>(hooks);
    }

    template <class T> static T* Child(TAgentForm& form, const char* name) {
        T* child = form.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }

    bool FAnswer = false;
    int FAsked = 0;
    int FQuits = 0;
};

TEST_F(AgentWindowTest, HeaderShowsTitleStoreConnectionAndVersion) {
    const ScaleGuard scale(1.0);
    auto form = Make();
    EXPECT_EQ(S(form->windowTitle()), "농할 에이전트 — 솔빛상인회");
    EXPECT_EQ(S(Child<QLabel>(*form, "appTitle")->text()), "농할 에이전트");
    EXPECT_EQ(S(Child<QLabel>(*form, "storeTitle")->text()), "점포를 아직 확인하지 못했습니다");
    EXPECT_EQ(S(Child<QLabel>(*form, "versionLabel")->text()), std::string("판 ") + kAgentVersion);
    auto* pill = Child<TUiPill>(*form, "connPill");
    EXPECT_EQ(S(pill->Text()), "협회 서버 확인 중");
    EXPECT_EQ(pill->Fill(), QColor(0x275478));
    EXPECT_EQ(pill->Dot(), QColor(0x8A94A0));

    form->SetStoreTitle(QStringLiteral("솔빛마트 본점"));
    form->SetConnection(QStringLiteral("협회 연결됨"), QColor(0x7AD271));
    EXPECT_EQ(S(Child<QLabel>(*form, "storeTitle")->text()), "솔빛마트 본점");
    EXPECT_EQ(S(pill->Text()), "협회 연결됨");
    EXPECT_EQ(pill->Dot(), QColor(0x7AD271));
    EXPECT_EQ(pill->Fill(), QColor(0x275478));
}

TEST_F(AgentWindowTest, HeaderNavigationAndSeparatorAtEachScaleWithRightAndBottomAnchors) {
    for (double factor : {1.0, 1.5}) {
        SCOPED_TRACE(factor);
        const ScaleGuard scale(factor);
        auto form = Make();
        const int width = UiScale(1200), height = UiScale(820), header = UiScale(76), nav = UiScale(200);
        form->resize(width, height);
        const QImage img = Grab(form.get());
        EXPECT_EQ(At(img, 5, 5), "#17324A") << "header";
        EXPECT_EQ(At(img, 5, header - 1), "#17324A") << "header's last row";
        EXPECT_EQ(At(img, 5, header), "#F4F6F8") << "navigation column below it";
        EXPECT_EQ(At(img, nav, UiScale(600)), "#E1E6EA") << "separator, one pixel";
        EXPECT_EQ(At(img, nav + 1, UiScale(600)), "#F4F6F8") << "content area";
        EXPECT_EQ(form->findChild<TUiNavItem*>(QStringLiteral("nav2"))->geometry(),
                  QRect(0, UiScale(20 + 104), nav, UiScale(48)));
        // The pill and the version keep their distance to the right edge.
        EXPECT_EQ(Child<TUiPill>(*form, "connPill")->geometry(),
                  QRect(width - UiScale(208), UiScale(14), UiScale(180), UiScale(32)));
        EXPECT_EQ(Child<QLabel>(*form, "versionLabel")->geometry().right(), width - UiScale(28) - 1);
        // The navigation's footer keeps its distance to the bottom: inside the column (which begins
        // below the header) 72 and 48 design pixels above its end.
        EXPECT_EQ(S(Child<QLabel>(*form, "navFooter0")->text()), "솔빛상인회");
        EXPECT_EQ(S(Child<QLabel>(*form, "navFooter1")->text()), "농할 실적 · 한도 감시");
        EXPECT_EQ(Child<QLabel>(*form, "navFooter0")->pos(),
                  QPoint(UiScale(28), height - header - UiScale(72)));
        EXPECT_EQ(Child<QLabel>(*form, "navFooter1")->pos(),
                  QPoint(UiScale(28), height - header - UiScale(48)));
    }
}

TEST_F(AgentWindowTest, NavigationClickShowsItsPageAndSelectsOnlyItsItem) {
    const ScaleGuard scale(1.0);
    auto form = Make();
    form->resize(980, 820);
    form->show();
    QSignalSpy shown(form.get(), &TAgentForm::pageShown);
    EXPECT_EQ(form->CurrentPage(), 0);
    const char* const captions[kPageCount] = {"현황",      "대상 품목", "실적 내역", "전송 내역",
                                              "쿼리 보기", "로그",      "설정"};
    for (int index : {3, 6, 0, 1, 5, 2, 4}) {
        SCOPED_TRACE(index);
        auto* item = Child<TUiNavItem>(*form, QStringLiteral("nav%1").arg(index).toLatin1().constData());
        EXPECT_EQ(S(item->Text()), captions[index]);
        EXPECT_EQ(item->geometry(), QRect(0, 20 + 52 * index, 200, 48));
        QTest::mouseClick(item, Qt::LeftButton);
        EXPECT_EQ(form->CurrentPage(), index);
        ASSERT_FALSE(shown.isEmpty());
        EXPECT_EQ(shown.takeLast().at(0).toInt(), index);
        for (int i = 0; i < kPageCount; ++i) {
            EXPECT_EQ(form->findChild<TUiNavItem*>(QStringLiteral("nav%1").arg(i))->Selected(), i == index)
                << i;
            EXPECT_EQ(form->findChild<QScrollArea*>(QStringLiteral("pageSlot%1").arg(i))->isVisible(),
                      i == index)
                << i;
        }
    }
}

TEST_F(AgentWindowTest, EveryPageSaysItIsNotReadyUntilItIsPluggedIn) {
    const ScaleGuard scale(1.0);
    auto form = Make();
    for (int i = 0; i < kPageCount; ++i) {
        SCOPED_TRACE(i);
        auto* note = form->Page(i)->findChild<QLabel*>(QStringLiteral("pendingNote"));
        ASSERT_NE(note, nullptr);
        EXPECT_EQ(S(note->text()), "이 화면은 아직 준비 중입니다.");
    }
    QPointer<QWidget> pending = form->Page(0);
    auto* status = new QLabel(QStringLiteral("현황 페이지"));
    form->SetPage(0, status);
    EXPECT_EQ(form->Page(0), status);
    EXPECT_TRUE(pending.isNull()) << "the card it replaced is gone";
    EXPECT_NE(form->Page(1)->findChild<QLabel*>(QStringLiteral("pendingNote")), nullptr);
    form->SetPage(7, new QLabel);
    form->SetPage(-1, nullptr);
    EXPECT_EQ(form->Page(7), nullptr);

    // The card is as wide as the pages' cards: 28 design pixels in from both sides.
    form->resize(980, 820);
    form->show();
    form->ShowPage(2);
    auto* card = form->Page(2)->findChild<TUiCard*>(QStringLiteral("pendingCard"));
    ASSERT_NE(card, nullptr);
    EXPECT_EQ(card->width(), form->CardWidth());
    const QImage img = Grab(form.get());
    EXPECT_EQ(At(img, 201 + 28 + 10, 76 + 24 + 40), "#FFFFFF") << "card fill";
}

TEST_F(AgentWindowTest, BadgeSetterShowsAndClearsTheBadgeOfOneItem) {
    const ScaleGuard scale(1.0);
    auto form = Make();
    const struct Case {
        int Index;
        QString Badge;
    } cases[] = {{0, QStringLiteral("주의")}, {0, QString()}, {6, QStringLiteral("3")}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Index);
        form->SetBadge(c.Index, c.Badge);
        EXPECT_EQ(form->findChild<TUiNavItem*>(QStringLiteral("nav%1").arg(c.Index))->Badge(), c.Badge);
    }
    form->SetBadge(9, QStringLiteral("x")); // no such item: ignored
    EXPECT_EQ(S(form->findChild<TUiNavItem*>(QStringLiteral("nav1"))->Badge()), "");
}

TEST_F(AgentWindowTest, OpensWithTheSavedPlacementOrTheDefaultAndItsLimits) {
    struct Case {
        const char* Name;
        const char *Width, *Height, *Maximized;
        double Scale;
        QSize Size, Minimum;
    };
    const Case cases[] = {
        {"nothing saved", nullptr, nullptr, nullptr, 1.0, {980, 820}, {980, 600}},
        {"too small", "979", "599", "0", 1.0, {980, 820}, {980, 600}},
        {"smallest taken", "980", "600", "0", 1.0, {980, 600}, {980, 600}},
        {"saved", "1000", "640", "0", 1.0, {1000, 640}, {980, 600}},
        {"saved at 1.5", "1000", "640", "0", 1.5, {1500, 960}, {1470, 900}},
        {"larger than the screen at 1.5", "1300", "900", "0", 1.5, {1920, 1068}, {1470, 900}},
        {"maximised", "1000", "640", "1", 1.0, {1000, 640}, {980, 600}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const ScaleGuard scale(c.Scale);
        if (c.Width != nullptr) {
            ASSERT_TRUE(WriteIniKey("window", "width", c.Width));
            ASSERT_TRUE(WriteIniKey("window", "height", c.Height));
            ASSERT_TRUE(WriteIniKey("window", "maximized", c.Maximized));
        }
        auto form = Make();
        ASSERT_EQ(form->screen()->availableGeometry(), QRect(0, 0, 1920, 1080));
        EXPECT_EQ(form->minimumSize(), c.Minimum);
        EXPECT_EQ(form->size(), c.Size);
        EXPECT_EQ(form->pos(), QPoint((1920 - c.Size.width()) / 2, (1080 - c.Size.height()) / 2))
            << "centred";
        EXPECT_EQ(form->isMaximized(), c.Maximized != nullptr && c.Maximized[0] == '1');
        EXPECT_EQ(form->DesignWidth(), RoundHalfEven(form->width() / c.Scale));
        EXPECT_EQ(form->CardWidth(), form->DesignWidth() - 257);
        EXPECT_FALSE(form->isVisible()) << "built hidden; the caller decides how it comes up";
    }
}

TEST_F(AgentWindowTest, ClosingHidesOrMinimisesAndSavesThePlacementButNeverEnds) {
    const ScaleGuard scale(1.0);
    const struct Case {
        bool TrayAvailable;
        bool Visible, Minimised;
    } cases[] = {{true, false, false}, {false, true, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.TrayAvailable);
        auto form = Make(c.TrayAvailable);
        form->resize(1010, 700);
        form->show();
        EXPECT_FALSE(form->close()) << "the close is refused";
        EXPECT_EQ(form->isVisible(), c.Visible);
        EXPECT_EQ(form->isMinimized(), c.Minimised);
        EXPECT_EQ(FQuits, 0);
        EXPECT_EQ(FAsked, 0);
        EXPECT_EQ(ReadIniKey("window", "width"), "1010");
        EXPECT_EQ(ReadIniKey("window", "height"), "700");
    }
}

TEST_F(AgentWindowTest, TrayExitAsksAndEndsOnlyOnYes) {
    const ScaleGuard scale(1.0);
    auto form = Make(true);
    form->show();
    QAction* exit = form->Tray().Menu()->actions().at(2);
    ASSERT_EQ(S(exit->text()), "종료");

    FAnswer = false;
    exit->trigger();
    EXPECT_EQ(FAsked, 1);
    EXPECT_EQ(FQuits, 0);
    EXPECT_FALSE(form->ReallyClose());
    EXPECT_TRUE(form->isVisible());

    FAnswer = true;
    exit->trigger();
    EXPECT_EQ(FAsked, 2);
    EXPECT_EQ(FQuits, 1);
    EXPECT_TRUE(form->ReallyClose());
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(ReadIniKey("window", "maximized"), "0") << "the placement is saved on the way out";
}

TEST_F(AgentWindowTest, ExitFromTheTrayWhileHiddenStillEnds) {
    const ScaleGuard scale(1.0);
    FAnswer = true;
    auto form = Make(true);
    form->Tray().Menu()->actions().at(2)->trigger();
    EXPECT_EQ(FQuits, 1);
}

TEST_F(AgentWindowTest, TheRealQuestionBoxAsksWithYesAndNo) {
    const ScaleGuard scale(1.0);
    TAgentFormHooks hooks;
    int quits = 0;
    hooks.Quit = [&quits] { ++quits; };
    TAgentForm form(hooks);
    form.show();
    std::string text, yes, no;
    // Answered from inside its own loop: read what it asks, then press "아니요".
    QTimer::singleShot(50, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        text = S(box->text());
        yes = S(box->button(QMessageBox::Yes)->text());
        no = S(box->button(QMessageBox::No)->text());
        EXPECT_EQ(static_cast<QAbstractButton*>(box->defaultButton()), box->button(QMessageBox::No));
        box->button(QMessageBox::No)->click();
    });
    form.ConfirmExit();
    EXPECT_EQ(text, "에이전트를 종료하면 농할 실적 수집과 한도 감시가 멈춥니다. 종료하시겠습니까?");
    EXPECT_EQ(yes, "예");
    EXPECT_EQ(no, "아니요");
    EXPECT_EQ(quits, 0);
    EXPECT_FALSE(form.ReallyClose());
}

TEST_F(AgentWindowTest, RevealBringsTheWindowBackInItsNormalState) {
    const ScaleGuard scale(1.0);
    enum class From { Hidden, Minimised, Maximised };
    for (From from : {From::Hidden, From::Minimised, From::Maximised}) {
        SCOPED_TRACE(static_cast<int>(from));
        auto form = Make();
        form->show();
        if (from == From::Hidden) form->hide();
        if (from == From::Minimised) form->showMinimized();
        if (from == From::Maximised) form->showMaximized();
        // Asked the way the tray and a second start ask: through the tray's "보기".
        form->Tray().Menu()->actions().at(0)->trigger();
        QApplication::processEvents();
        EXPECT_TRUE(form->isVisible());
        EXPECT_FALSE(form->isMinimized());
        EXPECT_FALSE(form->isMaximized());
        EXPECT_TRUE(form->isActiveWindow());
    }
}

TEST_F(AgentWindowTest, ABurstOfResizesRelaysOnceAndAnUnchangedDesignSizeNotAtAll) {
    struct Case {
        const char* Name;
        double Scale;
        QSize Start;
        std::vector<QSize> Burst;
        int Relayouts;
        QSize Design;          // after the burst
        bool Minimise = false; // minimised before the timer fires
    };
    const Case cases[] = {
        {"drag", 1.0, {1000, 700}, {{1010, 700}, {1030, 710}, {1060, 730}}, 1, {1060, 730}},
        {"same design size at 1.5", 1.5, {1471, 1000}, {{1472, 1000}}, 0, {981, 667}},
        {"one pixel more at 1.5", 1.5, {1471, 1000}, {{1474, 1000}}, 1, {983, 667}},
        {"back where it began", 1.0, {1000, 700}, {{1100, 800}, {1000, 700}}, 0, {1000, 700}},
        {"minimised before it settles", 1.0, {1000, 700}, {{1100, 800}}, 0, {1000, 700}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const ScaleGuard scale(c.Scale);
        auto form = Make();
        form->resize(c.Start);
        form->show();
        QTest::qWait(250); // the first show's own resize settles first
        QSignalSpy relaid(form.get(), &TAgentForm::relaidOut);
        QSignalSpy shown(form.get(), &TAgentForm::pageShown);
        auto* timer = form->findChild<QTimer*>(QStringLiteral("relayoutTimer"));
        ASSERT_NE(timer, nullptr);
        for (const QSize& size : c.Burst) {
            form->resize(size);
            QTest::qWait(40);
            EXPECT_TRUE(timer->isActive());
            EXPECT_EQ(relaid.count(), 0) << "not while the drag goes on";
        }
        if (c.Minimise) form->showMinimized();
        QTest::qWait(250);
        EXPECT_FALSE(timer->isActive());
        EXPECT_EQ(relaid.count(), c.Relayouts);
        EXPECT_EQ(shown.count(), c.Relayouts) << "the page shown is refreshed after a rebuild";
        EXPECT_EQ(QSize(form->DesignWidth(), form->DesignHeight()), c.Design);
        EXPECT_EQ(ReadIniKey("window", "width"), std::to_string(c.Design.width()))
            << "saved at every relayout";
    }
}

TEST_F(AgentWindowTest, WheelScrollsThePageBy60DesignPixelsANotchButNotOverAList) {
    for (double factor : {1.0, 1.5}) {
        SCOPED_TRACE(factor);
        const ScaleGuard scale(factor);
        auto form = Make();
        auto* page = new QWidget;
        page->setMinimumHeight(UiScale(3000));
        auto* plain = new QLabel(QStringLiteral("본문"), page);
        plain->setGeometry(UiScale(28), UiScale(24), UiScale(300), UiScale(40));
        auto* list = new QListWidget(page);
        list->setObjectName(QStringLiteral("list"));
        for (int i = 0; i < 200; ++i)
            list->addItem(QString::number(i));
        list->setGeometry(UiScale(28), UiScale(80), UiScale(300), UiScale(200));
        form->SetPage(0, page);
        form->resize(UiScale(980), UiScale(700));
        form->show();
        QApplication::processEvents();
        QScrollBar* bar = form->findChild<QScrollArea*>(QStringLiteral("pageSlot0"))->verticalScrollBar();
        ASSERT_TRUE(bar->isVisible());
        ASSERT_EQ(bar->value(), 0);

        auto wheel = [](QWidget* target, int delta) {
            const QPointF at(10, 10);
            QWheelEvent event(at, target->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(target, &event);
        };
        wheel(plain, -120);
        EXPECT_EQ(bar->value(), UiScale(60));
        wheel(plain, -240);
        EXPECT_EQ(bar->value(), UiScale(180));
        wheel(plain, 120);
        EXPECT_EQ(bar->value(), UiScale(120));

        const int listBefore = list->verticalScrollBar()->value();
        wheel(list->viewport(), -120);
        EXPECT_EQ(bar->value(), UiScale(120)) << "the page stays";
        EXPECT_GT(list->verticalScrollBar()->value(), listBefore) << "the list scrolls itself";
    }
}

} // namespace
} // namespace pavona
