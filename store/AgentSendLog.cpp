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
constexpr std::string_view kBom = "\xEF\xBB\xBF";
// No record comes near this length (a note is one error text). A longer line is damage, such as a
// file that lost its line breaks, and is passed over without being held.
constexpr size_t kMaxLine = 64 * 1024;

// A field must stay on its line and in its column: a CR LF pair, and any lone CR, LF or tab,
// becomes one space.
std::string FieldText(const std::string& s) {
    std::string out = ReplaceAll(s, "\r\n", " ");
    for (char& c : out)
        if (c == '\t' || c == '\r' || c == '\n') c = ' ';
    return out;
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
                 Fmt("%s %d줄 실패 — %s (%s)%s", r.Kind.c_str(), r.Lines, r.Note.c_str(), r.FileDay.c_str(),
                     r.LogDetail.empty() ? "" : (" [" + r.LogDetail + "]").c_str()));
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
    return ReadSendLogFile(*PlatformSpoolFiles(), path, maxCount);
}

std::vector<TSendRecord> ReadSendLogFile(TSpoolFiles& files, const std::string& path, int maxCount) {
    std::vector<TSendRecord> out;
    if (maxCount <= 0 || path.empty()) return out;
    const std::int64_t size = files.Size(path);
    if (size < 0) return out;
    const auto full = [&] { return static_cast<int>(out.size()) >= maxCount; };
    // Lines are taken from the end backwards, chunk by chunk, and only the line being read is kept
    // across chunks: the work is linear and the memory bounded whatever the file holds. A CR and an
    // LF each end a line here; the empty line this makes inside a CR LF pair is no record, so it is
    // passed over like any other damaged line.
    std::string chunk;
    std::string tail;      // the line's bytes from the chunks after the one being read
    bool overlong = false; // the line is already longer than kMaxLine: its bytes are not kept
    // The line being read starts with `head`: it is whole, and the next one read is the one before.
    const auto lineStarts = [&](std::string_view head) {
        const size_t length = head.size() + tail.size();
        if (!overlong && length > 0 && length <= kMaxLine) {
            TSendRecord r;
            if (tail.empty() ? ParseRecord(head, r) : ParseRecord(std::string(head) + tail, r))
                out.push_back(std::move(r));
        }
        tail.clear();
        overlong = false;
    };
    std::int64_t pos = size;
    while (pos > 0 && !full()) {
        // The chunk at the file's start is never cut inside a byte-order mark.
        const std::int64_t from = pos - kChunk < static_cast<std::int64_t>(kBom.size()) ? 0 : pos - kChunk;
        if (!files.ReadRange(path, from, pos - from, chunk) ||
            static_cast<std::int64_t>(chunk.size()) != pos - from)
            return {};
        pos = from;
        const std::string_view view(chunk);
        size_t end = view.size(); // the bytes before `end` have not been given to a line yet
        for (size_t i = end; i-- > 0 && !full();) {
            if (view[i] != '\r' && view[i] != '\n') continue;
            lineStarts(view.substr(i + 1, end - i - 1));
            end = i;
        }
        if (full()) break;
        std::string_view rest = view.substr(0, end);
        if (pos == 0) {
            if (StartsWith(rest, kBom)) rest.remove_prefix(kBom.size());
            lineStarts(rest);
        } else if (!overlong) {
            if (rest.size() + tail.size() > kMaxLine) {
                overlong = true;
                tail.clear();
            } else {
                tail.insert(0, rest);
            }
        }
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
