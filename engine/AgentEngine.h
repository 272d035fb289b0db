// The agent engine: settings copy, state counters, budget, spool, policy-derived fields, the report
// cycle, the two timer ticks, the policy refresh and the heartbeat. Its driver (the resident agent's
// engine thread, or a console mode) calls its operations; it tells a view what changed with values.
#pragma once

#include "common/DateTime.h"
#include "config/AgentSettings.h"
#include "engine/AgentCollect.h"
#include "engine/AgentMonitor.h"
#include "engine/AgentNotice.h"
#include "engine/AgentSnapshot.h"
#include "engine/AgentView.h"
#include "engine/TargetData.h"
#include "pos/AgentPos.h"
#include "server/AgentApi.h"
#include "platform/HttpSession.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
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

// What a failing notice says about the store's lines, for ordering the notices of one cycle:
// sales not read or not stored weigh most, then sales not sent, then everything else.
enum class TNoticeWeight { Other = 0, NotSent = 1, NotStored = 2 };
// The one line /once prints when the settings lack what a cycle needs, or empty when they are complete.
std::string MissingSettingsLine(const std::string& store, const std::string& key, const std::string& posConn);

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

// The line /once prints and whether the run did its work (its exit code).
struct TOnceResult {
    std::string Line;
    // A cycle ran and every line it read was stored and everything pending was sent.
    bool Ok = false;
};

// The engine runs its operations one at a time on the thread that calls them: the resident agent
// calls them only from its engine thread (TEngineRunner), a console mode from its main thread.
// Nothing of its state is reachable from outside but through Snapshot() and the operations.
class TAgentEngine {
  public:
    // Loads the settings and the state counters, renders an empty budget and creates the spool.
    explicit TAgentEngine(IAgentView& view);
    ~TAgentEngine();
    TAgentEngine(const TAgentEngine&) = delete;
    TAgentEngine& operator=(const TAgentEngine&) = delete;

    // ---- operations --------------------------------------------------------------------------
    // One policy refresh and one cycle (/once).
    TOnceResult RunOnce();
    void RefreshPolicy();
    // Runs a cycle; its notice is in the snapshot afterwards.
    void CollectIfIdle();
    // "지금 보내기": a refresh and a cycle; returns the notice shown (never empty).
    TNotice SendNow();
    // Timer ticks: do the tick's work and return the interval in milliseconds until the next tick.
    int ReportTimerTick();
    int PolicyTimerTick();
    // The settings page saved new settings: the engine works with them from now on.
    void ApplySettings(const TAgentSettings& settings);
    // Steps of the cycle the tests (and the window's diagnostics) drive alone.
    void FlushSpool();
    void SendCancels();
    // "POS 다시 읽기": reads the target goods and coupon links and publishes them (TargetsChanged),
    // also when the read failed: the page then says why.
    void ReadTargets();
    // One mapping request for `target` (the goods a row showed when the store chose it). "assign"
    // takes the goods' name, spec and barcode from the last read where they are not given. A
    // request the association accepted refreshes the policy at once.
    TMappingOutcome SendMapping(const TRequestTarget& target, const std::string& kind,
                                const std::string& itemCode, const std::string& note,
                                const std::string& goodsName = "", const std::string& spec = "",
                                const std::string& barcode = "");
    // /maprequest: "include" and "wrong" are the console's words for "assign" and (without an item
    // code) "release". Ok only when the association accepted the request.
    TMapRequestResult RequestMappingNow(const std::string& code, const std::string& kind,
                                        const std::string& stdCode, const std::string& note);

    // ---- the settings page (engine/AgentSettingsOps.cpp) ----------------------------------------
    // "연결 시험": opens the POS with `connStr` (saved or not) with the engine's time-outs and
    // closes it again; the driver's message on failure.
    Result<> TestPosConnection(const std::string& connStr) const;
    // "코드로 등록": turns the one-time code into the store's key and number. Saves nothing.
    TEnrollResult Enroll(const std::string& baseUrl, const std::string& code) const;
    // Writes settings the page has checked and works with them from then on. A record that does
    // not pass the checks, or a file that cannot be written, changes nothing. The programme the
    // store was last told about is the engine's own: an older copy would announce it again.
    Result<TAgentSettings> SaveAndApplySettings(TAgentSettings settings);
    // Saves the settings in force with `change` applied and nothing else taken from the page, as
    // /enroll keeps its key: an enrolment's address, key and store number, or the autostart an
    // install switched on. An autostart entry that names an existing program stays with it.
    Result<TAgentSettings> SaveInForce(const std::function<void(TAgentSettings&)>& change);

