// The texts of the three diagnostic pages: the spool files and the send log, the query catalogue
// beside this process's runs, and one day of the agent log split into its columns and filtered.
#pragma once

#include "common/DateTime.h"
#include "pos/PosCatalogue.h"
#include "store/AgentLedger.h"
#include "store/AgentLog.h"
#include "store/AgentSendLog.h"

#include <QString>

#include <string>
#include <vector>

namespace pavona {

// ---- send history -------------------------------------------------------------------------------
// "수집 시작일", "쌓은 줄", "보낸 줄", "남은 줄", "파일 크기".
QString FileCell(const TFileSummary& f, int column);
// "보낸 시각", "종류", "수집 시작일", "줄", "받음", "중복", "거절", "결과", "비고".
QString SendCell(const TSendRecord& r, int column);
// Today's sends, what the association took of them, the failures, and the last success of any day.
QString SendsSummary(const std::vector<TSendRecord>& records, TDateTime today);

// ---- queries ------------------------------------------------------------------------------------
// One row of the query page: a catalogue entry and, once this process ran it, its last run.
struct TQueryRow {
    TPosQuery Query;
    bool HasRun = false;
    TQueryRun Run;
};
// The catalogue in its order, each entry with its run when there is one.
std::vector<TQueryRow> MergeQueryRuns(const std::vector<TPosQuery>& catalogue,
                                      const std::vector<TQueryRun>& runs);
// "질의", "하는 일", "마지막 실행", "걸린 시간", "행", "횟수".
QString QueryCell(const TQueryRow& row, int column);
// The memo under the list: the statement as it was sent with its values, or the catalogue's
// template when it has not run yet.
QString QueryDetail(const TQueryRow& row);

// ---- log ----------------------------------------------------------------------------------------
struct TLogColumns {
    QString Time, Level, Category, Text;
};
// A log line divided at the double blanks between its fields. Without all four fields the whole
// line is the text; a message that holds double blanks itself is kept whole.
TLogColumns SplitLogLine(const QString& line);
// The level word with two blanks on each side is "주의" or "오류".
bool IsWarningLine(const QString& line);

// One day of the log, made once per load: the non-blank lines in file order.
struct TLogDay {
    TDateTime Day = 0;
    std::vector<QString> Lines;
    std::vector<QString> Lower; // lower-cased, for the search
    std::vector<bool> Warning;
    int Warnings = 0; // over the whole day, whatever is shown
};
TLogDay PrepareLogDay(TDateTime day, const std::vector<std::string>& lines);
// Indexes into day.Lines of the lines shown, newest first.
std::vector<int> FilterLog(const TLogDay& day, bool onlyWarnings, const QString& key);
// "1,234줄 보임 · 이 날 주의 · 오류 5건 · 파일 <path>".
QString LogSumText(int shown, int warnings, const std::string& filePath);
// The day's file: the log folder + "agent-yyyy-mm-dd.log".
std::string LogFileOf(TDateTime day);

} // namespace pavona
