// The reference association's persistent state: stores with their keys and policies, enrolment
// codes, and everything the agents reported (sales, coupons, corrections, heartbeats, mappings).
#pragma once

#include "tools/refserver/RefDb.h"

#include <nlohmann/json.hpp>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace pavona::refserver {

using Json = nlohmann::json;

// An HTTP answer produced by the state: status and JSON body text.
struct RefAnswer {
    int Status = 200;
    std::string Body;
};

struct RefEnrolment {
    bool Ok = false;
    std::string Key, Store, MemberCode, SignName;
    std::string Error; // code for the refusal ("code_unknown", "code_used", "code_expired")
};

struct RefStoreSummary {
    bool Found = false;
    std::string BusinessNo, PointLabel, PointId;
    int64_t Accepted = 0, Duplicated = 0, Rejected = 0, Coupons = 0;
    int64_t CorrectionsApplied = 0, CorrectionsSkipped = 0, Heartbeats = 0, Mappings = 0;
    int64_t Allocated = 0, OffsetOutstanding = 0, ReportedExecuted = 0, Remaining = 0;
    std::string LastHeartbeatAt;
};

class RefState {
  public:
    bool Open(const std::string& path, std::string& error);

    // The association's clock in Unix seconds: real time moved by a settable offset.
    int64_t Now() const;
    // The same clock in milliseconds: sessions of a second or two must not end early for
    // the want of the fraction of the second they began in.
    int64_t NowMs() const;
    void SetClockOffset(int64_t seconds) { FOffset = seconds; }
    static std::string UtcText(int64_t unixSeconds); // yyyy-mm-ddThh:mm:ssZ

    // Seeding.
    bool AddStore(const std::string& businessNo, const std::string& agentKey, const std::string& pointLabel,
                  const std::string& pointId, const std::string& policyText, std::string& error);
    bool SetPolicy(const std::string& businessNo, const std::string& policyText, std::string& error);
    // Returns the code (the given one, upper-cased, or a new one); empty with `error` on failure.
    std::string IssueCode(const std::string& businessNo, double hours, const std::string& code,
                          std::string& error);

    // Agent requests. `store` is the business number of the caller's session.
    std::string StoreOfKey(const std::string& key);
    RefEnrolment Enrol(const std::string& code);
    RefAnswer AcceptSales(const std::string& store, const Json& lines);
    RefAnswer AcceptCoupons(const std::string& store, const Json& coupons);
    RefAnswer ApplyCancels(const std::string& store, const Json& cancels);
    RefAnswer KeepHeartbeat(const std::string& store, const std::string& body);
    RefAnswer PolicyDocument(const std::string& store);
    RefAnswer Mapping(const std::string& store, const Json& request);
    // The association decides the store's current assignment of a goods: "confirmed" settles it,
    // "rejected" (with a reason) takes the goods off the items and refuses the same pair later.
    // Either way the decision is in the next policy document. False with `error` when the goods
    // has no assignment or the verdict is neither.
    bool Decide(const std::string& store, const std::string& vendorCode, const std::string& verdict,
                const std::string& reason, std::string& error);

    RefStoreSummary Summary(const std::string& businessNo);
    // A short readable account of what was received, one store or all of them.
    std::string ReportText(const std::string& businessNo);

  private:
    bool CreateSchema(std::string& error);
    bool ParsePolicy(const std::string& text, Json& policy, std::string& error);
    Json LoadPolicy(const std::string& store, int64_t* revision);
    Json EffectiveItems(const std::string& store, const Json& policy);
    // The policy's own decisions followed by those made with Decide, oldest first.
    Json Decisions(const std::string& store, const Json& policy);
    int64_t ReportedExecuted(const std::string& store);
    bool ProductKnown(const std::string& store, const std::string& vendorCode, const Json& items);
    bool BumpRevision(const std::string& store);

    RefDb FDb;
    std::mutex FLock; // one request at a time touches the state
    std::atomic<int64_t> FOffset{0};
};

// Field checks shared by the report endpoints.
bool IsUtcStamp(const std::string& text);
bool JsonInt(const Json& obj, const char* name, int64_t& out);

} // namespace pavona::refserver
