// Fuzz target: the ledger over spool day files, a sent file and a correction file as found on disk:
// goods totals, a day's lines and the day file summaries.
#include "common/Text.h"
#include "fuzz/FuzzSupport.h"
#include "store/AgentLedger.h"
#include "store/AgentSpool.h"

#include <map>
#include <memory>
#include <set>

// Properties: totals equal a plain count of the lines (each key once, from the earliest file),
// saturate rather than wrap and keep their sign; cached reads while the files grow equal a fresh
// ledger's; a day's lines are that day's, each key once, in order. Input, parts separated by 0x1E:
// the day files of 2026-10-05 and 2026-10-06, the sent file of 2026-10-06, the correction file of
// 2026-10-06, then what is appended to the second day file and to the correction file afterwards.

namespace pavona::fuzz {
namespace {

const std::string kDir = "/mem/spool";
const std::string kDays[] = {"2026-10-05", "2026-10-06"};

std::string DayPath(const std::string& day) {
    return kDir + "/spool-" + day + ".jsonl";
}

std::vector<std::string> LinesOf(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    std::vector<std::string> out = Split(text, '\n');
    if (!out.empty() && out.back().empty()) out.pop_back();
    for (std::string& l : out)
        if (!l.empty() && l.back() == '\r') l.pop_back();
    return out;
}

// A line written whole: valid UTF-8 with the payload's hash, its key the payload's sale.
bool Sound(std::string_view line, std::string_view& payload) {
    if (!Utf8Valid(line)) return false;
    const std::size_t tab1 = line.find('\t');
    if (tab1 == std::string_view::npos) return false;
    const std::size_t tab2 = line.find('\t', tab1 + 1);
    if (tab2 == std::string_view::npos) return false;
    payload = line.substr(tab2 + 1);
    return line.substr(tab1 + 1, tab2 - tab1 - 1) == std::to_string(PayloadHash(payload)) &&
           KeyAgrees(line.substr(0, tab1), payload);
}

struct TMark {
    bool Void = false, HasAmend = false;
    std::int64_t Corrected = 0;
};

std::map<std::string, TMark> MarksOf(const std::string& corrections) {
    std::map<std::string, TMark> marks;
    for (const std::string& line : LinesOf(corrections)) {
        std::string_view payload;
        if (!Sound(line, payload)) continue;
        const std::string key = JsonFieldText(payload, "tx_key");
        if (key.empty()) continue;
        TMark& m = marks[key];
        if (m.Void) continue;
        if (JsonFieldText(payload, "kind") == "void") {
            m = TMark{true, false, 0};
            continue;
        }
        std::int64_t v = 0;
        if (TryParseInt64(JsonFieldText(payload, "corrected_discount_amount"), v)) m = TMark{false, true, v};
    }
    return marks;
}

// What the totals must come to, counted plainly with exact sums; `small` says that no sum can
// have reached the ends of the 64-bit range, and the signs of what was added.
struct TExpected {
    std::map<std::string, int> Lines;
    std::map<std::string, __int128> Amount, Discount;
    bool Small = true;
    bool AnyNegative = false, AnyPositive = false;
};

TExpected ExpectedTotals(TMemoryFiles& files, const std::map<std::string, TMark>& marks,
                         const std::string& from, const std::string& to) {
    TExpected e;
    std::set<std::string> counted; // keys taken from an earlier file
    for (const std::string& day : kDays) {
        std::set<std::string> inFile;
        for (const std::string& line : LinesOf(files.Files[DayPath(day)])) {
            std::string_view payload;
            TLedgerLine l;
            if (!Sound(line, payload) || !ParseLedgerLine(line, l) || !inFile.insert(l.Key).second) continue;
            const auto mark = marks.find(l.Key);
            if (mark != marks.end() && mark->second.Void) continue;
            if (mark != marks.end() && mark->second.HasAmend) l.Discount = mark->second.Corrected;
            if (!counted.insert(l.Key).second) continue;
            const std::string sold = FormatDay(l.SoldAt);
            if (sold < from || sold > to) continue;
            e.Lines[l.Code] += 1;
            e.Amount[l.Code] += l.Amount;
            e.Discount[l.Code] += l.Discount;
            for (const std::int64_t v : {l.Amount, l.Discount}) {
                if (v > (std::int64_t{1} << 52) || v < -(std::int64_t{1} << 52)) e.Small = false;
                e.AnyNegative |= v < 0;
                e.AnyPositive |= v > 0;
            }
        }
    }
    return e;
}

void CheckTotals(TLedger& ledger, TMemoryFiles& files, const std::string& from, const std::string& to) {
    TDateTime f = 0, t = 0;
    FUZZ_CHECK(ParseDay(from, f) && ParseDay(to, t));
    const std::map<std::string, TGoodsTotal> totals = ledger.Totals(f, t);
    const TExpected e =
        ExpectedTotals(files, MarksOf(files.Files[kDir + "/spool-2026-10-06-cancel.jsonl"]), from, to);
    FUZZ_CHECK(totals.size() == e.Lines.size());
    for (const auto& [code, total] : totals) {
        FUZZ_CHECK(total.Code == code);
        FUZZ_CHECK(e.Lines.count(code) && total.Lines == e.Lines.at(code));
        if (e.Small) {
            FUZZ_CHECK(total.Amount == e.Amount.at(code) && total.Discount == e.Discount.at(code));
        }
        // Sums of money saturate: amounts of one sign never add up to the other sign.
        if (!e.AnyNegative) FUZZ_CHECK(total.Amount >= 0 && total.Discount >= 0);
        if (!e.AnyPositive) FUZZ_CHECK(total.Amount <= 0 && total.Discount <= 0);
    }
}

struct TViews {
    std::map<std::string, TGoodsTotal> Totals;
    std::vector<TLedgerLine> Lines5, Lines6;
    std::vector<TFileSummary> Files;
};

TViews ViewsOf(TLedger& ledger) {
    TViews v;
    TDateTime d5 = 0, d6 = 0;
    ParseDay(kDays[0], d5);
    ParseDay(kDays[1], d6);
    v.Totals = ledger.Totals(d5, d6);
    v.Lines5 = ledger.LinesOn(d5);
    v.Lines6 = ledger.LinesOn(d6);
    v.Files = ledger.Files();
    for (const auto* lines : {&v.Lines5, &v.Lines6}) {
        const std::string want = lines == &v.Lines5 ? kDays[0] : kDays[1];
        const std::string next = lines == &v.Lines5 ? kDays[1] : "2026-10-07"; // the latest file it may be in
        std::set<std::string> keys;
        for (std::size_t i = 0; i < lines->size(); ++i) {
            const TLedgerLine& l = (*lines)[i];
            FUZZ_CHECK(FormatDay(l.SoldAt) == want);
            FUZZ_CHECK(keys.insert(l.Key).second);
            FUZZ_CHECK(l.FileDay <= next);
            if (i) {
                const TLedgerLine& p = (*lines)[i - 1];
                FUZZ_CHECK(ToMSecs(p.SoldAt) < ToMSecs(l.SoldAt) ||
                           (ToMSecs(p.SoldAt) == ToMSecs(l.SoldAt) && p.Key < l.Key));
            }
        }
    }
    for (const TFileSummary& s : v.Files)
        FUZZ_CHECK(s.Lines >= 0 && s.Sent >= 0 && s.Sent <= s.Lines && s.Bytes >= 0);
    return v;
}

bool SameLines(const std::vector<TLedgerLine>& a, const std::vector<TLedgerLine>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].Key != b[i].Key || a[i].FileDay != b[i].FileDay ||
            ToMSecs(a[i].SoldAt) != ToMSecs(b[i].SoldAt) || a[i].Discount != b[i].Discount ||
            a[i].Amount != b[i].Amount || a[i].Sent != b[i].Sent || a[i].Voided != b[i].Voided)
            return false;
    return true;
}

