// Fuzz target: the policy document of a 200 answer read into TPolicy.
#include "common/Text.h"
#include "fuzz/FuzzSupport.h"
#include "server/AgentApi.h"
#include "server/AgentPolicy.h"
#include "server/ApiJson.h"

// Properties: any text is either read whole or refused whole with the unreadable-answer text, and
// refused only for a member of the wrong shape; what is read keeps its shape (one entry per array
// element, in order); reading is the same every time.

namespace pavona::fuzz {
namespace {

bool SameItems(const std::vector<TPolicyItem>& a, const std::vector<TPolicyItem>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].VendorItemCode != b[i].VendorItemCode || a[i].StandardItemCode != b[i].StandardItemCode ||
            a[i].ItemName != b[i].ItemName || a[i].DiscountRate != b[i].DiscountRate ||
            a[i].DiscountCap != b[i].DiscountCap || a[i].Review != b[i].Review)
            return false;
    return true;
}

bool Same(const TPolicy& a, const TPolicy& b) {
    if (a.Ok != b.Ok || a.Error != b.Error || a.Schema != b.Schema || a.Enabled != b.Enabled ||
        a.Revision != b.Revision || a.ServerTime != b.ServerTime || a.ProgramCode != b.ProgramCode ||
        a.ProgramName != b.ProgramName || a.StartsOn != b.StartsOn || a.EndsOn != b.EndsOn ||
        a.Allocated != b.Allocated || a.ReportedExecuted != b.ReportedExecuted ||
        a.OffsetOutstanding != b.OffsetOutstanding || a.Remaining != b.Remaining ||
        a.SubsidyCouponCodes != b.SubsidyCouponCodes || a.PointId != b.PointId ||
        a.PointMemberCode != b.PointMemberCode || a.PointSignName != b.PointSignName ||
        a.ApprovedFingerprint != b.ApprovedFingerprint || a.CollectFrom != b.CollectFrom ||
        !SameItems(a.Items, b.Items) || a.Rounds.size() != b.Rounds.size() ||
        a.Decisions.size() != b.Decisions.size())
        return false;
    for (std::size_t i = 0; i < a.Rounds.size(); ++i)
        if (a.Rounds[i].RoundNo != b.Rounds[i].RoundNo || a.Rounds[i].Phase != b.Rounds[i].Phase ||
            a.Rounds[i].Designated.size() != b.Rounds[i].Designated.size() ||
            !SameItems(a.Rounds[i].Items, b.Rounds[i].Items))
            return false;
    return true;
}

void CheckText(const std::string& s) {
    FUZZ_CHECK(Utf8Valid(s));
}

} // namespace
} // namespace pavona::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pavona;
    using namespace pavona::fuzz;
    // Answers reach the reader as the client hands them over: decoded as UTF-8.
    const std::string answer = Utf8Sanitize(std::string_view(reinterpret_cast<const char*>(data), size));
    const TPolicy p = ReadPolicyDocument(answer);
    FUZZ_CHECK(Same(p, ReadPolicyDocument(answer)));
    const TJsonNode doc = TJsonNode::Parse(answer);
    if (!p.Ok) {
        FUZZ_CHECK(p.Error == kUnreadableAnswer);
        FUZZ_CHECK(Same(p, [] {
            TPolicy refused;
            refused.Error = kUnreadableAnswer;
            return refused;
        }()));
        // A document is refused only when it is no object or a member has the wrong shape.
        if (doc.IsObject()) {
            const auto wrongObject = [](const TJsonNode& m) {
                return m.Present() && !m.IsNull() && !m.IsObject();
            };
            const auto wrongList = [](const TJsonNode& m, bool ofObjects) {
                if (!m.Present() || m.IsNull()) return false;
                if (!m.IsArray()) return true;
                for (std::size_t i = 0; ofObjects && i < m.Size(); ++i)
                    if (!m.At(i).IsObject()) return true;
                return false;
            };
            bool wrong = wrongList(doc.Member("subsidy_coupon_codes"), false);
            for (const char* name : {"program", "budget", "point", "schema_fingerprint"})
                wrong |= wrongObject(doc.Member(name));
            for (const char* name : {"items", "rounds", "decisions"})
                wrong |= wrongList(doc.Member(name), true);
            const TJsonNode rounds = doc.Member("rounds");
            for (std::size_t i = 0; i < rounds.Size(); ++i)
                wrong |= wrongList(rounds.At(i).Member("designated"), true) ||
                         wrongList(rounds.At(i).Member("items"), true);
            FUZZ_CHECK(wrong);
        }
        return 0;
    }
    FUZZ_CHECK(doc.IsObject() && p.Error.empty());
    // One entry per element, in the document's order.
    FUZZ_CHECK(p.Items.size() == doc.Member("items").Size());
    FUZZ_CHECK(p.Rounds.size() == doc.Member("rounds").Size());
    FUZZ_CHECK(p.Decisions.size() == doc.Member("decisions").Size());
    FUZZ_CHECK(p.SubsidyCouponCodes.size() == doc.Member("subsidy_coupon_codes").Size());
    for (std::size_t i = 0; i < p.Rounds.size(); ++i) {
        const TJsonNode r = doc.Member("rounds").At(i);
        FUZZ_CHECK(p.Rounds[i].Designated.size() == r.Member("designated").Size());
        FUZZ_CHECK(p.Rounds[i].Items.size() == r.Member("items").Size());
        for (const TPolicyItem& it : p.Rounds[i].Items)
            FUZZ_CHECK(it.DiscountCap == 0); // round items carry no cap of their own
    }
    for (std::size_t i = 0; i < p.SubsidyCouponCodes.size(); ++i)
        FUZZ_CHECK(p.SubsidyCouponCodes[i] ==
                   StrToInt64Def(JsonValueText(doc.Member("subsidy_coupon_codes").At(i)), 0));
    // Amounts are the document's whole numbers, or 0 when they are not.
    const TJsonNode budget = doc.Member("budget");
    FUZZ_CHECK(p.Allocated == ReadJsonInt64(budget, "allocated") &&
               p.Remaining == ReadJsonInt64(budget, "remaining"));
    for (const std::string* s :
         {&p.Schema, &p.ServerTime, &p.ProgramCode, &p.ProgramName, &p.StartsOn, &p.EndsOn, &p.PointId,
          &p.PointMemberCode, &p.PointSignName, &p.ApprovedFingerprint, &p.CollectFrom})
        CheckText(*s);
    for (const TMappingDecision& d : p.Decisions)
        for (const std::string* s :
             {&d.VendorItemCode, &d.ProductName, &d.ItemName, &d.Verdict, &d.Reason, &d.At})
            CheckText(*s);
    return 0;
}
