// Fuzz target: POS connection strings as the store entered them, translated for the ODBC driver
// manager.
#include "common/Text.h"
#include "fuzz/FuzzSupport.h"
#include "pos/ConnString.h"

#include <sqlite3.h>

#include <cstring>
#include <deque>
#include <set>

// Properties: a string translated for the embedded POS opens read-only as SQLite itself reads the
// URI (never writable, never created) and names the very file the store wrote; the driver manager
// never loads the SQLite driver for a string passed on unchanged; a refused string gives a reason.

namespace pavona::fuzz {
namespace {

// Every file system SQLite knows is shadowed by one that records how the main database would be
// opened and then refuses to open anything, so nothing on the disk is ever touched.
struct TOpenSeen {
    bool Main = false;
    int Flags = 0;
    std::string Name;
} gSeen;

std::deque<sqlite3_vfs> gShadows;
std::deque<std::string> gShadowNames;

int ShadowOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int*) {
    file->pMethods = nullptr;
    if (flags & SQLITE_OPEN_MAIN_DB) {
        gSeen.Main = true;
        gSeen.Flags = flags;
        gSeen.Name = name ? name : "";
    }
    return SQLITE_CANTOPEN;
}
int ShadowDelete(sqlite3_vfs*, const char*, int) {
    return SQLITE_OK;
}
int ShadowAccess(sqlite3_vfs*, const char*, int, int* out) {
    *out = 0;
    return SQLITE_OK;
}
int ShadowFullPathname(sqlite3_vfs*, const char* name, int size, char* out) {
    if (static_cast<int>(std::strlen(name)) >= size) return SQLITE_CANTOPEN;
    std::strcpy(out, name);
    return SQLITE_OK;
}

void ShadowEveryVfs() {
    std::vector<sqlite3_vfs*> real;
    for (sqlite3_vfs* v = sqlite3_vfs_find(nullptr); v; v = v->pNext)
        real.push_back(v);
    for (std::size_t i = real.size(); i-- > 0;) {
        gShadowNames.emplace_back(real[i]->zName);
        sqlite3_vfs shadow = *real[i];
        shadow.pNext = nullptr;
        shadow.zName = gShadowNames.back().c_str();
        shadow.xOpen = ShadowOpen;
        shadow.xDelete = ShadowDelete;
        shadow.xAccess = ShadowAccess;
        shadow.xFullPathname = ShadowFullPathname;
        gShadows.push_back(shadow);
        // The real default (first in the list) is shadowed last, as the new default.
        sqlite3_vfs_register(&gShadows.back(), i == 0);
    }
}

// An ODBC connection string read as drivers read it: "key=value" pairs split at ";" outside
// braces, a braced value ending at a "}" that is not doubled. False when it is not well-formed.
bool OdbcPairs(std::string_view s, std::vector<std::pair<std::string, std::string>>& out) {
    out.clear();
    std::size_t i = 0;
    while (i < s.size()) {
        const std::size_t eq = s.find('=', i);
        if (eq == std::string_view::npos) return false;
        std::string key(s.substr(i, eq - i));
        if (key.find(';') != std::string::npos) return false;
        i = eq + 1;
        std::string value;
        if (i < s.size() && s[i] == '{') {
            for (++i;; ++i) {
                if (i >= s.size()) return false;
                if (s[i] == '}') {
                    if (i + 1 < s.size() && s[i + 1] == '}') {
                        value.push_back('}');
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                value.push_back(s[i]);
            }
            if (i < s.size() && s[i] != ';') return false;
        } else {
            const std::size_t end = std::min(s.find(';', i), s.size());
            value = std::string(s.substr(i, end - i));
            if (value.find_first_of("{}") != std::string::npos) return false;
            i = end;
        }
        out.emplace_back(Trim(key), value);
        if (i < s.size()) ++i; // the ";"
    }
    return true;
}

// The driver the ODBC driver manager takes from a string: the last "Driver" key, reading pairs
// split at ";" outside braces (quotes mean nothing there), keys taken trimmed to err on the safe side.
std::string ManagerDriver(std::string_view s) {
    std::string driver;
    std::size_t i = 0;
    while (i < s.size()) {
        std::size_t end = i;
        bool braced = false;
        while (end < s.size() && (braced || s[end] != ';')) {
            if (s[end] == '{') braced = true;
            if (s[end] == '}') braced = false;
            ++end;
        }
        const std::string_view pair = s.substr(i, end - i);
        const std::size_t eq = pair.find('=');
        if (eq != std::string_view::npos && SameTextAscii(Trim(pair.substr(0, eq)), "Driver"))
            driver = std::string(pair.substr(eq + 1));
        i = end + 1;
    }
    return driver;
}

void CheckKeysOnce(const std::vector<std::pair<std::string, std::string>>& pairs) {
    std::set<std::string> keys;
    for (const auto& [k, v] : pairs)
        FUZZ_CHECK(keys.insert(LowerAscii(k)).second);
}

void CheckSqlite(const TConnTarget& t) {
    std::vector<std::pair<std::string, std::string>> pairs;
    FUZZ_CHECK(OdbcPairs(t.OdbcString, pairs));
    // The store's other keys pass as written, repeated ones too; the database and NoCreat are the
    // agent's, once each, and the driver the driver manager takes (the last one named) is SQLite.
    int databases = 0, noCreats = 0;
    std::string driver;
    for (const auto& [k, v] : pairs) {
        databases += SameTextAscii(k, "Database");
        noCreats += SameTextAscii(k, "NoCreat");
        if (SameTextAscii(k, "Driver")) driver = v;
    }
    FUZZ_CHECK(databases == 1 && noCreats == 1);
    FUZZ_CHECK(LowerAscii(driver).find("sqlite") != std::string::npos);
    FUZZ_CHECK(pairs.size() >= 2 && SameTextAscii(pairs.back().first, "NoCreat") &&
               pairs.back().second == "1");
    // The driver reads no braced values: the database must be plain text in the string itself.
    const std::size_t at = t.OdbcString.rfind(";Database=");
    FUZZ_CHECK(at != std::string::npos && t.OdbcString.compare(at + 10, 1, "{") != 0);
    const std::string& uri = pairs[pairs.size() - 2].second;
    FUZZ_CHECK(SameTextAscii(pairs[pairs.size() - 2].first, "Database") && StartsWith(uri, "file:"));

    // Opened as the driver opens it, with write access asked for and the name as a C string.
    gSeen = TOpenSeen{};
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(uri.c_str(), &db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_URI, nullptr);
    // Only a name SQLite keeps no file for (an empty name, ":memory:") opens at all here.
    const char* file = rc == SQLITE_OK ? sqlite3_db_filename(db, "main") : nullptr;
    const bool noFile = file == nullptr || *file == '\0';
    sqlite3_close(db);
    FUZZ_CHECK(rc != SQLITE_OK || noFile);
    if (!gSeen.Main) return; // not opened at all (an unknown vfs, an in-memory name, a bad URI)
    FUZZ_CHECK((gSeen.Flags & SQLITE_OPEN_READONLY) != 0);
    FUZZ_CHECK((gSeen.Flags & (SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)) == 0);
    // A plain path opens that very file.
    if (!t.SqliteFile.empty()) FUZZ_CHECK(gSeen.Name == t.SqliteFile);
}

void CheckSqlServer(const TConnTarget& t) {
    std::vector<std::pair<std::string, std::string>> pairs;
    FUZZ_CHECK(OdbcPairs(t.OdbcString, pairs));
    CheckKeysOnce(pairs);
    static const std::set<std::string> allowed = {
        "driver",      "server",       "port", "database", "uid", "pwd", "trusted_connection",
        "tds_version", "clientcharset"};
    for (const auto& [k, v] : pairs)
        FUZZ_CHECK(allowed.count(LowerAscii(k)));
    FUZZ_CHECK(StartsWith(t.OdbcString, "Driver=FreeTDS;Server="));
    FUZZ_CHECK(EndsWith(t.OdbcString, ";TDS_Version=7.4;ClientCharset=UTF-8"));
}

} // namespace
} // namespace pavona::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    sqlite3_initialize();
    pavona::fuzz::ShadowEveryVfs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pavona;
    using namespace pavona::fuzz;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const TConnTarget t = TranslateConnString(text);
    if (!t.Ok) {
        FUZZ_CHECK(!t.Error.empty() && t.OdbcString.empty());
        return 0;
    }
    FUZZ_CHECK(t.Error.empty() && !t.OdbcString.empty());
    // What the driver manager gets is a C string: all of it must reach the driver.
    FUZZ_CHECK(t.OdbcString.find('\0') == std::string::npos);
    switch (t.Kind) {
    case TConnKind::Sqlite:
        CheckSqlite(t);
        break;
    case TConnKind::SqlServer:
        CheckSqlServer(t);
        break;
    case TConnKind::Odbc:
        FUZZ_CHECK(t.OdbcString == text);
        // Passed on unchanged only when the driver manager will not open the embedded POS with it.
        FUZZ_CHECK(LowerAscii(ManagerDriver(t.OdbcString)).find("sqlite") == std::string::npos);
        break;
    }
    return 0;
}
