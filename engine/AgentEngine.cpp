// The engine object itself: creation, the state counters, the two timer ticks, the one-shot run,
// and the notice texts every caller shows and logs.
#include "engine/AgentEngine.h"

#include "common/Text.h"
#include "engine/AgentSchema.h"
#include "platform/Clock.h"
#include "platform/Platform.h"
#include "store/AgentLog.h"
#include "store/AgentSpool.h"

#include <algorithm>
#include <climits>

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

std::string StripMarks(const std::string& text) {
    std::string s = ReplaceAll(text, "**", "");
    s = ReplaceAll(s, "⛔", "");
    s = ReplaceAll(s, "⚠", "");
    std::size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= 0x20)
        ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= 0x20)
        --e;
    return s.substr(b, e - b);
}

TNoticeLevel NoticeLevelOf(const std::string& notice) {
    if (StartsWith(notice, "⛔")) return TNoticeLevel::Stop;
    if (notice.find("못했습니다") != std::string::npos || notice.find("멈") != std::string::npos)
        return TNoticeLevel::Error;
    if (StartsWith(notice, "⚠")) return TNoticeLevel::Warning;
    return TNoticeLevel::Info;
}

std::string NoticeLevel(const std::string& notice) {
    switch (NoticeLevelOf(notice)) {
    case TNoticeLevel::Stop:
    case TNoticeLevel::Error:
        return "오류";
    case TNoticeLevel::Warning:
        return "주의";
    case TNoticeLevel::Info:
        break;
    }
    return "정보";
}

void LogCycleNotice(const std::string& notice) {
    if (notice.empty()) return;
    WriteLog(NoticeLevel(notice), "수집", StripMarks(notice));
}

TAgentEngine::TAgentEngine(IAgentView& view) : FView(view) {
    FSettings = LoadSettings();
    LoadState();
    FInput = TLimitInput{};
    FInput.CautionPct = FSettings.CautionPct;
    FInput.ImminentPct = FSettings.ImminentPct;
    FPolicyAt = 0;
    Render();
    FSpool = std::make_unique<TSpool>(SpoolDir(), kSpoolMaxBytes);
}

TAgentEngine::~TAgentEngine() = default;

void TAgentEngine::UseSpoolFiles(std::shared_ptr<TSpoolFiles> files) {
    FSpool = std::make_unique<TSpool>(SpoolDir(), kSpoolMaxBytes, std::move(files));
}

void TAgentEngine::SetPosTimeouts(int loginSec, int commandSec) {
    FPosLoginSec = loginSec;
    FPosCommandSec = commandSec;
}

void TAgentEngine::Render() {
    FState = EvaluateLimit(FInput);
    FView.Render(FInput, FState);
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
    try {
        platform::MakeDirs(platform::ParentDir(SettingsPath()));
        WriteIniKey("state", "sent_day", FormatInvariant(FSentDay));
        WriteIniKey("state", "sent_count", std::to_string(FSentToday));
        WriteIniKey("state", "last_send", FormatInvariant(FLastSendAt));
        WriteIniKey("state", "last_collect", FormatInvariant(FLastCollectAt));
    } catch (...) {
        // The counters are a convenience for the status page; the spool keeps what matters.
    }
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
    CollectIfIdle();
    if (!FReportNote.empty()) {
        FView.ShowNotice(FReportNote);
        // A warning already written when it arose, at the level the cycle's notice gets, is not
        // written twice.
        if (FReportNote != FLoggedNote || FLoggedLevel != NoticeLevel(FReportNote))
            LogCycleNotice(FReportNote);
    }
    FView.RefreshStatus();
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
    return ms;
}

std::string TAgentEngine::RunOnce() {
    FLastRunOk = false;
    const std::string missing = MissingSettingsLine(FSettings.Store, FSettings.Key, FSettings.PosConnStr);
    if (!missing.empty()) return missing;
    RefreshPolicy();
    if (!FPolicyError.empty()) return "정책을 받지 못했다 — " + FPolicyError;
    FCycleFailed = true; // stays so when no cycle gets to run
    CollectIfIdle();
    FLastRunOk = !FCycleFailed;
    std::string note = FReportNote.empty() ? "보고를 마쳤다" : FReportNote;
    // The store's installer must see why the POS could not be read, not only that it could not.
    if (!FPosError.empty()) note += " (" + Utf8Left(FPosError, 300) + ")";
    return Fmt("판 %s · 점포 %s · %s", kAgentVersion, FPointLabel.c_str(), note.c_str());
}

std::string TAgentEngine::SendNow() {
    RefreshPolicy();
    CollectIfIdle();
    std::string text = FReportNote;
    if (text.empty())
        text = "지금 확인했습니다 (" + FormatDateTime("hh:nn", Now()) + ") — 새로 보낼 실적이 없습니다.";
    FView.ShowNotice(text);
    FView.RefreshStatus();
    return text;
}

void TAgentEngine::SetNote(const std::string& text, const char* logLevelNow, TNoticeWeight weight) {
    // Lines not read, stored or sent fail the cycle even when a graver notice hides this one.
    if (weight != TNoticeWeight::Other) FCycleFailed = true;
    const TNoticeLevel level = NoticeLevelOf(text);
    bool replace = true;
    if (!FReportNote.empty()) {
        const TNoticeLevel current = NoticeLevelOf(FReportNote);
        if (level != current)
            replace = level > current;
        else if (weight != FNoteWeight)
            replace = weight > FNoteWeight;
        else
            // Of two failures alike, the first is the cause the store must hear of; progress
            // notices simply follow each other.
            replace = level < TNoticeLevel::Error;
    }
    std::string logLevel = logLevelNow ? logLevelNow : "";
    if (logLevelNow == nullptr && (StartsWith(text, "⚠") || !replace)) logLevel = NoticeLevel(text);
    if (!logLevel.empty()) WriteLog(logLevel, "수집", StripMarks(text));
    if (!replace) return;
    FReportNote = text;
    FNoteWeight = weight;
    if (!logLevel.empty()) {
        FLoggedNote = text;
        FLoggedLevel = logLevel;
    }
}

} // namespace pavona
