// The demo POS database file: schema of the eight tables, and a thin connection with prepared
// inserts used by the generator and the row-by-row additions. Two writers stand behind TDemoDb:
// the sqlite3 library (DemoDbSqlite.cpp, library pavona_demopos) and ODBC through the SQLite3
// driver (DemoDbOdbc.cpp, pavona_demopos_odbc, for systems without the sqlite3 library).
#pragma once

#include "tools/demopos/DemoPos.h"

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace pavona::demopos {

// The CREATE statements, typed as the store's SQL Server declares the columns (docs/pos-schema.md).
extern const char* const kSchemaSql;
// Indexes the agent's statements lean on (window on the date, lines by receipt).
extern const char* const kIndexSql;

// Name padded with blanks to `width` the way a char(n) column in the Korean code page pads it:
// a Hangul (or any non-ASCII) character takes two bytes, ASCII one.
std::string PadChar(const std::string& text, int width);

// SQL text cut into its statements at the semicolons outside quotes and "--" comments, each
// trimmed, empty ones dropped. Not for trigger bodies, whose inner semicolons it would cut at.
std::vector<std::string> SplitStatements(const std::string& sql);

class TDemoDb {
  public:
    TDemoDb();
    ~TDemoDb();
    TDemoDb(const TDemoDb&) = delete;
    TDemoDb& operator=(const TDemoDb&) = delete;

    // Opens an existing file (create = false) or makes a new one. Through ODBC `path` is what the
    // SQLite3 driver opens, which under wine's bridge is the host's (Unix) path.
    bool Open(const std::string& path, bool create);
    // One or more statements separated by semicolons.
    bool Exec(const std::string& sql);
    bool Begin();
    bool Commit();
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
    // The tables rows go into, each through one statement prepared on first use and kept.
    enum class TTable : int { Ord, Ordd, Cancel, CancelLine, Goods, Coupon, Sponsor, Group };
    static constexpr int kTables = 8;
    // A stored value: NULL, an integer or UTF-8 text. Both writers store exactly these, so a
    // file reads the same whichever wrote it.
    using TValue = std::variant<std::monostate, std::int64_t, std::string>;

    static const char* InsertSql(TTable table);
    // Each writer's own: binds the values in column order and runs the table's insert.
    bool InsertRow(TTable table, std::initializer_list<TValue> values);

    // The writer's connection and statements, defined by each writer.
    struct TConn;
    std::unique_ptr<TConn> FConn;
    std::string FError;
};

} // namespace pavona::demopos
