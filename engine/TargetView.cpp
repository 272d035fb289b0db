// Builds the target-items page model (see TargetView.h). Goods and links are looked up through hash
// maps made once per build, so a POS of tens of thousands of goods costs one pass over them.
#include "engine/TargetView.h"

#include "common/Text.h"
#include "engine/AgentMonitor.h"
#include "engine/AgentNotice.h"
#include "engine/TargetNames.h"
#include "engine/TargetRounds.h"

#include <algorithm>
#include <set>
#include <unordered_map>
#include <unordered_set>

namespace pavona {

namespace {

constexpr int kShownDecisions = 8;
constexpr int kNamedUncovered = 8;

// The first goods and the first link of each goods code, as a search from the front finds them.
class TLookup {
  public:
    explicit TLookup(const TTargetData& d) {
        FGoods.reserve(d.Goods.size());
        for (const TStoreGoods& g : d.Goods)
            FGoods.emplace(g.Code, &g);
        for (const TCurrentLink& l : d.Links)
            FLinks.emplace(l.GoodsCode, l.CouponCode);
    }
    const TStoreGoods* Goods(const std::string& code) const {
        const auto it = FGoods.find(code);
        return it == FGoods.end() ? nullptr : it->second;
    }
    std::int64_t LinkedCoupon(const std::string& code) const {
        const auto it = FLinks.find(code);
        return it == FLinks.end() ? 0 : it->second;
    }

