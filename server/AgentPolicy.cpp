// Reading the policy document (see AgentPolicy.h).
#include "server/AgentPolicy.h"

#include "common/Text.h"
#include "server/AgentApi.h"
#include "server/ApiJson.h"

namespace pavona {

namespace {

// A container member may be missing or null (both: leave the defaults) or of its own kind; any
// other value makes the document one this agent cannot trust.
enum class TShape { Absent, Good, Wrong };

TShape ObjectShape(const TJsonNode& n) {
    if (!n.Present() || n.IsNull()) return TShape::Absent;
    return n.IsObject() ? TShape::Good : TShape::Wrong;
}

TShape ArrayOfObjects(const TJsonNode& n) {
    if (!n.Present() || n.IsNull()) return TShape::Absent;
    if (!n.IsArray()) return TShape::Wrong;
    for (std::size_t i = 0; i < n.Size(); ++i)
        if (!n.At(i).IsObject()) return TShape::Wrong;
    return TShape::Good;
}

TPolicyItem ReadItem(const TJsonNode& e, bool withCap) {
    TPolicyItem it;
    it.VendorItemCode = ReadJsonString(e, "vendor_item_code");
    it.StandardItemCode = ReadJsonString(e, "standard_item_code");
    it.ItemName = ReadJsonString(e, "item_name");
    it.DiscountRate = ReadJsonInt(e, "discount_rate");
    // Round items never carry a cap of their own: the programme's top-level items set it.
    if (withCap) it.DiscountCap = ReadJsonInt64(e, "discount_cap");
    it.Review = JsonValueText(e.Member("review"));
    return it;
}

bool ShapeOk(const TJsonNode& doc) {
    for (const char* name : {"program", "budget", "point", "schema_fingerprint"})
        if (ObjectShape(doc.Member(name)) == TShape::Wrong) return false;
    for (const char* name : {"items", "rounds", "decisions"})
        if (ArrayOfObjects(doc.Member(name)) == TShape::Wrong) return false;
    const TJsonNode codes = doc.Member("subsidy_coupon_codes");
    if (codes.Present() && !codes.IsNull() && !codes.IsArray()) return false;
    const TJsonNode rounds = doc.Member("rounds");
    for (std::size_t i = 0; i < rounds.Size(); ++i) {
        const TJsonNode r = rounds.At(i);
        if (ArrayOfObjects(r.Member("designated")) == TShape::Wrong) return false;
        if (ArrayOfObjects(r.Member("items")) == TShape::Wrong) return false;
    }
    return true;
}

} // namespace

TPolicy ReadPolicyDocument(const std::string& answer) {
    TPolicy p;
    const TJsonNode doc = TJsonNode::Parse(answer);
    if (!doc.IsObject() || !ShapeOk(doc)) {
        p.Error = kUnreadableAnswer;
        return p;
    }
    p.Schema = ReadJsonString(doc, "schema");
    p.ServerTime = ReadJsonString(doc, "server_time");
    p.Enabled = ReadJsonBool(doc, "enabled");
    p.Revision = ReadJsonInt64(doc, "revision");

    const TJsonNode program = doc.Member("program");
    if (program.IsObject()) {
        p.ProgramCode = ReadJsonString(program, "code");
        p.ProgramName = ReadJsonString(program, "name");
        p.StartsOn = ReadJsonString(program, "starts_on");
        p.EndsOn = ReadJsonString(program, "ends_on");
    }
    const TJsonNode budget = doc.Member("budget");
    if (budget.IsObject()) {
        p.Allocated = ReadJsonInt64(budget, "allocated");
        p.ReportedExecuted = ReadJsonInt64(budget, "reported_executed");
        p.OffsetOutstanding = ReadJsonInt64(budget, "offset_outstanding");
        p.Remaining = ReadJsonInt64(budget, "remaining");
    }

    const TJsonNode items = doc.Member("items");
    for (std::size_t i = 0; i < items.Size(); ++i)
        p.Items.push_back(ReadItem(items.At(i), true));

    const TJsonNode rounds = doc.Member("rounds");
    for (std::size_t i = 0; i < rounds.Size(); ++i) {
        const TJsonNode e = rounds.At(i);
        TRoundInfo r;
        r.RoundNo = ReadJsonInt(e, "round_no");
        r.StartsOn = ReadJsonString(e, "starts_on");
        r.EndsOn = ReadJsonString(e, "ends_on");
        r.Phase = ReadJsonString(e, "phase");
        const TJsonNode designated = e.Member("designated");
        for (std::size_t k = 0; k < designated.Size(); ++k) {
            const TJsonNode d = designated.At(k);
            r.Designated.push_back({ReadJsonString(d, "standard_item_code"), ReadJsonString(d, "name")});
        }
        const TJsonNode roundItems = e.Member("items");
        for (std::size_t k = 0; k < roundItems.Size(); ++k)
            r.Items.push_back(ReadItem(roundItems.At(k), false));
        p.Rounds.push_back(std::move(r));
    }

    const TJsonNode decisions = doc.Member("decisions");
    for (std::size_t i = 0; i < decisions.Size(); ++i) {
        const TJsonNode e = decisions.At(i);
        TMappingDecision d;
        d.VendorItemCode = JsonValueText(e.Member("vendor_item_code"));
        d.ProductName = JsonValueText(e.Member("product_name"));
        d.ItemName = JsonValueText(e.Member("item_name"));
        d.Verdict = JsonValueText(e.Member("verdict"));
        d.Reason = JsonValueText(e.Member("reason"));
        d.At = JsonValueText(e.Member("at"));
        p.Decisions.push_back(std::move(d));
    }

    // Codes come as numbers or as text; anything else keeps its place as 0.
    const TJsonNode codes = doc.Member("subsidy_coupon_codes");
    for (std::size_t i = 0; i < codes.Size(); ++i)
        p.SubsidyCouponCodes.push_back(StrToInt64Def(JsonValueText(codes.At(i)), 0));

    const TJsonNode point = doc.Member("point");
    if (point.IsObject()) {
        p.PointId = JsonValueText(point.Member("id"));
        p.PointMemberCode = JsonValueText(point.Member("member_code"));
        p.PointSignName = JsonValueText(point.Member("sign_name"));
    }
    const TJsonNode fingerprint = doc.Member("schema_fingerprint");
    if (fingerprint.IsObject()) p.ApprovedFingerprint = JsonValueText(fingerprint.Member("approved"));
    p.CollectFrom = JsonValueText(doc.Member("collect_from"));
    p.Ok = true;
    return p;
}

} // namespace pavona
