// The agent log and query log against real files in a temporary data folder, with the clock set.
#include "store/AgentLog.h"

#include "common/DateTime.h"
#include "platform/Clock.h"
#include "platform/Platform.h"
#include "tests/support/TestSupport.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace pavona {
namespace {

class AgentLogTest : public test::TempDataTest {
  protected:
    std::string LogsDir() const { return platform::JoinPath(DataDir(), "logs") + platform::kPathSep; }
    std::string DayFile(const char* day) const { return LogsDir() + "agent-" + day + ".log"; }
};

TEST_F(AgentLogTest, LinesAreWrittenByteExactIntoTheDayFile) {
    FixedClock clock(EncodeDateTime(2026, 10, 6, 9, 40, 1, 123));
    ScopedClock use(clock);
    EXPECT_EQ(LogDir(), LogsDir());
    ASSERT_FALSE(platform::DirExists(LogsDir()));

    struct Case {
        void (*call)(const std::string&, const std::string&);
        const char* category;
        const char* message;
        const char* expected;
    };
    const Case cases[] = {
        {LogInfo, "전송", "실적 1줄 → 받음 1 · 중복 0 · 거절 0 (2026-10-06)",
         "2026-10-06 09:40:01.123  정보  전송  실적 1줄 → 받음 1 · 중복 0 · 거절 0 (2026-10-06)\r\n"},
        // A CR LF pair becomes two spaces: each of the two characters is replaced on its own.
        {LogWarn, "수집", "앞줄\r\n뒷줄", "2026-10-06 09:40:01.123  주의  수집  앞줄  뒷줄\r\n"},
        {LogError, "정책", "a\rb\nc\n", "2026-10-06 09:40:01.123  오류  정책  a b c \r\n"},
        {LogInfo, "대상 품목", "", "2026-10-06 09:40:01.123  정보  대상 품목  \r\n"},
    };
    std::string expected;
    for (const Case& c : cases) {
        c.call(c.category, c.message);
        expected += c.expected;
    }
    // The folder was made by the first write, and the file is exactly the lines, no BOM.
    EXPECT_EQ(test::ReadFile(DayFile("2026-10-06")), expected);

    const std::vector<std::string> lines = ReadLogDay(EncodeDate(2026, 10, 6));
    ASSERT_EQ(lines.size(), std::size(cases));
    EXPECT_EQ(lines[1], "2026-10-06 09:40:01.123  주의  수집  앞줄  뒷줄");
    EXPECT_NE(lines[2].find("  오류  "), std::string::npos);
}

TEST_F(AgentLogTest, WritesJustAfterMidnightGoToTheNewDaysFile) {
    FixedClock clock(EncodeDateTime(2026, 10, 6, 23, 59, 59, 999));
    ScopedClock use(clock);
    LogInfo("수집", "전날");
    clock.AdvanceMs(1);
    LogInfo("수집", "다음날");

    EXPECT_EQ(test::ReadFile(DayFile("2026-10-06")), "2026-10-06 23:59:59.999  정보  수집  전날\r\n");
    EXPECT_EQ(test::ReadFile(DayFile("2026-10-07")), "2026-10-07 00:00:00.000  정보  수집  다음날\r\n");
    EXPECT_EQ(ReadLogDay(EncodeDate(2026, 10, 7)),
              std::vector<std::string>{"2026-10-07 00:00:00.000  정보  수집  다음날"});
}

TEST_F(AgentLogTest, ReadingADaySplitsOnEveryLineEndAndLeavesOutAnUnfinishedLine) {
    test::WriteFile(DayFile("2026-10-06"), "\xEF\xBB\xBF"
                                           "a\r\nb\rc\nd\r\n\r\n"
                                           "still being writ");
    EXPECT_EQ(ReadLogDay(EncodeDate(2026, 10, 6)), (std::vector<std::string>{"a", "b", "c", "d", ""}));
    // Once the other writer finishes its line, the line is read whole.
    platform::AppendToFile(DayFile("2026-10-06"), "ten\r\n");
    EXPECT_EQ(ReadLogDay(EncodeDate(2026, 10, 6)).back(), "still being written");
    EXPECT_TRUE(ReadLogDay(EncodeDate(2026, 10, 5)).empty());
}

TEST_F(AgentLogTest, PruneKeepsFourteenDaysBackAndDeletesOlderDayFilesOnly) {
    // Today is early in March, so fourteen days back crosses the end of February.
    const TDateTime today = EncodeDate(2026, 3, 5);
    FixedClock clock(today + 0.5);
    ScopedClock use(clock);
    for (int back = 0; back < 20; ++back)
        test::WriteFile(LogsDir() + "agent-" + FormatDay(IncDay(today, -back)) + ".log", "x\r\n");
    // Names that are not day files of the folder are judged by the same rule or left alone.
    const char* kept[] = {"agent-old.log", "other.log", "agent-2000-01-01.txt", "sub/agent-2000-01-01.log"};
    for (const char* name : kept)
        test::WriteFile(LogsDir() + name, "x\r\n");
    test::WriteFile(LogsDir() + "agent-.log", "x\r\n");

    PruneLogs(14);

    for (int back = 0; back < 20; ++back) {
        const std::string day = FormatDay(IncDay(today, -back));
        EXPECT_EQ(platform::FileExists(LogsDir() + "agent-" + day + ".log"), back <= 14) << day;
    }
    EXPECT_TRUE(platform::FileExists(LogsDir() + "agent-2026-02-19.log"));
    EXPECT_FALSE(platform::FileExists(LogsDir() + "agent-2026-02-18.log"));
    for (const char* name : kept)
        EXPECT_TRUE(platform::FileExists(LogsDir() + name)) << name;
    // ".log" sorts before any date, so this one goes.
    EXPECT_FALSE(platform::FileExists(LogsDir() + "agent-.log"));
}

TEST_F(AgentLogTest, PruneWithoutALogsFolderDoesNotCreateOne) {
    PruneLogs(14);
    EXPECT_FALSE(platform::DirExists(LogsDir()));
}

TEST_F(AgentLogTest, QueryRunsAreRecordedPerNameAndLogged) {
    ClearQueryRunsForTests();
    FixedClock clock(EncodeDateTime(2026, 10, 6, 9, 30, 0, 5));
    ScopedClock use(clock);

    RecordQueryRun("SQL_SALES", "SELECT 1", "from=09:15 to=09:20", "", 12, 35);
    clock.AdvanceMs(1000);
    RecordQueryRun("SQL_SALES", "SELECT 2", "", "시간 초과", -1, 60000);
    RecordQueryRun("SQL_GOODS", "SELECT 3", "", "", 0, 7);

    std::vector<TQueryRun> runs = QueryRuns();
    ASSERT_EQ(runs.size(), 2u);
    std::sort(runs.begin(), runs.end(),
              [](const TQueryRun& a, const TQueryRun& b) { return a.Name > b.Name; });
    const TQueryRun& sales = runs[0];
    EXPECT_EQ(sales.Name, "SQL_SALES");
    EXPECT_EQ(sales.Count, 2);
    EXPECT_EQ(sales.Error, "시간 초과");
    EXPECT_EQ(sales.Rows, -1);
    EXPECT_EQ(sales.Ms, 60000);
    EXPECT_EQ(sales.Params, "");
    EXPECT_EQ(sales.Sql, "SELECT 2");
    EXPECT_EQ(ToMSecs(sales.At), ToMSecs(EncodeDateTime(2026, 10, 6, 9, 30, 1, 5)));
    EXPECT_EQ(runs[1].Name, "SQL_GOODS");
    EXPECT_EQ(runs[1].Count, 1);
    EXPECT_EQ(runs[1].Error, "");

    EXPECT_EQ(test::ReadFile(DayFile("2026-10-06")),
              "2026-10-06 09:30:00.005  정보  쿼리  SQL_SALES — 12행 · 35 ms from=09:15 to=09:20\r\n"
              "2026-10-06 09:30:01.005  오류  쿼리  SQL_SALES — 시간 초과 (60000 ms) \r\n"
              "2026-10-06 09:30:01.005  정보  쿼리  SQL_GOODS — 0행 · 7 ms \r\n");

    // A later success clears the error of the earlier run.
    RecordQueryRun("SQL_SALES", "SELECT 1", "p", "", 3, 4);
    runs = QueryRuns();
    const auto it =
        std::find_if(runs.begin(), runs.end(), [](const TQueryRun& r) { return r.Name == "SQL_SALES"; });
    ASSERT_NE(it, runs.end());
    EXPECT_EQ(it->Error, "");
    EXPECT_EQ(it->Rows, 3);
    EXPECT_EQ(it->Count, 3);
}

TEST_F(AgentLogTest, AFreshProcessHasNoQueryRuns) {
    // The check runs in a newly started copy of this program, whatever this process recorded.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(QueryRuns().empty() ? 0 : 1), ::testing::ExitedWithCode(0), "");
}

TEST_F(AgentLogTest, ConcurrentWritersNeverSplitOrLoseALine) {
    ClearQueryRunsForTests();
    FixedClock clock(EncodeDateTime(2026, 10, 6, 12, 0, 0, 0));
    ScopedClock use(clock);
    constexpr int kThreads = 4, kEach = 150;
    const std::string longText(2000, 'x');
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i)
                RecordQueryRun("Q" + std::to_string(t), "", longText, "", i, 1);
        });
    for (std::thread& th : threads)
        th.join();

    const std::vector<std::string> lines = ReadLogDay(EncodeDate(2026, 10, 6));
    ASSERT_EQ(lines.size(), size_t(kThreads * kEach));
    for (const std::string& line : lines) {
        ASSERT_TRUE(line.starts_with("2026-10-06 12:00:00.000  정보  쿼리  Q")) << line.substr(0, 80);
        ASSERT_TRUE(line.ends_with(" · 1 ms " + longText));
    }
    const std::vector<TQueryRun> runs = QueryRuns();
    ASSERT_EQ(runs.size(), size_t(kThreads));
    for (const TQueryRun& r : runs)
        EXPECT_EQ(r.Count, kEach) << r.Name;
}

