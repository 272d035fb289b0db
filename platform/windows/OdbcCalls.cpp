// The Windows driver manager: the wide functions with UTF-16 text, so drivers get Korean text
// without any code-page guessing.
#include "platform/OdbcCalls.h"

#include "platform/windows/WinText.h"

namespace pavona::platform {

SQLRETURN OdbcDriverConnect(SQLHDBC dbc, const std::string& connString) {
    std::wstring in = Wide(connString);
    return SQLDriverConnectW(dbc, nullptr, reinterpret_cast<SQLWCHAR*>(in.data()), SQL_NTS, nullptr, 0, nullptr,
                             SQL_DRIVER_NOPROMPT);
}

SQLRETURN OdbcPrepare(SQLHSTMT stmt, const std::string& sql) {
    std::wstring text = Wide(sql);
    return SQLPrepareW(stmt, reinterpret_cast<SQLWCHAR*>(text.data()), SQL_NTS);
}

bool OdbcDiagRecord(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT i, std::string& state, std::string& message) {
    SQLWCHAR stateBuf[6] = {};
    SQLINTEGER native = 0;
    SQLWCHAR messageBuf[1024] = {};
    SQLSMALLINT length = 0;
    const SQLRETURN r = SQLGetDiagRecW(type, handle, i, stateBuf, &native, messageBuf,
                                       static_cast<SQLSMALLINT>(sizeof messageBuf / sizeof messageBuf[0]), &length);
    if (r != SQL_SUCCESS && r != SQL_SUCCESS_WITH_INFO) return false;
    state = Narrow(reinterpret_cast<const wchar_t*>(stateBuf), wcsnlen(reinterpret_cast<const wchar_t*>(stateBuf), 5));
    message = Narrow(reinterpret_cast<const wchar_t*>(messageBuf),
                     wcsnlen(reinterpret_cast<const wchar_t*>(messageBuf), 1023));
    return true;
}

std::string OdbcDbmsName(SQLHDBC dbc) {
    SQLWCHAR name[256] = {};
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLGetInfoW(dbc, SQL_DBMS_NAME, name, sizeof name - sizeof name[0], &length))) return {};
    return Narrow(reinterpret_cast<const wchar_t*>(name), wcsnlen(reinterpret_cast<const wchar_t*>(name), 255));
}

std::string SqlServerOdbcDriver() {
    // Installed drivers are the value names under ODBC Drivers in HKLM.
    for (const wchar_t* name : {L"ODBC Driver 18 for SQL Server", L"ODBC Driver 17 for SQL Server"}) {
        if (RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\ODBC\\ODBCINST.INI\\ODBC Drivers", name, RRF_RT_REG_SZ,
                         nullptr, nullptr, nullptr) == ERROR_SUCCESS)
            return Narrow(name, wcslen(name));
    }
    return "SQL Server";
}

} // namespace pavona::platform
