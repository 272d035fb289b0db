// UTF-8 text helpers that count and cut by characters (code points), never bytes, plus the
// small string routines (trimming, ASCII case folding, number reading, formatting) used everywhere.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pavona {

// Decodes one character at s[pos]; on an invalid or truncated sequence returns false and sets
// len to the length of the maximal ill-formed subpart (at least 1).
bool Utf8DecodeAt(std::string_view s, size_t pos, char32_t& cp, size_t& len);
void Utf8Append(std::string& out, char32_t cp);
bool Utf8Valid(std::string_view s);
// Every ill-formed sequence becomes one U+FFFD, so the result is always valid UTF-8.
std::string Utf8Sanitize(std::string_view s);
std::u32string Utf8ToCodePoints(std::string_view s);
std::string CodePointsToUtf8(std::u32string_view s);
// UTF-16 code units (for texts that other systems measure that way).
std::u16string Utf8ToUtf16(std::string_view s);
std::string Utf16ToUtf8(std::u16string_view s);
// The same into `out` (replacing what it held), so that a buffer used again keeps its room.
void Utf16ToUtf8(std::u16string_view s, std::string& out);

// Number of characters; an ill-formed byte counts as one character.
size_t Utf8Length(std::string_view s);
// Byte offset where character number `chars` starts (s.size() when past the end).
size_t Utf8Offset(std::string_view s, size_t chars);
std::string Utf8Left(std::string_view s, size_t chars);
// Characters from `start` (0-based), at most `count` of them.
std::string Utf8Mid(std::string_view s, size_t start, size_t count = std::string_view::npos);
// Pads on the left with spaces to `width` characters (longer text is kept whole).
std::string Utf8PadLeft(std::string_view s, size_t width);

// Trimming removes white space and control characters (bytes up to 0x20) at the ends.
std::string Trim(std::string_view s);
// Trim without a copy: the view points into `s`.
std::string_view TrimView(std::string_view s);
std::string TrimLeft(std::string_view s);
std::string TrimRight(std::string_view s);

std::string LowerAscii(std::string_view s);
std::string UpperAscii(std::string_view s);
bool SameTextAscii(std::string_view a, std::string_view b);
bool StartsWith(std::string_view s, std::string_view prefix);
bool EndsWith(std::string_view s, std::string_view suffix);
std::string ReplaceAll(std::string_view s, std::string_view from, std::string_view to);
std::vector<std::string> Split(std::string_view s, char sep);

// Optional sign and decimal digits only, nothing around them; false on overflow.
bool TryParseInt64(std::string_view s, std::int64_t& out);
bool TryParseInt(std::string_view s, int& out);
std::int64_t StrToInt64Def(std::string_view s, std::int64_t def);
int StrToIntDef(std::string_view s, int def);

// printf-style formatting into a std::string.
// The format checks follow the C library that formats: the Windows build's toolchain names GNU's
// rules (its C library is switched to them), elsewhere the compiler's own printf rules apply.
#ifndef PAVONA_PRINTF_FORMAT
#define PAVONA_PRINTF_FORMAT printf
#endif
std::string Fmt(const char* format, ...) __attribute__((format(PAVONA_PRINTF_FORMAT, 1, 2)));

std::string Base64Encode(std::string_view bytes);
// Standard alphabet with padding; white space is ignored; false on anything else.
bool Base64Decode(std::string_view text, std::string& out);

} // namespace pavona