  private:
    std::unordered_map<std::string, const TStoreGoods*> FGoods;
    std::unordered_map<std::string, std::int64_t> FLinks;
};

TItemState StateOf(const TTargetData& d, const TLookup& look, const std::string& code) {
    if (!d.GoodsRead) return TItemState::NotRead;
    const TStoreGoods* g = look.Goods(code);
    if (!g) return TItemState::NotInPos;
    if (!g->Active) return TItemState::Stopped;
    if (look.LinkedCoupon(code) != 0) return TItemState::Discounted;
    return TItemState::NotDiscounted;
}

TTargetPill PillOf(TItemState state, const std::string& linkedCouponLabel) {
    switch (state) {
    case TItemState::NotDiscounted:
        return {"할인 미적용", TTargetColour::Amber, TTargetColour::AmberFill, ""};
    case TItemState::NotInPos:
        return {"POS 에 없음", TTargetColour::Red, TTargetColour::RedFill, ""};
    case TItemState::Stopped:
        return {"판매 중지", TTargetColour::Slate, TTargetColour::Light,
                "POS 에서 판매 중지된 상품입니다 — 다시 팔 때 쿠폰도 함께 확인해 주세요."};
    case TItemState::Discounted:
        return {"할인 적용 중", TTargetColour::Green, TTargetColour::GreenFill,
                "이 상품은 POS " + linkedCouponLabel + "에 들어 있어 계산대에서 농할 할인이 자동으로 빠집니다."};
    case TItemState::NotRead:
        break;
    }
    return {};
}

const TGoodsTotal* TotalOf(const TRoundTotals& totals, const std::string& code) {
    if (!totals.Counted) return nullptr;
    const auto it = totals.ByCode.find(code);
    return it == totals.ByCode.end() ? nullptr : &it->second;
}

std::string TotalsLine(const TGoodsTotal* t) {
    if (!t) return "회차 누적 — 아직 판매가 없습니다";
    return "회차 누적  판매 " + WonDigits(t->Lines) + "건 · 매출 " + FormatWon(t->Amount) + " · 농할 지원 " +
           FormatWon(t->Discount);
}

// Title, code line and request target of a goods block.
void FillGoods(TTargetRow& row, const std::string& code, const TStoreGoods* g) {
    row.ItemCode = code;
    row.Title = g ? g->Name : "상품번호 " + code;
    row.CodeLine = "상품번호 " + code;
    if (g && !Trim(g->Barcode).empty()) row.CodeLine += "  ·  바코드 " + Trim(g->Barcode);
    row.Target = {code, row.Title};
}

TDecisionsView DecisionsOf(const std::vector<TMappingDecision>& decisions) {
    TDecisionsView v;
    std::vector<const TMappingDecision*> rejected;
    for (const TMappingDecision& d : decisions) {
        if (d.Verdict == "rejected") rejected.push_back(&d);
        if (d.Verdict == "confirmed") ++v.Confirmed;
    }
    v.Rejected = static_cast<int>(rejected.size());
    std::stable_sort(rejected.begin(), rejected.end(),
                     [](const TMappingDecision* a, const TMappingDecision* b) { return a->At > b->At; });
    if (rejected.empty()) {
        if (v.Confirmed > 0)
            v.Line = Fmt("최근 30일 협회가 확인한 지정 %d건 — 정산에 들어갑니다. 거부된 지정은 없습니다.",
                         v.Confirmed);
        return v;
    }
    v.Card = true;
    v.Title = Fmt("협회가 거부한 지정 %d건 — 이 상품의 판매는 정산에서 빠졌고, 대상에서 내려갔습니다", v.Rejected);
    for (size_t i = 0; i < rejected.size() && i < kShownDecisions; ++i) {
        const TMappingDecision& d = *rejected[i];
        const std::string reason = Trim(d.Reason);
        v.Lines.push_back({Fmt("%s   %s (상품번호 %s) → %s   ·   사유: %s", Utf8Left(d.At, 10).c_str(),
                               d.ProductName.empty() ? "(이름 없음)" : d.ProductName.c_str(),
                               d.VendorItemCode.c_str(), d.ItemName.empty() ? "(품목 없음)" : d.ItemName.c_str(),
                               reason.empty() ? "(사유 없음)" : reason.c_str())});
    }
    if (v.Rejected > kShownDecisions) v.More = Fmt("… 외 %d건 (최근 30일)", v.Rejected - kShownDecisions);
    if (v.Confirmed > 0) v.ConfirmedLine = Fmt("최근 30일 협회가 확인한 지정 %d건 — 정산에 들어갑니다.", v.Confirmed);
    v.Height = 52 + 22 * static_cast<int>(v.Lines.size()) + (v.More.empty() ? 0 : 20) +
               (v.ConfirmedLine.empty() ? 0 : 22);
    return v;
}

// The notice card's lines for the round the list speaks of.
std::vector<std::string> RoundNoticeOf(const TTargetData& d, int r) {
    std::vector<std::string> lines;
    if (r < 0) return lines;
    const TRoundInfo& round = d.Rounds[r];
    if (round.Phase == "upcoming")
        lines.push_back(Fmt("다음 차수(%d차 · %s 시작) — 시작 전에 아래 「할인 미적용」 상품을 POS 쿠폰의 판촉 상품에 "
                            "넣어 두세요. 상태는 지금의 쿠폰 기준입니다.",
                            round.RoundNo, Utf8Mid(round.StartsOn, 5, 5).c_str()));
    else if (round.Phase == "past")
        lines.push_back(Fmt("지난 차수(%d차 · %s ~ %s) — 그때 지정됐던 상품입니다. 실적은 「회차 누적」 과 「실적 "
                            "내역」 에 있습니다.",
                            round.RoundNo, Utf8Mid(round.StartsOn, 5, 5).c_str(),
                            Utf8Mid(round.EndsOn, 5, 5).c_str()));
    // The current round's goods are the programme's items; a document that leaves the round's own
    // item list empty must not make every designated item look uncovered.
    std::vector<const TPolicyItem*> cover;
    for (const TPolicyItem& item : round.Items)
        cover.push_back(&item);
    if (round.Phase == "current")
        for (const TPolicyItem& item : d.Items)
            cover.push_back(&item);
    std::unordered_set<std::string> codes, names;
    for (const TPolicyItem* item : cover) {
        codes.insert(item->StandardItemCode);
        names.insert(StripGrade(item->ItemName));
    }
    std::vector<std::string> uncovered;
    for (const TDesignated& des : round.Designated)
        if (!codes.count(des.Code) && !names.count(StripGrade(des.Name))) uncovered.push_back(des.Name);
    if (!uncovered.empty()) {
        std::string named;
        for (size_t i = 0; i < uncovered.size() && i < kNamedUncovered; ++i)
            named += (i ? ", " : "") + uncovered[i];
        lines.push_back(Fmt("이 매장 상품이 이어지지 않은 지정 품목 %d개: %s%s — 파는 상품이면 위 「POS 상품을 품목에 "
                            "지정」 으로 바로 지정할 수 있습니다.",
                            static_cast<int>(uncovered.size()), named.c_str(),
                            uncovered.size() > kNamedUncovered ? " 외" : ""));
    }
    return lines;
}

struct TShownItem {
    TProgramItem Item;
    TItemState State = TItemState::NotRead;
    std::string Base;
    std::string Label;
};

TTargetGroup GroupOf(const std::string& base, std::vector<const TShownItem*> members, const TTargetData& d,
                     const TLookup& look, const TRoundTotals& totals, const std::string& header) {
    TTargetGroup g;
    g.BaseName = base.empty() ? "(이름 없음)" : base;
    g.State = TItemState::NotRead;
    for (const TShownItem* m : members)
        g.State = std::min(g.State, m->State, [](TItemState a, TItemState b) {
            return static_cast<int>(a) < static_cast<int>(b);
        });
    g.Accent = g.State == TItemState::NotDiscounted ? TTargetColour::Amber
               : g.State == TItemState::NotInPos    ? TTargetColour::Red
               : g.State == TItemState::Discounted  ? TTargetColour::Green
                                                    : TTargetColour::Default;
    std::stable_sort(members.begin(), members.end(),
                     [](const TShownItem* a, const TShownItem* b) { return a->Label < b->Label; });
    std::set<std::string> labels;
    for (const TShownItem* m : members)
        labels.insert(m->Label);
    g.Varieties = static_cast<int>(labels.size());
    g.ShowVarieties = g.Varieties >= 2 || (g.Varieties == 1 && *labels.begin() != "일반");
    g.Caption = "협회 지정 · " + header;

    const TProgramItem& first = members.front()->Item;
    std::vector<std::string> details;
    if (first.Rate > 0) details.push_back(Fmt("지원 최대 %d%%", first.Rate));
    if (first.Cap > 0) details.push_back("1회 " + FormatWon(first.Cap));
    if (g.ShowVarieties && g.Varieties > 1) details.push_back(Fmt("품종 · 등급 %d가지", g.Varieties));
    for (size_t i = 0; i < details.size(); ++i)
        g.Details += (i ? " · " : "") + details[i];

    std::int64_t support = 0;
    std::unordered_set<std::string> counted;
    int explained = 0;
    for (const TShownItem* m : members) {
        const std::string& code = m->Item.ItemCode;
        if (counted.insert(code).second)
            if (const TGoodsTotal* t = TotalOf(totals, code)) support += t->Discount;
        TTargetRow row;
        FillGoods(row, code, d.GoodsRead ? look.Goods(code) : nullptr);
        row.ItemName = m->Item.ItemName;
        row.State = m->State;
        row.TotalsLine = TotalsLine(TotalOf(totals, code));
        row.Pill = PillOf(m->State, CouponLabel(look.LinkedCoupon(code), d.SubsidyCodes));
        row.Review = ReviewLabel(m->Item.Review);
        if (!row.Review.empty()) {
            const bool confirmed = m->Item.Review == "confirmed";
            row.ReviewColour = confirmed ? TTargetColour::Green : TTargetColour::Amber;
            row.ReviewHint = confirmed ? "협회가 이 지정을 확인했습니다 — 이 상품의 농할 지원은 정산(청구)에 들어갑니다."
                                       : "지정은 바로 적용돼 계산대 할인 · 실적은 그대로 갑니다. 협회가 확인하기 "
                                         "전까지 정산(청구)은 보류됩니다.";
        }
        if (m->State == TItemState::NotDiscounted)
            row.Explanation = CouponLabel(0, d.SubsidyCodes) + "에 없어 계산대 할인이 안 됩니다 — 판촉 상품에 넣어 주세요.";
        if (m->State == TItemState::NotInPos)
            row.Explanation = "POS 에 이 상품번호가 없습니다 — 바뀌었으면 「품목 지정 ▾ › 이 품목이 아님」 으로 풀고 "
                              "새 상품을 지정해 주세요.";
        if (!row.Explanation.empty()) {
            row.ExplanationColour = row.Pill.Ink;
            ++explained;
        }
        if (g.Runs.empty() || (g.ShowVarieties && g.Runs.back().Label != m->Label)) {
            TVarietyRun run;
            if (g.ShowVarieties) {
                run.Label = m->Label;
                run.Hint = "협회 품목 「" + m->Item.ItemName + "」";
            }
            g.Runs.push_back(std::move(run));
        }
        g.Runs.back().Rows.push_back(std::move(row));
    }
    g.Support = "회차 누적 지원 " + FormatWon(support);
    g.Height = std::max(140, 8 + 96 * static_cast<int>(members.size()) + 18 * explained +
                                 (g.ShowVarieties ? 24 * g.Varieties : 0));
    return g;
}

} // namespace

const char* ColourHex(TTargetColour colour) {
    switch (colour) {
    case TTargetColour::Default:
        return "";
    case TTargetColour::Ink:
        return "#0F1F2E";
    case TTargetColour::Slate:
        return "#4B5B63";
    case TTargetColour::Muted:
        return "#8A94A0";
    case TTargetColour::Amber:
        return "#C27C0E";
    case TTargetColour::AmberFill:
        return "#FDF6E3";
    case TTargetColour::Red:
        return "#C0392B";
    case TTargetColour::RedFill:
        return "#FCEDEC";
    case TTargetColour::Green:
        return "#1F8A4C";
    case TTargetColour::GreenFill:
        return "#EEF6EA";
    case TTargetColour::Navy:
        return "#275478";
    case TTargetColour::Light:
        return "#F4F6F8";
    case TTargetColour::Line:
        return "#E1E6EA";
    }
    return "";
}

TItemState ItemStateOf(const TTargetData& data, const std::string& itemCode) {
    return StateOf(data, TLookup(data), itemCode);
}

TTargetView BuildTargetView(const TTargetData& d, const TRoundTotals& totals, int viewRound) {
    TTargetView v;
    v.ViewRound = ClampViewRound(d.Rounds, viewRound);
    v.RoundLabel = RoundLabel(d.Rounds, v.ViewRound);
    v.Head = TargetHeadText(d.HasPolicy, d.ProgramName, d.StartsOn, d.EndsOn, static_cast<int>(d.Items.size()));
    v.Decisions = DecisionsOf(d.Decisions);
    v.RoundHeader = RoundHeader(d.Rounds, v.ViewRound);

    const std::vector<TProgramItem> items = ViewedRoundItems(d.Items, d.Rounds, v.ViewRound);
    // A read that failed says why, whether or not there is anything to list.
    if (!d.GoodsRead && !d.ReadNote.empty()) v.Note = d.ReadNote;
    if (items.empty()) {
        v.NoItems = true;
        return v;
    }
    v.RoundNotice = RoundNoticeOf(d, ListRound(d.Rounds, v.ViewRound));

    const TLookup look(d);
    std::vector<TShownItem> shown;
    shown.reserve(items.size());
    for (const TProgramItem& item : items) {
        TShownItem s;
        s.Item = item;
        s.State = StateOf(d, look, item.ItemCode);
        const TItemNameParts parts = SplitItemName(item.ItemName);
        s.Base = parts.Base;
        s.Label = VarietyLabel(parts.Variety, parts.Grade);
        switch (s.State) {
        case TItemState::NotDiscounted:
            ++v.NotDiscounted;
            break;
        case TItemState::NotInPos:
            ++v.NotInPos;
            break;
        case TItemState::Stopped:
            ++v.Stopped;
            break;
        case TItemState::Discounted:
            ++v.Discounted;
            break;
        case TItemState::NotRead:
            break;
        }
        if (item.Review == "pending") ++v.Pending;
        shown.push_back(std::move(s));
    }
    v.Items = static_cast<int>(shown.size());

    std::vector<std::string> bases;
    std::unordered_map<std::string, std::vector<const TShownItem*>> members;
    for (const TShownItem& s : shown) {
        auto& list = members[s.Base];
        if (list.empty()) bases.push_back(s.Base);
        list.push_back(&s);
    }
    for (const std::string& base : bases)
        v.Groups.push_back(GroupOf(base, members[base], d, look, totals, v.RoundHeader));
    std::stable_sort(v.Groups.begin(), v.Groups.end(), [&](const TTargetGroup& a, const TTargetGroup& b) {
        if (a.State != b.State) return static_cast<int>(a.State) < static_cast<int>(b.State);
        return a.BaseName < b.BaseName;
    });

    std::unordered_set<std::string> shownCodes, strayCodes;
    for (const TProgramItem& item : items)
        shownCodes.insert(item.ItemCode);
    for (const TCurrentLink& l : d.Links) {
        if (shownCodes.count(l.GoodsCode) || !strayCodes.insert(l.GoodsCode).second) continue;
        TTargetRow row;
        FillGoods(row, l.GoodsCode, look.Goods(l.GoodsCode));
        row.CodeLine += "  ·  " + CouponLabel(l.CouponCode, d.SubsidyCodes) + "에 들어 있음";
        const TGoodsTotal* t = TotalOf(totals, l.GoodsCode);
        row.TotalsLine = TotalsLine(t);
        if (t && t->Discount > 0) {
            row.TotalsLine += "  — 지원 불인정 예상";
            row.TotalsColour = TTargetColour::Red;
        }
        row.State = StateOf(d, look, l.GoodsCode);
        row.Pill = {"대상 아님", TTargetColour::Red, TTargetColour::RedFill,
                    "이번 차수 지정 품목이 아닙니다 — 할인하면 정산에서 빠집니다."};
        v.Stray.Rows.push_back(std::move(row));
    }
    if (!v.Stray.Rows.empty()) v.Stray.Height = std::max(140, 8 + 96 * static_cast<int>(v.Stray.Rows.size()));

    for (const TTargetGroup& g : v.Groups)
        for (const TVarietyRun& run : g.Runs)
            for (const TTargetRow& row : run.Rows)
                v.RequestTargets.push_back(row.Target);
    for (const TTargetRow& row : v.Stray.Rows)
        v.RequestTargets.push_back(row.Target);

    if (d.GoodsRead) {
        std::string note = Fmt("대상 POS 상품 %d개 (협회 품목 %d가지) — 할인 적용 중 %d · 미적용 %d", v.Items,
                               static_cast<int>(v.Groups.size()), v.Discounted, v.NotDiscounted);
        if (v.Stopped > 0) note += Fmt(" · 판매 중지 %d", v.Stopped);
        if (v.NotInPos > 0) note += Fmt(" · POS 에 없음 %d", v.NotInPos);
        if (!v.Stray.Rows.empty())
            note += Fmt("   |   대상 아닌데 쿠폰에 든 상품 %d", static_cast<int>(v.Stray.Rows.size()));
        if (v.Pending > 0) note += Fmt("   |   협회 확인 전(정산 보류) %d", v.Pending);
        if (!d.LinksNote.empty()) note += "  " + d.LinksNote;
        // The goods are those of an earlier read: the store must know this one failed.
        if (!d.ReadNote.empty()) note += "  " + d.ReadNote;
        if (d.SubsidyCodes.empty()) note += "  협회가 지정한 농할 쿠폰이 아직 없습니다.";
        v.Note = StripMarks(note);
    }
    return v;
}

std::vector<std::string> TargetPlanLines(const TTargetData& d) {
    TPlanInput in;
    in.Items = ProgramItemsOf(d.Items);
    in.Goods = d.Goods;
    in.Links = d.Links;
    in.End = d.ProgramEnd;
    in.GoodsRead = d.GoodsRead;
    in.ReadNote = d.ReadNote;
    in.LinksNote = d.LinksNote;
    return PlanLines(in);
}

int TargetUnlinkedCount(const TTargetData& d) {
    const std::vector<TProgramItem> items = ProgramItemsOf(d.Items);
    return UnlinkedCount(items, CurrentChoices(items, d.Goods));
}

} // namespace pavona
