// Character-counting UTF-8 helpers and string routines.
#include "common/Text.h"

#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <cstdio>
#include <limits>

namespace pavona {

bool Utf8DecodeAt(std::string_view s, size_t pos, char32_t& cp, size_t& len) {
    const auto b = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char c = b(pos);
    if (c < 0x80) {
        cp = c;
        len = 1;
        return true;
    }
    size_t need;
    char32_t value;
    unsigned char lo = 0x80, hi = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
        need = 1;
        value = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        need = 2;
        value = c & 0x0F;
        if (c == 0xE0) lo = 0xA0;
        if (c == 0xED) hi = 0x9F; // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        need = 3;
        value = c & 0x07;
        if (c == 0xF0) lo = 0x90;
        if (c == 0xF4) hi = 0x8F;
    } else {
        len = 1;
        return false;
    }
    size_t i = 1;
    for (; i <= need; ++i) {
        if (pos + i >= s.size()) break;
        const unsigned char t = b(pos + i);
        if (t < lo || t > hi) break;
        lo = 0x80;
        hi = 0xBF;
        value = (value << 6) | (t & 0x3F);
    }
    if (i <= need) {
        len = i; // the maximal ill-formed subpart
        return false;
    }
    cp = value;
    len = need + 1;
    return true;
}

void Utf8Append(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

namespace {
// Report texts are mostly ASCII: from `i`, whole eight-byte words of it are passed over without
// decoding. Returns where the first word holding another byte (or the text's tail) begins.
size_t AsciiWordsEnd(std::string_view s, size_t i) {
    while (i + 8 <= s.size()) {
        std::uint64_t word;
        std::memcpy(&word, s.data() + i, 8);
        if ((word & 0x8080808080808080ull) != 0) break;
        i += 8;
    }
    return i;
}
} // namespace

bool Utf8Valid(std::string_view s) {
    for (size_t i = 0; i < s.size();) {
        if (static_cast<unsigned char>(s[i]) < 0x80) {
            i = AsciiWordsEnd(s, i + 1);
            continue;
        }
        char32_t cp;
        size_t len;
        if (!Utf8DecodeAt(s, i, cp, len)) return false;
        i += len;
    }
    return true;
}

std::string Utf8Sanitize(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        char32_t cp;
        size_t len;
        if (Utf8DecodeAt(s, i, cp, len)) {
            out.append(s.substr(i, len));
        } else {
            out.append("\xEF\xBF\xBD");
        }
        i += len;
    }
    return out;
}

std::u32string Utf8ToCodePoints(std::string_view s) {
    std::u32string out;
    for (size_t i = 0; i < s.size();) {
        char32_t cp;
        size_t len;
        out.push_back(Utf8DecodeAt(s, i, cp, len) ? cp : U'\uFFFD');
        i += len;
    }
    return out;
}

std::string CodePointsToUtf8(std::u32string_view s) {
    std::string out;
    for (char32_t cp : s)
        Utf8Append(out, cp);
    return out;
}

std::u16string Utf8ToUtf16(std::string_view s) {
    std::u16string out;
    for (char32_t cp : Utf8ToCodePoints(s)) {
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view s) {
    std::string out;
    Utf16ToUtf8(s, out);
    return out;
}

void Utf16ToUtf8(std::u16string_view s, std::string& out) {
    out.clear();
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        char32_t cp = s[i];
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
            continue;
        }
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD; // a lone surrogate has no UTF-8 form
        }
        Utf8Append(out, cp);
    }
}

size_t Utf8Length(std::string_view s) {
    size_t n = 0;
    for (size_t i = 0; i < s.size();) {
        if (static_cast<unsigned char>(s[i]) < 0x80) {
            const size_t end = AsciiWordsEnd(s, i + 1);
            n += end - i;
            i = end;
            continue;
        }
        char32_t cp;
        size_t len;
        Utf8DecodeAt(s, i, cp, len);
        i += len;
        ++n;
    }
    return n;
}

size_t Utf8Offset(std::string_view s, size_t chars) {
    size_t i = 0;
    for (size_t n = 0; n < chars && i < s.size(); ++n) {
        char32_t cp;
        size_t len;
        Utf8DecodeAt(s, i, cp, len);
        i += len;
    }
    return i;
}

std::string Utf8Left(std::string_view s, size_t chars) {
    return std::string(s.substr(0, Utf8Offset(s, chars)));
}

std::string Utf8Mid(std::string_view s, size_t start, size_t count) {
    const size_t from = Utf8Offset(s, start);
    std::string_view rest = s.substr(from);
    if (count == std::string_view::npos) return std::string(rest);
    return std::string(rest.substr(0, Utf8Offset(rest, count)));
}

