// JSON string escapes and arrays.
#include "common/JsonText.h"

#include <gtest/gtest.h>

namespace pavona {

TEST(JsonStr, EscapesExactlyTheControlCharactersQuotesAndBackslashes) {
    struct Case {
        std::string in, out;
    } cases[] = {
        {"", "\"\""},
        {"a\"b\\c\td\x01", "\"a\\\"b\\\\c\\td\\u0001\""},
        {"\b\f\n\r\x1f", "\"\\b\\f\\n\\r\\u001f\""},
        {"대파 / DEL\x7f", "\"대파 / DEL\x7f\""},
        {"POS 부분취소 #55", "\"POS 부분취소 #55\""},
        // A name in a legacy encoding cannot break the JSON: each bad sequence becomes U+FFFD.
        {"\xB4\xEB\xC6\xC4\"", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\\\"\""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(JsonStr(c.in), c.out);
}

TEST(JsonArray, JoinsWithCommas) {
    EXPECT_EQ(JsonArray({}), "[]");
    EXPECT_EQ(JsonArray({"{}"}), "[{}]");
    EXPECT_EQ(JsonArray({"1", "\"a\""}), "[1,\"a\"]");
}

} // namespace pavona
