// The spool store: durable appends (batched per collection window), pending/sent bookkeeping with a
// per-day cache keyed on file sizes, the folder size limit and the atomically replaced state files.
#include "store/AgentSpool.h"

#include "common/Text.h"
#include "platform/Clock.h"
#include "platform/Platform.h"

#include <algorithm>
#include <limits>
#include <charconv>

namespace pavona {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::int64_t kMeasureEveryMs = 5000;

enum class TLineKind { Blank, Bad, Entry };

// Whether a sent file can name the key: it holds keys trimmed, and its readers skip a byte-order
// mark at its start, so a key that is empty, has blanks or control bytes at its edges, or begins
// with such a mark would read back as another key when it is marked, and go out on every cycle.
bool Nameable(std::string_view key) {
    return !key.empty() && TrimView(key).size() == key.size() && !StartsWith(key, kBom);
}

// The round trip's sample lines are spooled under their day and number ("2026-10-05:3") while
// their payloads name the samples' own transaction keys.
bool IsSampleKey(std::string_view key) {
    TDateTime day = 0;
    if (key.size() < 12 || key[10] != ':' || !ParseDay(key.substr(0, 10), day)) return false;
    return std::all_of(key.begin() + 11, key.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// One spool line (without its line break): key, tab, hash, tab, payload.
TLineKind ParseSpoolLine(std::string_view line, std::string& key, std::string& payload, std::uint32_t& hash) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (Trim(line).empty()) return TLineKind::Blank;
    // A line that is not UTF-8 was damaged on disk; it is counted, never sent.
    if (!Utf8Valid(line)) return TLineKind::Bad;
    const size_t tab1 = line.find('\t');
    if (tab1 == std::string_view::npos) return TLineKind::Bad;
    const size_t tab2 = line.find('\t', tab1 + 1);
    if (tab2 == std::string_view::npos) return TLineKind::Bad;
    // The spool never writes a key that a sent file cannot name (Append refuses it): the line is
    // damage, and sent as it stands it could never be marked.
    const std::string_view keyView = line.substr(0, tab1);
    if (!Nameable(keyView)) return TLineKind::Bad;
    const std::string_view payloadView = line.substr(tab2 + 1);
    hash = PayloadHash(payloadView);
    if (line.substr(tab1 + 1, tab2 - tab1 - 1) != std::to_string(hash)) return TLineKind::Bad;
    if (!SpoolKeyAgrees(keyView, payloadView)) return TLineKind::Bad;
    key.assign(keyView);
    payload.assign(payloadView);
    return TLineKind::Entry;
}

// A sent-file line, trimmed; empty when it names nothing. Undecodable lines name nothing.
std::string SentLineText(std::string_view line) {
    if (!Utf8Valid(line)) return {};
    return Trim(line);
}

void LowerInto(std::string& out, std::string_view key) {
    out.assign(key);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
}

// The identity of a spooled line: its key (case-insensitive) and its payload hash. Written into a
// buffer that is used again, since every cached line is looked up this way.
void CorrectionIdInto(std::string& out, std::string_view key, std::uint32_t hash) {
    LowerInto(out, key);
    char digits[16];
    const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, hash);
    out.push_back('\t');
    out.append(digits, end);
}

std::string CorrectionId(std::string_view key, std::uint32_t hash) {
    std::string id;
    CorrectionIdInto(id, key, hash);
    return id;
}

// Whether a sent mark hides the line: its key alone, or its key and hash (corrections).
bool HiddenBy(const std::unordered_set<std::string>& keys, const std::unordered_set<std::string>& hashed,
              std::string_view key, std::uint32_t hash, std::string& buffer) {
    LowerInto(buffer, key);
    if (keys.count(buffer) > 0) return true;
    if (hashed.empty()) return false;
    CorrectionIdInto(buffer, key, hash);
    return hashed.count(buffer) > 0;
}

// Splits `data` into the whole lines (ending in LF) and the piece after the last LF.
void SplitWhole(std::string_view data, std::vector<std::string_view>& lines, std::string_view& tail) {
    lines.clear();
    size_t start = 0;
    for (;;) {
        const size_t lf = data.find('\n', start);
        if (lf == std::string_view::npos) break;
        lines.push_back(data.substr(start, lf - start));
        start = lf + 1;
    }
    tail = data.substr(start);
}

// A sent line names either a plain key, which hides every entry with that key, or a key and a
// payload hash (corrections), which hides only that correction.
void AddSentLine(const std::string& text, std::unordered_set<std::string>& keys,
                 std::unordered_set<std::string>& hashed) {
    const size_t tab = text.find('\t');
    if (tab == std::string::npos)
        keys.insert(LowerAscii(text));
    else
        hashed.insert(LowerAscii(Trim(text.substr(0, tab))) + "\t" + Trim(text.substr(tab + 1)));
}

bool HasLineBreak(std::string_view s) {
    // Two single-byte searches: a search for a set of bytes goes byte by byte.
    return s.find('\n') != std::string_view::npos || s.find('\r') != std::string_view::npos;
}

// The point as point.txt can hold it and read it back: the file keeps one line without a leading
// byte-order mark, so a point with a line break or such a mark would be pinned as one text and read
// back as another, and the store's reporting would stop as if the point had changed.
std::string PointText(std::string_view got) {
    std::string text = Trim(got);
    while (StartsWith(text, kBom))
        text = Trim(std::string_view(text).substr(kBom.size()));
    for (char& c : text)
        if (c == '\r' || c == '\n') c = ' ';
    return text;
}

} // namespace

