// Catalogue rewrite for the embedded SQLite POS.
#include "pos/PosDialect.h"

#include "common/Text.h"
#include "pos/PosCatalogue.h"

#include <regex>

namespace pavona {

namespace {

// The same four fields, names and order as the SQL Server schema view gives them; the declared
// type loses its size ("varchar(40)" → "varchar") as DATA_TYPE does, and a key column counts as
// not nullable as it is on SQL Server.
const char* const kSqliteFingerprint =
    "SELECT m.name AS TABLE_NAME, p.name AS COLUMN_NAME,\r\n"
    "       lower(trim(CASE WHEN instr(p.type, '(') > 0 THEN substr(p.type, 1, instr(p.type, '(') - 1)"
    " ELSE p.type END)) AS DATA_TYPE,\r\n"
    "       CASE WHEN p.\"notnull\" = 0 AND p.pk = 0 THEN 'YES' ELSE 'NO' END AS IS_NULLABLE\r\n"
    "  FROM sqlite_master AS m\r\n"
    "  JOIN pragma_table_info(m.name) AS p\r\n"
    " WHERE m.type = 'table'\r\n"
    "   AND UPPER(m.name) IN "
    "('ORD','ORDD','ORDCANCEL','ORDDCANCEL','COUPON','COUPONSPONSOR','GOODS','PROMOTIONGOODS')\r\n"
    " ORDER BY m.name COLLATE NOCASE, p.name COLLATE NOCASE";

std::string SqliteSql(const std::string& name, const std::string& sql) {
    if (name == SQL_FINGERPRINT) return kSqliteFingerprint;
    std::string out = ReplaceAll(sql, " WITH (NOLOCK)", "");

    static const std::regex top(R"(SELECT TOP \(([^)]*)\) )");
    std::smatch m;
    if (std::regex_search(out, m, top)) {
        const std::string limit = m[1].str();
        out = m.prefix().str() + "SELECT " + m.suffix().str() + "\r\n LIMIT " + limit;
    }

    static const std::regex convertDay(R"(CONVERT\(char\(10\), CAST\(([A-Za-z_][\w.]*) AS date\), 23\))");
    out = std::regex_replace(out, convertDay, "date($1)");
    static const std::regex castDay(R"(CAST\(([A-Za-z_][\w.]*) AS date\))");
    out = std::regex_replace(out, castDay, "date($1)");

    // The driver binds date-times as "yyyy-mm-dd hh:nn:ss.fff" text and the POS may store them
    // without the fraction; compared as text a row at exactly 09:00:00 would fall outside
    // [09:00:00, …). Comparing instants keeps half-open windows exact to the millisecond.
    static const std::regex window(R"(([A-Za-z_]\w*\.\w+_date) (>=|<=|<|>) (:\w+))");
    out = std::regex_replace(out, window, "julianday($1) $2 julianday($3)");
    return out;
}

} // namespace

TPosDialect DialectOfDbms(const std::string& dbmsName) {
    return LowerAscii(dbmsName).find("sqlite") != std::string::npos ? TPosDialect::Sqlite
                                                                    : TPosDialect::SqlServer;
}

std::string DialectSql(TPosDialect dialect, const std::string& name, const std::string& sql) {
    return dialect == TPosDialect::Sqlite ? SqliteSql(name, sql) : sql;
}

} // namespace pavona
