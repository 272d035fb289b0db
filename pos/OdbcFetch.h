// Reading a result set into values: in blocks of rows through bound column arrays where the
// driver takes them, value by value through SQLGetData where it does not.
#pragma once

#include "platform/SqlHeaders.h"
#include "pos/OdbcValue.h"

#include <functional>
#include <span>
#include <vector>

namespace pavona {

// How a result column is read.
struct TOdbcColumn {
    enum class TFetch { Int, Stamp, Text };
    TFetch Fetch = TFetch::Text;
    SQLULEN Size = 0; // the column size the driver describes (characters for texts), 0 when unknown
};

// Describes the result columns of an executed statement. Throws EOdbcError.
std::vector<TOdbcColumn> DescribeColumns(SQLHSTMT stmt);

enum class TBlockFetch { Done, NotSupported, TooLong };

// Receives each row as it is read: `columns.size()` values, which the receiver may move from.
using TOdbcRowSink = std::function<void(std::span<TOdbcValue> row)>;

// Reads every row in blocks of bound column arrays. NotSupported when the driver refuses row
// arrays (no row was read), TooLong when a text did not fit its bound room: the statement must then
// be run again and read by FetchByValue, and the rows handed over so far are to be forgotten.
// Throws EOdbcError on a driver error.
TBlockFetch FetchInBlocks(SQLHSTMT stmt, const std::vector<TOdbcColumn>& columns, const TOdbcRowSink& sink);

// Reads every row value by value, long texts in pieces. Throws EOdbcError.
void FetchByValue(SQLHSTMT stmt, const std::vector<TOdbcColumn>& columns, const TOdbcRowSink& sink);

// The driver's message for the statement, or `what`, as an EOdbcError.
[[noreturn]] void FailStatement(SQLHSTMT stmt, const char* what);

} // namespace pavona
