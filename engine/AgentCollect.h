// The collection window of each report cycle, the busy hours that stretch the collection period,
// the spool day of a window and the recent whole days the status heartbeat counts.
#pragma once

#include "common/DateTime.h"
#include "common/Result.h"

#include <string>
#include <vector>

namespace pavona {

struct TCollectParams {
    int LagMinutes = 10;
    int OverlapMinutes = 5;
    int MaxMinutes = 1440; // 0 or less: no limit
    TDateTime CollectFrom = 0;
};

struct TCollectWindow {
    TDateTime FromT = 0;
    TDateTime ToT = 0;
};

bool IsPeakHour(int hour);
int CollectInterval(int hour, int normalMinutes, int peakMinutes);
// The next window to read; fails when there is nothing new to read yet.
Result<TCollectWindow> CollectWindow(const TCollectParams& p, TDateTime now, TDateTime watermark);
std::string SpoolDayOf(const TCollectWindow& window, TDateTime watermark);
std::vector<TDateTime> LastFullDays(int n, TDateTime since, TDateTime to);

// A watermark that cannot be true: before the start of reporting, or later than now.
enum class TWatermarkFault { None, BeforeStart, AfterNow, Missing };
struct TWatermarkCheck {
    TWatermarkFault Fault = TWatermarkFault::None;
    TDateTime ReadFrom = 0; // where reading starts again when there is a fault
};
// Checks the stored watermark against the first window's start (`since`) and the association's
// collection start (either 0 when unknown), and against now. Before both starts it reads again
// from the later of them; after now from `newestSpooled`, the newest sale time already in the
// spool (0 when none: one day back), so that nothing sold since the last real collection is skipped.
// Missing or unreadable (0) after reporting has started (`since` known): from `newestSpooled`, or
// from `since` when the spool holds no sale, never a day back from now, which would skip every
// day the agent was off.
TWatermarkCheck CheckWatermark(TDateTime watermark, TDateTime since, TDateTime collectFrom, TDateTime now,
                               TDateTime newestSpooled);

} // namespace pavona
