// The spool against real files in a temporary folder: byte-exact formats, the batch protocol,
// pending and sent bookkeeping, the size limit, the state files, torn tails and corrections.
#include "store/AgentSpool.h"

#include "common/DateTime.h"
#include "platform/Clock.h"
#include "platform/Platform.h"
#include "tests/store/SpoolTestFiles.h"
#include "tests/support/TestSupport.h"

#include <map>
#include <memory>

namespace pavona {
namespace {

const std::string kExamplePayload =
    R"({"tx_key":"731:3","sold_at":"2026-10-06T00:30:15Z","vendor_item_code":"512","vendor_item_name":"대파",)"
    R"("barcode":"880","quantity":1,"unit_price":3000,"amount":3000,"discount_amount":600,"pos_no":"2",)"
    R"("receipt_no":"731","own_discount":300})";

// A byte-order mark, which readers skip at the start of a file.
const std::string kBom = "\xEF\xBB\xBF";

std::string Line(const std::string& key, const std::string& payload) {
    return key + "\t" + std::to_string(PayloadHash(payload)) + "\t" + payload + "\r\n";
}

std::vector<std::string> KeysOf(const std::vector<TSpoolEntry>& entries) {
    std::vector<std::string> keys;
    for (const TSpoolEntry& e : entries)
        keys.push_back(e.Key);
    return keys;
}

class AgentSpoolTest : public test::TempDataTest {
  protected:
    AgentSpoolTest() : FDir(platform::JoinPath(DataDir(), "spool")) {}
    std::string File(const std::string& name) const { return platform::JoinPath(FDir, name); }
    std::vector<std::string> PendingKeys(TSpool& spool, const std::string& day) {
        std::vector<TSpoolEntry> entries;
        EXPECT_TRUE(spool.Pending(day, entries));
        for (const TSpoolEntry& e : entries)
            EXPECT_FALSE(e.Sent);
        return KeysOf(entries);
    }
    std::string FDir;
};

TEST_F(AgentSpoolTest, FilesAreWrittenByteExact) {
    EXPECT_EQ(PayloadHash(kExamplePayload), 4247354813u);
    EXPECT_EQ(PayloadHash(""), 2166136261u);

    TSpool spool(FDir, 0);
    ASSERT_TRUE(platform::DirExists(FDir));
    ASSERT_TRUE(spool.Append("2026-10-06", "731:3", kExamplePayload));
    EXPECT_EQ(test::ReadFile(File("spool-2026-10-06.jsonl")),
              "731:3\t4247354813\t" + kExamplePayload + "\r\n");

    ASSERT_TRUE(spool.MarkSent("2026-10-06", {"731:3", "731:4"}));
    ASSERT_TRUE(spool.MarkSent("2026-10-06", {"731:3"}));
    ASSERT_TRUE(spool.MarkSent("2026-10-06", {}));
    EXPECT_EQ(test::ReadFile(File("sent-2026-10-06.txt")), "731:3\r\n731:4\r\n731:3\r\n");

    // Fractions of a second are dropped, never rounded up into the next second.
    ASSERT_TRUE(spool.SetWatermark(EncodeDateTime(2026, 10, 6, 9, 20, 0, 999)));
    EXPECT_EQ(test::ReadFile(File("watermark.txt")), "2026-10-06 09:20:00\r\n");
    ASSERT_TRUE(spool.SetSinceOnce(EncodeDateTime(2026, 10, 1, 0, 0, 5)));
    EXPECT_EQ(test::ReadFile(File("since.txt")), "2026-10-01 00:00:05\r\n");
    const Result<TPointCheck> first = spool.CheckPoint("  pt-7f3a  ");
    ASSERT_TRUE(first) << first.Error();
    EXPECT_TRUE(first.Value().Same);
    EXPECT_TRUE(first.Value().Pinned);
    EXPECT_EQ(test::ReadFile(File("point.txt")), "pt-7f3a\r\n");
    ASSERT_TRUE(spool.SetHeld("ab12"));
    EXPECT_EQ(test::ReadFile(File("hold.txt")), "ab12\r\n");

    // Replacing a state file leaves no temporary file behind.
    std::vector<std::string> names;
    ASSERT_TRUE(platform::ListFiles(FDir, names));
    EXPECT_EQ(names.size(), 6u);
}

TEST_F(AgentSpoolTest, PendingSkipsSentAndCountsDamagedLines) {
    const std::string a = R"({"tx_key":"1:1"})", b = R"({"tx_key":"1:2"})", c = R"({"tx_key":"1:3"})";
    const std::string ab = R"({"tx_key":"AB:1"})", sample = R"({"tx_key":"SELFTEST-20261006:1"})",
                      escaped = R"({"tx_key":"E:\u0031"})";
    struct Case {
        const char* name;
        std::string spool;
        std::string sent; // "" = no sent file
        std::vector<std::string> keys;
        int bad;
    };
    const Case cases[] = {
        {"plain", Line("1:1", a) + Line("1:2", b), "", {"1:1", "1:2"}, 0},
        {"bom and lf only",
         "\xEF\xBB\xBF" + Line("1:1", a) + "1:2\t" + std::to_string(PayloadHash(b)) + "\t" + b + "\n",
         "",
         {"1:1", "1:2"},
         0},
        {"sent keys without case, trimmed",
         Line("AB:1", ab) + Line("1:2", b) + Line("1:3", c),
         " ab:1 \r\n\r\n1:3\n",
         {"1:2"},
         0},
        {"edited hash", Line("1:1", a) + "1:2\t123\t" + b + "\r\n" + Line("1:3", c), "", {"1:1", "1:3"}, 1},
        {"missing tabs", Line("1:1", a) + "1:2 no tabs\r\n1:3\tonly one\r\n", "", {"1:1"}, 2},
        {"blank lines ignored", "\r\n   \r\n" + Line("1:1", a) + "\t\r\n", "", {"1:1"}, 0},
        {"undecodable line", Line("1:1", a) + "1:2\t1\t\xFF\xFE{}\r\n", "", {"1:1"}, 1},
        // A window read twice before it was sent spools the same line twice; it goes out once.
        {"same line twice", Line("1:1", a) + Line("1:1", a), "", {"1:1"}, 0},
        // The sent file keeps keys trimmed: these could never be marked sent and would go out on
        // every cycle, so they count as damage.
        {"keys a sent file cannot name",
         Line(" 1:1", a) + Line("1:2\x01", b) + Line("", c) + Line(kBom + "1:4", a) + Line("1:3", c),
         "1:1\r\n1:2\r\n",
         {"1:3"},
         4},
        // A key damaged into another line's key no longer names its payload's sale. The round
        // trip's samples are spooled under their day and number, and escaped keys are not compared.
        {"key its payload does not name",
         Line("1:1", a) + Line("1:3", b) + Line("1:2", b) + Line("E:1", escaped) + Line("2026-10-06:1", sample) +
             Line("1:9", "{}"),
         "1:1\r\n",
         {"1:2", "E:1", "2026-10-06:1", "1:9"},
         1},
        {"torn last line",
         Line("1:1", a) + "1:2\t" + std::to_string(PayloadHash(b)) + "\t{\"tx_",
         "",
         {"1:1"},
         1},
        {"complete last line without break",
         Line("1:1", a) + "1:2\t" + std::to_string(PayloadHash(b)) + "\t" + b,
         "",
         {"1:1", "1:2"},
         0},
    };
    for (const Case& tc : cases) {
        SCOPED_TRACE(tc.name);
        test::TempDir dir;
        test::WriteFile(dir.File("spool-2026-10-06.jsonl"), tc.spool);
        if (!tc.sent.empty()) test::WriteFile(dir.File("sent-2026-10-06.txt"), tc.sent);
        TSpool spool(dir.Path(), 0);
        std::vector<TSpoolEntry> entries;
        ASSERT_TRUE(spool.Pending("2026-10-06", entries));
        EXPECT_EQ(KeysOf(entries), tc.keys);
        EXPECT_EQ(spool.BadLines(), tc.bad);
        const std::map<std::string, std::string> payloadOf = {
            {"1:1", a}, {"AB:1", ab}, {"1:2", b}, {"1:3", c}, {"2026-10-06:1", sample}, {"E:1", escaped}, {"1:9", "{}"}};
        for (const TSpoolEntry& e : entries)
            EXPECT_EQ(e.Payload, payloadOf.at(e.Key));
    }

    // A missing day is empty.
    TSpool spool(FDir, 0);
    std::vector<TSpoolEntry> entries{TSpoolEntry{"x", "y", false}};
    EXPECT_TRUE(spool.Pending("2026-01-01", entries));
    EXPECT_TRUE(entries.empty());
}

TEST_F(AgentSpoolTest, UnreadableFilesFailTheDay) {
    auto files = std::make_shared<test::FaultyFiles>();
    TSpool spool(FDir, 0, files);
    ASSERT_TRUE(spool.Append("2026-10-07", "1:1", "{}"));
    ASSERT_TRUE(spool.Append("2026-10-08", "2:1", "{}"));
    ASSERT_TRUE(spool.MarkSent("2026-10-07", {"0:0"}));
    // A sent file that cannot be read fails the day, so nothing of it goes out twice.
    files->FailRead = "sent-2026-10-07";
    std::vector<TSpoolEntry> entries;
    EXPECT_FALSE(spool.Pending("2026-10-07", entries));
    EXPECT_EQ(spool.PendingDays(), std::vector<std::string>{"2026-10-08"});
    files->FailRead = "spool-2026-10-08";
    EXPECT_FALSE(TSpool(FDir, 0, files).Pending("2026-10-08", entries));
    files->FailRead.clear();
    EXPECT_EQ(spool.PendingDays(), (std::vector<std::string>{"2026-10-07", "2026-10-08"}));
}

TEST_F(AgentSpoolTest, PendingDaysListsSalesDaysWithPendingLinesOnce) {
    TSpool spool(FDir, 0);
    ASSERT_TRUE(spool.Append("2026-10-06", "1:1", "{}"));
    ASSERT_TRUE(spool.Append("2026-10-06-cancel", "1:1", R"({"kind":"void"})"));
    ASSERT_TRUE(spool.Append("2026-10-04", "2:1", "{}"));
    ASSERT_TRUE(spool.Append("2026-10-05", "3:1", "{}"));
    ASSERT_TRUE(spool.Append("2026-10-07-cancel", "4:1", "{}"));
    ASSERT_TRUE(spool.MarkSent("2026-10-05", {"3:1"}));
    test::WriteFile(File("spool-notaday.jsonl"), Line("5:1", "{}"));
    test::WriteFile(File("spool-2026-10-03.txt"), Line("5:1", "{}"));
    EXPECT_EQ(spool.PendingDays(), (std::vector<std::string>{"2026-10-04", "2026-10-06"}));
}

TEST_F(AgentSpoolTest, BatchWritesEachFileOnceAtTheEnd) {
    TSpool spool(FDir, 0);
    spool.BeginBatch();
    ASSERT_TRUE(spool.Append("2026-10-06", "1:1", "{\"a\":1}"));
    ASSERT_TRUE(spool.Append("2026-10-06-cancel", "0:1", "{\"kind\":\"void\"}"));
    ASSERT_TRUE(spool.Append("2026-10-06", "1:2", "{\"a\":2}"));
    EXPECT_FALSE(platform::FileExists(File("spool-2026-10-06.jsonl")));
    // The watermark cannot pass lines that are only in memory.
    EXPECT_FALSE(spool.SetWatermark(EncodeDateTime(2026, 10, 6, 9, 0, 0)));
    EXPECT_FALSE(platform::FileExists(File("watermark.txt")));
    EXPECT_EQ(spool.EndBatch(), 0);
    EXPECT_EQ(test::ReadFile(File("spool-2026-10-06.jsonl")),
              Line("1:1", "{\"a\":1}") + Line("1:2", "{\"a\":2}"));
    EXPECT_EQ(test::ReadFile(File("spool-2026-10-06-cancel.jsonl")), Line("0:1", "{\"kind\":\"void\"}"));
    EXPECT_TRUE(spool.SetWatermark(EncodeDateTime(2026, 10, 6, 9, 0, 0)));

    // Discarded, restarted and abandoned batches write nothing.
    spool.BeginBatch();
    ASSERT_TRUE(spool.Append("2026-10-07", "2:1", "{}"));
    spool.DiscardBatch();
    EXPECT_EQ(spool.EndBatch(), 0);
    spool.BeginBatch();
    ASSERT_TRUE(spool.Append("2026-10-07", "2:2", "{}"));
    spool.BeginBatch();
    ASSERT_TRUE(spool.Append("2026-10-07", "2:3", "{}"));
    EXPECT_EQ(spool.EndBatch(), 0);
    EXPECT_EQ(test::ReadFile(File("spool-2026-10-07.jsonl")), Line("2:3", "{}"));
    {
        TSpool other(FDir, 0);
        other.BeginBatch();
        ASSERT_TRUE(other.Append("2026-10-08", "3:1", "{}"));
    }
    EXPECT_FALSE(platform::FileExists(File("spool-2026-10-08.jsonl")));
}

TEST_F(AgentSpoolTest, FailedWritesAreCountedAndTheWatermarkStays) {
    enum class Fault { Write, Flush, FolderInTheWay };
    struct Case {
        const char* name;
        Fault fault;
    };
    const Case cases[] = {{"write fails", Fault::Write},
                          {"flush fails", Fault::Flush},
                          {"a folder where the file should be", Fault::FolderInTheWay}};
    for (const Case& tc : cases) {
        SCOPED_TRACE(tc.name);
        test::TempDir dir;
        auto files = std::make_shared<test::FaultyFiles>();
        TSpool spool(dir.Path(), 0, files);
        ASSERT_TRUE(spool.SetWatermark(EncodeDateTime(2026, 10, 6, 9, 0, 0)));
        if (tc.fault == Fault::Write) files->FailWrite = "spool-2026-10-06-cancel";
        if (tc.fault == Fault::Flush) files->FailFlush = "spool-2026-10-06-cancel";
        if (tc.fault == Fault::FolderInTheWay) {
            ASSERT_TRUE(platform::MakeDirs(dir.File("spool-2026-10-06-cancel.jsonl")));
        }

        // The report cycle: one window into the batch, the watermark only after everything is kept.
        spool.BeginBatch();
        for (int i = 1; i <= 3; ++i)
            ASSERT_TRUE(spool.Append("2026-10-06", "1:" + std::to_string(i), "{}"));
        for (int i = 1; i <= 2; ++i)
            ASSERT_TRUE(spool.Append("2026-10-06-cancel", "0:" + std::to_string(i), "{}"));
        const int failed = spool.EndBatch();
        EXPECT_EQ(failed, 2);
        if (failed == 0) spool.SetWatermark(EncodeDateTime(2026, 10, 6, 9, 10, 0));
        EXPECT_EQ(spool.Watermark(), EncodeDateTime(2026, 10, 6, 9, 0, 0));
        EXPECT_EQ(test::ReadFile(dir.File("spool-2026-10-06.jsonl")),
                  Line("1:1", "{}") + Line("1:2", "{}") + Line("1:3", "{}"));

        // A single line outside a batch reports the same failure.
        EXPECT_FALSE(spool.Append("2026-10-06-cancel", "0:3", "{}"));
        EXPECT_TRUE(spool.Append("2026-10-06", "1:4", "{}"));
    }
}

TEST_F(AgentSpoolTest, StateFilesAreReplacedWhole) {
    auto files = std::make_shared<test::FaultyFiles>();
    TSpool spool(FDir, 0, files);
    const TDateTime t1 = EncodeDateTime(2026, 10, 6, 9, 20, 0), t2 = EncodeDateTime(2026, 10, 6, 9, 30, 0);
    EXPECT_EQ(spool.Watermark(), 0);
    ASSERT_TRUE(spool.SetWatermark(t1));
    EXPECT_EQ(spool.Watermark(), t1);
    files->FailReplace = "watermark";
    EXPECT_FALSE(spool.SetWatermark(t2));
    EXPECT_EQ(spool.Watermark(), t1);
    EXPECT_EQ(test::ReadFile(File("watermark.txt")), "2026-10-06 09:20:00\r\n");
    files->FailReplace.clear();
    ASSERT_TRUE(spool.SetWatermark(t2));
    EXPECT_EQ(spool.Watermark(), t2);

    EXPECT_EQ(spool.Since(), 0);
    ASSERT_TRUE(spool.SetSinceOnce(t1));
    ASSERT_TRUE(spool.SetSinceOnce(t2));
    EXPECT_EQ(spool.Since(), t1);

    // Readers skip a byte-order mark and trim; a time before 2000 reads as unset.
    test::WriteFile(File("watermark.txt"), "\xEF\xBB\xBF 2026-10-06 09:20:00 \nrest");
    EXPECT_EQ(spool.Watermark(), t1);
    test::WriteFile(File("watermark.txt"), "1999-12-31 23:59:59\r\n");
    EXPECT_EQ(spool.Watermark(), 0);
}

TEST(ParseStamp, ReadsOnlyRealStamps) {
    struct Case {
        const char* text;
        TDateTime expected;
    };
    const Case cases[] = {
        {"2026-10-06 09:20:05", EncodeDateTime(2026, 10, 6, 9, 20, 5)},
        {"2026/10/06T09.20.05", EncodeDateTime(2026, 10, 6, 9, 20, 5)}, // separators are not checked
        {"2026-10-06 09:20:05 extra", EncodeDateTime(2026, 10, 6, 9, 20, 5)},
        {"2000-01-01 00:00:00", EncodeDateTime(2000, 1, 1, 0, 0, 0)},
        {"2026-10-06 09:20:0", 0},  // 18 characters
        {"1999-12-31 23:59:59", 0}, // before 2000
        {"2026-02-29 10:00:00", 0}, // not a calendar date
        {"2028-02-29 10:00:00", EncodeDateTime(2028, 2, 29, 10, 0, 0)},
        {"2026-10-06 24:00:00", 0},
        {"2026-10-06 09:60:00", 0},
        {"2026-10-06 09:20:60", 0},
        {"2026-10-06 xx:20:05", 0}, // a hour that is no number counts as 99
        {"2026-xx-06 09:20:05", 0}, // a month that is no number counts as 0
        {"2026-10-06 -1:20:05", 0},
        {"", 0},
    };
    for (const Case& tc : cases)
        EXPECT_EQ(ParseStamp(tc.text), tc.expected) << tc.text;
}

TEST_F(AgentSpoolTest, PointIsPinnedOnceAndHoldIsKept) {
    TSpool spool(FDir, 0);
    const Result<TPointCheck> blank = spool.CheckPoint("   ");
    ASSERT_TRUE(blank) << blank.Error();
    EXPECT_FALSE(blank.Value().Same);
    EXPECT_FALSE(blank.Value().Pinned);
    EXPECT_EQ(blank.Value().Have, "");
    EXPECT_FALSE(platform::FileExists(File("point.txt")));

    struct Step {
        const char* got;
        bool result, pinned;
        const char* have;
    };
    const Step steps[] = {{"P-1", true, true, ""},
                          {" P-1 ", true, false, "P-1"},
                          {"P-2", false, false, "P-1"},
                          {"p-1", false, false, "P-1"}};
    for (const Step& s : steps) {
        SCOPED_TRACE(s.got);
        const Result<TPointCheck> c = spool.CheckPoint(s.got);
        ASSERT_TRUE(c) << c.Error();
        EXPECT_EQ(c.Value().Same, s.result);
        EXPECT_EQ(c.Value().Pinned, s.pinned);
        EXPECT_EQ(c.Value().Have, s.have);
    }
    EXPECT_EQ(test::ReadFile(File("point.txt")), "P-1\r\n");

    // A pin that cannot be written is a disk fault, told apart from another store's point.
    test::TempDir other;
    auto files = std::make_shared<test::FaultyFiles>();
    files->FailReplace = "point.txt";
    TSpool broken(other.Path(), 0, files);
    const Result<TPointCheck> unwritten = broken.CheckPoint("P-1");
    EXPECT_FALSE(unwritten);
    EXPECT_NE(unwritten.Error().find("point.txt 를 쓰지 못했습니다"), std::string::npos) << unwritten.Error();

    EXPECT_EQ(spool.Held(), "");
    EXPECT_TRUE(spool.SetHeld(""));
    ASSERT_TRUE(spool.SetHeld("fp-1"));
    EXPECT_EQ(TSpool(FDir, 0).Held(), "fp-1");
    EXPECT_TRUE(spool.SetHeld(""));
    EXPECT_FALSE(platform::FileExists(File("hold.txt")));
    EXPECT_EQ(spool.Held(), "");
}

// point.txt holds one line without a byte-order mark. A point from the association that the file
// would give back otherwise (a line break inside, a mark in front) is pinned as the file reads it,
// so the next check still finds the same point instead of stopping the store's reporting.
TEST_F(AgentSpoolTest, APointIsTheSamePointOnEveryLaterCheck) {
    struct Case {
        const char* got;
        const char* pinned;
    };
    const Case cases[] = {{"pt-1\npt-2", "pt-1 pt-2"},
                          {"pt-1\r\npt-2", "pt-1  pt-2"},
                          {"\xEF\xBB\xBFpt-1", "pt-1"},
                          {" \xEF\xBB\xBF pt-1\r", "pt-1"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.got);
        platform::RemoveFile(File("point.txt"));
        TSpool spool(FDir, 0);
        const Result<TPointCheck> first = spool.CheckPoint(c.got);
        ASSERT_TRUE(first) << first.Error();
        EXPECT_TRUE(first.Value().Pinned);
        EXPECT_EQ(test::ReadFile(File("point.txt")), std::string(c.pinned) + "\r\n");
        const Result<TPointCheck> again = TSpool(FDir, 0).CheckPoint(c.got);
        ASSERT_TRUE(again) << again.Error();
        EXPECT_TRUE(again.Value().Same);
        EXPECT_FALSE(again.Value().Pinned);
        EXPECT_EQ(again.Value().Have, c.pinned);
    }
}

TEST(KeysWithout, RemovesExactMatchesKeepingOrder) {
    using V = std::vector<std::string>;
    struct Case {
        V keys, remove, expected;
    };
    const Case cases[] = {
        {{"1:1", "1:2", "1:3"}, {}, {"1:1", "1:2", "1:3"}},
        {{"1:1", "1:2", "1:3"}, {"1:2"}, {"1:1", "1:3"}},
        {{"1:1", "1:2", "1:1"}, {"1:1"}, {"1:2"}},
        {{"a:1", "A:1"}, {"A:1"}, {"a:1"}},
        {{"1:1"}, {"9:9"}, {"1:1"}},
        {{}, {"1:1"}, {}},
    };
    for (const Case& tc : cases)
        EXPECT_EQ(KeysWithout(tc.keys, tc.remove), tc.expected);
}

TEST_F(AgentSpoolTest, FullMeasuresAtMostEveryFiveSeconds) {
    FixedClock clock(EncodeDateTime(2026, 10, 6, 9, 0, 0));
    ScopedClock use(clock);
    EXPECT_FALSE(TSpool(FDir, 0).Full());

    test::WriteFile(File("sendlog.tsv"), std::string(900, 'x'));
    TSpool spool(FDir, 1000);
    EXPECT_FALSE(spool.Full()); // 900 measured
    test::WriteFile(File("other.bin"), std::string(200, 'y'));
    clock.AdvanceMs(5000);
    EXPECT_FALSE(spool.Full()); // still the measurement of five seconds ago
    clock.AdvanceMs(1);
    EXPECT_TRUE(spool.Full()); // 1100 measured
    EXPECT_EQ(spool.Bytes(), 1100);

    // Refused while full: nothing written, nothing buffered.
    EXPECT_FALSE(spool.Append("2026-10-06", "1:1", "{}"));
    spool.BeginBatch();
    EXPECT_FALSE(spool.Append("2026-10-06", "1:1", "{}"));
    EXPECT_EQ(spool.EndBatch(), 0);
    EXPECT_FALSE(platform::FileExists(File("spool-2026-10-06.jsonl")));

    // Between measurements appends raise the estimate: key + 2 × payload characters + 16.
    ASSERT_TRUE(platform::RemoveFile(File("other.bin")));
    clock.AdvanceMs(6000);
    EXPECT_FALSE(spool.Full()); // 900 measured
    const std::string payload(30, 'p');
    ASSERT_TRUE(spool.Append("2026-10-06", "1:1", payload)); // +79 → 979
    EXPECT_FALSE(spool.Full());
    ASSERT_TRUE(spool.Append("2026-10-06", "1:2", payload)); // +79 → 1058
    EXPECT_TRUE(spool.Full());
    EXPECT_FALSE(spool.Append("2026-10-06", "1:3", payload));
    EXPECT_EQ(spool.Bytes(), 900 + 2 * static_cast<std::int64_t>(Line("1:1", payload).size()));

    // A clock set back measures again instead of trusting an estimate from the future.
    clock.AdvanceMs(-60000);
    EXPECT_FALSE(spool.Full());
}

TEST_F(AgentSpoolTest, TornTailsDoNotSwallowTheNextLine) {
    TSpool spool(FDir, 0);
    const std::string torn = "7:1\t" + std::to_string(PayloadHash("{\"x\":1}")) + "\t{\"x\"";
    test::WriteFile(File("spool-2026-10-06.jsonl"), Line("7:0", "{}") + torn);
    ASSERT_TRUE(spool.Append("2026-10-06", "7:2", "{\"y\":2}"));
    spool.BeginBatch();
    ASSERT_TRUE(spool.Append("2026-10-06", "7:3", "{}"));
    ASSERT_EQ(spool.EndBatch(), 0);
    EXPECT_EQ(PendingKeys(spool, "2026-10-06"), (std::vector<std::string>{"7:0", "7:2", "7:3"}));
    EXPECT_EQ(spool.BadLines(), 1);
    EXPECT_EQ(test::ReadFile(File("spool-2026-10-06.jsonl")),
              Line("7:0", "{}") + torn + "\r\n" + Line("7:2", "{\"y\":2}") + Line("7:3", "{}"));

    // A sent key cut short by a crash must not swallow the next key written.
    test::WriteFile(File("sent-2026-10-06.txt"), "7:");
    ASSERT_TRUE(spool.MarkSent("2026-10-06", {"7:2"}));
    EXPECT_EQ(PendingKeys(spool, "2026-10-06"), (std::vector<std::string>{"7:0", "7:3"}));
}

// A crash can cut a sent key short: "731:30" left as "731:3" without its line break. That piece is
// no mark, now or after the next marks are written behind it, so line 731:3 is still sent.
TEST_F(AgentSpoolTest, ASentKeyCutShortHidesNoOtherLine) {
    TSpool spool(FDir, 0);
    for (const char* k : {"731:3", "731:30", "731:31"})
        ASSERT_TRUE(spool.Append("2026-10-06", k, "{}"));
    test::WriteFile(File("sent-2026-10-06.txt"), "731:3");
    EXPECT_EQ(PendingKeys(spool, "2026-10-06"), (std::vector<std::string>{"731:3", "731:30", "731:31"}));
    ASSERT_TRUE(spool.MarkSent("2026-10-06", {"731:31"}));
    EXPECT_EQ(PendingKeys(spool, "2026-10-06"), (std::vector<std::string>{"731:3", "731:30"}));
    TSpool fresh(FDir, 0);
    EXPECT_EQ(PendingKeys(fresh, "2026-10-06"), (std::vector<std::string>{"731:3", "731:30"}));

    // On a correction day a key cut before its hash must not turn into a plain key either.
    const std::string day = "2026-10-06-cancel";
    ASSERT_TRUE(spool.Append(day, "900:2", R"({"kind":"void"})"));
    ASSERT_TRUE(spool.Append(day, "900:5", R"({"kind":"void"})"));
    test::WriteFile(File("sent-" + day + ".txt"), "900:2");
    ASSERT_TRUE(spool.MarkSent(day, {"900:5"}));
    EXPECT_EQ(PendingKeys(spool, day), (std::vector<std::string>{"900:2"}));
}

// Corrections are marked by the entries that were sent, not by the first pending entry that
// happens to carry the same key.
TEST_F(AgentSpoolTest, MarkingCorrectionEntriesMarksExactlyThose) {
    TSpool spool(FDir, 0);
    const std::string day = "2026-10-06-cancel";
    const std::string amend = R"({"tx_key":"5:1","kind":"amend","corrected_discount_amount":300})";
    const std::string voided = R"({"tx_key":"5:1","kind":"void"})";
    ASSERT_TRUE(spool.Append(day, "5:1", amend));
    ASSERT_TRUE(spool.Append(day, "5:1", voided));
    std::vector<TSpoolEntry> entries;
    ASSERT_TRUE(spool.Pending(day, entries));
    ASSERT_EQ(entries.size(), 2u);
    // Only the void went out (the amend was left waiting): the amend stays pending.
    ASSERT_TRUE(spool.MarkSentEntries(day, {entries[1]}));
    ASSERT_TRUE(spool.Pending(day, entries));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].Payload, amend);
}

