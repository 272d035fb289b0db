// The demo POS writer over ODBC and the SQLite3 driver, for systems without the sqlite3 library:
// on Windows under wine the calls reach the host's driver through wine's ODBC bridge.
#include "tools/demopos/DemoDb.h"

#include "common/Text.h"
#include "platform/OdbcCalls.h"

#include <array>
#include <cstdint>
#include <utility>

namespace pavona::demopos {
namespace {

// An ODBC handle of one kind, freed when it goes.
template <SQLSMALLINT Type> class THandle {
  public:
    THandle() = default;
    ~THandle() { Reset(); }
    THandle(const THandle&) = delete;
    THandle& operator=(const THandle&) = delete;

    SQLHANDLE Get() const { return FHandle; }
    SQLHANDLE* Out() { return &FHandle; }
    void Reset() {
        if (FHandle != nullptr) SQLFreeHandle(Type, std::exchange(FHandle, nullptr));
    }

  private:
    SQLHANDLE FHandle = nullptr;
};

using TStmt = THandle<SQL_HANDLE_STMT>;

// Every diagnostic record of the handle as "message (SQLSTATE)", joined by " / ".
std::string DiagText(SQLSMALLINT type, SQLHANDLE handle) {
    std::string out, state, message;
    for (SQLSMALLINT i = 1; handle != nullptr && platform::OdbcDiagRecord(type, handle, i, state, message);
         ++i) {
        if (!out.empty()) out += " / ";
        out += message + " (" + state + ")";
    }
    return out.empty() ? "드라이버가 까닭을 알리지 않았습니다" : out;
}

SQLPOINTER AttrValue(SQLULEN v) {
    return reinterpret_cast<SQLPOINTER>(static_cast<std::uintptr_t>(v));
}

} // namespace

struct TDemoDb::TConn {
    // Declared in the order they are made: the connection is freed before its environment.
    THandle<SQL_HANDLE_ENV> Env;
    THandle<SQL_HANDLE_DBC> Dbc;
    bool Connected = false;
    bool InTransaction = false;
    std::array<TStmt, kTables> Inserts;
    // One buffer per marker of the insert being run. They are bound again for every row, since
    // the driver reads them only at SQLExecute and the text buffers move as they are refilled.
    struct TBound {
        SQLBIGINT Int = 0;
        std::u16string Text;
        SQLLEN Ind = 0;
    };
    std::array<TBound, 16> Bound;

    ~TConn() {
        // Statements go before the disconnect, which frees them itself; an open transaction is
        // undone first, as a driver refuses to disconnect in the middle of one.
        for (TStmt& st : Inserts)
            st.Reset();
        if (InTransaction) SQLEndTran(SQL_HANDLE_DBC, Dbc.Get(), SQL_ROLLBACK);
        if (Connected) SQLDisconnect(Dbc.Get());
    }

    // A new statement prepared from `sql`; false (with the driver's text in `error`) when it fails.
    bool Prepare(TStmt& st, const std::string& sql, std::string& error, const char* what) {
        st.Reset();
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, Dbc.Get(), st.Out()))) {
            error = Fmt("%s: %s", what, DiagText(SQL_HANDLE_DBC, Dbc.Get()).c_str());
            return false;
        }
        if (!SQL_SUCCEEDED(platform::OdbcPrepare(st.Get(), sql))) {
            error = Fmt("%s: %s", what, DiagText(SQL_HANDLE_STMT, st.Get()).c_str());
            st.Reset();
            return false;
        }
        return true;
    }

    bool SetAutocommit(bool on) {
        return SQL_SUCCEEDED(SQLSetConnectAttr(Dbc.Get(), SQL_ATTR_AUTOCOMMIT,
                                               AttrValue(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF),
                                               SQL_IS_UINTEGER));
    }
};

TDemoDb::TDemoDb() : FConn(std::make_unique<TConn>()) {}

TDemoDb::~TDemoDb() = default;

bool TDemoDb::Open(const std::string& path, bool create) {
    const char* what = create ? "데모 POS 파일을 만들지 못했습니다" : "데모 POS 파일을 열지 못했습니다";
    // The SQLite3 driver reads its connection string without braces or escapes.
    if (path.find_first_of(";{}") != std::string::npos) {
        FError = Fmt("%s: 경로에 ';' 나 중괄호가 있으면 ODBC 연결 문자열에 넣을 수 없습니다 (%s)", what,
                     path.c_str());
        return false;
    }
    FConn = std::make_unique<TConn>();
    TConn& c = *FConn;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, c.Env.Out()))) {
        FError = Fmt("%s: ODBC 드라이버 관리자를 열지 못했습니다", what);
        return false;
    }
    SQLSetEnvAttr(c.Env.Get(), SQL_ATTR_ODBC_VERSION, AttrValue(SQL_OV_ODBC3), 0);
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, c.Env.Get(), c.Dbc.Out()))) {
        FError = Fmt("%s: %s", what, DiagText(SQL_HANDLE_ENV, c.Env.Get()).c_str());
        return false;
    }
    // Timeout waits for a reader's lock as the sqlite3 writer's busy time-out does; NoCreat keeps
    // a missing file missing instead of leaving an empty database where the caller expected its own.
    std::string conn = "Driver=SQLite3;Database=" + path + ";Timeout=5000";
    if (!create) conn += ";NoCreat=1";
    if (!SQL_SUCCEEDED(platform::OdbcDriverConnect(c.Dbc.Get(), conn))) {
        FError = Fmt("%s: %s", what, DiagText(SQL_HANDLE_DBC, c.Dbc.Get()).c_str());
        return false;
    }
    c.Connected = true;
    return true;
}

