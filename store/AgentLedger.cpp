// The ledger: day files parsed into per-goods aggregates cached by file size, correction marks
// cached by the correction files' names and sizes, and the day's lines for the sales history.
#include "store/AgentLedger.h"

#include "common/SatMath.h"
#include "common/Text.h"
#include "platform/Platform.h"
#include "store/AgentSpool.h"

#include <algorithm>
#include <iterator>
#include <unordered_map>
#include <unordered_set>

namespace pavona {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr int kRangeDays = 7;

// The hash field of a spool line matches its payload and its key names the payload's sale: the line
// was written whole and kept so. A line torn by a crash, or edited or damaged since, is one the
// spool never sends, so the ledger does not show it either.
bool HashOk(std::string_view line) {
    const size_t tab1 = line.find('\t');
    if (tab1 == std::string_view::npos) return false;
    const size_t tab2 = line.find('\t', tab1 + 1);
    if (tab2 == std::string_view::npos) return false;
    return line.substr(tab1 + 1, tab2 - tab1 - 1) == std::to_string(PayloadHash(line.substr(tab2 + 1))) &&
           SpoolKeyAgrees(line.substr(0, tab1), line.substr(tab2 + 1));
}

// A line the report views may use: valid UTF-8 (undecodable lines are damage) and written whole.
bool SoundLine(std::string_view line) {
    return Utf8Valid(line) && HashOk(line);
}

// The keys of a sent file. Sales days list plain keys; correction days list key + tab + payload
// hash, which marks one particular correction of the key. Keys compare without regard to ASCII
// case, as the spool compares them when it decides what is still pending.
struct TSentKeys {
    std::unordered_set<std::string> Plain;
    std::unordered_set<std::string> Hashed;

    void Add(std::string_view text) {
        const size_t tab = text.find('\t');
        if (tab == std::string_view::npos)
            Plain.insert(LowerAscii(text));
        else
            Hashed.insert(LowerAscii(Trim(text.substr(0, tab))) + "\t" + Trim(text.substr(tab + 1)));
    }
    bool Has(std::string_view key, std::string_view hashText) const {
        const std::string lower = LowerAscii(key);
        if (Plain.count(lower)) return true;
        return !Hashed.empty() && Hashed.count(lower + "\t" + std::string(hashText)) > 0;
    }
};

// The text between the first and the second tab of a spool line (empty without them).
std::string_view HashField(std::string_view line) {
    const size_t tab1 = line.find('\t');
    if (tab1 == std::string_view::npos) return {};
    const size_t tab2 = line.find('\t', tab1 + 1);
    if (tab2 == std::string_view::npos) return {};
    return line.substr(tab1 + 1, tab2 - tab1 - 1);
}

// One correction line's effect on the mark of its key, lines taken oldest first.
void MergeCorrection(TCancelMark& mark, std::string_view payload) {
    // Recorded even after a void: the document was applied, and must not be applied again.
    if (std::string reason = JsonFieldText(payload, "reason"); !reason.empty())
        mark.Reasons.insert(std::move(reason));
    if (mark.Void) return; // a void is final
    if (JsonFieldText(payload, "kind") == "void") {
        mark.Void = true;
        mark.HasAmend = false;
        mark.Corrected = 0;
        return;
    }
    // The agent writes whole won. An amendment without a readable amount changes no amount: taking
    // it as 0 would drop the line's whole subsidy on a damaged or foreign line.
    std::int64_t corrected = 0;
    if (TryParseInt64(JsonFieldText(payload, "corrected_discount_amount"), corrected)) {
        mark.HasAmend = true;
        mark.Corrected = corrected;
    }
}

// Adds counters to a goods total. Money saturates like every sum of money in the agent: amounts
// come from the POS's 64-bit columns, and a wrapped total would show a huge one as negative.
void AddCounts(TGoodsTotal& t, int lines, double qty, std::int64_t amount, std::int64_t discount) {
    t.Lines += lines;
    t.Qty += qty;
    t.Amount = SatAdd(t.Amount, amount);
    t.Discount = SatAdd(t.Discount, discount);
}

// The entry of `key`, made with the code and name of `like` when it is new.
template <class TTotals>
TGoodsTotal& EntryOf(TTotals& totals, const std::string& key, const TGoodsTotal& like) {
    const auto [it, added] = totals.try_emplace(key);
    if (added) {
        it->second.Code = like.Code;
        it->second.Name = like.Name;
    }
    return it->second;
}

} // namespace

