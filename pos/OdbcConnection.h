// One ODBC connection (its own environment and connection handles) and the driver's diagnostics
// turned into text; the base of the POS reader's database access.
#pragma once

#include <stdexcept>
#include <string>

namespace pavona {

// A failure reported by the driver manager or the driver; what() is the driver's own message.
class EOdbcError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Every diagnostic record of an ODBC handle, each as "message (SQLSTATE)", joined by " / ";
// empty when there is none. `type` is an SQL_HANDLE_* value.
std::string OdbcDiagText(short type, void* handle);

class TOdbcConnection {
  public:
    TOdbcConnection() = default;
    ~TOdbcConnection();
    TOdbcConnection(const TOdbcConnection&) = delete;
    TOdbcConnection& operator=(const TOdbcConnection&) = delete;

    // Opens with a driver-manager connection string and never prompts; the login time-out is set
    // before connecting, because some drivers otherwise wait forever on a server that never answers.
    // Throws EOdbcError with the driver's message.
    void Open(const std::string& odbcString, int loginTimeoutSec);
    void Close();
    bool IsOpen() const { return FDbc != nullptr; }
    // The database product as the driver names it ("SQLite", "Microsoft SQL Server"), empty if unknown.
    std::string DbmsName() const;
    void* Handle() const { return FDbc; }

  private:
    void* FEnv = nullptr;
    void* FDbc = nullptr;
};

} // namespace pavona
