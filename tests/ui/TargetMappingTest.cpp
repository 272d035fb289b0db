// The target-items page in the window over the engine thread, the reference server and a demo POS:
// row menu requests, goods search, a refused request, a refresh under an open question, relayout, new
// programme.
#include "common/Text.h"
#include "engine/TargetView.h"
#include "tests/engine/EngineFixture.h"
#include "tests/ui/PageTestSupport.h"
#include "tools/demopos/DemoPos.h"
#include "ui/AgentWindow.h"
#include "ui/EngineBridge.h"
#include "ui/GoodsPick.h"
#include "ui/MappingDialogs.h"
#include "ui/ResidentAgent.h"
#include "ui/TargetList.h"
#include "ui/TargetPage.h"
#include "ui/UiControls.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>

namespace pavona::test {
namespace {

class TargetMappingTest : public EngineTest {
  protected:
    void SetUp() override {
        UiTestApp();
        EngineTest::SetUp();
        if (HasFatalFailure()) return;
        MakeTargetsPos();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(AddStore("pt-9", kTargetsPolicy)) << FServer->LastError();
        SaveAgentSettings();
    }

    // The window with the page plugged in as the resident agent plugs it, the first policy
    // refreshed (which reads the POS goods).
    void Start(bool visible = true) {
        FBridge = std::make_unique<TEngineBridge>(nullptr, [](TAgentEngine& e) {
            e.SetHttpTimeouts({3000, 15000});
            e.SetPosTimeouts(5, 60);
        });
        TAgentFormHooks hooks;
        hooks.AskExit = [](QWidget*) { return false; };
        hooks.TrayAvailable = [] { return false; };
        hooks.Quit = [] {};
        FForm = std::make_unique<TAgentForm>(hooks);
        FPage = PlugTargetPage(*FForm, *FBridge, [s = LoadSettings()] { return s; });
        if (visible) {
            FForm->show();
            FForm->ShowPage(1);
        }
        Refresh();
    }
    void Refresh() {
        FBridge->Post([](TAgentEngine& e) { e.RefreshPolicy(); });
        ASSERT_TRUE(Drain());
    }
    // Runs the window's loop until everything asked of the engine has answered and the list stands.
    bool Drain(int ms = 30000) {
        bool done = false;
        FBridge->Post([](TAgentEngine&) {}, [&done] { done = true; });
        QElapsedTimer clock;
        clock.start();
        while ((!done || FPage->Busy()) && clock.elapsed() < ms) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            QThread::msleep(1);
        }
        return done && !FPage->Busy();
    }
    // The one open (visible) window-level widget of that type and name.
    template <class T> T* Open(const char* name) const {
        T* found = nullptr;
        for (T* w : FForm->findChildren<T*>(name))
            if (w->isVisible()) {
                EXPECT_EQ(found, nullptr) << "two open " << name;
                found = w;
            }
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    // The "품목 지정 ▾" of the row showing goods `code`.
    TUiButton* RowButton(const std::string& code) const {
        const QString plain = QString::fromStdString("상품번호 " + code);
        for (QWidget* row : FPage->findChildren<QWidget*>("goodsRow")) {
            const QString line = row->findChild<QLabel*>("rowCode")->text();
            if (row->isVisibleTo(FPage) && (line == plain || line.startsWith(plain + "  ·")))
                return row->findChild<TUiButton*>("requestButton");
        }
        ADD_FAILURE() << "no row for " << code;
        return nullptr;
    }
    // Presses the row's button and chooses `action` in its menu.
    void Choose(const std::string& code, const char* action) {
        TUiButton* button = RowButton(code);
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
        QMenu* menu = FPage->findChild<QMenu*>("requestMenu");
        ASSERT_NE(menu, nullptr);
        QAction* chosen = nullptr;
        for (QAction* a : menu->actions())
            if (a->text() == QString::fromUtf8(action)) chosen = a;
        ASSERT_NE(chosen, nullptr) << action;
        chosen->trigger();
        menu->close();
        QCoreApplication::processEvents();
    }
    void Answer(QMessageBox* box, QMessageBox::StandardButton button) {
        ASSERT_NE(box, nullptr);
        box->button(button)->click();
        ASSERT_TRUE(Drain());
    }
    void PickItem(const char* entry, const char* note = "") {
        auto* dialog = Open<TItemChoiceDialog>("itemChoiceDialog");
        ASSERT_NE(dialog, nullptr);
        auto* combo = dialog->findChild<QComboBox*>("itemChoice");
        const int index = combo->findText(QString::fromUtf8(entry));
        ASSERT_GE(index, 0) << entry;
        combo->setCurrentIndex(index);
        dialog->findChild<QLineEdit*>("itemNote")->setText(QString::fromUtf8(note));
        dialog->findChild<QPushButton*>("choiceOk")->click();
        ASSERT_TRUE(Drain());
    }
    QString Note() const { return FPage->findChild<QLabel*>("mapNote")->text(); }
    // Kind, goods and item of every mapping request the server answered, oldest first.
    std::vector<std::string> Requests() {
        std::vector<std::string> out;
        const TJsonNode seen = Seen("/api/agent/mapping-requests");
        for (std::size_t i = 0; i < seen.Size(); ++i) {
            const TJsonNode body = TJsonNode::Parse(ReadJsonString(seen.At(i), "body"));
            out.push_back(ReadJsonString(body, "kind") + " " + ReadJsonString(body, "vendor_item_code") +
                          " " + ReadJsonString(body, "standard_item_code"));
        }
        return out;
    }

    std::unique_ptr<TEngineBridge> FBridge;
    std::unique_ptr<TAgentForm> FForm; // after the bridge: the page goes first
    TTargetPage* FPage = nullptr;
};

TEST_F(TargetMappingTest, TheRowMenuAssignsReleasesAndAsksAgainAfterItsConfirmations) {
    Start();
    const QString counts = Note();
    ASSERT_TRUE(counts.startsWith("대상 POS 상품 4개")) << counts.toStdString();
    const struct Case {
        const char* Name;
        std::string Code;
        const char* Action;
        std::function<void()> Decide;
        std::vector<std::string> Sent; // the requests added
        QString Note;
    } cases[] = {
        {"release, then cancel",
         "600",
         kMenuRelease,
         [this] {
             QMessageBox* box = Open<QMessageBox>("confirmBox");
             ASSERT_NE(box, nullptr);
             EXPECT_EQ(box->windowTitle(), "지정 풀기");
             EXPECT_EQ(box->text(), "양파 1망 (상품번호 600)\n\n" + QString::fromUtf8(kReleaseQuestion));
             Answer(box, QMessageBox::Cancel);
         },
         {},
         counts},
        {"release",
         "600",
         kMenuRelease,
         [this] { Answer(Open<QMessageBox>("confirmBox"), QMessageBox::Ok); },
         {"release 600 "},
         "「양파 1망」 의 지정을 풀었습니다 — 이 상품은 바로 대상에서 빠졌습니다."},
        {"ask the review again",
         "512",
         kMenuRemap,
         [this] {
             QMessageBox* box = Open<QMessageBox>("confirmBox");
             ASSERT_NE(box, nullptr);
             EXPECT_EQ(box->windowTitle(), "AI 다시 보기");
             Answer(box, QMessageBox::Ok);
         },
         {"remap 512 "},
         "「국산 대파 1단」 — AI 다시 보기는 제안만 합니다. 지금 적용된 지정은 그대로입니다."},
        {"assign to another item",
         "700",
         kMenuAssignOther,
         [this] {
             auto* dialog = Open<TItemChoiceDialog>("itemChoiceDialog");
             ASSERT_NE(dialog, nullptr);
             EXPECT_EQ(dialog->windowTitle(), "다른 품목으로 지정");
             // Every designated item once, in text order; the first chosen.
             auto* combo = dialog->findChild<QComboBox*>("itemChoice");
             EXPECT_EQ(combo->count(), 5);
             EXPECT_EQ(combo->currentText(), "감자   (V003)");
             PickItem("마늘   (V004)", "  감자 대신  ");
         },
         {"assign 700 V004"},
         "「감자 1kg」 을(를) 「마늘」 로 지정했습니다 — 바로 적용됩니다(계산대 할인 · 실적). 협회가 "
         "확인하면 정산에 "
         "들어가고, 그 전에는 정산 보류입니다."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::vector<std::string> before = Requests();
        Choose(c.Code, c.Action);
        c.Decide();
        std::vector<std::string> added = Requests();
        added.erase(added.begin(), added.begin() + static_cast<long>(before.size()));
        EXPECT_EQ(added, c.Sent);
        EXPECT_EQ(Note(), c.Note);
    }
    // The memo went along trimmed; the released goods left the list at once.
    const TJsonNode last =
        TJsonNode::Parse(ReadJsonString(Seen("/api/agent/mapping-requests").At(2), "body"));
    EXPECT_EQ(ReadJsonString(last, "note"), "감자 대신");
    EXPECT_EQ(FPage->View()->Items, 3);
}

TEST_F(TargetMappingTest, APosGoodsFoundInTheSearchIsAssignedWithItsNameSpecAndBarcode) {
    Start();
    QTest::mouseClick(FPage->findChild<TUiButton*>("assignPosGoods"), Qt::LeftButton);
    auto* dialog = Open<TGoodsPickDialog>("goodsPickDialog");
    ASSERT_NE(dialog, nullptr);
    auto* edit = dialog->findChild<QLineEdit*>("PickEdit");
    auto* note = dialog->findChild<QLabel*>("PickNote");
    auto* list = dialog->findChild<QListWidget*>("PickList");
    const struct Case {
        const char* Query;
        std::vector<QString> Lines;
        QString Note;
    } searches[] = {
        {"  ", {}, QString::fromUtf8(kPickEmptyQuery)},
        {"배추", {}, "찾는 상품이 없습니다 — 이름을 짧게 넣어 보세요."},
        {"800",
         {"800  ·  깐마늘  ·  200g  ·  바코드 8802"},
         "1개를 찾았습니다 — 고른 뒤 「다음」 을 누르세요."},
        {"마늘",
         {"800  ·  깐마늘  ·  200g  ·  바코드 8802"},
         "1개를 찾았습니다 — 고른 뒤 「다음」 을 누르세요."},
    };
    for (const Case& c : searches) {
        SCOPED_TRACE(c.Query);
        edit->setText(QString::fromUtf8(c.Query));
        dialog->findChild<QPushButton*>("PickFind")->click();
        ASSERT_TRUE(Drain());
        EXPECT_FALSE(dialog->Searching());
        std::vector<QString> lines;
        for (int i = 0; i < list->count(); ++i)
            lines.push_back(list->item(i)->text());
        EXPECT_EQ(lines, c.Lines);
        EXPECT_EQ(note->text(), c.Note);
    }
    dialog->findChild<QPushButton*>("PickNext")->click();
    ASSERT_TRUE(Drain());
    auto* choice = Open<TItemChoiceDialog>("itemChoiceDialog");
    ASSERT_NE(choice, nullptr);
    EXPECT_EQ(choice->windowTitle(), "POS 상품을 품목에 지정");
    EXPECT_TRUE(choice->findChild<QLabel*>("choiceHelp")
                    ->text()
                    .startsWith("깐마늘 (상품번호 800)\n협회 품목을 고르세요."));
    PickItem("배추   (V005)");

    EXPECT_EQ(Requests(), std::vector<std::string>{"assign 800 V005"});
    const TJsonNode body =
        TJsonNode::Parse(ReadJsonString(Seen("/api/agent/mapping-requests").At(0), "body"));
    EXPECT_EQ(ReadJsonString(body, "vendor_item_name"), "깐마늘");
    EXPECT_EQ(ReadJsonString(body, "spec"), "200g");
    EXPECT_EQ(ReadJsonString(body, "barcode"), "8802");
    EXPECT_TRUE(Note().startsWith("「깐마늘」 을(를) 「배추」 로 지정했습니다")) << Note().toStdString();
}

TEST_F(TargetMappingTest, ARefusedRequestShowsItsWarningBoxAndTheNote) {
    Start();
    Choose("999", kMenuAssignOther);
    PickItem("배추   (V005)");
    ASSERT_TRUE(Note().startsWith("「수입 바나나」 을(를) 「배추」 로 지정했습니다")) << Note().toStdString();
    ASSERT_TRUE(FServer->Decide(kStore, "999", "rejected", "규격이 다릅니다")) << FServer->LastError();
    Refresh();
    // Rejected, it left the items and stands among the goods in a coupon again.
    ASSERT_EQ(FPage->View()->Decisions.Rejected, 1);

    Choose("999", kMenuAssignOther);
    PickItem("배추   (V005)");
    const QString message = "협회가 거부한 지정입니다 — 사유: 규격이 다릅니다. 같은 품목으로 다시 지정하려면 "
                            "협회에 문의해 주세요.";
    QMessageBox* box = Open<QMessageBox>("mappingWarnBox");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowTitle(), "품목 지정");
    EXPECT_EQ(box->icon(), QMessageBox::Warning);
    EXPECT_EQ(box->text(), "수입 바나나 (상품번호 999)\n\n" + message);
    EXPECT_EQ(Note(), "품목 지정을 보내지 못했습니다 — " + message);
    Answer(box, QMessageBox::Ok);
    EXPECT_EQ(Requests(), (std::vector<std::string>{"assign 999 V005", "assign 999 V005"}));
}

TEST_F(TargetMappingTest, APolicyRefreshWhileTheConfirmationIsOpenStillSendsTheGoodsClicked) {
    Start();
    QPointer<TUiButton> clicked = RowButton("600");
    Choose("600", kMenuRelease);
    QMessageBox* box = Open<QMessageBox>("confirmBox");
    ASSERT_NE(box, nullptr);

    // Meanwhile the association adds an item that sorts first, and the policy tick draws the list
    // again under the open question.
    std::string policy = ReplaceAll(kTargetsPolicy, R"("items":[)",
                                    R"("items":[{"vendor_item_code":"800","standard_item_code":"V009",)"
                                    R"("item_name":"가지","discount_rate":20,"discount_cap":2000},)");
    ASSERT_TRUE(FServer->SetPolicy(kStore, policy));
    FBridge->Post([](TAgentEngine& e) { e.PolicyTimerTick(); });
    ASSERT_TRUE(Drain());
    EXPECT_TRUE(clicked.isNull()); // the row's button went with the old list
    ASSERT_EQ(FPage->View()->RequestTargets.at(0), (TRequestTarget{"800", "깐마늘"}));
    ASSERT_TRUE(box->isVisible());

    Answer(box, QMessageBox::Ok);
    EXPECT_EQ(Requests(), std::vector<std::string>{"release 600 "});
    EXPECT_EQ(Note(), "「양파 1망」 의 지정을 풀었습니다 — 이 상품은 바로 대상에서 빠졌습니다.");
}

TEST_F(TargetMappingTest, AResizeRebuildsThePageAndKeepsTheRequestsResultTheHeadlineAndThePlan) {
    Start();
    Choose("600", kMenuRelease);
    Answer(Open<QMessageBox>("confirmBox"), QMessageBox::Ok);
    QTest::mouseClick(FPage->findChild<TUiButton*>("showPlan"), Qt::LeftButton);
    const QString note = Note();
    const QString head = FPage->findChild<QLabel*>("mapHead")->text();
    const QString plan = FPage->findChild<QPlainTextEdit*>("planMemo")->toPlainText();
    ASSERT_TRUE(note.startsWith("「양파 1망」 의 지정을 풀었습니다")) << note.toStdString();
    ASSERT_EQ(head, "10월 농할  ·  10-01 ~ 10-31  ·  대상 3개");
    ASSERT_TRUE(plan.startsWith("쿠폰에 넣을 상품")) << plan.toStdString();
    QPointer<QLabel> oldNote = FPage->findChild<QLabel*>("mapNote");

    const int width = FPage->CardWidth();
    FForm->resize(FForm->width() + UiScale(200), FForm->height() + UiScale(60));
    QElapsedTimer clock;
    clock.start();
    while (FPage->CardWidth() == width && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    ASSERT_EQ(FPage->CardWidth(), width + 200);
    // The window brought the page forward again after the rebuild: its totals and list came anew.
    ASSERT_TRUE(Drain());
    EXPECT_TRUE(oldNote.isNull());
    EXPECT_EQ(Note(), note);
    EXPECT_EQ(FPage->findChild<QLabel*>("mapHead")->text(), head);
    EXPECT_EQ(FPage->findChild<QPlainTextEdit*>("planMemo")->toPlainText(), plan);
    EXPECT_EQ(FPage->findChild<TTargetList*>()->width(), UiScale(width + 200 - 20));

    // Drawing the same list again leaves the result standing; a list that changed writes its own line.
    FPage->Shown();
    ASSERT_TRUE(Drain());
    EXPECT_EQ(Note(), note);
    ASSERT_TRUE(
        FServer->SetPolicy(kStore, ReplaceAll(kTargetsPolicy, R"("items":[)",
                                              R"("items":[{"vendor_item_code":"800","standard_item_code":)"
                                              R"("V009","item_name":"가지","discount_rate":20},)")));
    FBridge->Post([](TAgentEngine& e) { e.PolicyTimerTick(); });
    ASSERT_TRUE(Drain());
    EXPECT_TRUE(Note().startsWith("대상 POS 상품")) << Note().toStdString();
}

TEST_F(TargetMappingTest, ANewProgrammeBringsThePageForwardOnlyWhileTheWindowIsVisible) {
    Start(false); // the first refresh announces the programme to a window in the tray
    EXPECT_EQ(FForm->CurrentPage(), 0);
    FForm->show();
    FForm->ShowPage(0);
    ASSERT_TRUE(FServer->SetPolicy(kStore, ReplaceAll(kTargetsPolicy, "NH-2026-10", "NH-2026-11")));
    Refresh();
    EXPECT_EQ(FForm->CurrentPage(), 1);
    EXPECT_TRUE(FPage->isVisible());
}

} // namespace
} // namespace pavona::test
