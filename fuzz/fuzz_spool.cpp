// Fuzz target: spool day files and sent files as found on disk, read for a day's pending entries,
// then marked sent and appended to.
#include "common/Text.h"
#include "fuzz/FuzzSupport.h"
#include "store/AgentSpool.h"

#include <algorithm>
#include <memory>
#include <set>

// Properties: the pending entries equal a plain forward reading of the format; read through the
// spool's cache while both files grow they equal a fresh read; marking entries sent hides exactly
// those; a line appended is pending after them. Input, parts separated by 0x1E: "cancel" for a
// correction day (anything else: a sales day), the day file, the sent file, then what is appended to
// the day file and to the sent file afterwards.

namespace pavona::fuzz {
namespace {

const std::string kDir = "/mem/spool";

struct TRef {
    std::string Key;
    std::string Payload;
    bool operator==(const TRef&) const = default;
};

std::string Id(std::string_view key, std::string_view hashText) {
    return LowerAscii(key) + "\t" + std::string(hashText);
}

// The format read plainly: every piece between line feeds of the day file (the last one too), and
// the whole lines of the sent file.
struct TReference {
    std::set<std::string> Plain, Hashed;
    std::set<std::string> Seen; // lines met (key and hash), hidden ones too
    std::vector<TRef> Entries;
    int Bad = 0;