TLedger::TLedger(const std::string& dir, std::shared_ptr<TSpoolFiles> files)
    : FFiles(files ? std::move(files) : PlatformSpoolFiles()), FDir(dir) {
    if (FDir.empty() || FDir.back() != platform::kPathSep) FDir.push_back(platform::kPathSep);
}

bool TLedger::ReadLines(const std::string& path, std::vector<std::string>& lines) {
    lines.clear();
    std::string data;
    if (!FFiles->ReadRange(path, 0, -1, data)) return false;
    std::string_view view(data);
    if (StartsWith(view, kBom)) view.remove_prefix(kBom.size());
    size_t start = 0;
    while (start < view.size()) {
        size_t lf = view.find('\n', start);
        const bool last = lf == std::string_view::npos;
        if (last) lf = view.size();
        std::string_view piece = view.substr(start, lf - start);
        if (!piece.empty() && piece.back() == '\r') piece.remove_suffix(1);
        // A last piece without a line break is kept: it may be a line still being written, which
        // the hash check then leaves out until it is whole.
        if (!last || !piece.empty()) lines.emplace_back(piece);
        start = lf + 1;
    }
    return true;
}

std::vector<std::string> TLedger::DayFiles() {
    std::vector<std::string> names, out;
    if (!FFiles->List(FDir, names)) return out;
    for (const std::string& name : names) {
        // "spool-" + yyyy-mm-dd + ".jsonl"; correction files ("-cancel") and stray names are longer.
        if (name.size() != 22 || !StartsWith(name, "spool-") || !EndsWith(name, ".jsonl")) continue;
        TDateTime d = 0;
        if (!ParseDay(std::string_view(name).substr(6, 10), d)) continue;
        out.push_back(name);
    }
    std::sort(out.begin(), out.end());
    return out;
}

void TLedger::LoadMarks() {
    std::vector<std::string> names, cancels;
    if (FFiles->List(FDir, names)) {
        for (const std::string& name : names)
            if (StartsWith(name, "spool-") && EndsWith(name, "-cancel.jsonl")) cancels.push_back(name);
    }
    // Name order keeps correction days chronological, so "the last amendment" is the latest one.
    std::sort(cancels.begin(), cancels.end());
    std::string sig;
    for (const std::string& name : cancels)
        sig += FDir + name + ":" + std::to_string(FFiles->Size(FDir + name)) + ";";
    if (FMarksRead && sig == FMarksSig) return;
    FMarksRead = true;
    FMarksSig = sig;
    FMarks.clear();
    // Every aggregate was computed with the old marks.
    FCache.clear();
    FDuplicates.clear();
    FDuplicatesDirty = true;
    ++FMarkLoads;
    std::vector<std::string> lines;
    for (const std::string& name : cancels) {
        if (!ReadLines(FDir + name, lines)) continue;
        for (const std::string& line : lines) {
            if (!SoundLine(line)) continue;
            const size_t tab2 = line.find('\t', line.find('\t') + 1);
            const std::string_view payload = std::string_view(line).substr(tab2 + 1);
            const std::string key = JsonFieldText(payload, "tx_key");
            if (key.empty()) continue;
            MergeCorrection(FMarks[key], payload);
        }
    }
}

void TLedger::ApplyMark(TLedgerLine& line) const {
    const auto it = FMarks.find(line.Key);
    if (it == FMarks.end()) return;
    if (it->second.Void)
        line.Voided = true;
    else if (it->second.HasAmend)
        line.Discount = it->second.Corrected;
}

bool TLedger::MarkOf(const std::string& txKey, TCancelMark& mark) {
    LoadMarks();
    const auto it = FMarks.find(txKey);
    if (it == FMarks.end()) return false;
    mark = it->second;
    return true;
}

const std::map<std::string, TCancelMark>& TLedger::Marks() {
    LoadMarks();
    return FMarks;
}

std::vector<std::string> TLedger::LoadSentKeys(const std::string& day) {
    std::vector<std::string> keys, lines;
    if (!ReadLines(FDir + "sent-" + day + ".txt", lines)) return keys;
    for (const std::string& line : lines) {
        if (!Utf8Valid(line)) continue; // a damaged line names no key
        std::string key = Trim(line);
        if (!key.empty()) keys.push_back(std::move(key));
    }
    return keys;
}

