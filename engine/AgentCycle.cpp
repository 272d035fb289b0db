// The report cycle: read the POS window, spool every sale line and correction, upload the coupon
// master, flush the spool, send the corrections and end with the heartbeat.
#include "engine/AgentEngine.h"

#include "common/JsonText.h"
#include "common/Text.h"
#include "engine/AgentSchema.h"
#include "platform/Clock.h"
#include "pos/AgentCancel.h"
#include "pos/AgentPos.h"
#include "pos/AgentReport.h"
#include "store/AgentLog.h"
#include "store/AgentSpool.h"
#include "store/SpoolNewest.h"

#include <exception>

namespace pavona {

namespace {

const TNotice kSpoolFullNote =
    TNotice::Error("⚠ 보관 공간이 찼습니다 — 수집을 멈췄습니다. 협회에 연락해 주세요.");
const TNotice kNoPointNote =
    TNotice::Error("협회 서버에서 이 점포를 아직 확인하지 못했습니다 — 확인되면 수집합니다.");
const TNotice kPosConnectNote = TNotice::Error("POS 에 연결하지 못했습니다 — 실적 보고가 멈춰 있습니다.");
const TNotice kPosReadNote = TNotice::Error("POS 를 읽지 못했습니다 — 실적 보고가 멈춰 있습니다.");
const TNotice kPointWriteNote =
    TNotice::Stop("⛔ 이 PC 의 보관함에 점포를 적지 못했습니다 — 디스크 공간과 폴더 권한을 "
                  "확인해 주세요. 수집과 보고를 멈췄습니다.");

std::string ErrorText(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "알 수 없는 오류";
    }
}

} // namespace

TDateTime TAgentEngine::CheckedWatermark(TDateTime now) {
    const TDateTime stored = FSpool->Watermark();
    const TDateTime since = FSpool->Since();
    const bool lost = stored <= 0 && since > 0;
    const TDateTime newest =
        lost || (stored > 0 && ToMSecs(stored) > ToMSecs(now)) ? NewestSpooledSale(FSpool->Dir(), now) : 0;
    const TWatermarkCheck check = CheckWatermark(stored, since, FCollectFrom, now, newest);
    if (check.Fault == TWatermarkFault::None) return stored;
    std::string note;
    if (check.Fault == TWatermarkFault::Missing)
        note = "⚠ 보고 기준 시각을 읽지 못했습니다 — 파일이 없거나 잘못된 것 같습니다. 빠진 판매가 없도록 " +
               FormatStamp(check.ReadFrom) + "부터 다시 읽습니다.";
    else if (check.Fault == TWatermarkFault::AfterNow)
        note = "⚠ 보고 기준 시각(" + FormatStamp(stored) + ")이 지금(" + FormatStamp(now) +
               ")보다 뒤입니다 — PC 시계가 뒤로 돌아간 것 같습니다. 빠진 판매가 없도록 " +
               FormatStamp(check.ReadFrom) + "부터 다시 읽습니다.";
    else
        note = "⚠ 보고 기준 시각(" + FormatStamp(stored) +
               ")이 보고 시작보다 앞섭니다 — 파일이 잘못된 것 "
               "같습니다. " +
               FormatStamp(check.ReadFrom) + "부터 다시 읽습니다.";
    SetNote(TNotice::Error(note));
    // The window starts its overlap before the watermark; reading must start at ReadFrom itself.
    return IncMinute(check.ReadFrom, TCollectParams{}.OverlapMinutes);
}

void TAgentEngine::CollectIfIdle() {
    RunCycle();
    Publish();
}

void TAgentEngine::RunCycle() {
    if (!FFlushing && !FStopRequested) CollectAndSend();
}

void TAgentEngine::CollectAndSend() {
    try {
        CollectAndSendSteps();
    } catch (...) {
        // An unexpected error must not end the resident agent: nothing of this cycle is kept,
        // the watermark stays, so the next tick reads the same window again.
        const std::string what = ErrorText(std::current_exception());
        if (FSpool->Batching()) FSpool->DiscardBatch();
        FFlushing = false;
        FCurFp.clear();
        SetNote(TNotice::Error("⚠ 수집을 마치지 못했습니다 — " + what + " · 다음 주기에 다시 읽습니다."),
                TNoticeWeight::NotStored);
    }
}

