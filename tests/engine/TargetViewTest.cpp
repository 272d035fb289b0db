// The target-items page model: item states and pills, groups by base name with variety sub-heads,
// the decisions card, the round notice, past and upcoming rounds, goods linked but not designated,
// the note line and the request targets; a failed first read still lists the items.
#include "engine/TargetNames.h"
#include "engine/TargetView.h"

#include <gtest/gtest.h>

namespace pavona {
namespace {

TPolicyItem Item(const std::string& code, const std::string& name, const std::string& review = "",
                 const std::string& stdCode = "") {
    TPolicyItem i;
    i.VendorItemCode = code;
    i.StandardItemCode = stdCode;
    i.ItemName = name;
    i.DiscountRate = 20;
    i.DiscountCap = 2000;
    i.Review = review;
    return i;
}

TTargetData ReadData(std::vector<TPolicyItem> items) {
    TTargetData d;
    d.HasPolicy = true;
    d.ProgramName = "10월 농할";
    d.StartsOn = "2026-10-01";
    d.EndsOn = "2026-10-31";
    d.Items = std::move(items);
    d.SubsidyCodes = {7001, 7002};
    d.GoodsRead = d.ReadTried = true;
    return d;
}

std::vector<const TTargetRow*> Rows(const TTargetView& v) {
    std::vector<const TTargetRow*> out;
    for (const TTargetGroup& g : v.Groups)
        for (const TVarietyRun& r : g.Runs)
            for (const TTargetRow& row : r.Rows)
                out.push_back(&row);
    return out;
}

TEST(TargetView, EachStateHasItsPillAndExplanation) {
    TTargetData d = ReadData({Item("101", "무"), Item("102", "배추"), Item("103", "대파"), Item("104", "양파")});
    d.Goods = {{"102", "배추 1포기", "", "", false}, {"103", "국산 대파 1단", "8801", "", true},
               {"104", "양파 1망", "", "", true}};
    d.Links = {{7002, "103", 20, 2000, 0}};
    struct Case {
        const char* Code;
        bool Read;
        TItemState State;
        const char* Pill;
        TTargetColour Ink;
        const char* Explanation;
    };
    const Case cases[] = {
        {"101", false, TItemState::NotRead, "", TTargetColour::Default, ""},
        {"101", true, TItemState::NotInPos, "POS 에 없음", TTargetColour::Red,
         "POS 에 이 상품번호가 없습니다 — 바뀌었으면 「품목 지정 ▾ › 이 품목이 아님」 으로 풀고 새 상품을 지정해 "
         "주세요."},
        {"102", true, TItemState::Stopped, "판매 중지", TTargetColour::Slate, ""},
        {"103", true, TItemState::Discounted, "할인 적용 중", TTargetColour::Green, ""},
        {"104", true, TItemState::NotDiscounted, "할인 미적용", TTargetColour::Amber,
         "쿠폰 7001에 없어 계산대 할인이 안 됩니다 — 판촉 상품에 넣어 주세요."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.Code) + (c.Read ? " read" : " not read"));
        d.GoodsRead = c.Read;
        const TTargetView v = BuildTargetView(d, {}, -1);
        const TTargetRow* row = nullptr;
        for (const TTargetRow* r : Rows(v))
            if (r->ItemCode == c.Code) row = r;
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->State, c.State);
        EXPECT_EQ(ItemStateOf(d, c.Code), c.State);
        EXPECT_EQ(row->Pill.Caption, c.Pill);
        EXPECT_EQ(row->Pill.Ink, c.Ink);
        EXPECT_EQ(row->Explanation, c.Explanation);
        if (*c.Explanation) {
            EXPECT_EQ(row->ExplanationColour, c.Ink);
        }
    }
    // The discounted goods names its coupon; a goods not read is named by its code.
    const TTargetView v = BuildTargetView(d, {}, -1);
    for (const TTargetRow* r : Rows(v)) {
        if (r->ItemCode == "103") {
            EXPECT_EQ(r->Pill.Hint, "이 상품은 POS 쿠폰 7002에 들어 있어 계산대에서 농할 할인이 자동으로 빠집니다.");
            EXPECT_EQ(r->Title, "국산 대파 1단");
            EXPECT_EQ(r->CodeLine, "상품번호 103  ·  바코드 8801");
        }
        if (r->ItemCode == "101") {
            EXPECT_EQ(r->Title, "상품번호 101");
        }
    }
    EXPECT_EQ(*v.Note, "대상 POS 상품 4개 (협회 품목 4가지) — 할인 적용 중 1 · 미적용 1 · 판매 중지 1 · POS 에 없음 1");
}

