// The spool: every sales line and correction is written to local day files before it is sent, and
// stays pending until its key is in the day's sent file. Also keeps the small state files
// (watermark, since, point, hold) of the report cycle.
#pragma once

#include "common/DateTime.h"
#include "common/Result.h"
#include "store/SpoolFiles.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace pavona {

struct TSpoolEntry {
    std::string Key;
    std::string Payload;
    bool Sent = false;
};

// 32-bit FNV-1a over the payload's bytes.
std::uint32_t PayloadHash(std::string_view payload);
// Whether a line's key agrees with the transaction key its payload names (a line that disagrees
// was damaged on disk and is never sent nor shown; the round trip's sample lines are exempt).
bool SpoolKeyAgrees(std::string_view key, std::string_view payload);
// "yyyy-mm-dd hh:nn:ss" (separators not checked; kSpoolStampForm) → local date-time, 0 when not
// a valid stamp.
TDateTime ParseStamp(std::string_view text);
// The keys not listed in `remove`, in their order (exact comparison).
std::vector<std::string> KeysWithout(const std::vector<std::string>& keys,
                                     const std::vector<std::string>& remove);
// True for the day names of correction files ("yyyy-mm-dd-cancel").
bool IsCorrectionDay(std::string_view day);

// What CheckPoint found.
struct TPointCheck {
    bool Same = false;   // this PC's spool belongs to the point (false for an empty point too)
    bool Pinned = false; // the point was written now, on first use
    std::string Have;    // the point the spool was pinned to before, empty when none
};

class TSpool {
  public:
    // About what one sales line takes in a day file (key, hash, report JSON, line break).
    static constexpr std::size_t kUsualLineBytes = 384;

    // `maxBytes` ≤ 0 means no size limit. `files` defaults to the operating system's files.
    TSpool(const std::string& dir, std::int64_t maxBytes, std::shared_ptr<TSpoolFiles> files = nullptr);
    ~TSpool();
    TSpool(const TSpool&) = delete;
    TSpool& operator=(const TSpool&) = delete;

    // True when the line is durably written, or buffered in an open batch. Key and payload are
    // taken by value: a batch keeps them for the day's cache, so a caller's temporaries are moved,
    // not copied.
    bool Append(const std::string& day, std::string key, std::string payload);
    // `expectedBytes` is a hint of how much the batch will hold (a window's rows times a line's
    // usual size): one allocation instead of a big buffer copied as it doubles.
    void BeginBatch(std::size_t expectedBytes = 0);
    // Writes every buffered file durably; returns the number of lines that could not be written.
    int EndBatch();
    void DiscardBatch();
    bool Batching() const { return FBatching; }

    // Sales days with pending entries, oldest first.
    std::vector<std::string> PendingDays();
    // False when a file of the day exists but cannot be read.
    bool Pending(const std::string& day, std::vector<TSpoolEntry>& entries);
    // The first `limit` pending entries whose keys `skip` (when given) does not exclude;
    // `candidates` receives how many it does not exclude in all.
    bool PendingUpTo(const std::string& day, std::size_t limit,
                     const std::function<bool(const std::string& key)>& skip,
                     std::vector<TSpoolEntry>& entries, std::size_t* candidates = nullptr);
    bool MarkSent(const std::string& day, const std::vector<std::string>& keys);
    // Marks exactly these entries as sent: on correction days by key and payload hash, so an entry
    // that was not in the request is never marked in its place.
    bool MarkSentEntries(const std::string& day, const std::vector<TSpoolEntry>& entries);
    // Damaged lines met by the last Pending call.
    int BadLines() const { return FBadLines; }

    // Full() measures the folder at most every few seconds and estimates in between.
    bool Full() const;
    std::int64_t Bytes() const;

    TDateTime Watermark() const;
    bool SetWatermark(TDateTime t);
    TDateTime Since() const;
    bool SetSinceOnce(TDateTime t);
    // Whether this spool belongs to the point `got`, pinning it on first use. Fails when the pinned
    // point cannot be read or written: that is a disk problem, not another store.
    Result<TPointCheck> CheckPoint(const std::string& got);
    std::string Held() const;
    bool SetHeld(const std::string& fingerprint);

    const std::string& Dir() const { return FDir; }
    std::string SpoolPath(const std::string& day) const;
    std::string SentPath(const std::string& day) const;

  private:
    struct TCachedEntry {
        std::string Key;
        std::string Payload;
        std::uint32_t Hash = 0;
    };
    // What one day file had pending when its spool and sent files were read up to the given sizes
    // (whole lines only; a last line still being written is read again next time).
    struct TDayCache {
        std::int64_t SpoolDone = 0;
        std::int64_t SentDone = 0;
        bool Compact = false; // nothing pending: the key sets were dropped to save memory
        int Bad = 0;
        std::vector<TCachedEntry> Entries;
        std::unordered_set<std::string> SentKeys;   // lower-cased keys that hide every entry
        std::unordered_set<std::string> SentHashed; // lower-cased key, tab, hash: hide one correction
        std::unordered_set<std::string> Seen;       // corrections already met (same key and hash)
    };
    struct TBatchFile {
        std::string Text;
        int Count = 0;
        bool Known = true; // Entries are the lines of Text as a read would find them
        std::vector<TCachedEntry> Entries;
    };

    std::int64_t FolderBytes() const;
    std::string ReadFirstLine(const std::string& name) const;
    bool WriteOneLine(const std::string& name, const std::string& text);
    bool RefreshDay(const std::string& day, TDayCache& cache, std::vector<TCachedEntry>& tailEntries,
                    int& tailBad);
    bool PendingCached(const std::string& day, std::vector<TCachedEntry>& entries);
    // The day's cache brought up to the files (nullptr when they cannot be read), and the entries
    // of a last line still without its break.
    TDayCache* RefreshedDay(const std::string& day, std::vector<TCachedEntry>& tailEntries);
    static void AddEntry(TDayCache& cache, TCachedEntry e);
    void KeepWritten(const std::string& day, std::int64_t before, TBatchFile& batch);

    std::shared_ptr<TSpoolFiles> FFiles;
    std::string FDir;
    std::int64_t FMaxBytes = 0;
    // The folder size as last measured plus what was appended since, and when it was measured:
    // a cache that Full() renews, so asking whether the spool is full stays a const question.
    mutable std::int64_t FBytesNow = 0;
    mutable TDateTime FBytesAt = 0;
    int FBadLines = 0;
    bool FBatching = false;
    std::size_t FBatchHint = 0;
    std::map<std::string, TBatchFile> FBatch;
    TBatchFile* FLastBatch = nullptr; // the batch of FLastBatchDay, while batching
    std::string FLastBatchDay;
    std::map<std::string, TDayCache> FDays;
    TDayCache FNoDay; // the empty day of a file that does not exist
};

} // namespace pavona
