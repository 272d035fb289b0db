// UTF-8 counting, cutting and repair, UTF-16, trimming, integers, Base64, ASCII case, the version text.
#include "common/Text.h"
#include "common/Version.h"

#include <gtest/gtest.h>

namespace pavona {

TEST(Utf8, CountsAndCutsByCharactersNeverSplittingASequence) {
    const std::string s = "농할 쿠폰😀x";
    EXPECT_EQ(Utf8Length(s), 7u);
    EXPECT_EQ(Utf8Left(s, 2), "농할");
    EXPECT_EQ(Utf8Mid(s, 3, 2), "쿠폰");
    EXPECT_EQ(Utf8Mid(s, 5), "😀x");
    EXPECT_EQ(Utf8Left(s, 100), s);
    EXPECT_EQ(Utf8PadLeft("표", 3), "  표");
}

TEST(Utf8, SanitizeReplacesEachIllFormedSequenceWithOneReplacementCharacter) {
    struct Case {
        std::string in, out;
    } cases[] = {
        {"abc", "abc"},
        {"\xB3\xF3\xC7\xD2", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"}, // 농할 in CP949
        {"a\xE2\x82", "a\xEF\xBF\xBD"},                                           // truncated at the end
        {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},                 // a surrogate
        {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},                                 // overlong
        {"쿠폰", "쿠폰"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Utf8Sanitize(c.in), c.out);
        EXPECT_TRUE(Utf8Valid(Utf8Sanitize(c.in)));
        EXPECT_EQ(Utf8Valid(c.in), c.in == c.out);
    }
}

TEST(Utf8, Utf16RoundTripWithSurrogatePairs) {
    const std::string s = "가😀";
    const std::u16string u = Utf8ToUtf16(s);
    ASSERT_EQ(u.size(), 3u);
    EXPECT_EQ(u[1], 0xD83D);
    EXPECT_EQ(Utf16ToUtf8(u), s);
}

TEST(Text, TrimRemovesBlanksAndControlCharacters) {
    EXPECT_EQ(Trim(" \t\r\n 123 \x01"), "123");
    EXPECT_EQ(TrimRight("사과   "), "사과");
    EXPECT_EQ(Trim(""), "");
}

TEST(Text, IntegerParsing) {
    struct Case {
        const char* text;
        bool ok;
        std::int64_t value;
    } cases[] = {{"0", true, 0},
                 {"-12", true, -12},
                 {"+7", true, 7},
                 {"9223372036854775807", true, INT64_MAX},
                 {"-9223372036854775808", true, INT64_MIN},
                 {"9223372036854775808", false, 0},
                 {"", false, 0},
                 {"-", false, 0},
                 {" 1", false, 0},
                 {"1a", false, 0},
                 {"1.5", false, 0}};
    for (const Case& c : cases) {
        std::int64_t v = 0;
        EXPECT_EQ(TryParseInt64(c.text, v), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(v, c.value) << c.text;
        }
    }
    EXPECT_EQ(StrToIntDef("3000000000", 10), 10);
}

TEST(Text, Base64RoundTripAndRejects) {
    for (std::string s : {"", "a", "ab", "abc", "abcd", "\x00\xff\x10"}) {
        std::string back;
        ASSERT_TRUE(Base64Decode(Base64Encode(s), back));
        EXPECT_EQ(back, s);
    }
    EXPECT_EQ(Base64Encode("foobar"), "Zm9vYmFy");
    std::string out;
    EXPECT_FALSE(Base64Decode("Zm9v!mFy", out));
    EXPECT_FALSE(Base64Decode("Zm9", out));
    EXPECT_TRUE(Base64Decode("Zm9v\r\nYmFy", out));
}

TEST(Text, CaseFoldingIsAsciiOnly) {
    EXPECT_TRUE(SameTextAscii("/ONCE", "/once"));
    EXPECT_FALSE(SameTextAscii("/once", "/onc"));
    EXPECT_EQ(LowerAscii("HTTPS://가"), "https://가");
}

// The text is generated from the project's version: its day must keep two digits for month and day.
TEST(Version, TheTextIsTheReleaseDateAndTheBuildId) {
    EXPECT_STREQ(kAgentVersion, "20261006-196818e");
}

} // namespace pavona
