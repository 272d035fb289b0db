// Local time from the C library, so the TZ variable is honoured.
#include "platform/Platform.h"

#include <cmath>
#include <ctime>

namespace pavona::platform {

TDateTime SystemNowLocal() {
    timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    tm local;
    localtime_r(&ts.tv_sec, &local);
    return EncodeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                          local.tm_sec, static_cast<int>(ts.tv_nsec / 1000000));
}

int LocalUtcOffsetMinutes(TDateTime local) {
    const TDateParts p = DecodeDateTime(local);
    tm t{};
    t.tm_year = p.Year - 1900;
    t.tm_mon = p.Month - 1;
    t.tm_mday = p.Day;
    t.tm_hour = p.Hour;
    t.tm_min = p.Minute;
    t.tm_sec = p.Second;
    t.tm_isdst = -1;
    const time_t when = mktime(&t);
    if (when == static_cast<time_t>(-1)) return 0;
    tm back;
    localtime_r(&when, &back);
    return static_cast<int>(back.tm_gmtoff / 60);
}

} // namespace pavona::platform
