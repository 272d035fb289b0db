// The engine object itself: creation, the state counters, the published snapshot, the two timer
// ticks, the one-shot run, and the one notice of a cycle.
#include "engine/AgentEngine.h"

#include "common/Result.h"
#include "common/Text.h"
#include "common/Version.h"
#include "engine/AgentSchema.h"
#include "platform/Clock.h"
#include "platform/Platform.h"
#include "store/AgentLog.h"
#include "store/AgentSpool.h"

#include <algorithm>
#include <climits>
#include <utility>

namespace pavona {

namespace {

constexpr int kDefaultCollectMinutes = 10;
constexpr int kDefaultPolicyMinutes = 30;

// Minutes → timer milliseconds; a period long enough to overflow the timer waits as long as it can.
int MinutesToMs(std::int64_t minutes) {
    const std::int64_t ms = minutes * 60000;
    return ms > INT_MAX ? INT_MAX : static_cast<int>(ms);
}

} // namespace

std::string MissingSettingsLine(const std::string& store, const std::string& key,
                                const std::string& posConn) {
    auto has = [](const std::string& v) { return Trim(v).empty() ? "없음" : "있음"; };
    if (!Trim(store).empty() && !Trim(key).empty() && !Trim(posConn).empty()) return {};
    return Fmt("설정이 비었다 — 사업자번호 %s · 인증키 %s · POS 접속 %s", has(store), has(key), has(posConn));
}

namespace {

// Notices of one cycle are ordered by what they say about the store's lines first: a stop, then
// lines not read or stored, then lines not sent, then the level.
bool Graver(const TNotice& a, TNoticeWeight aw, const TNotice& b, TNoticeWeight bw) {
    const bool aStop = a.Level == TNoticeLevel::Stop, bStop = b.Level == TNoticeLevel::Stop;
    if (aStop != bStop) return aStop;
    if (aw != bw) return aw > bw;
    return a.Level > b.Level;
}

} // namespace

TAgentEngine::TAgentEngine(IAgentView& view) : FView(view) {
    FSettings = LoadSettings();
    LoadState();
    FInput = TLimitInput{};
    FInput.CautionPct = FSettings.CautionPct;
    FInput.ImminentPct = FSettings.ImminentPct;
    FPolicyAt = 0;
    FSpool = std::make_unique<TSpool>(SpoolDir(), kSpoolMaxBytes);
    Render();
}

TAgentEngine::~TAgentEngine() = default;

void TAgentEngine::UseSpoolFiles(std::shared_ptr<TSpoolFiles> files) {
    FSpool = std::make_unique<TSpool>(SpoolDir(), kSpoolMaxBytes, std::move(files));
}

void TAgentEngine::SetPosTimeouts(int loginSec, int commandSec) {
    FPosLoginSec = loginSec;
    FPosCommandSec = commandSec;
}

TAgentSnapshot TAgentEngine::Publish() {
    TAgentSnapshot s;
    s.SentDay = FSentDay;
    s.SentToday = FSentToday;
    s.LastSendAt = FLastSendAt;
    s.LastCollectAt = FLastCollectAt;
    s.NextCollectAt = FNextCollectAt;
    s.NextPolicyAt = FNextPolicyAt;
    s.CollectMinutes = FSettings.CollectMinutes;
    s.PolicyMinutes = FSettings.PolicyMinutes;
    s.Input = FInput;
    s.State = FState;
    s.LocalNote = FLocalNote;
    s.PolicyAt = FPolicyAt;
    s.PolicyError = FPolicyError;
    s.ProgramName = FProgramName;
    s.ProgramStart = FProgramStart;
    s.ProgramEnd = FProgramEnd;
    s.PolicyRevision = FLastRevision;
    s.PointId = FPointId;
    s.PointLabel = FPointLabel;
    s.ApprovedFingerprint = FApprovedFp;
    s.SubsidyCodes = FSubsidyCodes;
    s.CollectFrom = FCollectFrom;
    s.Items = FItems;
    s.Rounds = FRounds;
    s.Decisions = FDecisions;
    s.Targets = TargetData();
    s.Report = FReportNote;
    s.HoldNote = FHoldNote;
    s.PosState = FPosState;
    s.Flushing = FFlushing;
    if (FSpool) {
        s.PendingDays = FSpool->PendingDays();
        s.SpoolBytes = FSpool->Bytes();
        s.SpoolFull = FSpool->Full();
    }
    std::lock_guard lock(FPublishedLock);
    FPublished = s;
    return s;
}

TAgentSnapshot TAgentEngine::Snapshot() const {
    std::lock_guard lock(FPublishedLock);
    return FPublished;
}

void TAgentEngine::Render() {
    FState = EvaluateLimit(FInput);
    FView.Render(Publish());
}

std::unique_ptr<TAgentClient> TAgentEngine::MakeClient() const {
    auto client = std::make_unique<TAgentClient>(FSettings.BaseUrl, FSettings.Key);
    client->SetTimeouts(FHttpTimeouts);
    return client;
}

void TAgentEngine::ApplySettings(const TAgentSettings& settings) {
    FSettings = settings;
    FInput.CautionPct = FSettings.CautionPct;
    FInput.ImminentPct = FSettings.ImminentPct;
    Render();
}

void TAgentEngine::LoadState() {
    if (!platform::FileExists(SettingsPath())) return;
    try {
        FSentDay = ParseInvariant(ReadIniKey("state", "sent_day"));
        FSentToday = StrToInt64Def(Trim(ReadIniKey("state", "sent_count", "0")), 0);
        FLastSendAt = ParseInvariant(ReadIniKey("state", "last_send"));
        FLastCollectAt = ParseInvariant(ReadIniKey("state", "last_collect"));
    } catch (...) {
        FSentToday = 0;
    }
}

void TAgentEngine::SaveState() {
    // The counters are a convenience for the status page (the spool keeps what matters), but a
    // write that keeps failing tells of a disk or a folder right the store must fix.
    const std::pair<const char*, std::string> keys[] = {{"sent_day", FormatInvariant(FSentDay)},
                                                        {"sent_count", std::to_string(FSentToday)},
                                                        {"last_send", FormatInvariant(FLastSendAt)},
                                                        {"last_collect", FormatInvariant(FLastCollectAt)}};
    std::string failed;
    for (const auto& [key, value] : keys) {
        if (const Result<> written = WriteIniKey("state", key, value); !written) {
            failed = written.Error();
            break;
        }
    }
    if (!failed.empty() && failed != FStateWriteError) LogError("수집", failed);
    FStateWriteError = failed;
}

int TAgentEngine::ReportTimerTick() {
    int minutes = FSettings.CollectMinutes;
    if (minutes <= 0) {
        // A hand-edited agent.ini must neither spin the timer nor stop collection.
        LogWarn("수집",
                Fmt("수집 주기 %d분은 쓸 수 없어 기본 %d분으로 합니다.", minutes, kDefaultCollectMinutes));
        minutes = kDefaultCollectMinutes;
    }
    const TDateTime now = Now();
    const int interval = CollectInterval(DecodeDateTime(now).Hour, minutes,
                                         static_cast<int>(std::min<std::int64_t>(3LL * minutes, INT_MAX)));
    const int ms = MinutesToMs(interval);
    FNextCollectAt = now + ms / static_cast<double>(kMSecsPerDay);
    RunCycle();
    if (!FReportNote.Empty() && !(FReportNote == FLoggedNote)) {
        // A notice already written when it arose is not written twice.
        LogNotice("수집", FReportNote);
    }
    try {
        if (!FReportNote.Empty()) FView.ShowNotice(FReportNote);
        FView.RefreshStatus(Publish());
    } catch (const std::exception& e) {
        // A view that fails must not stop the timer: the next tick tries again.
        LogError("수집", std::string("화면에 알리지 못했습니다 — ") + e.what());
    }
    return ms;
}

int TAgentEngine::PolicyTimerTick() {
    int minutes = FSettings.PolicyMinutes;
    if (minutes <= 0) {
        LogWarn("정책", Fmt("정책 확인 주기 %d분은 쓸 수 없어 기본 %d분으로 합니다.", minutes,
                            kDefaultPolicyMinutes));
        minutes = kDefaultPolicyMinutes;
    }
    const int ms = MinutesToMs(minutes);
    FNextPolicyAt = Now() + ms / static_cast<double>(kMSecsPerDay);
    RefreshPolicy();
    Publish();
    return ms;
}

TOnceResult TAgentEngine::RunOnce() {
    TOnceResult r;
    const std::string missing = MissingSettingsLine(FSettings.Store, FSettings.Key, FSettings.PosConnStr);
    if (!missing.empty()) {
        r.Line = missing;
        return r;
    }
    RefreshPolicy();
    if (!FPolicyError.empty()) {
        r.Line = "정책을 받지 못했다 — " + FPolicyError;
        Publish();
        return r;
    }
    FCycleFailed = true; // stays so when no cycle gets to run
    RunCycle();
    r.Ok = !FCycleFailed;
    std::string note = FReportNote.Empty() ? "보고를 마쳤다" : FReportNote.Text;
    // The store's installer must see why the POS could not be read, not only that it could not.
    if (!FPosError.empty()) note += " (" + Utf8Left(FPosError, 300) + ")";
    r.Line = Fmt("판 %s · 점포 %s · %s", kAgentVersion, FPointLabel.c_str(), note.c_str());
    Publish();
    return r;
}

TNotice TAgentEngine::SendNow() {
    RefreshPolicy();
    RunCycle();
    TNotice notice = FReportNote;
    if (notice.Empty())
        notice = TNotice::Info("지금 확인했습니다 (" + FormatDateTime("hh:nn", Now()) +
                               ") — 새로 보낼 실적이 없습니다.");
    FView.ShowNotice(notice);
    FView.RefreshStatus(Publish());
    return notice;
}

void TAgentEngine::SetNote(const TNotice& notice, TNoticeWeight weight, bool logNow) {
    // Lines not read, stored or sent fail the cycle even when a graver notice hides this one.
    if (weight != TNoticeWeight::Other) FCycleFailed = true;
    bool replace = true;
    if (!FReportNote.Empty()) {
        if (Graver(notice, weight, FReportNote, FNoteWeight))
            replace = true;
        else if (Graver(FReportNote, FNoteWeight, notice, weight))
            replace = false;
        else
            // Of two failures alike, the first is the cause the store must hear of; progress
            // notices simply follow each other.
            replace = notice.Level < TNoticeLevel::Error && weight == TNoticeWeight::Other;
    }
    const bool log = logNow && (notice.Level >= TNoticeLevel::Warning || !replace);
    if (log) LogNotice("수집", notice);
    if (!replace) return;
    FReportNote = notice;
    FNoteWeight = weight;
    if (log) FLoggedNote = notice;
}

} // namespace pavona
