// Fuzz target: the spool's small state files as found on disk (watermark.txt, since.txt, point.txt,
// hold.txt).
#include "common/Text.h"
#include "fuzz/FuzzSupport.h"
#include "store/AgentSpool.h"

// Properties: a stamp reads as unset or as a real time from the year 2000 on; what the spool writes
// reads back exactly; the pinned point and the hold read as their first line, trimmed, and a point
// once pinned is the same point on the next check. Input: the four files' contents, separated by
// 0x1E, then a point as the association names it.

namespace pavona::fuzz {
namespace {

const std::string kDir = "/mem/spool";

// The first line of a file as the format defines it: a byte-order mark skipped, cut at LF, trimmed.
std::string FirstLine(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    return Trim(text.substr(0, text.find('\n')));
}

// The point as the pin file can hold it: trimmed, without a leading byte-order mark, one line.
std::string PinnableText(std::string_view got) {
    std::string text = Trim(got);
    while (text.rfind("\xEF\xBB\xBF", 0) == 0)
        text = Trim(text.substr(3));
    for (char& c : text)
        if (c == '\r' || c == '\n') c = ' ';
    return text;
}

void CheckStamp(TDateTime t) {
    if (t == 0) return;
    const TDateParts p = DecodeDateTime(t);
    FUZZ_CHECK(p.Year >= 2000 && p.Year <= 9999 && IsValidDate(p.Year, p.Month, p.Day));
    FUZZ_CHECK(p.MSec == 0);
}

} // namespace
} // namespace pavona::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pavona;
    using namespace pavona::fuzz;
    const std::vector<std::string> part = Parts(data, size, 5);
    auto files = std::make_shared<TMemoryFiles>();
    const char* names[] = {"watermark.txt", "since.txt", "point.txt", "hold.txt"};
    for (int i = 0; i < 4; ++i)
        if (!part[static_cast<std::size_t>(i)].empty())
            files->Files[kDir + "/" + names[i]] = part[static_cast<std::size_t>(i)];
    TSpool spool(kDir, 0, files);

    const TDateTime watermark = spool.Watermark();
    CheckStamp(watermark);
    FUZZ_CHECK(ToMSecs(watermark) == ToMSecs(ParseStamp(FirstLine(part[0]))));
    const TDateTime since = spool.Since();
    CheckStamp(since);
    FUZZ_CHECK(spool.Held() == FirstLine(part[3]));

    // What the spool writes, it reads back: the stamp of the time read, and the time itself.
    if (watermark != 0) {
        FUZZ_CHECK(spool.SetWatermark(watermark));
        FUZZ_CHECK(ToMSecs(spool.Watermark()) == ToMSecs(watermark));
        FUZZ_CHECK(files->Files[kDir + "/watermark.txt"] == FormatStamp(watermark) + "\r\n");
    }
    // A since stamp, once set, is never moved.
    const TDateTime later = since != 0 ? IncDay(since, 1) : EncodeDateTime(2026, 10, 6, 9, 30, 0);
    FUZZ_CHECK(spool.SetSinceOnce(later));
    FUZZ_CHECK(ToMSecs(spool.Since()) == ToMSecs(since != 0 ? since : later));

    // The point: the pinned one is the first line; an empty pin takes the new point, a set one
    // compares exactly with the trimmed point and is never changed.
    const std::string have = FirstLine(part[2]);
    const std::string point = PinnableText(part[4]);
    const std::string before =
        files->Files.count(kDir + "/point.txt") ? files->Files[kDir + "/point.txt"] : "";
    const Result<TPointCheck> check = spool.CheckPoint(part[4]);
    FUZZ_CHECK(check.Ok());
    FUZZ_CHECK(check.Value().Have == have);
    if (point.empty()) {
        FUZZ_CHECK(!check.Value().Same && !check.Value().Pinned);
    } else if (!have.empty()) {
        FUZZ_CHECK(check.Value().Same == (have == point) && !check.Value().Pinned);
        FUZZ_CHECK(files->Files[kDir + "/point.txt"] == before);
    } else {
        FUZZ_CHECK(check.Value().Same && check.Value().Pinned);
        // The point just pinned is this spool's point from now on.
        const Result<TPointCheck> again = spool.CheckPoint(part[4]);
        FUZZ_CHECK(again.Ok() && again.Value().Same && !again.Value().Pinned);
    }
    return 0;
}