std::uint32_t PayloadHash(std::string_view payload) {
    std::uint32_t h = 2166136261u;
    for (const char c : payload) {
        h ^= static_cast<unsigned char>(c);
        h *= 16777619u;
    }
    return h;
}

// A line names its sale twice: in its key and in its payload's "tx_key". A byte of the key
// damaged on disk can turn it into the key of another line of the day: one already sent, whose
// mark then hides this line for ever, or one still pending, which this payload then stands in
// for and marks sent. So the two must agree where the payload names its key in plain text.
bool SpoolKeyAgrees(std::string_view key, std::string_view payload) {
    constexpr std::string_view kLead = "{\"tx_key\":\"";
    if (!StartsWith(payload, kLead)) return true;
    const size_t end = payload.find('"', kLead.size());
    if (end == std::string_view::npos) return true;
    const std::string_view named = payload.substr(kLead.size(), end - kLead.size());
    // An escaped key is not compared: its plain form would have to be decoded first.
    if (named.find('\\') != std::string_view::npos) return true;
    return named == key || IsSampleKey(key);
}

TDateTime ParseStamp(std::string_view text) {
    TDateTime t = 0;
    return ParseStampAs(text, kSpoolStampForm, t) ? t : 0;
}

std::vector<std::string> KeysWithout(const std::vector<std::string>& keys,
                                     const std::vector<std::string>& remove) {
    if (remove.empty()) return keys;
    const std::unordered_set<std::string> drop(remove.begin(), remove.end());
    std::vector<std::string> out;
    for (const std::string& k : keys)
        if (!drop.count(k)) out.push_back(k);
    return out;
}

bool IsCorrectionDay(std::string_view day) {
    return EndsWith(day, "-cancel");
}

TSpool::TSpool(const std::string& dir, std::int64_t maxBytes, std::shared_ptr<TSpoolFiles> files)
    : FFiles(files ? std::move(files) : PlatformSpoolFiles()), FDir(dir), FMaxBytes(maxBytes) {
    if (FDir.empty() || FDir.back() != platform::kPathSep) FDir.push_back(platform::kPathSep);
    // A folder that cannot be made shows up as failed writes later.
    FFiles->MakeDirs(dir);
}

TSpool::~TSpool() {
    DiscardBatch();
}

std::string TSpool::SpoolPath(const std::string& day) const {
    return FDir + "spool-" + day + ".jsonl";
}
std::string TSpool::SentPath(const std::string& day) const {
    return FDir + "sent-" + day + ".txt";
}

