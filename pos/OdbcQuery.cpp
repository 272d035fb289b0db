// Named parameters to positional markers, typed binding, execution and reading whole results.
#include "pos/OdbcQuery.h"

#include "common/Text.h"
#include "platform/OdbcCalls.h"
#include "pos/OdbcFetch.h"

#include <cctype>

namespace pavona {

namespace {

bool IsNameStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}
bool IsNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// Frees the statement handle however the run ends.
struct TStmtGuard {
    SQLHSTMT Handle = nullptr;
    ~TStmtGuard() {
        if (Handle != nullptr) SQLFreeHandle(SQL_HANDLE_STMT, Handle);
    }
};

SQL_TIMESTAMP_STRUCT ToTimestamp(TDateTime t) {
    const TDateParts p = DecodeDateTime(t);
    SQL_TIMESTAMP_STRUCT ts{};
    ts.year = static_cast<SQLSMALLINT>(p.Year);
    ts.month = static_cast<SQLUSMALLINT>(p.Month);
    ts.day = static_cast<SQLUSMALLINT>(p.Day);
    ts.hour = static_cast<SQLUSMALLINT>(p.Hour);
    ts.minute = static_cast<SQLUSMALLINT>(p.Minute);
    ts.second = static_cast<SQLUSMALLINT>(p.Second);
    ts.fraction = static_cast<SQLUINTEGER>(p.MSec) * 1000000u;
    return ts;
}

} // namespace

