// The policy refresh: fetch the association's policy, spread it over the engine, count the
// subsidy the POS granted that the association has not counted yet, and announce a new programme.
#include "engine/AgentEngine.h"

#include "common/DateTime.h"
#include "common/Text.h"
#include "engine/TargetView.h"
#include "platform/Clock.h"
#include "pos/AgentPos.h"
#include "store/AgentLog.h"

#include <exception>
#include <set>

namespace pavona {

namespace {

// Designated coupon codes as the cycle uses them: 0 names no coupon (a POS line without coupon
// carries 0) and a code listed twice must not look like two coupons.
std::vector<std::int64_t> CleanCodes(const std::vector<std::int64_t>& codes) {
    std::vector<std::int64_t> out;
    std::set<std::int64_t> seen;
    for (std::int64_t c : codes)
        if (c != 0 && seen.insert(c).second) out.push_back(c);
    return out;
}

} // namespace

void TAgentEngine::RefreshPolicy() {
    if (FStopRequested) return;
    FPolicyError.clear();
    if (Trim(FSettings.Store).empty() || Trim(FSettings.Key).empty()) {
        Render();
        return;
    }
    try {
        const std::unique_ptr<TAgentClient> client = MakeClient();
        TPolicy p = client->FetchPolicy(FSettings.Store);
        if (!p.Ok) {
            FPolicyError = p.Error;
            // The operator's sentence says what to check; the transport's own reason says why.
            const std::string why =
                client->TransportNote().empty() ? "" : " [" + client->TransportNote() + "]";
            LogWarn("정책", "협회 정책을 받지 못했습니다 — " + p.Error + why);
            Render();
            return;
        }
        FPolicyAt = Now();
        const std::string previousProgram = FSeenProgram;
        FSeenProgram = p.ProgramCode;
        FProgramStart = ParsePolicyDate(p.StartsOn);
        FInput.HasPolicy = true;
        FInput.Enabled = p.Enabled;
        FInput.Allocated = p.Allocated;
        FInput.ReportedExecuted = p.ReportedExecuted;
        FInput.OffsetOutstanding = p.OffsetOutstanding;
        FInput.CautionPct = FSettings.CautionPct;
        FInput.ImminentPct = FSettings.ImminentPct;
        const std::vector<std::int64_t> codes = CleanCodes(p.SubsidyCouponCodes);
        FInput.UnreportedLocal = UnreportedLocalSubsidy(codes);
        FSubsidyCodes = codes;
        FPointId = p.PointId;
        FPointLabel = Trim(p.PointMemberCode + " " + p.PointSignName);
        FApprovedFp = p.ApprovedFingerprint;
        FCollectFrom = ParsePolicyDate(p.CollectFrom);
        FProgramEnd = ParsePolicyDate(p.EndsOn);

        const bool changed = p.ProgramCode != previousProgram || p.Items.size() != FItems.size();
        const bool revised = FLastRevision != p.Revision;
        FLastRevision = p.Revision;
        FItems = p.Items;
        FRounds = p.Rounds;
        FDecisions = p.Decisions;
        FProgramName = p.ProgramName;
        FProgramStartsOn = p.StartsOn;
        FProgramEndsOn = p.EndsOn;
        RefreshTargets(p.Revision, changed, revised);

        Render();
        TNotice notice;
        if (p.Enabled && FSubsidyCodes.empty())
            notice = TNotice::Warning(
                "⚠ 농할로 지정된 POS 쿠폰이 없습니다 — 지금 할인은 지원액 0 으로 보고됩니다.");
        else if (!FLocalNote.empty())
            notice = TNotice::Warning("⚠ " + FLocalNote);
        else if (FInput.UnreportedLocal > 0)
            notice = TNotice::Info("아직 협회에 보내지 않은 지원액 " + FormatWon(FInput.UnreportedLocal) +
                                   " 을 포함해 셌습니다.");
        else
            notice = TNotice::Info(
                "POS 집계까지 반영했습니다. 한도는 매장에서 방금 센 지원액까지 포함한 값입니다.");
        FView.ShowNotice(notice);
        if (p.ProgramCode != previousProgram) AnnounceNewProgram(p);
    } catch (const std::exception& e) {
        // The agent keeps working with the last good policy.
        FPolicyError = std::string("정책을 처리하지 못했습니다 — ") + e.what();
        LogError("정책", FPolicyError);
        FView.ShowNotice(TNotice::Error("⚠ " + FPolicyError));
    } catch (...) {
        FPolicyError = "정책을 처리하지 못했습니다 — 알 수 없는 오류";
        LogError("정책", FPolicyError);
        FView.ShowNotice(TNotice::Error("⚠ " + FPolicyError));
    }
    Publish();
}

void TAgentEngine::AnnounceNewProgram(const TPolicy& policy) {
    if (!policy.Enabled || policy.ProgramCode.empty() || policy.Allocated <= 0 ||
        policy.ProgramCode == FSettings.SeenProgramCode)
        return;
    FSettings.SeenProgramCode = policy.ProgramCode;
    // Only this key: a console mode may have changed the others on disk since this agent read them
    // (and the whole record would also point autostart at whatever copy runs now). Unsaved, the
    // same programme is announced again at the next start: worth a line, no more.
    if (const Result<> saved = WriteIniKey("state", "seen_program", policy.ProgramCode); !saved)
        LogWarn("정책", saved.Error());
    TProgramNews news;
    news.ProgramCode = policy.ProgramCode;
    news.ProgramName = policy.ProgramName;
    news.StartsOn = policy.StartsOn;
    news.EndsOn = policy.EndsOn;
    news.Allocated = policy.Allocated;
    news.Items = static_cast<int>(FItems.size());
    news.Unlinked = TargetUnlinkedCount(TargetData());
    FView.AnnounceProgram(news);
}

std::int64_t TAgentEngine::UnreportedLocalSubsidy(const std::vector<std::int64_t>& codes) {
    FLocalNote.clear();
    if (Trim(FSettings.PosConnStr).empty() || codes.empty() || FProgramStart == 0) return 0;
    TPosReader reader;
    reader.SetTimeouts(FPosLoginSec, FPosCommandSec);
    if (!reader.Connect(FSettings.PosConnStr)) {
        FLocalNote = "POS 를 읽지 못했습니다 — 화면의 사용액이 실제보다 적을 수 있습니다";
        return 0;
    }
    const Result<std::int64_t> total = reader.SubsidyTotal(FProgramStart, IncDay(Today(), 1), codes);
    if (!total) FLocalNote = "POS 집계에 실패했습니다 — 화면의 사용액이 실제보다 적을 수 있습니다";
    const std::int64_t result = total.ValueOr(0) - FInput.ReportedExecuted;
    return result < 0 ? 0 : result;
}

} // namespace pavona