TEST_F(AgentSpoolTest, RefusesLinesThatWouldBreakTheFormat) {
    TSpool spool(FDir, 0);
    EXPECT_FALSE(spool.Append("2026-10-06", "1\t1", "{}"));
    EXPECT_FALSE(spool.Append("2026-10-06", "1:1\n", "{}"));
    EXPECT_FALSE(spool.Append("2026-10-06", "", "{}"));
    EXPECT_FALSE(spool.Append("2026-10-06", " 1:1", "{}"));
    EXPECT_FALSE(spool.Append("2026-10-06", kBom + "1:1", "{}")); // read back as "1:1" once marked
    EXPECT_FALSE(spool.Append("2026-10-06", "1:1", "{\n}"));
    EXPECT_FALSE(spool.Append("../2026-10-06", "1:1", "{}"));
    EXPECT_FALSE(spool.Append("2026-10-06", "1:1", R"({"tx_key":"1:2"})")); // would read back as damage
    std::vector<std::string> names;
    ASSERT_TRUE(platform::ListFiles(FDir, names));
    EXPECT_TRUE(names.empty());
    EXPECT_TRUE(spool.Append("2026-10-06", "1:1", "{\"t\":\"a\tb\"}")); // a tab inside the payload is fine
    EXPECT_EQ(PendingKeys(spool, "2026-10-06"), (std::vector<std::string>{"1:1"}));
}

