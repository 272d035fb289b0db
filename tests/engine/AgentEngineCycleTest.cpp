// The report cycle end to end: demo POS → spool → reference server, across server downtime,
// corrections, a schema hold, a changed point identity, missing settings, odd timer periods and
// errors raised inside a cycle.
#include "tests/engine/EngineFixture.h"

#include "common/Text.h"
#include "config/AgentSettings.h"
#include "engine/AgentSchema.h"
#include "store/AgentSpool.h"
#include "tools/demopos/DemoPos.h"

#include <stdexcept>

namespace pavona::test {
namespace {

class EngineCycleTest : public EngineTest {
  protected:
    // One day of demo sales on 2026-10-05; the clock stands at 00:30 the next morning.
    // Without cancels and returns unless asked: their notices would replace the send notices.
    demopos::TDemoSummary MakeDemoDay(int receipts, bool corrections = false) {
        demopos::TDemoOptions o;
        if (!corrections) o.FullCancelRate = o.PartialCancelRate = o.ReturnRate = 0;
        o.FirstDay = EncodeDate(2026, 10, 5);
        o.Days = 1;
        o.ReceiptsPerDay = receipts;
        const demopos::TDemoResult r = demopos::Generate(FPosPath, o);
        EXPECT_TRUE(r.Ok) << r.Error;
        return r.Summary;
    }
    void Later(int minutes) { FClock.Set(IncMinute(FClock.Now(), minutes)); }
};

TEST_F(EngineCycleTest, ADayReachesTheServerExactlyOnceAlsoAfterTheServerWasDown) {
    const demopos::TDemoSummary demo = MakeDemoDay(120);
    ASSERT_EQ(demo.Days.size(), 1u);
    ASSERT_TRUE(AddStore()) << FServer->LastError();
    SaveAgentSettings();
    auto engine = MakeEngine();
    engine->RefreshPolicy();
    ASSERT_EQ(engine->Snapshot().PolicyError, "");
    EXPECT_EQ(engine->Snapshot().PointLabel, "M7 솔빛마트");

    FServer->Stop();
    for (int i = 0; i < 2; ++i) {
        engine->CollectIfIdle();
        EXPECT_TRUE(StartsWith(engine->Snapshot().Report.Text, "실적을 보내지 못했습니다 — "))
            << engine->Snapshot().Report.Text;
        Later(10);
    }
    EXPECT_EQ(engine->Snapshot().PosState, TPosState::Read);
    EXPECT_EQ(ToMSecs(Spool().Watermark()), ToMSecs(EncodeDateTime(2026, 10, 6, 0, 30, 0)));
    EXPECT_EQ(Spool().PendingDays(), (std::vector<std::string>{"2026-10-05"}));

    ASSERT_TRUE(FServer->Restart()) << FServer->LastError();
    engine->CollectIfIdle();
    RefSummary sum = FServer->Summary(kStore);
    EXPECT_EQ(sum.Accepted, demo.Days[0].ReportableLines);
    EXPECT_EQ(sum.Duplicated, 0);
    EXPECT_EQ(sum.Rejected, 0);
    EXPECT_TRUE(Spool().PendingDays().empty());
    EXPECT_EQ(engine->Snapshot().SentToday, demo.Days[0].ReportableLines);
    EXPECT_GE(sum.Heartbeats, 1);

    // Later cycles find nothing new and send no line twice.
    Later(10);
    EXPECT_EQ(engine->RunOnce().Line,
              std::string("판 ") + kAgentVersion + " · 점포 M7 솔빛마트 · 보고를 마쳤다");
    sum = FServer->Summary(kStore);
    EXPECT_EQ(sum.Accepted, demo.Days[0].ReportableLines);
    EXPECT_EQ(sum.Duplicated, 0);

    // A clock set back behind the watermark pauses reading and says why in the log.
    Later(-120);
    engine->CollectIfIdle();
    EXPECT_NE(LogText().find("PC 시계가 뒤로 돌아간 것 같습니다"), std::string::npos) << LogText();
}

TEST_F(EngineCycleTest, CancelsAndAReturnBecomeVoidAmendAndVoid) {
    std::string error;
    ASSERT_TRUE(demopos::CreateEmpty(FPosPath, error)) << error;
    auto receipt = [&](std::int64_t ord, int minute, std::int64_t goods, std::int64_t qty,
                       std::int64_t amount, std::int64_t subsidy) {
        demopos::TDemoReceipt r;
        r.OrdCode = ord;
        r.At = EncodeDateTime(2026, 10, 5, 10, minute, 0);
        demopos::TDemoLine g;
        g.Goods = goods;
        g.Qty = qty;
        g.Price = amount;
        demopos::TDemoLine d;
        d.Kind = 1;
        d.Goods = goods;
        d.Coupon = 7001;
        d.Price = -subsidy;
        r.Lines = {g, d};
        ASSERT_TRUE(demopos::AddReceipt(FPosPath, r, error)) << error;
    };
    receipt(900, 0, 512, 1, 5000, 1000);
    receipt(901, 5, 513, 1, 3000, 600);
    receipt(902, 10, 514, 3, 6000, 900);
    auto cancel = [&](std::int64_t code, std::int64_t ord, std::int64_t goods, std::int64_t amount,
                      std::int64_t subsidy) {
        demopos::TDemoCancel c;
        c.CancelCode = code;
        c.OrdCode = ord;
        c.At = EncodeDateTime(2026, 10, 5, 15, 0, 0);
        demopos::TDemoLine g;
        g.Seq = 1;
        g.Goods = goods;
        g.Price = amount;
        demopos::TDemoLine d;
        d.Seq = 2;
        d.Kind = 1;
        d.Goods = goods;
        d.Coupon = 7001;
        d.Price = -subsidy;
        c.Lines = {g, d};
        ASSERT_TRUE(demopos::AddCancel(FPosPath, c, error)) << error;
    };
    cancel(77, 900, 512, 5000, 1000); // the whole line
    cancel(78, 901, 513, 1000, 200);  // a third of it, with 200 of its subsidy
    demopos::TDemoReceipt ret;        // one of three returned
    ret.OrdCode = 950;
    ret.At = EncodeDateTime(2026, 10, 5, 16, 0, 0);
    ret.RegType = 2;
    ret.Origin = 902;
    demopos::TDemoLine back;
    back.Goods = 514;
    back.Qty = -1;
    back.Price = -2000;
    ret.Lines = {back};
    ASSERT_TRUE(demopos::AddReceipt(FPosPath, ret, error)) << error;

    ASSERT_TRUE(AddStore()) << FServer->LastError();
    SaveAgentSettings();
    auto engine = MakeEngine();
    engine->RefreshPolicy();
    engine->CollectIfIdle();

    const RefSummary sum = FServer->Summary(kStore);
    EXPECT_EQ(sum.Accepted, 3);
    EXPECT_EQ(sum.CorrectionsApplied, 3);
    EXPECT_EQ(sum.CorrectionsSkipped, 0);
    EXPECT_EQ(sum.ReportedExecuted, 400); // 1000 voided, 600 amended to 400, 900 voided

    const TJsonNode requests = Seen("/api/agent/cancels");
    ASSERT_EQ(requests.Size(), 1u);
    const TJsonNode list = TJsonNode::Parse(ReadJsonString(requests.At(0), "body")).Member("cancels");
    ASSERT_EQ(list.Size(), 3u);
    struct Want {
        const char* Key;
        const char* Kind;
        std::int64_t Corrected; // -1: no amount
        const char* Reason;
    } const want[] = {
        {"900:1", "void", -1, "POS 취소 #77"},
        {"901:1", "amend", 400, "POS 부분취소 #78"},
        {"902:1", "void", -1, "POS 부분반품 #950 — 남은 수량의 지원액을 가를 수 없어 줄 전체를 뺀다"},
    };
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(want[i].Key);
        const TJsonNode c = list.At(i);
        EXPECT_EQ(ReadJsonString(c, "tx_key"), want[i].Key);
        EXPECT_EQ(ReadJsonString(c, "kind"), want[i].Kind);
        EXPECT_EQ(ReadJsonInt64(c, "corrected_discount_amount", -1), want[i].Corrected);
        EXPECT_EQ(ReadJsonString(c, "reason"), want[i].Reason);
    }
    // Applied corrections are marked: the next cycle sends none again.
    Later(10);
    ASSERT_TRUE(FServer->ClearReceived());
    engine->CollectIfIdle();
    EXPECT_EQ(Seen("/api/agent/cancels").Size(), 0u);
}

TEST_F(EngineCycleTest, GeneratedCancelsAndReturnsAreAllAppliedOnce) {
    const demopos::TDemoSummary demo = MakeDemoDay(200, true);
    ASSERT_FALSE(demo.FullyCancelled.empty());
    ASSERT_FALSE(demo.PartlyCancelled.empty());
    ASSERT_FALSE(demo.ReturnReceipts.empty());
    ASSERT_TRUE(AddStore()) << FServer->LastError();
    SaveAgentSettings();
    auto engine = MakeEngine();
    engine->RefreshPolicy();
    engine->CollectIfIdle();
    const RefSummary sum = FServer->Summary(kStore);
    EXPECT_EQ(sum.Accepted, demo.Days[0].ReportableLines);
    EXPECT_GT(sum.CorrectionsApplied, 0);
    EXPECT_EQ(sum.CorrectionsSkipped, 0);
    std::vector<TSpoolEntry> waiting;
    ASSERT_TRUE(Spool().Pending("2026-10-06-cancel", waiting));
    EXPECT_TRUE(waiting.empty());

    // Reading the last minutes again brings no correction twice.
    Later(10);
    engine->CollectIfIdle();
    EXPECT_EQ(FServer->Summary(kStore).CorrectionsApplied, sum.CorrectionsApplied);
}

TEST_F(EngineCycleTest, AChangedPosSchemaHoldsSendingUntilTheAssociationApprovesIt) {
    const demopos::TDemoSummary demo = MakeDemoDay(30);
    ASSERT_TRUE(AddStore("pt-9", PolicyJson(std::string(64, 'a')))) << FServer->LastError();
    SaveAgentSettings();
    auto engine = MakeEngine();
    engine->RefreshPolicy();
    engine->CollectIfIdle();
    EXPECT_EQ(engine->Snapshot().Report.Text, kHoldNotice);
    EXPECT_EQ(Seen("/api/agent/sales").Size(), 0u);
    EXPECT_EQ(Seen("/api/agent/coupons").Size(), 1u);
    const std::string held = Spool().Held();
    ASSERT_EQ(held.size(), 64u);
    const TJsonNode status = Seen("/api/agent/status");
    ASSERT_EQ(status.Size(), 1u);
    EXPECT_EQ(ReadJsonString(TJsonNode::Parse(ReadJsonString(status.At(0), "body")), "schema_fingerprint"),
              held);

    // Sales keep spooling while the hold lasts.
    std::string error;
    ASSERT_TRUE(
        demopos::AddReceiptAt(FPosPath, EncodeDateTime(2026, 10, 6, 0, 25, 0), 512, 4000, 7001, 500, error))
        << error;
    Later(10);
    engine->CollectIfIdle();
    EXPECT_EQ(engine->Snapshot().Report.Text, kHoldNotice);
    EXPECT_EQ(Seen("/api/agent/sales").Size(), 0u);
    EXPECT_EQ(Spool().PendingDays(), (std::vector<std::string>{"2026-10-05", "2026-10-06"}));

    ASSERT_TRUE(FServer->SetPolicy(kStore, PolicyJson(held))) << FServer->LastError();
    engine->RefreshPolicy();
    Later(10);
    engine->CollectIfIdle();
    EXPECT_EQ(engine->Snapshot().HoldNote, "");
    EXPECT_EQ(Spool().Held(), "");
    EXPECT_TRUE(Spool().PendingDays().empty());
    EXPECT_EQ(FServer->Summary(kStore).Accepted, demo.Days[0].ReportableLines + 1);
}

TEST_F(EngineCycleTest, AChangedPointIdentityStopsCollection) {
    const demopos::TDemoSummary demo = MakeDemoDay(10);
    ASSERT_TRUE(AddStore("pt-9")) << FServer->LastError();
    SaveAgentSettings();
    auto engine = MakeEngine();
    EXPECT_EQ(engine->RunOnce().Line,
              Fmt("판 %s · 점포 M7 솔빛마트 · 실적 %lld줄을 협회로 보냈습니다 (중복 0).", kAgentVersion,
                  static_cast<long long>(demo.Days[0].ReportableLines)));
    const TDateTime collected = engine->Snapshot().LastCollectAt;

    ASSERT_TRUE(FServer->AddStore(kStore, kKey, "M8 새빛마트", "pt-10-changed", PolicyJson()));
    ASSERT_TRUE(FServer->ClearReceived());
    Later(10);
    EXPECT_EQ(engine->RunOnce().Line,
              std::string("판 ") + kAgentVersion +
                  " · 점포 M8 새빛마트 · ⛔ 이 PC 에 적힌 점포(pt-9)와 협회가 말하는 "
                  "점포(M8 새빛마트)가 다릅니다 — 수집과 보고를 멈췄습니다. 협회에 연락해 주세요.");
    EXPECT_EQ(Seen("/api/agent/sales").Size(), 0u);
    EXPECT_EQ(Seen("/api/agent/status").Size(), 0u);
    EXPECT_EQ(ToMSecs(engine->Snapshot().LastCollectAt), ToMSecs(collected));
}

TEST_F(EngineCycleTest, MissingSettingsMakeNoNetworkCall) {
    ASSERT_TRUE(AddStore()) << FServer->LastError();
    SaveAgentSettings(false);
    ASSERT_TRUE(FServer->ClearReceived());
    auto engine = MakeEngine();
    EXPECT_EQ(engine->RunOnce().Line, "설정이 비었다 — 사업자번호 있음 · 인증키 있음 · POS 접속 없음");
    engine->CollectIfIdle();
    EXPECT_EQ(engine->Snapshot().Report.Text, "");
    EXPECT_EQ(Seen("").Size(), 0u);

    // "지금 보내기" with nothing to send says when it looked.
    EXPECT_EQ(engine->SendNow(), TNotice::Info("지금 확인했습니다 (00:30) — 새로 보낼 실적이 없습니다."));
    EXPECT_EQ(FView.Notices.back(), "지금 확인했습니다 (00:30) — 새로 보낼 실적이 없습니다.");
    EXPECT_EQ(FView.StatusRefreshes, 1);
}

TEST_F(EngineCycleTest, ZeroOrNegativePeriodsFallBackToTheDefaultsAndAreLogged) {
    ASSERT_TRUE(AddStore()) << FServer->LastError();
    SaveAgentSettings();
    ASSERT_TRUE(WriteIniKey("timing", "collect_min", "0"));
    ASSERT_TRUE(WriteIniKey("timing", "policy_min", "-5"));
    auto engine = MakeEngine();
    struct Case {
        int Hour, Minute, WantMs;
    } const cases[] = {{10, 59, 600000}, {11, 0, 1800000}, {20, 59, 1800000}, {21, 0, 600000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Hour);
        FClock.Set(EncodeDateTime(2026, 10, 6, c.Hour, c.Minute, 0));
        EXPECT_EQ(engine->ReportTimerTick(), c.WantMs);
        EXPECT_EQ(ToMSecs(engine->Snapshot().NextCollectAt), ToMSecs(FClock.Now()) + c.WantMs);
    }
    EXPECT_EQ(engine->PolicyTimerTick(), 1800000);
    EXPECT_EQ(engine->Snapshot().PointId, "pt-9");
    const std::string log = LogText();
    EXPECT_NE(log.find("주의  수집  수집 주기 0분은 쓸 수 없어 기본 10분으로 합니다."), std::string::npos)
        << log;
    EXPECT_NE(log.find("주의  정책  정책 확인 주기 -5분은 쓸 수 없어 기본 30분으로 합니다."),
              std::string::npos)
        << log;
    // The timed cycle logs its notice: before the policy named the point, collection waits.
    EXPECT_NE(log.find("오류  수집  협회 서버에서 이 점포를 아직 확인하지 못했습니다"), std::string::npos)
        << log;
}

TEST_F(EngineCycleTest, AnErrorInsideACycleOrARefreshDoesNotEndTheAgent) {
    MakeDemoDay(10);
    ASSERT_TRUE(AddStore()) << FServer->LastError();
    SaveAgentSettings();
    auto engine = MakeEngine();
    engine->RefreshPolicy();
    for (int i = 1; i <= 300; ++i) {
        const std::string key = "OLD:" + std::to_string(i);
        ASSERT_TRUE(Spool().Append("2026-10-01", key, SaleLinePayload(key)));
    }
    // The view fails between two batches of the flush, in the middle of the cycle.
    FView.OnRefresh = [](const TAgentSnapshot& s) {
        if (s.Flushing) throw std::runtime_error("창 처리 오류");
    };
    EXPECT_EQ(engine->ReportTimerTick(), 600000);
    EXPECT_EQ(engine->Snapshot().Report.Text,
              "⚠ 수집을 마치지 못했습니다 — 창 처리 오류 · 다음 주기에 다시 읽습니다.");
    EXPECT_FALSE(engine->Snapshot().Flushing);
    const std::string log = LogText();
    const std::string line = "오류  수집  수집을 마치지 못했습니다 — 창 처리 오류";
    ASSERT_NE(log.find(line), std::string::npos) << log;
    EXPECT_EQ(log.find(line), log.rfind(line)) << "logged once";

    FView.OnRefresh = nullptr;
    Later(10);
    engine->CollectIfIdle();
    EXPECT_TRUE(Spool().PendingDays().empty());

    // A failing redraw of the target page inside a refresh is reported, not raised.
    ASSERT_TRUE(FServer->SetPolicy(kStore, PolicyJson("", "[7001]", "NH-2026-11")));
    struct TThrowingView : TRecordingView {
        void TargetsChanged(const TAgentSnapshot&) override { throw std::runtime_error("목록 오류"); }
    } throwing;
    TAgentEngine second(throwing);
    EXPECT_EQ(second.RunOnce().Line, "정책을 받지 못했다 — 정책을 처리하지 못했습니다 — 목록 오류");
}

} // namespace
} // namespace pavona::test
