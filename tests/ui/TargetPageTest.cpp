// The target-items page's real widgets fed with prepared data: cards, pills and colours of each state,
// decisions and stray cards, the "no items" card only without items, and the round buttons.
#include "ui/TargetPage.h"

#include "tests/ui/PageTestSupport.h"
#include "ui/AgentUi.h"
#include "ui/UiControls.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>

namespace pavona {
namespace {

constexpr int kCardWidth = 723; // a window 980 design pixels wide
constexpr int kHeight = 1500;   // tall enough that the list box shows every card

TPolicyItem Item(const char* code, const char* standard, const char* name, const char* review = "confirmed") {
    return {code, standard, name, 20, 2000, review};
}

// Goods in every state: 512 discounted, 513 not discounted (the same group), 700 stopped, 404 not
// in the POS, 600 discounted; 999 sits in a designated coupon without being an item.
TTargetData Mixed() {
    TTargetData d;
    d.HasPolicy = true;
    d.ProgramName = "겨울 농할";
    d.StartsOn = "2026-11-20";
    d.EndsOn = "2026-12-31";
    d.ProgramEnd = EncodeDate(2026, 12, 31);
    d.SubsidyCodes = {7001, 7002};
    d.Items = {Item("512", "V1", "사과(부사) 상품"), Item("513", "V2", "사과(홍로) 상품", "pending"),
               Item("700", "V4", "감자"), Item("404", "V5", "마늘"), Item("600", "V3", "배")};
    TRoundInfo past{1, "2026-11-20", "2026-11-30", "past", {{"V7", "무"}}, {Item("620", "V7", "무")}};
    TRoundInfo current{2, "2026-12-01", "2026-12-15", "current", {{"V1", "사과(부사) 상품"}}, {}};
    TRoundInfo upcoming{3, "2026-12-16", "2026-12-31", "upcoming", {{"V3", "배"}}, {Item("600", "V3", "배")}};
    d.Rounds = {past, current, upcoming};
    d.Decisions = {{"905", "수입 깐마늘", "마늘", "rejected", "국산이 아닙니다", "2026-12-08"},
                   {"906", "냉동 대파", "대파", "rejected", "", "2026-12-09"},
                   {"610", "양파 망", "양파", "confirmed", "", "2026-12-02"}};
    d.Goods = {{"512", "부사 사과 1.5kg", "8801", "", true},
               {"513", "홍로 사과 2kg", "", "", true},
               {"700", "감자 1kg", "", "", false},
               {"600", "신고배 3입", "", "", true},
               {"620", "제주 무", "", "", true},
               {"999", "수입 바나나", "", "", true}};
    d.Links = {{7001, "512", 20, 2000, 0}, {7001, "600", 20, 2000, 0}, {7002, "999", 20, 2000, 0}};
    d.GoodsRead = d.ReadTried = true;
    return d;
}

TRoundTotals Totals() {
    TRoundTotals t;
    t.Counted = true;
    t.ByCode["512"] = {"512", "", 14, 14, 52000, 10400};
    t.ByCode["999"] = {"999", "", 2, 2, 6000, 1200};
    return t;
}

class TargetPageTest : public ::testing::Test {
  protected:
    void Open(const TTargetData& data) {
        FHost = std::make_unique<Host>(kUiBackdrop, QSize(UiScale(kCardWidth + 56), UiScale(kHeight)));
        TTargetHooks hooks;
        hooks.AskRoundTotals = [this](TDateTime, std::function<void(TRoundTotals)> answer) {
            ++FTotalsAsked;
            answer(Totals());
        };
        FPage = new TTargetPage(kCardWidth, kHeight, hooks, FHost->Widget());
        TAgentSnapshot s;
        s.Targets = data;
        FPage->SetSnapshot(s);
        FPage->Shown();
        FHost->Widget()->show();
        ASSERT_TRUE(WaitSettled(*FPage));
    }
    template <class T> std::vector<T*> All(const char* name) const {
        std::vector<T*> out;
        for (T* w : FPage->findChildren<T*>(name))
            if (!w->isHidden()) out.push_back(w);
        // In the order they stand on the page.
        std::stable_sort(out.begin(), out.end(), [this](T* a, T* b) {
            return a->mapTo(FPage, QPoint()).y() < b->mapTo(FPage, QPoint()).y();
        });
        return out;
    }
    std::vector<QString> PillTexts() const {
        std::vector<QString> out;
        for (TUiPill* pill : All<TUiPill>("statePill"))
            out.push_back(pill->Text());
        return out;
    }
    QString Text(const char* name) const {
        auto* label = FPage->findChild<QLabel*>(name);
        EXPECT_NE(label, nullptr) << name;
        return label ? label->text() : QString();
    }
    void Click(const char* name) {
        auto* button = FPage->findChild<TUiButton*>(name);
        ASSERT_NE(button, nullptr) << name;
        QTest::mouseClick(button, Qt::LeftButton);
        ASSERT_TRUE(WaitSettled(*FPage));
    }

