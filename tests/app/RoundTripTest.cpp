// /report against the reference server: sample lines through the spool, requests of at most 200
// lines, rejected lines left pending, the void of the first sample line, and every failure.
#include "tests/app/ConsoleFixture.h"

#include "app/AgentConsole.h"
#include "common/Text.h"
#include "platform/Clock.h"
#include "platform/Platform.h"
#include "pos/AgentReport.h"
#include "server/ApiJson.h"
#include "store/AgentSpool.h"

namespace pavona::test {
namespace {

// Real sale lines of 2026-10-06 waiting in a spool: lines 1..count of one receipt.
bool SpoolRealLines(TSpool& spool, const std::string& receipt, int count) {
    for (int i = 1; i <= count; ++i) {
        TReportLine l;
        l.TxKey = MakeTxKey(receipt, i);
        l.SoldAtLocal = EncodeDateTime(2026, 10, 6, 9, 0, 0);
        l.VendorItemCode = "512";
        l.Quantity = 1;
        l.UnitPrice = l.Amount = 1000;
        if (!spool.Append("2026-10-06", l.TxKey, LineJson(l))) return false;
    }
    return true;
}

class RoundTripTest : public ConsoleTest {
  protected:
    void SetUp() override {
        ConsoleTest::SetUp();
        StartServer();
    }
    // The requests the server saw on one path, oldest first.
    TJsonNode Seen(const std::string& path) {
        FSeen = FServer->Received(path);
        return TJsonNode::Parse(FSeen);
    }
    static TJsonNode Body(const TJsonNode& request) {
        return TJsonNode::Parse(ReadJsonString(request, "body"));
    }

