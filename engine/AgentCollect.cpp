// Windows are computed on whole milliseconds (ToMSecs), so bounds never drift by a hair of a
// floating-point day and a row exactly on a bound is read once.
#include "engine/AgentCollect.h"

#include <algorithm>

namespace pavona {

bool IsPeakHour(int hour) {
    return (hour >= 11 && hour <= 13) || (hour >= 17 && hour <= 20);
}

int CollectInterval(int hour, int normalMinutes, int peakMinutes) {
    return IsPeakHour(hour) ? peakMinutes : normalMinutes;
}

Result<TCollectWindow> CollectWindow(const TCollectParams& p, TDateTime now, TDateTime watermark) {
    constexpr std::int64_t kMinute = 60000;
    const std::int64_t to = ToMSecs(now) - static_cast<std::int64_t>(p.LagMinutes) * kMinute;
    std::int64_t from;
    if (watermark <= 0) {
        from = to - static_cast<std::int64_t>(p.MaxMinutes) * kMinute;
        if (p.CollectFrom > 0 && ToMSecs(p.CollectFrom) < from) from = ToMSecs(p.CollectFrom);
    } else {
        from = ToMSecs(watermark) - static_cast<std::int64_t>(p.OverlapMinutes) * kMinute;
    }
    if (from >= to) return Fail("아직 읽을 새 구간이 없습니다.");
    std::int64_t end = to;
    if (p.MaxMinutes > 0 && (to - from) / kMinute > p.MaxMinutes) end = from + p.MaxMinutes * kMinute;
    TCollectWindow window;
    window.FromT = FromMSecs(from);
    window.ToT = FromMSecs(end);
    return window;
}

std::string SpoolDayOf(const TCollectWindow& window, TDateTime watermark) {
    const std::int64_t w = ToMSecs(watermark);
    const bool inside = w > ToMSecs(window.FromT) && w < ToMSecs(window.ToT);
    return FormatDay(inside ? watermark : window.FromT);
}

std::vector<TDateTime> LastFullDays(int n, TDateTime since, TDateTime to) {
    std::vector<TDateTime> days;
    if (n <= 0 || ToMSecs(since) >= ToMSecs(to)) return days;
    TDateTime d = DateOf(since);
    if (ToMSecs(since) > ToMSecs(d)) d = IncDay(d, 1);
    while (ToMSecs(IncDay(d, 1)) <= ToMSecs(to)) {
        days.push_back(d);
        d = IncDay(d, 1);
    }
    if (days.size() > static_cast<size_t>(n)) days.erase(days.begin(), days.end() - n);
    return days;
}

TWatermarkCheck CheckWatermark(TDateTime watermark, TDateTime since, TDateTime collectFrom, TDateTime now,
                               TDateTime newestSpooled) {
    TWatermarkCheck c;
    if (watermark <= 0) {
        if (since <= 0) return c;
        c.Fault = TWatermarkFault::Missing;
        c.ReadFrom = newestSpooled > 0 && ToMSecs(newestSpooled) <= ToMSecs(now) ? newestSpooled : since;
        return c;
    }
    const std::int64_t w = ToMSecs(watermark);
    if (w > ToMSecs(now)) {
        c.Fault = TWatermarkFault::AfterNow;
        c.ReadFrom =
            newestSpooled > 0 && ToMSecs(newestSpooled) <= ToMSecs(now) ? newestSpooled : IncDay(now, -1);
        return c;
    }
    std::int64_t start = 0;
    bool known = false;
    for (const TDateTime s : {since, collectFrom}) {
        if (s <= 0) continue;
        // A watermark at or after either start may be true (the association can move its start).
        if (w >= ToMSecs(s)) return c;
        start = known ? std::max(start, ToMSecs(s)) : ToMSecs(s);
        known = true;
    }
    if (!known) return c;
    c.Fault = TWatermarkFault::BeforeStart;
    c.ReadFrom = FromMSecs(start);
    return c;
}

} // namespace pavona
