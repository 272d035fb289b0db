// The send log: appending records as single lines and reading the newest ones from the file's end.
#include "store/AgentSendLog.h"

#include "common/Text.h"
#include "config/AgentSettings.h"
#include "platform/Platform.h"
#include "store/AgentLog.h"
#include "store/SpoolFiles.h"

namespace pavona {
namespace {

constexpr std::int64_t kChunk = 64 * 1024;

// A field must stay on its line and in its column: a CR LF pair, and any lone CR, LF or tab,
// becomes one space.
std::string FieldText(const std::string& s) {
    std::string out = ReplaceAll(s, "\r\n", " ");
    for (char& c : out)
        if (c == '\t' || c == '\r' || c == '\n') c = ' ';
    return out;
}

// Splits text into lines; a CR LF pair, a lone CR or a lone LF ends a line.
void SplitAnyBreak(std::string_view text, std::vector<std::string_view>& lines) {
    size_t start = 0, i = 0;
    while (i < text.size()) {
        if (text[i] == '\r' || text[i] == '\n') {
            lines.push_back(text.substr(start, i - start));
            i += (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < text.size()) lines.push_back(text.substr(start));
}

bool ParseRecord(std::string_view line, TSendRecord& r) {
    const std::vector<std::string> f = Split(line, '\t');
    if (f.size() < 8) return false;
    TDateTime at = 0;
    if (!ParseStampText(f[0], at)) return false;
    r = TSendRecord{};
    r.At = at;
    r.Kind = f[1];
    r.FileDay = f[2];
    r.Lines = StrToIntDef(f[3], 0);
    r.Accepted = StrToIntDef(f[4], 0);
    r.Duplicated = StrToIntDef(f[5], 0);
    r.Rejected = StrToIntDef(f[6], 0);
    r.Ok = f[7] == "ok";
    if (f.size() > 8) r.Note = f[8];
    return true;
}

} // namespace

std::string SendLogPath() {
    return platform::JoinPath(SpoolDir(), "sendlog.tsv");
}

std::string SendRecordLine(const TSendRecord& r) {
    return FormatStamp(r.At) + "\t" + FieldText(r.Kind) + "\t" + FieldText(r.FileDay) + "\t" +
           std::to_string(r.Lines) + "\t" + std::to_string(r.Accepted) + "\t" + std::to_string(r.Duplicated) +
           "\t" + std::to_string(r.Rejected) + "\t" + (r.Ok ? "ok" : "fail") + "\t" + FieldText(r.Note) +
           "\r\n";
}

void AppendSendRecordTo(const std::string& path, const TSendRecord& r) {
    try {
        const std::string dir = platform::ParentDir(path);
        if (!dir.empty()) platform::MakeDirs(dir);
        AppendLinesTo(*PlatformSpoolFiles(), path, SendRecordLine(r), false);
    } catch (...) {
        // A lost record only thins the history page; the agent-log line below is still written.
    }
    if (r.Ok)
        LogInfo("전송", Fmt("%s %d줄 → 받음 %d · 중복 %d · 거절 %d (%s)", r.Kind.c_str(), r.Lines, r.Accepted,
                            r.Duplicated, r.Rejected, r.FileDay.c_str()));
    else
        LogError("전송",
                 Fmt("%s %d줄 실패 — %s (%s)", r.Kind.c_str(), r.Lines, r.Note.c_str(), r.FileDay.c_str()));
}

void AppendSendRecord(const TSendRecord& r) {
    std::string path;
    try {
        path = SendLogPath();
    } catch (...) {
    }
    AppendSendRecordTo(path, r);
}

std::vector<TSendRecord> ReadSendLogFile(const std::string& path, int maxCount) {
    std::vector<TSendRecord> out;
    if (maxCount <= 0 || path.empty()) return out;
    const std::int64_t size = platform::FileExists(path) ? platform::FileSize(path) : -1;
    if (size < 0) return out;
    // Read backwards in chunks. Everything after the first LF of what was read splits into the same
    // lines as in the whole file (an LF always ends a line), so only that part is parsed; the piece
    // before it waits for the next chunk.
    std::string pending;
    std::int64_t pos = size;
    std::vector<std::string_view> lines;
    while (static_cast<int>(out.size()) < maxCount) {
        std::string_view ready;
        std::string chunk;
        if (pos > 0) {
            const std::int64_t from = pos > kChunk ? pos - kChunk : 0;
            if (!ReadFileRange(path, from, pos - from, chunk)) return {};
            pos = from;
            pending.insert(0, chunk);
        }
        size_t cut = 0;
        if (pos > 0) {
            const size_t lf = pending.find('\n');
            if (lf == std::string::npos) continue;
            cut = lf + 1;
        } else if (StartsWith(pending, "\xEF\xBB\xBF")) {
            cut = 3;
        }
        ready = std::string_view(pending).substr(cut);
        lines.clear();
        SplitAnyBreak(ready, lines);
        for (auto it = lines.rbegin(); it != lines.rend() && static_cast<int>(out.size()) < maxCount; ++it) {
            TSendRecord r;
            if (ParseRecord(*it, r)) out.push_back(std::move(r));
        }
        if (pos == 0) break;
        pending.resize(cut);
    }
    return out;
}

std::vector<TSendRecord> ReadSendLog(int maxCount) {
    try {
        return ReadSendLogFile(SendLogPath(), maxCount);
    } catch (...) {
        return {};
    }
}

} // namespace pavona