    std::unique_ptr<Host> FHost;
    TTargetPage* FPage = nullptr; // owned by the host
    int FTotalsAsked = 0;
};

TEST_F(TargetPageTest, DrawsEveryStateProblemsFirstWithTheCardsAndPillsOfTheDesign) {
    Open(Mixed());
    EXPECT_EQ(Text("mapHead"), "겨울 농할  ·  11-20 ~ 12-31  ·  대상 5개");
    EXPECT_EQ(Text("mapNote"),
              "대상 POS 상품 5개 (협회 품목 4가지) — 할인 적용 중 2 · 미적용 1 · 판매 중지 1 · POS 에 "
              "없음 1   |   대상 아닌데 쿠폰에 든 상품 1   |   협회 확인 전(정산 보류) 1");
    EXPECT_EQ(Text("roundLabel"), "오늘 차수");
    EXPECT_EQ(FTotalsAsked, 1);

    // Groups by state, the two apples in one card; the stray goods last.
    std::vector<QString> names;
    for (QLabel* name : All<QLabel>("groupName"))
        names.push_back(name->text());
    EXPECT_EQ(names, (std::vector<QString>{"사과", "마늘", "감자", "배"}));
    EXPECT_EQ(PillTexts(), (std::vector<QString>{"할인 적용 중", "할인 미적용", "POS 에 없음", "판매 중지",
                                                 "할인 적용 중", "대상 아님"}));
    EXPECT_EQ(All<QWidget>("requestButton").size(), 6u);
    EXPECT_EQ(All<QLabel>("varietyHead").size(), 2u);
    EXPECT_EQ(All<QWidget>("noItemsCard").size(), 0u);

    // The card's stripe, a pill's fill and dot, and the not-designated line, as painted.
    const struct Case {
        size_t Card;
        QRgb Stripe;
    } stripes[] = {{0, 0xC27C0E}, {1, 0xC0392B}, {2, kUiWhite}, {3, 0x1F8A4C}};
    const std::vector<TUiCard*> cards = All<TUiCard>("groupCard");
    ASSERT_EQ(cards.size(), 4u);
    for (const Case& c : stripes) {
        SCOPED_TRACE(c.Card);
        const QImage image = Grab(cards[c.Card]);
        EXPECT_EQ(At(image, UiScale(7), image.height() / 2), Hex(c.Stripe));
    }
    const struct PillCase {
        size_t Pill;
        QRgb Fill, Dot;
    } pills[] = {
        {0, 0xEEF6EA, 0x1F8A4C}, {1, 0xFDF6E3, 0xC27C0E}, {2, 0xFCEDEC, 0xC0392B}, {3, 0xF4F6F8, 0x4B5B63}};
    const std::vector<TUiPill*> shown = All<TUiPill>("statePill");
    for (const PillCase& c : pills) {
        SCOPED_TRACE(c.Pill);
        const QImage image = Grab(shown[c.Pill]);
        EXPECT_EQ(At(image, image.width() - UiScale(6), image.height() / 2), Hex(c.Fill));
        EXPECT_EQ(At(image, UiScale(17), image.height() / 2), Hex(c.Dot));
    }
    EXPECT_EQ(shown[3]->toolTip(), "POS 에서 판매 중지된 상품입니다 — 다시 팔 때 쿠폰도 함께 확인해 주세요.");

    std::vector<QString> explanations;
    for (QLabel* line : All<QLabel>("explanation"))
        explanations.push_back(line->text());
    EXPECT_EQ(explanations.size(), 2u); // not discounted and not in the POS
    EXPECT_EQ(explanations[0], "쿠폰 7001에 없어 계산대 할인이 안 됩니다 — 판촉 상품에 넣어 주세요.");

    auto* stray = FPage->findChild<TUiCard*>("strayCard");
    ASSERT_NE(stray, nullptr);
    const QList<QLabel*> strayTotals = stray->findChildren<QLabel*>("rowTotals");
    ASSERT_EQ(strayTotals.size(), 1);
    EXPECT_EQ(strayTotals[0]->text(),
              "회차 누적  판매 2건 · 매출 6,000원 · 농할 지원 1,200원  — 지원 불인정 예상");
    EXPECT_EQ(Hex(strayTotals[0]->palette().color(QPalette::WindowText).rgb()), "#C0392B");

    auto* decisions = FPage->findChild<TUiCard*>("decisionsCard");
    ASSERT_NE(decisions, nullptr);
    const QImage card = Grab(decisions);
    EXPECT_EQ(At(card, card.width() / 2, card.height() - UiScale(4)), "#FCEDEC");
    std::vector<QString> lines;
    for (QLabel* line : All<QLabel>("decisionLine"))
        lines.push_back(line->toolTip());
    EXPECT_EQ(lines, (std::vector<QString>{
                         "2026-12-09   냉동 대파 (상품번호 906) → 대파   ·   사유: (사유 없음)",
                         "2026-12-08   수입 깐마늘 (상품번호 905) → 마늘   ·   사유: 국산이 아닙니다"}));
}

TEST_F(TargetPageTest, SaysThereAreNoItemsOnlyWhenThereAreNone) {
    TTargetData none = Mixed();
    none.Items.clear();
    none.Rounds.clear();
    TTargetData unread = Mixed();
    unread.Goods.clear();
    unread.Links.clear();
    unread.GoodsRead = false;
    TTargetData noPolicy;
    const struct Case {
        const char* Name;
        TTargetData Data;
        bool NoItemsCard;
        size_t Groups, Pills;
        QString Note;
    } cases[] = {
        {"no items", none, true, 0, 0, QString::fromUtf8(kNoteBeforeRead)},
        {"no policy yet", noPolicy, true, 0, 0, QString::fromUtf8(kNoteBeforeRead)},
        // Before the goods were read: every item listed without a pill, the note keeps its text.
        {"goods not read", unread, false, 4, 0, QString::fromUtf8(kNoteBeforeRead)},
        {"goods read", Mixed(), false, 4, 6, QString()}, // five items and the stray goods
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Open(c.Data);
        const std::vector<QWidget*> noItems = All<QWidget>("noItemsCard");
        EXPECT_EQ(noItems.size(), c.NoItemsCard ? 1u : 0u);
        if (!noItems.empty()) {
            EXPECT_EQ(noItems[0]->findChild<QLabel*>()->text(), QString::fromUtf8(kNoItemsText));
            EXPECT_EQ(All<QWidget>("assignPosGoods").size(), 1u);
        }
        EXPECT_EQ(All<QWidget>("groupCard").size(), c.Groups);
        EXPECT_EQ(All<QWidget>("statePill").size(), c.Pills);
        if (!c.Note.isEmpty()) {
            EXPECT_EQ(Text("mapNote"), c.Note);
        }
    }
}

TEST_F(TargetPageTest, TheRoundButtonsStepThroughTheRoundsAndStopAtTheEnds) {
    Open(Mixed());
    const struct Case {
        const char* Button;
        QString Label;
        std::vector<QString> Groups;
    } steps[] = {
        {"roundPrev", "1차  11-20 ~ 11-30  ·  지난 차수", {"무"}},
        {"roundPrev", "1차  11-20 ~ 11-30  ·  지난 차수", {"무"}}, // the first round stays
        // Back to the current round, which is always "오늘 차수", not its number.
        {"roundNext", "오늘 차수", {"사과", "마늘", "감자", "배"}},
        {"roundNext", "3차  12-16 ~ 12-31  ·  다음 차수", {"배"}},
        {"roundNext", "3차  12-16 ~ 12-31  ·  다음 차수", {"배"}}, // ">" stops at the last
    };
    for (const Case& c : steps) {
        SCOPED_TRACE(c.Label.toStdString());
        Click(c.Button);
        EXPECT_EQ(Text("roundLabel"), c.Label);
        std::vector<QString> names;
        for (QLabel* name : All<QLabel>("groupName"))
            names.push_back(name->text());
        EXPECT_EQ(names, c.Groups);
    }
    // The past round's header reads as such on its cards, and its notice says what it shows.
    Click("roundPrev");
    Click("roundPrev");
    const std::vector<TUiCard*> notice = All<TUiCard>("roundNotice");
    ASSERT_EQ(notice.size(), 1u);
    EXPECT_TRUE(notice[0]->findChild<QLabel*>()->text().startsWith("지난 차수(1차 · 11-20 ~ 11-30)"));
}

TEST_F(TargetPageTest, ThePlanButtonWritesThePlanOfTheCurrentRoundWhateverRoundIsViewed) {
    Open(Mixed());
    auto* memo = FPage->findChild<QPlainTextEdit*>("planMemo");
    ASSERT_NE(memo, nullptr);
    EXPECT_EQ(memo->toPlainText(), QString::fromUtf8(kPlanPlaceholder));
    Click("roundPrev");
    Click("showPlan");
    const QStringList lines = memo->toPlainText().split('\n');
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[0], "쿠폰에 넣을 상품 1개 · 고칠 것 2개 · 뺄 상품 1개");
    EXPECT_TRUE(lines.contains(
        "[연결] 사과(홍로) 상품 → 홍로 사과 2kg (513)  20% · 1회 한도 2000원 · 2026-12-31 까지"))
        << memo->toPlainText().toStdString();
}

} // namespace
} // namespace pavona
