// Fuzz target: the UTF-8 and UTF-16 helpers, trimming, splitting, Base64, JSON string quoting and
// the integer reader on any bytes.
#include "common/JsonText.h"
#include "common/Text.h"
#include "fuzz/FuzzSupport.h"
#include "server/ApiJson.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

// Properties: every conversion ends in valid UTF-8, the round trips hold, character counts agree with
// each other, and integers read exactly as strtoll reads them.

namespace pavona::fuzz {
namespace {

void CheckUtf8(const std::string& s) {
    const std::string clean = Utf8Sanitize(s);
    FUZZ_CHECK(Utf8Valid(clean));
    if (Utf8Valid(s)) FUZZ_CHECK(clean == s);
    // One code point per character, an ill-formed run counting as one (U+FFFD).
    const std::u32string cps = Utf8ToCodePoints(s);
    FUZZ_CHECK(cps.size() == Utf8Length(s));
    FUZZ_CHECK(CodePointsToUtf8(cps) == clean);
    FUZZ_CHECK(Utf8Length(clean) == cps.size());
    // UTF-16 there and back gives the cleaned text; any UTF-16 gives valid UTF-8.
    const std::u16string units = Utf8ToUtf16(s);
    FUZZ_CHECK(Utf16ToUtf8(units) == clean);
    std::u16string raw(s.size() / 2, u'\0');
    for (std::size_t i = 0; i < raw.size(); ++i)
        raw[i] = static_cast<char16_t>(static_cast<unsigned char>(s[2 * i]) |
                                       static_cast<unsigned char>(s[2 * i + 1]) << 8);
    const std::string fromRaw = Utf16ToUtf8(raw);
    FUZZ_CHECK(Utf8Valid(fromRaw));
    FUZZ_CHECK(Utf8ToUtf16(fromRaw).size() == raw.size()); // lone surrogates become one U+FFFD each

    // Cutting by characters: the left part and the rest make the whole, at a character boundary.
    const std::size_t n = cps.size();
    const std::size_t cut = s.empty() ? 0 : static_cast<unsigned char>(s[0]) % (n + 2);
    const std::size_t at = Utf8Offset(s, cut);
    FUZZ_CHECK(at <= s.size());
    FUZZ_CHECK(Utf8Left(s, cut) + Utf8Mid(s, cut) == s);
    FUZZ_CHECK(Utf8Length(Utf8Left(s, cut)) == std::min(cut, n));
    FUZZ_CHECK(Utf8Length(Utf8Mid(s, cut)) == n - std::min(cut, n));
    FUZZ_CHECK(Utf8Length(Utf8Mid(s, cut / 2, cut)) <= cut);
    FUZZ_CHECK(Utf8Length(Utf8PadLeft(s, cut)) == std::max(cut, n));
}

void CheckTrimAndSplit(const std::string& s) {
    const std::string t = Trim(s);
    FUZZ_CHECK(t.size() <= s.size() && s.find(t) != std::string::npos);
    FUZZ_CHECK(t.empty() ||
               (static_cast<unsigned char>(t.front()) > 0x20 && static_cast<unsigned char>(t.back()) > 0x20));
    FUZZ_CHECK(Trim(t) == t && TrimLeft(TrimRight(s)) == t);
    const std::vector<std::string> parts = Split(s, '\t');
    std::string joined;
    for (std::size_t i = 0; i < parts.size(); ++i)
        joined += (i ? "\t" : "") + parts[i];
    FUZZ_CHECK(joined == s);
    FUZZ_CHECK(LowerAscii(UpperAscii(s)) == LowerAscii(s) && SameTextAscii(s, UpperAscii(s)));
}

// strtoll's reading of the whole text, without its leniencies: no leading blanks.
bool StrtollWhole(const std::string& s, std::int64_t& out) {
    if (s.empty() || std::isspace(static_cast<unsigned char>(s[0]))) return false;
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(s.c_str(), &end, 10);
    if (end != s.c_str() + s.size() || errno == ERANGE) return false;
    out = v;
    return true;
}

void CheckNumbers(const std::string& s) {
    std::int64_t mine = 0, theirs = 0;
    const bool ok = TryParseInt64(s, mine);
    FUZZ_CHECK(ok == StrtollWhole(s, theirs));
    if (ok) FUZZ_CHECK(mine == theirs);
    int small = 0;
    const bool fits = ok && mine >= INT32_MIN && mine <= INT32_MAX;
    FUZZ_CHECK(TryParseInt(s, small) == fits);
    if (fits) FUZZ_CHECK(small == mine);
    FUZZ_CHECK(StrToInt64Def(s, 7) == (ok ? mine : 7));
    // The writer's text reads back.
    if (ok) FUZZ_CHECK(TryParseInt64(std::to_string(mine), theirs) && theirs == mine);
}

void CheckBase64(const std::string& s) {
    std::string back;
    FUZZ_CHECK(Base64Decode(Base64Encode(s), back) && back == s);
    std::string decoded;
    if (Base64Decode(s, decoded)) {
        // Whatever decodes is canonical once encoded again: same length, same bytes back.
        std::string again;
        FUZZ_CHECK(Base64Decode(Base64Encode(decoded), again) && again == decoded);
    }
}

// The hand-written JSON string reads back through the server area's JSON reader as the cleaned text.
void CheckJsonString(const std::string& s) {
    const std::string quoted = JsonStr(s);
    FUZZ_CHECK(Utf8Valid(quoted));
    const TJsonNode doc = TJsonNode::Parse("{\"v\":" + quoted + "}");
    FUZZ_CHECK(doc.IsObject() && doc.Member("v").IsString());
    FUZZ_CHECK(JsonValueText(doc.Member("v")) == Utf8Sanitize(s));
}

} // namespace
} // namespace pavona::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pavona::fuzz;
    const std::string s(reinterpret_cast<const char*>(data), size);
    CheckUtf8(s);
    CheckTrimAndSplit(s);
    CheckNumbers(s);
    CheckBase64(s);
    CheckJsonString(s);
    return 0;
}