    FixedClock FClock{EncodeDateTime(2026, 10, 6, 12, 0, 0)};
    ScopedClock FUse{FClock};
    std::string FSeen;
};

TEST_F(RoundTripTest, ThreeSamplesThroughTheAgentsOwnSpoolAndTheFirstVoidedAgain) {
    // The key in the file is wrong; the environment's key is the one used.
    SaveCompleteSettings(kStore, "wrong-key");
    ScopedEnv key("PAVONA_KEY", kKey);
    const ModeRun r = Run({"/report", "-sample", "3"});
    EXPECT_EQ(r.ExitCode, 0);
    EXPECT_EQ(r.Out, "Pavona 농할 에이전트 — 왕복 시험 (표본 3줄)\n"
                     "  서버    " +
                         FServer->BaseUrl() +
                         "\n"
                         "  사업자  1234567890\n"
                         "  인증키  12자\n"
                         "  정책    ok · 대상 품목 1개\n"
                         "  보관함  쌓음 3 · 보낼 것 3 · 깨진 줄 0\n"
                         "  ok  받음 3 · 중복 0 · 거절 0\n"
                         "  ok  취소 반영 1 · 건너뜀 0\n");

    const std::string spoolText = ReadFile(platform::JoinPath(SpoolDir(), "spool-2026-10-06.jsonl"));
    for (const char* k : {"2026-10-06:1", "2026-10-06:2", "2026-10-06:3"})
        EXPECT_NE(spoolText.find(k), std::string::npos) << k;
    TSpool spool(SpoolDir(), 0);
    std::vector<TSpoolEntry> pending;
    ASSERT_TRUE(spool.Pending("2026-10-06", pending));
    EXPECT_TRUE(pending.empty());

    const TJsonNode sales = Seen("/api/agent/sales");
    ASSERT_EQ(sales.Size(), 1u) << FSeen;
    const TJsonNode lines = Body(sales.At(0)).Member("lines");
    ASSERT_EQ(lines.Size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(ReadJsonString(lines.At(i), "tx_key"),
                  "KESTREL-SELFTEST-20261006:" + std::to_string(i + 1));
        EXPECT_EQ(ReadJsonString(lines.At(i), "vendor_item_code"), "512"); // the policy's first item
        EXPECT_EQ(ReadJsonString(lines.At(i), "vendor_item_name"), "대파");
    }
    const TJsonNode cancels = Seen("/api/agent/cancels");
    ASSERT_EQ(cancels.Size(), 1u) << FSeen;
    const TJsonNode voids = Body(cancels.At(0)).Member("cancels");
    ASSERT_EQ(voids.Size(), 1u);
    EXPECT_EQ(ReadJsonString(voids.At(0), "tx_key"), "KESTREL-SELFTEST-20261006:1");
    EXPECT_EQ(ReadJsonString(voids.At(0), "kind"), "void");
    EXPECT_EQ(ReadJsonString(voids.At(0), "reason"), kSampleVoidReason);
    const RefSummary sum = FServer->Summary(kStore);
    EXPECT_EQ(sum.Accepted, 3);
    EXPECT_EQ(sum.CorrectionsApplied, 1);
}

// Real lines of the day wait in the spool before the samples: they go in requests of at most 200
// lines, the one the server rejects stays pending, and only the sample line is voided.
TEST_F(RoundTripTest, PendingRealLinesAreSentInBatchesAndOnlyASampleIsVoided) {
    SaveCompleteSettings();
    const std::string dir = FRoot.File("spool-x");
    {
        TSpool spool(dir, 0);
        ASSERT_TRUE(SpoolRealLines(spool, "900", 250));
        TReportLine bad;
        bad.TxKey = MakeTxKey("901", 1);
        bad.SoldAtLocal = EncodeDateTime(2026, 10, 6, 9, 5, 0);
        bad.VendorItemCode = "512";
        bad.Quantity = 1;
        bad.UnitPrice = bad.Amount = 100;
        bad.DiscountAmount = 500; // more than the line's amount: the server rejects it
        ASSERT_TRUE(spool.Append("2026-10-06", bad.TxKey, LineJson(bad)));
    }
    const ModeRun r = Run({"/report", "-spool", dir, "-sample", "3"});
    EXPECT_EQ(r.ExitCode, 0) << r.Out;
    EXPECT_NE(r.Out.find("  보관함  쌓음 3 · 보낼 것 254 · 깨진 줄 0\n"
                         "  ok  받음 253 · 중복 0 · 거절 1\n"
                         "      거절 사유 — invalid_field:discount_amount\n"
                         "  ok  취소 반영 1 · 건너뜀 0\n"),
              std::string::npos)
        << r.Out;

    const TJsonNode sales = Seen("/api/agent/sales");
    ASSERT_EQ(sales.Size(), 2u) << FSeen;
    EXPECT_EQ(Body(sales.At(0)).Member("lines").Size(), 200u);
    EXPECT_EQ(Body(sales.At(1)).Member("lines").Size(), 54u);
    const TJsonNode voids = Body(Seen("/api/agent/cancels").At(0)).Member("cancels");
    ASSERT_EQ(voids.Size(), 1u) << FSeen;
    EXPECT_EQ(ReadJsonString(voids.At(0), "tx_key"), "KESTREL-SELFTEST-20261006:1");

    TSpool spool(dir, 0);
    std::vector<TSpoolEntry> pending;
    ASSERT_TRUE(spool.Pending("2026-10-06", pending));
    ASSERT_EQ(pending.size(), 1u);
    EXPECT_EQ(pending[0].Key, "901:1");
    EXPECT_FALSE(platform::FileExists(platform::JoinPath(SpoolDir(), "spool-2026-10-06.jsonl")));
}

// A sample line the server rejects is marked all the same (the agent must not offer it for ever);
// when a later request fails, the first sample, already at the server, is still voided.
TEST_F(RoundTripTest, RejectedSamplesAreMarkedAndAPartlySentRunStillVoidsItsSample) {
    SaveCompleteSettings();
    const std::string dir = FRoot.File("spool-y");
    {
        TSpool spool(dir, 0);
        ASSERT_TRUE(SpoolRealLines(spool, "700", 199));
    }
    // First request (199 real lines and sample 1) answered with sample 1 rejected; the second
    // request (samples 2 and 3) fails.
    RefFault rejectSample;
    rejectSample.Status = 200;
    rejectSample.Body =
        R"({"accepted":199,"duplicated":0,"rejected":[{"tx_key":"KESTREL-SELFTEST-20261006:1",)"
        R"("reason":"invalid_field:amount"}]})";
    rejectSample.Times = 1;
    ASSERT_TRUE(FServer->Fault("/api/agent/sales", rejectSample));
    const ModeRun first = Run({"/report", "-spool", dir, "-sample", "3"});
    EXPECT_EQ(first.ExitCode, 0) << first.Out;
    TSpool spool(dir, 0);
    std::vector<TSpoolEntry> pending;
    ASSERT_TRUE(spool.Pending("2026-10-06", pending));
    EXPECT_TRUE(pending.empty()) << pending.size() << " left, the first "
                                 << (pending.empty() ? "" : pending[0].Key);

    // A second run over another spool: the first request (199 real lines and sample 1) is taken,
    // the second (samples 2 and 3) fails. Sample 1 is at the server, so it is voided.
    const std::string dir2 = FRoot.File("spool-z");
    {
        TSpool s2(dir2, 0);
        ASSERT_TRUE(SpoolRealLines(s2, "800", 199));
    }
    ASSERT_TRUE(FServer->ClearReceived());
    RefFault secondFails;
    secondFails.Status = 503;
    secondFails.Skip = 1;
    ASSERT_TRUE(FServer->Fault("/api/agent/sales", secondFails));
    const ModeRun second = Run({"/report", "-spool", dir2, "-sample", "3"});
    EXPECT_EQ(second.ExitCode, 2);
    EXPECT_NE(second.Out.find("X  보내지 못했습니다 — "), std::string::npos) << second.Out;
    const TJsonNode cancels = Seen("/api/agent/cancels");
    ASSERT_EQ(cancels.Size(), 1u) << FSeen;
    const TJsonNode voids = Body(cancels.At(0)).Member("cancels");
    ASSERT_EQ(voids.Size(), 1u);
    EXPECT_EQ(ReadJsonString(voids.At(0), "tx_key"), "KESTREL-SELFTEST-20261006:1");
    TSpool s2(dir2, 0);
    ASSERT_TRUE(s2.Pending("2026-10-06", pending));
    ASSERT_EQ(pending.size(), 2u); // samples 2 and 3 wait for the next report
}

TEST_F(RoundTripTest, EveryFailureEndsWithCodeTwo) {
    const std::string spoolFile = FRoot.File("a-file");
    WriteFile(spoolFile, "not a folder");
    const struct {
        const char* Name;
        bool Settings;
        std::string Key;
        std::string Fault;
        std::vector<std::string> Args;
        std::string LastLine;
    } cases[] = {
        {"no store or key",
         false,
         "",
         "",
         {"/report", "-sample", "2"},
         "X  사업자번호와 인증키가 있어야 합니다"},
        {"wrong key",
         true,
         "wrong-key",
         "",
         {"/report", "-sample", "2"},
         "X  정책을 받지 못했습니다 — 인증키가 맞지 않습니다. 협회에서 받은 키를 다시 확인해 주세요."},
        {"spool cannot be written",
         true,
         kKey,
         "",
         {"/report", "-sample", "2", "-spool", spoolFile},
         "X  보관함에 쌓지 못했습니다"},
        {"sales refused",
         true,
         kKey,
         "/api/agent/sales",
         {"/report", "-sample", "2"},
         "X  보내지 못했습니다 — 협회 서버에 문제가 있습니다. 잠시 뒤 다시 시도합니다."},
        {"void refused",
         true,
         kKey,
         "/api/agent/cancels",
         {"/report", "-sample", "2"},
         "X  취소를 보내지 못했습니다 — 협회 서버에 문제가 있습니다. 잠시 뒤 다시 시도합니다."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        platform::RemoveFile(SettingsPath());
        if (c.Settings) SaveCompleteSettings(kStore, c.Key);
        if (!c.Fault.empty()) {
            ASSERT_TRUE(FServer->Fault(c.Fault, 500));
        }
        const ModeRun r = Run(c.Args);
        EXPECT_EQ(r.ExitCode, 2);
        ASSERT_TRUE(EndsWith(r.Out, "\n")) << r.Out;
        const std::string body = r.Out.substr(0, r.Out.size() - 1);
        EXPECT_TRUE(StartsWith(body.substr(body.rfind('\n') + 1), c.LastLine)) << r.Out;
        ASSERT_TRUE(FServer->ClearFaults());
    }
    // The refused sales request left its lines pending; the refused void came after marking.
    TSpool spool(SpoolDir(), 0);
    std::vector<TSpoolEntry> pending;
    ASSERT_TRUE(spool.Pending("2026-10-06", pending));
    EXPECT_TRUE(pending.empty());
    EXPECT_EQ(FServer->Summary(kStore).Accepted, 2);
}

} // namespace
} // namespace pavona::test
