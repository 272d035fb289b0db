// One value of a result row as the driver handed it over (NULL, integer, text or date-time) and
// the readings the POS mappings need: NULL reads as 0 or empty text.
#pragma once

#include "common/DateTime.h"

#include <cstdint>
#include <string>

namespace pavona {

struct TOdbcValue {
    enum class TKind { Null, Int, Text, Stamp };
    TKind Kind = TKind::Null;
    std::int64_t Int = 0;
    std::string Text; // UTF-8
    TDateTime Stamp = 0;

    static TOdbcValue OfInt(std::int64_t v);
    static TOdbcValue OfText(std::string v);
    static TOdbcValue OfStamp(TDateTime v);

    bool IsNull() const { return Kind == TKind::Null; }
    // Integers as they are; texts holding a whole or decimal number give its whole part (a
    // decimal money column "1200.00" is 1200 won); anything else reads as 0.
    std::int64_t AsInt64() const;
    int AsInt() const { return static_cast<int>(AsInt64()); }
    // Integers in decimal, date-times as "yyyy-mm-dd hh:nn:ss" (".zzz" when not whole seconds).
    std::string AsText() const;
    // Date-times as they are; texts in the forms databases write them ("yyyy-mm-dd",
    // "yyyy-mm-dd hh:nn[:ss[.fff…]]", with a blank or "T" between) are read; anything else is 0.
    TDateTime AsDateTime() const;
};

// The date-time text reading of AsDateTime (kDbStampForm); false when the text is not one of those
// forms.
bool ParseDbStamp(const std::string& text, TDateTime& out);

} // namespace pavona