TEST(TargetView, GroupsByBaseNameWithVarietiesSortedByStateThenName) {
    TTargetData d = ReadData({Item("201", "사과(부사) 상품", "confirmed"), Item("202", "사과(홍로) 상품", "pending"),
                              Item("203", "배"), Item("204", "사과 하품"), Item("205", "감(대봉)")});
    d.Goods = {{"201", "부사 사과", "", "", true}, {"202", "홍로 사과", "", "", true}, {"203", "신고배", "", "", true},
               {"204", "사과 하품", "", "", true}, {"205", "대봉감", "", "", true}};
    d.Links = {{7001, "201", 20, 2000, 0}, {7001, "203", 20, 2000, 0}, {7001, "204", 20, 2000, 0},
               {7001, "205", 20, 2000, 0}};
    TRoundTotals totals;
    totals.Counted = true;
    totals.ByCode["201"] = {"201", "부사 사과", 3, 3, 30000, 1200};
    totals.ByCode["202"] = {"202", "홍로 사과", 1, 1, 9000, 300};
    const TTargetView v = BuildTargetView(d, totals, -1);

    // 사과 has one goods not discounted: it comes first; the all-discounted groups follow by name.
    std::vector<std::string> bases;
    for (const TTargetGroup& g : v.Groups)
        bases.push_back(g.BaseName);
    EXPECT_EQ(bases, (std::vector<std::string>{"사과", "감", "배", "사과 하품"}));

    const TTargetGroup& apple = v.Groups[0];
    EXPECT_EQ(apple.State, TItemState::NotDiscounted);
    EXPECT_EQ(apple.Accent, TTargetColour::Amber);
    EXPECT_TRUE(apple.ShowVarieties);
    ASSERT_EQ(apple.Runs.size(), 2u);
    EXPECT_EQ(apple.Runs[0].Label, "부사 · 상품");
    EXPECT_EQ(apple.Runs[0].Hint, "협회 품목 「사과(부사) 상품」");
    EXPECT_EQ(apple.Runs[1].Label, "홍로 · 상품");
    EXPECT_EQ(apple.Details, "지원 최대 20% · 1회 2,000원 · 품종 · 등급 2가지");
    EXPECT_EQ(apple.Support, "회차 누적 지원 1,500원");
    EXPECT_EQ(apple.Caption, "협회 지정 · 이번 차수");
    EXPECT_EQ(apple.Height, 8 + 96 * 2 + 18 + 24 * 2);
    const TTargetRow& fuji = apple.Runs[0].Rows.at(0);
    EXPECT_EQ(fuji.TotalsLine, "회차 누적  판매 3건 · 매출 30,000원 · 농할 지원 1,200원");
    EXPECT_EQ(fuji.Review, "협회 확인");
    EXPECT_EQ(fuji.ReviewColour, TTargetColour::Green);
    EXPECT_EQ(apple.Runs[1].Rows.at(0).Review, "협회 확인 전 · 정산 보류");
    EXPECT_EQ(apple.Runs[1].Rows.at(0).ReviewColour, TTargetColour::Amber);

    // One variety that is not "일반" is shown; a plain name is not.
    EXPECT_TRUE(v.Groups[1].ShowVarieties);
    EXPECT_EQ(v.Groups[1].Runs.at(0).Label, "대봉");
    EXPECT_FALSE(v.Groups[2].ShowVarieties);
    EXPECT_EQ(v.Groups[2].Runs.at(0).Label, "");
    EXPECT_EQ(v.Groups[2].Details, "지원 최대 20% · 1회 2,000원");
    EXPECT_EQ(v.Groups[2].Runs.at(0).Rows.at(0).TotalsLine, "회차 누적 — 아직 판매가 없습니다");
    EXPECT_EQ(v.Groups[2].Height, 140);
    EXPECT_EQ(*v.Note, "대상 POS 상품 5개 (협회 품목 4가지) — 할인 적용 중 4 · 미적용 1   |   협회 확인 전(정산 보류) 1");

    // The request targets follow the drawn rows and name the goods as shown.
    ASSERT_EQ(v.RequestTargets.size(), 5u);
    EXPECT_EQ(v.RequestTargets[0], (TRequestTarget{"201", "부사 사과"}));
    EXPECT_EQ(v.RequestTargets[2], (TRequestTarget{"205", "대봉감"}));
}

