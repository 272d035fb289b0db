// Connecting the POS reader: the embedded POS opened strictly read-only, typed parameters through
// a real driver, and SQL Server connections that fail within the login time-out.
#include "pos/AgentPos.h"
#include "pos/ConnString.h"

#include "PosFixture.h"
#include "common/Text.h"
#include "platform/Platform.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

namespace pavona {

namespace {

// A TCP socket on 127.0.0.1 with a port of the system's choosing; with `listening` the kernel
// accepts connections into the backlog, but nobody ever reads or answers.
class LocalSocket {
  public:
    explicit LocalSocket(bool listening) {
        FFd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(FFd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        socklen_t len = sizeof a;
        getsockname(FFd, reinterpret_cast<sockaddr*>(&a), &len);
        FPort = ntohs(a.sin_port);
        if (listening) listen(FFd, 8);
    }
    ~LocalSocket() { Close(); }
    void Close() {
        if (FFd >= 0) close(FFd);
        FFd = -1;
    }
    int Port() const { return FPort; }

  private:
    int FFd = -1;
    int FPort = 0;
};

double SecondsToConnect(TPosReader& reader, const std::string& connStr, Result<>& connected) {
    const auto start = std::chrono::steady_clock::now();
    connected = reader.Connect(connStr);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string SqlServerAt(int port) {
    return Fmt("Provider=SQLOLEDB.1;Data Source=127.0.0.1,%d;Initial Catalog=POS;User ID=sa;Password=pos",
               port);
}

} // namespace

TEST(PosConnect, SqlServerThatIsNotThereFailsWithTheDriversMessage) {
    LocalSocket closed(false);
    const int port = closed.Port();
    closed.Close(); // nothing listens there now
    TPosReader reader;
    reader.SetTimeouts(3, 60);
    Result<> connected;
    const double seconds = SecondsToConnect(reader, SqlServerAt(port), connected);
    EXPECT_FALSE(connected.Ok());
    EXPECT_LT(seconds, 3.0 + 2.0);
    EXPECT_NE(connected.Error().find("FreeTDS"), std::string::npos) << connected.Error();
}

TEST(PosConnect, SqlServerThatAcceptsAndNeverAnswersFailsWithinTheLoginTimeout) {
    LocalSocket silent(true);
    TPosReader reader;
    reader.SetTimeouts(2, 60);
    Result<> connected;
    const double seconds = SecondsToConnect(reader, SqlServerAt(silent.Port()), connected);
    EXPECT_FALSE(connected.Ok());
    EXPECT_GE(seconds, 1.5); // it was the time-out that ended the wait
    EXPECT_LT(seconds, 2.0 + 3.0);
    EXPECT_NE(connected.Error().find("FreeTDS"), std::string::npos) << connected.Error();
}

TEST(PosConnect, AStringOfNoKnownFormFailsBeforeAnyDriverIsAsked) {
    TPosReader reader;
    const Result<> ace = reader.Connect("Provider=Microsoft.ACE.OLEDB.12.0;Data Source=c:\\pos.accdb");
    EXPECT_FALSE(ace.Ok());
    EXPECT_NE(ace.Error().find("SQL Server 공급자"), std::string::npos) << ace.Error();
    const Result<> empty = reader.Connect("");
    EXPECT_FALSE(empty.Ok());
    EXPECT_NE(empty.Error().find("비어 있습니다"), std::string::npos) << empty.Error();
}

class PosReadOnlyTest : public test::TempDataTest {};

TEST_F(PosReadOnlyTest, TheEmbeddedPosIsNeverWrittenNorCreated) {
    const std::string path = FRoot.File("pos.db");
    std::string error;
    ASSERT_TRUE(test::MakeFixturePos(path, error)) << error;
    std::string before;
    ASSERT_TRUE(platform::ReadWholeFile(path, before));

    // The same connection the reader makes, asked to write.
    const TConnTarget target = TranslateConnString(test::FixtureConnStr(path));
    ASSERT_TRUE(target.Ok) << target.Error;
    TOdbcConnection conn;
    conn.Open(target.OdbcString, 5);
    EXPECT_EQ(conn.DbmsName(), "SQLite");
    for (const char* sql :
         {"DELETE FROM Ord", "CREATE TABLE agent_notes (a int)", "UPDATE goods SET goods_status = 9"}) {
        TOdbcQuery q(conn);
        q.SetSql(sql);
        EXPECT_THROW(q.Open(), EOdbcError) << sql;
    }
    conn.Close();
    std::string after;
    ASSERT_TRUE(platform::ReadWholeFile(path, after));
    EXPECT_TRUE(before == after);

    // A path where no POS file is: connecting fails and leaves no file behind.
    const std::string missing = FRoot.File("missing.db");
    TPosReader reader;
    const Result<> connected = reader.Connect(test::FixtureConnStr(missing));
    EXPECT_FALSE(connected.Ok());
    EXPECT_TRUE(StartsWith(connected.Error(), "POS 데이터베이스 파일이 없습니다: " + missing + " ("))
        << connected.Error();
    EXPECT_FALSE(platform::FileExists(missing));
}

namespace {

// One POS file named `name` in `dir`, reached through `connStr`: the agent reads it, and the same
// connection refuses every write as SQLite's read-only refusal, leaving the folder byte for byte.
void ExpectReadOnly(const std::string& dir, const std::string& name, const std::string& connStr) {
    ASSERT_TRUE(platform::MakeDirs(dir));
    const std::string path = platform::JoinPath(dir, name);
    std::string error;
    ASSERT_TRUE(test::MakeFixturePos(path, error)) << error;
    std::string before;
    ASSERT_TRUE(platform::ReadWholeFile(path, before));

    TPosReader reader;
    const Result<> connected = reader.Connect(connStr);
    ASSERT_TRUE(connected.Ok()) << connected.Error();
    const Result<std::vector<TGoodsRow>> read = reader.GoodsList("사과", 0);
    ASSERT_TRUE(read.Ok()) << read.Error();
    const std::vector<TGoodsRow>& goods = read.Value();
    ASSERT_EQ(goods.size(), 2u);
    EXPECT_EQ(goods[0].Name, "사과");

    const TConnTarget target = TranslateConnString(connStr);
    ASSERT_TRUE(target.Ok) << target.Error;
    TOdbcConnection conn;
    ASSERT_NO_THROW(conn.Open(target.OdbcString, 5)) << target.OdbcString;
    {
        TOdbcQuery q(conn);
        q.SetSql("SELECT count(*) FROM Ord");
        ASSERT_NO_THROW(q.Open());
        EXPECT_EQ(q.Value(0, 0).AsInt64(), 7);
    }
    for (const char* sql :
         {"CREATE TABLE agent_notes (a int)", "INSERT INTO couponsponsor VALUES (2, '농협')"}) {
        TOdbcQuery q(conn);
        q.SetSql(sql);
        try {
            q.Open();
            ADD_FAILURE() << sql << " was written through " << target.OdbcString;
        } catch (const EOdbcError& e) {
            EXPECT_NE(std::string(e.what()).find("readonly"), std::string::npos) << sql << " → " << e.what();
        }
    }
    conn.Close();

    std::string after;
    ASSERT_TRUE(platform::ReadWholeFile(path, after));
    EXPECT_TRUE(before == after) << "the POS file changed";
    std::vector<std::string> names;
    ASSERT_TRUE(platform::ListFiles(dir, names));
    EXPECT_EQ(names, std::vector<std::string>{name});
}

} // namespace

TEST_F(PosReadOnlyTest, OddFileNamesAreReadButNeverWritten) {
    // "@" stands for the case's own folder.
    struct Case {
        std::string name, connStr;
    } cases[] = {
        {"pos.db#", "Driver=SQLite3;Database=@/pos.db#"},
        {"a#b.db", "Driver=SQLite3;Database=@/a#b.db"},
        {"a?b.db", "Driver=SQLite3;Database=@/a?b.db"},
        {"pos.db?mode=rwc", "Driver=SQLite3;Database=@/pos.db?mode=rwc"},
        {"100%.db", "Driver=SQLite3;Database=@/100%.db"},
        {"x%23.db", "Driver=SQLite3;Database=@/x%23.db"},
        {"매장 포스.db", "Driver=SQLite3;Database=@/매장 포스.db"},
        {"매장 #1?판매%.db", "Driver=SQLite3;Database=@/매장 #1?판매%.db"},
        {"a;b{c}.db", "Driver=SQLite3;Database=\"@/a;b{c}.db\""},
        {"pos.db", "Driver=SQLite3;Database=/@/pos.db"},
        {"pos.db", "Driver=SQLite3;Database=file:@/pos.db#"},
        {"pos.db", "Driver=SQLite3;Database=file:@/pos.db#frag?mode=rwc"},
        {"pos.db", "Driver=SQLite3;Database=file:@/pos.db?cache=shared#x?mode=rw"},
        {"a#b.db", "Driver=SQLite3;Database=file:@/a%23b.db?mode=rw#?mode=rwc"},
        {"매장 포스.db", "Driver=SQLite3;Database=file:@/%EB%A7%A4%EC%9E%A5%20%ED%8F%AC%EC%8A%A4.db#"},
        {"pos.db", "Driver=SQLite3;Database=FILE:@/pos.db?mode=rw"},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string dir = FRoot.File(Fmt("case%d", ++n));
        const std::string connStr = ReplaceAll(c.connStr, "@", dir);
        SCOPED_TRACE(connStr);
        ExpectReadOnly(dir, c.name, connStr);
    }
}

TEST_F(PosReadOnlyTest, ParametersKeepTheirTypesAndLongKoreanTextsComeBackWhole) {
    const std::string path = FRoot.File("pos.db");
    std::string error;
    ASSERT_TRUE(test::MakeFixturePos(path, error)) << error;
    TOdbcConnection conn;
    conn.Open(TranslateConnString(test::FixtureConnStr(path)).OdbcString, 5);

    std::string longText;
    for (int i = 0; i < 1500; ++i)
        longText += "농할😀";
    const std::int64_t big = 9007199254740993; // not exact as a double
    const TDateTime when = EncodeDateTime(2026, 10, 6, 23, 59, 59, 997);
    TOdbcQuery q(conn);
    q.SetSql("SELECT :t, typeof(:n), :n, :d, :n + 1, NULL");
    q.SetText("t", longText);
    q.SetInt64("n", big);
    q.SetDateTime("d", when);
    ASSERT_NO_THROW(q.Open());
    ASSERT_EQ(q.RowCount(), 1u);
    EXPECT_EQ(q.Value(0, 0).AsText(), longText);
    EXPECT_EQ(q.Value(0, 1).AsText(), "integer");
    EXPECT_EQ(q.Value(0, 2).AsInt64(), big);
    EXPECT_EQ(ToMSecs(q.Value(0, 3).AsDateTime()), ToMSecs(when));
    EXPECT_EQ(q.Value(0, 4).AsInt64(), big + 1);
    EXPECT_TRUE(q.Value(0, 5).IsNull());
    EXPECT_EQ(q.Value(0, 5).AsText(), "");

    // Many rows come in blocks; a text longer than a block has room for, met after whole blocks were
    // read, still comes back whole, and so do the rows around it.
    TOdbcQuery rows(conn);
    rows.SetSql("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 700) "
                "SELECT i, CASE WHEN i = 600 THEN :t ELSE 'ㄱ' || i END, CAST(i AS REAL) / 4 FROM n");
    rows.SetText("t", longText);
    ASSERT_NO_THROW(rows.Open());
    ASSERT_EQ(rows.RowCount(), 700u);
    for (size_t r = 0; r < 700; ++r) {
        const std::int64_t i = static_cast<std::int64_t>(r) + 1;
        ASSERT_EQ(rows.Value(r, 0).AsInt64(), i);
        ASSERT_EQ(rows.Value(r, 1).AsText(), i == 600 ? longText : "ㄱ" + std::to_string(i));
        ASSERT_EQ(rows.Value(r, 2).AsInt64(), i / 4);
    }
    EXPECT_EQ(rows.TakeText(599, 1), longText);
    EXPECT_EQ(rows.Value(599, 1).AsText(), "");
    EXPECT_EQ(rows.TakeText(0, 0), "1");

    // A parameter without a value is refused before anything runs.
    TOdbcQuery missing(conn);
    missing.SetSql("SELECT :a, :b");
    missing.SetInt64("a", 1);
    EXPECT_THROW(missing.Open(), EOdbcError);
}

} // namespace pavona
