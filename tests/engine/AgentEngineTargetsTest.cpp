// The target items against the reference server and a POS read through the SQLite3 ODBC driver:
// the policy refresh's goods reads, a failed read, the new programme's count of items without
// goods, and mapping requests whose decisions come back in the policy.
#include "tests/engine/EngineFixture.h"

#include "common/Text.h"
#include "engine/EngineRunner.h"
#include "engine/TargetView.h"
#include "tools/demopos/DemoPos.h"

#include <chrono>
#include <future>

namespace pavona::test {
namespace {

class EngineTargetsTest : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        MakeTargetsPos();
        ASSERT_TRUE(AddStore("pt-9", kTargetsPolicy)) << FServer->LastError();
    }
    static TTargetView View(const TAgentEngine& engine, int round = -1) {
        return BuildTargetView(engine.Snapshot().Targets, {}, round);
    }
    static TRequestTarget TargetOf(const TTargetView& v, const std::string& code) {
        for (const TRequestTarget& t : v.RequestTargets)
            if (t.Code == code) return t;
        ADD_FAILURE() << "no row for " << code;
        return {};
    }
    // Kind and goods of every mapping request the server answered, oldest first.
    std::vector<std::string> MappingRequests() {
        std::vector<std::string> out;
        const TJsonNode seen = Seen("/api/agent/mapping-requests");
        for (std::size_t i = 0; i < seen.Size(); ++i) {
            const TJsonNode body = TJsonNode::Parse(ReadJsonString(seen.At(i), "body"));
            out.push_back(ReadJsonString(body, "kind") + " " + ReadJsonString(body, "vendor_item_code") + " " +
                          ReadJsonString(body, "standard_item_code"));
        }
        return out;
    }
    static int Count(const std::string& text, const std::string& what) {
        int n = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
            ++n;
        return n;
    }
};

TEST_F(EngineTargetsTest, TheFirstRefreshReadsTheGoodsAndANewRevisionReadsMissingOnesAgain) {
    SaveAgentSettings();
    auto engine = MakeEngine();
    engine->RefreshPolicy();
    ASSERT_EQ(engine->Snapshot().PolicyError, "");

    const TTargetData& d = FView.LastTargets;
    EXPECT_TRUE(d.GoodsRead);
    EXPECT_EQ(d.ReadNote, "");
    EXPECT_EQ(d.Goods.size(), 4u); // 404 is not in the POS; 800 was not asked for
    ASSERT_EQ(d.Links.size(), 2u);
    const TTargetView v = View(*engine);
    std::vector<std::pair<std::string, TItemState>> states;
    for (const TTargetGroup& g : v.Groups)
        states.push_back({g.BaseName, g.State});
    EXPECT_EQ(states, (std::vector<std::pair<std::string, TItemState>>{{"양파", TItemState::NotDiscounted},
                                                                        {"마늘", TItemState::NotInPos},
                                                                        {"감자", TItemState::Stopped},
                                                                        {"대파", TItemState::Discounted}}));
    ASSERT_EQ(v.Stray.Rows.size(), 1u);
    EXPECT_EQ(v.Stray.Rows[0].Title, "수입 바나나");
    EXPECT_EQ(v.RoundNotice.size(), 1u); // 배추 has no goods
    EXPECT_EQ(*v.Note, "대상 POS 상품 4개 (협회 품목 4가지) — 할인 적용 중 1 · 미적용 1 · 판매 중지 1 · POS 에 "
                       "없음 1   |   대상 아닌데 쿠폰에 든 상품 1");
    // Items without goods on sale: 감자 (stopped) and 마늘 (missing).
    ASSERT_EQ(FView.Programs.size(), 1u);
    EXPECT_EQ(FView.Programs[0].Unlinked, 2);
    EXPECT_EQ(Count(LogText(), "POS 상품 4개 · 쿠폰 연결 2개를 읽었습니다"), 1);

    // The same revision does not ask the POS again for goods it knows are missing; a new one does.
    engine->RefreshPolicy();
    EXPECT_EQ(Count(LogText(), "쿠폰 연결 2개를 읽었습니다"), 1);
    ASSERT_TRUE(FServer->SetPolicy(kStore, kTargetsPolicy));
    engine->RefreshPolicy();
    EXPECT_EQ(Count(LogText(), "쿠폰 연결 2개를 읽었습니다"), 2);

    // "POS 다시 읽기" always reads, and the plan is counted from what it read.
    engine->ReadTargets();
    EXPECT_EQ(Count(LogText(), "쿠폰 연결 2개를 읽었습니다"), 3);
    const std::vector<std::string> plan = TargetPlanLines(engine->Snapshot().Targets);
    // 대파's coupon ends with the programme: in order.
    EXPECT_EQ(plan, (std::vector<std::string>{
                        "쿠폰에 넣을 상품 1개 · 고칠 것 0개 · 뺄 상품 1개",
                        "[연결] 양파 → 양파 1망 (600)  20% · 1회 한도 2000원 · 2026-10-31 까지",
                        "[내림] (대상 아님) → 수입 바나나 (999)  이번 회차 대상이 아닙니다 — 걸어 두면 정산에서 빠집니다",
                        "POS 에 없거나 판매 중지된 대상 품목 2개는 쿠폰에 넣을 수 없어 여기서 빠졌습니다 — 「대상 품목」 "
                        "목록에서 확인해 주세요.",
                        "", "※ 이 프로그램은 POS 를 읽기만 합니다 — 위 내용은 POS 의 쿠폰 관리에서 직접 고쳐 주세요."}));
}

