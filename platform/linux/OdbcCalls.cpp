// unixODBC: the narrow functions with UTF-8 text.
#include "platform/OdbcCalls.h"

namespace pavona::platform {

SQLRETURN OdbcDriverConnect(SQLHDBC dbc, const std::string& connString) {
    std::string in = connString;
    return SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(in.data()), SQL_NTS, nullptr, 0, nullptr,
                            SQL_DRIVER_NOPROMPT);
}

SQLRETURN OdbcPrepare(SQLHSTMT stmt, const std::string& sql) {
    std::string text = sql;
    return SQLPrepare(stmt, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS);
}

bool OdbcDiagRecord(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT i, std::string& state, std::string& message) {
    SQLCHAR stateBuf[6] = {};
    SQLINTEGER native = 0;
    SQLCHAR messageBuf[2048] = {};
    SQLSMALLINT length = 0;
    const SQLRETURN r = SQLGetDiagRec(type, handle, i, stateBuf, &native, messageBuf, sizeof messageBuf, &length);
    if (r != SQL_SUCCESS && r != SQL_SUCCESS_WITH_INFO) return false;
    state = reinterpret_cast<const char*>(stateBuf);
    message = reinterpret_cast<const char*>(messageBuf);
    return true;
}

std::string OdbcDbmsName(SQLHDBC dbc) {
    SQLCHAR name[256] = {};
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLGetInfo(dbc, SQL_DBMS_NAME, name, sizeof name, &length))) return {};
    return reinterpret_cast<const char*>(name);
}

std::string SqlServerOdbcDriver() {
    return "FreeTDS";
}

} // namespace pavona::platform
