// The send log (sendlog.tsv in the spool folder): one tab-separated record per attempt to hand
// spooled lines to the association server, each also written to the agent log.
#pragma once

#include "common/DateTime.h"
#include "store/SpoolFiles.h"

#include <string>
#include <vector>

namespace pavona {

struct TSendRecord {
    TDateTime At = 0;
    std::string Kind;    // "실적" or "취소"
    std::string FileDay; // spool day name the lines came from
    int Lines = 0;
    int Accepted = 0;
    int Duplicated = 0;
    int Rejected = 0;
    bool Ok = false;
    std::string Note;
    // Written to the agent log beside the note, never to the send log: the transport's reason or
    // why an answer was refused.
    std::string LogDetail;
};

std::string SendLogPath();
// Appends the record (failures ignored) and always writes its "전송" agent-log line.
void AppendSendRecord(const TSendRecord& r);
// At most `maxCount` records, newest first; damaged lines are passed over.
std::vector<TSendRecord> ReadSendLog(int maxCount);

// The same on a given file (the two calls above use SendLogPath()).
void AppendSendRecordTo(const std::string& path, const TSendRecord& r);
std::vector<TSendRecord> ReadSendLogFile(const std::string& path, int maxCount);
// Reading through the given files (tests and benchmarks count what is read).
std::vector<TSendRecord> ReadSendLogFile(TSpoolFiles& files, const std::string& path, int maxCount);
// One record as its line, CR LF included.
std::string SendRecordLine(const TSendRecord& r);

} // namespace pavona
