// The demo POS written through ODBC and the SQLite3 driver against the sqlite3 writer: the same
// demo holds the same rows, typed and spelled alike; rows added one by one land as given, a failed
// one leaves nothing; an open of a missing file makes none.
#include "tools/demopos/DemoDb.h"

#include "common/Text.h"
#include "platform/Platform.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <memory>
#include <string>
#include <vector>

namespace pavona {
namespace {

using demopos::TDemoOptions;

struct TDbClose {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct TFinalize {
    void operator()(sqlite3_stmt* st) const { sqlite3_finalize(st); }
};

// One cell with its storage class, text with its length in bytes: an integer stored as text, a
// trimmed blank or a changed byte of Korean text all read differently.
std::string Cell(sqlite3_stmt* st, int i) {
    switch (sqlite3_column_type(st, i)) {
    case SQLITE_INTEGER:
        return Fmt("i:%lld", static_cast<long long>(sqlite3_column_int64(st, i)));
    case SQLITE_FLOAT:
        return Fmt("r:%.17g", sqlite3_column_double(st, i));
    case SQLITE_TEXT: {
        const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
        const int n = sqlite3_column_bytes(st, i);
        return Fmt("t%d:", n) + std::string(t, static_cast<size_t>(n));
    }
    case SQLITE_BLOB:
        return Fmt("b%d", sqlite3_column_bytes(st, i));
    default:
        return "null";
    }
}

// Every row of a query read by the sqlite3 library itself, cells joined by "|".
std::vector<std::string> Rows(const std::string& path, const std::string& sql) {
    std::vector<std::string> out;
    sqlite3* rawDb = nullptr;
    EXPECT_EQ(sqlite3_open_v2(path.c_str(), &rawDb, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK) << path;
    const std::unique_ptr<sqlite3, TDbClose> db(rawDb);
    sqlite3_stmt* rawSt = nullptr;
    const int prepared = sqlite3_prepare_v2(db.get(), sql.c_str(), -1, &rawSt, nullptr);
    const std::unique_ptr<sqlite3_stmt, TFinalize> st(rawSt);
    if (prepared != SQLITE_OK) {
        ADD_FAILURE() << sqlite3_errmsg(db.get()) << " in " << sql;
        return out;
    }
    while (sqlite3_step(st.get()) == SQLITE_ROW) {
        std::string row;
        for (int i = 0; i < sqlite3_column_count(st.get()); ++i)
            row += (i ? "|" : "") + Cell(st.get(), i);
        out.push_back(row);
    }
    return out;
}

std::int64_t Count(const std::string& path, const std::string& sql) {
    const auto rows = Rows(path, sql);
    return rows.size() == 1 && StartsWith(rows[0], "i:") ? StrToInt64Def(rows[0].substr(2), -1) : -1;
}

// The schema, then every table the file holds, row by row in the order written.
std::vector<std::string> Dump(const std::string& path) {
    std::vector<std::string> all =
        Rows(path, "SELECT type, name, tbl_name, sql FROM sqlite_master ORDER BY name");
    for (const std::string& t :
         Rows(path, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name")) {
        const std::string name = t.substr(t.find(':') + 1);
        for (const std::string& r : Rows(path, "SELECT * FROM " + name + " ORDER BY rowid"))
            all.push_back(name + ": " + r);
    }
    return all;
}

class DemoDbOdbcTest : public ::testing::Test {
  protected:
    test::TempDir FDir;
};

TEST_F(DemoDbOdbcTest, TheSameDemoThroughOdbcHoldsTheSameRows) {
    // The reference comes from the tool, which writes through the sqlite3 library; this program
    // links the ODBC writer.
    const std::string reference = FDir.File("sqlite3.db");
    const test::ProcessResult p =
        test::RunProcess(PAVONA_DEMOPOS_BIN, {"--out", reference, "--seed", "7", "--first-day", "2026-10-05",
                                              "--days", "4", "--receipts", "150"});
    ASSERT_EQ(p.ExitCode, 0) << p.Out << p.Err;
    TDemoOptions o;
    o.Seed = 7;
    o.FirstDay = EncodeDate(2026, 10, 5);
    o.Days = 4;
    o.ReceiptsPerDay = 150;
    const std::string odbc = FDir.File("odbc.db");
    const demopos::TDemoResult r = demopos::Generate(odbc, o);
    ASSERT_TRUE(r.Ok) << r.Error;
    // Whole and partial cancels and returns are in it, so their tables and NULL origins are compared too.
    EXPECT_FALSE(r.Summary.FullyCancelled.empty());
    EXPECT_FALSE(r.Summary.PartlyCancelled.empty());
    EXPECT_FALSE(r.Summary.ReturnReceipts.empty());

    // What the comparison must see: Korean names padded with blanks, stamps as text, NULLs.
    const struct {
        const char* What;
        const char* Sql;
    } present[] = {
        {"Korean goods names padded to 50", "SELECT COUNT(*) FROM goods WHERE goods_name GLOB '*[^ -~]*  '"},
        {"stamps as text with milliseconds", "SELECT COUNT(*) FROM Ord WHERE typeof(ord_date) = 'text' AND "
                                             "ord_date GLOB '2026-10-0[5-8] *.[0-9][0-9]*'"},
        {"goods status NULL", "SELECT COUNT(*) FROM goods WHERE goods_status IS NULL"},
        {"coupon end NULL", "SELECT COUNT(*) FROM coupon WHERE cp_end IS NULL"},
        {"coupon end given", "SELECT COUNT(*) FROM coupon WHERE cp_end IS NOT NULL"},
        {"cancel lines", "SELECT COUNT(*) FROM orddcancel"},
        {"discount lines", "SELECT COUNT(*) FROM Ordd WHERE ordd_kind <> 0 AND ordd_coupon <> 0"},
    };
    for (const auto& c : present) {
        SCOPED_TRACE(c.What);
        EXPECT_GT(Count(reference, c.Sql), 0);
    }

    const std::vector<std::string> want = Dump(reference);
    const std::vector<std::string> got = Dump(odbc);
    EXPECT_EQ(Rows(reference, "SELECT COUNT(*) FROM sqlite_master WHERE type = 'table'"),
              (std::vector<std::string>{"i:8"}));
    EXPECT_GT(want.size(), 2000u);
    ASSERT_EQ(got.size(), want.size());
    size_t differ = 0;
    for (size_t i = 0; i < want.size(); ++i) {
        if (got[i] == want[i]) continue;
        if (++differ <= 5)
            ADD_FAILURE() << "row " << i << "\n sqlite3: " << want[i] << "\n    odbc: " << got[i];
    }
    EXPECT_EQ(differ, 0u);
}

TEST_F(DemoDbOdbcTest, RowsAddedOneByOneLandAsGivenAndAFailedOneLeavesNothing) {
    const std::string db = FDir.File("rows.db");
    std::string error;
    ASSERT_TRUE(demopos::CreateEmpty(db, error)) << error;

    demopos::TDemoReceipt sale;
    sale.OrdCode = 500;
    sale.At = EncodeDateTime(2026, 10, 7, 9, 30, 15, 997);
    sale.Register = 2;
    sale.RegType = 0; // older tills: NULL
    sale.MemberCode = 88001;
    sale.Lines = {{0, 0, 100001, 0, 3, 2500, 0, 0, 1}, {0, 1, 100001, 7001, 1, -750, 750, 0, 1}};
    std::int64_t assigned = 0;
    ASSERT_TRUE(demopos::AddReceipt(db, sale, error, &assigned)) << error;
    EXPECT_EQ(assigned, 500);
    // Number 0 takes the next free one, read through MaxOf.
    ASSERT_TRUE(demopos::AddReceiptAt(db, EncodeDateTime(2026, 10, 7, 23, 59, 59, 3), 100002, 1200, 0, 0,
                                      error, &assigned))
        << error;
    EXPECT_EQ(assigned, 501);
    demopos::TDemoCancel cancel;
    cancel.OrdCode = 500;
    cancel.At = EncodeDateTime(2026, 10, 8, 0, 0, 0, 0);
    cancel.Lines = {{2, 1, 100001, 7001, 1, -750}};
    ASSERT_TRUE(demopos::AddCancel(db, cancel, error, &assigned)) << error;
    EXPECT_EQ(assigned, 1);

    // Two lines with one number: the second is refused, and the receipt with its first line goes too.
    demopos::TDemoReceipt twice;
    twice.OrdCode = 600;
    twice.At = EncodeDateTime(2026, 10, 7, 12, 0, 0, 0);
    twice.Lines = {{1, 0, 100003, 0, 1, 900}, {1, 0, 100004, 0, 1, 800}};
    EXPECT_FALSE(demopos::AddReceipt(db, twice, error));
    EXPECT_NE(error.find("행을 쓰지 못했습니다"), std::string::npos) << error;

    const struct {
        const char* Sql;
        std::vector<std::string> Rows;
    } cases[] = {
        {"SELECT * FROM Ord ORDER BY rowid",
         {"i:500|t23:2026-10-07 09:30:15.997|i:2|null|i:88001|null",
          "i:501|t23:2026-10-07 23:59:59.003|i:1|i:1|null|null"}},
        {"SELECT * FROM Ordd ORDER BY rowid",
         {"i:500|i:1|i:0|i:100001|i:0|i:3|i:2500|i:0|i:0|i:1",
          "i:500|i:2|i:1|i:100001|i:7001|i:1|i:-750|i:750|i:0|i:1",
          "i:501|i:1|i:0|i:100002|i:0|i:1|i:1200|i:0|i:0|i:1"}},
        {"SELECT * FROM ordcancel", {"i:1|i:500|t23:2026-10-08 00:00:00.000|i:1"}},
        {"SELECT * FROM orddcancel", {"i:1|i:2|i:1|i:100001|i:7001|i:1|i:-750"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Sql);
        EXPECT_EQ(Rows(db, c.Sql), c.Rows);
    }

    // Several statements in one text all run, each on its own.
    ASSERT_TRUE(demopos::RunSql(db,
                                "INSERT INTO couponsponsor VALUES (3, '농협; 지원'); "
                                "INSERT INTO couponsponsor VALUES (4, '시  ');",
                                error))
        << error;
    EXPECT_EQ(Rows(db, "SELECT * FROM couponsponsor ORDER BY 1"),
              (std::vector<std::string>{"i:3|t14:농협; 지원", "i:4|t5:시  "}));
}

TEST_F(DemoDbOdbcTest, AnOpenThatCannotSucceedSaysWhyAndMakesNoFile) {
    const struct {
        const char* What;
        std::string Path;
        bool Create;
    } cases[] = {
        {"missing file, no create", FDir.File("missing.db"), false},
        {"folder that does not exist", FDir.File("no/such/dir/pos.db"), true},
        {"path the connection string cannot carry", FDir.File("a;b.db"), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        demopos::TDemoDb db;
        EXPECT_FALSE(db.Open(c.Path, c.Create));
        EXPECT_NE(db.Error().find("데모 POS 파일을"), std::string::npos) << db.Error();
        EXPECT_FALSE(platform::FileExists(c.Path));
        // Nothing runs on a connection that never opened.
        EXPECT_FALSE(db.Exec("SELECT 1"));
        EXPECT_FALSE(db.Begin());
        EXPECT_EQ(db.MaxOf("Ord", "ord_code"), -1);
    }
    std::string error;
    EXPECT_FALSE(demopos::AddReceiptAt(FDir.File("missing.db"), 46000.5, 1, 100, 0, 0, error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(platform::FileExists(FDir.File("missing.db")));
}

TEST(DemoDbSplitTest, StatementsAreCutAtSemicolonsOutsideQuotesAndComments) {
    const struct Case {
        const char* Sql;
        std::vector<std::string> Want;
    } cases[] = {
        {"", {}},
        {" ;\n; ", {}},
        {"SELECT 1", {"SELECT 1"}},
        {"\n  CREATE TABLE a (x int);\nCREATE TABLE b (y int);\n",
         {"CREATE TABLE a (x int)", "CREATE TABLE b (y int)"}},
        {"INSERT INTO t VALUES ('a;b', \"c;d\"); SELECT 2",
         {"INSERT INTO t VALUES ('a;b', \"c;d\")", "SELECT 2"}},
        {"SELECT 'it''s; fine'; SELECT 3", {"SELECT 'it''s; fine'", "SELECT 3"}},
        {"SELECT 4 -- not here; nor here\n; SELECT 5", {"SELECT 4", "SELECT 5"}},
        {"SELECT '--; kept'", {"SELECT '--; kept'"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Sql);
        EXPECT_EQ(demopos::SplitStatements(c.Sql), c.Want);
    }
}

} // namespace
} // namespace pavona
