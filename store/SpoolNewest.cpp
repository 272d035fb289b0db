// Day files are named by the day their window started, and one window never spans more than a
// day, so the newest sale is in the newest file with readable lines or the one before it.
#include "store/SpoolNewest.h"

#include "common/Text.h"
#include "platform/Platform.h"
#include "store/AgentLedger.h"

#include <algorithm>
#include <vector>

namespace pavona {

TDateTime NewestSpooledSale(const std::string& dir, TDateTime notAfter) {
    std::vector<std::string> names, days;
    if (!platform::ListFiles(dir, names)) return 0;
    for (const std::string& name : names) {
        // "spool-" + yyyy-mm-dd + ".jsonl"; correction files carry no sale of their own.
        if (name.size() != 22 || !StartsWith(name, "spool-") || !EndsWith(name, ".jsonl")) continue;
        days.push_back(name);
    }
    std::sort(days.rbegin(), days.rend());
    const std::int64_t limit = ToMSecs(notAfter);
    std::int64_t best = 0;
    int filesAfterFirstHit = -1;
    for (const std::string& name : days) {
        if (filesAfterFirstHit >= 1) break;
        std::string text;
        if (!platform::ReadWholeFile(platform::JoinPath(dir, name), text)) continue;
        bool hit = false;
        for (const std::string& raw : Split(text, '\n')) {
            TLedgerLine line;
            std::string_view l(raw);
            if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
            if (!ParseLedgerLine(l, line) || line.SoldAt <= 0) continue;
            const std::int64_t at = ToMSecs(line.SoldAt);
            if (at > limit) continue;
            best = std::max(best, at);
            hit = true;
        }
        if (filesAfterFirstHit >= 0)
            ++filesAfterFirstHit;
        else if (hit)
            filesAfterFirstHit = 0;
    }
    return best > 0 ? FromMSecs(best) : 0;
}

} // namespace pavona
