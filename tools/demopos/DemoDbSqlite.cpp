// The demo POS writer over the sqlite3 library: the connection and its prepared inserts.
#include "tools/demopos/DemoDb.h"

#include "common/Text.h"

#include <sqlite3.h>

#include <array>
#include <memory>

namespace pavona::demopos {
namespace {

struct TFinalize {
    void operator()(sqlite3_stmt* st) const { sqlite3_finalize(st); }
};
struct TClose {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
using TStmt = std::unique_ptr<sqlite3_stmt, TFinalize>;

} // namespace

struct TDemoDb::TConn {
    // Declared first, closed last: every statement is finalized before its connection.
    std::unique_ptr<sqlite3, TClose> Db;
    std::array<TStmt, kTables> Inserts;

    void Fail(std::string& error, const char* what) const {
        error = Fmt("%s: %s", what, Db ? sqlite3_errmsg(Db.get()) : "데이터베이스가 열리지 않았습니다");
    }
};

TDemoDb::TDemoDb() : FConn(std::make_unique<TConn>()) {}

TDemoDb::~TDemoDb() = default;

bool TDemoDb::Open(const std::string& path, bool create) {
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    sqlite3* raw = nullptr;
    const int opened = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
    FConn->Db.reset(raw); // sqlite3 gives a handle even on failure, to read the message from
    if (opened != SQLITE_OK) {
        FConn->Fail(FError, create ? "데모 POS 파일을 만들지 못했습니다" : "데모 POS 파일을 열지 못했습니다");
        return false;
    }
    sqlite3_busy_timeout(raw, 5000);
    return true;
}

bool TDemoDb::Exec(const std::string& sql) {
    char* msg = nullptr;
    if (sqlite3_exec(FConn->Db.get(), sql.c_str(), nullptr, nullptr, &msg) != SQLITE_OK) {
        FError = Fmt("SQL 실행 실패: %s", msg ? msg : "알 수 없는 오류");
        sqlite3_free(msg);
        return false;
    }
    return true;
}

bool TDemoDb::Begin() {
    return Exec("BEGIN");
}

bool TDemoDb::Commit() {
    return Exec("COMMIT");
}

void TDemoDb::Rollback() {
    sqlite3* db = FConn->Db.get();
    if (db && !sqlite3_get_autocommit(db)) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
}

std::int64_t TDemoDb::MaxOf(const char* table, const char* column) {
    sqlite3_stmt* raw = nullptr;
    const std::string sql = Fmt("SELECT COALESCE(MAX(%s), 0) FROM %s", column, table);
    const int prepared = sqlite3_prepare_v2(FConn->Db.get(), sql.c_str(), -1, &raw, nullptr);
    const TStmt st(raw);
    if (prepared != SQLITE_OK || sqlite3_step(st.get()) != SQLITE_ROW) {
        FConn->Fail(FError, "번호를 읽지 못했습니다");
        return -1;
    }
    return sqlite3_column_int64(st.get(), 0);
}

bool TDemoDb::InsertRow(TTable table, std::initializer_list<TValue> values) {
    TStmt& st = FConn->Inserts[static_cast<size_t>(table)];
    if (!st) {
        sqlite3_stmt* raw = nullptr;
        if (sqlite3_prepare_v2(FConn->Db.get(), InsertSql(table), -1, &raw, nullptr) != SQLITE_OK) {
            FConn->Fail(FError, "문장을 준비하지 못했습니다");
            return false;
        }
        st.reset(raw);
    }
    int i = 0;
    for (const TValue& v : values) {
        ++i;
        if (const auto* n = std::get_if<std::int64_t>(&v))
            sqlite3_bind_int64(st.get(), i, *n);
        else if (const auto* s = std::get_if<std::string>(&v))
            sqlite3_bind_text(st.get(), i, s->data(), static_cast<int>(s->size()), SQLITE_TRANSIENT);
        else
            sqlite3_bind_null(st.get(), i);
    }
    const int rc = sqlite3_step(st.get());
    sqlite3_reset(st.get());
    if (rc != SQLITE_DONE) {
        FConn->Fail(FError, "행을 쓰지 못했습니다");
        return false;
    }
    return true;
}

} // namespace pavona::demopos
