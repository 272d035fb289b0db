// The POS statements as stored, and their rewrite for the SQLite demo and test POS.
#include "pos/PosDialect.h"
#include "pos/PosCatalogue.h"

#include "common/Text.h"

#include <gtest/gtest.h>

#include <regex>

namespace pavona {

namespace {

std::string Crlf(std::initializer_list<std::string> lines) {
    std::string out;
    for (const std::string& l : lines)
        out += (out.empty() ? "" : "\r\n") + l;
    return out;
}

std::string Sqlite(const char* name) {
    std::string sql = PosQuerySql(name);
    sql = ReplaceAll(sql, "%0:s", "7001,7002");
    sql = ReplaceAll(sql, "%s", "1,2");
    sql = ReplaceAll(sql, "%d", "500");
    return DialectSql(TPosDialect::Sqlite, name, sql);
}

} // namespace

TEST(PosCatalogue, ElevenStatementsInOrderJoinedByCrLfAsStored) {
    const std::vector<TPosQuery>& q = PosQueries();
    const char* names[] = {
        SQL_SALES,       SQL_CANCELS, SQL_SALES_BY_ORD,   SQL_COUPON, SQL_SUBSIDY,    SQL_DAILY_REPORTABLE,
        SQL_LAST_BY_REG, SQL_LINKS,   SQL_GOODS_BY_CODES, SQL_GOODS,  SQL_FINGERPRINT};
    ASSERT_EQ(q.size(), 11u);
    for (size_t i = 0; i < q.size(); ++i) {
        EXPECT_EQ(q[i].Name, names[i]);
        EXPECT_FALSE(q[i].Purpose.empty());
        EXPECT_TRUE(StartsWith(q[i].Sql, "SELECT ")) << q[i].Name;
        EXPECT_FALSE(EndsWith(q[i].Sql, "\r\n")) << q[i].Name;
        // Every line break is CR LF; every POS table is read without taking locks.
        EXPECT_EQ(ReplaceAll(q[i].Sql, "\r\n", "").find_first_of("\r\n"), std::string::npos) << q[i].Name;
        static const std::regex unhinted(R"((FROM|JOIN) \w+ +AS \w+\b(?! WITH \(NOLOCK\)))");
        EXPECT_FALSE(std::regex_search(q[i].Sql, unhinted)) << q[i].Name;
    }
    EXPECT_EQ(
        q[0].Purpose,
        "판매 줄 — 수집 창(마지막 수집 이후 ~ 지금 10분 전)의 전표 · 상품 줄. 협회로 보내는 실적의 원본");
    EXPECT_EQ(q[6].Sql,
              Crlf({"SELECT h.ord_ccode, MAX(h.ord_date), COUNT(*)", "  FROM Ord AS h WITH (NOLOCK)",
                    " WHERE h.ord_date >= :p1", " GROUP BY h.ord_ccode", " ORDER BY h.ord_ccode"}));
    EXPECT_NE(q[0].Sql.find("\r\n  FROM Ord  AS h WITH (NOLOCK)\r\n"), std::string::npos);
    EXPECT_EQ(PosTables(), (std::vector<std::string>{"Ord", "Ordd", "ordcancel", "orddcancel", "coupon",
                                                     "couponsponsor", "goods", "promotiongoods"}));
    EXPECT_EQ(PosQuerySql("SQL_NONE"), "");
}

TEST(PosDialect, SqlServerRunsTheCatalogueTextVerbatim) {
    for (const TPosQuery& q : PosQueries())
        EXPECT_EQ(DialectSql(TPosDialect::SqlServer, q.Name, q.Sql), q.Sql);
    EXPECT_EQ(DialectOfDbms("SQLite"), TPosDialect::Sqlite);
    EXPECT_EQ(DialectOfDbms("Microsoft SQL Server"), TPosDialect::SqlServer);
    EXPECT_EQ(DialectOfDbms(""), TPosDialect::SqlServer);
}

TEST(PosDialect, SqliteRewriteOfEachStatement) {
    const std::string window =
        "julianday(h.ord_date) >= julianday(:p1) AND julianday(h.ord_date) < julianday(:p2)";
    struct Case {
        const char* name;
        std::vector<std::string> has;
    } cases[] = {
        {SQL_SALES,
         {"  FROM Ord  AS h\r\n  JOIN Ordd AS d ON d.ordd_code = h.ord_code\r\n", " WHERE " + window}},
        {SQL_CANCELS,
         {"  FROM ordcancel  AS h\r\n",
          " WHERE julianday(h.ordc_date) >= julianday(:p1) AND julianday(h.ordc_date) < julianday(:p2)\r\n"}},
        {SQL_SALES_BY_ORD, {" WHERE h.ord_code IN (1,2)\r\n ORDER BY h.ord_code, d.ordd_seq"}},
        {SQL_COUPON, {"LEFT JOIN couponsponsor AS s ON", "          WHERE " + window + "\r\n"}},
        {SQL_SUBSIDY, {"SELECT COALESCE(SUM(CAST(d.ordd_price AS bigint)), 0)", " WHERE " + window}},
        {SQL_LAST_BY_REG, {" WHERE julianday(h.ord_date) >= julianday(:p1)\r\n GROUP BY h.ord_ccode"}},
        {SQL_LINKS,
         {"c.cp_code IN (7001,7002) AND c.cp_target = 1", "c.cp_code IN (7001,7002) AND c.cp_group <> 0",
          "  JOIN promotiongoods AS pg ON pg.pg_group = c.cp_group"}},
        {SQL_GOODS_BY_CODES, {"  FROM goods AS g\r\n WHERE g.goods_code IN (1,2)"}},
    };
    for (const Case& c : cases) {
        const std::string sql = Sqlite(c.name);
        EXPECT_EQ(sql.find("NOLOCK"), std::string::npos) << c.name;
        for (const std::string& part : c.has)
            EXPECT_NE(sql.find(part), std::string::npos) << c.name << "\n" << sql;
    }

    // TOP becomes a LIMIT after the ordering.
    EXPECT_EQ(Sqlite(SQL_GOODS),
              Crlf({"SELECT g.goods_code, RTRIM(g.goods_name), RTRIM(g.goods_bcode),",
                    "       RTRIM(g.goods_sspec)", "  FROM goods AS g",
                    " WHERE (g.goods_status IS NULL OR g.goods_status = 1)",
                    "   AND (:p1 = '' OR g.goods_name LIKE :p2)", " ORDER BY g.goods_name", " LIMIT 500"}));
    // The day of a sale comes from date() in both the column and the grouping.
    EXPECT_EQ(Sqlite(SQL_DAILY_REPORTABLE),
              Crlf({"SELECT date(h.ord_date) AS sold_day,",
                    "       COUNT(*) AS line_count, SUM(CAST(d.ordd_price AS bigint)) AS amount_sum",
                    "  FROM Ord  AS h", "  JOIN Ordd AS d ON d.ordd_code = h.ord_code", " WHERE " + window,
                    "   AND d.ordd_kind = 0", "   AND (h.ord_regtype IS NULL OR h.ord_regtype <> 2)",
                    "   AND d.ordd_price > 0", "   AND d.ordd_qty > 0", " GROUP BY date(h.ord_date)"}));
    // The schema listing reads SQLite's table info, with the four fields of the schema view.
    const std::string fp = Sqlite(SQL_FINGERPRINT);
    for (const char* part :
         {"AS TABLE_NAME", "AS COLUMN_NAME", "AS DATA_TYPE", "AS IS_NULLABLE", "pragma_table_info",
          "('ORD','ORDD','ORDCANCEL','ORDDCANCEL','COUPON','COUPONSPONSOR','GOODS','PROMOTIONGOODS')"})
        EXPECT_NE(fp.find(part), std::string::npos) << part;
    EXPECT_EQ(fp.find("INFORMATION_SCHEMA"), std::string::npos);
}

} // namespace pavona
