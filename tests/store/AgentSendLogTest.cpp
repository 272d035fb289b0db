// The send log in a temporary data folder: byte-exact records, their agent-log lines, and reading
// the newest records back from the end of the file.
#include "store/AgentSendLog.h"

#include "common/DateTime.h"
#include "common/Text.h"
#include "platform/Clock.h"
#include "platform/Platform.h"
#include "store/AgentLog.h"
#include "tests/support/TestSupport.h"

#include <random>

namespace pavona {
namespace {

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
    EXPECT_EQ(SendLogPath(), DataDir() + "/spool/sendlog.tsv");

    TSendRecord ok{EncodeDateTime(2026, 10, 6, 9, 40, 0, 900), "실적", "2026-10-06", 1, 1, 0, 0, true, ""};
    TSendRecord fail{EncodeDateTime(2026, 10, 6, 9, 41, 2),
                     "취소",
                     "2026-10-06-cancel",
                     3,
                     0,
                     0,
                     0,
                     false,
                     "서버\t응답\r\n없음\n끝"};
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
    AppendSendRecord(TSendRecord{EncodeDateTime(2026, 10, 6, 9, 40, 0), "실적", "2026-10-06", 5, 0, 0, 0,
                                 false, "연결 실패"});
    EXPECT_EQ(LogText(), "2026-10-06 09:40:01.000  오류  전송  실적 5줄 실패 — 연결 실패 (2026-10-06)\r\n");
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
                                    0, 1, false, ""});
    ExpectSame(back[1],
               TSendRecord{EncodeDateTime(2026, 10, 6, 9, 0, 1), "실적", "2026-10-06", 2, 2, 0, 0, true, ""});
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

} // namespace
} // namespace pavona