TEST_F(AgentLogTest, LoggingWhereNothingCanBeWrittenDoesNotRaise) {
    FixedClock clock(EncodeDateTime(2026, 10, 6, 9, 0, 0, 0));
    ScopedClock use(clock);
    struct Case {
        const char* what;
        std::string blocker; // a file where a folder must be, or a folder where the file must be
        bool asFolder;
    };
    const Case cases[] = {
        {"logs is a file", DataDir() + "/logs", false},
        {"day file is a folder", DayFile("2026-10-06"), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(DataDir());
        if (c.asFolder)
            ASSERT_TRUE(platform::MakeDirs(c.blocker));
        else
            test::WriteFile(c.blocker, "not a folder");

        EXPECT_NO_THROW(LogInfo("시작", "에이전트 시작"));
        EXPECT_NO_THROW(LogError("수집", "실패"));
        EXPECT_NO_THROW(RecordQueryRun("SQL_SALES", "", "", "연결 실패", -1, 15000));
        EXPECT_NO_THROW(PruneLogs(14));
        EXPECT_TRUE(ReadLogDay(EncodeDate(2026, 10, 6)).empty());
        if (!c.asFolder) {
            EXPECT_EQ(test::ReadFile(c.blocker), "not a folder");
        }
    }
    // The query run is still recorded even though its log line was lost.
    EXPECT_FALSE(QueryRuns().empty());
}

} // namespace
} // namespace pavona
