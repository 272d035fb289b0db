// The ledger: day files parsed into per-goods aggregates cached by file size, correction marks
// cached by the correction files' names and sizes, and the day's lines for the sales history.
#include "store/AgentLedger.h"

#include "common/Text.h"
#include "platform/Platform.h"
#include "store/AgentSpool.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <unordered_map>
#include <unordered_set>

namespace pavona {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr int kRangeDays = 7;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Four hex digits at s[pos]; -1 when they are missing or not hex.
int Hex4At(std::string_view s, size_t pos) {
    if (pos + 4 > s.size()) return -1;
    int v = 0;
    for (size_t i = 0; i < 4; ++i) {
        const int d = HexValue(s[pos + i]);
        if (d < 0) return -1;
        v = v * 16 + d;
    }
    return v;
}

// A double from the whole text ("." as decimal point), only when it is a finite number.
bool TryParseDouble(std::string_view s, double& out) {
    if (s.empty()) return false;
    double v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, std::chars_format::general);
    if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(v)) return false;
    out = v;
    return true;
}

// The hash field of a spool line matches its payload: the line was written whole. A line torn by
// a crash, or edited by hand, is one the spool never sends, so the ledger does not show it either.
bool HashOk(std::string_view line) {
    const size_t tab1 = line.find('\t');
    if (tab1 == std::string_view::npos) return false;
    const size_t tab2 = line.find('\t', tab1 + 1);
    if (tab2 == std::string_view::npos) return false;
    return line.substr(tab1 + 1, tab2 - tab1 - 1) == std::to_string(PayloadHash(line.substr(tab2 + 1)));
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

} // namespace

std::string JsonFieldText(std::string_view payload, std::string_view name) {
    const std::string pattern = "\"" + std::string(name) + "\":";
    const size_t at = payload.find(pattern);
    if (at == std::string_view::npos) return {};
    size_t i = at + pattern.size();
    while (i < payload.size() && IsBlank(payload[i]))
        ++i;
    if (i >= payload.size()) return {};
    if (payload[i] != '"') {
        const size_t start = i;
        while (i < payload.size() && !IsBlank(payload[i]) && payload[i] != ',' && payload[i] != '}')
            ++i;
        const std::string_view raw = payload.substr(start, i - start);
        if (raw == "null") return {};
        return Utf8Sanitize(raw);
    }
    std::string out;
    ++i;
    while (i < payload.size()) {
        const char c = payload[i];
        if (c == '"') break;
        if (c != '\\') {
            out.push_back(c);
            ++i;
            continue;
        }
        if (i + 1 >= payload.size()) break;
        const char e = payload[i + 1];
        i += 2;
        switch (e) {
        case 'b':
            out.push_back('\b');
            break;
        case 'f':
            out.push_back('\f');
            break;
        case 'n':
            out.push_back('\n');
            break;
        case 'r':
            out.push_back('\r');
            break;
        case 't':
            out.push_back('\t');
            break;
        case 'u': {
            const int unit = Hex4At(payload, i);
            if (unit < 0) {
                out.push_back('?');
                // The four characters that should have been hex digits belong to the escape.
                i = std::min(payload.size(), i + 4);
                break;
            }
            i += 4;
            char32_t cp = static_cast<char32_t>(unit);
            if (unit >= 0xD800 && unit <= 0xDBFF) {
                // A high surrogate joins the low surrogate escaped right after it into one character.
                const int low = (i + 1 < payload.size() && payload[i] == '\\' && payload[i + 1] == 'u')
                                    ? Hex4At(payload, i + 2)
                                    : -1;
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    cp = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) +
                         (static_cast<char32_t>(low) - 0xDC00);
                    i += 6;
                } else {
                    cp = 0xFFFD;
                }
            } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
                cp = 0xFFFD; // a lone low surrogate is no character
            }
            Utf8Append(out, cp);
            break;
        }
        default:
            out.push_back(e);
            break;
        }
    }
    // The value may come from a damaged file: never hand on bytes that are not UTF-8.
    return Utf8Valid(out) ? out : Utf8Sanitize(out);
}

TDateTime ParseSoldAt(std::string_view text) {
    if (Utf8Length(text) <= 18) return 0;
    bool ok = true;
    auto part = [&](size_t start, size_t count) {
        int v = 0;
        if (!TryParseInt(Utf8Mid(text, start, count), v)) ok = false;
        return v;
    };
    const int y = part(0, 4), mo = part(5, 2), d = part(8, 2);
    const int h = part(11, 2), mi = part(14, 2), s = part(17, 2);
    if (!ok || !IsValidDate(y, mo, d)) return 0;
    if (h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 || s > 59) return 0;
    TDateTime t = EncodeDateTime(y, mo, d, h, mi, s);
    // The store's local time is Korean time (UTC+9, no daylight saving).
    if (Utf8Length(text) > 19 && Utf8Mid(text, 19, 1) == "Z") t = IncMinute(t, 540);
    return t;
}

