// The coupon link plan (see CouponPlan.h). Lookups go through hash maps built once per plan: a POS
// can hold tens of thousands of goods and a round hundreds of items.
#include "pos/CouponPlan.h"

#include "common/Text.h"

#include <unordered_map>
#include <unordered_set>

namespace pavona {

namespace {

// The first entry wins, as a linear search from the front would find it.
template <class T, class Key>
std::unordered_map<std::string, const T*> FirstBy(const std::vector<T>& rows, Key key) {
    std::unordered_map<std::string, const T*> out;
    out.reserve(rows.size());
    for (const T& r : rows)
        out.emplace(key(r), &r);
    return out;
}

std::string DayText(TDateTime t) {
    return t == 0 ? std::string("(끝 없음)") : FormatDay(t);
}

// A link that is not a percentage coupon has no rate to compare with; "-1%" would mislead.
std::string RateText(int rate) {
    return rate < 0 ? std::string("정액") : Fmt("%d%%", rate);
}

} // namespace

const char* const kPlanPlaceholder =
    "「고칠 내용 보기」 를 누르면 POS 의 쿠폰 관리에서 넣고 뺄 상품을 줄 단위로 보여 드립니다.";

std::string PlanActionLabel(TPlanAction action) {
    switch (action) {
    case TPlanAction::Add:
        return "연결";
    case TPlanAction::Fix:
        return "수정";
    case TPlanAction::Drop:
        return "내림";
    }
    return "";
}

std::vector<TChoice> CurrentChoices(const std::vector<TProgramItem>& items, const std::vector<TStoreGoods>& goods) {
    const auto byCode = FirstBy(goods, [](const TStoreGoods& g) { return g.Code; });
    std::vector<TChoice> out;
    out.reserve(items.size());
    for (const TProgramItem& item : items) {
        TChoice c;
        c.ItemCode = item.ItemCode;
        const auto it = byCode.find(item.ItemCode);
        if (it != byCode.end() && it->second->Active) c.GoodsCode = it->second->Code;
        out.push_back(std::move(c));
    }
    return out;
}

std::vector<TPlanRow> BuildPlan(const std::vector<TProgramItem>& items, const std::vector<TChoice>& choices,
                                const std::vector<TStoreGoods>& goods, TDateTime end,
                                const std::vector<TCurrentLink>& links) {
    const auto choiceOf = FirstBy(choices, [](const TChoice& c) { return c.ItemCode; });
    const auto goodsOf = FirstBy(goods, [](const TStoreGoods& g) { return g.Code; });
    const auto linkOf = FirstBy(links, [](const TCurrentLink& l) { return l.GoodsCode; });
    const auto nameOf = [&](const std::string& code) {
        const auto it = goodsOf.find(code);
        return it == goodsOf.end() ? code : it->second->Name;
    };

    std::vector<TPlanRow> rows;
    for (const TProgramItem& item : items) {
        const auto choice = choiceOf.find(item.ItemCode);
        const std::string chosen = choice == choiceOf.end() ? std::string() : Trim(choice->second->GoodsCode);
        if (chosen.empty()) continue;
        TPlanRow row;
        row.ItemName = item.ItemName;
        row.GoodsCode = chosen;
        row.GoodsName = nameOf(chosen);
        const auto link = linkOf.find(chosen);
        if (link != linkOf.end()) {
            const TCurrentLink& l = *link->second;
            std::vector<std::string> parts;
            if (l.Rate != item.Rate) parts.push_back("율 " + RateText(l.Rate) + " → " + RateText(item.Rate));
            if (l.Cap != item.Cap)
                parts.push_back(Fmt("한도 %lld원 → %lld원", static_cast<long long>(l.Cap),
                                    static_cast<long long>(item.Cap)));
            if (end > l.EndsOn) parts.push_back("기간 " + DayText(l.EndsOn) + " → " + FormatDay(end));
            if (parts.empty()) continue;
            row.Action = TPlanAction::Fix;
            row.CouponCode = l.CouponCode;
            for (size_t i = 0; i < parts.size(); ++i)
                row.Detail += (i ? " · " : "") + parts[i];
        } else {
            row.Action = TPlanAction::Add;
            row.Detail = Fmt("%d%% · 1회 한도 %lld원", item.Rate, static_cast<long long>(item.Cap));
            // Without a programme end there is no date to set; a zero date would read as 1899.
            if (end != 0) row.Detail += " · " + FormatDay(end) + " 까지";
        }
        rows.push_back(std::move(row));
    }

    std::unordered_set<std::string> chosenCodes;
    for (const TChoice& c : choices) {
        const std::string code = Trim(c.GoodsCode);
        if (!code.empty()) chosenCodes.insert(code);
    }
    for (const TCurrentLink& l : links) {
        if (chosenCodes.count(l.GoodsCode)) continue;
        TPlanRow row;
        row.Action = TPlanAction::Drop;
        row.GoodsCode = l.GoodsCode;
        row.GoodsName = nameOf(l.GoodsCode);
        row.CouponCode = l.CouponCode;
        row.Detail = "이번 회차 대상이 아닙니다 — 걸어 두면 정산에서 빠집니다";
        rows.push_back(std::move(row));
    }
    return rows;
}

int UnlinkedCount(const std::vector<TProgramItem>& items, const std::vector<TChoice>& choices) {
    std::unordered_set<std::string> linked;
    for (const TChoice& c : choices)
        if (!Trim(c.GoodsCode).empty()) linked.insert(c.ItemCode);
    int count = 0;
    for (const TProgramItem& item : items)
        if (!linked.count(item.ItemCode)) ++count;
    return count;
}

std::vector<std::string> PlanLines(const TPlanInput& in) {
    static const char* const kReadOnly =
        "※ 이 프로그램은 POS 를 읽기만 합니다 — 위 내용은 POS 의 쿠폰 관리에서 직접 고쳐 주세요.";
    std::vector<std::string> lines;
    if (!in.GoodsRead) {
        lines.push_back("POS 상품을 아직 읽지 못했습니다 — 「POS 다시 읽기」 를 눌러 상품을 읽은 뒤 다시 "
                        "보세요. 읽기 전에는 고칠 내용을 알 수 없습니다.");
        if (!in.ReadNote.empty()) lines.push_back(in.ReadNote);
        lines.push_back("");
        lines.push_back(kReadOnly);
        return lines;
    }
    // A plan counted from an incomplete read says so above everything it lists.
    if (!in.ReadNote.empty()) lines.push_back("⚠ " + in.ReadNote + " — 아래는 앞서 읽은 상품 기준입니다.");
    if (!in.LinksNote.empty())
        lines.push_back("⚠ " + in.LinksNote + " — 아래는 쿠폰 연결을 모르는 채로 셌습니다.");

    const std::vector<TChoice> choices = CurrentChoices(in.Items, in.Goods);
    const std::vector<TPlanRow> rows = BuildPlan(in.Items, choices, in.Goods, in.End, in.Links);
    int adds = 0, fixes = 0, drops = 0;
    std::vector<std::string> rowLines;
    for (const TPlanRow& r : rows) {
        rowLines.push_back(Fmt("[%s] %s → %s (%s)  %s", PlanActionLabel(r.Action).c_str(),
                               r.ItemName.empty() ? "(대상 아님)" : r.ItemName.c_str(), r.GoodsName.c_str(),
                               r.GoodsCode.c_str(), r.Detail.c_str()));
        (r.Action == TPlanAction::Add ? adds : r.Action == TPlanAction::Fix ? fixes : drops)++;
    }
    if (rows.empty())
        lines.push_back("고칠 것이 없습니다 — 대상 상품이 모두 쿠폰에 들어 있고, 대상 아닌 상품은 없습니다.");
    else
        lines.push_back(Fmt("쿠폰에 넣을 상품 %d개 · 고칠 것 %d개 · 뺄 상품 %d개", adds, fixes, drops));
    lines.insert(lines.end(), rowLines.begin(), rowLines.end());
    // Items without goods on sale give no row: the store must not read "nothing to fix" as "all set".
    if (const int unlinked = UnlinkedCount(in.Items, choices); unlinked > 0)
        lines.push_back(Fmt("POS 에 없거나 판매 중지된 대상 품목 %d개는 쿠폰에 넣을 수 없어 여기서 "
                            "빠졌습니다 — 「대상 품목」 목록에서 확인해 주세요.",
                            unlinked));
    lines.push_back("");
    lines.push_back(kReadOnly);
    return lines;
}

} // namespace pavona
