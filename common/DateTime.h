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

// The POS clock runs on Korean time, UTC+9 all year (Korea keeps no daylight saving), and the
// association's stamps are UTC: times go out shifted back by this and come back shifted forward.
constexpr int kAssociationUtcOffsetMinutes = 540;

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
std::string FormatDay(TDateTime t);      // yyyy-mm-dd
std::string FormatStamp(TDateTime t);    // yyyy-mm-dd hh:nn:ss
std::string FormatIsoStamp(TDateTime t); // yyyy-mm-ddThh:nn:ss, no zone: the caller adds its own

// Every "yyyy-mm-dd[ hh:nn[:ss[.fff]]]" text is read by ParseStampAs under the form of the place it
// comes from. The fields sit at fixed places: a 4-character year, then 2 characters each.
enum class TStampTime {
    None,     // the date alone
    Seconds,  // "hh:nn:ss" required
    Optional, // nothing, "hh:nn" or "hh:nn:ss"
};
enum class TStampFraction {
    None,   // no fraction is read
    Millis, // ".zzz", exactly three digits, may follow the seconds
    Digits, // "." and one or more digits may follow the seconds: milliseconds from the first three,
            // rounded by the fourth, the rest read but not used
};
struct TStampForm {
    // False: "-" in the date, ":" in the time, one of TimeSeparators between them. True: any one
    // character stands between two fields, a UTF-8 character or an ill-formed byte run counting as
    // one, so files this agent wrote itself are not refused for a separator.
    bool AnySeparators = false;
    // True: a field is a decimal number that may carry a sign ("+1", "-0" reads 0); false: digits.
    bool SignedFields = false;
    TStampTime Time = TStampTime::None;
    std::string_view TimeSeparators = " ";
    TStampFraction Fraction = TStampFraction::None;
    // True: whatever follows what the form reads is left to the caller; false: nothing may follow.
    bool AnyTail = false;
    // Below this year a text is refused; IsValidDate bounds the rest (years 1..9999, real days).
    int MinYear = 1;
};

// The forms the agent reads. None skips a byte-order mark or blanks: callers trim first.
// Exactly "yyyy-mm-dd" (file names, correction days, probe bounds).
inline constexpr TStampForm kDayForm{};
// Exactly "yyyy-mm-dd hh:nn:ss" or with ".zzz" (the send log's own lines).
inline constexpr TStampForm kStampTextForm{.Time = TStampTime::Seconds, .Fraction = TStampFraction::Millis};
// "yyyy-mm-dd", "yyyy-mm-dd hh:nn", "yyyy-mm-dd hh:nn:ss" and that with any fraction, a blank or
// "T" before the time, nothing after (date-time texts as databases write them).
inline constexpr TStampForm kDbStampForm{
    .Time = TStampTime::Optional, .TimeSeparators = " T", .Fraction = TStampFraction::Digits};
// "yyyy-mm-dd" and anything after the 10th character, year 2000 on, signed fields (policy dates).
inline constexpr TStampForm kPolicyDateForm{.SignedFields = true, .AnyTail = true, .MinYear = 2000};
// "yyyy-mm-dd hh:nn:ss" with any separators and signed fields, anything after the 19th character,
// year 2000 on (the spool's watermark and since stamps).
inline constexpr TStampForm kSpoolStampForm{.AnySeparators = true,
                                            .SignedFields = true,
                                            .Time = TStampTime::Seconds,
                                            .AnyTail = true,
                                            .MinYear = 2000};
// As the spool's stamps but from year 1; the caller looks at what follows for a "Z" (a spooled
// line's "sold_at").
inline constexpr TStampForm kSoldAtForm{
    .AnySeparators = true, .SignedFields = true, .Time = TStampTime::Seconds, .AnyTail = true};

// The one reader of such texts. False, with `out` untouched, when the text is not of the form or
// names no real date or time of day (hours 0..23, minutes and seconds 0..59). When `rest` is given
// it gets what follows the part read (only ever non-empty under AnyTail).
bool ParseStampAs(std::string_view text, const TStampForm& form, TDateTime& out,
                  std::string_view* rest = nullptr);

// The readers under their forms.
bool ParseDay(std::string_view text, TDateTime& out);       // kDayForm
bool ParseStampText(std::string_view text, TDateTime& out); // kStampTextForm
// kPolicyDateForm → that day's midnight, or 0.
TDateTime ParsePolicyDate(std::string_view text);

// The settings file's invariant form: "mm/dd/yyyy hh:nn:ss", the time left out at exactly midnight;
// an unset value (0) is written as "12/30/1899".
std::string FormatInvariant(TDateTime t);
// Reads that form back; anything that does not parse reads as unset (0).
TDateTime ParseInvariant(std::string_view text);

} // namespace pavona
