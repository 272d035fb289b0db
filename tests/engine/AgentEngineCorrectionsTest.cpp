// Sending spooled corrections: earlier days' files are not stranded, a correction the server
// cannot apply yet does not hold back the others, and applied corrections are not sent again.
#include "tests/engine/EngineFixture.h"

#include "pos/AgentReport.h"
#include "store/AgentSendLog.h"
#include "store/AgentSpool.h"

namespace pavona::test {
namespace {

class EngineCorrectionsTest : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(AddStore()) << FServer->LastError();
        SaveAgentSettings();
        FEngine = MakeEngine();
    }
    void SpoolSale(const std::string& key) {
        ASSERT_TRUE(Spool().Append("2026-10-03", key, SaleLinePayload(key)));
    }
    void SpoolVoid(const std::string& day, const std::string& key) {
        TCancelOut c;
        c.TxKey = key;
        c.Kind = "void";
        c.Reason = "POS 취소 #1";
        c.OccurredAtLocal = EncodeDateTime(2026, 10, 4, 12, 0, 0);
        ASSERT_TRUE(Spool().Append(day, key, CancelJson(c)));
    }
    std::size_t PendingOf(const std::string& day) {
        std::vector<TSpoolEntry> e;
        EXPECT_TRUE(Spool().Pending(day, e));
        return e.size();
    }
    std::unique_ptr<TAgentEngine> FEngine;
};

TEST_F(EngineCorrectionsTest, EarlierDaysGoOutOldestFirstAndAreMarked) {
    SpoolSale("S:1");
    SpoolSale("S:2");
    FEngine->FlushSpool();
    SpoolVoid("2026-10-04-cancel", "S:1");
    SpoolVoid("2026-10-06-cancel", "S:2");
    SpoolVoid("2026-10-07-cancel", "S:2"); // a file dated after today is left alone
    ASSERT_TRUE(FServer->ClearReceived());
    FEngine->SendCancels();

    EXPECT_EQ(ElementsPerRequest("/api/agent/cancels", "cancels"), (std::vector<std::size_t>{1, 1}));
    const std::vector<TSendRecord> log = ReadSendLog(2);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1].FileDay, "2026-10-04-cancel");
    EXPECT_EQ(log[0].FileDay, "2026-10-06-cancel");
    EXPECT_EQ(FServer->Summary(kStore).CorrectionsApplied, 2);
    EXPECT_EQ(PendingOf("2026-10-04-cancel"), 0u);
    EXPECT_EQ(PendingOf("2026-10-06-cancel"), 0u);

    ASSERT_TRUE(FServer->ClearReceived());
    FEngine->SendCancels();
    EXPECT_EQ(Seen("/api/agent/cancels").Size(), 0u);
}

TEST_F(EngineCorrectionsTest, CorrectionsWaitingForTheirSaleDoNotHoldBackTheOthers) {
    SpoolSale("S:1");
    FEngine->FlushSpool();
    // 200 corrections of sales the server has not received yet, then one it can apply.
    for (int i = 1; i <= 200; ++i)
        SpoolVoid("2026-10-06-cancel", "LATE:" + std::to_string(i));
    SpoolVoid("2026-10-06-cancel", "S:1");
    ASSERT_TRUE(FServer->ClearReceived());
    FEngine->SendCancels();

    EXPECT_EQ(ElementsPerRequest("/api/agent/cancels", "cancels"), (std::vector<std::size_t>{200, 1}));
    EXPECT_EQ(FServer->Summary(kStore).CorrectionsApplied, 1);
    EXPECT_EQ(PendingOf("2026-10-06-cancel"), 200u);
    const std::vector<TSendRecord> log = ReadSendLog(2);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1].Note, "일부 대기 — 원 판매가 들어오면 다시 보낸다");
    EXPECT_EQ(log[1].Rejected, 200);

    // Once the sales arrive the waiting corrections are applied and marked.
    for (int i = 1; i <= 200; ++i)
        SpoolSale("LATE:" + std::to_string(i));
    FEngine->FlushSpool();
    FEngine->SendCancels();
    EXPECT_EQ(FServer->Summary(kStore).CorrectionsApplied, 201);
    EXPECT_EQ(PendingOf("2026-10-06-cancel"), 0u);
}

// In one request: a correction the server applies and one whose sale it has not seen. Only the
// waiting one is offered again; the applied one is never re-sent.
TEST_F(EngineCorrectionsTest, AppliedCorrectionsOfARetryableAnswerAreNotSentAgain) {
    SpoolSale("S:1");
    FEngine->FlushSpool();
    SpoolVoid("2026-10-06-cancel", "S:1");
    SpoolVoid("2026-10-06-cancel", "LATE:1");
    ASSERT_TRUE(FServer->ClearReceived());
    FEngine->SendCancels();
    EXPECT_EQ(ElementsPerRequest("/api/agent/cancels", "cancels"), (std::vector<std::size_t>{2}));
    EXPECT_EQ(FServer->Summary(kStore).CorrectionsApplied, 1);
    EXPECT_EQ(PendingOf("2026-10-06-cancel"), 1u);

    ASSERT_TRUE(FServer->ClearReceived());
    FEngine->SendCancels();
    EXPECT_EQ(ElementsPerRequest("/api/agent/cancels", "cancels"), (std::vector<std::size_t>{1}));
    const std::string body = ReadJsonString(Seen("/api/agent/cancels").At(0), "body");
    EXPECT_NE(body.find("LATE:1"), std::string::npos);
    EXPECT_EQ(body.find("\"S:1\""), std::string::npos);
}

TEST_F(EngineCorrectionsTest, HeldSendingSendsNoCorrection) {
    SpoolVoid("2026-10-06-cancel", "S:1");
    ASSERT_TRUE(Spool().SetHeld(std::string(64, 'b')));
    ASSERT_TRUE(FServer->ClearReceived());
    FEngine->SendCancels();
    EXPECT_EQ(Seen("/api/agent/cancels").Size(), 0u);
    EXPECT_EQ(PendingOf("2026-10-06-cancel"), 1u);
}

} // namespace
} // namespace pavona::test
