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

namespace {

bool Digits(const std::string& s, size_t pos, size_t count, int& out) {
    if (pos + count > s.size()) return false;
    out = 0;
    for (size_t i = pos; i < pos + count; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(s[i]))) return false;
        out = out * 10 + (s[i] - '0');
    }
    return true;
}

} // namespace

bool ParseDbStamp(const std::string& text, TDateTime& out) {
    int y, mo, d, h = 0, mi = 0, s = 0, ms = 0;
    if (!Digits(text, 0, 4, y) || text.size() < 10 || text[4] != '-' || !Digits(text, 5, 2, mo) ||
        text[7] != '-' || !Digits(text, 8, 2, d) || !IsValidDate(y, mo, d))
        return false;
    size_t i = 10;
    if (i < text.size()) {
        if (text[i] != ' ' && text[i] != 'T') return false;
        if (!Digits(text, i + 1, 2, h) || i + 3 >= text.size() || text[i + 3] != ':' ||
            !Digits(text, i + 4, 2, mi))
            return false;
        i += 6;
        if (i < text.size()) {
            if (text[i] != ':' || !Digits(text, i + 1, 2, s)) return false;
            i += 3;
            if (i < text.size()) {
                if (text[i] != '.') return false;
                ++i;
                // Milliseconds from the first three fraction digits, rounded by the fourth.
                int scale = 100;
                size_t n = 0;
                for (; i < text.size(); ++i, ++n) {
                    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
                    const int digit = text[i] - '0';
                    if (n < 3) {
                        ms += digit * scale;
                        scale /= 10;
                    } else if (n == 3 && digit >= 5) {
                        ++ms;
                    }
                }
                if (n == 0) return false;
            }
        }
        if (h > 23 || mi > 59 || s > 59) return false;
    }
    out = FromMSecs(ToMSecs(EncodeDate(y, mo, d)) + ((h * 60 + mi) * 60 + s) * 1000LL + ms);
    return true;
}

} // namespace pavona
