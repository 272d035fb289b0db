// The member reading rules every server answer goes through.
#include "server/ApiJson.h"

#include <gtest/gtest.h>

namespace pavona {
namespace {

const char* const kDoc = R"({"s":"abc","k":"한글","n":42,"neg":-7,"f":3.0,"frac":3.5,"huge":1e20,
 "i32over":3000000000,"i64max":9223372036854775807,"u64":18446744073709551615,"ns":"12",
 "nsbad":"12x","nsspace":" 12","t":true,"fl":false,"nul":null,"o":{"x":1},"a":[1,2],"e":""})";

struct Case {
    const char* Member;
    const char* Str;    // ReadJsonString with default "D"
    int Int;            // ReadJsonInt with default -1
    std::int64_t Int64; // ReadJsonInt64 with default -1
    int Bool;           // ReadJsonBool: 0, 1, or 2 for "gave the default"
    const char* Text;   // JsonValueText
};

TEST(ApiJsonTest, MembersReadByTheRules) {
    const Case cases[] = {
        {"s", "abc", -1, -1, 2, "abc"},
        {"k", "한글", -1, -1, 2, "한글"},
        {"e", "", -1, -1, 2, ""},
        {"n", "42", 42, 42, 2, "42"},
        {"neg", "-7", -7, -7, 2, "-7"},
        {"f", "3.0", 3, 3, 2, "3.0"},
        {"frac", "3.5", -1, -1, 2, "3.5"},
        {"huge", "1e+20", -1, -1, 2, "1e+20"},
        {"i32over", "3000000000", -1, 3000000000LL, 2, "3000000000"},
        {"i64max", "9223372036854775807", -1, INT64_MAX, 2, "9223372036854775807"},
        {"u64", "18446744073709551615", -1, -1, 2, "18446744073709551615"},
        {"ns", "12", 12, 12, 2, "12"},
        {"nsbad", "12x", -1, -1, 2, "12x"},
        {"nsspace", " 12", -1, -1, 2, " 12"},
        {"t", "true", -1, -1, 1, "true"},
        {"fl", "false", -1, -1, 0, "false"},
        {"nul", "D", -1, -1, 2, ""},
        {"o", "D", -1, -1, 2, ""},
        {"a", "D", -1, -1, 2, ""},
        {"missing", "D", -1, -1, 2, ""},
    };
    const TJsonNode doc = TJsonNode::Parse(kDoc);
    ASSERT_TRUE(doc.IsObject());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Member);
        EXPECT_EQ(ReadJsonString(doc, c.Member, "D"), c.Str);
        EXPECT_EQ(ReadJsonInt(doc, c.Member, -1), c.Int);
        EXPECT_EQ(ReadJsonInt64(doc, c.Member, -1), c.Int64);
        // Booleans give the default unless the value is a Boolean: try both defaults.
        const bool whenFalse = ReadJsonBool(doc, c.Member, false),
                   whenTrue = ReadJsonBool(doc, c.Member, true);
        if (c.Bool == 2) {
            EXPECT_FALSE(whenFalse);
            EXPECT_TRUE(whenTrue);
        } else {
            EXPECT_EQ(whenFalse, c.Bool == 1);
            EXPECT_EQ(whenTrue, c.Bool == 1);
        }
        EXPECT_EQ(JsonValueText(doc.Member(c.Member)), c.Text);
    }
}

TEST(ApiJsonTest, ParseGivesOneValueOrNothing) {
    struct {
        const char* Text;
        bool Present, Object, Array;
    } cases[] = {
        {"{}", true, true, false},         {" {\"a\":1} \r\n", true, true, false},
        {"[]", true, false, true},         {"\"ok\"", true, false, false},
        {"null", true, false, false},      {"ok", false, false, false},
        {"", false, false, false},         {"{\"a\":1} x", false, false, false},
        {"{\"a\":1", false, false, false}, {"{\"a\":\"\xff\"}", false, false, false}, // not UTF-8
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        const TJsonNode n = TJsonNode::Parse(c.Text);
        EXPECT_EQ(n.Present(), c.Present);
        EXPECT_EQ(n.IsObject(), c.Object);
        EXPECT_EQ(n.IsArray(), c.Array);
    }
}

TEST(ApiJsonTest, NavigationOutsideTheDocumentIsAbsent) {
    const TJsonNode doc = TJsonNode::Parse(R"({"list":[{"id":"a"},7],"o":{"in":{"deep":"yes"}}})");
    const TJsonNode list = doc.Member("list");
    ASSERT_EQ(list.Size(), 2u);
    EXPECT_EQ(ReadJsonString(list.At(0), "id"), "a");
    EXPECT_FALSE(list.At(2).Present());
    EXPECT_FALSE(list.At(1).Member("id").Present()); // a number has no members
    EXPECT_EQ(ReadJsonInt(list.At(1), "id", 5), 5);
    EXPECT_EQ(JsonValueText(doc.Member("o").Member("in").Member("deep")), "yes");
    EXPECT_EQ(doc.Member("o").Size(), 0u); // an object has no elements
    // Handles keep the document alive after the root handle is gone.
    TJsonNode inner;
    {
        const TJsonNode tmp = TJsonNode::Parse(R"({"x":{"y":"kept"}})");
        inner = tmp.Member("x");
    }
    EXPECT_EQ(ReadJsonString(inner, "y"), "kept");
}

} // namespace
} // namespace pavona
