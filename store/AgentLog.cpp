// The daily agent log and the process-wide query log. Every call opens, appends and closes, so the
// tray agent and a console run can log into the same day file without coordinating.
#include "store/AgentLog.h"

#include "common/Text.h"
#include "config/AgentSettings.h"
#include "platform/Clock.h"
#include "platform/Platform.h"

#include <map>
#include <mutex>

namespace pavona {
namespace {

const char* const kLevelInfo = "정보";
const char* const kLevelWarn = "주의";
const char* const kLevelError = "오류";
const char* const kQueryCategory = "쿼리";

const std::string kFilePrefix = "agent-";
const std::string kFileSuffix = ".log";

std::string LogFileName(TDateTime day) {
    return kFilePrefix + FormatDay(day) + kFileSuffix;
}

// A line must never break: the log page and support read the file line by line, and the level
// search relies on every line starting with its own time and level.
std::string OneLine(const std::string& text) {
    std::string out = Utf8Sanitize(text);
    for (char& c : out)
        if (c == '\r' || c == '\n') c = ' ';
    return out;
}

struct TQueryLog {
    std::mutex Lock;
    std::map<std::string, TQueryRun> Runs;
};

// Built on first use and never destroyed, so a query logged while the process shuts down still
// finds its map.
TQueryLog& QueryLog() {
    static TQueryLog* log = new TQueryLog;
    return *log;
}

} // namespace

std::string LogDir() {
    std::string dir = platform::JoinPath(platform::ParentDir(SettingsPath()), "logs");
    if (dir.empty() || dir.back() != platform::kPathSep) dir.push_back(platform::kPathSep);
    return dir;
}

void WriteLog(const std::string& level, const std::string& category, const std::string& message) {
    try {
        // One reading of the clock names both the file and the stamp, so a line written across
        // midnight lands in the file of the day its stamp shows.
        const TDateTime now = Now();
        const std::string dir = LogDir();
        if (!platform::MakeDirs(dir)) return;
        std::string line = FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", now);
        line += "  ";
        line += OneLine(level);
        line += "  ";
        line += OneLine(category);
        line += "  ";
        line += OneLine(message);
        line += "\r\n";
        // The whole line in one append: other processes append to the same file at the same time.
        platform::AppendToFile(dir + LogFileName(now), line);
    } catch (...) {
        // Logging must never disturb the work it records; the line is lost.
    }
}

void LogInfo(const std::string& category, const std::string& message) {
    WriteLog(kLevelInfo, category, message);
}

void LogWarn(const std::string& category, const std::string& message) {
    WriteLog(kLevelWarn, category, message);
}

void LogError(const std::string& category, const std::string& message) {
    WriteLog(kLevelError, category, message);
}

std::vector<std::string> ReadLogDay(TDateTime day) {
    std::vector<std::string> lines;
    try {
        std::string text;
        if (!platform::ReadWholeFile(LogDir() + LogFileName(day), text)) return {};
        size_t pos = 0;
        if (StartsWith(text, "\xEF\xBB\xBF")) pos = 3;
        while (pos < text.size()) {
            const size_t end = text.find_first_of("\r\n", pos);
            // Text after the last line end belongs to a line another process is still writing (or
            // whose write was cut short); it is left out rather than shown half-written, and shows
            // up whole on the next read once its line end is there.
            if (end == std::string::npos) break;
            lines.push_back(Utf8Sanitize(std::string_view(text).substr(pos, end - pos)));
            pos = end + 1;
            if (text[end] == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
        }
    } catch (...) {
        return {};
    }
    return lines;
}

void PruneLogs(int days) {
    try {
        // A negative count would put the cut-off in the future and delete today's file.
        if (days < 0) return;
        const std::string dir = LogDir();
        if (!platform::DirExists(dir)) return;
        const std::string cutoff = FormatDay(IncDay(Today(), -days));
        std::vector<std::string> names;
        if (!platform::ListFiles(dir, names)) return;
        for (const std::string& name : names) {
            if (name.size() < kFilePrefix.size() + kFileSuffix.size()) continue;
            if (!StartsWith(name, kFilePrefix) || !EndsWith(name, kFileSuffix)) continue;
            // Byte order of UTF-8 is character-code order, so a plain comparison is the one wanted.
            const std::string stamp = Utf8Left(std::string_view(name).substr(kFilePrefix.size()), 10);
            if (stamp < cutoff) platform::RemoveFile(dir + name);
        }
    } catch (...) {
        // Pruning is housekeeping; a file that cannot go now goes at a later start.
    }
}

void RecordQueryRun(const std::string& name, const std::string& sql, const std::string& params,
                    const std::string& error, int rows, int ms) {
    try {
        {
            TQueryLog& log = QueryLog();
            std::lock_guard<std::mutex> lock(log.Lock);
            TQueryRun& run = log.Runs[name];
            run.Name = name;
            run.At = Now();
            run.Ms = ms;
            run.Rows = rows;
            run.Params = params;
            run.Sql = sql;
            run.Error = error;
            ++run.Count;
        }
        if (!error.empty())
            WriteLog(kLevelError, kQueryCategory,
                     Fmt("%s — %s (%d ms) %s", name.c_str(), error.c_str(), ms, params.c_str()));
        else
            WriteLog(kLevelInfo, kQueryCategory,
                     Fmt("%s — %d행 · %d ms %s", name.c_str(), rows, ms, params.c_str()));
    } catch (...) {
        // Recording a query run is bookkeeping beside the query; it must not fail the query.
    }
}

std::vector<TQueryRun> QueryRuns() {
    std::vector<TQueryRun> out;
    try {
        TQueryLog& log = QueryLog();
        std::lock_guard<std::mutex> lock(log.Lock);
        out.reserve(log.Runs.size());
        for (const auto& [name, run] : log.Runs)
            out.push_back(run);
    } catch (...) {
        return {};
    }
    return out;
}

void ClearQueryRunsForTests() {
    TQueryLog& log = QueryLog();
    std::lock_guard<std::mutex> lock(log.Lock);
    log.Runs.clear();
}

} // namespace pavona
