// A small POS database for the reader tests: the eight tables typed as the store's SQL Server
// types them, with receipts placed exactly at window bounds, NULLs and times in several text forms.
#pragma once

#include <string>

namespace pavona::test {

// Writes the fixture to `path` (replacing it); false with the SQLite message in `error`.
bool MakeFixturePos(const std::string& path, std::string& error);
// Runs SQL on the file through SQLite directly (a writer beside the read-only agent).
bool RunFixtureSql(const std::string& path, const std::string& sql, std::string& error);
// The connection string the store would enter for the file.
std::string FixtureConnStr(const std::string& path);

} // namespace pavona::test
