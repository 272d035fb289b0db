// Turns the POS connection string the store entered (usually an ADO string for SQL Server) into
// the string the ODBC driver manager opens, without touching what the settings hold.
#pragma once

#include <string>

namespace pavona {

enum class TConnKind {
    SqlServer, // translated from an ADO SQL Server string to this system's SQL Server driver
    Sqlite,    // the embedded POS through the SQLite3 driver, forced read-only
    Odbc,      // any other Driver= or DSN= string, passed on unchanged
};

struct TConnTarget {
    bool Ok = false;
    TConnKind Kind = TConnKind::Odbc;
    std::string OdbcString;
    std::string SqliteFile; // the embedded POS file as the store wrote it (Sqlite only)
    std::string Error;      // Korean, for the operator
};

// One value written for an ODBC connection string: braced when it holds ; { } or edge blanks.
std::string OdbcConnValue(const std::string& value);

// Reads "key=value;..." pairs (values may be quoted with " or ', a doubled quote inside standing
// for one, or braced as ODBC writes them); keys are matched without regard to case.
// SQL Server strings go to this system's driver (platform::SqlServerOdbcDriver).
TConnTarget TranslateConnString(const std::string& text);
// The same for a given SQL Server driver: "FreeTDS", or one of Microsoft's ("SQL Server", "ODBC
// Driver 17 for SQL Server", "ODBC Driver 18 for SQL Server"), which name the port after a comma.
TConnTarget TranslateConnString(const std::string& text, const std::string& sqlServerDriver);

} // namespace pavona
