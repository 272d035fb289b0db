// Appending whole lines behind a line a crash cut short: the cut line never changes what it reads
// as, and never swallows the lines written after it.
#include "store/AgentSpool.h"
#include "store/SpoolFiles.h"

#include "tests/support/TestSupport.h"

#include <vector>

namespace pavona {
namespace {

std::string Line(const std::string& key, const std::string& payload) {
    return key + "\t" + std::to_string(PayloadHash(payload)) + "\t" + payload + "\r\n";
}

std::vector<std::string> PendingKeys(TSpool& spool, const std::string& day) {
    std::vector<TSpoolEntry> entries;
    EXPECT_TRUE(spool.Pending(day, entries));
    std::vector<std::string> keys;
    for (const TSpoolEntry& e : entries)
        keys.push_back(e.Key);
    return keys;
}

// A line cut right after its CR reads whole, so it may already be pending or sent. The next append
// closes it with the LF alone: it stays the same good line instead of turning into a damaged one.
TEST(SpoolAppend, ALineCutAfterItsCarriageReturnStaysTheSameLine) {
    const std::string whole = Line("8:1", "{\"x\":1}");
    const std::string cut = whole.substr(0, whole.size() - 1); // without its LF
    struct Case {
        const char* name;
        std::string before;
        std::vector<std::string> keys; // pending after the append
        int bad;
        std::string after;
    };
    const Case cases[] = {
        {"cut after the CR",
         Line("8:0", "{}") + cut,
         {"8:0", "8:1", "8:2"},
         0,
         Line("8:0", "{}") + cut + "\n" + Line("8:2", "{}")},
        {"cut inside the payload",
         Line("8:0", "{}") + cut.substr(0, cut.size() - 3),
         {"8:0", "8:2"},
         1,
         Line("8:0", "{}") + cut.substr(0, cut.size() - 3) + "\r\n" + Line("8:2", "{}")},
        {"whole", Line("8:0", "{}"), {"8:0", "8:2"}, 0, Line("8:0", "{}") + Line("8:2", "{}")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        test::WriteFile(dir.File("spool-2026-10-06.jsonl"), c.before);
        TSpool spool(dir.Path(), 0);
        PendingKeys(spool, "2026-10-06");
        ASSERT_TRUE(spool.Append("2026-10-06", "8:2", "{}"));
        EXPECT_EQ(PendingKeys(spool, "2026-10-06"), c.keys);
        EXPECT_EQ(spool.BadLines(), c.bad);
        EXPECT_EQ(test::ReadFile(dir.File("spool-2026-10-06.jsonl")), c.after);
        // A fresh reader sees the same.
        TSpool fresh(dir.Path(), 0);
        EXPECT_EQ(PendingKeys(fresh, "2026-10-06"), c.keys);
    }
}

// Sent files close a cut key with a mark no key reads as, even after its CR: "731:3" followed by a
// CR may be the start of "731:30" no more than any other cut key, but it is no mark either way.
TEST(SpoolAppend, ASentKeyCutAfterItsCarriageReturnMarksNothing) {
    test::TempDir dir;
    test::WriteFile(dir.File("spool-2026-10-06.jsonl"), Line("731:3", "{}") + Line("731:4", "{\"a\":1}"));
    test::WriteFile(dir.File("sent-2026-10-06.txt"), "731:3\r");
    TSpool spool(dir.Path(), 0);
    ASSERT_TRUE(spool.MarkSent("2026-10-06", {"731:4"}));
    EXPECT_EQ(PendingKeys(spool, "2026-10-06"), (std::vector<std::string>{"731:3"}));
    EXPECT_EQ(test::ReadFile(dir.File("sent-2026-10-06.txt")), "731:3\r\t-\r\n731:4\r\n");
}

} // namespace
} // namespace pavona
