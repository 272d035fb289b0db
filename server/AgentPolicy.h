// The association's policy document for one store: its records and how a 200 answer is read
// into them (defaults for missing members; a document of the wrong shape is refused whole).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pavona {

struct TPolicyItem {
    std::string VendorItemCode;
    std::string StandardItemCode;
    std::string ItemName;
    int DiscountRate = 0;
    std::int64_t DiscountCap = 0;
    std::string Review;
};

struct TDesignated {
    std::string Code;
    std::string Name;
};

struct TRoundInfo {
    int RoundNo = 0;
    std::string StartsOn;
    std::string EndsOn;
    std::string Phase;
    std::vector<TDesignated> Designated;
    std::vector<TPolicyItem> Items;
};

struct TMappingDecision {
    std::string VendorItemCode;
    std::string ProductName;
    std::string ItemName;
    std::string Verdict;
    std::string Reason;
    std::string At;
};

struct TPolicy {
    bool Ok = false;
    std::string Error;
    std::string Schema;
    bool Enabled = false;
    std::int64_t Revision = 0;
    std::string ServerTime;
    std::string ProgramCode;
    std::string ProgramName;
    std::string StartsOn;
    std::string EndsOn;
    std::int64_t Allocated = 0;
    std::int64_t ReportedExecuted = 0;
    std::int64_t OffsetOutstanding = 0;
    std::int64_t Remaining = 0;
    std::vector<TPolicyItem> Items;
    std::vector<std::int64_t> SubsidyCouponCodes;
    std::string PointId;
    std::string PointMemberCode;
    std::string PointSignName;
    std::string ApprovedFingerprint;
    std::string CollectFrom;
    std::vector<TRoundInfo> Rounds;
    std::vector<TMappingDecision> Decisions;
};

// Reads the body of a 200 policy answer. Not a JSON object, or a member of the wrong shape (a
// scalar where an object or array belongs, an array element that is not an object): Ok false
// with the unreadable-answer text and nothing else filled. A null container counts as missing.
TPolicy ReadPolicyDocument(const std::string& answer);

} // namespace pavona