bool TDemoDb::Exec(const std::string& sql) {
    // The driver runs only the first statement of a text, so each one goes on its own.
    for (const std::string& one : SplitStatements(sql)) {
        TStmt st;
        if (!FConn->Prepare(st, one, FError, "SQL 실행 실패")) return false;
        const SQLRETURN r = SQLExecute(st.Get());
        if (r != SQL_NO_DATA && !SQL_SUCCEEDED(r)) {
            FError = Fmt("SQL 실행 실패: %s", DiagText(SQL_HANDLE_STMT, st.Get()).c_str());
            return false;
        }
    }
    return true;
}

bool TDemoDb::Begin() {
    // With autocommit off the driver opens the transaction at the next statement and holds every
    // insert in it until SQLEndTran: one journal write for the whole demo instead of one a row.
    if (!FConn->Connected || !FConn->SetAutocommit(false)) {
        FError =
            Fmt("트랜잭션을 시작하지 못했습니다: %s", DiagText(SQL_HANDLE_DBC, FConn->Dbc.Get()).c_str());
        return false;
    }
    FConn->InTransaction = true;
    return true;
}

bool TDemoDb::Commit() {
    if (!FConn->InTransaction || !SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, FConn->Dbc.Get(), SQL_COMMIT))) {
        FError = Fmt("트랜잭션을 마치지 못했습니다: %s", DiagText(SQL_HANDLE_DBC, FConn->Dbc.Get()).c_str());
        return false;
    }
    FConn->InTransaction = false;
    // Statements after the commit run on their own again, as they do in the sqlite3 writer.
    if (!FConn->SetAutocommit(true)) {
        FError =
            Fmt("자동 커밋으로 돌아가지 못했습니다: %s", DiagText(SQL_HANDLE_DBC, FConn->Dbc.Get()).c_str());
        return false;
    }
    return true;
}

void TDemoDb::Rollback() {
    if (!FConn->InTransaction) return;
    SQLEndTran(SQL_HANDLE_DBC, FConn->Dbc.Get(), SQL_ROLLBACK);
    FConn->InTransaction = false;
    FConn->SetAutocommit(true);
}

std::int64_t TDemoDb::MaxOf(const char* table, const char* column) {
    const char* what = "번호를 읽지 못했습니다";
    TStmt st;
    if (!FConn->Prepare(st, Fmt("SELECT COALESCE(MAX(%s), 0) FROM %s", column, table), FError, what))
        return -1;
    SQLBIGINT v = 0;
    SQLLEN ind = 0;
    if (!SQL_SUCCEEDED(SQLExecute(st.Get())) || !SQL_SUCCEEDED(SQLFetch(st.Get())) ||
        !SQL_SUCCEEDED(SQLGetData(st.Get(), 1, SQL_C_SBIGINT, &v, sizeof v, &ind)) || ind == SQL_NULL_DATA) {
        FError = Fmt("%s: %s", what, DiagText(SQL_HANDLE_STMT, st.Get()).c_str());
        return -1;
    }
    return v;
}

bool TDemoDb::InsertRow(TTable table, std::initializer_list<TValue> values) {
    TConn& c = *FConn;
    TStmt& st = c.Inserts[static_cast<size_t>(table)];
    if (st.Get() == nullptr && !c.Prepare(st, InsertSql(table), FError, "문장을 준비하지 못했습니다"))
        return false;
    if (values.size() > c.Bound.size()) {
        FError = "행을 쓰지 못했습니다: 값이 너무 많습니다";
        return false;
    }
    SQLUSMALLINT n = 0;
    for (const TValue& v : values) {
        TConn::TBound& b = c.Bound[n++];
        SQLRETURN r;
        if (const auto* s = std::get_if<std::string>(&v)) {
            // UTF-16 as the agent's reader binds it: no code page between here and the driver.
            b.Text = Utf8ToUtf16(*s);
            b.Ind = static_cast<SQLLEN>(b.Text.size() * sizeof(char16_t));
            r = SQLBindParameter(st.Get(), n, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR,
                                 b.Text.empty() ? 1 : b.Text.size(), 0, b.Text.data(), b.Ind, &b.Ind);
        } else {
            const auto* i = std::get_if<std::int64_t>(&v);
            b.Int = i ? *i : 0;
            b.Ind = i ? static_cast<SQLLEN>(sizeof b.Int) : SQL_NULL_DATA;
            r = SQLBindParameter(st.Get(), n, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 0, 0, &b.Int,
                                 sizeof b.Int, &b.Ind);
        }
        if (!SQL_SUCCEEDED(r)) {
            FError = Fmt("값을 묶지 못했습니다: %s", DiagText(SQL_HANDLE_STMT, st.Get()).c_str());
            return false;
        }
    }
    const SQLRETURN r = SQLExecute(st.Get());
    if (!SQL_SUCCEEDED(r)) {
        FError = Fmt("행을 쓰지 못했습니다: %s", DiagText(SQL_HANDLE_STMT, st.Get()).c_str());
        return false;
    }
    return true;
}

} // namespace pavona::demopos
