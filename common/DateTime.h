// Local date-times as days since 1899-12-30 with the time of day as fraction (0 means unset),
// with the encode, decode, format and parse helpers the agent's files and texts need.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pavona {

using TDateTime = double;

constexpr double kMinutesPerDay = 1440.0;
constexpr double kSecondsPerDay = 86400.0;
constexpr std::int64_t kMSecsPerDay = 86400000;

struct TDateParts {
    int Year = 1899;
    int Month = 12;
    int Day = 30;
    int Hour = 0;
    int Minute = 0;
    int Second = 0;
    int MSec = 0;
};

bool IsValidDate(int year, int month, int day);
// Whole days since 1899-12-30 for a proleptic Gregorian date (no validation).
std::int64_t DaySerial(int year, int month, int day);
TDateTime EncodeDate(int year, int month, int day);
bool TryEncodeDate(int year, int month, int day, TDateTime& out);
TDateTime EncodeTime(int hour, int minute, int second, int msec);
TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec = 0);
// Decoding rounds to the nearest millisecond, so values built by arithmetic decode as written.
TDateParts DecodeDateTime(TDateTime t);
// Milliseconds since 1899-12-30, rounded; the exact form used to compare and order instants.
std::int64_t ToMSecs(TDateTime t);
TDateTime FromMSecs(std::int64_t ms);

TDateTime DateOf(TDateTime t);
TDateTime IncDay(TDateTime t, int days);
TDateTime IncMinute(TDateTime t, std::int64_t minutes);
TDateTime IncSecond(TDateTime t, std::int64_t seconds);
// 1 = Monday .. 7 = Sunday.
int DayOfTheWeek(TDateTime t);

// Pattern tokens: yyyy yy mm m dd d ddd (Korean short weekday) hh h nn n ss s zzz; any other
// character is copied, and text between double quotes is copied without the quotes.
std::string FormatDateTime(std::string_view pattern, TDateTime t);
std::string FormatDay(TDateTime t);   // yyyy-mm-dd
std::string FormatStamp(TDateTime t); // yyyy-mm-dd hh:nn:ss

// Exactly "yyyy-mm-dd" naming a real date.
bool ParseDay(std::string_view text, TDateTime& out);
// "yyyy-mm-dd hh:nn:ss" with an optional ".zzz"; nothing else around it.
bool ParseStampText(std::string_view text, TDateTime& out);

// The settings file's invariant form: "mm/dd/yyyy hh:nn:ss", the time left out at exactly midnight;
// an unset value (0) is written as "12/30/1899".
std::string FormatInvariant(TDateTime t);
// Reads that form back; anything that does not parse reads as unset (0).
TDateTime ParseInvariant(std::string_view text);

} // namespace pavona
