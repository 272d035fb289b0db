// Result sets into values. Both ways of reading give the same values: texts are asked for as wide
// characters either way (the driver converts from the column's own code page, so a CP949 varchar
// arrives as correct Korean), numbers as 64-bit integers, date-times as timestamps.
#include "pos/OdbcFetch.h"

#include "common/Text.h"
#include "platform/SqlHeaders.h"
#include "pos/OdbcConnection.h"

#include <algorithm>
#include <string>

namespace pavona {

namespace {

using TFetch = TOdbcColumn::TFetch;

constexpr SQLULEN kBlockRows = 256;
// Texts up to this many characters are bound; a column described as longer (or not at all) is
// bound this long, and a value that does not fit sends the statement to the value-by-value path.
constexpr SQLULEN kMaxBoundChars = 1024;

TFetch FetchTypeOf(SQLSMALLINT sqlType) {
    switch (sqlType) {
    case SQL_BIGINT:
    case SQL_INTEGER:
    case SQL_SMALLINT:
    case SQL_TINYINT:
    case SQL_BIT:
        return TFetch::Int;
    case SQL_TYPE_TIMESTAMP:
    case SQL_TYPE_DATE:
    case SQL_TIMESTAMP:
    case SQL_DATE:
        return TFetch::Stamp;
    default:
        return TFetch::Text; // texts, decimals and anything else, read as wide characters
    }
}

TOdbcValue FromTimestamp(const SQL_TIMESTAMP_STRUCT& ts) {
    if (!IsValidDate(ts.year, ts.month, ts.day) || ts.hour >= 24 || ts.minute >= 60 || ts.second >= 62)
        return {};
    const std::int64_t ms = (static_cast<std::int64_t>(ts.fraction) + 500000) / 1000000;
    return TOdbcValue::OfStamp(FromMSecs(ToMSecs(EncodeDate(ts.year, ts.month, ts.day)) +
                                         ((ts.hour * 60 + ts.minute) * 60 + ts.second) * 1000LL + ms));
}

TOdbcValue ReadColumn(SQLHSTMT stmt, SQLUSMALLINT col, TFetch type) {
    SQLLEN ind = 0;
    if (type == TFetch::Int) {
        SQLBIGINT v = 0;
        const SQLRETURN r = SQLGetData(stmt, col, SQL_C_SBIGINT, &v, sizeof v, &ind);
        if (!SQL_SUCCEEDED(r)) FailStatement(stmt, "결과 값을 읽지 못했습니다.");
        return ind == SQL_NULL_DATA ? TOdbcValue{} : TOdbcValue::OfInt(v);
    }
    if (type == TFetch::Stamp) {
        SQL_TIMESTAMP_STRUCT ts{};
        const SQLRETURN r = SQLGetData(stmt, col, SQL_C_TYPE_TIMESTAMP, &ts, sizeof ts, &ind);
        if (!SQL_SUCCEEDED(r)) FailStatement(stmt, "결과 값을 읽지 못했습니다.");
        if (ind == SQL_NULL_DATA) return {};
        return FromTimestamp(ts);
    }
    // Long values come in pieces.
    std::u16string text;
    char16_t buf[1024];
    for (;;) {
        const SQLRETURN r = SQLGetData(stmt, col, SQL_C_WCHAR, buf, sizeof buf, &ind);
        if (r == SQL_NO_DATA) break;
        if (!SQL_SUCCEEDED(r)) FailStatement(stmt, "결과 값을 읽지 못했습니다.");
        if (ind == SQL_NULL_DATA) return {};
        const size_t room = sizeof buf / sizeof buf[0] - 1;
        if (ind == SQL_NO_TOTAL || static_cast<size_t>(ind) / sizeof(char16_t) > room) {
            text.append(buf, room);
            continue;
        }
        text.append(buf, static_cast<size_t>(ind) / sizeof(char16_t));
        break;
    }
    return TOdbcValue::OfText(Utf16ToUtf8(text));
}

// One column's bound arrays for a block of rows.
struct TBoundColumn {
    TFetch Fetch = TFetch::Text;
    SQLULEN Chars = 0; // per row, with room for the terminating NUL
    std::vector<SQLBIGINT> Ints;
    std::vector<SQL_TIMESTAMP_STRUCT> Stamps;
    std::vector<char16_t> Texts;
    std::vector<SQLLEN> Ind;
};

} // namespace

void FailStatement(SQLHSTMT stmt, const char* what) {
    const std::string text = OdbcDiagText(SQL_HANDLE_STMT, stmt);
    throw EOdbcError(text.empty() ? std::string(what) : text);
}

std::vector<TOdbcColumn> DescribeColumns(SQLHSTMT stmt) {
    SQLSMALLINT count = 0;
    if (!SQL_SUCCEEDED(SQLNumResultCols(stmt, &count))) FailStatement(stmt, "결과를 읽지 못했습니다.");
    std::vector<TOdbcColumn> columns;
    for (SQLUSMALLINT c = 1; c <= count; ++c) {
        SQLSMALLINT sqlType = 0;
        SQLULEN size = 0;
        if (!SQL_SUCCEEDED(SQLDescribeCol(stmt, c, nullptr, 0, nullptr, &sqlType, &size, nullptr, nullptr)))
            FailStatement(stmt, "결과 열을 읽지 못했습니다.");
        columns.push_back(TOdbcColumn{FetchTypeOf(sqlType), size});
    }
    return columns;
}

TBlockFetch FetchInBlocks(SQLHSTMT stmt, const std::vector<TOdbcColumn>& columns, const TOdbcRowSink& sink) {
    if (columns.empty()) return TBlockFetch::Done;
    if (!SQL_SUCCEEDED(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_BIND_TYPE,
                                      reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(SQL_BIND_BY_COLUMN)), 0)) ||
        !SQL_SUCCEEDED(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(kBlockRows), 0)))
        return TBlockFetch::NotSupported;
    // A driver may settle on fewer rows than asked (and says so with a warning).
    SQLULEN rows = 0;
    if (!SQL_SUCCEEDED(SQLGetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, &rows, 0, nullptr)) || rows < 2 ||
        rows > kBlockRows)
        return TBlockFetch::NotSupported;
    SQLULEN fetched = 0;
    std::vector<SQLUSMALLINT> status(rows);
    if (!SQL_SUCCEEDED(SQLSetStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0)) ||
        !SQL_SUCCEEDED(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_STATUS_PTR, status.data(), 0)))
        return TBlockFetch::NotSupported;

    std::vector<TBoundColumn> bound(columns.size());
    for (size_t c = 0; c < columns.size(); ++c) {
        TBoundColumn& b = bound[c];
        b.Fetch = columns[c].Fetch;
        b.Ind.assign(rows, 0);
        const auto n = static_cast<SQLUSMALLINT>(c + 1);
        SQLRETURN r;
        if (b.Fetch == TFetch::Int) {
            b.Ints.assign(rows, 0);
            r = SQLBindCol(stmt, n, SQL_C_SBIGINT, b.Ints.data(), sizeof(SQLBIGINT), b.Ind.data());
        } else if (b.Fetch == TFetch::Stamp) {
            b.Stamps.assign(rows, SQL_TIMESTAMP_STRUCT{});
            r = SQLBindCol(stmt, n, SQL_C_TYPE_TIMESTAMP, b.Stamps.data(), sizeof(SQL_TIMESTAMP_STRUCT),
                           b.Ind.data());
        } else {
            // Room for a decimal's sign and point besides its digits.
            const SQLULEN size = columns[c].Size;
            b.Chars = (size == 0 || size > kMaxBoundChars ? kMaxBoundChars : size + 2) + 1;
            b.Texts.assign(rows * b.Chars, u'\0');
            r = SQLBindCol(stmt, n, SQL_C_WCHAR, b.Texts.data(),
                           static_cast<SQLLEN>(b.Chars * sizeof(char16_t)), b.Ind.data());
        }
        if (!SQL_SUCCEEDED(r)) return TBlockFetch::NotSupported;
    }

    // One row of values, used again for every row: its texts keep their room unless taken.
    std::vector<TOdbcValue> row(columns.size());
    for (;;) {
        const SQLRETURN r = SQLFetch(stmt);
        if (r == SQL_NO_DATA) break;
        if (!SQL_SUCCEEDED(r)) FailStatement(stmt, "결과 행을 읽지 못했습니다.");
        if (fetched > rows) FailStatement(stmt, "결과 행을 읽지 못했습니다.");
        for (SQLULEN i = 0; i < fetched; ++i) {
            if (status[i] == SQL_ROW_NOROW) continue;
            if (status[i] == SQL_ROW_ERROR) FailStatement(stmt, "결과 행을 읽지 못했습니다.");
            for (size_t c = 0; c < bound.size(); ++c) {
                const TBoundColumn& b = bound[c];
                TOdbcValue& v = row[c];
                const SQLLEN ind = b.Ind[i];
                if (ind == SQL_NULL_DATA) {
                    v.Kind = TOdbcValue::TKind::Null;
                } else if (b.Fetch == TFetch::Int) {
                    v.Kind = TOdbcValue::TKind::Int;
                    v.Int = b.Ints[i];
                } else if (b.Fetch == TFetch::Stamp) {
                    v = FromTimestamp(b.Stamps[i]);
                } else {
                    if (ind < 0 || static_cast<SQLULEN>(ind) / sizeof(char16_t) >= b.Chars)
                        return TBlockFetch::TooLong;
                    const char16_t* text = b.Texts.data() + i * b.Chars;
                    v.Kind = TOdbcValue::TKind::Text;
                    Utf16ToUtf8(std::u16string_view(text, static_cast<size_t>(ind) / sizeof(char16_t)), v.Text);
                }
            }
            sink(row);
        }
    }
    return TBlockFetch::Done;
}

void FetchByValue(SQLHSTMT stmt, const std::vector<TOdbcColumn>& columns, const TOdbcRowSink& sink) {
    std::vector<TOdbcValue> row(columns.size());
    while (!columns.empty()) {
        const SQLRETURN r = SQLFetch(stmt);
        if (r == SQL_NO_DATA) break;
        if (!SQL_SUCCEEDED(r)) FailStatement(stmt, "결과 행을 읽지 못했습니다.");
        for (size_t c = 0; c < columns.size(); ++c)
            row[c] = ReadColumn(stmt, static_cast<SQLUSMALLINT>(c + 1), columns[c].Fetch);
        sink(row);
    }
}

} // namespace pavona
