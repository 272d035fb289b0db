// The reader tests' POS database.
#include "PosFixture.h"

#include <sqlite3.h>

#include <cstdio>
#include <memory>

namespace pavona::test {

namespace {

// Day 2026-10-06, window [09:00:00, 10:50:00): receipts 1001 (exactly at the lower bound, stored
// without a fraction), 1005 (written with a "T") and 1002 (the last millisecond SQL Server's
// datetime can hold before the bound) are inside; 1000 (just before) and 1003 (exactly at the
// upper bound) are outside. Lines are inserted out of order on purpose.
const char* const kSchemaAndRows = R"SQL(
CREATE TABLE Ord (ord_code bigint NOT NULL PRIMARY KEY, ord_date datetime NOT NULL, ord_ccode int,
                  ord_regtype int, ord_memcode bigint, ord_origin bigint);
CREATE TABLE Ordd (ordd_code bigint NOT NULL, ordd_seq int NOT NULL, ordd_kind int, ordd_goods bigint,
                   ordd_coupon bigint, ordd_qty int, ordd_price decimal(12,0), ordd_dc int, ordd_stype int,
                   ordd_unitqty int, PRIMARY KEY (ordd_code, ordd_seq));
CREATE TABLE ordcancel (ordc_code bigint NOT NULL PRIMARY KEY, ordc_ord bigint, ordc_date datetime, ordc_ccode int);
CREATE TABLE orddcancel (orddc_code bigint NOT NULL, orddc_seq int NOT NULL, orddc_kind int, orddc_goods bigint,
                         orddc_coupon bigint, orddc_qty int, orddc_price int);
CREATE TABLE coupon (cp_code bigint NOT NULL PRIMARY KEY, cp_title varchar(40), cp_type int, cp_option int,
                     cp_limitamt bigint, cp_limitcycletype int, cp_limitcycle int, cp_sponsor int,
                     cp_goods bigint, cp_target int, cp_group int, cp_dctype int, cp_dc int, cp_end datetime);
CREATE TABLE couponsponsor (cps_code int NOT NULL PRIMARY KEY, cps_name varchar(40));
CREATE TABLE goods (goods_code bigint NOT NULL PRIMARY KEY, goods_name char(30), goods_bcode char(13),
                    goods_sspec varchar(20), goods_status int);
CREATE TABLE promotiongoods (pg_group int NOT NULL, pg_goods bigint NOT NULL);
CREATE TABLE members (mem_code bigint, mem_name varchar(20));

INSERT INTO Ord VALUES (1000, '2026-10-06 08:59:59.997', 1, 1, NULL, NULL);
INSERT INTO Ord VALUES (1001, '2026-10-06 09:00:00', 1, 1, NULL, NULL);
INSERT INTO Ord VALUES (1002, '2026-10-06 10:49:59.997', 2, NULL, 555, NULL);
INSERT INTO Ord VALUES (1003, '2026-10-06 10:50:00', 1, 1, NULL, NULL);
INSERT INTO Ord VALUES (1005, '2026-10-06T09:30:00.500', 3, 1, NULL, NULL);
INSERT INTO Ord VALUES (1004, '2026-10-08 11:00:00.000', 2, 2, NULL, 1001);
INSERT INTO Ord VALUES (1006, '2026-10-08 12:00:00.000', 1, 1, NULL, NULL);

INSERT INTO Ordd VALUES (1001, 3, 0, 99, 0, 150, 500, 0, 2, 100);
INSERT INTO Ordd VALUES (1002, 2, 1, 0, 7002, 1, -300, 0, 0, 1);
INSERT INTO Ordd VALUES (1001, 1, 0, 11, 0, 2, 6000, 100, 0, 1);
INSERT INTO Ordd VALUES (1001, 2, 1, 0, 7001, 1, -1200, 0, 0, 1);
INSERT INTO Ordd VALUES (1002, 1, 0, 12, 0, 1, 3000, 0, 0, 1);
INSERT INTO Ordd VALUES (1000, 1, 0, 12, 0, 1, 1000, 0, 0, 1);
INSERT INTO Ordd VALUES (1000, 2, 1, 0, 7001, 1, -100000, 0, 0, 1);
INSERT INTO Ordd VALUES (1003, 1, 0, 13, 0, 1, 1000, 0, 0, 1);
INSERT INTO Ordd VALUES (1003, 2, 1, 0, 7003, 1, -100000, 0, 0, 1);
INSERT INTO Ordd VALUES (1005, 1, 0, 13, 0, 1, 2000, NULL, NULL, NULL);
INSERT INTO Ordd VALUES (1004, 1, 0, 11, 0, -1, -3000, 0, 0, 1);
INSERT INTO Ordd VALUES (1006, 1, 0, 14, 0, 1, 700, 0, 0, 1);
INSERT INTO Ordd VALUES (1006, 2, 0, 12, 0, 0, 800, 0, 0, 1);
INSERT INTO Ordd VALUES (1006, 3, 0, 12, 0, 1, -900, 0, 0, 1);

INSERT INTO ordcancel VALUES (502, 1002, '2026-10-06 13:00:00', 2);
INSERT INTO ordcancel VALUES (501, 1001, '2026-10-06 12:00:00', 1);
INSERT INTO orddcancel VALUES (501, 3, 0, 99, 0, 150, 500);
INSERT INTO orddcancel VALUES (501, 1, 0, 11, 0, 2, 6000);
INSERT INTO orddcancel VALUES (502, 1, 0, 12, 0, 1, 3000);

INSERT INTO coupon VALUES (7001, '농할 20%', 1, 3, 10000, 1, 7, 1, 11, 1, 0, 1, 20, '2026-12-31 00:00:00');
INSERT INTO coupon VALUES (7002, '농할 천원', 2, 0, 5000, 0, 0, 9, 0, 0, 5, 2, 1000, NULL);
INSERT INTO coupon VALUES (7003, '자체 할인', 1, 0, 0, 0, 0, 1, 13, 1, 5, 1, 10, NULL);
INSERT INTO couponsponsor VALUES (1, '농협');

INSERT INTO goods VALUES (11, '사과                        ', '8801234500011', '1kg', 1);
INSERT INTO goods VALUES (12, '배   ', '8801234500028', NULL, NULL);
INSERT INTO goods VALUES (13, '청사과', NULL, '3입', 1);
INSERT INTO goods VALUES (14, '사과즙', '8801234500042', '1L', 0);
INSERT INTO promotiongoods VALUES (5, 12);
INSERT INTO promotiongoods VALUES (5, 13);
)SQL";

} // namespace

bool RunFixtureSql(const std::string& path, const std::string& sql, std::string& error) {
    struct TDbClose {
        void operator()(sqlite3* db) const { sqlite3_close(db); }
    };
    sqlite3* raw = nullptr;
    const int opened =
        sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    // SQLite hands out a connection even when opening fails; it carries the reason and is closed too.
    const std::unique_ptr<sqlite3, TDbClose> db(raw);
    if (opened != SQLITE_OK) {
        error = db ? sqlite3_errmsg(db.get()) : "sqlite3_open_v2";
        return false;
    }
    char* message = nullptr;
    const int rc = sqlite3_exec(db.get(), sql.c_str(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK) error = message ? message : "sqlite3_exec";
    sqlite3_free(message);
    return rc == SQLITE_OK;
}

bool MakeFixturePos(const std::string& path, std::string& error) {
    std::remove(path.c_str());
    return RunFixtureSql(path, kSchemaAndRows, error);
}

std::string FixtureConnStr(const std::string& path) {
    return "Driver=SQLite3;Database=" + path;
}

} // namespace pavona::test
