// The policy refresh: fetch the association's policy, spread it over the engine, count the
// subsidy the POS granted that the association has not counted yet, and announce a new programme.
#include "engine/AgentEngine.h"

#include "common/DateTime.h"
#include "common/Text.h"
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
        if (FViewRound >= static_cast<int>(FRounds.size())) FViewRound = -1;
        // The target-items page decides itself whether it must read the POS goods again.
        if (changed || revised) FView.TargetsChanged();
        FProgramName = p.ProgramName;

        Render();
        std::string notice;
        if (p.Enabled && FSubsidyCodes.empty())
            notice = "⚠ 농할로 지정된 POS 쿠폰이 없습니다 — 지금 할인은 지원액 0 으로 보고됩니다.";
        else if (!FLocalNote.empty())
            notice = "⚠ " + FLocalNote;
        else if (FInput.UnreportedLocal > 0)
            notice = "아직 협회에 보내지 않은 지원액 " + FormatWon(FInput.UnreportedLocal) +
                     " 을 포함해 셌습니다.";
        else
            notice = "POS 집계까지 반영했습니다. 한도는 매장에서 방금 센 지원액까지 포함한 값입니다.";
        FView.ShowNotice(notice);
        if (p.ProgramCode != previousProgram) AnnounceNewProgram(p);
    } catch (const std::exception& e) {
        // The agent keeps working with the last good policy.
        FPolicyError = std::string("정책을 처리하지 못했습니다 — ") + e.what();
        LogError("정책", FPolicyError);
        FView.ShowNotice("⚠ " + FPolicyError);
    } catch (...) {
        FPolicyError = "정책을 처리하지 못했습니다 — 알 수 없는 오류";
        LogError("정책", FPolicyError);
        FView.ShowNotice("⚠ " + FPolicyError);
    }
}

void TAgentEngine::AnnounceNewProgram(const TPolicy& policy) {
    if (!policy.Enabled || policy.ProgramCode.empty() || policy.Allocated <= 0 ||
        policy.ProgramCode == FSettings.SeenProgramCode)
        return;
    FSettings.SeenProgramCode = policy.ProgramCode;
    SaveSettings(FSettings);
    // Which items have a POS goods chosen is only known once the target-items page has read the
    // POS goods and links; the engine does not read them, so it counts every item as linked.
    const int unlinked = 0;
    std::string text = "새 농할 회차가 시작되었습니다.\r\n\r\n" + policy.ProgramName + "\r\n" +
                       policy.StartsOn + " ~ " + policy.EndsOn + "\r\n" + "우리 매장 배정액 " +
                       FormatWon(policy.Allocated) + "\r\n\r\n" +
                       Fmt("대상 품목 %d개", static_cast<int>(FItems.size()));
    if (unlinked <= 0)
        text += "가 모두 연결되어 있습니다.";
    else
        text += Fmt(" 가운데 %d개가 아직 연결되지 않았습니다.", unlinked);
    text += "\r\n\r\n「농할 설정」 탭에서 확인해 주세요.";
    FView.AnnounceBalloon("새 농할 회차", text);
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
