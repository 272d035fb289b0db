// The coupon link plan: which goods to put into, fix in or take out of the designated coupons, the
// plan box's lines, and the count of items without goods on sale.
#include "pos/CouponPlan.h"

#include <gtest/gtest.h>

namespace pavona {
namespace {

const TDateTime kEnd = EncodeDate(2026, 12, 31);

TProgramItem Item(const std::string& code, const std::string& name, int rate = 20, std::int64_t cap = 10000) {
    return {code, name, rate, cap, ""};
}
TStoreGoods Goods(const std::string& code, const std::string& name, bool active = true) {
    return {code, name, "", "", active};
}
TCurrentLink Link(std::int64_t coupon, const std::string& goods, int rate, std::int64_t cap, TDateTime ends) {
    return {coupon, goods, rate, cap, ends};
}

std::string Line(const TPlanRow& r) {
    return "[" + PlanActionLabel(r.Action) + "] " + (r.ItemName.empty() ? "(대상 아님)" : r.ItemName) + " → " +
           r.GoodsName + " (" + r.GoodsCode + ")  " + r.Detail;
}

TEST(CouponPlan, OneItemAgainstItsLinks) {
    const std::vector<TProgramItem> items = {Item("512", "대파")};
    const std::vector<TStoreGoods> goods = {Goods("512", "국산 대파 1단")};
    struct Case {
        const char* Name;
        std::vector<TCurrentLink> Links;
        TDateTime End;
        const char* Expected; // empty: no row
    };
    const Case cases[] = {
        {"no link", {}, kEnd, "[연결] 대파 → 국산 대파 1단 (512)  20% · 1회 한도 10000원 · 2026-12-31 까지"},
        {"rate differs, period short", {Link(7001, "512", 10, 10000, EncodeDate(2026, 11, 30))}, kEnd,
         "[수정] 대파 → 국산 대파 1단 (512)  율 10% → 20% · 기간 2026-11-30 → 2026-12-31"},
        {"everything differs", {Link(7001, "512", 10, 5000, EncodeDate(2026, 11, 30))}, kEnd,
         "[수정] 대파 → 국산 대파 1단 (512)  율 10% → 20% · 한도 5000원 → 10000원 · 기간 2026-11-30 → "
         "2026-12-31"},
        {"ends with the programme", {Link(7001, "512", 20, 10000, kEnd)}, kEnd, ""},
        {"ends after the programme", {Link(7001, "512", 20, 10000, EncodeDate(2027, 1, 31))}, kEnd, ""},
        {"not a percentage coupon", {Link(7001, "512", -1, 10000, kEnd)}, kEnd,
         "[수정] 대파 → 국산 대파 1단 (512)  율 정액 → 20%"},
        {"coupon without end date", {Link(7001, "512", 20, 10000, 0)}, kEnd,
         "[수정] 대파 → 국산 대파 1단 (512)  기간 (끝 없음) → 2026-12-31"},
        {"no programme end", {}, 0, "[연결] 대파 → 국산 대파 1단 (512)  20% · 1회 한도 10000원"},
        {"only the first link counts", {Link(7001, "512", 20, 10000, kEnd), Link(7002, "512", 5, 1, 0)}, kEnd, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const auto rows = BuildPlan(items, CurrentChoices(items, goods), goods, c.End, c.Links);
        if (*c.Expected == 0) {
            EXPECT_TRUE(rows.empty()) << Line(rows.front());
            continue;
        }
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(Line(rows[0]), c.Expected);
        EXPECT_EQ(rows[0].CouponCode, rows[0].Action == TPlanAction::Add ? 0 : 7001);
    }
}

TEST(CouponPlan, LinksNoItemChoseAreDroppedAndGoodsNotOnSaleGiveNoRow) {
    const std::vector<TProgramItem> items = {Item("512", "대파"), Item("600", "양파"), Item("700", "감자")};
    // 600 is in the POS but no longer on sale; 700 is not in the POS at all.
    const std::vector<TStoreGoods> goods = {Goods("512", "국산 대파 1단"), Goods("600", "양파 1망", false),
                                            Goods("999", "수입 바나나")};
    const std::vector<TCurrentLink> links = {Link(7001, "999", 20, 10000, kEnd), Link(7002, "600", 20, 10000, kEnd),
                                             Link(7003, "999", 20, 10000, kEnd), Link(7001, "512", 20, 10000, kEnd)};
    const auto choices = CurrentChoices(items, goods);
    ASSERT_EQ(choices.size(), 3u);
    EXPECT_EQ(choices[1].GoodsCode, "");
    EXPECT_EQ(UnlinkedCount(items, choices), 2);
    const auto rows = BuildPlan(items, choices, goods, kEnd, links);
    std::vector<std::string> lines;
    for (const TPlanRow& r : rows)
        lines.push_back(Line(r));
    const std::vector<std::string> expected = {
        "[내림] (대상 아님) → 수입 바나나 (999)  이번 회차 대상이 아닙니다 — 걸어 두면 정산에서 빠집니다",
        "[내림] (대상 아님) → 양파 1망 (600)  이번 회차 대상이 아닙니다 — 걸어 두면 정산에서 빠집니다",
        "[내림] (대상 아님) → 수입 바나나 (999)  이번 회차 대상이 아닙니다 — 걸어 두면 정산에서 빠집니다",
    };
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(rows[1].CouponCode, 7002);
}

TEST(CouponPlan, ThePlanBoxNeverClaimsAllIsWellBeforeTheGoodsWereRead) {
    const std::string readOnly = "※ 이 프로그램은 POS 를 읽기만 합니다 — 위 내용은 POS 의 쿠폰 관리에서 직접 고쳐 주세요.";
    TPlanInput in;
    in.Items = {Item("512", "대파")};
    in.End = kEnd;

    // Never read, and a read that failed: no comparison can be made yet.
    for (const std::string& note : {std::string(), std::string("POS 에 연결하지 못했습니다 — 접속 거부")}) {
        SCOPED_TRACE(note);
        in.ReadNote = note;
        const auto lines = PlanLines(in);
        ASSERT_GE(lines.size(), 3u);
        EXPECT_EQ(lines[0].rfind("POS 상품을 아직 읽지 못했습니다 — 「POS 다시 읽기」 를 눌러", 0), 0u) << lines[0];
        for (const std::string& l : lines)
            EXPECT_EQ(l.find("고칠 것이 없습니다"), std::string::npos) << l;
        EXPECT_EQ(lines.back(), readOnly);
        if (!note.empty()) {
            EXPECT_EQ(lines[1], note);
        }
    }

    // Read: everything in order.
    in.ReadNote.clear();
    in.GoodsRead = true;
    in.Goods = {Goods("512", "국산 대파 1단")};
    in.Links = {Link(7001, "512", 20, 10000, kEnd)};
    EXPECT_EQ(PlanLines(in),
              (std::vector<std::string>{
                  "고칠 것이 없습니다 — 대상 상품이 모두 쿠폰에 들어 있고, 대상 아닌 상품은 없습니다.", "", readOnly}));

    // Read, with work to do, and an item whose goods the POS lacks.
    in.Items.push_back(Item("700", "감자"));
    in.Links = {Link(7001, "999", 20, 10000, kEnd)};
    EXPECT_EQ(PlanLines(in),
              (std::vector<std::string>{
                  "쿠폰에 넣을 상품 1개 · 고칠 것 0개 · 뺄 상품 1개",
                  "[연결] 대파 → 국산 대파 1단 (512)  20% · 1회 한도 10000원 · 2026-12-31 까지",
                  "[내림] (대상 아님) → 999 (999)  이번 회차 대상이 아닙니다 — 걸어 두면 정산에서 빠집니다",
                  "POS 에 없거나 판매 중지된 대상 품목 1개는 쿠폰에 넣을 수 없어 여기서 빠졌습니다 — 「대상 품목」 "
                  "목록에서 확인해 주세요.",
                  "", readOnly}));

    // The links could not be read: the plan says its adds may already be linked.
    in.LinksNote = "지금 걸려 있는 쿠폰을 읽지 못했습니다 — 표 없음";
    EXPECT_EQ(PlanLines(in).front(),
              "⚠ 지금 걸려 있는 쿠폰을 읽지 못했습니다 — 표 없음 — 아래는 쿠폰 연결을 모르는 채로 셌습니다.");
}

} // namespace
} // namespace pavona