    TReference(std::string_view spool, std::string_view sent) {
        if (sent.substr(0, 3) == "\xEF\xBB\xBF") sent.remove_prefix(3);
        for (std::size_t lf; (lf = sent.find('\n')) != std::string_view::npos; sent.remove_prefix(lf + 1)) {
            const std::string_view line = sent.substr(0, lf);
            if (!Utf8Valid(line)) continue;
            const std::string text = Trim(line);
            if (text.empty()) continue;
            const std::size_t tab = text.find('\t');
            if (tab == std::string::npos)
                Plain.insert(LowerAscii(text));
            else
                Hashed.insert(Id(Trim(text.substr(0, tab)), Trim(text.substr(tab + 1))));
        }
        if (spool.substr(0, 3) == "\xEF\xBB\xBF") spool.remove_prefix(3);
        for (const std::string& piece : Split(spool, '\n')) {
            std::string_view line = piece;
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            if (Trim(line).empty()) continue;
            const std::size_t tab1 = line.find('\t');
            const std::size_t tab2 = tab1 == std::string_view::npos ? tab1 : line.find('\t', tab1 + 1);
            if (!Utf8Valid(line) || tab2 == std::string_view::npos) {
                ++Bad;
                continue;
            }
            const std::string_view key = line.substr(0, tab1), hash = line.substr(tab1 + 1, tab2 - tab1 - 1);
            const std::string_view payload = line.substr(tab2 + 1);
            // A key the sent file could not name (blank edges, empty) is damage, never pending.
            if (key.empty() || Trim(key) != key || StartsWith(key, "\xEF\xBB\xBF") ||
                hash != std::to_string(PayloadHash(payload))) {
                ++Bad;
                continue;
            }
            // A line names its sale twice: a key that disagrees with the plain "tx_key" its payload
            // starts with was damaged (the round trip's sample keys "yyyy-mm-dd:N" name samples).
            if (!KeyAgrees(key, payload)) {
                ++Bad;
                continue;
            }
            // The same line spooled twice goes out once.
            if (!Seen.insert(Id(key, hash)).second) continue;
            if (!Hidden(key, hash)) Entries.push_back({std::string(key), std::string(payload)});
        }
    }
    bool Hidden(std::string_view key, std::string_view hash) const {
        return Plain.count(LowerAscii(key)) > 0 || Hashed.count(Id(key, hash)) > 0;
    }
};

std::vector<TRef> Refs(const std::vector<TSpoolEntry>& entries) {
    std::vector<TRef> out;
    for (const TSpoolEntry& e : entries) {
        FUZZ_CHECK(!e.Sent);
        FUZZ_CHECK(e.Key.find_first_of("\t\n") == std::string::npos &&
                   e.Payload.find('\n') == std::string::npos);
        FUZZ_CHECK(Utf8Valid(e.Key) && Utf8Valid(e.Payload));
        out.push_back({e.Key, e.Payload});
    }
    return out;
}

std::vector<TRef> PendingOf(TSpool& spool, const std::string& day, int& bad) {
    std::vector<TSpoolEntry> entries;
    FUZZ_CHECK(spool.Pending(day, entries));
    bad = spool.BadLines();
    FUZZ_CHECK(bad >= 0);
    return Refs(entries);
}

} // namespace
} // namespace pavona::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pavona;
    using namespace pavona::fuzz;
    const std::vector<std::string> part = Parts(data, size, 5);
    const bool correction = part[0] == "cancel";
    const std::string day = correction ? "2026-10-06-cancel" : "2026-10-06";
    auto files = std::make_shared<TMemoryFiles>();
    const std::string spoolPath = kDir + "/spool-" + day + ".jsonl",
                      sentPath = kDir + "/sent-" + day + ".txt";
    files->Files[spoolPath] = part[1];
    if (!part[2].empty()) files->Files[sentPath] = part[2];

    // Read while the files grow, through one spool and its cache.
    TSpool cached(kDir, 0, files);
    int bad = 0;
    const std::vector<TRef> first = PendingOf(cached, day, bad);
    const TReference before(part[1], part[2]);
    FUZZ_CHECK(first == before.Entries && bad == before.Bad);
    files->Files[spoolPath] += part[3];
    if (!part[4].empty()) files->Files[sentPath] += part[4];
    const std::vector<TRef> grown = PendingOf(cached, day, bad);

    // A fresh spool and the plain reading agree with it.
    const std::string spoolText = files->Files[spoolPath];
    const std::string sentText = files->Files.count(sentPath) ? files->Files[sentPath] : "";
    const TReference after(spoolText, sentText);
    TSpool fresh(kDir, 0, files);
    int freshBad = 0;
    FUZZ_CHECK(PendingOf(fresh, day, freshBad) == grown);
    FUZZ_CHECK(grown == after.Entries);
    FUZZ_CHECK(bad == after.Bad && freshBad == after.Bad);
    const std::vector<std::string> days = fresh.PendingDays();
    FUZZ_CHECK(days ==
               (!correction && !grown.empty() ? std::vector<std::string>{day} : std::vector<std::string>{}));

    // Marking every other entry sent hides exactly those: on a sales day every entry of the same
    // key (keys compare without regard to case), on a correction day that correction only.
    std::vector<TSpoolEntry> mark;
    for (std::size_t i = 0; i < grown.size(); i += 2)
        mark.push_back({grown[i].Key, grown[i].Payload, false});
    FUZZ_CHECK(cached.MarkSentEntries(day, mark));
    std::vector<TRef> expected;
    std::set<std::string> marked;
    for (const TSpoolEntry& e : mark)
        marked.insert(correction ? Id(e.Key, std::to_string(PayloadHash(e.Payload))) : LowerAscii(e.Key));
    for (const TRef& e : grown)
        if (!marked.count(correction ? Id(e.Key, std::to_string(PayloadHash(e.Payload))) : LowerAscii(e.Key)))
            expected.push_back(e);
    FUZZ_CHECK(PendingOf(cached, day, bad) == expected);
    FUZZ_CHECK(PendingOf(fresh, day, freshBad) == expected);

    // A line appended now is pending after them, whatever the file ended with.
    const std::string key = "fz:1", payload = "{\"tx_key\":\"fz:1\"}";
    const std::string hash = std::to_string(PayloadHash(payload));
    const TReference now(files->Files[spoolPath], files->Files[sentPath]);
    const bool hidden = now.Hidden(key, hash);
    const bool twice = now.Seen.count(Id(key, hash)) > 0;
    FUZZ_CHECK(cached.Append(day, key, payload));
    if (!hidden && !twice) expected.push_back({key, payload});
    FUZZ_CHECK(PendingOf(cached, day, bad) == expected);
    return 0;
}
