// Calendar arithmetic after the days-from-civil method, anchored at 1899-12-30.
#include "common/DateTime.h"

#include "common/Text.h"

#include <cmath>
#include <cstdio>

namespace pavona {
namespace {

// Days from 1970-01-01 to the given civil date.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(y + (month <= 2));
}

constexpr std::int64_t kUnixEpochSerial = 25569; // 1970-01-01 as days since 1899-12-30

bool Digits(std::string_view s, size_t pos, size_t count, int& value) {
    if (pos + count > s.size()) return false;
    value = 0;
    for (size_t i = pos; i < pos + count; ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        value = value * 10 + (s[i] - '0');
    }
    return true;
}

const char* const kWeekdays[] = {"월", "화", "수", "목", "금", "토", "일"};

} // namespace

bool IsValidDate(int year, int month, int day) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    const int last = (month == 2 && leap) ? 29 : kDays[month - 1];
    return day <= last;
}

std::int64_t DaySerial(int year, int month, int day) {
    return DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) + kUnixEpochSerial;
}

TDateTime EncodeDate(int year, int month, int day) {
    return static_cast<double>(DaySerial(year, month, day));
}

bool TryEncodeDate(int year, int month, int day, TDateTime& out) {
    if (!IsValidDate(year, month, day)) return false;
    out = EncodeDate(year, month, day);
    return true;
}

TDateTime EncodeTime(int hour, int minute, int second, int msec) {
    const std::int64_t ms = ((static_cast<std::int64_t>(hour) * 60 + minute) * 60 + second) * 1000 + msec;
    return static_cast<double>(ms) / static_cast<double>(kMSecsPerDay);
}

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec) {
    const std::int64_t ms = DaySerial(year, month, day) * kMSecsPerDay +
                            ((static_cast<std::int64_t>(hour) * 60 + minute) * 60 + second) * 1000 + msec;
    return FromMSecs(ms);
}

std::int64_t ToMSecs(TDateTime t) {
    return std::llround(t * static_cast<double>(kMSecsPerDay));
}

TDateTime FromMSecs(std::int64_t ms) {
    // Split so that whole days stay exact and only the fraction carries rounding.
    std::int64_t days = ms / kMSecsPerDay;
    std::int64_t rest = ms % kMSecsPerDay;
    if (rest < 0) {
        rest += kMSecsPerDay;
        --days;
    }
    return static_cast<double>(days) + static_cast<double>(rest) / static_cast<double>(kMSecsPerDay);
}

TDateParts DecodeDateTime(TDateTime t) {
    const std::int64_t ms = ToMSecs(t);
    std::int64_t days = ms / kMSecsPerDay;
    std::int64_t rest = ms % kMSecsPerDay;
    if (rest < 0) {
        rest += kMSecsPerDay;
        --days;
    }
    TDateParts p;
    CivilFromDays(days - kUnixEpochSerial, p.Year, p.Month, p.Day);
    p.MSec = static_cast<int>(rest % 1000);
    rest /= 1000;
    p.Second = static_cast<int>(rest % 60);
    rest /= 60;
    p.Minute = static_cast<int>(rest % 60);
    p.Hour = static_cast<int>(rest / 60);
    return p;
}

TDateTime DateOf(TDateTime t) {
    const TDateParts p = DecodeDateTime(t);
    return EncodeDate(p.Year, p.Month, p.Day);
}

TDateTime IncDay(TDateTime t, int days) {
    return FromMSecs(ToMSecs(t) + days * kMSecsPerDay);
}
TDateTime IncMinute(TDateTime t, std::int64_t minutes) {
    return FromMSecs(ToMSecs(t) + minutes * 60000);
}
TDateTime IncSecond(TDateTime t, std::int64_t seconds) {
    return FromMSecs(ToMSecs(t) + seconds * 1000);
}

int DayOfTheWeek(TDateTime t) {
    // 1899-12-30 was a Saturday (6 in Monday-first numbering).
    std::int64_t days = ToMSecs(t) / kMSecsPerDay;
    if (ToMSecs(t) < 0 && ToMSecs(t) % kMSecsPerDay != 0) --days;
    std::int64_t w = (days + 5) % 7;
    if (w < 0) w += 7;
    return static_cast<int>(w) + 1;
}

std::string FormatDateTime(std::string_view pattern, TDateTime t) {
    const TDateParts p = DecodeDateTime(t);
    std::string out;
    char buf[16];
    auto run = [&](size_t i, char c) {
        size_t n = 0;
        while (i + n < pattern.size() && (pattern[i + n] | 0x20) == c)
            ++n;
        return n;
    };
    for (size_t i = 0; i < pattern.size();) {
        const char c = pattern[i];
        const char lc = static_cast<char>(c | 0x20);
        if (c == '"') {
            const size_t end = pattern.find('"', i + 1);
            const size_t stop = end == std::string_view::npos ? pattern.size() : end;
            out.append(pattern.substr(i + 1, stop - i - 1));
            i = stop == pattern.size() ? stop : stop + 1;
            continue;
        }
        size_t n = (lc >= 'a' && lc <= 'z') ? run(i, lc) : 0;
        switch (n ? lc : '\0') {
        case 'y':
            if (n >= 3) {
                std::snprintf(buf, sizeof buf, "%04d", p.Year);
            } else {
                std::snprintf(buf, sizeof buf, "%02d", p.Year % 100);
            }
            break;
        case 'm':
            n = n >= 2 ? 2 : 1;
            std::snprintf(buf, sizeof buf, n == 2 ? "%02d" : "%d", p.Month);
            break;
        case 'd':
            if (n >= 3) {
                n = 3;
                std::snprintf(buf, sizeof buf, "%s", kWeekdays[DayOfTheWeek(t) - 1]);
            } else {
                std::snprintf(buf, sizeof buf, n == 2 ? "%02d" : "%d", p.Day);
            }
            break;
        case 'h':
            n = n >= 2 ? 2 : 1;
            std::snprintf(buf, sizeof buf, n == 2 ? "%02d" : "%d", p.Hour);
            break;
        case 'n':
            n = n >= 2 ? 2 : 1;
            std::snprintf(buf, sizeof buf, n == 2 ? "%02d" : "%d", p.Minute);
            break;
        case 's':
            n = n >= 2 ? 2 : 1;
            std::snprintf(buf, sizeof buf, n == 2 ? "%02d" : "%d", p.Second);
            break;
        case 'z':
            n = n >= 3 ? 3 : 1;
            std::snprintf(buf, sizeof buf, n == 3 ? "%03d" : "%d", p.MSec);
            break;
        default:
            out.push_back(c);
            ++i;
            continue;
        }
        out.append(buf);
        i += n;
    }
    return out;
}

