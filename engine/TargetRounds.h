// Which programme round the target-items page shows and how it names it: the current round, the
// "<" and ">" steps, the navigation label, the list's round header, the items of the viewed round,
// the page's headline and the days the round totals cover. A viewed round of -1 is the current one.
#pragma once

#include "common/DateTime.h"
#include "pos/CouponPlan.h"
#include "server/AgentPolicy.h"

#include <string>
#include <vector>

namespace pavona {

// The first round whose phase is "current"; -1 when there is none.
int CurrentRoundIndex(const std::vector<TRoundInfo>& rounds);
// A viewed round that no longer exists (the round list shrank) becomes -1.
int ClampViewRound(const std::vector<TRoundInfo>& rounds, int viewRound);
// "<" passes -1, ">" passes +1. The result stays within the rounds, and the current round is always
// viewed as -1. Nothing changes without rounds.
int StepRound(const std::vector<TRoundInfo>& rounds, int viewRound, int delta);
// The label between "<" and ">": "오늘 차수" for the current round, else for example
// "1차  09-01 ~ 09-15  ·  지난 차수".
std::string RoundLabel(const std::vector<TRoundInfo>& rounds, int viewRound);
// The round the list speaks of: the viewed one, or the current one while -1 is viewed; -1 when
// that names no round.
int ListRound(const std::vector<TRoundInfo>& rounds, int viewRound);
// The list's round header: "이번 차수", "지난 차수" or "다음 차수", with "(3차)" when it has a number.
std::string RoundHeader(const std::vector<TRoundInfo>& rounds, int viewRound);

// One TProgramItem per policy item (the current round's rows).
std::vector<TProgramItem> ProgramItemsOf(const std::vector<TPolicyItem>& items);
// The items shown: the current round's for -1 or a round in phase "current", else the viewed
// round's own items, which carry no cap.
std::vector<TProgramItem> ViewedRoundItems(const std::vector<TPolicyItem>& items,
                                           const std::vector<TRoundInfo>& rounds, int viewRound);

// The page's headline: before any policy the frame's own text; "지금 열린 농할 회차가 없습니다"
// without a programme; else "이름  ·  mm-dd ~ mm-dd  ·  대상 N개".
std::string TargetHeadText(bool hasPolicy, const std::string& programName, const std::string& startsOn,
                           const std::string& endsOn, int items);

// First day the round totals count: the programme's start, or 21 days before today without one.
TDateTime RoundTotalsFrom(TDateTime programStart, TDateTime today);

} // namespace pavona