void TAgentEngine::CollectAndSendSteps() {
    FReportNote = {};
    FNoteWeight = TNoticeWeight::Other;
    FCycleFailed = false;
    FLoggedNote = {};
    FPosError.clear();
    FCurFp.clear();
    if (Trim(FSettings.Store).empty() || Trim(FSettings.Key).empty() || Trim(FSettings.PosConnStr).empty())
        return;

    if (FSpool->Full()) {
        SetNote(kSpoolFullNote, TNoticeWeight::NotStored);
        FlushSales();
        return;
    }
    if (FPointId.empty()) {
        FCycleFailed = true;
        SetNote(kNoPointNote);
        return;
    }
    const Result<TPointCheck> point = FSpool->CheckPoint(FPointId);
    if (!point) {
        FCycleFailed = true;
        LogError("수집", StripMarks(kPointWriteNote.Text) + " " + point.Error());
        SetNote(kPointWriteNote, TNoticeWeight::Other, false);
        return;
    }
    if (!point.Value().Same) {
        FCycleFailed = true;
        SetNote(TNotice::Stop(
            Fmt("⛔ 이 PC 에 적힌 점포(%s)와 협회가 말하는 점포(%s)가 다릅니다 — 수집과 보고를 멈췄습니다. "
                "협회에 연락해 주세요.",
                Utf8Left(point.Value().Have, 8).c_str(), FPointLabel.c_str())));
        return;
    }

    const TDateTime now = Now();
    const TDateTime watermark = CheckedWatermark(now);
    TCollectParams params;
    params.CollectFrom = FCollectFrom;
    const Result<TCollectWindow> next = CollectWindow(params, now, watermark);
    if (!next) {
        FlushSales();
        return;
    }
    const TCollectWindow window = next.Value();

    std::vector<TRegisterSeen> registers;
    std::vector<TDayCount> dayCounts;
    {
        TPosReader reader;
        reader.SetTimeouts(FPosLoginSec, FPosCommandSec);
        if (const Result<> connected = reader.Connect(FSettings.PosConnStr); !connected) {
            FPosError = connected.Error();
            LogError("POS", StripMarks(kPosConnectNote.Text) + " " + FPosError);
            SetNote(kPosConnectNote, TNoticeWeight::NotStored, false);
            FPosState = TPosState::Failed;
            FlushSales();
            return;
        }
        if (const Result<std::vector<TColumnInfo>> fingerprint = reader.Fingerprint()) {
            const std::vector<TColumnInfo>& columns = fingerprint.Value();
            std::vector<std::string> texts;
            texts.reserve(columns.size());
            for (const TColumnInfo& c : columns)
                texts.push_back(c.TableName + "\t" + c.ColumnName + "\t" + c.DataType + "\t" + c.Nullable);
            FCurFp = SchemaFingerprint(texts);
        }
        registers = reader.LastSeenByRegister(IncMinute(now, -168 * 60)).ValueOr({});

        const Result<std::vector<TSalesRow>> sales = reader.SalesLines(window.FromT, window.ToT);
        if (!sales) {
            FPosError = sales.Error();
            LogError("POS", StripMarks(kPosReadNote.Text) + " " + FPosError);
            SetNote(kPosReadNote, TNoticeWeight::NotStored, false);
            FPosState = TPosState::Failed;
            FlushSales();
            return;
        }
        const std::vector<TSalesRow>& rows = sales.Value();
        FPosState = TPosState::Read;
        FLastCollectAt = now;
        SaveState();

        const TGoodsNames names = GoodsNamesOf(rows);
        int failed = 0;
        const std::string day = SpoolDayOf(window, watermark);
        std::vector<TReturnRow> returns;
        FSpool->BeginBatch(rows.size() * TSpool::kUsualLineBytes);
        try {
            std::size_t first = 0;
            while (first < rows.size()) {
                std::size_t last = first + 1;
                while (last < rows.size() && rows[last].Raw.OrdCode == rows[first].Raw.OrdCode)
                    ++last;
                const TReceiptResult r =
                    ReportReceipt(rows, first, last, names, FSubsidyCodes, day, *FSpool, returns);
                failed += r.Refused;
                first = last;
            }
            const TPriorMarks prior = LoadPriorMarks(FSpool->Dir());
            const TCorrectionResult cancels =
                ApplyCancels(reader, window.FromT, window.ToT, FSubsidyCodes, prior, *FSpool, now);
            if (!cancels.Note.Empty()) SetNote(cancels.Note);
            failed += cancels.Refused;
            const TCorrectionResult back = ApplyReturns(reader, returns, *FSpool, now);
            if (!back.Note.Empty()) SetNote(back.Note);
            failed += back.Refused;
        } catch (...) {
            FSpool->DiscardBatch();
            throw;
        }
        if (FStopRequested) {
            // Ending: nothing of this window is written, the watermark stays, the next start
            // reads the same window again.
            FSpool->DiscardBatch();
            return;
        }
        failed += FSpool->EndBatch();

        if (failed != 0) {
            SetNote(TNotice::Warning(Fmt("⚠ %d줄을 보관하지 못했습니다 — 다시 시도합니다.", failed)),
                    TNoticeWeight::NotStored);
        } else {
            // A stamp that cannot be written loses nothing (the window is read again and the
            // server drops the repeats), but the store must hear that its disk is failing.
            if (!FSpool->SetSinceOnce(window.FromT) || !FSpool->SetWatermark(window.ToT))
                SetNote(TNotice::Error("⚠ 보고 기준 시각을 저장하지 못했습니다 — 디스크 공간과 폴더 권한을 "
                                       "확인해 주세요. 같은 구간을 다시 읽습니다."));
            TDateTime since = FSpool->Since();
            if (since <= 0) since = window.FromT;
            dayCounts = reader.DailyReportable(LastFullDays(3, since, window.ToT)).ValueOr({});
        }

        const std::vector<TCouponRow> coupons = reader.CouponMaster(window.FromT, window.ToT).ValueOr({});
        if (!coupons.empty()) {
            std::vector<std::string> items;
            items.reserve(coupons.size());
            for (const TCouponRow& c : coupons)
                items.push_back(CouponJson(TReportCoupon{c}));
            TReportResult r = MakeClient()->SendCoupons(FSettings.Store, UtcStamp(Now()), JsonArray(items));
            CheckAnswerAccounts(TReportKind::Coupons, items.size(), {}, r);
            if (!r.Ok) {
                if (!r.Detail.empty())
                    LogError("전송", "쿠폰 목록을 올리지 못했습니다 — " + r.Error + " [" + r.Detail + "]");
                FCycleFailed = true;
                SetNote(TNotice::Error("쿠폰 목록을 올리지 못했습니다 — " + r.Error));
            }
        }
    }

    FlushSales();
    SendPendingCorrections();
    SendStatusHeartbeat(registers, dayCounts);
    if (!FHoldNote.empty()) {
        // Held: nothing of the store's lines goes out until the association approves the POS.
        FCycleFailed = true;
        FReportNote = TNotice::Stop(FHoldNote);
    }
    FCurFp.clear();
}

} // namespace pavona
