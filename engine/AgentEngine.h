// The agent engine: everything the main window owns besides drawing — settings copy, state
// counters, budget input, spool, policy-derived fields, the report cycle, the two timer ticks,
// the policy refresh and the heartbeat. The window (or a console mode) drives it through these
// operations and is told what changed through an IAgentView.
#pragma once

#include "common/DateTime.h"
#include "config/AgentSettings.h"
#include "engine/AgentCollect.h"
#include "engine/AgentMonitor.h"
#include "engine/AgentView.h"
#include "pos/AgentPos.h"
#include "server/AgentApi.h"
#include "server/HttpSession.h"

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace pavona {

class TSpool;
class TSpoolFiles;
struct TSpoolEntry;

// The spool's size limit: 20 MiB.
constexpr std::int64_t kSpoolMaxBytes = 20971520;
// At most this many lines in one request, and this many sales requests in one flush.
constexpr int kBatchLines = 200;
constexpr int kFlushBatches = 30;
// First timer intervals after start: the policy comes first, the first cycle a little later.
constexpr int kFirstPolicyMs = 2000;
constexpr int kFirstCollectMs = 20000;

// A notice as plain text: "**", "⛔" and "⚠" removed, blanks and control characters trimmed.
std::string StripMarks(const std::string& text);
// The log level word a cycle notice is written with: "오류", "주의" or "정보".
std::string NoticeLevel(const std::string& notice);
// How grave a notice is, by the same words the log level is chosen by ("⛔" first is a stop).
enum class TNoticeLevel { Info = 0, Warning = 1, Error = 2, Stop = 3 };
TNoticeLevel NoticeLevelOf(const std::string& notice);
// What a failing notice says about the store's lines, for ordering notices of equal level: sales
// not read or not stored weigh most, then sales not sent, then everything else.
enum class TNoticeWeight { Other = 0, NotSent = 1, NotStored = 2 };
// The one line /once prints when the settings lack what a cycle needs, or empty when they are complete.
std::string MissingSettingsLine(const std::string& store, const std::string& key, const std::string& posConn);
// Writes a cycle notice to the agent log under "수집" (plain text, level by NoticeLevel).
void LogCycleNotice(const std::string& notice);

// Everything the status heartbeat reports, gathered before the text is built.
struct TStatusInput {
    std::string Fingerprint; // empty: the member is left out
    TDateTime Watermark = 0; // 0 or less: left out
    int WatermarkOffsetMinutes = 0;
    std::int64_t PendingDays = 0;
    std::int64_t SpoolBytes = 0;
    bool SpoolFull = false;
    std::vector<TRegisterSeen> Registers;
    std::vector<TDayCount> Days;
};
// The heartbeat's JSON members, without the surrounding braces.
std::string StatusFieldsText(const TStatusInput& in);

class TAgentEngine {
  public:
    // Loads the settings and the state counters, renders an empty budget and creates the spool.
    explicit TAgentEngine(IAgentView& view);
    ~TAgentEngine();
    TAgentEngine(const TAgentEngine&) = delete;
    TAgentEngine& operator=(const TAgentEngine&) = delete;

    // ---- operations --------------------------------------------------------------------------
    // One policy refresh and one cycle; the line /once prints. LastRunOk() then tells whether the
    // cycle ran and stored and sent what it had (the exit code of /once).
    std::string RunOnce();
    bool LastRunOk() const { return FLastRunOk; }
    void RefreshPolicy();
    // Runs a cycle unless a flush is under way; the notice is in ReportNote() afterwards.
    void CollectIfIdle();
    // "지금 보내기": a refresh and a cycle; returns the notice to show (never empty).
    std::string SendNow();
    // Timer ticks: do the tick's work and return the interval in milliseconds until the next tick.
    int ReportTimerTick();
    int PolicyTimerTick();
    // The settings page saved new settings: the engine works with them from now on.
    void ApplySettings(const TAgentSettings& settings);
    void LoadState();
    void SaveState();

    // Steps of the cycle, public so the window's buttons and the tests can drive them alone.
    void CollectAndSend();
    void FlushSpool();
    bool SendSalesBatch();
    void SendCancels();
    bool SchemaGuardOk();
    void SendStatusHeartbeat(const std::vector<TRegisterSeen>& registers, const std::vector<TDayCount>& days);
    std::int64_t UnreportedLocalSubsidy(const std::vector<std::int64_t>& codes);
    void AnnounceNewProgram(const TPolicy& policy);

    // Tests shorten the waits of the server client and the POS reader.
    void SetHttpTimeouts(const THttpTimeouts& t) { FHttpTimeouts = t; }
    void SetPosTimeouts(int loginSec, int commandSec);
    // Tests make single spool writes fail (a full disk) through their own file layer.
    void UseSpoolFiles(std::shared_ptr<TSpoolFiles> files);

    // ---- read access for the window ----------------------------------------------------------
    const TAgentSettings& Settings() const { return FSettings; }
    TSpool& Spool() { return *FSpool; }
    const TLimitInput& Input() const { return FInput; }
    const TLimitState& State() const { return FState; }
    const std::string& ReportNote() const { return FReportNote; }
    const std::string& PolicyError() const { return FPolicyError; }
    const std::string& LocalNote() const { return FLocalNote; }
    const std::string& HoldNote() const { return FHoldNote; }
    int PosState() const { return FPosState; }
    bool Flushing() const { return FFlushing; }
    TDateTime SentDay() const { return FSentDay; }
    std::int64_t SentToday() const { return FSentToday; }
    TDateTime LastSendAt() const { return FLastSendAt; }
    TDateTime LastCollectAt() const { return FLastCollectAt; }
    TDateTime PolicyAt() const { return FPolicyAt; }
    TDateTime NextCollectAt() const { return FNextCollectAt; }
    TDateTime NextPolicyAt() const { return FNextPolicyAt; }
    const std::string& PointId() const { return FPointId; }
    const std::string& PointLabel() const { return FPointLabel; }
    const std::string& ApprovedFingerprint() const { return FApprovedFp; }
    const std::vector<std::int64_t>& SubsidyCodes() const { return FSubsidyCodes; }
    TDateTime CollectFrom() const { return FCollectFrom; }
    const std::string& ProgramName() const { return FProgramName; }
    TDateTime ProgramStart() const { return FProgramStart; }
    TDateTime ProgramEnd() const { return FProgramEnd; }
    std::int64_t PolicyRevision() const { return FLastRevision; }
    const std::vector<TPolicyItem>& Items() const { return FItems; }
    const std::vector<TRoundInfo>& Rounds() const { return FRounds; }
    const std::vector<TMappingDecision>& Decisions() const { return FDecisions; }
    int ViewRound() const { return FViewRound; }
    void SetViewRound(int round) { FViewRound = round; }

  private:
    void Render();
    std::unique_ptr<TAgentClient> MakeClient() const;
    void CollectAndSendSteps();
    // The stored watermark, or where reading must start again when it cannot be true (logged and
    // shown).
    TDateTime CheckedWatermark(TDateTime now);
    bool SendCancelsOfSlice(const std::string& day, const std::vector<TSpoolEntry>& slice);
    void AfterFlush();
    // Sets the cycle's notice unless the notice already set is graver: a later, milder notice of
    // the same cycle must never hide that lines were not stored or not sent. A warning ("⚠") is
    // logged at once — with the given level word, else by NoticeLevel — and so is a notice that
    // does not make it to the screen, so the log tells everything.
    void SetNote(const std::string& text, const char* logLevelNow = nullptr,
                 TNoticeWeight weight = TNoticeWeight::Other);

    IAgentView& FView;
    TAgentSettings FSettings;
    std::unique_ptr<TSpool> FSpool;
    THttpTimeouts FHttpTimeouts;
    int FPosLoginSec = 15;
    int FPosCommandSec = 60;

    // state counters (agent.ini, section state)
    TDateTime FSentDay = 0;
    std::int64_t FSentToday = 0;
    TDateTime FLastSendAt = 0;
    TDateTime FLastCollectAt = 0;

    // budget
    TLimitInput FInput;
    TLimitState FState;
    std::string FLocalNote;

    // policy-derived
    TDateTime FPolicyAt = 0;
    std::string FPolicyError;
    std::string FSeenProgram;
    std::string FProgramName;
    TDateTime FProgramStart = 0;
    TDateTime FProgramEnd = 0;
    std::vector<std::int64_t> FSubsidyCodes;
    std::string FPointId;
    std::string FPointLabel;
    std::string FApprovedFp;
    TDateTime FCollectFrom = 0;
    std::int64_t FLastRevision = 0;
    std::vector<TPolicyItem> FItems;
    std::vector<TRoundInfo> FRounds;
    std::vector<TMappingDecision> FDecisions;
    int FViewRound = -1;

    // cycle
    std::string FReportNote;
    TNoticeWeight FNoteWeight = TNoticeWeight::Other;
    bool FLastRunOk = false;
    // This cycle did not collect, or lines were not stored or not sent (the exit code of /once).
    bool FCycleFailed = false;
    bool FFlushing = false;
    std::int64_t FFlushSum = 0;
    int FPosState = 0;
    std::string FPosError; // why this cycle could not connect to or read the POS
    std::string FCurFp;
    std::string FHoldNote;
    std::string FLoggedNote;               // the notice of this cycle already written to the agent log
    std::string FLoggedLevel;              // and the level it was written at
    std::set<std::string> FBadLinesLogged; // days whose unreadable lines this flush has logged
    // Sales keys the server rejected during the running flush: not offered again in that flush.
    std::set<std::string> FRejectedInFlush;

    // schedule
    TDateTime FNextCollectAt = 0;
    TDateTime FNextPolicyAt = 0;
};

} // namespace pavona
