// What the target-items page is drawn from, as plain values the engine publishes: the policy's
// items, rounds and decisions with the last POS goods read; the round totals a page asks for; a
// mapping request's target and outcome.
#pragma once

#include "common/DateTime.h"
#include "pos/CouponPlan.h"
#include "server/AgentPolicy.h"
#include "store/AgentLedger.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace pavona {

// The goods a "품목 지정 ▾" button (or the console) makes a request for, captured when the row is
// made: a later render or policy refresh cannot change which goods a request names.
struct TRequestTarget {
    std::string Code;  // the POS goods code
    std::string Label; // the goods name as the row shows it (the code when nothing better is known)
    bool operator==(const TRequestTarget&) const = default;
};

struct TTargetData {
    // policy (as of the last successful refresh)
    bool HasPolicy = false;
    std::int64_t Revision = 0;
    std::string ProgramName;
    std::string StartsOn; // as the policy gives them
    std::string EndsOn;
    TDateTime ProgramEnd = 0; // 0 when the policy gave none
    std::vector<TPolicyItem> Items; // the current round's items
    std::vector<TRoundInfo> Rounds;
    std::vector<TMappingDecision> Decisions;
    std::vector<std::int64_t> SubsidyCodes;

    // the last POS read
    std::vector<TStoreGoods> Goods;
    std::vector<TCurrentLink> Links;
    bool GoodsRead = false; // the goods were read at least once (Goods and Links are that read)
    bool ReadTried = false; // a read was asked for at least once
    std::string ReadNote;   // why the last read did not read the goods, empty when it did
    std::string LinksNote;  // the last read read the goods but not the coupon links
};

// The round's accumulated lines per goods code, from the ledger.
struct TRoundTotals {
    bool Counted = false; // false: not counted (yet, or counting failed); every goods shows no sales
    TDateTime From = 0;
    TDateTime To = 0;
    std::map<std::string, TGoodsTotal> ByCode;
};

// How one mapping request ended.
struct TMappingOutcome {
    bool Sent = false;    // the request was made (false: refused before sending, nothing went out)
    bool Ok = false;      // the association accepted it
    bool Refused = false; // the association answered with its own error code (Error, Reason)
    std::string Kind;
    TRequestTarget Target;
    std::string ToStatus;
    bool Created = false;
    std::string Error;   // the association's error code
    std::string Reason;  // and its reason
    std::string Message; // the operator's text of a failure, empty on success
    // The page's note line after the request: the result sentence, or "품목 지정을 보내지
    // 못했습니다 — " and Message.
    std::string Note;
    // An interactive caller shows a warning box with this text (caption "품목 지정") when the
    // association refused with an error code; empty otherwise.
    std::string BoxText;
    // A successful request refreshed the policy at once: the policy timer starts again with this
    // interval (0 when it did not run).
    int NextPolicyMs = 0;
};

// What /maprequest prints and whether the association accepted the request (its exit code).
struct TMapRequestResult {
    std::string Line;
    bool Ok = false;
};

} // namespace pavona