TEST(TargetView, TheNewestEightRejectedDecisionsAndTheConfirmedCount) {
    TTargetData d = ReadData({Item("101", "무")});
    for (int i = 1; i <= 12; ++i)
        d.Decisions.push_back({std::to_string(500 + i), i == 3 ? "" : "상품" + std::to_string(i), "품목",
                               "rejected", i == 12 ? "  " : "다른 품목", "2026-10-" + std::string(i < 10 ? "0" : "") +
                                                                         std::to_string(i) + "T09:00:00Z"});
    d.Decisions.push_back({"700", "", "", "confirmed", "", "2026-10-20"});
    d.Decisions.push_back({"701", "", "", "confirmed", "", "2026-10-21"});
    d.Decisions.push_back({"702", "", "", "pending", "", "2026-10-22"});
    const TDecisionsView v = BuildTargetView(d, {}, -1).Decisions;
    EXPECT_TRUE(v.Card);
    EXPECT_EQ(v.Title, "협회가 거부한 지정 12건 — 이 상품의 판매는 정산에서 빠졌고, 대상에서 내려갔습니다");
    ASSERT_EQ(v.Lines.size(), 8u);
    EXPECT_EQ(v.Lines[0].Text, "2026-10-12   상품12 (상품번호 512) → 품목   ·   사유: (사유 없음)");
    EXPECT_EQ(v.Lines[7].Text, "2026-10-05   상품5 (상품번호 505) → 품목   ·   사유: 다른 품목");
    EXPECT_EQ(v.More, "… 외 4건 (최근 30일)");
    EXPECT_EQ(v.ConfirmedLine, "최근 30일 협회가 확인한 지정 2건 — 정산에 들어갑니다.");
    EXPECT_EQ(v.Height, 52 + 22 * 8 + 20 + 22);

    d.Decisions.erase(d.Decisions.begin(), d.Decisions.begin() + 12);
    const TDecisionsView confirmedOnly = BuildTargetView(d, {}, -1).Decisions;
    EXPECT_FALSE(confirmedOnly.Card);
    EXPECT_EQ(confirmedOnly.Line, "최근 30일 협회가 확인한 지정 2건 — 정산에 들어갑니다. 거부된 지정은 없습니다.");
}

