// The reference server's SQLite layer (see RefDb.h).
#include "tools/refserver/RefDb.h"

namespace pavona::refserver {

RefStmt::RefStmt(sqlite3* db, const std::string& sql) {
    if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &FStmt, nullptr) != SQLITE_OK) {
        FStmt = nullptr;
        FFailed = true;
    }
}

RefStmt::~RefStmt() {
    sqlite3_finalize(FStmt);
}

RefStmt& RefStmt::Bind(const std::string& text) {
    if (FStmt) sqlite3_bind_text(FStmt, FNext, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    ++FNext;
    return *this;
}

RefStmt& RefStmt::Bind(int64_t value) {
    if (FStmt) sqlite3_bind_int64(FStmt, FNext, value);
    ++FNext;
    return *this;
}

RefStmt& RefStmt::Bind(const std::optional<int64_t>& value) {
    return value ? Bind(*value) : BindNull();
}

RefStmt& RefStmt::BindNull() {
    if (FStmt) sqlite3_bind_null(FStmt, FNext);
    ++FNext;
    return *this;
}

bool RefStmt::Next() {
    if (!FStmt || FFailed) return false;
    int rc = sqlite3_step(FStmt);
    if (rc == SQLITE_ROW) return true;
    if (rc != SQLITE_DONE) FFailed = true;
    return false;
}

bool RefStmt::Run() {
    if (!FStmt) return false;
    int rc = sqlite3_step(FStmt);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW) FFailed = true;
    return !FFailed;
}

std::string RefStmt::Text(int col) const {
    const unsigned char* p = sqlite3_column_text(FStmt, col);
    if (!p) return {};
    return std::string(reinterpret_cast<const char*>(p),
                       static_cast<size_t>(sqlite3_column_bytes(FStmt, col)));
}

int64_t RefStmt::Int(int col) const {
    return sqlite3_column_int64(FStmt, col);
}

bool RefStmt::IsNull(int col) const {
    return sqlite3_column_type(FStmt, col) == SQLITE_NULL;
}

RefDb::~RefDb() {
    sqlite3_close(FDb);
}

bool RefDb::Open(const std::string& path, std::string& error) {
    int rc = sqlite3_open_v2(path.c_str(), &FDb,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        error = "cannot open state " + path + ": " + (FDb ? sqlite3_errmsg(FDb) : "out of memory");
        sqlite3_close(FDb);
        FDb = nullptr;
        return false;
    }
    // A seeding command may write while the server runs: wait for each other's locks.
    sqlite3_busy_timeout(FDb, 10000);
    if (!Exec("PRAGMA journal_mode=WAL") || !Exec("PRAGMA synchronous=FULL")) {
        error = "cannot prepare state " + path + ": " + Error();
        return false;
    }
    return true;
}

bool RefDb::Exec(const std::string& sql) {
    return FDb && sqlite3_exec(FDb, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

std::string RefDb::Error() const {
    return FDb ? sqlite3_errmsg(FDb) : "no database";
}

int64_t RefDb::LastId() const {
    return sqlite3_last_insert_rowid(FDb);
}

} // namespace pavona::refserver
