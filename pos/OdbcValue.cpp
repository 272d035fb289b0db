// Result values and their readings.
#include "pos/OdbcValue.h"

#include "common/Text.h"

#include <cctype>

namespace pavona {

TOdbcValue TOdbcValue::OfInt(std::int64_t v) {
    TOdbcValue r;
    r.Kind = TKind::Int;
    r.Int = v;
    return r;
}

TOdbcValue TOdbcValue::OfText(std::string v) {
    TOdbcValue r;
    r.Kind = TKind::Text;
    r.Text = std::move(v);
    return r;
}

TOdbcValue TOdbcValue::OfStamp(TDateTime v) {
    TOdbcValue r;
    r.Kind = TKind::Stamp;
    r.Stamp = v;
    return r;
}

std::int64_t TOdbcValue::AsInt64() const {
    switch (Kind) {
    case TKind::Int:
        return Int;
    case TKind::Text: {
        const std::string t = Trim(Text);
        std::int64_t v = 0;
        if (TryParseInt64(t, v)) return v;
        // A decimal: digits, a point, digits; the whole part counts.
        const size_t point = t.find('.');
        if (point == std::string::npos) return 0;
        const std::string whole = t.substr(0, point), fraction = t.substr(point + 1);
        for (char c : fraction)
            if (!std::isdigit(static_cast<unsigned char>(c))) return 0;
        if (whole.empty() || whole == "-" || whole == "+") return 0;
        return TryParseInt64(whole, v) ? v : 0;
    }
    case TKind::Stamp:
    case TKind::Null:
        break;
    }
    return 0;
}

std::string TOdbcValue::AsText() const {
    switch (Kind) {
    case TKind::Int:
        return std::to_string(Int);
    case TKind::Text:
        return Text;
    case TKind::Stamp:
        return ToMSecs(Stamp) % 1000 == 0 ? FormatStamp(Stamp)
                                          : FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", Stamp);
    case TKind::Null:
        break;
    }
    return {};
}

TDateTime TOdbcValue::AsDateTime() const {
    if (Kind == TKind::Stamp) return Stamp;
    TDateTime t = 0;
    if (Kind == TKind::Text && ParseDbStamp(Trim(Text), t)) return t;
    return 0;
}

bool ParseDbStamp(const std::string& text, TDateTime& out) {
    return ParseStampAs(text, kDbStampForm, out);
}

} // namespace pavona