TEST_F(EngineTargetsTest, AFailedFirstReadListsTheItemsAsNotReadWithTheReason) {
    SaveAgentSettings();
    TAgentSettings s = LoadSettings();
    s.PosConnStr = "Driver=SQLite3;Database=" + FRoot.File("no-such-pos.db");
    ASSERT_TRUE(SaveSettings(s));
    auto engine = MakeEngine();
    engine->RefreshPolicy();

    const TTargetData& d = FView.LastTargets;
    EXPECT_FALSE(d.GoodsRead);
    EXPECT_TRUE(StartsWith(d.ReadNote, "POS 에 연결하지 못했습니다 — POS 데이터베이스 파일이 없습니다")) << d.ReadNote;
    const TTargetView v = View(*engine);
    EXPECT_FALSE(v.NoItems);
    EXPECT_EQ(v.Items, 4);
    for (const TTargetGroup& g : v.Groups)
        EXPECT_EQ(g.State, TItemState::NotRead) << g.BaseName;
    EXPECT_EQ(v.Note, d.ReadNote);
    EXPECT_EQ(TargetPlanLines(d).at(1), d.ReadNote);
    ASSERT_EQ(FView.Programs.size(), 1u);
    EXPECT_EQ(FView.Programs[0].Unlinked, 4);
}