std::int64_t ParseMoney(std::string_view text) {
    std::int64_t whole = 0;
    if (TryParseInt64(text, whole)) return whole;
    double v = 0;
    if (!TryParseDouble(text, v)) return 0;
    const double r = std::nearbyint(v); // the default rounding mode rounds ties to even
    // Outside the 64-bit range a value is no amount of money.
    if (!(r >= -9223372036854775808.0 && r < 9223372036854775808.0)) return 0;
    return static_cast<std::int64_t>(r);
}

bool ParseLedgerLine(std::string_view line, TLedgerLine& out) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const size_t tab1 = line.find('\t');
    if (tab1 == std::string_view::npos) return false;
    const size_t tab2 = line.find('\t', tab1 + 1);
    if (tab2 == std::string_view::npos) return false;
    const std::string_view payload = line.substr(tab2 + 1);
    if (payload.empty() || payload.front() != '{') return false;
    TLedgerLine l;
    l.SoldAt = ParseSoldAt(JsonFieldText(payload, "sold_at"));
    if (l.SoldAt == 0) return false;
    l.Key = Utf8Sanitize(line.substr(0, tab1));
    l.Receipt = JsonFieldText(payload, "receipt_no");
    l.PosNo = JsonFieldText(payload, "pos_no");
    l.Code = JsonFieldText(payload, "vendor_item_code");
    l.Name = JsonFieldText(payload, "vendor_item_name");
    l.Barcode = JsonFieldText(payload, "barcode");
    l.Member = JsonFieldText(payload, "member_no");
    if (!TryParseDouble(JsonFieldText(payload, "quantity"), l.Qty)) l.Qty = 0;
    l.UnitPrice = ParseMoney(JsonFieldText(payload, "unit_price"));
    l.Amount = ParseMoney(JsonFieldText(payload, "amount"));
    l.Discount = ParseMoney(JsonFieldText(payload, "discount_amount"));
    l.OwnDiscount = ParseMoney(JsonFieldText(payload, "own_discount"));
    out = std::move(l);
    return true;
}

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
            std::string key = JsonFieldText(payload, "tx_key");
            if (key.empty()) continue;
            TCancelMark mark;
            mark.Void = JsonFieldText(payload, "kind") == "void";
            mark.Corrected = ParseMoney(JsonFieldText(payload, "corrected_discount_amount"));
            auto it = FMarks.find(key);
            if (it == FMarks.end())
                FMarks.emplace(std::move(key), mark);
            else if (!it->second.Void) // a void is final; otherwise the later correction wins
                it->second = mark;
        }
    }
}

void TLedger::ApplyMark(TLedgerLine& line) const {
    const auto it = FMarks.find(line.Key);
    if (it == FMarks.end()) return;
    if (it->second.Void)
        line.Voided = true;
    else
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
    std::vector<TLedgerLine> out;
    std::unordered_set<std::string> taken;
    std::vector<std::string> lines;
    for (const std::string& name : DayFiles()) {
        const std::string fileDay = name.substr(6, 10);
        // Files of later days are not read: a line is found in its sale day's file or an earlier one.
        if (fileDay < first || fileDay > want) continue;
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
        t.Lines += 1;
        t.Qty += l.Qty;
        t.Amount += l.Amount;
        t.Discount += l.Discount;
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
    FDuplicatesDirty = false;
}

std::map<std::string, TGoodsTotal> TLedger::Totals(TDateTime fromDay, TDateTime toDay) {
    LoadMarks();
    std::map<std::string, TGoodsTotal> result;
    const std::string from = FormatDay(fromDay), to = FormatDay(toDay);
    const std::string first = FormatDay(IncDay(fromDay, -kRangeDays));
    std::unordered_set<std::string> used;
    for (const std::string& name : DayFiles()) {
        const std::string fileDay = name.substr(6, 10);
        if (fileDay < first || fileDay > to) continue;
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
        used.insert(path);
        for (const auto& [aggKey, t] : it->second.Agg) {
            const std::string_view saleDay = std::string_view(aggKey).substr(0, 10);
            if (saleDay < from || saleDay > to) continue;
            const auto [slot, added] = result.try_emplace(t.Code);
            TGoodsTotal& r = slot->second;
            if (added) {
                r.Code = t.Code;
                r.Name = t.Name;
            }
            r.Lines += t.Lines;
            r.Qty += t.Qty;
            r.Amount += t.Amount;
            r.Discount += t.Discount;
        }
    }
    // A line spooled into two day files (a window that crossed midnight and the next one overlap)
    // counts once: the copy in the earliest file read stands, the later copies are taken back out.
    if (FDuplicatesDirty) RebuildDuplicates();
    for (const auto& [key, paths] : FDuplicates) {
        bool counted = false;
        for (const std::string& path : paths) {
            if (!used.count(path)) continue;
            if (!counted) {
                counted = true;
                continue;
            }
            const TShare& s = FCache.at(path).Shares.at(key);
            const std::string_view saleDay = std::string_view(s.AggKey).substr(0, 10);
            if (saleDay < from || saleDay > to) continue;
            const std::string code = s.AggKey.substr(11);
            auto r = result.find(code);
            if (r == result.end()) continue;
            r->second.Lines -= 1;
            r->second.Qty -= s.Qty;
            r->second.Amount -= s.Amount;
            r->second.Discount -= s.Discount;
            if (r->second.Lines <= 0) result.erase(r);
        }
    }
    return result;
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
