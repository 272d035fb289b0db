#include "engine/AgentSchema.h"

#include <gtest/gtest.h>

namespace pavona {
namespace {

TEST(SchemaFingerprint, OrderFreeCaseSensitiveAndNeverTheEmptyHash) {
    const std::vector<std::string> a = {"Ord\tord_code\tbigint\tNO", "Ordd\tordd_seq\tint\tNO",
                                        "goods\tgoods_name\tvarchar\tYES"};
    const std::vector<std::string> b = {a[2], a[0], a[1]};
    EXPECT_EQ(SchemaFingerprint(a).size(), 64u);
    EXPECT_EQ(SchemaFingerprint(a), SchemaFingerprint(b));
    std::vector<std::string> c = a;
    c[0] = "Ord\tORD_CODE\tbigint\tNO";
    EXPECT_NE(SchemaFingerprint(a), SchemaFingerprint(c));
    EXPECT_EQ(SchemaFingerprint({}), "");
    // The known SHA-256 of "abc" shows the digest and its hex form.
    EXPECT_EQ(SchemaFingerprint({"abc"}), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // Joined by LF in sorted order: "a\nb".
    EXPECT_EQ(SchemaFingerprint({"b", "a"}), SchemaFingerprint({"a\nb"}));
}

TEST(SchemaFingerprint, SortsByUtf16CodeUnits) {
    // U+FF21 (one UTF-16 unit 0xFF21) sorts after U+1F600 (surrogates 0xD83D..) in UTF-16,
    // though its UTF-8 bytes sort before.
    const std::string fullwidth = "\xEF\xBC\xA1", emoji = "😀";
    EXPECT_EQ(SchemaFingerprint({fullwidth, emoji}), SchemaFingerprint({emoji + "\n" + fullwidth}));
}

TEST(HoldDecision, Table) {
    struct Case {
        const char *approved, *current, *held;
        bool ok;
        const char* newHeld;
    } cases[] = {
        {"", "X", "OLD", true, ""}, {"X", "X", "", true, ""},   {"A", "X", "", false, "X"},
        {"A", "", "", true, ""},    {"A", "", "A", true, ""},   {"A", "", "X", false, "X"},
        {"", "", "X", false, "X"},  {"x", "X", "", false, "X"},
    };
    for (const Case& c : cases) {
        const THoldDecision d = HoldDecision(c.approved, c.current, c.held);
        EXPECT_EQ(d.Ok, c.ok) << c.approved << "|" << c.current << "|" << c.held;
        EXPECT_EQ(d.NewHeld, c.newHeld) << c.approved << "|" << c.current << "|" << c.held;
    }
}

TEST(IsoTimes, KoreanLocalAndOffsets) {
    const TDateTime t = EncodeDateTime(2025, 10, 6, 9, 20, 0);
    EXPECT_EQ(IsoLocalTime(t), "2025-10-06T09:20:00+09:00");
    EXPECT_EQ(IsoWithOffset(t, 540), "2025-10-06T09:20:00+09:00");
    EXPECT_EQ(IsoWithOffset(t, -210), "2025-10-06T09:20:00-03:30");
    EXPECT_EQ(IsoWithOffset(t, 0), "2025-10-06T09:20:00+00:00");
}

} // namespace
} // namespace pavona
