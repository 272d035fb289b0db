// The budget level from the policy's figures, its texts, and won amounts grouped for display.
#include "engine/AgentMonitor.h"

#include "common/SatMath.h"

#include <limits>

namespace pavona {

TLimitState EvaluateLimit(const TLimitInput& in) {
    TLimitState s;
    s.Used = SatAdd(in.ReportedExecuted, in.UnreportedLocal);
    if (!in.HasPolicy) {
        s.Level = TLimitLevel::Unknown;
        return s;
    }
    std::int64_t usable = SatSub(in.Allocated, in.OffsetOutstanding);
    if (usable < 0) usable = 0;
    if (!in.Enabled || in.Allocated <= 0) {
        s.Level = TLimitLevel::Disabled;
        if (s.Used > usable) s.Over = SatSub(s.Used, usable);
        return s;
    }
    if (usable > 0) {
        // The product is taken in 128 bits and the quotient clamped to the stored 32-bit range,
        // so a huge use can never wrap into a small or negative percentage.
        const __int128 pct = static_cast<__int128>(s.Used) * 100 / usable;
        if (pct > std::numeric_limits<int>::max()) {
            s.Percent = std::numeric_limits<int>::max();
        } else if (pct < std::numeric_limits<int>::min()) {
            s.Percent = std::numeric_limits<int>::min();
        } else {
            s.Percent = static_cast<int>(pct);
        }
    }
    if (s.Used >= usable) {
        s.Level = TLimitLevel::Exhausted;
        s.Over = SatSub(s.Used, usable);
        if (s.Percent < 100) s.Percent = 100;
        return s;
    }
    s.Remaining = SatSub(usable, s.Used);
    if (s.Percent >= in.ImminentPct) {
        s.Level = TLimitLevel::Imminent;
    } else if (s.Percent >= in.CautionPct) {
        s.Level = TLimitLevel::Caution;
    } else {
        s.Level = TLimitLevel::Normal;
    }
    return s;
}

std::string LevelText(TLimitLevel level) {
    switch (level) {
    case TLimitLevel::Normal:
        return "정상";
    case TLimitLevel::Caution:
        return "주의";
    case TLimitLevel::Imminent:
        return "임박";
    case TLimitLevel::Exhausted:
        return "소진";
    case TLimitLevel::Disabled:
        return "중지";
    default:
        return "확인 중";
    }
}

std::string LevelAdvice(TLimitLevel level) {
    switch (level) {
    case TLimitLevel::Normal:
        return "";
    case TLimitLevel::Caution:
        return "배정액의 상당 부분을 쓰셨습니다. 남은 금액을 확인하며 행사를 이어가 주세요.";
    case TLimitLevel::Imminent:
        return "배정액이 거의 찼습니다. 지금 멈추지 않으면 넘긴 만큼은 정산에서 빠집니다.";
    case TLimitLevel::Exhausted:
        return "배정액을 다 쓰셨습니다. 지금부터 붙는 할인은 정산에 들어가지 않습니다 — 농할 행사를 내리실지 "
               "정해 주세요.";
    case TLimitLevel::Disabled:
        return "이 매장의 농할이 중지되어 있습니다. 지금 붙는 할인은 정산에 들어가지 않습니다. 협회에 문의해 "
               "주세요.";
    default:
        return "아직 협회 서버에서 한도를 받지 못했습니다. 연결과 인증키를 확인해 주세요.";
    }
}

std::string WonDigits(std::int64_t v) {
    // Through unsigned so that the most negative value has a magnitude too.
    const std::uint64_t mag = v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
    const std::string digits = std::to_string(mag);
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out.push_back(',');
        out.push_back(digits[i]);
    }
    return v < 0 ? "-" + out : out;
}

std::string FormatWon(std::int64_t v) {
    return WonDigits(v) + "원";
}

} // namespace pavona