bool TSpool::Append(const std::string& day, std::string key, std::string payload) {
    if (Full()) return false;
    // A day that is not a plain name, or a key or payload that would break the line format, would
    // corrupt the file or stay pending for ever; such a line is refused instead.
    if (day.empty() || day.find_first_of("/\\") != std::string::npos || HasLineBreak(day)) return false;
    if (!Nameable(key) || key.find('\t') != std::string::npos || HasLineBreak(key)) return false;
    if (HasLineBreak(payload) || !SpoolKeyAgrees(key, payload)) return false;

    const std::uint32_t payloadHash = PayloadHash(payload);
    char hash[16];
    const auto [hashEnd, ec] = std::to_chars(hash, hash + sizeof hash, payloadHash);
    if (FBatching) {
        // A window's lines almost always go to one day file: its batch is found once.
        if (FLastBatch == nullptr || FLastBatchDay != day) {
            const bool fresh = FBatch.find(day) == FBatch.end();
            FLastBatch = &FBatch[day];
            FLastBatchDay = day;
            // The hint is for the window's main day; a second day (a window across midnight)
            // grows as it needs.
            if (fresh && FBatch.size() == 1 && FBatchHint > 0) {
                FLastBatch->Text.reserve(FBatchHint);
                FLastBatch->Entries.reserve(FBatchHint / kUsualLineBytes);
            }
        }
        std::string& text = FLastBatch->Text;
        text += key;
        text.push_back('\t');
        text.append(hash, hashEnd);
        text.push_back('\t');
        text += payload;
        text += "\r\n";
        ++FLastBatch->Count;
        // A line that reads back as damage (not UTF-8) must be counted as such: that batch is
        // read back from disk.
        const std::int64_t size = static_cast<std::int64_t>(Utf8Length(key) + 2 * Utf8Length(payload) + 16);
        if (FLastBatch->Known && Utf8Valid(key) && Utf8Valid(payload))
            FLastBatch->Entries.push_back(TCachedEntry{std::move(key), std::move(payload), payloadHash});
        else
            FLastBatch->Known = false;
        FBytesNow += size;
        return true;
    }
    const std::string line = key + "\t" + std::string(hash, hashEnd) + "\t" + payload + "\r\n";
    const bool ok = AppendLinesTo(*FFiles, SpoolPath(day), line, true);
    if (ok) FBytesNow += static_cast<std::int64_t>(Utf8Length(key) + 2 * Utf8Length(payload) + 16);
    return ok;
}

void TSpool::BeginBatch(std::size_t expectedBytes) {
    DiscardBatch();
    FBatching = true;
    FBatchHint = expectedBytes;
}

int TSpool::EndBatch() {
    if (!FBatching) return 0;
    FBatching = false;
    int lost = 0;
    // Each file is flushed to disk before this returns, so a watermark moved afterwards never
    // covers lines that exist only in memory.
    for (auto& [day, b] : FBatch) {
        const std::string path = SpoolPath(day);
        const std::int64_t before = FFiles->Size(path);
        if (AppendLinesTo(*FFiles, path, b.Text, true))
            KeepWritten(day, before, b);
        else
            lost += b.Count;
    }
    FBatch.clear();
    FLastBatch = nullptr;
    return lost;
}

void TSpool::DiscardBatch() {
    FBatching = false;
    FBatch.clear();
    FLastBatch = nullptr;
}

void TSpool::AddEntry(TDayCache& cache, TCachedEntry e) {
    // The same line spooled again (its window read twice before it was sent) is sent once.
    if (!cache.Seen.insert(CorrectionId(e.Key, e.Hash)).second) return;
    thread_local std::string buffer;
    if (HiddenBy(cache.SentKeys, cache.SentHashed, e.Key, e.Hash, buffer)) return;
    cache.Entries.push_back(std::move(e));
}

void TSpool::KeepWritten(const std::string& day, std::int64_t before, TBatchFile& batch) {
    // What this spool has just written is known line by line: the day's cache takes it as written
    // instead of reading the file back. Only when the cache stood exactly at the file's old end
    // and the file grew by exactly these bytes; otherwise the next read catches up from disk.
    if (!batch.Known) return;
    before = std::max<std::int64_t>(before, 0);
    auto it = FDays.find(day);
    if (it == FDays.end()) {
        if (before != 0) return;
        it = FDays.emplace(day, TDayCache{}).first;
    }
    TDayCache& cache = it->second;
    if (cache.Compact || cache.SpoolDone != before) return;
    const std::int64_t after = before + static_cast<std::int64_t>(batch.Text.size());
    if (FFiles->Size(SpoolPath(day)) != after) return;
    cache.Entries.reserve(cache.Entries.size() + batch.Entries.size());
    cache.Seen.reserve(cache.Seen.size() + batch.Entries.size());
    for (TCachedEntry& e : batch.Entries)
        AddEntry(cache, std::move(e));
    cache.SpoolDone = after;
}

