// The SQL dialect of the connected POS database and the rewrite of the catalogue's T-SQL for the
// embedded (SQLite) POS, so one catalogue serves both.
#pragma once

#include <string>

namespace pavona {

enum class TPosDialect { SqlServer, Sqlite };

// From the driver's database product name ("SQLite" → Sqlite; anything else is SQL Server).
TPosDialect DialectOfDbms(const std::string& dbmsName);

// The statement as it runs in `dialect`: SQL Server text is returned unchanged. For SQLite the
// table hints go, "TOP (n)" becomes a trailing "LIMIT n", day conversions become date(), window
// comparisons on *_date columns compare instants (julianday on both sides, so "09:00:00" and
// "09:00:00.000" are the same moment), and the schema listing reads SQLite's table info.
// `sql` is the catalogue text with its lists and limits already filled in.
std::string DialectSql(TPosDialect dialect, const std::string& name, const std::string& sql);

} // namespace pavona