std::string OdbcPositional(const std::string& sql, std::vector<std::string>& names) {
    names.clear();
    std::string out;
    out.reserve(sql.size());
    size_t i = 0;
    while (i < sql.size()) {
        const char c = sql[i];
        if (c == '\'' || c == '"' || c == '[') {
            const char close = c == '[' ? ']' : c;
            size_t j = i + 1;
            while (j < sql.size()) {
                if (sql[j] == close) {
                    if (j + 1 < sql.size() && sql[j + 1] == close) {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            const size_t end = j < sql.size() ? j + 1 : j;
            out.append(sql, i, end - i);
            i = end;
        } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
            const size_t end = sql.find('\n', i);
            const size_t stop = end == std::string::npos ? sql.size() : end;
            out.append(sql, i, stop - i);
            i = stop;
        } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
            const size_t end = sql.find("*/", i + 2);
            const size_t stop = end == std::string::npos ? sql.size() : end + 2;
            out.append(sql, i, stop - i);
            i = stop;
        } else if (c == ':' && i + 1 < sql.size() && IsNameStart(sql[i + 1]) &&
                   (i == 0 || (!IsNameChar(sql[i - 1]) && sql[i - 1] != ':'))) {
            size_t j = i + 1;
            while (j < sql.size() && IsNameChar(sql[j]))
                ++j;
            names.push_back(sql.substr(i + 1, j - i - 1));
            out.push_back('?');
            i = j;
        } else {
            out.push_back(c);
            ++i;
        }
    }
    return out;
}

void TOdbcQuery::SetSql(const std::string& sql) {
    FSql = sql;
    FParams.clear();
    FSet.clear();
    FValues.clear();
    FRowCount = 0;
    FColumns = 0;
    std::vector<std::string> names;
    OdbcPositional(sql, names);
    for (const std::string& name : names) {
        bool seen = false;
        for (const TOdbcParam& p : FParams)
            seen = seen || SameTextAscii(p.Name, name);
        if (seen) continue;
        TOdbcParam p;
        p.Name = name;
        FParams.push_back(p);
        FSet.push_back(false);
    }
}

TOdbcParam& TOdbcQuery::Param(const std::string& name) {
    for (size_t i = 0; i < FParams.size(); ++i)
        if (SameTextAscii(FParams[i].Name, name)) {
            FSet[i] = true;
            return FParams[i];
        }
    throw EOdbcError(Fmt("문장에 매개변수 :%s 가 없습니다.", name.c_str()));
}

void TOdbcQuery::SetDateTime(const std::string& name, TDateTime value) {
    TOdbcParam& p = Param(name);
    p.Type = TOdbcParam::TType::DateTime;
    p.DateTime = value;
}

void TOdbcQuery::SetInt64(const std::string& name, std::int64_t value) {
    TOdbcParam& p = Param(name);
    p.Type = TOdbcParam::TType::Int64;
    p.Int64 = value;
}

void TOdbcQuery::SetText(const std::string& name, const std::string& value) {
    TOdbcParam& p = Param(name);
    p.Type = TOdbcParam::TType::Text;
    p.Text = value;
}

const TOdbcValue& TOdbcQuery::Value(size_t row, size_t col) const {
    static const TOdbcValue null;
    const size_t at = row * FColumns + col;
    if (col >= FColumns || at >= FValues.size()) return null;
    return FValues[at];
}

std::string TOdbcQuery::TakeText(size_t row, size_t col) {
    const size_t at = row * FColumns + col;
    if (col >= FColumns || at >= FValues.size()) return {};
    TOdbcValue& v = FValues[at];
    if (v.Kind != TOdbcValue::TKind::Text) return v.AsText();
    return std::move(v.Text);
}

void TOdbcQuery::Open() {
    std::vector<TOdbcValue> values;
    try {
        OpenEach(
            [&values](std::span<TOdbcValue> row) {
                for (TOdbcValue& v : row)
                    values.push_back(std::move(v));
            },
            [&values] { values.clear(); });
    } catch (...) {
        FRowCount = 0;
        throw;
    }
    FValues = std::move(values);
}

void TOdbcQuery::OpenEach(const std::function<void(std::span<TOdbcValue> row)>& row,
                          const std::function<void()>& restart) {
    FValues.clear();
    FColumns = 0;
    FRowCount = 0;
    if (!FConn.IsOpen()) throw EOdbcError("데이터베이스에 연결되어 있지 않습니다.");
    for (size_t i = 0; i < FParams.size(); ++i)
        if (!FSet[i]) throw EOdbcError(Fmt("매개변수 :%s 에 값이 없습니다.", FParams[i].Name.c_str()));
    // A driver without row arrays, or a text longer than its bound room, reads the statement
    // again value by value: the statement only reads, so running it twice changes nothing.
    if (Run(true, row)) return;
    FRowCount = 0;
    restart();
    Run(false, row);
}

bool TOdbcQuery::Run(bool inBlocks, const std::function<void(std::span<TOdbcValue> row)>& row) {
    std::vector<std::string> names;
    std::string positional = OdbcPositional(FSql, names);

    TStmtGuard stmt;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, FConn.Handle(), &stmt.Handle))) {
        const std::string text = OdbcDiagText(SQL_HANDLE_DBC, FConn.Handle());
        throw EOdbcError(text.empty() ? "문장을 만들지 못했습니다." : text);
    }
    // Not every driver knows a statement time-out; where it does, it bounds a slow server.
    SQLSetStmtAttr(stmt.Handle, SQL_ATTR_QUERY_TIMEOUT,
                   reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(FTimeoutSec)), 0);
    if (!SQL_SUCCEEDED(platform::OdbcPrepare(stmt.Handle, positional)))
        FailStatement(stmt.Handle, "문장을 준비하지 못했습니다.");

    // One buffer per marker; the vector never grows after binding, so the addresses stay valid.
    struct TBound {
        SQL_TIMESTAMP_STRUCT Stamp{};
        SQLBIGINT Int = 0;
        std::u16string Wide;
        SQLLEN Ind = 0;
    };
    std::vector<TBound> bound(names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        const TOdbcParam* p = nullptr;
        for (const TOdbcParam& q : FParams)
            if (SameTextAscii(q.Name, names[i])) p = &q;
        TBound& b = bound[i];
        const auto n = static_cast<SQLUSMALLINT>(i + 1);
        SQLRETURN r;
        switch (p->Type) {
        case TOdbcParam::TType::DateTime:
            b.Stamp = ToTimestamp(p->DateTime);
            b.Ind = sizeof b.Stamp;
            r = SQLBindParameter(stmt.Handle, n, SQL_PARAM_INPUT, SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP,
                                 23, 3, &b.Stamp, sizeof b.Stamp, &b.Ind);
            break;
        case TOdbcParam::TType::Int64:
            b.Int = p->Int64;
            b.Ind = sizeof b.Int;
            r = SQLBindParameter(stmt.Handle, n, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 0, 0, &b.Int,
                                 sizeof b.Int, &b.Ind);
            break;
        case TOdbcParam::TType::Text:
        default:
            b.Wide = Utf8ToUtf16(p->Text);
            b.Ind = static_cast<SQLLEN>(b.Wide.size() * sizeof(char16_t));
            r = SQLBindParameter(stmt.Handle, n, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR,
                                 b.Wide.empty() ? 1 : b.Wide.size(), 0, b.Wide.data(), b.Ind, &b.Ind);
            break;
        }
        if (!SQL_SUCCEEDED(r)) FailStatement(stmt.Handle, "매개변수를 묶지 못했습니다.");
    }

    const SQLRETURN exec = SQLExecute(stmt.Handle);
    if (exec != SQL_NO_DATA && !SQL_SUCCEEDED(exec)) FailStatement(stmt.Handle, "문장을 실행하지 못했습니다.");

    const std::vector<TOdbcColumn> columns = DescribeColumns(stmt.Handle);
    FColumns = columns.size();
    const TOdbcRowSink sink = [this, &row](std::span<TOdbcValue> values) {
        ++FRowCount;
        row(values);
    };
    if (inBlocks) return FetchInBlocks(stmt.Handle, columns, sink) == TBlockFetch::Done;
    FetchByValue(stmt.Handle, columns, sink);
    return true;
}

} // namespace pavona
