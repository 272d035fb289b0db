// Fuzz target: the date-time helpers (ParseStampAs under every form, the settings file's invariant
// form, decoding, encoding and formatting) on any text.
#include "common/DateTime.h"
#include "common/Text.h"
#include "fuzz/FuzzSupport.h"

#include <cstring>

// Properties: every form gives a real date within its years that formats back to what was read;
// the invariant form reads back what it writes; any instant of years 1 to 9999 decodes, encodes and
// formats consistently.

namespace pavona::fuzz {
namespace {

constexpr std::int64_t kFirstMs = -693593LL * kMSecsPerDay;      // 0001-01-01 00:00
constexpr std::int64_t kLastMs = (2958466LL * kMSecsPerDay) - 1; // 9999-12-31 23:59:59.999

void CheckInstant(TDateTime t, int minYear) {
    const std::int64_t ms = ToMSecs(t);
    FUZZ_CHECK(ms >= kFirstMs && ms <= kLastMs);
    const TDateParts p = DecodeDateTime(t);
    FUZZ_CHECK(p.Year >= minYear && IsValidDate(p.Year, p.Month, p.Day));
    FUZZ_CHECK(p.Hour >= 0 && p.Hour <= 23 && p.Minute >= 0 && p.Minute <= 59 && p.Second >= 0 &&
               p.Second <= 59 && p.MSec >= 0 && p.MSec <= 999);
    FUZZ_CHECK(ToMSecs(EncodeDateTime(p.Year, p.Month, p.Day, p.Hour, p.Minute, p.Second, p.MSec)) == ms);
}

struct TFormCase {
    const char* Name;
    TStampForm Form;
};

void CheckForms(const std::string& text) {
    static const TFormCase forms[] = {
        {"day", kDayForm},           {"stamp text", kStampTextForm}, {"db stamp", kDbStampForm},
        {"policy", kPolicyDateForm}, {"spool", kSpoolStampForm},     {"sold_at", kSoldAtForm},
    };
    for (const TFormCase& f : forms) {
        TDateTime t = 12345.5;
        std::string_view rest = "unset";
        if (!ParseStampAs(text, f.Form, t, &rest)) {
            FUZZ_CHECK(t == 12345.5); // untouched on failure
            continue;
        }
        CheckInstant(t, f.Form.MinYear);
        if (!f.Form.AnyTail) FUZZ_CHECK(rest.empty());
        FUZZ_CHECK(rest.size() <= text.size() &&
                   text.compare(text.size() - rest.size(), rest.size(), rest) == 0);
        // What was read is the text before the rest; read again it gives the same instant.
        const std::string_view read(text.data(), text.size() - rest.size());
        TDateTime again = 0;
        FUZZ_CHECK(ParseStampAs(read, f.Form, again) && ToMSecs(again) == ToMSecs(t));
        // The strict forms are the formats the agent writes: they format back byte for byte.
        if (!f.Form.AnySeparators && !f.Form.SignedFields) {
            if (f.Form.Time == TStampTime::None) FUZZ_CHECK(FormatDay(t) == read);
            if (f.Form.Time == TStampTime::Seconds && read.size() == 19) FUZZ_CHECK(FormatStamp(t) == read);
        }
        // Whatever form read it, the agent's own stamp of it reads back as the same second.
        TDateTime stamp = 0;
        FUZZ_CHECK(ParseStampText(FormatStamp(t), stamp) &&
                   ToMSecs(stamp) == ToMSecs(t) / 1000 * 1000 - (ToMSecs(t) % 1000 < 0 ? 1000 : 0));
    }
    TDateTime day = 0;
    if (ParseDay(text, day)) FUZZ_CHECK(FormatDay(day) == text);
    const TDateTime policy = ParsePolicyDate(text);
    if (policy != 0) CheckInstant(policy, 2000);
}

void CheckInvariant(const std::string& text) {
    const TDateTime t = ParseInvariant(text);
    if (t == 0) return;
    CheckInstant(t, 1);
    FUZZ_CHECK(ToMSecs(ParseInvariant(FormatInvariant(t))) == ToMSecs(t));
    // The written form is the text itself, except that a midnight time is left out.
    const std::string written = FormatInvariant(t);
    FUZZ_CHECK(written == text ||
               (text.size() == 19 && text.substr(10) == " 00:00:00" && written == text.substr(0, 10)));
}

// Eight bytes as an instant anywhere in years 1..9999, and the rest as a format pattern.
void CheckInstantAndPattern(const std::uint8_t* data, std::size_t size) {
    if (size < 8) return;
    std::uint64_t raw = 0;
    std::memcpy(&raw, data, 8);
    const std::int64_t span = kLastMs - kFirstMs + 1;
    const std::int64_t ms = kFirstMs + static_cast<std::int64_t>(raw % static_cast<std::uint64_t>(span));
    const TDateTime t = FromMSecs(ms);
    FUZZ_CHECK(ToMSecs(t) == ms);
    CheckInstant(t, 1);
    const int weekday = DayOfTheWeek(t);
    FUZZ_CHECK(weekday >= 1 && weekday <= 7);
    FUZZ_CHECK(DayOfTheWeek(IncDay(t, 1)) == weekday % 7 + 1 || ms + kMSecsPerDay > kLastMs);
    TDateTime back = 0;
    FUZZ_CHECK(ParseDay(FormatDay(t), back) && ToMSecs(back) == ToMSecs(DateOf(t)));
    FUZZ_CHECK(ToMSecs(DateOf(t)) <= ms && ms - ToMSecs(DateOf(t)) < kMSecsPerDay);
    if (DecodeDateTime(t).Year >= 2000) FUZZ_CHECK(ParseStampAs(FormatStamp(t), kSpoolStampForm, back));
    const std::string pattern(reinterpret_cast<const char*>(data) + 8, size - 8);
    const std::string formatted = FormatDateTime(pattern, t);
    FUZZ_CHECK(formatted.size() <= 8 * pattern.size() + 8);
}

} // namespace
} // namespace pavona::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pavona::fuzz;
    const std::string text(reinterpret_cast<const char*>(data), size);
    CheckForms(text);
    CheckInvariant(text);
    CheckInstantAndPattern(data, size);
    return 0;
}