std::vector<TLedgerLine> TLedger::LinesOn(TDateTime day) {
    LoadMarks();
    const std::string want = FormatDay(day);
    const std::string first = FormatDay(IncDay(day, -kRangeDays));
    const std::string last = FormatDay(IncDay(day, 1));
    std::vector<TLedgerLine> out;
    std::unordered_set<std::string> taken;
    std::vector<std::string> lines;
    for (const std::string& name : DayFiles()) {
        const std::string fileDay = name.substr(6, 10);
        // A line is found in its sale day's file, an earlier one, or the next day's: the window of
        // the first cycle after midnight starts a few minutes before its watermark, so the last
        // sales of the day before (those committed late above all) go into the new day's file.
        if (fileDay < first || fileDay > last) continue;
        if (!ReadLines(FDir + name, lines)) continue;
        TSentKeys sent;
        for (const std::string& k : LoadSentKeys(fileDay))
            sent.Add(k);
        for (const std::string& line : lines) {
            if (!SoundLine(line)) continue;
            TLedgerLine l;
            if (!ParseLedgerLine(line, l)) continue;
            if (FormatDay(l.SoldAt) != want) continue;
            if (!taken.insert(l.Key).second) continue;
            l.FileDay = fileDay;
            l.Sent = sent.Has(l.Key, HashField(line));
            ApplyMark(l);
            out.push_back(std::move(l));
        }
    }
    std::sort(out.begin(), out.end(), [](const TLedgerLine& a, const TLedgerLine& b) {
        const std::int64_t ta = ToMSecs(a.SoldAt), tb = ToMSecs(b.SoldAt);
        if (ta != tb) return ta < tb;
        return a.Key < b.Key;
    });
    return out;
}

bool TLedger::BuildAgg(const std::string& path, std::int64_t bytes, TFileAgg& agg) {
    std::vector<std::string> lines;
    if (!ReadLines(path, lines)) return false;
    ++FAggregations;
    agg = TFileAgg{};
    agg.Bytes = bytes;
    std::unordered_set<std::string> seen;
    // A file's lines are nearly all of one or two sale days: format each day's text once.
    std::int64_t lastSerial = -1;
    std::string lastDay;
    for (const std::string& line : lines) {
        if (!SoundLine(line)) continue;
        TLedgerLine l;
        if (!ParseLedgerLine(line, l)) continue;
        // The collection windows overlap, so the same line is spooled again into the same file.
        if (!seen.insert(l.Key).second) continue;
        ApplyMark(l);
        if (l.Voided) continue;
        const std::int64_t serial = ToMSecs(l.SoldAt) / kMSecsPerDay;
        if (serial != lastSerial) {
            lastSerial = serial;
            lastDay = FormatDay(l.SoldAt);
        }
        std::string aggKey = lastDay + "|" + l.Code;
        TGoodsTotal& t = agg.Agg[aggKey];
        if (t.Lines == 0) {
            t.Code = l.Code;
            t.Name = l.Name;
        }
        AddCounts(t, 1, l.Qty, l.Amount, l.Discount);
        agg.Shares[l.Key] = TShare{std::move(aggKey), l.Qty, l.Amount, l.Discount};
    }
    return true;
}

void TLedger::RebuildDuplicates() {
    FDuplicates.clear();
    std::unordered_map<std::string_view, std::vector<const std::string*>> where;
    for (const auto& [path, agg] : FCache)
        for (const auto& [key, share] : agg.Shares)
            where[key].push_back(&path);
    for (const auto& [key, paths] : where) {
        if (paths.size() < 2) continue;
        std::vector<std::string>& list = FDuplicates[std::string(key)];
        for (const std::string* p : paths)
            list.push_back(*p); // FCache is ordered by path, so the list is in name order
    }
    for (auto& [path, agg] : FCache) {
        agg.Own.clear();
        agg.HasShared = false;
    }
    for (const auto& [key, paths] : FDuplicates)
        for (const std::string& path : paths)
            FCache.at(path).HasShared = true;
    for (auto& [path, agg] : FCache) {
        if (!agg.HasShared) continue;
        for (const auto& [key, share] : agg.Shares) {
            if (FDuplicates.count(key)) continue;
            const TGoodsTotal& like = agg.Agg.at(share.AggKey);
            AddCounts(EntryOf(agg.Own, share.AggKey, like), 1, share.Qty, share.Amount, share.Discount);
        }
    }
    FDuplicatesDirty = false;
}