TEST(TargetView, PastAndUpcomingRoundsShowTheirOwnItemsWithoutCapAndTheUncoveredOnes) {
    TTargetData d = ReadData({Item("101", "무")});
    TRoundInfo past{1, "2026-09-01", "2026-09-15", "past", {}, {Item("301", "사과 하품", "", "S-1")}};
    past.Designated = {{"S-1", "사과 하품"}, {"S-9", "사과"}};
    TRoundInfo current{2, "2026-10-01", "2026-10-15", "current", {{"S-0", "무"}}, {}};
    TRoundInfo upcoming{3, "2026-10-16", "2026-10-31", "upcoming", {}, {Item("302", "딸기", "", "S-20")}};
    for (int i = 0; i < 10; ++i)
        upcoming.Designated.push_back({"S-" + std::to_string(20 + i), "품목" + std::to_string(i)});
    d.Rounds = {past, current, upcoming};

    const TTargetView pastView = BuildTargetView(d, {}, 0);
    EXPECT_EQ(pastView.RoundHeader, "지난 차수(1차)");
    EXPECT_EQ(pastView.RoundLabel, "1차  09-01 ~ 09-15  ·  지난 차수");
    // 사과 하품 stays its own group, but covers the designated 사과 by its name without the grade.
    ASSERT_EQ(pastView.Groups.size(), 1u);
    EXPECT_EQ(pastView.Groups[0].BaseName, "사과 하품");
    EXPECT_EQ(pastView.Groups[0].Details, "지원 최대 20%"); // no cap in a past round
    EXPECT_EQ(pastView.RoundNotice,
              (std::vector<std::string>{"지난 차수(1차 · 09-01 ~ 09-15) — 그때 지정됐던 상품입니다. 실적은 「회차 누적」 과 "
                                        "「실적 내역」 에 있습니다."}));

    const TTargetView next = BuildTargetView(d, {}, 2);
    EXPECT_EQ(next.RoundHeader, "다음 차수(3차)");
    EXPECT_EQ(next.RoundNotice,
              (std::vector<std::string>{
                  "다음 차수(3차 · 10-16 시작) — 시작 전에 아래 「할인 미적용」 상품을 POS 쿠폰의 판촉 상품에 넣어 두세요. "
                  "상태는 지금의 쿠폰 기준입니다.",
                  "이 매장 상품이 이어지지 않은 지정 품목 9개: 품목1, 품목2, 품목3, 품목4, 품목5, 품목6, 품목7, 품목8 외 — "
                  "파는 상품이면 위 「POS 상품을 품목에 지정」 으로 바로 지정할 수 있습니다."}));

    // The current round's own item list is empty here: the programme's items cover it.
    const TTargetView today = BuildTargetView(d, {}, -1);
    EXPECT_EQ(today.RoundHeader, "이번 차수(2차)");
    EXPECT_EQ(today.RoundLabel, "오늘 차수");
    EXPECT_TRUE(today.RoundNotice.empty());
    EXPECT_EQ(today.Groups.at(0).Details, "지원 최대 20% · 1회 2,000원");
}

TEST(TargetView, GoodsInACouponThatNoShownItemDesignates) {
    TTargetData d = ReadData({Item("512", "대파")});
    d.Goods = {{"512", "국산 대파 1단", "", "", true}, {"999", "수입 바나나", "8809", "", true}};
    d.Links = {{7001, "512", 20, 2000, 0}, {7002, "999", 20, 2000, 0}, {7001, "999", 20, 2000, 0},
               {7001, "888", 20, 2000, 0}};
    TRoundTotals totals;
    totals.Counted = true;
    totals.ByCode["999"] = {"999", "수입 바나나", 2, 2, 8000, 1200};
    const TTargetView v = BuildTargetView(d, totals, -1);
    ASSERT_EQ(v.Stray.Rows.size(), 2u);
    const TTargetRow& banana = v.Stray.Rows[0];
    EXPECT_EQ(banana.Title, "수입 바나나");
    EXPECT_EQ(banana.CodeLine, "상품번호 999  ·  바코드 8809  ·  쿠폰 7002에 들어 있음");
    EXPECT_EQ(banana.TotalsLine, "회차 누적  판매 2건 · 매출 8,000원 · 농할 지원 1,200원  — 지원 불인정 예상");
    EXPECT_EQ(banana.TotalsColour, TTargetColour::Red);
    EXPECT_EQ(banana.Pill.Caption, "대상 아님");
    EXPECT_EQ(v.Stray.Rows[1].Title, "상품번호 888");
    EXPECT_EQ(v.Stray.Rows[1].TotalsColour, TTargetColour::Ink);
    EXPECT_EQ(v.Stray.Height, 8 + 96 * 2);
    EXPECT_EQ(v.RequestTargets.back(), (TRequestTarget{"888", "상품번호 888"}));
    EXPECT_EQ(*v.Note, "대상 POS 상품 1개 (협회 품목 1가지) — 할인 적용 중 1 · 미적용 0   |   대상 아닌데 쿠폰에 든 상품 2");
}

