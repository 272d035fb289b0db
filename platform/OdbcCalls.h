// The ODBC calls that carry text, in the form each system's drivers read it correctly: UTF-8
// through the narrow functions under unixODBC (its SQLite and FreeTDS drivers take UTF-8 there),
// UTF-16 through the wide functions on Windows (no code-page guessing by the driver manager).
#pragma once

#include "platform/SqlHeaders.h"

#include <string>

namespace pavona::platform {

SQLRETURN OdbcDriverConnect(SQLHDBC dbc, const std::string& connString);
SQLRETURN OdbcPrepare(SQLHSTMT stmt, const std::string& sql);
// Diagnostic record `i` (from 1) of the handle; false when there is none.
bool OdbcDiagRecord(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT i, std::string& state, std::string& message);
// The database product as the driver names it, empty when unknown.
std::string OdbcDbmsName(SQLHDBC dbc);

// The ODBC driver this system reaches SQL Server with: FreeTDS on Linux; on Windows the newest
// installed of "ODBC Driver 18 for SQL Server" and "ODBC Driver 17 for SQL Server", else the
// "SQL Server" driver every Windows has.
std::string SqlServerOdbcDriver();

} // namespace pavona::platform
