// The ledger's readers of the spooled JSON texts: one member of a flat object, the sale time, money
// amounts and a whole spool line, without a full JSON parser (the texts are the agent's own).
#include "store/AgentLedger.h"

#include "common/Text.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace pavona {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Four hex digits at s[pos]; -1 when they are missing or not hex.
int Hex4At(std::string_view s, size_t pos) {
    if (pos + 4 > s.size()) return -1;
    int v = 0;
    for (size_t i = 0; i < 4; ++i) {
        const int d = HexValue(s[pos + i]);
        if (d < 0) return -1;
        v = v * 16 + d;
    }
    return v;
}

// A double from the whole text ("." as decimal point), only when it is a finite number.
bool TryParseDouble(std::string_view s, double& out) {
    if (s.empty()) return false;
    double v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, std::chars_format::general);
    if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(v)) return false;
    out = v;
    return true;
}

} // namespace

std::string JsonFieldText(std::string_view payload, std::string_view name) {
    // Appended piece by piece: GCC 12 at -O2 mistakes "literal" + string for an overlapping copy.
    std::string pattern;
    pattern.reserve(name.size() + 3);
    pattern += '"';
    pattern += name;
    pattern += "\":";
    const size_t at = payload.find(pattern);
    if (at == std::string_view::npos) return {};
    size_t i = at + pattern.size();
    while (i < payload.size() && IsBlank(payload[i]))
        ++i;
    if (i >= payload.size()) return {};
    if (payload[i] != '"') {
        const size_t start = i;
        while (i < payload.size() && !IsBlank(payload[i]) && payload[i] != ',' && payload[i] != '}')
            ++i;
        const std::string_view raw = payload.substr(start, i - start);
        if (raw == "null") return {};
        return Utf8Sanitize(raw);
    }
    std::string out;
    ++i;
    while (i < payload.size()) {
        const char c = payload[i];
        if (c == '"') break;
        if (c != '\\') {
            out.push_back(c);
            ++i;
            continue;
        }
        if (i + 1 >= payload.size()) break;
        const char e = payload[i + 1];
        i += 2;
        switch (e) {
        case 'b':
            out.push_back('\b');
            break;
        case 'f':
            out.push_back('\f');
            break;
        case 'n':
            out.push_back('\n');
            break;
        case 'r':
            out.push_back('\r');
            break;
        case 't':
            out.push_back('\t');
            break;
        case 'u': {
            const int unit = Hex4At(payload, i);
            if (unit < 0) {
                out.push_back('?');
                // The four characters that should have been hex digits belong to the escape.
                i = std::min(payload.size(), i + 4);
                break;
            }
            i += 4;
            char32_t cp = static_cast<char32_t>(unit);
            if (unit >= 0xD800 && unit <= 0xDBFF) {
                // A high surrogate joins the low surrogate escaped right after it into one character.
                const int low = (i + 1 < payload.size() && payload[i] == '\\' && payload[i + 1] == 'u')
                                    ? Hex4At(payload, i + 2)
                                    : -1;
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    cp = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) +
                         (static_cast<char32_t>(low) - 0xDC00);
                    i += 6;
                } else {
                    cp = 0xFFFD;
                }
            } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
                cp = 0xFFFD; // a lone low surrogate is no character
            }
            Utf8Append(out, cp);
            break;
        }
        default:
            out.push_back(e);
            break;
        }
    }
    // The value may come from a damaged file: never hand on bytes that are not UTF-8.
    return Utf8Valid(out) ? out : Utf8Sanitize(out);
}

TDateTime ParseSoldAt(std::string_view text) {
    TDateTime t = 0;
    std::string_view after;
    if (!ParseStampAs(text, kSoldAtForm, t, &after)) return 0;
    // The encoder writes UTC with a "Z"; the ledger counts in the store's local time.
    if (!after.empty() && after.front() == 'Z') {
        t = IncMinute(t, kAssociationUtcOffsetMinutes);
        // The last hours of the year 9999 in UTC fall on a local day after the calendar's end, which
        // no day text of the views can name.
        if (DecodeDateTime(t).Year > 9999) return 0;
    }
    return t;
}

std::int64_t ParseMoney(std::string_view text) {
    std::int64_t whole = 0;
    if (TryParseInt64(text, whole)) return whole;
    double v = 0;
    if (!TryParseDouble(text, v)) return 0;
    const double r = std::nearbyint(v); // the default rounding mode rounds ties to even
    // Outside the 64-bit range a value is no amount of money.
    if (!(r >= -9223372036854775808.0 && r < 9223372036854775808.0)) return 0;
    return static_cast<std::int64_t>(r);
}

bool ParseLedgerLine(std::string_view line, TLedgerLine& out) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const size_t tab1 = line.find('\t');
    if (tab1 == std::string_view::npos) return false;
    const size_t tab2 = line.find('\t', tab1 + 1);
    if (tab2 == std::string_view::npos) return false;
    const std::string_view payload = line.substr(tab2 + 1);
    if (payload.empty() || payload.front() != '{') return false;
    TLedgerLine l;
    l.SoldAt = ParseSoldAt(JsonFieldText(payload, "sold_at"));
    if (l.SoldAt == 0) return false;
    l.Key = Utf8Sanitize(line.substr(0, tab1));
    l.Receipt = JsonFieldText(payload, "receipt_no");
    l.PosNo = JsonFieldText(payload, "pos_no");
    l.Code = JsonFieldText(payload, "vendor_item_code");
    l.Name = JsonFieldText(payload, "vendor_item_name");
    l.Barcode = JsonFieldText(payload, "barcode");
    l.Member = JsonFieldText(payload, "member_no");
    if (!TryParseDouble(JsonFieldText(payload, "quantity"), l.Qty)) l.Qty = 0;
    l.UnitPrice = ParseMoney(JsonFieldText(payload, "unit_price"));
    l.Amount = ParseMoney(JsonFieldText(payload, "amount"));
    l.Discount = ParseMoney(JsonFieldText(payload, "discount_amount"));
    l.OwnDiscount = ParseMoney(JsonFieldText(payload, "own_discount"));
    out = std::move(l);
    return true;
}

} // namespace pavona
