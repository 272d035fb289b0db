// The daily agent log (logs/agent-yyyy-mm-dd.log) and the in-memory query log of this process.
// Logging never raises and never reports a failure.
#pragma once

#include "common/DateTime.h"

#include <string>
#include <vector>

namespace pavona {

struct TQueryRun {
    std::string Name;
    TDateTime At = 0;
    int Ms = 0;
    int Rows = 0;
    std::string Params;
    std::string Sql;
    std::string Error;
    int Count = 0;
};

// The logs folder, ending in a path separator.
std::string LogDir();
void WriteLog(const std::string& level, const std::string& category, const std::string& message);
void LogInfo(const std::string& category, const std::string& message);
void LogWarn(const std::string& category, const std::string& message);
void LogError(const std::string& category, const std::string& message);
std::vector<std::string> ReadLogDay(TDateTime day);
void PruneLogs(int days);
void RecordQueryRun(const std::string& name, const std::string& sql, const std::string& params,
                    const std::string& error, int rows, int ms);
std::vector<TQueryRun> QueryRuns();
// Empties the query log, so a test starts from the state of a fresh process. Never called by the agent.
void ClearQueryRunsForTests();

} // namespace pavona
