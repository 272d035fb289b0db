// The demo POS database file: schema of the eight tables, and a thin sqlite3 connection with
// prepared inserts used by the generator and the row-by-row additions.
#pragma once

#include "tools/demopos/DemoPos.h"

#include <cstdint>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace pavona::demopos {

// The CREATE statements, typed as the store's SQL Server declares the columns (docs/pos-schema.md).
extern const char* const kSchemaSql;
// Indexes the agent's statements lean on (window on the date, lines by receipt).
extern const char* const kIndexSql;

// Name padded with blanks to `width` the way a char(n) column in the Korean code page pads it:
// a Hangul (or any non-ASCII) character takes two bytes, ASCII one.
std::string PadChar(const std::string& text, int width);

class TDemoDb {
  public:
    TDemoDb() = default;
    ~TDemoDb();
    TDemoDb(const TDemoDb&) = delete;
    TDemoDb& operator=(const TDemoDb&) = delete;

    // Opens an existing file (create = false) or makes a new one.
    bool Open(const std::string& path, bool create);
    bool Exec(const std::string& sql);
    bool Begin() { return Exec("BEGIN"); }
    bool Commit() { return Exec("COMMIT"); }
    void Rollback();
    // Largest value of an integer column, 0 for an empty table; -1 on error.
    std::int64_t MaxOf(const char* table, const char* column);
    const std::string& Error() const { return FError; }

    bool InsertReceipt(const TDemoReceipt& r);
    bool InsertCancel(const TDemoCancel& c);
    // Master rows (the padded text goes in as given).
    bool InsertGoods(const TDemoGoods& g);
    bool InsertCoupon(const TDemoCoupon& c);
    bool InsertSponsor(std::int64_t code, const std::string& name);
    bool InsertGroupMember(int group, std::int64_t goods);

  private:
    bool Prepare(sqlite3_stmt*& st, const char* sql);
    bool Step(sqlite3_stmt* st);
    void SetError(const char* what);

    sqlite3* FDb = nullptr;
    sqlite3_stmt* FOrd = nullptr;
    sqlite3_stmt* FOrdd = nullptr;
    sqlite3_stmt* FCancel = nullptr;
    sqlite3_stmt* FCancelLine = nullptr;
    sqlite3_stmt* FGoods = nullptr;
    sqlite3_stmt* FCoupon = nullptr;
    sqlite3_stmt* FSponsor = nullptr;
    sqlite3_stmt* FGroup = nullptr;
    std::string FError;
};

} // namespace pavona::demopos