TEST_F(AgentSpoolTest, CorrectionsOfTheSameLineAreSentOncePerChange) {
    const std::string day = "2026-10-06-cancel";
    const std::string amend =
        R"({"tx_key":"900:2","kind":"amend","corrected_discount_amount":600,"reason":"POS 부분취소 #77"})";
    const std::string voidIt = R"({"tx_key":"900:2","kind":"void","reason":"POS 취소 #78"})";
    const std::string other = R"({"tx_key":"900:3","kind":"void","reason":"POS 취소 #78"})";
    TSpool spool(FDir, 0);

    auto pending = [&]() {
        std::vector<TSpoolEntry> entries;
        EXPECT_TRUE(spool.Pending(day, entries));
        std::vector<std::string> payloads;
        for (const TSpoolEntry& e : entries)
            payloads.push_back(e.Payload);
        return payloads;
    };
    using V = std::vector<std::string>;

    // 10:00 the amend goes out.
    ASSERT_TRUE(spool.Append(day, "900:2", amend));
    ASSERT_EQ(pending(), V{amend});
    ASSERT_TRUE(spool.MarkSent(day, {"900:2"}));
    EXPECT_EQ(test::ReadFile(File("sent-" + day + ".txt")),
              "900:2\t" + std::to_string(PayloadHash(amend)) + "\r\n");
    EXPECT_TRUE(pending().empty());

    // The window is read again: the same amend is not offered again. 15:00 the void arrives.
    ASSERT_TRUE(spool.Append(day, "900:2", amend));
    EXPECT_TRUE(pending().empty());
    ASSERT_TRUE(spool.Append(day, "900:2", voidIt));
    ASSERT_TRUE(spool.Append(day, "900:3", other));
    ASSERT_TRUE(spool.Append(day, "900:2", voidIt)); // produced twice before it was sent
    EXPECT_EQ(pending(), (V{voidIt, other}));

    // Only what was sent is marked: the batch held the void, not the other line.
    ASSERT_TRUE(spool.MarkSent(day, {"900:2"}));
    EXPECT_EQ(pending(), V{other});
    ASSERT_TRUE(spool.MarkSent(day, {"900:3", "900:3"}));
    EXPECT_TRUE(pending().empty());
    TSpool fresh(FDir, 0);
    std::vector<TSpoolEntry> entries;
    ASSERT_TRUE(fresh.Pending(day, entries));
    EXPECT_TRUE(entries.empty());

    // A plain key already on disk (written before corrections were marked by hash) still hides
    // every correction of that line.
    const std::string day2 = "2026-10-07-cancel";
    test::WriteFile(File("spool-" + day2 + ".jsonl"),
                    Line("900:2", amend) + Line("900:2", voidIt) + Line("9:9", R"({"tx_key":"9:9"})"));
    test::WriteFile(File("sent-" + day2 + ".txt"), "900:2\r\n");
    ASSERT_TRUE(fresh.Pending(day2, entries));
    EXPECT_EQ(KeysOf(entries), V{"9:9"});

    // Sales days keep plain keys.
    ASSERT_TRUE(fresh.Append("2026-10-06", "900:2", "{}"));
    ASSERT_TRUE(fresh.MarkSent("2026-10-06", {"900:2"}));
    EXPECT_EQ(test::ReadFile(File("sent-2026-10-06.txt")), "900:2\r\n");
}

} // namespace
} // namespace pavona
