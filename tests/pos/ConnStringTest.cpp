// Connection strings as entered become ODBC strings (FreeTDS or Microsoft's drivers for SQL Server,
// SQLite read-only) or are refused with a reason.
#include "pos/ConnString.h"

#include <gtest/gtest.h>

namespace pavona {

TEST(ConnString, AdoSqlServerStringsBecomeFreeTdsStrings) {
    const std::string tail = ";TDS_Version=7.4;ClientCharset=UTF-8";
    struct Case {
        std::string in, out;
    } cases[] = {
        {"Provider=SQLOLEDB.1;Password=pos!1;Persist Security Info=True;User ID=sa;Initial Catalog=POSDB;"
         "Data Source=192.168.0.10",
         "Driver=FreeTDS;Server=192.168.0.10;Port=1433;Database=POSDB;UID=sa;PWD=pos!1" + tail},
        // Port after a comma, blanks around keys and values, keys in any case.
        {" provider = SQLNCLI11 ; data source = posserver,14330 ; initial catalog = 매장 ; user id = pos ; "
         "password = 1234 ",
         "Driver=FreeTDS;Server=posserver;Port=14330;Database=매장;UID=pos;PWD=1234" + tail},
        // A named instance without a port is found by the driver; with a port the port wins.
        {"Provider=MSOLEDBSQL;Data Source=POS-PC\\SQLEXPRESS;Initial Catalog=pos;User ID=a;Password=b",
         "Driver=FreeTDS;Server=POS-PC\\SQLEXPRESS;Database=pos;UID=a;PWD=b" + tail},
        {"Provider=MSOLEDBSQL19;Data Source=tcp:10.0.0.5\\POS,1500;User ID=a;Password=b",
         "Driver=FreeTDS;Server=10.0.0.5;Port=1500;UID=a;PWD=b" + tail},
        // This computer; Windows login instead of a password.
        {"Provider=SQLOLEDB;Data Source=(local);Initial Catalog=pos;Integrated Security=SSPI",
         "Driver=FreeTDS;Server=127.0.0.1;Port=1433;Database=pos;Trusted_Connection=Yes" + tail},
        {"Provider=SQLOLEDB;Data Source=.;Initial Catalog=pos;User ID=sa;Password=x",
         "Driver=FreeTDS;Server=127.0.0.1;Port=1433;Database=pos;UID=sa;PWD=x" + tail},
        // Quoted values with ; and a doubled quote are carried in ODBC braces.
        {"Provider=SQLOLEDB;Data Source=pos;User ID=sa;Password=\"a;b\"\"c\"",
         "Driver=FreeTDS;Server=pos;Port=1433;UID=sa;PWD={a;b\"c}" + tail},
        {"Provider=SQLOLEDB;Data Source=pos;User ID=sa;Password='p}w'",
         "Driver=FreeTDS;Server=pos;Port=1433;UID=sa;PWD={p}}w}" + tail},
    };
    for (const Case& c : cases) {
        const TConnTarget t = TranslateConnString(c.in, "FreeTDS");
        EXPECT_TRUE(t.Ok) << c.in << " → " << t.Error;
        EXPECT_EQ(t.Kind, TConnKind::SqlServer) << c.in;
        EXPECT_EQ(t.OdbcString, c.out) << c.in;
    }
}

// Windows reaches SQL Server through Microsoft's drivers: the port after a comma, no FreeTDS keys,
// and Driver 18 told not to insist on an encrypted connection the POS server may not offer.
TEST(ConnString, AdoSqlServerStringsBecomeMicrosoftDriverStrings) {
    struct Case {
        std::string driver, in, out;
    } cases[] = {
        {"SQL Server", "Provider=SQLOLEDB.1;Password=pos!1;User ID=sa;Initial Catalog=POSDB;Data Source=192.168.0.10",
         "Driver={SQL Server};Server=192.168.0.10,1433;Database=POSDB;UID=sa;PWD=pos!1"},
        {"ODBC Driver 17 for SQL Server", "Provider=SQLNCLI11;Data Source=posserver,14330;Initial Catalog=매장;"
         "Integrated Security=SSPI",
         "Driver={ODBC Driver 17 for SQL Server};Server=posserver,14330;Database=매장;Trusted_Connection=Yes"},
        {"ODBC Driver 18 for SQL Server", "Provider=MSOLEDBSQL;Data Source=POS-PC\\SQLEXPRESS;User ID=a;Password=b",
         "Driver={ODBC Driver 18 for SQL Server};Server=POS-PC\\SQLEXPRESS;UID=a;PWD=b;Encrypt=no"},
        {"SQL Server", "Provider=SQLOLEDB;Data Source=(local);User ID=sa;Password=\"a;b\"",
         "Driver={SQL Server};Server=127.0.0.1,1433;UID=sa;PWD={a;b}"},
    };
    for (const Case& c : cases) {
        const TConnTarget t = TranslateConnString(c.in, c.driver);
        EXPECT_TRUE(t.Ok) << c.in << " → " << t.Error;
        EXPECT_EQ(t.Kind, TConnKind::SqlServer) << c.in;
        EXPECT_EQ(t.OdbcString, c.out) << c.in;
    }
}

TEST(ConnString, OdbcStringsPassUnchangedAndSqliteIsForcedReadOnly) {
    struct Case {
        std::string in;
        TConnKind kind;
        std::string out;
    } cases[] = {
        {"Driver=FreeTDS;Server=h;Port=1433;UID=a;PWD=b", TConnKind::Odbc,
         "Driver=FreeTDS;Server=h;Port=1433;UID=a;PWD=b"},
        {"DSN=posdb;UID=a;PWD=b", TConnKind::Odbc, "DSN=posdb;UID=a;PWD=b"},
        {"Driver=SQLite3;Database=/var/pos/pos.db", TConnKind::Sqlite,
         "Driver=SQLite3;Database=file:/var/pos/pos.db?mode=ro;NoCreat=1"},
        // The store's own NoCreat and mode give way; other URI options stay.
        {"driver={SQLite3};database=file:/p/pos.db?mode=rwc&cache=shared;NoCreat=0;Timeout=2000",
         TConnKind::Sqlite,
         "driver=SQLite3;Timeout=2000;Database=file:/p/pos.db?mode=ro&cache=shared;NoCreat=1"},
        // Characters that would end the path inside a URI are escaped.
        {"Driver=SQLite3;Database=/p/a?b#c%d.db", TConnKind::Sqlite,
         "Driver=SQLite3;Database=file:/p/a%3Fb%23c%25d.db?mode=ro;NoCreat=1"},
    };
    for (const Case& c : cases) {
        const TConnTarget t = TranslateConnString(c.in);
        EXPECT_TRUE(t.Ok) << c.in << " → " << t.Error;
        EXPECT_EQ(t.Kind, c.kind) << c.in;
        EXPECT_EQ(t.OdbcString, c.out) << c.in;
    }
}

// Whatever name the store writes, the driver gets one plain (unbraced) value whose query carries
// mode=ro where SQLite reads it: before any '#', and with no other mode beside it.
TEST(ConnString, EverySqliteFileNameBecomesAReadOnlyUri) {
    struct Case {
        std::string database, uri;
    } cases[] = {
        // A plain path: every byte SQLite's URI reading would take as syntax is escaped.
        {"/var/pos/pos.db#", "file:/var/pos/pos.db%23?mode=ro"},
        {"/var/pos/a#b.db", "file:/var/pos/a%23b.db?mode=ro"},
        {"/var/pos/pos.db?mode=rwc", "file:/var/pos/pos.db%3Fmode=rwc?mode=ro"},
        {"/var/pos/100%.db", "file:/var/pos/100%25.db?mode=ro"},
        {"/var/pos/x%23.db", "file:/var/pos/x%2523.db?mode=ro"},
        {"/var/pos/매장 포스.db", "file:/var/pos/매장 포스.db?mode=ro"},
        {"/var/pos/매장 #1?판매%.db", "file:/var/pos/매장 %231%3F판매%25.db?mode=ro"},
        {"/var/pos/a;b{c}.db", "file:/var/pos/a%3Bb%7Bc%7D.db?mode=ro"},
        {"/var/pos/tab\there.db", "file:/var/pos/tab%09here.db?mode=ro"},
        {"//var/pos/pos.db", "file:////var/pos/pos.db?mode=ro"},
        {"pos.db#", "file:pos.db%23?mode=ro"},
        // A URI the store wrote itself: the fragment goes, the store's escapes stay as written.
        {"file:/var/pos/pos.db#", "file:/var/pos/pos.db?mode=ro"},
        {"file:/var/pos/pos.db#frag?mode=rwc", "file:/var/pos/pos.db?mode=ro"},
        {"file:/var/pos/pos.db?cache=shared#x?mode=rw", "file:/var/pos/pos.db?mode=ro&cache=shared"},
        {"file:/var/pos/a%23b.db?mode=rw#?mode=rwc", "file:/var/pos/a%23b.db?mode=ro"},
        {"file:/var/pos/pos.db?mod%65=rw&vfs=unix", "file:/var/pos/pos.db?mode=ro&vfs=unix"},
        {"file:/var/pos/pos.db?MODE=rw&mode&cache=private", "file:/var/pos/pos.db?mode=ro&cache=private"},
        {"FILE:/var/pos/pos.db?mode=rw", "file:/var/pos/pos.db?mode=ro"},
        {"file:///var/pos/%EB%A7%A4%EC%9E%A5.db", "file:///var/pos/%EB%A7%A4%EC%9E%A5.db?mode=ro"},
        {"file:/var/pos/a;b.db?cache=shared", "file:/var/pos/a%3Bb.db?mode=ro&cache=shared"},
        // An option left ending in a blank once the fragment is cut: escaped, never braced.
        {"file:/var/pos/pos.db?cache=shared #x", "file:/var/pos/pos.db?mode=ro&cache=shared%20"},
        {"file:/var/pos/pos.db?vfs=unix&x=a b", "file:/var/pos/pos.db?mode=ro&vfs=unix&x=a%20b"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.database);
        const TConnTarget t = TranslateConnString("Driver=SQLite3;Database=\"" + c.database + "\"");
        ASSERT_TRUE(t.Ok) << t.Error;
        EXPECT_EQ(t.Kind, TConnKind::Sqlite);
        EXPECT_EQ(t.OdbcString, "Driver=SQLite3;Database=" + c.uri + ";NoCreat=1");
    }
}

TEST(ConnString, AnythingElseFailsWithAKoreanReasonAndNeverEchoesThePassword) {
    struct Case {
        std::string in, errorPart;
    } cases[] = {
        {"", "비어 있습니다"},
        {"   ", "비어 있습니다"},
        {"Data Source=pos;Initial Catalog=db;User ID=sa;Password=secret",
         "Provider, Driver, DSN 이 없습니다"},
        {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=c:\\pos.mdb;Password=secret",
         "Provider=Microsoft.Jet.OLEDB.4.0"},
        {"Provider=SQLOLEDB;Initial Catalog=db;Password=secret", "Data Source(서버 주소)가 없습니다"},
        {"Provider=SQLOLEDB;Data Source=pos,99999;Password=secret", "포트 번호가 잘못되었습니다: 99999"},
        {"Provider=SQLOLEDB;Data Source=pos,abc;Password=secret", "포트 번호가 잘못되었습니다"},
        {"Provider=SQLOLEDB;Data Source=pos;secret", "3번째 항목에 '=' 가 없습니다"},
        {"Provider=SQLOLEDB;Data Source=pos;Password=\"secret", "닫히지 않았습니다"},
        {"Driver=SQLite3;Password=secret", "Database(SQLite 파일 경로)가 없습니다"},
        // A NUL would end the string the driver manager reads: a DSN string would lose its options.
        {std::string("DSN=pos\0;UID=sa;Password=secret", 31), "NUL"},
        {std::string("Driver=SQLite3;Database=/var/pos/pos.db\0;Password=secret", 56), "NUL"},
        // ODBC knows no quotes: the driver manager would load the SQLite driver named inside them
        // and open the file writable, while this string looked like another driver's.
        {"Driver=FreeTDS;X=\"a;Driver=SQLite3;Database=/var/pos/pos.db;b\";Password=secret", "따옴표"},
        {"Driver=FreeTDS;X='a;Driver=SQLite3;Database=/var/pos/pos.db;b'", "SQLite 드라이버"},
        {"Driver=FreeTDS;X={a}};Driver=SQLite3;Database=/var/pos/pos.db;b}", "괄호"},
    };
    for (const Case& c : cases) {
        const TConnTarget t = TranslateConnString(c.in);
        EXPECT_FALSE(t.Ok) << c.in;
        EXPECT_TRUE(t.OdbcString.empty()) << c.in;
        EXPECT_NE(t.Error.find(c.errorPart), std::string::npos) << c.in << " → " << t.Error;
        EXPECT_EQ(t.Error.find("secret"), std::string::npos) << t.Error;
    }
}

} // namespace pavona
