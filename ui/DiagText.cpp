// The diagnostic pages' texts, kept free of widgets so they run on the pages' worker thread and
// test as plain functions.
#include "ui/DiagText.h"

#include "engine/AgentMonitor.h"
#include "ui/PageText.h"

#include <QStringList>

#include <map>

namespace pavona {

QString FileCell(const TFileSummary& f, int column) {
    switch (column) {
    case 0:
        return Q(f.FileDay);
    case 1:
        return Q(WonDigits(f.Lines));
    case 2:
        return Q(WonDigits(f.Sent));
    case 3:
        return Q(WonDigits(f.Lines - f.Sent));
    case 4:
        return FormatMegabytes(f.Bytes);
    default:
        return {};
    }
}

QString SendCell(const TSendRecord& r, int column) {
    switch (column) {
    case 0:
        return Q(FormatStamp(r.At));
    case 1:
        return Q(r.Kind);
    case 2:
        return Q(r.FileDay).remove("-cancel");
    case 3:
        return Q(WonDigits(r.Lines));
    case 4:
        return Q(WonDigits(r.Accepted));
    case 5:
        return Q(WonDigits(r.Duplicated));
    case 6:
        return Q(WonDigits(r.Rejected));
    case 7:
        return r.Ok ? "성공" : "실패";
    case 8:
        return Q(r.Note);
    default:
        return {};
    }
}

QString SendsSummary(const std::vector<TSendRecord>& records, TDateTime today) {
    if (records.empty())
        return "아직 보낸 기록이 없습니다 (이 판부터 기록합니다 — 그 전에 보낸 줄은 위 「보낸 줄」 에 들어 "
               "있습니다).";
    const TDateTime day = DateOf(today);
    int count = 0, failed = 0;
    std::int64_t accepted = 0;
    TDateTime lastOk = 0;
    for (const TSendRecord& r : records) {
        if (r.Ok && (lastOk == 0 || ToMSecs(r.At) > ToMSecs(lastOk))) lastOk = r.At;
        if (DateOf(r.At) != day) continue;
        ++count;
        if (r.Ok)
            accepted += r.Accepted;
        else
            ++failed;
    }
    const QString last =
        lastOk != 0 ? " · 마지막 성공 " + Q(FormatDateTime("mm-dd hh:nn", lastOk)) : QString();
    // One arg() call for all: a later arg() would also fill a "%n" that an earlier value brought in.
    return QString("오늘 %1번 보냄 · 협회가 받은 줄 %2 · 실패 %3번%4")
        .arg(QString::number(count), Q(WonDigits(accepted)), QString::number(failed), last);
}

std::vector<TQueryRow> MergeQueryRuns(const std::vector<TPosQuery>& catalogue,
                                      const std::vector<TQueryRun>& runs) {
    std::map<std::string, const TQueryRun*> byName;
    for (const TQueryRun& r : runs)
        byName[r.Name] = &r;
    std::vector<TQueryRow> rows;
    rows.reserve(catalogue.size());
    for (const TPosQuery& q : catalogue) {
        TQueryRow row;
        row.Query = q;
        if (const auto found = byName.find(q.Name); found != byName.end()) {
            row.HasRun = true;
            row.Run = *found->second;
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

QString QueryCell(const TQueryRow& row, int column) {
    const TQueryRun& r = row.Run;
    switch (column) {
    case 0:
        return Q(row.Query.Name);
    case 1:
        return Q(row.Query.Purpose);
    case 2:
        return row.HasRun ? Q(FormatDateTime("hh:nn:ss", r.At)) : QString("—");
    case 3:
        return row.HasRun ? QString("%1 ms").arg(r.Ms) : QString();
    case 4:
        if (!row.HasRun) return {};
        return r.Error.empty() ? Q(WonDigits(r.Rows)) : QString("오류");
    case 5:
        return row.HasRun ? QString::number(r.Count) : QString("0");
    default:
        return {};
    }
}

namespace {

// The catalogue keeps its statements with CR LF; the memo wants one line end.
QString MemoLines(const std::string& sql) {
    return Q(sql).replace("\r\n", "\n");
}

} // namespace

QString QueryDetail(const TQueryRow& row) {
    QStringList lines;
    lines << "-- " + Q(row.Query.Name) << "-- " + Q(row.Query.Purpose);
    if (row.HasRun) {
        const TQueryRun& r = row.Run;
        const QString outcome = r.Error.empty() ? Q(WonDigits(r.Rows)) + "행" : "오류: " + Q(r.Error);
        lines << QString("-- 마지막 실행 %1 · %2 ms · %3 · 이번 실행에서 %4번")
                     .arg(Q(FormatStamp(r.At)), QString::number(r.Ms), outcome, QString::number(r.Count));
        if (!r.Params.empty()) lines << "-- 값: " + Q(r.Params);
        lines << QString() << MemoLines(r.Sql);
    } else {
        // "%s" names the statements' own list slot (IN (%s)), filled at run time like :p1.
        lines << "-- 이번 실행에서는 아직 던지지 않았습니다. 아래는 질의의 틀입니다(%s · :p1 자리는 실행 때 "
                 "채운다)."
              << QString() << MemoLines(row.Query.Sql);
    }
    return lines.join('\n');
}

TLogColumns SplitLogLine(const QString& line) {
    static const QString kSeparator = QStringLiteral("  ");
    qsizetype cuts[3];
    qsizetype from = 0;
    for (qsizetype& cut : cuts) {
        cut = line.indexOf(kSeparator, from);
        if (cut < 0) return {QString(), QString(), QString(), line};
        from = cut + 2;
    }
    TLogColumns c;
    c.Time = line.left(cuts[0]).mid(11, 8);
    c.Level = line.mid(cuts[0] + 2, cuts[1] - cuts[0] - 2);
    c.Category = line.mid(cuts[1] + 2, cuts[2] - cuts[1] - 2);
    c.Text = line.mid(cuts[2] + 2);
    return c;
}

bool IsWarningLine(const QString& line) {
    return line.contains(QStringLiteral("  주의  ")) || line.contains(QStringLiteral("  오류  "));
}

TLogDay PrepareLogDay(TDateTime day, const std::vector<std::string>& lines) {
    TLogDay out;
    out.Day = day;
    out.Lines.reserve(lines.size());
    out.Lower.reserve(lines.size());
    out.Warning.reserve(lines.size());
    for (const std::string& raw : lines) {
        QString line = Q(raw);
        if (line.trimmed().isEmpty()) continue;
        const bool warning = IsWarningLine(line);
        out.Warnings += warning ? 1 : 0;
        out.Warning.push_back(warning);
        out.Lower.push_back(line.toLower());
        out.Lines.push_back(std::move(line));
    }
    return out;
}

std::vector<int> FilterLog(const TLogDay& day, bool onlyWarnings, const QString& key) {
    std::vector<int> shown;
    for (int i = static_cast<int>(day.Lines.size()) - 1; i >= 0; --i) {
        const auto at = static_cast<size_t>(i);
        if (onlyWarnings && !day.Warning[at]) continue;
        if (!key.isEmpty() && !day.Lower[at].contains(key)) continue;
        shown.push_back(i);
    }
    return shown;
}

QString LogSumText(int shown, int warnings, const std::string& filePath) {
    return QString("%1줄 보임 · 이 날 주의 · 오류 %2건 · 파일 %3")
        .arg(Q(WonDigits(shown)), QString::number(warnings), Q(filePath));
}

std::string LogFileOf(TDateTime day) {
    return LogDir() + "agent-" + FormatDay(day) + ".log";
}

} // namespace pavona