TEST_F(EngineTargetsTest, AssignReleaseAndRemapReachTheServerAndItsDecisionsComeBack) {
    SaveAgentSettings();
    auto engine = MakeEngine();
    engine->RefreshPolicy();

    // A goods chosen in the search dialog: its name, spec and barcode come from the POS read when
    // the caller gives none (800 is not among the goods read, so they are given here).
    TMappingOutcome assigned =
        engine->SendMapping({"800", "깐마늘"}, "assign", "V004", "마늘 대신", "깐마늘", "200g", "8802");
    ASSERT_TRUE(assigned.Ok) << assigned.Message;
    EXPECT_EQ(assigned.Note, "「깐마늘」 을(를) 「마늘」 로 지정했습니다 — 바로 적용됩니다(계산대 할인 · 실적). 협회가 "
                             "확인하면 정산에 들어가고, 그 전에는 정산 보류입니다. (협회 서버에 이 상품을 새로 올렸습니다)");
    EXPECT_GT(assigned.NextPolicyMs, 0);
    EXPECT_TRUE(assigned.BoxText.empty());
    // The refresh that followed already shows the assignment, pending the association's review.
    const TTargetView afterAssign = View(*engine);
    EXPECT_EQ(TargetOf(afterAssign, "800").Label, "깐마늘");
    EXPECT_EQ(afterAssign.Pending, 1);
    EXPECT_NE(LogText().find("품목 지정  assign 깐마늘(800) V004 → approved · 새 상품"), std::string::npos) << LogText();

    ASSERT_TRUE(FServer->Decide(kStore, "800", "rejected", "규격이 다릅니다")) << FServer->LastError();
    engine->RefreshPolicy();
    const TTargetView afterDecision = View(*engine);
    EXPECT_EQ(afterDecision.Decisions.Rejected, 1);
    ASSERT_EQ(afterDecision.Decisions.Lines.size(), 1u);
    EXPECT_NE(afterDecision.Decisions.Lines[0].Text.find("깐마늘 (상품번호 800) → 마늘   ·   사유: 규격이 다릅니다"),
              std::string::npos)
        << afterDecision.Decisions.Lines[0].Text;
    EXPECT_EQ(afterDecision.Pending, 0); // it left the items

    // The same pair again: refused, and the caller gets the box text for the store.
    const TMappingOutcome refused = engine->SendMapping({"800", "깐마늘"}, "assign", "V004", "");
    EXPECT_TRUE(refused.Sent);
    EXPECT_FALSE(refused.Ok);
    EXPECT_TRUE(refused.Refused);
    EXPECT_EQ(refused.Error, "rejected_pair");
    EXPECT_EQ(refused.Message,
              "협회가 거부한 지정입니다 — 사유: 규격이 다릅니다. 같은 품목으로 다시 지정하려면 협회에 문의해 주세요.");
    EXPECT_EQ(refused.Note, "품목 지정을 보내지 못했습니다 — " + refused.Message);
    EXPECT_EQ(refused.BoxText, "깐마늘 (상품번호 800)\r\n\r\n" + refused.Message);
    EXPECT_EQ(refused.NextPolicyMs, 0);

    const TMappingOutcome released = engine->SendMapping(TargetOf(View(*engine), "600"), "release", "", "");
    ASSERT_TRUE(released.Ok) << released.Message;
    EXPECT_EQ(released.Note, "「양파 1망」 의 지정을 풀었습니다 — 이 상품은 바로 대상에서 빠졌습니다.");
    EXPECT_EQ(View(*engine).Items, 3);

    const TMappingOutcome remapped = engine->SendMapping(TargetOf(View(*engine), "512"), "remap", "", "");
    ASSERT_TRUE(remapped.Ok) << remapped.Message;
    EXPECT_EQ(remapped.Note, "「국산 대파 1단」 — AI 다시 보기는 제안만 합니다. 지금 적용된 지정은 그대로입니다.");

    // An assignment the association confirms shows as confirmed.
    const TMappingOutcome stray = engine->SendMapping(TargetOf(View(*engine), "999"), "assign", "V005", "");
    ASSERT_TRUE(stray.Ok) << stray.Message;
    ASSERT_TRUE(FServer->Decide(kStore, "999", "confirmed"));
    engine->RefreshPolicy();
    const TTargetView last = View(*engine);
    EXPECT_EQ(last.Decisions.ConfirmedLine, "최근 30일 협회가 확인한 지정 1건 — 정산에 들어갑니다.");
    EXPECT_TRUE(last.Stray.Rows.empty());

    EXPECT_EQ(MappingRequests(), (std::vector<std::string>{"assign 800 V004", "assign 800 V004", "release 600 ",
                                                           "remap 512 ", "assign 999 V005"}));
    // "assign" took the name, spec and barcode of the goods read (999 has neither spec nor barcode).
    const TJsonNode last999 = TJsonNode::Parse(ReadJsonString(Seen("/api/agent/mapping-requests").At(4), "body"));
    EXPECT_EQ(ReadJsonString(last999, "vendor_item_name"), "수입 바나나");
}

