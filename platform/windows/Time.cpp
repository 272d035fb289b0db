// Local time from the system's time zone settings.
#include "platform/Platform.h"

#include <windows.h>

namespace pavona::platform {

TDateTime SystemNowLocal() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    return EncodeDateTime(t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
}

int LocalUtcOffsetMinutes(TDateTime local) {
    const TDateParts p = DecodeDateTime(local);
    SYSTEMTIME l{};
    l.wYear = static_cast<WORD>(p.Year);
    l.wMonth = static_cast<WORD>(p.Month);
    l.wDay = static_cast<WORD>(p.Day);
    l.wHour = static_cast<WORD>(p.Hour);
    l.wMinute = static_cast<WORD>(p.Minute);
    l.wSecond = static_cast<WORD>(p.Second);
    SYSTEMTIME u{};
    if (!TzSpecificLocalTimeToSystemTime(nullptr, &l, &u)) return 0;
    const TDateTime utc = EncodeDateTime(u.wYear, u.wMonth, u.wDay, u.wHour, u.wMinute, u.wSecond, 0);
    const TDateTime localWhole = EncodeDateTime(p.Year, p.Month, p.Day, p.Hour, p.Minute, p.Second, 0);
    return static_cast<int>((ToMSecs(localWhole) - ToMSecs(utc)) / 60000);
}

} // namespace pavona::platform