bool TSpool::RefreshDay(const std::string& day, TDayCache& cache, std::vector<TCachedEntry>& tailEntries,
                        int& tailBad) {
    tailEntries.clear();
    tailBad = 0;
    const std::string spoolPath = SpoolPath(day), sentPath = SentPath(day);
    const std::int64_t spoolSize = FFiles->Size(spoolPath);
    const std::int64_t sentSize = std::max<std::int64_t>(FFiles->Size(sentPath), 0);

    // Files only grow; anything else (a file replaced by hand) starts the day afresh.
    const bool shrunk = spoolSize < cache.SpoolDone || sentSize < cache.SentDone;
    const bool grewCompact = cache.Compact && (spoolSize != cache.SpoolDone || sentSize != cache.SentDone);
    if (shrunk || grewCompact) cache = TDayCache{};

    std::string buffer;
    auto hidden = [&](const std::string& key, std::uint32_t hash) {
        return HiddenBy(cache.SentKeys, cache.SentHashed, key, hash, buffer);
    };
    std::vector<std::string_view> lines;
    std::string_view tail;
    std::string data;

    if (sentSize > cache.SentDone) {
        if (!FFiles->ReadRange(sentPath, cache.SentDone, sentSize - cache.SentDone, data)) return false;
        std::string_view view = data;
        std::int64_t skipped = 0;
        if (cache.SentDone == 0 && StartsWith(view, kBom)) {
            view.remove_prefix(kBom.size());
            skipped = static_cast<std::int64_t>(kBom.size());
        }
        SplitWhole(view, lines, tail);
        bool added = false;
        for (const std::string_view line : lines) {
            const std::string text = SentLineText(line);
            if (text.empty()) continue;
            AddSentLine(text, cache.SentKeys, cache.SentHashed);
            added = true;
        }
        cache.SentDone += skipped + static_cast<std::int64_t>(view.size() - tail.size());
        if (added) std::erase_if(cache.Entries, [&](const TCachedEntry& e) { return hidden(e.Key, e.Hash); });
        // A sent line without its line break is no mark yet: it is either being written (and
        // counts on the next read) or a key cut short by a crash, which must hide nothing.
    }

    if (spoolSize > cache.SpoolDone) {
        if (!FFiles->ReadRange(spoolPath, cache.SpoolDone, spoolSize - cache.SpoolDone, data)) return false;
        std::string_view view = data;
        std::int64_t skipped = 0;
        if (cache.SpoolDone == 0 && StartsWith(view, kBom)) {
            view.remove_prefix(kBom.size());
            skipped = static_cast<std::int64_t>(kBom.size());
        }
        SplitWhole(view, lines, tail);
        TCachedEntry e;
        for (const std::string_view line : lines) {
            const TLineKind kind = ParseSpoolLine(line, e.Key, e.Payload, e.Hash);
            if (kind == TLineKind::Bad) ++cache.Bad;
            if (kind != TLineKind::Entry) continue;
            AddEntry(cache, e);
        }
        cache.SpoolDone += skipped + static_cast<std::int64_t>(view.size() - tail.size());
        switch (ParseSpoolLine(tail, e.Key, e.Payload, e.Hash)) {
        case TLineKind::Bad:
            ++tailBad;
            break;
        case TLineKind::Entry:
            if (!cache.Seen.count(CorrectionId(e.Key, e.Hash)) && !hidden(e.Key, e.Hash))
                tailEntries.push_back(e);
            break;
        case TLineKind::Blank:
            break;
        }
    }

    if (cache.Entries.empty() && spoolSize == cache.SpoolDone && sentSize == cache.SentDone) {
        cache.SentKeys.clear();
        cache.SentHashed.clear();
        cache.Seen.clear();
        cache.Compact = true;
    }
    return true;
}

