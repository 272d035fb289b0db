// The floor a POS read is measured against: the sqlite3 command-line tool running the reader's own
// SQLite statement for a window on the same file, its output counted in lines.
#pragma once

#include "common/DateTime.h"
#include "common/Text.h"
#include "pos/AgentPos.h"

#include <cstdio>
#include <memory>
#include <string>

namespace pavona::bench {

// Writes the window's statement next to the database and gives the command that runs it; empty
// when the statement file cannot be written.
inline std::string SqliteToolCommand(const std::string& dbPath, TDateTime from, TDateTime to) {
    // Quoted by appending: GCC 12 misreads "literal" + string as an overlapping copy.
    const auto quoted = [](TDateTime t) {
        std::string q(1, '\'');
        q += FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", t);
        q += '\'';
        return q;
    };
    std::string sql = DialectSql(TPosDialect::Sqlite, SQL_SALES, PosQuerySql(SQL_SALES));
    sql = ReplaceAll(sql, ":p1", quoted(from));
    sql = ReplaceAll(sql, ":p2", quoted(to));
    const std::string sqlPath = dbPath + ".sql";
    std::FILE* f = std::fopen(sqlPath.c_str(), "wb");
    if (f == nullptr) return {};
    std::fputs((ReplaceAll(sql, "\r\n", "\n") + ";\n").c_str(), f);
    std::fclose(f);
    return "sqlite3 -readonly '" + dbPath + "' < '" + sqlPath + "'";
}

// Runs the command and counts the lines it prints; -1 when the tool fails.
inline std::int64_t SqliteToolLines(const std::string& command) {
    std::FILE* p = popen(command.c_str(), "r");
    if (p == nullptr) return -1;
    std::int64_t lines = 0;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        for (size_t i = 0; i < n; ++i)
            lines += buf[i] == '\n';
    // The tool's exit status says whether it read the file.
    return pclose(p) == 0 ? lines : -1;
}

} // namespace pavona::bench