// A row's target is captured when the store chooses it: a policy refresh that reorders the list
// before the request is sent must not change the goods the request names.
TEST_F(EngineTargetsTest, ARefreshBetweenChoosingAndSendingStillSendsTheChosenGoods) {
    SaveAgentSettings();
    auto engine = MakeEngine();
    engine->RefreshPolicy();
    const TTargetView before = View(*engine);
    ASSERT_FALSE(before.RequestTargets.empty());
    const size_t index = 0;
    const TRequestTarget chosen = before.RequestTargets[index];
    EXPECT_EQ(chosen, (TRequestTarget{"600", "양파 1망"}));

    // The association adds an item whose goods is not discounted and whose name sorts first: the
    // rows move.
    std::string policy = kTargetsPolicy;
    policy = ReplaceAll(policy, R"("items":[)",
                        R"("items":[{"vendor_item_code":"800","standard_item_code":"V009","item_name":"가지",)"
                        R"("discount_rate":20,"discount_cap":2000},)");
    ASSERT_TRUE(FServer->SetPolicy(kStore, policy));
    engine->RefreshPolicy();
    ASSERT_NE(View(*engine).RequestTargets.at(index), chosen); // the fault a row index would make

    const TMappingOutcome sent = engine->SendMapping(chosen, "release", "", "");
    ASSERT_TRUE(sent.Ok) << sent.Message;
    EXPECT_EQ(MappingRequests(), (std::vector<std::string>{"release 600 "}));
    EXPECT_EQ(sent.Note, "「양파 1망」 의 지정을 풀었습니다 — 이 상품은 바로 대상에서 빠졌습니다.");
}

// The page asks for the round's totals on the reader thread, also while an operation runs.
TEST_F(EngineTargetsTest, TheRoundTotalsComeFromTheSpoolWhileTheEngineIsBusy) {
    SaveAgentSettings();
    for (int i = 1; i <= 3; ++i)
        ASSERT_TRUE(Spool().Append("2026-10-05", "R:" + std::to_string(i), SaleLinePayload("R:" + std::to_string(i))));
    ASSERT_TRUE(Spool().Append("2026-09-01", "OLD:1", SaleLinePayload("OLD:1"))); // before the programme

    TRecordingView view;
    TEngineRunner runner(view, [](TAgentEngine& e) { e.SetHttpTimeouts({3000, 15000}); });
    runner.Post([](TAgentEngine& e) { e.RefreshPolicy(); });
    runner.Drain();
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    runner.Post([released](TAgentEngine&) { released.wait(); });

    std::promise<TRoundTotals> asked;
    runner.AskRoundTotals(runner.Snapshot().ProgramStart, [&](TRoundTotals t) { asked.set_value(std::move(t)); });
    auto answer = asked.get_future();
    ASSERT_EQ(answer.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    const TRoundTotals totals = answer.get();
    release.set_value();
    runner.Drain();

    EXPECT_TRUE(totals.Counted);
    EXPECT_EQ(totals.From, EncodeDate(2026, 10, 1));
    EXPECT_EQ(totals.To, EncodeDate(2026, 10, 6));
    const TTargetView v = BuildTargetView(runner.Snapshot().Targets, totals, -1);
    const TTargetGroup& leek = v.Groups.back();
    ASSERT_EQ(leek.BaseName, "대파");
    EXPECT_EQ(leek.Runs.at(0).Rows.at(0).TotalsLine, "회차 누적  판매 3건 · 매출 9,000원 · 농할 지원 1,800원");
    EXPECT_EQ(leek.Support, "회차 누적 지원 1,800원");
}

} // namespace
} // namespace pavona::test
