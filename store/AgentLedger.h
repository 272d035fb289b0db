// The ledger: reads the spool files back (never writes them) for the history views — one day's
// sale lines with their sent state and corrections, per-goods totals over days, day file summaries —
// and is the one reader of the correction files, for the views and for the cancel matching alike.
#pragma once

#include "common/DateTime.h"
#include "store/SpoolFiles.h"

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace pavona {

// One spooled report line read back.
struct TLedgerLine {
    std::string Key;
    std::string FileDay;  // day of the file the line was found in
    TDateTime SoldAt = 0; // local time
    std::string Receipt;
    std::string PosNo;
    std::string Code;
    std::string Name;
    std::string Barcode;
    std::string Member;
    double Qty = 0;
    std::int64_t UnitPrice = 0;
    std::int64_t Amount = 0;
    std::int64_t Discount = 0; // replaced by an amendment's corrected discount
    std::int64_t OwnDiscount = 0;
    bool Sent = false;
    bool Voided = false;
};

// Totals of one goods.
struct TGoodsTotal {
    std::string Code;
    std::string Name; // from the first line counted
    int Lines = 0;
    double Qty = 0;
    std::int64_t Amount = 0;
    std::int64_t Discount = 0;
};

// One day file.
struct TFileSummary {
    std::string FileDay;
    int Lines = 0; // lines that contain a tab
    int Sent = 0;  // of those, lines the day's sent file lists
    std::int64_t Bytes = 0;
};

// The net effect of all corrections of one tx key. A void is final: once a key is voided, later
// amendments do not revive it and the amended discount is gone with the line; among amendments the
// last one read (files by name, lines in file order) with a whole-won amount gives the corrected
// discount.
struct TCancelMark {
    bool Void = false;
    bool HasAmend = false;      // an amendment stands (never after a void)
    std::int64_t Corrected = 0; // the amended discount when HasAmend, else 0
    // The reason of every correction read for the key, voided or not: each names the POS document
    // applied, which is how a document met again in an overlapping window is recognised.
    std::set<std::string> Reasons;
};

// Spool line (key, tab, hash, tab, payload) → line; false when it has no two tabs, the payload is
// not an object or its "sold_at" is missing or invalid. The hash is not checked here.
bool ParseLedgerLine(std::string_view line, TLedgerLine& out);
// One member of a flat JSON object without a full parser: string values decoded, other values as
// written ("null" gives an empty text); a missing member gives an empty text.
std::string JsonFieldText(std::string_view payload, std::string_view name);
// "yyyy-mm-ddThh:nn:ss" (separators not checked; kSoldAtForm) → local time; a "Z" after the
// seconds means UTC and adds kAssociationUtcOffsetMinutes (Korean time). 0 when the text is not a
// valid date-time.
TDateTime ParseSoldAt(std::string_view text);
// Whole won: an integer as is, a decimal rounded to the nearest (ties to even), otherwise 0.
std::int64_t ParseMoney(std::string_view text);

class TLedger {
  public:
    // `files` defaults to the operating system's files.
    explicit TLedger(const std::string& dir, std::shared_ptr<TSpoolFiles> files = nullptr);
    TLedger(const TLedger&) = delete;
    TLedger& operator=(const TLedger&) = delete;

    // The lines sold on the calendar day of `day` (files of the 7 days before it up to it), each
    // key once, ordered by sale time then key. Voided lines are included with `Voided` set.
    std::vector<TLedgerLine> LinesOn(TDateTime day);
    // Per goods code: the non-voided lines sold from `fromDay` to `toDay` (calendar days), each
    // key counted once.
    std::map<std::string, TGoodsTotal> Totals(TDateTime fromDay, TDateTime toDay);
    // One summary per day file, newest day first.
    std::vector<TFileSummary> Files();

    // The current mark of a tx key (correction files re-read when they changed); false when the
    // key has no correction. Correction lines count like the spool counts them: valid UTF-8 with a
    // matching hash, a last line without its line break too (the spool sends it as it stands).
    bool MarkOf(const std::string& txKey, TCancelMark& mark);
    // Every current mark by tx key (correction files re-read when they changed). The reference
    // stays valid until the next call on this ledger.
    const std::map<std::string, TCancelMark>& Marks();

    // How often a day file was parsed into totals, and how often the correction files were read:
    // both only move when files changed, which is what keeps repeated views cheap.
    int Aggregations() const { return FAggregations; }
    int MarkLoads() const { return FMarkLoads; }

  private:
    // One counted line's share, kept so that a key spooled into two day files (collection windows
    // overlap around midnight) can be counted once.
    struct TShare {
        std::string AggKey; // sale day + "|" + goods code
        double Qty = 0;
        std::int64_t Amount = 0;
        std::int64_t Discount = 0;
    };
    struct TFileAgg {
        std::int64_t Bytes = 0;
        std::map<std::string, TGoodsTotal> Agg; // sale day "yyyy-mm-dd" + "|" + goods code
        std::map<std::string, TShare> Shares;   // tx key → its counted share (non-voided lines)
        // Agg without the keys that another cached day file holds too; those are added one by one,
        // from the earliest file a call reads. A copy is never added only to be taken out again:
        // a sum that saturated cannot be taken back.
        std::map<std::string, TGoodsTotal> Own;
        bool HasShared = false; // Own stands in for Agg
    };

    void LoadMarks();
    void ApplyMark(TLedgerLine& line) const;
    std::vector<std::string> DayFiles(); // names of the day files, ascending
    bool ReadLines(const std::string& path, std::vector<std::string>& lines);
    std::vector<std::string> LoadSentKeys(const std::string& day);
    bool BuildAgg(const std::string& path, std::int64_t bytes, TFileAgg& agg);
    void RebuildDuplicates();

    std::shared_ptr<TSpoolFiles> FFiles;
    std::string FDir;
    std::map<std::string, TFileAgg> FCache;
    std::map<std::string, TCancelMark> FMarks;
    std::string FMarksSig;
    bool FMarksRead = false;
    // Keys found in more than one cached day file → those files' paths in name order.
    std::map<std::string, std::vector<std::string>> FDuplicates;
    bool FDuplicatesDirty = true;
    int FAggregations = 0;
    int FMarkLoads = 0;
};

} // namespace pavona
