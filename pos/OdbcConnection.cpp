// ODBC connection handles and diagnostics.
#include "pos/OdbcConnection.h"

#include "platform/OdbcCalls.h"

#include <cstdint>
#include <utility>

namespace pavona {

std::string OdbcDiagText(short type, void* handle) {
    std::string out;
    if (handle == nullptr) return out;
    std::string state, message;
    for (SQLSMALLINT i = 1; platform::OdbcDiagRecord(type, handle, i, state, message); ++i) {
        std::string one = message + " (" + state + ")";
        if (out.find(one) != std::string::npos) continue;
        if (!out.empty()) out += " / ";
        out += one;
    }
    return out;
}

namespace {

// An environment or connection handle that is freed unless handed on with Release(). Declared in
// the order they are allocated, so a failed open frees the connection before its environment.
class TOdbcHandle {
  public:
    explicit TOdbcHandle(SQLSMALLINT type) : FType(type) {}
    ~TOdbcHandle() {
        if (FHandle != nullptr) SQLFreeHandle(FType, FHandle);
    }
    TOdbcHandle(const TOdbcHandle&) = delete;
    TOdbcHandle& operator=(const TOdbcHandle&) = delete;

    SQLHANDLE Get() const { return FHandle; }
    SQLHANDLE* Out() { return &FHandle; }
    SQLHANDLE Release() { return std::exchange(FHandle, nullptr); }

  private:
    SQLSMALLINT FType;
    SQLHANDLE FHandle = nullptr;
};

} // namespace

TOdbcConnection::~TOdbcConnection() {
    Close();
}

void TOdbcConnection::Open(const std::string& odbcString, int loginTimeoutSec) {
    Close();
    TOdbcHandle env(SQL_HANDLE_ENV);
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, env.Out())))
        throw EOdbcError("ODBC 드라이버 관리자를 열지 못했습니다.");
    SQLSetEnvAttr(env.Get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    TOdbcHandle dbc(SQL_HANDLE_DBC);
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, env.Get(), dbc.Out()))) {
        const std::string text = OdbcDiagText(SQL_HANDLE_ENV, env.Get());
        throw EOdbcError(text.empty() ? "ODBC 연결을 만들지 못했습니다." : text);
    }
    SQLSetConnectAttr(dbc.Get(), SQL_ATTR_LOGIN_TIMEOUT,
                      reinterpret_cast<SQLPOINTER>(static_cast<std::intptr_t>(loginTimeoutSec)), 0);
    const SQLRETURN r = platform::OdbcDriverConnect(dbc.Get(), odbcString);
    if (!SQL_SUCCEEDED(r)) {
        const std::string text = OdbcDiagText(SQL_HANDLE_DBC, dbc.Get());
        throw EOdbcError(text.empty() ? "데이터베이스에 연결하지 못했습니다." : text);
    }
    // Connected: from here Close() disconnects and frees both.
    FEnv = env.Release();
    FDbc = dbc.Release();
}

void TOdbcConnection::Close() {
    if (FDbc != nullptr) {
        SQLDisconnect(FDbc);
        SQLFreeHandle(SQL_HANDLE_DBC, FDbc);
        FDbc = nullptr;
    }
    if (FEnv != nullptr) {
        SQLFreeHandle(SQL_HANDLE_ENV, FEnv);
        FEnv = nullptr;
    }
}

std::string TOdbcConnection::DbmsName() const {
    if (FDbc == nullptr) return {};
    return platform::OdbcDbmsName(FDbc);
}

} // namespace pavona
