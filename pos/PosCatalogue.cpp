// The fixed catalogue of the statements the agent runs on the POS database, as shown to the
// store on the query page; the texts here are exactly the texts that run on SQL Server.
#include "pos/PosCatalogue.h"

#include <initializer_list>

namespace pavona {

namespace {

// Statements are kept line by line and joined with CR LF, no line end after the last line.
std::string Lines(std::initializer_list<const char*> lines) {
    std::string out;
    for (const char* line : lines) {
        if (!out.empty()) out += "\r\n";
        out += line;
    }
    return out;
}

// The layout of each line is part of the text, so the formatter leaves it alone.
// clang-format off
std::vector<TPosQuery> MakeCatalogue() {
    std::vector<TPosQuery> q;
    q.push_back({SQL_SALES, "판매 줄 — 수집 창(마지막 수집 이후 ~ 지금 10분 전)의 전표 · 상품 줄. 협회로 보내는 실적의 원본",
                 Lines({"SELECT h.ord_code, h.ord_date, h.ord_ccode, h.ord_regtype,",
                        "       d.ordd_seq, d.ordd_kind, d.ordd_goods, d.ordd_coupon,",
                        "       d.ordd_qty, d.ordd_price, d.ordd_dc,",
                        "       RTRIM(g.goods_name), RTRIM(g.goods_bcode),",
                        "       h.ord_memcode, h.ord_origin, d.ordd_stype, d.ordd_unitqty",
                        "  FROM Ord  AS h WITH (NOLOCK)",
                        "  JOIN Ordd AS d WITH (NOLOCK) ON d.ordd_code = h.ord_code",
                        "  LEFT JOIN goods AS g WITH (NOLOCK) ON g.goods_code = d.ordd_goods",
                        " WHERE h.ord_date >= :p1 AND h.ord_date < :p2",
                        " ORDER BY h.ord_code, d.ordd_seq"})});
    q.push_back({SQL_CANCELS, "취소 · 반품 전표 — 이미 보낸 줄을 정정한다(원본은 지우지 않는다)",
                 Lines({"SELECT h.ordc_code, h.ordc_ord, h.ordc_date, h.ordc_ccode,",
                        "       d.orddc_seq, d.orddc_kind, d.orddc_goods, d.orddc_coupon,",
                        "       d.orddc_qty, d.orddc_price",
                        "  FROM ordcancel  AS h WITH (NOLOCK)",
                        "  JOIN orddcancel AS d WITH (NOLOCK) ON d.orddc_code = h.ordc_code",
                        " WHERE h.ordc_date >= :p1 AND h.ordc_date < :p2",
                        " ORDER BY h.ordc_code, d.orddc_seq"})});
    q.push_back({SQL_SALES_BY_ORD, "반품의 원 판매 줄 — 반품이 가리키는 원 전표를 다시 읽는다",
                 Lines({"SELECT h.ord_code, h.ord_regtype,",
                        "       d.ordd_seq, d.ordd_kind, d.ordd_goods, d.ordd_coupon,",
                        "       d.ordd_qty, d.ordd_price, d.ordd_dc",
                        "  FROM Ord  AS h WITH (NOLOCK)",
                        "  JOIN Ordd AS d WITH (NOLOCK) ON d.ordd_code = h.ord_code",
                        " WHERE h.ord_code IN (%s)",
                        " ORDER BY h.ord_code, d.ordd_seq"})});
    q.push_back({SQL_COUPON, "쿠폰 마스터 — 수집 창에 쓰인 쿠폰의 이름 · 율 · 한도",
                 Lines({"SELECT c.cp_code, c.cp_title, c.cp_type, c.cp_option,",
                        "       c.cp_limitamt, c.cp_limitcycletype, c.cp_limitcycle, s.cps_name",
                        "  FROM coupon AS c WITH (NOLOCK)",
                        "  LEFT JOIN couponsponsor AS s WITH (NOLOCK) ON s.cps_code = c.cp_sponsor",
                        " WHERE c.cp_code IN (",
                        "         SELECT DISTINCT d.ordd_coupon",
                        "           FROM Ord  AS h WITH (NOLOCK)",
                        "           JOIN Ordd AS d WITH (NOLOCK) ON d.ordd_code = h.ord_code",
                        "          WHERE h.ord_date >= :p1 AND h.ord_date < :p2",
                        "            AND d.ordd_coupon <> 0)",
                        " ORDER BY c.cp_code"})});
    q.push_back({SQL_SUBSIDY, "농할 할인 합계 — 지정 쿠폰 할인의 합(한도 감시)",
                 Lines({"SELECT COALESCE(SUM(CAST(d.ordd_price AS bigint)), 0)",
                        "  FROM Ord  AS h WITH (NOLOCK)",
                        "  JOIN Ordd AS d WITH (NOLOCK) ON d.ordd_code = h.ord_code",
                        " WHERE h.ord_date >= :p1 AND h.ord_date < :p2",
                        "   AND d.ordd_kind <> 0 AND d.ordd_coupon IN (%s)"})});
    q.push_back({SQL_DAILY_REPORTABLE, "마감 대사 — 날마다 보낼 수 있는 줄 수 · 금액(협회가 받은 것과 맞춰 본다)",
                 Lines({"SELECT CONVERT(char(10), CAST(h.ord_date AS date), 23) AS sold_day,",
                        "       COUNT(*) AS line_count, SUM(CAST(d.ordd_price AS bigint)) AS amount_sum",
                        "  FROM Ord  AS h WITH (NOLOCK)",
                        "  JOIN Ordd AS d WITH (NOLOCK) ON d.ordd_code = h.ord_code",
                        " WHERE h.ord_date >= :p1 AND h.ord_date < :p2",
                        "   AND d.ordd_kind = 0",
                        "   AND (h.ord_regtype IS NULL OR h.ord_regtype <> 2)",
                        "   AND d.ordd_price > 0",
                        "   AND d.ordd_qty > 0",
                        " GROUP BY CAST(h.ord_date AS date)"})});
    q.push_back({SQL_LAST_BY_REG, "계산대별 마지막 거래 — 한 대가 조용한지 본다",
                 Lines({"SELECT h.ord_ccode, MAX(h.ord_date), COUNT(*)",
                        "  FROM Ord AS h WITH (NOLOCK)",
                        " WHERE h.ord_date >= :p1",
                        " GROUP BY h.ord_ccode",
                        " ORDER BY h.ord_ccode"})});
    q.push_back({SQL_LINKS, "쿠폰 ↔ 상품 연결 — 지정 농할 쿠폰이 어느 상품에 걸려 있나(단품 · 판촉 그룹)",
                 Lines({"SELECT c.cp_code, c.cp_goods,",
                        "       CASE WHEN c.cp_dctype = 1 THEN c.cp_dc ELSE -1 END,",
                        "       c.cp_limitamt, c.cp_end, 0",
                        "  FROM coupon AS c WITH (NOLOCK)",
                        " WHERE c.cp_code IN (%0:s) AND c.cp_target = 1 AND c.cp_goods <> 0",
                        "UNION ALL",
                        "SELECT c.cp_code, pg.pg_goods,",
                        "       CASE WHEN c.cp_dctype = 1 THEN c.cp_dc ELSE -1 END,",
                        "       c.cp_limitamt, c.cp_end, 1",
                        "  FROM coupon AS c WITH (NOLOCK)",
                        "  JOIN promotiongoods AS pg WITH (NOLOCK) ON pg.pg_group = c.cp_group",
                        " WHERE c.cp_code IN (%0:s) AND c.cp_group <> 0"})});
    q.push_back({SQL_GOODS_BY_CODES, "대상 상품 — 협회 품목 · 쿠폰에 걸린 상품을 상품번호로 읽는다",
                 Lines({"SELECT g.goods_code, RTRIM(g.goods_name), RTRIM(g.goods_bcode), RTRIM(g.goods_sspec),",
                        "       CASE WHEN g.goods_status IS NULL OR g.goods_status = 1 THEN 1 ELSE 0 END",
                        "  FROM goods AS g WITH (NOLOCK)",
                        " WHERE g.goods_code IN (%s)"})});
    q.push_back({SQL_GOODS, "상품 찾기 — 이름으로 상품 마스터 검색(살아 있는 상품만)",
                 Lines({"SELECT TOP (%d) g.goods_code, RTRIM(g.goods_name), RTRIM(g.goods_bcode),",
                        "       RTRIM(g.goods_sspec)",
                        "  FROM goods AS g WITH (NOLOCK)",
                        " WHERE (g.goods_status IS NULL OR g.goods_status = 1)",
                        "   AND (:p1 = '' OR g.goods_name LIKE :p2)",
                        " ORDER BY g.goods_name"})});
    q.push_back({SQL_FINGERPRINT, "POS 표 구조 — 읽는 표 여덟 개의 열 이름 · 형식(데이터가 아니라 스키마)",
                 Lines({"SELECT TABLE_NAME, COLUMN_NAME, DATA_TYPE, IS_NULLABLE",
                        "  FROM INFORMATION_SCHEMA.COLUMNS",
                        " WHERE UPPER(TABLE_NAME) IN ('ORD','ORDD','ORDCANCEL','ORDDCANCEL','COUPON','COUPONSPONSOR','GOODS','PROMOTIONGOODS')",
                        " ORDER BY TABLE_NAME, COLUMN_NAME"})});
    return q;
}
// clang-format on

} // namespace

const std::vector<TPosQuery>& PosQueries() {
    static const std::vector<TPosQuery> catalogue = MakeCatalogue();
    return catalogue;
}

const std::vector<std::string>& PosTables() {
    static const std::vector<std::string> tables = {"Ord",    "Ordd",          "ordcancel", "orddcancel",
                                                    "coupon", "couponsponsor", "goods",     "promotiongoods"};
    return tables;
}

std::string PosQuerySql(const std::string& name) {
    for (const TPosQuery& q : PosQueries())
        if (q.Name == name) return q.Sql;
    return {};
}

} // namespace pavona