TEST(TargetView, AFailedFirstReadStillListsTheItemsWithTheReason) {
    TTargetData d = ReadData({Item("512", "대파"), Item("600", "양파")});
    d.GoodsRead = false;
    d.ReadNote = "POS 에 연결하지 못했습니다 — 파일이 없습니다";
    const TTargetView v = BuildTargetView(d, {}, -1);
    EXPECT_FALSE(v.NoItems);
    EXPECT_EQ(v.Items, 2);
    for (const TTargetRow* row : Rows(v)) {
        EXPECT_EQ(row->State, TItemState::NotRead);
        EXPECT_EQ(row->Pill.Caption, "");
    }
    EXPECT_EQ(v.Note, d.ReadNote);

    // Never tried: the note line keeps what it shows.
    d.ReadNote.clear();
    d.ReadTried = false;
    EXPECT_FALSE(BuildTargetView(d, {}, -1).Note.has_value());

    // A later read that failed keeps the earlier goods and says so after the counts.
    d.GoodsRead = true;
    d.Goods = {{"512", "국산 대파 1단", "", "", true}};
    d.ReadNote = "상품을 읽지 못했습니다 — 시간 초과";
    d.SubsidyCodes.clear();
    EXPECT_EQ(*BuildTargetView(d, {}, -1).Note,
              "대상 POS 상품 2개 (협회 품목 2가지) — 할인 적용 중 0 · 미적용 1 · POS 에 없음 1  상품을 읽지 못했습니다 — "
              "시간 초과  협회가 지정한 농할 쿠폰이 아직 없습니다.");

    // No items at all: the one card, and the headline of a policy without programme.
    TTargetData empty;
    empty.HasPolicy = true;
    const TTargetView none = BuildTargetView(empty, {}, -1);
    EXPECT_TRUE(none.NoItems);
    EXPECT_TRUE(none.Groups.empty());
    EXPECT_EQ(none.Head, "지금 열린 농할 회차가 없습니다");
    EXPECT_EQ(BuildTargetView(d, {}, -1).Head, "10월 농할  ·  10-01 ~ 10-31  ·  대상 2개");
    EXPECT_EQ(BuildTargetView(TTargetData{}, {}, -1).Head, "회차를 받지 못했습니다 — 「현황」 에서 연결을 확인해 주세요");
}

TEST(TargetNames, ItemNamesSplitIntoBaseVarietyAndGrade) {
    struct Case {
        const char* Name;
        const char* Base;
        const char* Variety;
        const char* Grade;
        const char* Label;
        const char* Stripped;
    };
    const Case cases[] = {
        {"사과(부사) 상품", "사과", "부사", "상품", "부사 · 상품", "사과(부사)"},
        {" 배 중품 ", "배", "", "중품", "일반 · 중품", "배"},
        {"사과 하품", "사과 하품", "", "", "일반", "사과"},
        {"감(대봉", "감", "대봉", "", "대봉", "감(대봉"},
        {"(유기농) 상품", "(유기농)", "", "상품", "일반 · 상품", "(유기농)"},
        {"", "", "", "", "일반", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const TItemNameParts p = SplitItemName(c.Name);
        EXPECT_EQ(p.Base, c.Base);
        EXPECT_EQ(p.Variety, c.Variety);
        EXPECT_EQ(p.Grade, c.Grade);
        EXPECT_EQ(VarietyLabel(p.Variety, p.Grade), c.Label);
        EXPECT_EQ(StripGrade(c.Name), c.Stripped);
    }
    EXPECT_EQ(CouponLabel(0, {}), "농할 쿠폰");
    EXPECT_EQ(CouponLabel(0, {7003, 7001}), "쿠폰 7003");
    EXPECT_EQ(CouponLabel(7001, {}), "쿠폰 7001");
    EXPECT_EQ(ReviewLabel("other"), "");
}

} // namespace
} // namespace pavona