std::map<std::string, TGoodsTotal> TLedger::Totals(TDateTime fromDay, TDateTime toDay) {
    LoadMarks();
    const std::string from = FormatDay(fromDay), to = FormatDay(toDay);
    const std::string first = FormatDay(IncDay(fromDay, -kRangeDays));
    const std::string last = FormatDay(IncDay(toDay, 1)); // as in LinesOn
    std::vector<const std::pair<const std::string, TFileAgg>*> used; // path and aggregate, in name order
    for (const std::string& name : DayFiles()) {
        const std::string fileDay = name.substr(6, 10);
        if (fileDay < first || fileDay > last) continue;
        const std::string path = FDir + name;
        const std::int64_t bytes = FFiles->Size(path);
        if (bytes < 0) continue;
        auto it = FCache.find(path);
        if (it == FCache.end() || it->second.Bytes != bytes) {
            TFileAgg agg;
            if (!BuildAgg(path, bytes, agg)) {
                if (it != FCache.end()) {
                    FCache.erase(it);
                    FDuplicatesDirty = true;
                }
                continue;
            }
            it = FCache.insert_or_assign(path, std::move(agg)).first;
            FDuplicatesDirty = true;
        }
        used.push_back(&*it);
    }
    if (FDuplicatesDirty) RebuildDuplicates();
    // A line spooled into two day files (a window that crossed midnight and the next one overlap)
    // counts once, with the copy in the earliest file read.
    std::unordered_map<std::string_view, std::vector<const std::string*>> sharedKeys; // path → keys
    if (!FDuplicates.empty()) {
        std::unordered_set<std::string_view> read;
        for (const auto* entry : used)
            read.insert(entry->first);
        for (const auto& [key, paths] : FDuplicates) {
            const auto path = std::find_if(paths.begin(), paths.end(),
                                           [&](const std::string& p) { return read.count(p) > 0; });
            if (path != paths.end()) sharedKeys[*path].push_back(&key);
        }
    }
    const auto inRange = [&](std::string_view aggKey) {
        const std::string_view saleDay = aggKey.substr(0, 10);
        return saleDay >= from && saleDay <= to;
    };
    // Summed in a hash map: a page asks again and again, and each ask adds every goods of every
    // day file; the ordered map is made once at the end.
    std::unordered_map<std::string, TGoodsTotal> result;
    for (const auto* entry : used) {
        const TFileAgg& agg = entry->second;
        for (const auto& [aggKey, t] : agg.HasShared ? agg.Own : agg.Agg)
            if (inRange(aggKey)) AddCounts(EntryOf(result, t.Code, t), t.Lines, t.Qty, t.Amount, t.Discount);
        const auto shared = sharedKeys.find(entry->first);
        if (shared == sharedKeys.end()) continue;
        for (const std::string* key : shared->second) {
            const TShare& s = agg.Shares.at(*key);
            if (!inRange(s.AggKey)) continue;
            const TGoodsTotal& like = agg.Agg.at(s.AggKey);
            AddCounts(EntryOf(result, like.Code, like), 1, s.Qty, s.Amount, s.Discount);
        }
    }
    return {std::make_move_iterator(result.begin()), std::make_move_iterator(result.end())};
}

std::vector<TFileSummary> TLedger::Files() {
    std::vector<TFileSummary> out;
    std::vector<std::string> lines;
    for (const std::string& name : DayFiles()) {
        TFileSummary s;
        s.FileDay = name.substr(6, 10);
        s.Bytes = FFiles->Size(FDir + name);
        if (s.Bytes < 0 || !ReadLines(FDir + name, lines)) continue;
        TSentKeys sent;
        for (const std::string& k : LoadSentKeys(s.FileDay))
            sent.Add(k);
        for (const std::string& line : lines) {
            const size_t tab = line.find('\t');
            if (tab == std::string::npos) continue;
            // Every written line counts, damaged ones too: this is what the file holds.
            s.Lines += 1;
            if (sent.Has(Utf8Sanitize(std::string_view(line).substr(0, tab)), HashField(line))) s.Sent += 1;
        }
        out.push_back(std::move(s));
    }
    std::reverse(out.begin(), out.end());
    return out;
}

} // namespace pavona
