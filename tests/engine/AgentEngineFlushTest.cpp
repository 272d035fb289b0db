// Flushing the spool to the reference server: batch sizes, the flush notice, rejected lines that
// stay pending without holding back the rest, sessions ending between batches, damaged lines.
#include "tests/engine/EngineFixture.h"

#include "common/Text.h"
#include "config/AgentSettings.h"
#include "platform/Platform.h"
#include "store/AgentSendLog.h"
#include "store/AgentSpool.h"

namespace pavona::test {
namespace {

class EngineFlushTest : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(AddStore()) << FServer->LastError();
        SaveAgentSettings();
        FEngine = MakeEngine();
    }
    void AddLines(const std::string& day, int count, const std::string& prefix) {
        for (int i = 1; i <= count; ++i) {
            const std::string key = prefix + ":" + std::to_string(i);
            ASSERT_TRUE(Spool().Append(day, key, SaleLinePayload(key)));
        }
    }
    std::unique_ptr<TAgentEngine> FEngine;
};

TEST_F(EngineFlushTest, FourHundredFiftyLinesGoAsTwoHundredTwoHundredFiftyEvenWhenSessionsEndBetween) {
    AddLines("2026-10-05", 450, "R");
    ASSERT_TRUE(FServer->ClearReceived());
    // Every pause between batches ends the server's sessions: each batch must log in afresh.
    FView.OnRefresh = [&](const TAgentSnapshot& between) {
        EXPECT_TRUE(between.Flushing);
        ASSERT_TRUE(FServer->ExpireSessions());
    };
    FEngine->FlushSpool();

    EXPECT_EQ(ElementsPerRequest("/api/agent/sales", "lines"), (std::vector<std::size_t>{200, 200, 50}));
    EXPECT_EQ(FView.StatusRefreshes, 2); // between the batches
    EXPECT_EQ(FEngine->Snapshot().Report.Text, "실적 450줄을 협회로 보냈습니다.");
    EXPECT_FALSE(FEngine->Snapshot().Flushing);
    EXPECT_TRUE(Spool().PendingDays().empty());
    EXPECT_EQ(FServer->Summary(kStore).Accepted, 450);
    EXPECT_EQ(FEngine->Snapshot().SentToday, 450);
    EXPECT_EQ(ToMSecs(FEngine->Snapshot().SentDay), ToMSecs(EncodeDate(2026, 10, 6)));
    EXPECT_EQ(Seen("/api/auth/agent").Size(), 3u);

    EXPECT_EQ(ReadIniKey("state", "sent_day"), "10/06/2026");
    EXPECT_EQ(ReadIniKey("state", "sent_count"), "450");
    EXPECT_EQ(ReadIniKey("state", "last_send"), "10/06/2026 00:30:00");
    EXPECT_EQ(ReadIniKey("state", "last_collect"), "12/30/1899");
    // The counters survive a restart of the agent.
    auto again = MakeEngine();
    EXPECT_EQ(again->Snapshot().SentToday, 450);
    EXPECT_EQ(ToMSecs(again->Snapshot().LastSendAt), ToMSecs(FClock.Now()));

    // Sent lines are never offered again.
    ASSERT_TRUE(FServer->ClearReceived());
    FEngine->FlushSpool();
    EXPECT_EQ(Seen("/api/agent/sales").Size(), 0u);
}

TEST_F(EngineFlushTest, ExactlyTwoHundredKeepsTheBatchNoticeAndTwoDaysGoInTwoRequests) {
    AddLines("2026-10-04", 10, "A");
    AddLines("2026-10-05", 200, "B");
    FEngine->FlushSpool();
    EXPECT_EQ(ElementsPerRequest("/api/agent/sales", "lines"), (std::vector<std::size_t>{10, 200}));
    // 210 lines in all: more than 200, so the flush sums them up.
    EXPECT_EQ(FEngine->Snapshot().Report.Text, "실적 210줄을 협회로 보냈습니다.");

    AddLines("2026-10-06", 200, "C");
    FEngine->FlushSpool();
    EXPECT_EQ(FEngine->Snapshot().Report.Text, "실적 200줄을 협회로 보냈습니다 (중복 0).");
}

