// Round navigation and the round-dependent texts of the target-items page (see TargetRounds.h).
#include "engine/TargetRounds.h"

#include "common/Text.h"

#include <algorithm>

namespace pavona {

namespace {

bool Names(const std::vector<TRoundInfo>& rounds, int index) {
    return index >= 0 && index < static_cast<int>(rounds.size());
}

// Characters 6 to 10 of a policy date "yyyy-mm-dd": "mm-dd".
std::string MonthDay(const std::string& date) {
    return Utf8Mid(date, 5, 5);
}

} // namespace

int CurrentRoundIndex(const std::vector<TRoundInfo>& rounds) {
    for (size_t i = 0; i < rounds.size(); ++i)
        if (rounds[i].Phase == "current") return static_cast<int>(i);
    return -1;
}

int ClampViewRound(const std::vector<TRoundInfo>& rounds, int viewRound) {
    return Names(rounds, viewRound) ? viewRound : -1;
}

int StepRound(const std::vector<TRoundInfo>& rounds, int viewRound, int delta) {
    if (rounds.empty()) return -1;
    const int v = viewRound >= 0 ? viewRound : CurrentRoundIndex(rounds);
    int i = v < 0 ? delta : v + delta;
    i = std::clamp(i, 0, static_cast<int>(rounds.size()) - 1);
    return rounds[i].Phase == "current" ? -1 : i;
}

std::string RoundLabel(const std::vector<TRoundInfo>& rounds, int viewRound) {
    // The current round is "today's round" however it was reached, also with ">" from a past one.
    if (!Names(rounds, viewRound) || rounds[viewRound].Phase == "current") return "오늘 차수";
    const TRoundInfo& r = rounds[viewRound];
    const char* word = r.Phase == "past" ? "지난 차수" : r.Phase == "upcoming" ? "다음 차수" : "이번 주";
    return Fmt("%d차  %s ~ %s  ·  %s", r.RoundNo, MonthDay(r.StartsOn).c_str(), MonthDay(r.EndsOn).c_str(),
               word);
}

int ListRound(const std::vector<TRoundInfo>& rounds, int viewRound) {
    const int v = ClampViewRound(rounds, viewRound);
    return v >= 0 ? v : CurrentRoundIndex(rounds);
}

std::string RoundHeader(const std::vector<TRoundInfo>& rounds, int viewRound) {
    const int r = ListRound(rounds, viewRound);
    std::string header = "이번 차수";
    if (r < 0) return header;
    if (rounds[r].Phase == "past") header = "지난 차수";
    if (rounds[r].Phase == "upcoming") header = "다음 차수";
    if (rounds[r].RoundNo > 0) header = Fmt("%s(%d차)", header.c_str(), rounds[r].RoundNo);
    return header;
}

std::vector<TProgramItem> ProgramItemsOf(const std::vector<TPolicyItem>& items) {
    std::vector<TProgramItem> out;
    out.reserve(items.size());
    for (const TPolicyItem& p : items)
        out.push_back({p.VendorItemCode, p.ItemName, p.DiscountRate, p.DiscountCap, p.Review});
    return out;
}

std::vector<TProgramItem> ViewedRoundItems(const std::vector<TPolicyItem>& items,
                                           const std::vector<TRoundInfo>& rounds, int viewRound) {
    if (!Names(rounds, viewRound) || rounds[viewRound].Phase == "current") return ProgramItemsOf(items);
    std::vector<TProgramItem> out = ProgramItemsOf(rounds[viewRound].Items);
    // A round's own items never carry a cap, whatever the document held.
    for (TProgramItem& item : out)
        item.Cap = 0;
    return out;
}

std::string TargetHeadText(bool hasPolicy, const std::string& programName, const std::string& startsOn,
                           const std::string& endsOn, int items) {
    if (!hasPolicy) return "회차를 받지 못했습니다 — 「현황」 에서 연결을 확인해 주세요";
    if (programName.empty()) return "지금 열린 농할 회차가 없습니다";
    return Fmt("%s  ·  %s ~ %s  ·  대상 %d개", programName.c_str(), MonthDay(startsOn).c_str(),
               MonthDay(endsOn).c_str(), items);
}

TDateTime RoundTotalsFrom(TDateTime programStart, TDateTime today) {
    return programStart != 0 ? DateOf(programStart) : IncDay(DateOf(today), -21);
}

} // namespace pavona