std::string Utf8PadLeft(std::string_view s, size_t width) {
    const size_t n = Utf8Length(s);
    return n >= width ? std::string(s) : std::string(width - n, ' ') + std::string(s);
}

namespace {
bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= 0x20;
}
} // namespace

std::string TrimLeft(std::string_view s) {
    size_t a = 0;
    while (a < s.size() && IsBlank(s[a]))
        ++a;
    return std::string(s.substr(a));
}

std::string TrimRight(std::string_view s) {
    size_t b = s.size();
    while (b > 0 && IsBlank(s[b - 1]))
        --b;
    return std::string(s.substr(0, b));
}

std::string Trim(std::string_view s) {
    return std::string(TrimView(s));
}

std::string_view TrimView(std::string_view s) {
    size_t a = 0, b = s.size();
    while (b > 0 && IsBlank(s[b - 1]))
        --b;
    while (a < b && IsBlank(s[a]))
        ++a;
    return s.substr(a, b - a);
}

std::string LowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return out;
}

std::string UpperAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return out;
}

bool SameTextAscii(std::string_view a, std::string_view b) {
    return a.size() == b.size() && LowerAscii(a) == LowerAscii(b);
}

bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}
bool EndsWith(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

std::string ReplaceAll(std::string_view s, std::string_view from, std::string_view to) {
    if (from.empty()) return std::string(s);
    std::string out;
    size_t pos = 0;
    for (size_t hit; (hit = s.find(from, pos)) != std::string_view::npos; pos = hit + from.size()) {
        out.append(s.substr(pos, hit - pos));
        out.append(to);
    }
    out.append(s.substr(pos));
    return out;
}

std::vector<std::string> Split(std::string_view s, char sep) {
    std::vector<std::string> out;
    size_t pos = 0;
    for (size_t hit; (hit = s.find(sep, pos)) != std::string_view::npos; pos = hit + 1)
        out.emplace_back(s.substr(pos, hit - pos));
    out.emplace_back(s.substr(pos));
    return out;
}

bool TryParseInt64(std::string_view s, std::int64_t& out) {
    size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    if (i == s.size()) return false;
    // Accumulate negatively so that the most negative value parses too.
    std::int64_t value = 0;
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        const int d = s[i] - '0';
        if (value < (kMin + d) / 10) return false;
        value = value * 10 - d;
    }
    if (!negative) {
        if (value == kMin) return false;
        value = -value;
    }
    out = value;
    return true;
}

bool TryParseInt(std::string_view s, int& out) {
    std::int64_t v;
    if (!TryParseInt64(s, v) || v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
        return false;
    out = static_cast<int>(v);
    return true;
}

std::int64_t StrToInt64Def(std::string_view s, std::int64_t def) {
    std::int64_t v;
    return TryParseInt64(s, v) ? v : def;
}

int StrToIntDef(std::string_view s, int def) {
    int v;
    return TryParseInt(s, v) ? v : def;
}

std::string Fmt(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string out;
    if (n > 0) {
        out.resize(static_cast<size_t>(n) + 1);
        std::vsnprintf(out.data(), out.size(), format, args);
        out.resize(static_cast<size_t>(n));
    }
    va_end(args);
    return out;
}

namespace {
const char kB64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
int B64Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}
} // namespace

std::string Base64Encode(std::string_view bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) |
                           (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                           static_cast<unsigned char>(bytes[i + 2]);
        out += kB64[v >> 18];
        out += kB64[(v >> 12) & 63];
        out += kB64[(v >> 6) & 63];
        out += kB64[v & 63];
    }
    if (i < bytes.size()) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size()) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += kB64[v >> 18];
        out += kB64[(v >> 12) & 63];
        out += i + 1 < bytes.size() ? kB64[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

bool Base64Decode(std::string_view text, std::string& out) {
    std::string clean;
    for (char c : text)
        if (!IsBlank(c)) clean.push_back(c);
    if (clean.size() % 4 != 0) return false;
    out.clear();
    for (size_t i = 0; i < clean.size(); i += 4) {
        int v[4];
        int pad = 0;
        for (int k = 0; k < 4; ++k) {
            const char c = clean[i + k];
            if (c == '=' && i + 4 == clean.size() && k >= 2) {
                v[k] = 0;
                ++pad;
            } else if (pad > 0 || (v[k] = B64Value(c)) < 0) {
                return false;
            }
        }
        const unsigned n = (v[0] << 18) | (v[1] << 12) | (v[2] << 6) | v[3];
        out.push_back(static_cast<char>(n >> 16));
        if (pad < 2) out.push_back(static_cast<char>((n >> 8) & 0xFF));
        if (pad < 1) out.push_back(static_cast<char>(n & 0xFF));
    }
    return true;
}

} // namespace pavona