TEST_F(EngineFlushTest, RejectedLinesStayPendingWithoutBlockingLaterLinesAndDays) {
    // The oldest day holds only a line the server always refuses (its discount exceeds its amount).
    ASSERT_TRUE(Spool().Append("2026-10-04", "BAD:1", SaleLinePayload("BAD:1", 1000, 5000)));
    // The next day starts with another refused line before 250 good ones.
    ASSERT_TRUE(Spool().Append("2026-10-05", "BAD:2", SaleLinePayload("BAD:2", 1000, 5000)));
    AddLines("2026-10-05", 250, "G");
    ASSERT_TRUE(FServer->ClearReceived());
    FEngine->FlushSpool();

    EXPECT_EQ(ElementsPerRequest("/api/agent/sales", "lines"), (std::vector<std::size_t>{1, 200, 51}));
    const RefSummary sum = FServer->Summary(kStore);
    EXPECT_EQ(sum.Accepted, 250);
    EXPECT_EQ(sum.Rejected, 2);
    EXPECT_EQ(Spool().PendingDays(), (std::vector<std::string>{"2026-10-04", "2026-10-05"}));
    std::vector<TSpoolEntry> left;
    ASSERT_TRUE(Spool().Pending("2026-10-05", left));
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].Key, "BAD:2");
    // The last batch had no rejection, so the flush sums up what went out.
    EXPECT_EQ(FEngine->Snapshot().Report.Text, "실적 250줄을 협회로 보냈습니다.");

    const std::vector<TSendRecord> log = ReadSendLog(10);
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log.back().FileDay, "2026-10-04"); // newest first: the oldest request is last
    EXPECT_EQ(log.back().Rejected, 1);
    EXPECT_EQ(log.back().Note, "거절 사유: invalid_field:discount_amount");

    // The next flush offers the refused lines again, once each, and nothing else.
    ASSERT_TRUE(FServer->ClearReceived());
    FEngine->FlushSpool();
    EXPECT_EQ(ElementsPerRequest("/api/agent/sales", "lines"), (std::vector<std::size_t>{1, 1}));
}

TEST_F(EngineFlushTest, DamagedSpoolLinesStayTheNoticeWhileTheSendIsLogged) {
    AddLines("2026-10-05", 3, "R");
    ASSERT_TRUE(platform::AppendToFile(Spool().SpoolPath("2026-10-05"), "R:9\tdeadbeef\t{\"x\":1}\r\n"));
    FEngine->FlushSpool();
    // A line that cannot be read is graver than lines that went out: the send does not hide it.
    EXPECT_EQ(FEngine->Snapshot().Report.Text, "⚠ 보관 파일에서 1줄을 읽지 못했습니다 — 협회에 알려 주세요.");
    EXPECT_EQ(FServer->Summary(kStore).Accepted, 3);
    EXPECT_NE(LogText().find("주의  수집  보관 파일에서 1줄을 읽지 못했습니다 — 협회에 알려 주세요."),
              std::string::npos)
        << LogText();
    EXPECT_NE(LogText().find("정보  수집  실적 3줄을 협회로 보냈습니다 (중복 0)."), std::string::npos)
        << LogText();
}

// Every batch of a flush sees the same damaged line; the log gets one warning a flush, not one a batch.
TEST_F(EngineFlushTest, DamagedSpoolLinesAreLoggedOnceAFlush) {
    AddLines("2026-10-05", 450, "R");
    ASSERT_TRUE(platform::AppendToFile(Spool().SpoolPath("2026-10-05"), "R:999\tdeadbeef\t{\"x\":1}\r\n"));
    FEngine->FlushSpool();
    EXPECT_EQ(ElementsPerRequest("/api/agent/sales", "lines"), (std::vector<std::size_t>{200, 200, 50}));
    const std::string log = LogText();
    size_t count = 0;
    for (size_t at = log.find("보관 파일에서 1줄을 읽지 못했습니다"); at != std::string::npos;
         at = log.find("보관 파일에서 1줄을 읽지 못했습니다", at + 1))
        ++count;
    EXPECT_EQ(count, 1u) << log;
}

TEST_F(EngineFlushTest, AFullSpoolStopsCollectingButStillSendsAndTheWarningIsLogged) {
    AddLines("2026-10-05", 3, "R");
    // More than the 20 MiB the spool may hold.
    WriteFile(Spool().Dir() + "filler.bin", std::string(21 * 1024 * 1024, 'x'));
    auto engine = MakeEngine(); // measures the folder afresh
    engine->RefreshPolicy();
    engine->CollectIfIdle();
    // The lines already kept still go out, but the notice stays on what stopped.
    EXPECT_EQ(engine->Snapshot().Report.Text,
              "⚠ 보관 공간이 찼습니다 — 수집을 멈췄습니다. 협회에 연락해 주세요.");
    EXPECT_EQ(FServer->Summary(kStore).Accepted, 3);
    EXPECT_EQ(engine->Snapshot().LastCollectAt, 0);
    EXPECT_NE(LogText().find("오류  수집  보관 공간이 찼습니다 — 수집을 멈췄습니다. 협회에 연락해 주세요."),
              std::string::npos)
        << LogText();
}

TEST_F(EngineFlushTest, ServerDownKeepsEverythingPendingAndSaysSo) {
    AddLines("2026-10-05", 5, "R");
    FServer->Stop();
    FEngine->FlushSpool();
    EXPECT_TRUE(StartsWith(FEngine->Snapshot().Report.Text, "실적을 보내지 못했습니다 — "))
        << FEngine->Snapshot().Report.Text;
    std::vector<TSpoolEntry> left;
    ASSERT_TRUE(Spool().Pending("2026-10-05", left));
    EXPECT_EQ(left.size(), 5u);
    const std::vector<TSendRecord> log = ReadSendLog(1);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_FALSE(log[0].Ok);
    EXPECT_EQ(FEngine->Snapshot().SentToday, 0);
}

} // namespace
} // namespace pavona::test
