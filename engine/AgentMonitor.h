// The budget level: how much of the store's subsidy budget is used, the level it puts the store at,
// the texts shown for each level, and the won format used throughout the window.
#pragma once

#include "engine/LimitLevel.h"

#include <cstdint>
#include <string>

namespace pavona {

struct TLimitInput {
    bool HasPolicy = false;
    bool Enabled = false;
    std::int64_t Allocated = 0;
    std::int64_t ReportedExecuted = 0;
    std::int64_t OffsetOutstanding = 0;
    std::int64_t UnreportedLocal = 0;
    int CautionPct = 80;
    int ImminentPct = 95;
};

struct TLimitState {
    TLimitLevel Level = TLimitLevel::Unknown;
    std::int64_t Used = 0;
    std::int64_t Remaining = 0;
    std::int64_t Over = 0;
    int Percent = 0;
};

TLimitState EvaluateLimit(const TLimitInput& input);
std::string LevelText(TLimitLevel level);
std::string LevelAdvice(TLimitLevel level);
// Digits grouped in threes with ",", "-" when negative, then "원".
std::string FormatWon(std::int64_t v);
std::string WonDigits(std::int64_t v);

} // namespace pavona