    // The latest published state; safe from any thread.
    TAgentSnapshot Snapshot() const;
    // The agent is ending (asked from any thread): the running operation stops at its next safe
    // point — before the next send request, or before the cycle's lines are written, which are
    // then discarded as on an error and read again next time — and later operations do nothing.
    void RequestStop() { FStopRequested = true; }

    // ---- configuration -------------------------------------------------------------------------
    // Tests shorten the waits of the server client and the POS reader.
    void SetHttpTimeouts(const THttpTimeouts& t) { FHttpTimeouts = t; }
    void SetPosTimeouts(int loginSec, int commandSec);
    // Tests make single spool writes fail (a full disk) through their own file layer.
    void UseSpoolFiles(std::shared_ptr<TSpoolFiles> files);

  private:
    void LoadState();
    void SaveState();
    // A cycle unless a flush runs or the agent is ending; the public operations publish after it.
    void RunCycle();
    void CollectAndSend();
    void CollectAndSendSteps();
    // The stored watermark, or where reading must start again when it cannot be true (logged and
    // shown).
    TDateTime CheckedWatermark(TDateTime now);
    // The flush without publishing at its end (the cycle publishes once when it is done).
    void FlushSales();
    bool SendSalesBatch();
    void SendPendingCorrections();
    bool SendCancelsOfSlice(const std::string& day, const std::vector<TSpoolEntry>& slice);
    void AfterFlush();
    bool SchemaGuardOk();
    void SendStatusHeartbeat(const std::vector<TRegisterSeen>& registers, const std::vector<TDayCount>& days);
    std::int64_t UnreportedLocalSubsidy(const std::vector<std::int64_t>& codes);
    void AnnounceNewProgram(const TPolicy& policy);
    // The policy refresh's part for the target-items page: reads the goods the first time items are
    // known and again when a new revision names goods not read; otherwise redraws on a change.
    void RefreshTargets(std::int64_t revision, bool changed, bool revised);
    // The read and the view call without a publish of the whole state in between.
    void ReadTargetGoodsNow();
    TTargetData TargetData() const;
    void Render();
    std::unique_ptr<TAgentClient> MakeClient() const;
    // Builds the snapshot from the engine's state and publishes it for Snapshot().
    TAgentSnapshot Publish();
    // Sets the cycle's notice unless the notice already set is graver: a later, milder notice of
    // the same cycle must never hide that lines were not stored or not sent. A warning or worse is
    // logged when it arises, and so is a notice that does not make it to the screen, so the log
    // tells everything. `logNow` false: the caller has logged it already.
    void SetNote(const TNotice& notice, TNoticeWeight weight = TNoticeWeight::Other, bool logNow = true);

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
    std::string FStateWriteError; // the last failed state write, logged once until it changes

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
    std::string FProgramStartsOn; // as the policy gives them, for the target-items page
    std::string FProgramEndsOn;

    // target goods (the last POS read for the target-items page)
    std::vector<TStoreGoods> FGoods;
    std::vector<TCurrentLink> FLinks;
    bool FGoodsRead = false;  // read at least once
    bool FGoodsTried = false; // the policy refresh made its first read
    std::int64_t FGoodsRevision = 0; // the policy revision the goods were last read for
    bool FReadTried = false;
    std::string FReadNote;  // why the last read failed
    std::string FLinksNote; // the last read could not read the links

    // cycle
    TNotice FReportNote;
    TNoticeWeight FNoteWeight = TNoticeWeight::Other;
    // This cycle did not collect, or lines were not stored or not sent (the exit code of /once).
    bool FCycleFailed = false;
    bool FFlushing = false;
    std::int64_t FFlushSum = 0;
    bool FFlushFailed = false;   // a sales batch of the running flush failed
    bool FFlushRejected = false; // a sales batch of the running flush had refused lines
    TPosState FPosState = TPosState::NotRead;
    std::string FPosError; // why this cycle could not connect to or read the POS
    std::string FCurFp;
    std::string FHoldNote;
    TNotice FLoggedNote;                   // the notice of this cycle already written to the agent log
    std::set<std::string> FBadLinesLogged; // days whose unreadable lines this flush has logged
    // Sales keys the server rejected during the running flush: not offered again in that flush.
    std::set<std::string> FRejectedInFlush;

    // schedule
    TDateTime FNextCollectAt = 0;
    TDateTime FNextPolicyAt = 0;

    std::atomic<bool> FStopRequested{false};

    // what Snapshot() hands out
    mutable std::mutex FPublishedLock;
    TAgentSnapshot FPublished;
};

} // namespace pavona
