// The spool's pending cache: after any mix of appends, marks, torn lines and other writers, a
// long-lived spool reports exactly what a fresh read reports, and unchanged files are not read.
#include "store/AgentSpool.h"

#include "platform/Platform.h"
#include "tests/store/SpoolTestFiles.h"
#include "tests/support/TestSupport.h"

#include <random>

namespace pavona {
namespace {

struct TDayView {
    std::vector<std::pair<std::string, std::string>> Entries;
    int Bad = 0;
    bool Ok = false;
    bool operator==(const TDayView&) const = default;
};

TDayView View(TSpool& spool, const std::string& day) {
    TDayView v;
    std::vector<TSpoolEntry> entries;
    v.Ok = spool.Pending(day, entries);
    v.Bad = spool.BadLines();
    for (const TSpoolEntry& e : entries)
        v.Entries.emplace_back(e.Key, e.Payload);
    return v;
}

class AgentSpoolCacheTest : public test::TempDataTest {
  protected:
    AgentSpoolCacheTest() : FDir(platform::JoinPath(DataDir(), "spool")) {}
    std::string FDir;
};

TEST_F(AgentSpoolCacheTest, CachedPendingEqualsAFreshRead) {
    const std::vector<std::string> days = {"2026-10-04", "2026-10-05", "2026-10-06", "2026-10-06-cancel"};
    auto files = std::make_shared<test::FaultyFiles>();
    TSpool spool(FDir, 0, files);
    std::mt19937 rng(20261006);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    auto key = [&]() {
        return std::string(1, "aAb"[pick(3)]) + std::to_string(pick(8)) + ":" + std::to_string(pick(3));
    };
    auto payload = [&](const std::string& k) {
        return "{\"tx_key\":\"" + k + "\",\"v\":" + std::to_string(pick(3)) + "}";
    };
    std::map<std::string, std::string> tornSpool, tornSent; // other writers' lines still being written

    for (int step = 0; step < 400; ++step) {
        const std::string day = days[static_cast<size_t>(pick(static_cast<int>(days.size())))];
        const std::string spoolPath = spool.SpoolPath(day), sentPath = spool.SentPath(day);
        const int op = pick(10);
        if (tornSpool.count(day) && op < 5) {
            // The other writer finishes its line.
            platform::AppendToFile(spoolPath, tornSpool[day]);
            tornSpool.erase(day);
        } else if (tornSent.count(day) && op < 5) {
            platform::AppendToFile(sentPath, tornSent[day]);
            tornSent.erase(day);
        } else if (op <= 2) {
            const std::string k = key();
            ASSERT_TRUE(spool.Append(day, k, payload(k)));
        } else if (op == 3) {
            // With and without a size hint; a batch's lines go to any of the days.
            spool.BeginBatch(pick(2) == 0 ? 0 : static_cast<std::size_t>(pick(3)) * TSpool::kUsualLineBytes);
            for (int i = pick(5); i >= 0; --i) {
                const std::string k = key();
                // Now and then a payload that reads back as damage.
                const std::string p = pick(8) == 0 ? payload(k) + "\xff" : payload(k);
                ASSERT_TRUE(spool.Append(days[static_cast<size_t>(pick(4))], k, p));
            }
            ASSERT_EQ(spool.EndBatch(), 0);
        } else if (op <= 5) {
            // Mark the first n pending, as a send batch does (through this or another process).
            std::vector<TSpoolEntry> entries;
            ASSERT_TRUE(spool.Pending(day, entries));
            std::vector<std::string> keys;
            for (size_t i = 0; i < entries.size() && static_cast<int>(i) < 1 + pick(4); ++i)
                keys.push_back(entries[i].Key);
            if (op == 4) {
                ASSERT_TRUE(spool.MarkSent(day, keys));
            } else {
                TSpool other(FDir, 0);
                ASSERT_TRUE(other.MarkSent(day, keys));
            }
        } else if (op == 6 && !tornSpool.count(day)) {
            // Another process has written part of a line.
            const std::string k = key(), p = payload(k);
            const std::string line = k + "\t" + std::to_string(PayloadHash(p)) + "\t" + p + "\r\n";
            const size_t cut = 1 + static_cast<size_t>(pick(static_cast<int>(line.size()) - 1));
            if (platform::FileSize(spoolPath) > 0) {
                std::string last;
                ReadFileRange(spoolPath, platform::FileSize(spoolPath) - 1, 1, last);
                if (last != "\n") continue;
            }
            platform::AppendToFile(spoolPath, line.substr(0, cut));
            tornSpool[day] = line.substr(cut);
        } else if (op == 7 && !tornSent.count(day)) {
            const std::string k = key();
            platform::AppendToFile(sentPath, k.substr(0, 1));
            tornSent[day] = k.substr(1) + "\r\n";
        } else if (op == 8) {
            platform::AppendToFile(spoolPath, key() + "\t1\t{\"damaged\":true}\r\n");
        } else {
            // A key written by hand, with spaces around it.
            platform::AppendToFile(sentPath, "  " + key() + "  \n");
        }

        SCOPED_TRACE("step " + std::to_string(step));
        TSpool fresh(FDir, 0);
        for (const std::string& d : days) {
            SCOPED_TRACE(d);
            const TDayView cached = View(spool, d), expected = View(fresh, d);
            ASSERT_EQ(cached, expected);
        }
        ASSERT_EQ(spool.PendingDays(), fresh.PendingDays());
    }
}

TEST_F(AgentSpoolCacheTest, UnchangedFilesAreNotReadAgain) {
    auto files = std::make_shared<test::FaultyFiles>();
    TSpool spool(FDir, 0, files);
    spool.BeginBatch();
    for (int i = 0; i < 100; ++i)
        ASSERT_TRUE(spool.Append("2026-10-06", "1:" + std::to_string(i), "{\"n\":1}"));
    for (int i = 0; i < 50; ++i)
        ASSERT_TRUE(spool.Append("2026-10-05", "2:" + std::to_string(i), "{\"n\":2}"));
    ASSERT_EQ(spool.EndBatch(), 0);
    const std::int64_t all =
        platform::FileSize(spool.SpoolPath("2026-10-06")) + platform::FileSize(spool.SpoolPath("2026-10-05"));

    auto readBy = [&](auto&& call) {
        const std::int64_t before = files->BytesRead;
        call();
        return files->BytesRead - before;
    };
    std::vector<TSpoolEntry> entries;
    // What the batch wrote is known without reading it back; another spool reads it all.
    EXPECT_EQ(readBy([&] { EXPECT_EQ(spool.PendingDays().size(), 2u); }), 0);
    EXPECT_EQ(readBy([&] { EXPECT_EQ(TSpool(FDir, 0, files).PendingDays().size(), 2u); }), all);
    EXPECT_EQ(readBy([&] { ASSERT_TRUE(spool.Pending("2026-10-05", entries)); }), 0);
    EXPECT_EQ(entries.size(), 50u);

    // A mark is read as the few bytes it added; the entries are gone without reading the day again.
    std::vector<std::string> keys;
    for (int i = 0; i < 50; ++i)
        keys.push_back("2:" + std::to_string(i));
    ASSERT_TRUE(spool.MarkSent("2026-10-05", keys));
    const std::int64_t sentBytes = platform::FileSize(spool.SentPath("2026-10-05"));
    EXPECT_EQ(readBy([&] { EXPECT_EQ(spool.PendingDays(), std::vector<std::string>{"2026-10-06"}); }),
              sentBytes);

    // An appended line is read alone.
    ASSERT_TRUE(spool.Append("2026-10-06", "1:100", "{\"n\":1}"));
    const std::int64_t lineBytes = static_cast<std::int64_t>(
        std::string("1:100\t").size() + std::to_string(PayloadHash("{\"n\":1}")).size() + 10);
    EXPECT_EQ(readBy([&] { ASSERT_TRUE(spool.Pending("2026-10-06", entries)); }), lineBytes);
    EXPECT_EQ(entries.size(), 101u);
}

} // namespace
} // namespace pavona
