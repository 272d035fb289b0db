// The send log in a temporary data folder: byte-exact records, their agent-log lines, and reading
// the newest records back from the end of the file.
#include "store/AgentSendLog.h"

#include "common/DateTime.h"
#include "common/Text.h"
#include "platform/Clock.h"
#include "platform/Platform.h"
#include "store/AgentLog.h"
#include "store/SpoolFiles.h"
#include "tests/support/TestSupport.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <random>

namespace pavona {
namespace {

// What this test program holds on the heap, counted by the replaced allocation functions below:
// how much memory a read needs at its peak, seen without any hook in the reader.
std::atomic<std::int64_t> gHeapHeld{0};
std::atomic<std::int64_t> gHeapPeak{0};
constexpr std::size_t kHead = alignof(std::max_align_t); // keeps each block's size

void* CountedAlloc(std::size_t size) noexcept {
    auto* base = static_cast<unsigned char*>(std::malloc(size + kHead));
    if (!base) return nullptr;
    std::memcpy(base, &size, sizeof size);
    const std::int64_t held = gHeapHeld += static_cast<std::int64_t>(size);
    std::int64_t peak = gHeapPeak.load();
    while (held > peak && !gHeapPeak.compare_exchange_weak(peak, held)) {
    }
    return base + kHead;
}

void CountedFree(void* p) noexcept {
    if (!p) return;
    unsigned char* base = static_cast<unsigned char*>(p) - kHead;
    std::size_t size = 0;
    std::memcpy(&size, base, sizeof size);
    gHeapHeld -= static_cast<std::int64_t>(size);
    std::free(base);
}

// Bytes the heap held at most while `work` ran, beyond what it held before.
std::int64_t PeakHeapDuring(const std::function<void()>& work) {
    const std::int64_t before = gHeapHeld.load();
    gHeapPeak = before;
    work();
    return gHeapPeak.load() - before;
}

class AgentSendLogTest : public test::TempDataTest {
  protected:
    std::string LogText() const { return test::ReadFile(DataDir() + "/logs/agent-2026-10-06.log"); }
};

TSendRecord Record(int n, bool ok = true) {
    TSendRecord r;
    r.At = IncSecond(EncodeDateTime(2026, 10, 6, 9, 0, 0), n);
    r.Kind = n % 3 ? "실적" : "취소";
    r.FileDay = n % 3 ? "2026-10-06" : "2026-10-06-cancel";
    r.Lines = n;
    r.Accepted = n / 2;
    r.Duplicated = n % 7;
    r.Rejected = n % 5;
    r.Ok = ok;
    r.Note = n % 4 ? "" : "메모 " + std::to_string(n);
    return r;
}

void ExpectSame(const TSendRecord& a, const TSendRecord& b) {
    EXPECT_EQ(FormatStamp(a.At), FormatStamp(b.At));
    EXPECT_EQ(a.Kind, b.Kind);
    EXPECT_EQ(a.FileDay, b.FileDay);
    EXPECT_EQ(a.Lines, b.Lines);
    EXPECT_EQ(a.Accepted, b.Accepted);
    EXPECT_EQ(a.Duplicated, b.Duplicated);
    EXPECT_EQ(a.Rejected, b.Rejected);
    EXPECT_EQ(a.Ok, b.Ok);
    EXPECT_EQ(a.Note, b.Note);
}

TEST_F(AgentSendLogTest, RecordsAreAppendedByteExactAndLogged) {
    FixedClock clock(EncodeDateTime(2026, 10, 6, 9, 40, 1, 123));
    ScopedClock use(clock);
    EXPECT_EQ(SendLogPath(), platform::JoinPath(platform::JoinPath(DataDir(), "spool"), "sendlog.tsv"));

    TSendRecord ok{
        EncodeDateTime(2026, 10, 6, 9, 40, 0, 900), "실적", "2026-10-06", 1, 1, 0, 0, true, "", ""};
    TSendRecord fail{EncodeDateTime(2026, 10, 6, 9, 41, 2),
                     "취소",
                     "2026-10-06-cancel",
                     3,
                     0,
                     0,
                     0,
                     false,
                     "서버\t응답\r\n없음\n끝",
                     ""};
    AppendSendRecord(ok);
    AppendSendRecord(fail);
    EXPECT_EQ(test::ReadFile(SendLogPath()),
              "2026-10-06 09:40:00\t실적\t2026-10-06\t1\t1\t0\t0\tok\t\r\n"
              "2026-10-06 09:41:02\t취소\t2026-10-06-cancel\t3\t0\t0\t0\tfail\t"
              "서버 응답 없음 끝\r\n");
    EXPECT_EQ(LogText(),
              "2026-10-06 09:40:01.123  정보  전송  실적 1줄 → 받음 1 · 중복 0 · 거절 0 (2026-10-06)\r\n"
              "2026-10-06 09:40:01.123  오류  전송  취소 3줄 실패 — 서버\t응답  없음 끝 "
              "(2026-10-06-cancel)\r\n");

    const std::vector<TSendRecord> back = ReadSendLog(10);
    ASSERT_EQ(back.size(), 2u);
    fail.Note = "서버 응답 없음 끝";
    ExpectSame(back[0], fail);
    ExpectSame(back[1], ok);
    EXPECT_EQ(ReadSendLog(1).size(), 1u);
    EXPECT_TRUE(ReadSendLog(0).empty());
}

TEST_F(AgentSendLogTest, AFailedAppendIsStillLogged) {
    FixedClock clock(EncodeDateTime(2026, 10, 6, 9, 40, 1, 0));
    ScopedClock use(clock);
    platform::MakeDirs(DataDir());
    test::WriteFile(DataDir() + "/spool", "a file where the folder should be");
    // The transport's reason goes to the agent log beside the operator's text.
    AppendSendRecord(TSendRecord{EncodeDateTime(2026, 10, 6, 9, 40, 0), "실적", "2026-10-06", 5, 0, 0, 0,
                                 false, "연결 실패", "CURLE_COULDNT_CONNECT: refused"});
    EXPECT_EQ(LogText(), "2026-10-06 09:40:01.000  오류  전송  실적 5줄 실패 — 연결 실패 (2026-10-06) "
                         "[CURLE_COULDNT_CONNECT: refused]\r\n");
    EXPECT_TRUE(ReadSendLog(10).empty());
}

TEST_F(AgentSendLogTest, DamagedLinesArePassedOver) {
    const std::string good1 = "2026-10-06 09:00:01\t실적\t2026-10-06\t2\t2\t0\t0\tok\t";
    const std::string good2 = "2026-10-06 09:00:02\t취소\t2026-10-06-cancel\tx\t1\t0\t1\tOK";
    platform::MakeDirs(DataDir() + "/spool");
    test::WriteFile(SendLogPath(),
                    "\xEF\xBB\xBF" + good1 + "\r\n" +
                        "2026-10-06 09:00:03\t실적\t2026-10-06\t1\t1\t0\tok\r\n" +    // seven fields
                        "2026-13-06 09:00:04\t실적\t2026-10-06\t1\t1\t0\t0\tok\t\r" + // no date
                        "어제\t실적\t2026-10-06\t1\t1\t0\t0\tok\t\n\n" + good2 + "\r\n" +
                        "2026-10-06 09:00:05\t실");
    const std::vector<TSendRecord> back = ReadSendLog(2000);
    ASSERT_EQ(back.size(), 2u);
    ExpectSame(back[0], TSendRecord{EncodeDateTime(2026, 10, 6, 9, 0, 2), "취소", "2026-10-06-cancel", 0, 1,
                                    0, 1, false, "", ""});
    ExpectSame(back[1], TSendRecord{EncodeDateTime(2026, 10, 6, 9, 0, 1), "실적", "2026-10-06", 2, 2, 0, 0,
                                    true, "", ""});
}

TEST_F(AgentSendLogTest, LargeLogsAreReadNewestFirstFromTheEnd) {
    // Records with every kind of line end, so that chunk borders fall inside characters, lines and
    // CR LF pairs.
    std::mt19937 rng(11);
    std::string text;
    const char* ends[] = {"\r\n", "\n", "\r"};
    std::vector<TSendRecord> all;
    for (int n = 1; n <= 2500; ++n) {
        TSendRecord r = Record(n, n % 9 != 0);
        r.Note += std::string(rng() % 40, 'z') + (n % 2 ? "한글" : "");
        all.push_back(r);
        std::string line = SendRecordLine(r);
        line.resize(line.size() - 2);
        text += line + ends[rng() % 3];
        if (n % 100 == 0) text += "damaged line\r\n";
    }
    platform::MakeDirs(DataDir() + "/spool");
    test::WriteFile(SendLogPath(), text);
    ASSERT_GT(text.size(), 3u * 64 * 1024);

    const std::vector<TSendRecord> newest = ReadSendLog(2000);
    ASSERT_EQ(newest.size(), 2000u);
    for (size_t i = 0; i < newest.size(); ++i) {
        SCOPED_TRACE(i);
        ExpectSame(newest[i], all[all.size() - 1 - i]);
    }
    EXPECT_EQ(ReadSendLog(100000).size(), 2500u);
}

TEST_F(AgentSendLogTest, DamagedLogsAreReadInBoundedMemory) {
    constexpr size_t kLimit = 64 * 1024;         // longest line read
    constexpr size_t kDamage = 4 * 1024 * 1024;  // a file torn into one line without breaks
    constexpr std::int64_t kHeapBound = 1 << 20; // a quarter of the damage
    std::vector<TSendRecord> all;
    for (int n = 1; n <= 12; ++n)
        all.push_back(Record(n, n % 5 != 0));
    // Records n..m (1-based) as lines; `end` replaces the last line's CR LF.
    auto lines = [&](int n, int m, const std::string& end = "\r\n") {
        std::string text;
        for (int i = n; i <= m; ++i) {
            std::string line = SendRecordLine(all[i - 1]);
            if (i == m) line.replace(line.size() - 2, 2, end);
            text += line;
        }
        return text;
    };
    // A whole record (number kLong) whose line is exactly `size` bytes long without its break.
    constexpr int kLong = 100;
    auto recordOfSize = [&](size_t size) {
        TSendRecord r = Record(kLong);
        r.Note.clear();
        const size_t bare = SendRecordLine(r).size() - 2;
        r.Note.assign(size - bare, 'n');
        return SendRecordLine(r);
    };
    std::string noBreaks(kDamage, 'x');
    for (size_t i = 0; i < noBreaks.size(); i += 4099)
        noBreaks[i] = '\t'; // fields, but no line
    struct Case {
        const char* Name;
        std::string Text;
        int Max;
        std::vector<int> Want; // record numbers, newest first
        std::int64_t MaxBytesRead;
    };
    const std::int64_t whole = -1; // up to the file size
    const Case cases[] = {
        {"records then no break to the end", lines(1, 5) + noBreaks, 2000, {5, 4, 3, 2, 1}, whole},
        {"a huge line between records",
         lines(1, 5) + noBreaks + "\r\n" + lines(6, 10),
         2000,
         {10, 9, 8, 7, 6, 5, 4, 3, 2, 1},
         whole},
        {"lone CR and LF around the huge line",
         lines(1, 5, "\r") + noBreaks + "\n" + lines(6, 10, "\r"),
         2000,
         {10, 9, 8, 7, 6, 5, 4, 3, 2, 1},
         whole},
        {"a huge first line after the BOM",
         "\xEF\xBB\xBF" + noBreaks + "\r\n" + lines(1, 4),
         2000,
         {4, 3, 2, 1},
         whole},
        {"a whole record longer than a line may be",
         lines(1, 3) + recordOfSize(kLimit + 1) + lines(4, 6) + recordOfSize(20 * kLimit) + lines(7, 8),
         2000,
         {8, 7, 6, 5, 4, 3, 2, 1},
         whole},
        {"a record as long as a line may be",
         lines(1, 2) + recordOfSize(kLimit) + lines(3, 3),
         2000,
         {3, kLong, 2, 1},
         whole},
        {"enough records after the damage",
         lines(1, 5) + noBreaks + "\r\n" + lines(6, 12),
         4,
         {12, 11, 10, 9},
         2 * static_cast<std::int64_t>(kLimit)},
    };
    platform::MakeDirs(DataDir() + "/spool");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        test::WriteFile(SendLogPath(), c.Text);
        TCountingSpoolFiles files;
        std::vector<TSendRecord> back;
        const std::int64_t peak =
            PeakHeapDuring([&] { back = ReadSendLogFile(files, SendLogPath(), c.Max); });
        ASSERT_EQ(back.size(), c.Want.size());
        for (size_t i = 0; i < back.size(); ++i) {
            SCOPED_TRACE(i);
            if (c.Want[i] == kLong) {
                EXPECT_EQ(back[i].Lines, kLong);
                EXPECT_EQ(back[i].Note, std::string(back[i].Note.size(), 'n'));
                EXPECT_EQ(SendRecordLine(back[i]).size(), kLimit + 2);
            } else {
                ExpectSame(back[i], all[c.Want[i] - 1]);
            }
        }
        // Every byte is read at most once, and the memory held stays far below the damage.
        EXPECT_LE(files.BytesRead,
                  c.MaxBytesRead < 0 ? static_cast<std::int64_t>(c.Text.size()) : c.MaxBytesRead);
        EXPECT_LT(peak, kHeapBound);
    }
}

} // namespace
} // namespace pavona

// The replaced allocation functions of this test program (the aligned ones stay the library's and
// never see these blocks).
void* operator new(std::size_t size) {
    if (void* p = pavona::CountedAlloc(size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return pavona::CountedAlloc(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return pavona::CountedAlloc(size);
}
void operator delete(void* p) noexcept {
    pavona::CountedFree(p);
}
void operator delete[](void* p) noexcept {
    pavona::CountedFree(p);
}
void operator delete(void* p, std::size_t) noexcept {
    pavona::CountedFree(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    pavona::CountedFree(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    pavona::CountedFree(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    pavona::CountedFree(p);
}
