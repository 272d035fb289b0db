// One statement on an ODBC connection with named parameters (":p1", ":o0", ...) that keep their
// types, run to completion: every row is read into memory, so a failure never leaves half a result.
#pragma once

#include "common/DateTime.h"
#include "pos/OdbcConnection.h"
#include "pos/OdbcValue.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace pavona {

struct TOdbcParam {
    enum class TType { DateTime, Int64, Text };
    std::string Name; // without the colon
    TType Type = TType::Text;
    TDateTime DateTime = 0;
    std::int64_t Int64 = 0;
    std::string Text;
};

// The statement with each ":name" outside quotes and comments replaced by "?"; `names` receives the
// names in order of appearance (a name used twice appears twice).
std::string OdbcPositional(const std::string& sql, std::vector<std::string>& names);

class TOdbcQuery {
  public:
    explicit TOdbcQuery(TOdbcConnection& conn) : FConn(conn) {}

    void SetSql(const std::string& sql);
    const std::string& Sql() const { return FSql; }
    void SetTimeout(int seconds) { FTimeoutSec = seconds; }

    void SetDateTime(const std::string& name, TDateTime value);
    void SetInt64(const std::string& name, std::int64_t value);
    void SetText(const std::string& name, const std::string& value);
    // The statement's parameters in order of first appearance, with the values set so far.
    const std::vector<TOdbcParam>& Params() const { return FParams; }

    // Prepares, binds, executes and reads every row. Throws EOdbcError with the driver's message
    // (or a Korean text when a parameter has no value); the rows of a failed run are discarded.
    void Open();
    // Runs the statement like Open but hands each row to `row` as it is read instead of keeping it
    // (the values may be moved from). `restart` is called when the rows handed over so far must
    // be forgotten: the statement is then read again from its first row. RowCount() tells the rows
    // handed over. Throws as Open does; the caller discards what it gathered when it throws.
    void OpenEach(const std::function<void(std::span<TOdbcValue> row)>& row, const std::function<void()>& restart);

    size_t RowCount() const { return FRowCount; }
    size_t ColumnCount() const { return FColumns; }
    // Column `col` (0-based) of row `row`; NULL past the last column.
    const TOdbcValue& Value(size_t row, size_t col) const;
    // Value(row, col).AsText(), moved out of the result when it is a text (it reads as empty
    // afterwards): a caller that keeps every text saves a copy of each.
    std::string TakeText(size_t row, size_t col);

  private:
    TOdbcParam& Param(const std::string& name);
    // One run of the statement; false when reading in blocks was not possible.
    bool Run(bool inBlocks, const std::function<void(std::span<TOdbcValue> row)>& row);

    TOdbcConnection& FConn;
    std::string FSql;
    int FTimeoutSec = 60;
    std::vector<TOdbcParam> FParams;
    std::vector<bool> FSet;
    size_t FColumns = 0;
    std::vector<TOdbcValue> FValues; // row after row, FColumns values each (Open only)
    size_t FRowCount = 0;
};

} // namespace pavona
