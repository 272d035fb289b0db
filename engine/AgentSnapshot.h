// Everything a view shows of the engine, as one plain value: counters, schedule, budget, policy,
// the cycle's notice and the connection state. The engine hands out copies, never references, so a
// view on another thread reads it without locks.
#pragma once

#include "common/DateTime.h"
#include "engine/AgentMonitor.h"
#include "engine/AgentNotice.h"
#include "engine/TargetData.h"
#include "server/AgentPolicy.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pavona {

// How the last POS read went.
enum class TPosState { NotRead, Read, Failed };

struct TAgentSnapshot {
    // state counters (kept in agent.ini)
    TDateTime SentDay = 0;
    std::int64_t SentToday = 0;
    TDateTime LastSendAt = 0;
    TDateTime LastCollectAt = 0;

    // schedule
    TDateTime NextCollectAt = 0; // 0 before the first tick
    TDateTime NextPolicyAt = 0;
    int CollectMinutes = 0; // as set; three times this in the busy hours
    int PolicyMinutes = 0;

    // budget
    TLimitInput Input;
    TLimitState State;
    std::string LocalNote; // why the POS's own count could not be added, empty when it was

    // policy
    TDateTime PolicyAt = 0; // last successful refresh, 0 before it
    std::string PolicyError;
    std::string ProgramName;
    TDateTime ProgramStart = 0;
    TDateTime ProgramEnd = 0;
    std::int64_t PolicyRevision = 0;
    std::string PointId;
    std::string PointLabel;
    std::string ApprovedFingerprint;
    std::vector<std::int64_t> SubsidyCodes;
    TDateTime CollectFrom = 0;
    std::vector<TPolicyItem> Items;
    std::vector<TRoundInfo> Rounds;
    std::vector<TMappingDecision> Decisions;

    // what the target-items page is drawn from (BuildTargetView, engine/TargetView.h)
    TTargetData Targets;

    // the last cycle
    TNotice Report;       // its notice, empty when there was nothing to say
    std::string HoldNote; // the schema guard's hold, empty when sending may go on
    TPosState PosState = TPosState::NotRead;
    bool Flushing = false; // a flush is under way (the snapshot was taken between two batches)

    // the spool
    std::vector<std::string> PendingDays; // sales days with lines not yet sent, oldest first
    std::int64_t SpoolBytes = 0;
    bool SpoolFull = false;
};

// A new programme with a budget started: what the view needs to announce it.
struct TProgramNews {
    std::string ProgramCode;
    std::string ProgramName;
    std::string StartsOn; // as the policy gives them
    std::string EndsOn;
    std::int64_t Allocated = 0;
    int Items = 0; // target items of the programme
    // Items without goods on sale in the POS (all of them while the goods could not be read).
    int Unlinked = 0;
};

} // namespace pavona
