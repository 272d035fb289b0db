// The policy refresh against the reference server: what it copies, the budget input counted from
// the POS, its notices, the new-programme balloon, and a failed fetch that keeps the last policy.
#include "tests/engine/EngineFixture.h"

#include "common/Text.h"
#include "config/AgentSettings.h"
#include "tools/demopos/DemoPos.h"

namespace pavona::test {
namespace {

class EnginePolicyTest : public EngineTest {
  protected:
    demopos::TDemoSummary MakeDemoDay() {
        demopos::TDemoOptions o;
        o.FirstDay = EncodeDate(2026, 10, 5);
        o.Days = 1;
        o.ReceiptsPerDay = 40;
        o.FullCancelRate = o.PartialCancelRate = o.ReturnRate = 0;
        const demopos::TDemoResult r = demopos::Generate(FPosPath, o);
        EXPECT_TRUE(r.Ok) << r.Error;
        return r.Summary;
    }
};

TEST_F(EnginePolicyTest, CopiesThePolicyCountsUnreportedSubsidyAndAnnouncesTheProgrammeOnce) {
    const demopos::TDemoSummary demo = MakeDemoDay();
    ASSERT_GT(demo.Days[0].DesignatedDiscount, 0);
    ASSERT_TRUE(AddStore("pt-9", PolicyJson("", "[0,7001,7002,7001,7003,7004]"))) << FServer->LastError();
    SaveAgentSettings();
    auto engine = MakeEngine();
    EXPECT_EQ(FView.LastState.Level, TLimitLevel::Unknown);
    engine->RefreshPolicy();

    ASSERT_EQ(engine->Snapshot().PolicyError, "");
    EXPECT_EQ(engine->Snapshot().SubsidyCodes, (std::vector<std::int64_t>{7001, 7002, 7003, 7004}));
    EXPECT_EQ(engine->Snapshot().PointId, "pt-9");
    EXPECT_EQ(engine->Snapshot().ProgramName, "10월 농할");
    EXPECT_EQ(engine->Snapshot().ProgramStart, EncodeDate(2026, 10, 1));
    EXPECT_EQ(engine->Snapshot().ProgramEnd, EncodeDate(2026, 10, 31));
    EXPECT_EQ(engine->Snapshot().Items.size(), 1u);
    EXPECT_EQ(engine->Snapshot().Rounds.size(), 1u);
    EXPECT_TRUE(engine->Snapshot().Input.HasPolicy);
    EXPECT_EQ(engine->Snapshot().Input.Allocated, 1000000);
    // Nothing reported yet: all the designated discount the POS gave counts as unreported.
    EXPECT_EQ(engine->Snapshot().Input.UnreportedLocal, demo.Days[0].DesignatedDiscount);
    EXPECT_EQ(FView.LastState.Used, demo.Days[0].DesignatedDiscount);
    ASSERT_FALSE(FView.Notices.empty());
    EXPECT_EQ(FView.Notices.back(), "아직 협회에 보내지 않은 지원액 " +
                                        FormatWon(demo.Days[0].DesignatedDiscount) + " 을 포함해 셌습니다.");
    EXPECT_GE(FView.TargetRedraws, 1);
    ASSERT_EQ(FView.Programs.size(), 1u);
    const TProgramNews& news = FView.Programs[0];
    EXPECT_EQ(news.ProgramCode, "NH-2026-10");
    EXPECT_EQ(news.ProgramName, "10월 농할");
    EXPECT_EQ(news.StartsOn, "2026-10-01");
    EXPECT_EQ(news.EndsOn, "2026-10-31");
    EXPECT_EQ(news.Allocated, 1000000);
    EXPECT_EQ(news.Items, 1);
    EXPECT_EQ(LoadSettings().SeenProgramCode, "NH-2026-10");

    // After the day went out the association's count covers it.
    engine->CollectIfIdle();
    engine->RefreshPolicy();
    const std::int64_t reported = FServer->Summary(kStore).ReportedExecuted;
    EXPECT_EQ(engine->Snapshot().Input.ReportedExecuted, reported);
    EXPECT_EQ(engine->Snapshot().Input.UnreportedLocal,
              std::max<std::int64_t>(0, demo.Days[0].DesignatedDiscount - reported));

    // A restarted agent does not announce the same programme again.
    TRecordingView other;
    TAgentEngine restarted(other);
    restarted.RefreshPolicy();
    EXPECT_TRUE(other.Programs.empty());
}

// A console mode (an installer's /enroll, say) may change agent.ini while the agent runs; marking
// the programme as announced must not write the agent's older copy of the other settings back.
TEST_F(EnginePolicyTest, AnnouncingAProgrammeWritesOnlyThatItWasAnnounced) {
    MakeDemoDay();
    ASSERT_TRUE(AddStore("pt-9", PolicyJson("", "[7001]"))) << FServer->LastError();
    SaveAgentSettings();
    auto engine = MakeEngine();
    ASSERT_TRUE(WriteIniKey("timing", "collect_min", "25"));
    ASSERT_TRUE(WriteIniKey("pos", "conn", "Driver=SQLite3;Database=/elsewhere/pos.sqlite"));
    engine->RefreshPolicy();
    ASSERT_EQ(FView.Programs.size(), 1u);
    EXPECT_EQ(ReadIniKey("state", "seen_program"), "NH-2026-10");
    EXPECT_EQ(ReadIniKey("timing", "collect_min"), "25");
    EXPECT_EQ(ReadIniKey("pos", "conn"), "Driver=SQLite3;Database=/elsewhere/pos.sqlite");
}

TEST_F(EnginePolicyTest, NoticesAndAnnouncementFollowTheDesignatedCodesAndTheAllocation) {
    ASSERT_TRUE(AddStore("pt-9", PolicyJson("", "[0]", "NH-ZERO", 0))) << FServer->LastError();
    SaveAgentSettings(false);
    auto engine = MakeEngine();
    engine->RefreshPolicy();
    // Only a 0 in the list: no designated coupon at all.
    EXPECT_TRUE(engine->Snapshot().SubsidyCodes.empty());
    EXPECT_EQ(FView.Notices.back(),
              "⚠ 농할로 지정된 POS 쿠폰이 없습니다 — 지금 할인은 지원액 0 으로 보고됩니다.");
    // A programme without allocation is not announced and not remembered as announced.
    EXPECT_TRUE(FView.Programs.empty());
    EXPECT_EQ(LoadSettings().SeenProgramCode, "");
    EXPECT_EQ(FView.LastState.Level, TLimitLevel::Disabled);

    ASSERT_TRUE(FServer->SetPolicy(kStore, PolicyJson("", "[7001]", "NH-ZERO", 500000)));
    engine->RefreshPolicy();
    // Same programme code as the last fetch: no balloon until the agent starts again.
    EXPECT_TRUE(FView.Programs.empty());
    EXPECT_EQ(FView.Notices.back(),
              "POS 집계까지 반영했습니다. 한도는 매장에서 방금 센 지원액까지 포함한 값입니다.");
    TRecordingView other;
    TAgentEngine restarted(other);
    restarted.RefreshPolicy();
    EXPECT_EQ(other.Programs.size(), 1u);
}

TEST_F(EnginePolicyTest, AnUnreachablePosOrServerKeepsTheLastPolicy) {
    ASSERT_TRUE(AddStore()) << FServer->LastError();
    SaveAgentSettings(); // the POS file does not exist
    auto engine = MakeEngine();
    engine->RefreshPolicy();
    EXPECT_EQ(engine->Snapshot().LocalNote,
              "POS 를 읽지 못했습니다 — 화면의 사용액이 실제보다 적을 수 있습니다");
    EXPECT_EQ(FView.Notices.back(), "⚠ POS 를 읽지 못했습니다 — 화면의 사용액이 실제보다 적을 수 있습니다");

    FServer->Stop();
    engine->RefreshPolicy();
    EXPECT_NE(engine->Snapshot().PolicyError, "");
    EXPECT_EQ(engine->Snapshot().PointId, "pt-9");
    EXPECT_TRUE(engine->Snapshot().Input.HasPolicy);
    EXPECT_NE(LogText().find("주의  정책  협회 정책을 받지 못했습니다 — " + engine->Snapshot().PolicyError),
              std::string::npos)
        << LogText();
    EXPECT_EQ(engine->RunOnce().Line, "정책을 받지 못했다 — " + engine->Snapshot().PolicyError);
}

} // namespace
} // namespace pavona::test