std::string FormatDay(TDateTime t) {
    return FormatDateTime("yyyy-mm-dd", t);
}
std::string FormatStamp(TDateTime t) {
    return FormatDateTime("yyyy-mm-dd hh:nn:ss", t);
}
std::string FormatIsoStamp(TDateTime t) {
    return FormatDateTime("yyyy-mm-dd\"T\"hh:nn:ss", t);
}

bool ParseStampAs(std::string_view text, const TStampForm& form, TDateTime& out, std::string_view* rest) {
    size_t pos = 0;
    auto field = [&](size_t count, int& value) {
        if (form.SignedFields) {
            if (pos + count > text.size() || !TryParseInt(text.substr(pos, count), value)) return false;
        } else if (!Digits(text, pos, count, value)) {
            return false;
        }
        pos += count;
        return true;
    };
    auto separator = [&](std::string_view allowed) {
        if (pos >= text.size()) return false;
        if (form.AnySeparators) {
            pos += Utf8Offset(text.substr(pos), 1);
            return true;
        }
        if (allowed.find(text[pos]) == std::string_view::npos) return false;
        ++pos;
        return true;
    };
    int y, mo, d, h = 0, mi = 0, s = 0, ms = 0;
    if (!field(4, y) || !separator("-") || !field(2, mo) || !separator("-") || !field(2, d)) return false;
    if (form.Time == TStampTime::Seconds || (form.Time == TStampTime::Optional && pos < text.size())) {
        if (!separator(form.TimeSeparators) || !field(2, h) || !separator(":") || !field(2, mi)) return false;
        if (form.Time == TStampTime::Seconds || pos < text.size()) {
            if (!separator(":") || !field(2, s)) return false;
            if (form.Fraction != TStampFraction::None && pos < text.size() && text[pos] == '.') {
                ++pos;
                size_t n = 0;
                for (int scale = 100; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos, ++n) {
                    const int digit = text[pos] - '0';
                    if (n < 3) {
                        ms += digit * scale;
                        scale /= 10;
                    } else if (n == 3 && digit >= 5) {
                        ++ms; // 999 rounds up to the next second
                    }
                }
                if (n == 0 || (form.Fraction == TStampFraction::Millis && n != 3)) return false;
            }
        }
    }
    if (!form.AnyTail && pos != text.size()) return false;
    if (y < form.MinYear || !IsValidDate(y, mo, d)) return false;
    if (h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 || s > 59) return false;
    out = FromMSecs(DaySerial(y, mo, d) * kMSecsPerDay +
                    ((static_cast<std::int64_t>(h) * 60 + mi) * 60 + s) * 1000 + ms);
    if (rest) *rest = text.substr(pos);
    return true;
}

bool ParseDay(std::string_view text, TDateTime& out) {
    return ParseStampAs(text, kDayForm, out);
}

bool ParseStampText(std::string_view text, TDateTime& out) {
    return ParseStampAs(text, kStampTextForm, out);
}

TDateTime ParsePolicyDate(std::string_view text) {
    TDateTime day = 0;
    return ParseStampAs(text, kPolicyDateForm, day) ? day : 0;
}

std::string FormatInvariant(TDateTime t) {
    const TDateParts p = DecodeDateTime(t);
    if (p.Hour == 0 && p.Minute == 0 && p.Second == 0 && p.MSec == 0) return FormatDateTime("mm/dd/yyyy", t);
    return FormatDateTime("mm/dd/yyyy hh:nn:ss", t);
}

TDateTime ParseInvariant(std::string_view text) {
    int m, d, y, h = 0, n = 0, s = 0;
    if (text.size() != 10 && text.size() != 19) return 0;
    if (text[2] != '/' || text[5] != '/') return 0;
    if (!Digits(text, 0, 2, m) || !Digits(text, 3, 2, d) || !Digits(text, 6, 4, y)) return 0;
    if (text.size() == 19) {
        if (text[10] != ' ' || text[13] != ':' || text[16] != ':') return 0;
        if (!Digits(text, 11, 2, h) || !Digits(text, 14, 2, n) || !Digits(text, 17, 2, s)) return 0;
        if (h > 23 || n > 59 || s > 59) return 0;
    }
    TDateTime day;
    if (!TryEncodeDate(y, m, d, day)) return 0;
    return FromMSecs(ToMSecs(day) + ((static_cast<std::int64_t>(h) * 60 + n) * 60 + s) * 1000);
}

} // namespace pavona
