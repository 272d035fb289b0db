// A thin SQLite layer for the reference server's state file: one connection, prepared statements
// with positional parameters, and a transaction guard.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>

namespace pavona::refserver {

class RefStmt {
  public:
    RefStmt(sqlite3* db, const std::string& sql);
    ~RefStmt();
    RefStmt(const RefStmt&) = delete;
    RefStmt& operator=(const RefStmt&) = delete;

    bool Valid() const { return FStmt != nullptr; }
    // Parameters are numbered from 1 in the order they are bound.
    RefStmt& Bind(const std::string& text);
    RefStmt& Bind(const char* text) { return Bind(std::string(text)); }
    RefStmt& Bind(int64_t value);
    RefStmt& Bind(int value) { return Bind(static_cast<int64_t>(value)); }
    RefStmt& Bind(const std::optional<int64_t>& value);
    RefStmt& BindNull();
    // Moves to the next row: true while there is one. Errors end the rows and set Failed().
    bool Next();
    // Runs a statement that returns no rows; false on error.
    bool Run();
    bool Failed() const { return FFailed; }

    std::string Text(int col) const;
    int64_t Int(int col) const;
    bool IsNull(int col) const;

  private:
    sqlite3_stmt* FStmt = nullptr;
    int FNext = 1;
    bool FFailed = false;
};

class RefDb {
  public:
    RefDb() = default;
    ~RefDb();
    RefDb(const RefDb&) = delete;
    RefDb& operator=(const RefDb&) = delete;

    bool Open(const std::string& path, std::string& error);
    bool Exec(const std::string& sql);
    std::string Error() const;
    int64_t LastId() const;
    sqlite3* Handle() const { return FDb; }

  private:
    sqlite3* FDb = nullptr;
};

// Begins a transaction; rolls it back unless Commit() was called.
class RefTx {
  public:
    explicit RefTx(RefDb& db) : FDb(db) { FOpen = FDb.Exec("BEGIN IMMEDIATE"); }
    ~RefTx() {
        if (FOpen) FDb.Exec("ROLLBACK");
    }
    bool Commit() {
        if (!FOpen) return false;
        FOpen = false;
        return FDb.Exec("COMMIT");
    }
    bool Begun() const { return FOpen; }

  private:
    RefDb& FDb;
    bool FOpen = false;
};

} // namespace pavona::refserver
