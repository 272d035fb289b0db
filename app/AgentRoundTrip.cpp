// The round-trip test (/report): sample lines go through the spool to the server like real ones,
// and the first sample is voided again so the store's figures are left as they were.
#include "app/AgentConsole.h"

#include "common/JsonText.h"
#include "common/Text.h"
#include "engine/AgentEngine.h"
#include "platform/Clock.h"
#include "platform/Platform.h"
#include "pos/AgentReport.h"
#include "server/AgentApi.h"
#include "store/AgentSpool.h"

#include <algorithm>
#include <set>

namespace pavona {

const char* const kSampleVoidReason = "왕복 시험 — 표본 취소";

namespace {

// The value of the first "tx_key" member of a line's JSON text; empty when there is none.
std::string TxKeyOf(const std::string& payload) {
    static const std::string marker = "\"tx_key\":\"";
    const size_t at = payload.find(marker);
    if (at == std::string::npos) return {};
    const size_t start = at + marker.size();
    const size_t end = payload.find('"', start);
    return end == std::string::npos ? std::string() : payload.substr(start, end - start);
}

void ApplyEnvironment(TAgentSettings& s) {
    const std::string base = platform::Env("PAVONA_BASE");
    const std::string store = platform::Env("PAVONA_STORE");
    const std::string key = platform::Env("PAVONA_KEY");
    if (!base.empty()) s.BaseUrl = base;
    if (!store.empty()) s.Store = store;
    if (!key.empty()) s.Key = key;
}

} // namespace

int ReportRoundTrip(int count, const std::string& spoolDir, std::ostream& out) {
    TAgentSettings s = LoadSettings();
    ApplyEnvironment(s);
    out << "Pavona 농할 에이전트 — 왕복 시험 (표본 " << count << "줄)\n";
    out << "  서버    " << s.BaseUrl << "\n";
    out << "  사업자  " << s.Store << "\n";
    out << "  인증키  " << Utf8Length(s.Key) << "자\n";
    if (Trim(s.Store).empty() || Trim(s.Key).empty()) {
        out << "X  사업자번호와 인증키가 있어야 합니다\n";
        return 2;
    }

    TAgentClient client(s.BaseUrl, s.Key);
    const TPolicy policy = client.FetchPolicy(s.Store);
    if (!policy.Ok) {
        out << "X  정책을 받지 못했습니다 — " << policy.Error << "\n";
        return 2;
    }
    out << "  정책    ok · 대상 품목 " << policy.Items.size() << "개\n";

    const std::string itemCode = policy.Items.empty() ? std::string() : policy.Items[0].VendorItemCode;
    const std::string itemName = policy.Items.empty() ? std::string() : policy.Items[0].ItemName;
    const std::vector<std::string> samples = SelfTestLines(count, itemCode, itemName, Now());

    const std::string day = FormatDay(Today());
    TSpool spool(Trim(spoolDir).empty() ? SpoolDir() : spoolDir, kSpoolMaxBytes);
    for (size_t i = 0; i < samples.size(); ++i) {
        if (!spool.Append(day, Fmt("%s:%d", day.c_str(), static_cast<int>(i + 1)), samples[i])) {
            out << "X  보관함에 쌓지 못했습니다\n";
            return 2;
        }
    }
    std::vector<TSpoolEntry> pending;
    if (!spool.Pending(day, pending)) {
        out << "X  보관함을 읽지 못했습니다\n";
        return 2;
    }
    out << "  보관함  쌓음 " << count << " · 보낼 것 " << pending.size() << " · 깨진 줄 " << spool.BadLines()
        << "\n";

    // Real lines of the day may be pending in the agent's own spool too: they go in requests of the
    // cycle's size, and only what the server did not reject is marked sent, so a rejected real
    // line stays pending for the agent to offer again. Sample lines are always marked: a rejected
    // sample must not be offered by the agent for ever.
    std::set<std::string> sampleKeys;
    for (size_t i = 0; i < samples.size(); ++i)
        sampleKeys.insert(Fmt("%s:%d", day.c_str(), static_cast<int>(i + 1)));
    const std::string firstSampleKey = samples.empty() ? std::string() : Fmt("%s:1", day.c_str());
    int accepted = 0, duplicated = 0, rejected = 0;
    std::string firstReason;
    bool marked = true, sendFailed = false, firstSampleSent = false;
    size_t next = 0;
    do {
        const size_t end = std::min(pending.size(), next + static_cast<size_t>(kBatchLines));
        std::vector<std::string> payloads, txKeys;
        for (size_t i = next; i < end; ++i) {
            payloads.push_back(pending[i].Payload);
            txKeys.push_back(TxKeyOf(pending[i].Payload));
        }
        TReportResult r = client.SendSales(s.Store, UtcStamp(Now()), JsonArray(payloads));
        // An answer that does not account for every line sent marks nothing.
        CheckAnswerAccounts(TReportKind::Sales, payloads.size(), txKeys, r);
        if (!r.Ok) {
            out << "X  보내지 못했습니다 — " << r.Error << "\n";
            sendFailed = true;
            break;
        }
        const std::set<std::string> refused(r.RejectedKeys.begin(), r.RejectedKeys.end());
        std::vector<std::string> keys;
        for (size_t i = next; i < end; ++i) {
            if (pending[i].Key == firstSampleKey) firstSampleSent = true;
            const bool refusedLine =
                refused.count(pending[i].Key) || refused.count(TxKeyOf(pending[i].Payload));
            if (!refusedLine || sampleKeys.count(pending[i].Key)) keys.push_back(pending[i].Key);
        }
        if (!keys.empty() && !spool.MarkSent(day, keys)) marked = false;
        accepted += r.Accepted;
        duplicated += r.Duplicated;
        rejected += r.Rejected;
        if (firstReason.empty()) firstReason = r.FirstReason;
        next = end;
    } while (next < pending.size());
    int code = sendFailed ? 2 : 0;
    if (!sendFailed) {
        out << Fmt("  ok  받음 %d · 중복 %d · 거절 %d", accepted, duplicated, rejected) << "\n";
        if (!firstReason.empty()) out << "      거절 사유 — " << firstReason << "\n";
        if (!marked) {
            out << "X  보낸 줄을 보관함에 표시하지 못했습니다 — 다음 보고 때 다시 갑니다 (서버는 중복으로 "
                   "셉니다)\n";
            code = 2;
        }
    }

    // Only a sample line is voided, never a real sale that happened to be sent first. When a later
    // request failed, the first sample may already be at the server: it is voided all the same.
    const std::string voidKey = samples.empty() ? std::string() : TxKeyOf(samples[0]);
    if (voidKey.empty() || (sendFailed && !firstSampleSent)) return code;
    TCancelOut v;
    v.TxKey = voidKey;
    v.Kind = "void";
    v.Reason = kSampleVoidReason;
    v.OccurredAtLocal = Now();
    TReportResult c = client.SendCancels(s.Store, UtcStamp(Now()), JsonArray({CancelJson(v)}));
    CheckAnswerAccounts(TReportKind::Cancels, 1, {voidKey}, c);
    if (!c.Ok) {
        out << "X  취소를 보내지 못했습니다 — " << c.Error << "\n";
        return 2;
    }
    out << Fmt("  ok  취소 반영 %d · 건너뜀 %d", c.Accepted, c.Rejected) << "\n";
    if (!c.FirstReason.empty()) out << "      건너뛴 사유 — " << c.FirstReason << "\n";
    return code;
}

} // namespace pavona
