// Fuzz target: the server's answers to the report endpoints, enrolment and mapping requests, and the
// agent's own request bodies read back through the same JSON reader.
#include "common/Text.h"
#include "fuzz/FuzzSupport.h"
#include "server/AgentApi.h"
#include "server/AgentEnroll.h"
#include "server/ApiJson.h"

#include <map>

// Properties: any text is read or refused without a partial result; counts are never negative and
// every refused line is named once; a batch is marked sent only when the answer accounts for it
// exactly. Input: the answer text; its first byte also picks the batch size and the mapping status.

namespace pavona::fuzz {
namespace {

void CheckReport(TReportKind kind, const std::string& answer, std::size_t sent) {
    TReportResult r;
    ReadReportAnswer(kind, answer, r);
    if (!r.Ok) {
        FUZZ_CHECK(r.Error == kUnreadableAnswer);
        FUZZ_CHECK(r.Accepted == 0 && r.Duplicated == 0 && r.Rejected == 0 && r.RejectedKeys.empty());
        return;
    }
    FUZZ_CHECK(r.Error.empty());
    FUZZ_CHECK(r.Accepted >= 0 && r.Duplicated >= 0 && r.Rejected >= 0);
    FUZZ_CHECK(static_cast<std::size_t>(r.Rejected) == r.RejectedKeys.size());
    if (kind == TReportKind::Cancels) FUZZ_CHECK(r.Duplicated == 0);
    FUZZ_CHECK(r.Retryable == !r.UnknownKeys.empty());

    // The batch: keys "1:1" .. "1:n"; an answer that accounts for it has counts adding up to n and
    // names each refused line of the batch once.
    std::vector<std::string> keys;
    for (std::size_t i = 1; i <= sent; ++i)
        keys.push_back("1:" + std::to_string(i));
    TReportResult checked = r;
    CheckAnswerAccounts(kind, sent, kind == TReportKind::Coupons ? std::vector<std::string>{} : keys,
                        checked);
    if (!checked.Ok) {
        FUZZ_CHECK(checked.Error == kAnswerMismatch && !checked.Detail.empty());
        return;
    }
    FUZZ_CHECK(static_cast<long long>(r.Accepted) + r.Duplicated + r.Rejected ==
               static_cast<long long>(sent));
    if (kind == TReportKind::Coupons) return;
    std::map<std::string, int> refused;
    for (const std::string& k : r.RejectedKeys)
        if (!(k.empty() && kind == TReportKind::Cancels)) refused[k] += 1;
    for (const auto& [k, n] : refused) {
        FUZZ_CHECK(n == 1);
        FUZZ_CHECK(std::find(keys.begin(), keys.end(), k) != keys.end());
    }
}

void CheckEnroll(const std::string& answer) {
    TEnrollResult r;
    ReadEnrollAnswer(answer, r);
    FUZZ_CHECK(r.Ok == (!r.Key.empty() && !r.Store.empty()));
    FUZZ_CHECK(r.Ok == r.Error.empty());
    if (!r.Ok) FUZZ_CHECK(r.Error == kUnreadableAnswer || r.Error == kEnrollNoKey);
    FUZZ_CHECK(r.PointLabel == Trim(r.PointLabel));
}

void CheckMapping(int status, const std::string& answer) {
    TMappingResult r;
    ReadMappingAnswer(status, answer, r);
    FUZZ_CHECK(r.Ok == r.Message.empty());
    if (r.Ok) FUZZ_CHECK(status == 200 && r.Error.empty());
    FUZZ_CHECK(Utf8Valid(r.Message));
}

// The agent's own bodies read back through the reader used for answers.
void CheckBodies(const std::string& text) {
    const std::vector<std::string> f = Split(text, '\n');
    auto field = [&](std::size_t i) { return i < f.size() ? f[i] : std::string(); };
    const std::string body =
        MappingBody(field(0), field(1), field(2), field(3), field(4), field(5), field(6), field(7));
    const TJsonNode doc = TJsonNode::Parse(body);
    FUZZ_CHECK(doc.IsObject());
    FUZZ_CHECK(JsonValueText(doc.Member("store")) == Utf8Sanitize(field(0)));
    FUZZ_CHECK(JsonValueText(doc.Member("vendor_item_code")) == Utf8Sanitize(field(1)));
    FUZZ_CHECK(JsonValueText(doc.Member("kind")) == Utf8Sanitize(field(2)));
    FUZZ_CHECK(doc.Member("standard_item_code").Present() == !field(3).empty());
    FUZZ_CHECK(JsonValueText(doc.Member("note")) == Utf8Sanitize(field(4)));
    FUZZ_CHECK(JsonValueText(doc.Member("vendor_item_name")) == Utf8Sanitize(Trim(field(5))));
    FUZZ_CHECK(doc.Member("barcode").Present() == !Trim(field(7)).empty());
    const TJsonNode env = TJsonNode::Parse(ReportEnvelope(field(0), field(1), "\"lines\":[]"));
    FUZZ_CHECK(env.IsObject() && env.Member("lines").IsArray());
    FUZZ_CHECK(JsonValueText(env.Member("schema")) == "pavona.agent.v1");
    FUZZ_CHECK(JsonValueText(env.Member("store")) == Utf8Sanitize(field(0)));
    FUZZ_CHECK(JsonValueText(env.Member("agent_time")) == Utf8Sanitize(field(1)));
}

} // namespace
} // namespace pavona::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pavona;
    using namespace pavona::fuzz;
    const std::string raw(reinterpret_cast<const char*>(data), size);
    // Answers reach the readers as the client hands them over: decoded as UTF-8.
    const std::string answer = Utf8Sanitize(raw);
    const unsigned char b = size ? data[0] : 0;
    const std::size_t sent = b % 8;
    CheckReport(TReportKind::Sales, answer, sent);
    CheckReport(TReportKind::Coupons, answer, sent);
    CheckReport(TReportKind::Cancels, answer, sent);
    CheckEnroll(answer);
    static const int statuses[] = {200, 400, 401, 403, 404, 409, 422, 500, 302};
    CheckMapping(statuses[b % std::size(statuses)], answer);
    CheckBodies(raw);
    return 0;
}
