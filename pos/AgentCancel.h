// Cancel and return corrections: ties every POS cancel line and return receipt to the one sold line
// it undoes and spools a "void" or "amend" for that line's transaction key, never guessing.
#pragma once

#include "common/DateTime.h"
#include "common/Notice.h"
#include "pos/PosRows.h"
#include "store/AgentLedger.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace pavona {

class TPosReader;
class TSpool;
struct TSalesRow;

// Cancel lines that yield no correction.
struct TCancelSkips {
    int NoOrigin = 0;       // no sold line with that receipt and line number
    int GoodsDiffer = 0;    // the sold line has another goods code
    int OriginIsReturn = 0; // the sold receipt is itself a return
    int Unchanged = 0;      // a partial cancel that leaves the subsidised discount as it was
    // The sold line was never reported (zero or negative amount or quantity): the server has no
    // line to correct, so a correction would be refused for ever.
    int NotReported = 0;
    // The line is already voided, or this cancel document was already applied to it by an earlier
    // cycle: applying it again would take the same subsidy off twice.
    int AlreadyApplied = 0;

    // What the store must be told about: cancels that could not be tied to their sold line.
    int Unmatched() const { return NoOrigin + GoodsDiffer; }
};

// Return receipts and goods that yield no correction, and sold lines only partly returned.
struct TReturnSkips {
    int NoOriginRef = 0;
    int OriginMissing = 0;
    int OriginIsReturn = 0;
    int Unmatched = 0;
    int Partial = 0; // voided whole; not a skip

    int SkippedReturns() const { return NoOriginRef + OriginMissing + OriginIsReturn + Unmatched; }
};

// What earlier cycles already wrote to the correction files for one sold line: the ledger's mark,
// so that the history views and the cancel matching net the same lines the same way.
using TPriorMark = TCancelMark;
// Keyed by transaction key.
using TPriorMarks = std::map<std::string, TPriorMark>;

// The ledger's marks of the correction files ("spool-*-cancel.jsonl") of a spool folder, oldest file
// first: a void is final, among amendments the last one written wins. Damaged lines (not UTF-8 or
// hash not matching) and unreadable files are skipped; a missing folder gives no marks.
TPriorMarks LoadPriorMarks(const std::string& spoolDir);

// "yyyy-mm-dd-cancel" of the cycle's local date: corrections are filed under the day they were
// found, not the day of the sale or the cancel.
std::string CancelSpoolDay(TDateTime now);

// The reason texts of the corrections.
std::string CancelReason(std::int64_t cancelCode);
std::string PartialCancelReason(std::int64_t cancelCode);
std::string ReturnReason(const std::string& returnReceipt);
std::string PartialReturnReason(const std::string& returnReceipt);

// Return collection: every row of one return receipt [first, last) becomes a return row carrying
// the receipt's origin and time (taken from its first row).
void CollectReturn(const std::vector<TSalesRow>& rows, std::size_t first, std::size_t last,
                   std::vector<TReturnRow>& returns);

// Corrections for the cancel lines, matched against the sold receipts read back. A partial cancel
// starts from the line's latest recorded amendment (or its reported subsidy) and from what earlier
// cancels in the same call left.
std::vector<TCancelOut> CancelCorrections(const std::vector<TCancelRow>& cancelRows,
                                          const std::vector<TOriginRow>& originRows,
                                          const std::vector<std::int64_t>& codes, const TPriorMarks& prior,
                                          TCancelSkips& skips);

// Corrections for the return receipts: returned quantities per goods are given to the reported
// sold lines of that goods in order; a line only partly returned is voided whole.
std::vector<TCancelOut> ReturnCorrections(const std::vector<TReturnRow>& returnRows,
                                          const std::vector<TOriginRow>& originRows, TReturnSkips& skips);

// The distinct origin receipt numbers greater than 0, in first-seen order.
std::vector<std::int64_t> ReturnOrigins(const std::vector<TReturnRow>& returnRows);

// What one correction step did. `Note` is the report notice it leaves (empty: none); `Refused`
// counts corrections the spool did not take, which the cycle adds to its failed lines.
struct TCorrectionResult {
    TNotice Note;
    int Refused = 0;
    int Stored = 0;
    std::vector<TCancelOut> Corrections;
    TCancelSkips CancelSkips;
    TReturnSkips ReturnSkips;
};

// Reads the window's cancels [fromT, toT) and their sold receipts, spools the corrections under
// CancelSpoolDay(now). `prior` is LoadPriorMarks of the spool folder: windows overlap, so the same
// cancel document is met again in the next cycle and must find what it already did.
TCorrectionResult ApplyCancels(TPosReader& reader, TDateTime fromT, TDateTime toT,
                               const std::vector<std::int64_t>& codes, const TPriorMarks& prior,
                               TSpool& spool, TDateTime now);

// Reads the origin receipts of the window's return rows, spools the corrections under
// CancelSpoolDay(now).
TCorrectionResult ApplyReturns(TPosReader& reader, const std::vector<TReturnRow>& returnRows, TSpool& spool,
                               TDateTime now);

} // namespace pavona