bool SameViews(const TViews& a, const TViews& b) {
    if (a.Totals.size() != b.Totals.size() || a.Files.size() != b.Files.size()) return false;
    for (const auto& [code, t] : a.Totals) {
        const auto it = b.Totals.find(code);
        if (it == b.Totals.end() || it->second.Lines != t.Lines || it->second.Amount != t.Amount ||
            it->second.Discount != t.Discount || it->second.Name != t.Name)
            return false;
    }
    for (std::size_t i = 0; i < a.Files.size(); ++i)
        if (a.Files[i].FileDay != b.Files[i].FileDay || a.Files[i].Lines != b.Files[i].Lines ||
            a.Files[i].Sent != b.Files[i].Sent || a.Files[i].Bytes != b.Files[i].Bytes)
            return false;
    return SameLines(a.Lines5, b.Lines5) && SameLines(a.Lines6, b.Lines6);
}

} // namespace
} // namespace pavona::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pavona;
    using namespace pavona::fuzz;
    const std::vector<std::string> part = Parts(data, size, 6);
    auto files = std::make_shared<TMemoryFiles>();
    const std::string cancelPath = kDir + "/spool-2026-10-06-cancel.jsonl";
    files->Files[DayPath(kDays[0])] = part[0];
    files->Files[DayPath(kDays[1])] = part[1];
    files->Files[kDir + "/sent-2026-10-06.txt"] = part[2];
    files->Files[cancelPath] = part[3];

    TLedger cached(kDir, files);
    ViewsOf(cached);
    CheckTotals(cached, *files, "2026-10-06", "2026-10-06");
    files->Files[DayPath(kDays[1])] += part[4];
    files->Files[cancelPath] += part[5];
    const TViews grown = ViewsOf(cached);
    TLedger fresh(kDir, files);
    FUZZ_CHECK(SameViews(grown, ViewsOf(fresh)));
    CheckTotals(cached, *files, "2026-10-05", "2026-10-06");
    CheckTotals(fresh, *files, "2026-10-06", "2026-10-06");
    CheckTotals(cached, *files, "2026-10-05", "2026-10-05");
    return 0;
}
