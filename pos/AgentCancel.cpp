// Cancel and return corrections. The rule throughout is never to guess: a POS document that cannot be
// tied to exactly one reported sale line of the same goods yields no correction and is counted, so
// the unmatched amount stays in the store's claim rather than being taken off the wrong line.
#include "pos/AgentCancel.h"

#include "common/Text.h"
#include "pos/AgentAttribute.h"
#include "pos/AgentPos.h"
#include "pos/AgentReport.h"
#include "store/AgentSpool.h"

#include <algorithm>
#include <cstdlib>
#include <unordered_map>

namespace pavona {
namespace {

// Receipt numbers reach us padded in some POS columns and plain in others; the transaction key
// trims them, so matching must too.
std::string LineKey(const std::string& ordCode, int seq) {
    return MakeTxKey(ordCode, seq);
}

// Only these lines were ever sent to the server; a correction for any other line names a key the
// server never received.
bool Reportable(const TSaleLine& l) {
    return l.Amount > 0 && l.Qty > 0;
}

// The sold lines read back, by key, with whether their receipt is itself a return.
struct TSold {
    TSaleLine Line;
    bool IsRefund = false;
};

std::unordered_map<std::string, TSold> IndexSold(const std::vector<TOriginRow>& originRows) {
    std::unordered_map<std::string, TSold> index;
    size_t i = 0;
    while (i < originRows.size()) {
        size_t j = i;
        std::vector<TRawLine> raw;
        while (j < originRows.size() && originRows[j].Raw.OrdCode == originRows[i].Raw.OrdCode)
            raw.push_back(originRows[j++].Raw);
        for (TSaleLine& l : Attribute(raw)) {
            const std::string key = LineKey(l.OrdCode, l.Seq);
            index.try_emplace(key, TSold{std::move(l), originRows[i].IsRefund}); // the first one stays
        }
        i = j;
    }
    return index;
}

} // namespace

TPriorMarks LoadPriorMarks(const std::string& spoolDir) {
    // No folder name is no folder (the ledger would otherwise read the root).
    if (spoolDir.empty()) return {};
    TLedger ledger(spoolDir);
    return ledger.Marks();
}

std::string CancelSpoolDay(TDateTime now) {
    return FormatDay(now) + "-cancel";
}

std::string CancelReason(std::int64_t cancelCode) {
    return "POS 취소 #" + std::to_string(cancelCode);
}
std::string PartialCancelReason(std::int64_t cancelCode) {
    return "POS 부분취소 #" + std::to_string(cancelCode);
}
std::string ReturnReason(const std::string& returnReceipt) {
    return "POS 반품 #" + returnReceipt;
}
std::string PartialReturnReason(const std::string& returnReceipt) {
    return "POS 부분반품 #" + returnReceipt + " — 남은 수량의 지원액을 가를 수 없어 줄 전체를 뺀다";
}

void CollectReturn(const std::vector<TSalesRow>& rows, std::size_t first, std::size_t last,
                   std::vector<TReturnRow>& returns) {
    last = std::min(last, rows.size());
    if (first >= last) return;
    const TSalesRow& head = rows[first];
    for (size_t i = first; i < last; ++i) {
        TReturnRow r;
        r.OrdCode = rows[i].Raw.OrdCode;
        r.Origin = head.Origin;
        r.ReturnedAtLocal = head.SoldAt;
        r.Raw = rows[i].Raw;
        returns.push_back(std::move(r));
    }
}

std::vector<TCancelOut> CancelCorrections(const std::vector<TCancelRow>& cancelRows,
                                          const std::vector<TOriginRow>& originRows,
                                          const std::vector<std::int64_t>& codes, const TPriorMarks& prior,
                                          TCancelSkips& skips) {
    skips = {};
    std::vector<TCancelOut> out;
    const std::unordered_map<std::string, TSold> sold = IndexSold(originRows);
    // The state of each line as this call leaves it, starting from what the correction files hold,
    // so that a second partial cancel takes its subsidy off what the first one left.
    TPriorMarks state;

    size_t i = 0;
    while (i < cancelRows.size()) {
        size_t j = i;
        std::vector<TRawLine> raw;
        while (j < cancelRows.size() && cancelRows[j].CancelCode == cancelRows[i].CancelCode)
            raw.push_back(cancelRows[j++].Raw);
        const TCancelRow& head = cancelRows[i];
        for (const TSaleLine& c : Attribute(raw)) {
            const std::string key = LineKey(c.OrdCode, c.Seq);
            const auto it = sold.find(key);
            if (it == sold.end()) {
                ++skips.NoOrigin;
                continue;
            }
            const TSold& s = it->second;
            if (s.IsRefund) {
                ++skips.OriginIsReturn;
                continue;
            }
            if (c.Goods != s.Line.Goods) {
                ++skips.GoodsDiffer;
                continue;
            }
            if (!Reportable(s.Line)) {
                ++skips.NotReported;
                continue;
            }
            auto st = state.find(key);
            if (st == state.end()) {
                const auto p = prior.find(key);
                st = state.emplace(key, p != prior.end() ? p->second : TPriorMark{}).first;
            }
            TPriorMark& m = st->second;
            const bool partial = c.Amount < s.Line.Amount;
            const std::string reason =
                partial ? PartialCancelReason(head.CancelCode) : CancelReason(head.CancelCode);
            if (m.Void || m.Reasons.count(reason) > 0) {
                ++skips.AlreadyApplied;
                continue;
            }
            TCancelOut o;
            o.TxKey = key;
            o.OccurredAtLocal = head.CanceledAtLocal;
            o.Reason = reason;
            if (partial) {
                const std::int64_t old = m.HasAmend ? m.Corrected : SubsidyOf(s.Line, codes);
                const std::int64_t remaining = std::max<std::int64_t>(0, old - SubsidyOf(c, codes));
                if (remaining == old) {
                    ++skips.Unchanged;
                    continue;
                }
                o.Kind = "amend";
                o.HasCorrected = true;
                o.Corrected = remaining;
                m.HasAmend = true;
                m.Corrected = remaining;
            } else {
                o.Kind = "void";
                m.Void = true;
            }
            m.Reasons.insert(reason);
            out.push_back(std::move(o));
        }
        i = j;
    }
    return out;
}

std::vector<TCancelOut> ReturnCorrections(const std::vector<TReturnRow>& returnRows,
                                          const std::vector<TOriginRow>& originRows, TReturnSkips& skips) {
    skips = {};
    std::vector<TCancelOut> out;
    size_t i = 0;
    while (i < returnRows.size()) {
        size_t j = i;
        while (j < returnRows.size() && returnRows[j].OrdCode == returnRows[i].OrdCode)
            ++j;
        const TReturnRow& head = returnRows[i];
        const size_t runBegin = i, runEnd = j;
        i = j;
        if (head.Origin <= 0) {
            ++skips.NoOriginRef;
            continue;
        }
        const std::string origin = std::to_string(head.Origin);
        size_t first = originRows.size(), last = 0;
        for (size_t k = 0; k < originRows.size(); ++k) {
            if (Trim(originRows[k].Raw.OrdCode) != origin) continue;
            if (first == originRows.size()) first = k;
            last = k;
        }
        if (first == originRows.size()) {
            ++skips.OriginMissing;
            continue;
        }
        if (originRows[first].IsRefund) {
            ++skips.OriginIsReturn;
            continue;
        }
        // Returned quantity per goods, in first-seen order.
        std::vector<std::pair<std::string, std::int64_t>> returned;
        for (size_t k = runBegin; k < runEnd; ++k) {
            const TRawLine& r = returnRows[k].Raw;
            if (r.Kind != 0 || r.Qty == 0) continue;
            auto e = std::find_if(returned.begin(), returned.end(),
                                  [&](const auto& p) { return p.first == r.Goods; });
            if (e == returned.end())
                returned.emplace_back(r.Goods, std::llabs(r.Qty));
            else
                e->second += std::llabs(r.Qty);
        }
        std::vector<TRawLine> raw;
        for (size_t k = first; k <= last; ++k)
            raw.push_back(originRows[k].Raw);
        const std::vector<TSaleLine> soldLines = Attribute(raw);
        for (const TSaleLine& s : soldLines) {
            // Returned goods are set against reported lines only: a free line was never sent, so
            // voiding it would leave the paid line of the same goods in the claim.
            if (!Reportable(s)) continue;
            auto e = std::find_if(returned.begin(), returned.end(),
                                  [&](const auto& p) { return p.first == s.Goods; });
            if (e == returned.end() || e->second <= 0) continue;
            const std::int64_t soldQty = s.Qty;
            const std::int64_t take = std::min(e->second, soldQty);
            e->second -= take;
            TCancelOut o;
            o.TxKey = MakeTxKey(s.OrdCode, s.Seq);
            o.Kind = "void";
            o.OccurredAtLocal = head.ReturnedAtLocal;
            if (take < soldQty) {
                ++skips.Partial;
                o.Reason = PartialReturnReason(head.OrdCode);
            } else {
                o.Reason = ReturnReason(head.OrdCode);
            }
            out.push_back(std::move(o));
        }
        // What is left may be free goods handed back: found on the sold receipt but never claimed,
        // so there is nothing to correct and nothing to warn about.
        for (const TSaleLine& s : soldLines) {
            if (Reportable(s) || s.Qty <= 0) continue;
            auto e = std::find_if(returned.begin(), returned.end(),
                                  [&](const auto& p) { return p.first == s.Goods; });
            if (e != returned.end() && e->second > 0) e->second -= std::min(e->second, s.Qty);
        }
        for (const auto& e : returned)
            if (e.second > 0) ++skips.Unmatched;
    }
    return out;
}

std::vector<std::int64_t> ReturnOrigins(const std::vector<TReturnRow>& returnRows) {
    std::vector<std::int64_t> out;
    for (const TReturnRow& r : returnRows)
        if (r.Origin > 0 && std::find(out.begin(), out.end(), r.Origin) == out.end()) out.push_back(r.Origin);
    return out;
}

namespace {

void SpoolCorrections(TCorrectionResult& result, TSpool& spool, TDateTime now) {
    const std::string day = CancelSpoolDay(now);
    for (const TCancelOut& o : result.Corrections) {
        if (spool.Append(day, o.TxKey, CancelJson(o)))
            ++result.Stored;
        else
            ++result.Refused;
    }
}

} // namespace

TCorrectionResult ApplyCancels(TPosReader& reader, TDateTime fromT, TDateTime toT,
                               const std::vector<std::int64_t>& codes, const TPriorMarks& prior,
                               TSpool& spool, TDateTime now) {
    TCorrectionResult result;
    const Result<std::vector<TCancelRow>> cancels = reader.CancelLines(fromT, toT);
    if (!cancels) {
        result.Note = TNotice::Error("취소를 읽지 못했습니다 — 취소분이 청구에 남습니다.");
        return result;
    }
    const std::vector<TCancelRow>& rows = cancels.Value();
    if (rows.empty()) return result;
    std::vector<std::int64_t> ords;
    for (const TCancelRow& r : rows)
        if (std::find(ords.begin(), ords.end(), r.OrdCode) == ords.end()) ords.push_back(r.OrdCode);
    const Result<std::vector<TOriginRow>> origins = reader.SalesLinesByOrd(ords);
    if (!origins) {
        result.Note = TNotice::Error("원 전표를 읽지 못했습니다 — 취소분이 청구에 남습니다.");
        return result;
    }
    result.Corrections = CancelCorrections(rows, origins.Value(), codes, prior, result.CancelSkips);
    if (const int n = result.CancelSkips.Unmatched(); n > 0)
        result.Note =
            TNotice::Warning(Fmt("⚠ 취소 %d건이 원 줄과 맞지 않습니다 — 짐작으로 취소하지 않았습니다.", n));
    SpoolCorrections(result, spool, now);
    return result;
}

TCorrectionResult ApplyReturns(TPosReader& reader, const std::vector<TReturnRow>& returnRows, TSpool& spool,
                               TDateTime now) {
    TCorrectionResult result;
    if (returnRows.empty()) return result;
    const Result<std::vector<TOriginRow>> origins = reader.SalesLinesByOrd(ReturnOrigins(returnRows));
    if (!origins) {
        result.Note = TNotice::Error("반품의 원거래를 읽지 못했습니다 — 반품분이 청구에 남습니다.");
        return result;
    }
    result.Corrections = ReturnCorrections(returnRows, origins.Value(), result.ReturnSkips);
    if (const int n = result.ReturnSkips.SkippedReturns(); n > 0)
        result.Note =
            TNotice::Error(Fmt("⚠ 반품 %d건의 원거래를 확정하지 못했습니다 — 짐작으로 빼지 않았습니다.", n));
    SpoolCorrections(result, spool, now);
    return result;
}

} // namespace pavona
