// Connection-string translation: ADO (SQL Server providers) to this system's SQL Server ODBC driver,
// SQLite3 forced read-only, other ODBC strings unchanged.
#include "pos/ConnString.h"

#include "common/Text.h"
#include "platform/OdbcCalls.h"

#include <string_view>
#include <utility>
#include <vector>

namespace pavona {

namespace {

// Reads one quoted value starting at text[i] (the opening quote); false when it never closes.
bool ReadQuoted(const std::string& text, size_t& i, char open, std::string& out) {
    const char close = open == '{' ? '}' : open;
    ++i;
    while (i < text.size()) {
        if (text[i] == close) {
            if (i + 1 < text.size() && text[i + 1] == close) {
                out.push_back(close);
                i += 2;
                continue;
            }
            ++i;
            return true;
        }
        out.push_back(text[i++]);
    }
    return false;
}

bool ParsePairs(const std::string& text, std::vector<std::pair<std::string, std::string>>& pairs,
                std::string& error) {
    size_t i = 0;
    int index = 0;
    while (i < text.size()) {
        const size_t eq = text.find_first_of("=;", i);
        if (eq == std::string::npos || text[eq] == ';') {
            const std::string piece = Trim(text.substr(i, eq == std::string::npos ? eq : eq - i));
            if (!piece.empty()) {
                error = Fmt("POS 연결 문자열의 형식이 잘못되었습니다 — %d번째 항목에 '=' 가 없습니다.",
                            index + 1);
                return false;
            }
            if (eq == std::string::npos) break;
            i = eq + 1;
            continue;
        }
        ++index;
        std::string key = Trim(text.substr(i, eq - i));
        i = eq + 1;
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
            ++i;
        std::string value;
        if (i < text.size() && (text[i] == '"' || text[i] == '\'' || text[i] == '{')) {
            if (!ReadQuoted(text, i, text[i], value)) {
                error = Fmt("POS 연결 문자열의 형식이 잘못되었습니다 — %d번째 항목의 따옴표나 괄호가 닫히지 "
                            "않았습니다.",
                            index);
                return false;
            }
            const size_t next = text.find(';', i);
            if (!Trim(text.substr(i, next == std::string::npos ? next : next - i)).empty()) {
                error = Fmt("POS 연결 문자열의 형식이 잘못되었습니다 — %d번째 항목의 닫는 따옴표 뒤에 글자가 "
                            "있습니다.",
                            index);
                return false;
            }
            i = next == std::string::npos ? text.size() : next + 1;
        } else {
            const size_t next = text.find(';', i);
            value = Trim(text.substr(i, next == std::string::npos ? next : next - i));
            i = next == std::string::npos ? text.size() : next + 1;
        }
        pairs.emplace_back(std::move(key), std::move(value));
    }
    return true;
}

// The last value of any of the given keys (ADO lets a later key win), and whether one was present.
bool Find(const std::vector<std::pair<std::string, std::string>>& pairs,
          std::initializer_list<const char*> keys, std::string& value) {
    bool found = false;
    for (const auto& [k, v] : pairs)
        for (const char* name : keys)
            if (SameTextAscii(k, name)) {
                value = v;
                found = true;
            }
    return found;
}

bool IsTrueWord(const std::string& v) {
    return SameTextAscii(v, "SSPI") || SameTextAscii(v, "true") || SameTextAscii(v, "yes");
}

bool IsSqlServerProvider(const std::string& provider) {
    const std::string p = UpperAscii(Trim(provider));
    return StartsWith(p, "SQLOLEDB") || StartsWith(p, "SQLNCLI") || StartsWith(p, "MSOLEDBSQL");
}

// Writes `special` bytes and control bytes as %XX escapes, which SQLite decodes again in both the
// path and the query of a "file:" URI.
std::string PercentEscaped(const std::string& text, std::string_view special) {
    std::string out;
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F || special.find(static_cast<char>(c)) != std::string_view::npos)
            out += Fmt("%%%02X", c);
        else
            out.push_back(static_cast<char>(c));
    }
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string PercentDecoded(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const int high = text[i] == '%' && i + 2 < text.size() ? HexDigit(text[i + 1]) : -1;
        const int low = high >= 0 ? HexDigit(text[i + 2]) : -1;
        if (low >= 0) {
            out.push_back(static_cast<char>(high * 16 + low));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

// A plain path as the path of a "file:" URI. Besides what SQLite reads as URI syntax (? and # end
// the path, % starts an escape), ; { } are escaped too: the SQLite3 driver reads no braced values,
// so the URI must reach it as a value that needs none.
std::string UriPath(const std::string& path) {
    const std::string out = PercentEscaped(path, "%?#;{}");
    // "file://" opens an authority, which SQLite refuses unless it is empty: "//x/..." would lose "x".
    return StartsWith(out, "//") ? "//" + out : out;
}

// A read-only URI for the file, keeping other URI options the store gave but never its mode.
std::string ReadOnlyUri(const std::string& database) {
    if (!StartsWith(LowerAscii(database), "file:")) return "file:" + UriPath(database) + "?mode=ro";
    // SQLite recognises the scheme only in lower case; "FILE:..." would be opened as a plain name.
    std::string uri = database.substr(5);
    // SQLite ends the name at '#' and ignores everything after it, so a mode=ro put behind a
    // fragment is never read and the file opens writable. The fragment is dropped rather than
    // escaped into the name: that opens the very file SQLite itself would read from the store's
    // text, now with the query where SQLite looks for it.
    if (const size_t hash = uri.find('#'); hash != std::string::npos) uri.erase(hash);
    const size_t q = uri.find('?');
    std::string query = "mode=ro";
    if (q != std::string::npos) {
        // Option names are decoded before they are compared, as SQLite decodes them before use.
        for (const std::string& option : Split(uri.substr(q + 1), '&'))
            if (!option.empty() && !SameTextAscii(PercentDecoded(option.substr(0, option.find('='))), "mode"))
                query += "&" + option;
    }
    // Blanks in the options are escaped too: with the fragment cut off, the last option may end in
    // one, and a value ending in a blank would have to be braced, which the driver does not read.
    return "file:" + PercentEscaped(uri.substr(0, q), ";{}") + "?" + PercentEscaped(query, ";{} ");
}

// The driver the ODBC driver manager will load for the string as it stands: the last Driver key as
// unixODBC reads pairs, split at ";" except between "{" and "}" (wherever the "{" stands), with
// quotes meaning nothing. A string passed on unchanged is opened with this driver, not with the one
// this file's own reading (which takes quoted ADO values) found.
std::string ManagerDriver(const std::string& text) {
    std::string driver;
    size_t i = 0;
    while (i < text.size()) {
        size_t end = i;
        for (bool braced = false; end < text.size() && (braced || text[end] != ';'); ++end) {
            if (text[end] == '{') braced = true;
            if (text[end] == '}') braced = false;
        }
        const std::string pair = text.substr(i, end - i);
        const size_t eq = pair.find('=');
        if (eq != std::string::npos && SameTextAscii(Trim(pair.substr(0, eq)), "Driver"))
            driver = pair.substr(eq + 1);
        i = end + 1;
    }
    return driver;
}

TConnTarget Fail(const std::string& error) {
    TConnTarget t;
    t.Error = error;
    return t;
}

TConnTarget SqliteTarget(const std::vector<std::pair<std::string, std::string>>& pairs) {
    std::string database;
    if (!Find(pairs, {"Database"}, database) || Trim(database).empty())
        return Fail("POS 연결 문자열에 Database(SQLite 파일 경로)가 없습니다.");
    std::string out;
    for (const auto& [k, v] : pairs) {
        if (SameTextAscii(k, "Database") || SameTextAscii(k, "NoCreat")) continue;
        out += k + "=" + OdbcConnValue(v) + ";";
    }
    out += "Database=" + OdbcConnValue(ReadOnlyUri(Trim(database))) + ";NoCreat=1";
    TConnTarget t;
    t.Ok = true;
    t.Kind = TConnKind::Sqlite;
    t.OdbcString = out;
    if (!StartsWith(LowerAscii(Trim(database)), "file:")) t.SqliteFile = Trim(database);
    return t;
}

TConnTarget SqlServerTarget(const std::vector<std::pair<std::string, std::string>>& pairs,
                            const std::string& driver) {
    std::string source;
    if (!Find(pairs, {"Data Source", "Server", "Address", "Addr", "Network Address"}, source) ||
        Trim(source).empty())
        return Fail("POS 연결 문자열에 Data Source(서버 주소)가 없습니다.");
    source = Trim(source);
    if (StartsWith(LowerAscii(source), "tcp:")) source = Trim(source.substr(4));
    std::string port;
    if (const size_t comma = source.find(','); comma != std::string::npos) {
        port = Trim(source.substr(comma + 1));
        source = Trim(source.substr(0, comma));
        int n = 0;
        if (!TryParseInt(port, n) || n < 1 || n > 65535)
            return Fail(Fmt("POS 연결 문자열의 포트 번호가 잘못되었습니다: %s", port.c_str()));
        port = std::to_string(n);
    }
    std::string host = source, instance;
    if (const size_t slash = source.find('\\'); slash != std::string::npos) {
        host = Trim(source.substr(0, slash));
        instance = Trim(source.substr(slash + 1));
    }
    // "." and "(local)" mean this computer; the driver reaches it over TCP only.
    if (host == "." || SameTextAscii(host, "(local)")) host = "127.0.0.1";
    if (host.empty()) return Fail("POS 연결 문자열에 Data Source(서버 주소)가 없습니다.");

    const bool freeTds = SameTextAscii(driver, "FreeTDS");
    std::string out = "Driver=" + (freeTds ? driver : "{" + driver + "}") + ";Server=";
    // An explicit port wins over the instance name (no browser look-up needed). Microsoft's
    // drivers take the port after a comma, FreeTDS as a key of its own.
    if (!port.empty() || instance.empty()) {
        const std::string p = port.empty() ? std::string("1433") : port;
        out += freeTds ? OdbcConnValue(host) + ";Port=" + p : OdbcConnValue(host + "," + p);
    } else {
        out += OdbcConnValue(host + "\\" + instance);
    }
    std::string database;
    if (Find(pairs, {"Initial Catalog", "Database"}, database) && !Trim(database).empty())
        out += ";Database=" + OdbcConnValue(Trim(database));
    std::string integrated;
    if ((Find(pairs, {"Integrated Security", "Trusted_Connection"}, integrated) &&
         IsTrueWord(Trim(integrated)))) {
        out += ";Trusted_Connection=Yes";
    } else {
        std::string user, password;
        if (Find(pairs, {"User ID", "UID", "User"}, user)) out += ";UID=" + OdbcConnValue(user);
        if (Find(pairs, {"Password", "PWD"}, password)) out += ";PWD=" + OdbcConnValue(password);
    }
    if (freeTds) {
        out += ";TDS_Version=7.4;ClientCharset=UTF-8";
    } else if (driver.find("18") != std::string::npos) {
        // Driver 18 would insist on an encrypted, verified connection, which a POS server on the
        // shop's network rarely offers; the ADO providers this replaces did not encrypt either.
        out += ";Encrypt=no";
    }
    TConnTarget t;
    t.Ok = true;
    t.Kind = TConnKind::SqlServer;
    t.OdbcString = out;
    return t;
}

} // namespace

std::string OdbcConnValue(const std::string& value) {
    const bool plain = value.find_first_of(";{}") == std::string::npos &&
                       (value.empty() || (value.front() != ' ' && value.back() != ' '));
    if (plain) return value;
    std::string braced = "{";
    braced += ReplaceAll(value, "}", "}}");
    braced += '}';
    return braced;
}

TConnTarget TranslateConnString(const std::string& text) {
    return TranslateConnString(text, platform::SqlServerOdbcDriver());
}

TConnTarget TranslateConnString(const std::string& text, const std::string& sqlServerDriver) {
    if (Trim(text).empty())
        return Fail("POS 연결 문자열이 비어 있습니다 — 설정에서 POS 업체가 준 연결 문자열을 넣어 주세요.");
    // The driver manager takes the string up to its first NUL: whatever followed (a read-only mode,
    // the rest of a DSN string) would silently be dropped, so such a damaged setting is refused.
    if (text.find('\0') != std::string::npos)
        return Fail(
            "POS 연결 문자열에 쓸 수 없는 글자(NUL)가 들어 있습니다 — 설정에서 POS 업체가 준 연결 문자열을 "
            "다시 넣어 주세요.");
    std::vector<std::pair<std::string, std::string>> pairs;
    std::string error;
    if (!ParsePairs(text, pairs, error)) return Fail(error);

    std::string driver, dsn, provider;
    const bool hasDriver = Find(pairs, {"Driver"}, driver);
    const bool hasDsn = Find(pairs, {"DSN"}, dsn);
    if (hasDriver && LowerAscii(driver).find("sqlite") != std::string::npos) return SqliteTarget(pairs);
    if (hasDriver || hasDsn) {
        // A quoted or braced value can hide a Driver=SQLite… pair from this reading but not from the
        // driver manager's, which would then open the embedded POS writable.
        if (LowerAscii(ManagerDriver(text)).find("sqlite") != std::string::npos)
            return Fail("POS 연결 문자열의 따옴표나 괄호 안에 SQLite 드라이버가 들어 있어 ODBC 가 다르게 "
                        "읽습니다 — 따옴표와 괄호를 고쳐 주세요.");
        TConnTarget t;
        t.Ok = true;
        t.Kind = TConnKind::Odbc;
        t.OdbcString = text;
        return t;
    }
    if (!Find(pairs, {"Provider"}, provider))
        return Fail("POS 연결 문자열에 Provider, Driver, DSN 이 없습니다 — SQL Server 는 "
                    "Provider=SQLOLEDB;Data Source=… 형식, 그 밖의 데이터베이스는 ODBC 의 Driver= 나 DSN= "
                    "형식이어야 합니다.");
    if (!IsSqlServerProvider(provider))
        return Fail(Fmt("POS 연결 문자열의 Provider=%s 는 쓸 수 없습니다 — SQL Server 공급자(SQLOLEDB, "
                        "SQLNCLI, MSOLEDBSQL)만 지원합니다.",
                        Trim(provider).c_str()));
    return SqlServerTarget(pairs, sqlServerDriver);
}

} // namespace pavona