TSpool::TDayCache* TSpool::RefreshedDay(const std::string& day, std::vector<TCachedEntry>& tailEntries) {
    FBadLines = 0;
    tailEntries.clear();
    if (FFiles->Size(SpoolPath(day)) < 0) {
        FDays.erase(day);
        return &FNoDay;
    }
    TDayCache& cache = FDays[day];
    int tailBad = 0;
    if (!RefreshDay(day, cache, tailEntries, tailBad)) return nullptr;
    FBadLines = cache.Bad + tailBad;
    return &cache;
}

bool TSpool::PendingCached(const std::string& day, std::vector<TCachedEntry>& entries) {
    std::vector<TCachedEntry> tailEntries;
    const TDayCache* cache = RefreshedDay(day, tailEntries);
    entries.clear();
    if (cache == nullptr) return false;
    entries.reserve(cache->Entries.size() + tailEntries.size());
    entries = cache->Entries;
    entries.insert(entries.end(), tailEntries.begin(), tailEntries.end());
    return true;
}

bool TSpool::Pending(const std::string& day, std::vector<TSpoolEntry>& entries) {
    return PendingUpTo(day, std::numeric_limits<std::size_t>::max(), nullptr, entries);
}

bool TSpool::PendingUpTo(const std::string& day, std::size_t limit,
                         const std::function<bool(const std::string& key)>& skip,
                         std::vector<TSpoolEntry>& entries, std::size_t* candidates) {
    entries.clear();
    if (candidates != nullptr) *candidates = 0;
    std::vector<TCachedEntry> tailEntries;
    const TDayCache* cache = RefreshedDay(day, tailEntries);
    if (cache == nullptr) return false;
    // Only the lines asked for are copied: a flush of a long day takes a batch at a time.
    const auto take = [&](const TCachedEntry& e) {
        if (skip && skip(e.Key)) return;
        if (candidates != nullptr) ++*candidates;
        if (entries.size() < limit) entries.push_back(TSpoolEntry{e.Key, e.Payload, false});
    };
    for (const TCachedEntry& e : cache->Entries)
        take(e);
    for (const TCachedEntry& e : tailEntries)
        take(e);
    return true;
}

std::vector<std::string> TSpool::PendingDays() {
    std::vector<std::string> names, days;
    if (!FFiles->List(FDir, names)) return days;
    std::sort(names.begin(), names.end());
    std::vector<TCachedEntry> entries;
    for (const std::string& name : names) {
        // Sales day files only: "spool-" + yyyy-mm-dd + ".jsonl"; correction files are longer.
        if (name.size() != 22 || !StartsWith(name, "spool-") || !EndsWith(name, ".jsonl")) continue;
        const std::string day = name.substr(6, 10);
        const TDayCache* cache = RefreshedDay(day, entries);
        if (cache != nullptr && (!cache->Entries.empty() || !entries.empty())) days.push_back(day);
    }
    return days;
}

bool TSpool::MarkSent(const std::string& day, const std::vector<std::string>& keys) {
    if (keys.empty()) return true;
    std::string text;
    if (!IsCorrectionDay(day)) {
        for (const std::string& k : keys)
            text += k + "\r\n";
        return AppendLinesTo(*FFiles, SentPath(day), text, false, kSentTornEnd);
    }
    // A correction is marked by its key and payload hash, so that a later, different correction of
    // the same sale line is still sent, while the same correction spooled again is not. Each key
    // marks the next pending entry with that key, in file order: the entries that were sent.
    const int bad = FBadLines;
    std::vector<TCachedEntry> pending;
    const bool ok = PendingCached(day, pending);
    FBadLines = bad;
    if (!ok) return false;
    std::vector<bool> used(pending.size(), false);
    for (const std::string& k : keys) {
        const std::string lower = LowerAscii(k);
        for (size_t i = 0; i < pending.size(); ++i) {
            if (used[i] || LowerAscii(pending[i].Key) != lower) continue;
            used[i] = true;
            text += pending[i].Key + "\t" + std::to_string(pending[i].Hash) + "\r\n";
            break;
        }
    }
    if (text.empty()) return true;
    return AppendLinesTo(*FFiles, SentPath(day), text, false, kSentTornEnd);
}

