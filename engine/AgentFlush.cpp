// Sending what the spool holds: sales lines in batches of at most 200, oldest day first, and the
// pending corrections, with a send-log record for every request.
#include "engine/AgentEngine.h"

#include "common/JsonText.h"
#include "common/Text.h"
#include "platform/Clock.h"
#include "platform/Platform.h"
#include "pos/AgentCancel.h"
#include "pos/AgentReport.h"
#include "store/AgentSendLog.h"
#include "store/AgentSpool.h"

#include <algorithm>
#include <set>

namespace pavona {

namespace {

std::vector<std::string> PayloadsOf(const std::vector<TSpoolEntry>& entries) {
    std::vector<std::string> out;
    out.reserve(entries.size());
    for (const TSpoolEntry& e : entries)
        out.push_back(e.Payload);
    return out;
}

std::vector<std::string> KeysOf(const std::vector<TSpoolEntry>& entries) {
    std::vector<std::string> out;
    out.reserve(entries.size());
    for (const TSpoolEntry& e : entries)
        out.push_back(e.Key);
    return out;
}

// The send-log record of one request; a failed one carries the operator's text as its note.
TSendRecord SendRecordOf(const char* kind, const std::string& day, int lines, const TReportResult& r) {
    TSendRecord rec;
    rec.At = Now();
    rec.Kind = kind;
    rec.FileDay = day;
    rec.Lines = lines;
    rec.Ok = r.Ok;
    rec.Accepted = r.Accepted;
    rec.Duplicated = r.Duplicated; // always 0 for corrections
    rec.Rejected = r.Rejected;
    rec.LogDetail = r.Detail;
    if (!r.Ok) rec.Note = r.Error;
    return rec;
}

// Correction days of the spool folder up to `today`, oldest first.
std::vector<std::string> CorrectionDays(const std::string& dir, const std::string& todayKey) {
    std::vector<std::string> names, days;
    if (!platform::ListFiles(dir, names)) return days;
    for (const std::string& name : names) {
        // "spool-" + yyyy-mm-dd-cancel + ".jsonl"
        if (name.size() != 29 || !StartsWith(name, "spool-") || !EndsWith(name, ".jsonl")) continue;
        const std::string day = name.substr(6, 17);
        TDateTime d = 0;
        if (!IsCorrectionDay(day) || !ParseDay(day.substr(0, 10), d)) continue;
        if (day <= todayKey) days.push_back(day);
    }
    std::sort(days.begin(), days.end());
    return days;
}

} // namespace

void TAgentEngine::FlushSpool() {
    FlushSales();
    Publish();
}

void TAgentEngine::FlushSales() {
    if (FFlushing) return;
    FFlushing = true;
    FFlushSum = 0;
    FRejectedInFlush.clear();
    FBadLinesLogged.clear();
    struct TReset {
        bool& Flag;
        ~TReset() { Flag = false; }
    } reset{FFlushing};
    FFlushFailed = FFlushRejected = false;
    for (int i = 0; i < kFlushBatches && !FStopRequested; ++i) {
        if (!SendSalesBatch()) break;
        // The view follows a long flush batch by batch.
        FView.RefreshStatus(Publish());
    }
    FFlushing = false;
    AfterFlush();
}

void TAgentEngine::AfterFlush() {
    // The sum of a long flush, unless a batch failed or the last one had refusals: their notices
    // must stay.
    if (FFlushSum > kBatchLines && !FFlushFailed && !FFlushRejected)
        SetNote(TNotice::Info(Fmt("실적 %s줄을 협회로 보냈습니다.", WonDigits(FFlushSum).c_str())));
}

bool TAgentEngine::SendSalesBatch() {
    if (!SchemaGuardOk()) return false;
    const std::vector<std::string> days = FSpool->PendingDays();
    if (days.empty()) return false;

    // The oldest day with a line not yet refused in this flush: a line the server always rejects
    // stays pending but never holds back the lines and days behind it.
    std::string day;
    std::vector<TSpoolEntry> offer;
    std::size_t dayIndex = 0, candidates = 0;
    for (; dayIndex < days.size(); ++dayIndex) {
        const auto refused = [this](const std::string& key) { return FRejectedInFlush.count(key) > 0; };
        if (!FSpool->PendingUpTo(days[dayIndex], static_cast<std::size_t>(kBatchLines), refused, offer,
                                 &candidates))
            return false;
        if (FSpool->BadLines() > 0) {
            const std::string note =
                Fmt("⚠ 보관 파일에서 %d줄을 읽지 못했습니다 — 협회에 알려 주세요.", FSpool->BadLines());
            // Written to the log once a flush for each day, not once for every batch.
            SetNote(TNotice::Warning(note), TNoticeWeight::Other,
                    FBadLinesLogged.insert(days[dayIndex]).second);
        }
        if (!offer.empty()) {
            day = days[dayIndex];
            break;
        }
    }
    if (offer.empty()) return false;
    const int n = static_cast<int>(offer.size());

    const std::vector<std::string> offeredKeys = KeysOf(offer);
    TReportResult r = MakeClient()->SendSales(FSettings.Store, UtcStamp(Now()), JsonArray(PayloadsOf(offer)));
    CheckAnswerAccounts(TReportKind::Sales, offer.size(), offeredKeys, r);

    TSendRecord rec = SendRecordOf("실적", day, n, r);
    if (r.Ok && r.Rejected > 0) rec.Note = "거절 사유: " + r.FirstReason;
    AppendSendRecord(rec);

    if (!r.Ok) {
        FFlushFailed = true;
        SetNote(TNotice::Error("실적을 보내지 못했습니다 — " + r.Error), TNoticeWeight::NotSent);
        return false;
    }
    // Unmarked lines are still pending: the next batch would offer the same lines again, and again
    // for the rest of the flush. They go out once more next cycle; the server drops the repeats.
    const bool marked = FSpool->MarkSent(day, KeysWithout(offeredKeys, r.RejectedKeys));
    for (const std::string& k : r.RejectedKeys)
        FRejectedInFlush.insert(k);
    const TDateTime today = Today();
    if (ToMSecs(FSentDay) != ToMSecs(today)) {
        FSentDay = today;
        FSentToday = 0;
    }
    FSentToday += r.Accepted;
    FLastSendAt = Now();
    SaveState();
    FFlushRejected = r.Rejected > 0;
    if (r.Rejected == 0)
        SetNote(TNotice::Info(Fmt("실적 %d줄을 협회로 보냈습니다 (중복 %d).", r.Accepted, r.Duplicated)));
    else {
        SetNote(TNotice::Info(Fmt("실적 %d줄 전송 (중복 %d · 거절 %d — %s)", r.Accepted, r.Duplicated,
                                  r.Rejected, r.FirstReason.c_str())));
    }
    FFlushSum += r.Accepted;
    if (!marked) {
        FFlushFailed = true;
        SetNote(TNotice::Error(Fmt("⚠ 협회가 받은 %d줄을 보낸 줄로 기록하지 못했습니다 — 디스크 공간과 폴더 권한을 "
                                   "확인해 주세요. 다음 주기에 다시 보냅니다.",
                                   n)),
                TNoticeWeight::NotSent);
        return false;
    }
    // Another batch when the server answered for some lines and lines remain to be offered.
    const bool answered = r.Accepted + r.Duplicated + r.Rejected > 0;
    const bool more = candidates > static_cast<std::size_t>(n) || dayIndex + 1 < days.size();
    return answered && more;
}

void TAgentEngine::SendCancels() {
    SendPendingCorrections();
    Publish();
}

void TAgentEngine::SendPendingCorrections() {
    if (!SchemaGuardOk()) return;
    // Corrections of earlier days still pending go out too, oldest first: a correction found just
    // before midnight must not be stranded in yesterday's file.
    const std::vector<std::string> days = CorrectionDays(FSpool->Dir(), CancelSpoolDay(Now()));
    int requests = 0;
    for (const std::string& day : days) {
        std::vector<TSpoolEntry> entries;
        if (!FSpool->Pending(day, entries) || entries.empty()) continue;
        // A retryable answer marks nothing, so the whole day is offered in slices: corrections
        // behind a slice the server cannot apply yet still reach it.
        for (std::size_t from = 0; from < entries.size(); from += kBatchLines) {
            if (requests++ >= kFlushBatches || FStopRequested) return;
            const std::size_t to = std::min(entries.size(), from + kBatchLines);
            const std::vector<TSpoolEntry> slice(entries.begin() + from, entries.begin() + to);
            if (!SendCancelsOfSlice(day, slice)) return;
        }
    }
}

bool TAgentEngine::SendCancelsOfSlice(const std::string& day, const std::vector<TSpoolEntry>& slice) {
    const int n = static_cast<int>(slice.size());
    TReportResult r =
        MakeClient()->SendCancels(FSettings.Store, UtcStamp(Now()), JsonArray(PayloadsOf(slice)));
    CheckAnswerAccounts(TReportKind::Cancels, slice.size(), KeysOf(slice), r);
    TSendRecord rec = SendRecordOf("취소", day, n, r);
    if (r.Ok && r.Retryable)
        rec.Note = "일부 대기 — 원 판매가 들어오면 다시 보낸다";
    else if (r.Ok && r.Rejected > 0)
        rec.Note = "건너뜀: " + r.FirstReason;
    AppendSendRecord(rec);

    if (!r.Ok) {
        SetNote(TNotice::Error("취소를 보내지 못했습니다 — " + r.Error), TNoticeWeight::NotSent);
        return false;
    }
    if (r.Retryable) {
        SetNote(TNotice::Info("취소 일부가 아직 반영되지 않았습니다 — 실적이 들어오면 다시 보냅니다."));
        // Only the corrections waiting for their sale go out again; the applied ones would
        // otherwise be re-sent for ever. An answer that does not name its skipped keys cannot
        // tell them apart, so then nothing is marked and all are offered again.
        if (r.SkippedKeysNamed) {
            const std::set<std::string> waiting(r.UnknownKeys.begin(), r.UnknownKeys.end());
            std::vector<TSpoolEntry> applied;
            for (const TSpoolEntry& e : slice)
                if (!waiting.count(e.Key)) applied.push_back(e);
            FSpool->MarkSentEntries(day, applied);
        }
        return true;
    }
    FSpool->MarkSentEntries(day, slice);
    if (r.Rejected > 0)
        SetNote(TNotice::Info(
            Fmt("취소 %d건 반영 (건너뜀 %d — %s)", r.Accepted, r.Rejected, r.FirstReason.c_str())));
    return true;
}

} // namespace pavona