bool TSpool::MarkSentEntries(const std::string& day, const std::vector<TSpoolEntry>& entries) {
    if (!IsCorrectionDay(day)) {
        std::vector<std::string> keys;
        keys.reserve(entries.size());
        for (const TSpoolEntry& e : entries)
            keys.push_back(e.Key);
        return MarkSent(day, keys);
    }
    std::string text;
    for (const TSpoolEntry& e : entries)
        text += e.Key + "\t" + std::to_string(PayloadHash(e.Payload)) + "\r\n";
    if (text.empty()) return true;
    return AppendLinesTo(*FFiles, SentPath(day), text, false, kSentTornEnd);
}

std::int64_t TSpool::FolderBytes() const {
    std::vector<std::string> names;
    if (!FFiles->List(FDir, names)) return 0;
    std::int64_t sum = 0;
    for (const std::string& name : names)
        sum += std::max<std::int64_t>(FFiles->Size(FDir + name), 0);
    return sum;
}

bool TSpool::Full() const {
    if (FMaxBytes <= 0) return false;
    const TDateTime now = Now();
    const std::int64_t age = ToMSecs(now) - ToMSecs(FBytesAt);
    // A clock set back also re-measures, or the estimate would stand until the clock caught up.
    if (FBytesAt == 0 || age > kMeasureEveryMs || age < 0) {
        FBytesNow = FolderBytes();
        FBytesAt = now;
    }
    return FBytesNow >= FMaxBytes;
}

std::int64_t TSpool::Bytes() const {
    return FolderBytes();
}

std::string TSpool::ReadFirstLine(const std::string& name) const {
    std::string data;
    if (!FFiles->ReadRange(FDir + name, 0, -1, data)) return {};
    std::string_view view = data;
    if (StartsWith(view, kBom)) view.remove_prefix(kBom.size());
    const size_t lf = view.find('\n');
    if (lf != std::string_view::npos) view = view.substr(0, lf);
    return Trim(view);
}

bool TSpool::WriteOneLine(const std::string& name, const std::string& text) {
    return FFiles->Replace(FDir + name, text + "\r\n");
}

TDateTime TSpool::Watermark() const {
    return ParseStamp(ReadFirstLine("watermark.txt"));
}

bool TSpool::SetWatermark(TDateTime t) {
    // Lines still buffered in an open batch are not on disk yet; the watermark must not pass them.
    if (FBatching && !FBatch.empty()) return false;
    return WriteOneLine("watermark.txt", FormatStamp(t));
}

TDateTime TSpool::Since() const {
    return ParseStamp(ReadFirstLine("since.txt"));
}

bool TSpool::SetSinceOnce(TDateTime t) {
    if (Since() > 0) return true;
    return WriteOneLine("since.txt", FormatStamp(t));
}

Result<TPointCheck> TSpool::CheckPoint(const std::string& got) {
    const std::string path = FDir + "point.txt";
    TPointCheck c;
    c.Have = ReadFirstLine("point.txt");
    const std::string point = PointText(got);
    if (point.empty()) return c;
    if (!c.Have.empty()) {
        c.Same = c.Have == point;
        return c;
    }
    std::string probe;
    if (FFiles->Size(path) > 0 && !FFiles->ReadRange(path, 0, 1, probe))
        // An unreadable pin is never overwritten: it may name another point.
        return Fail("point.txt 를 읽지 못했습니다 (" + path + ")");
    if (!WriteOneLine("point.txt", point)) return Fail("point.txt 를 쓰지 못했습니다 (" + path + ")");
    c.Same = c.Pinned = true;
    return c;
}

std::string TSpool::Held() const {
    return ReadFirstLine("hold.txt");
}

bool TSpool::SetHeld(const std::string& fingerprint) {
    if (!fingerprint.empty()) return WriteOneLine("hold.txt", fingerprint);
    const std::string path = FDir + "hold.txt";
    if (FFiles->Size(path) < 0) return true;
    return FFiles->Remove(path);
}

} // namespace pavona
