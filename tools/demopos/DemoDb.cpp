// Schema and prepared inserts of the demo POS database.
#include "tools/demopos/DemoDb.h"

#include "common/Text.h"

#include <sqlite3.h>

#include <cmath>
#include <memory>

namespace pavona::demopos {
namespace {

struct TFinalize {
    void operator()(sqlite3_stmt* st) const { sqlite3_finalize(st); }
};

} // namespace

const char* const kSchemaSql = R"SQL(
CREATE TABLE Ord (
  ord_code    bigint      NOT NULL PRIMARY KEY,
  ord_date    datetime    NOT NULL,
  ord_ccode   int         NOT NULL,
  ord_regtype int         NULL,
  ord_memcode bigint      NULL,
  ord_origin  bigint      NULL
);
CREATE TABLE Ordd (
  ordd_code    bigint        NOT NULL,
  ordd_seq     int           NOT NULL,
  ordd_kind    int           NOT NULL,
  ordd_goods   bigint        NOT NULL,
  ordd_coupon  bigint        NOT NULL DEFAULT 0,
  ordd_qty     decimal(12,0) NOT NULL,
  ordd_price   int           NOT NULL,
  ordd_dc      int           NOT NULL DEFAULT 0,
  ordd_stype   int           NOT NULL DEFAULT 0,
  ordd_unitqty int           NOT NULL DEFAULT 1,
  PRIMARY KEY (ordd_code, ordd_seq)
);
CREATE TABLE ordcancel (
  ordc_code  bigint   NOT NULL PRIMARY KEY,
  ordc_ord   bigint   NOT NULL,
  ordc_date  datetime NOT NULL,
  ordc_ccode int      NOT NULL
);
CREATE TABLE orddcancel (
  orddc_code   bigint        NOT NULL,
  orddc_seq    int           NOT NULL,
  orddc_kind   int           NOT NULL,
  orddc_goods  bigint        NOT NULL,
  orddc_coupon bigint        NOT NULL DEFAULT 0,
  orddc_qty    decimal(12,0) NOT NULL,
  orddc_price  int           NOT NULL,
  PRIMARY KEY (orddc_code, orddc_seq)
);
CREATE TABLE coupon (
  cp_code           bigint        NOT NULL PRIMARY KEY,
  cp_title          varchar(50)   NOT NULL,
  cp_type           int           NOT NULL,
  cp_option         int           NOT NULL DEFAULT 0,
  cp_limitamt       decimal(12,0) NOT NULL DEFAULT 0,
  cp_limitcycletype int           NOT NULL DEFAULT 0,
  cp_limitcycle     int           NOT NULL DEFAULT 0,
  cp_sponsor        int           NOT NULL DEFAULT 0,
  cp_goods          bigint        NOT NULL DEFAULT 0,
  cp_target         int           NOT NULL DEFAULT 0,
  cp_group          int           NOT NULL DEFAULT 0,
  cp_dctype         int           NOT NULL,
  cp_dc             decimal(9,0)  NOT NULL,
  cp_end            datetime      NULL
);
CREATE TABLE couponsponsor (
  cps_code int         NOT NULL PRIMARY KEY,
  cps_name varchar(40) NOT NULL
);
CREATE TABLE goods (
  goods_code   bigint   NOT NULL PRIMARY KEY,
  goods_name   char(50) NOT NULL,
  goods_bcode  char(20) NOT NULL,
  goods_sspec  char(20) NOT NULL,
  goods_status int      NULL
);
CREATE TABLE promotiongoods (
  pg_group int    NOT NULL,
  pg_goods bigint NOT NULL,
  PRIMARY KEY (pg_group, pg_goods)
);
)SQL";

const char* const kIndexSql = R"SQL(
CREATE INDEX IF NOT EXISTS IX_Ord_date ON Ord (ord_date);
CREATE INDEX IF NOT EXISTS IX_ordcancel_date ON ordcancel (ordc_date);
CREATE INDEX IF NOT EXISTS IX_goods_name ON goods (goods_name);
)SQL";

std::string PosStamp(TDateTime t) {
    return FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", t);
}

std::string PadChar(const std::string& text, int width) {
    int bytes = 0;
    for (unsigned char c : text)
        if (c < 0x80)
            bytes += 1;
        else if ((c & 0xC0) != 0x80)
            bytes += 2; // lead byte of a multi-byte character: two bytes in the Korean code page
    std::string out = text;
    if (bytes < width) out.append(static_cast<size_t>(width - bytes), ' ');
    return out;
}

TDemoDb::~TDemoDb() {
    for (sqlite3_stmt* st : {FOrd, FOrdd, FCancel, FCancelLine, FGoods, FCoupon, FSponsor, FGroup})
        if (st) sqlite3_finalize(st);
    if (FDb) sqlite3_close(FDb);
}

void TDemoDb::SetError(const char* what) {
    FError = Fmt("%s: %s", what, FDb ? sqlite3_errmsg(FDb) : "데이터베이스가 열리지 않았습니다");
}

bool TDemoDb::Open(const std::string& path, bool create) {
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    if (sqlite3_open_v2(path.c_str(), &FDb, flags, nullptr) != SQLITE_OK) {
        SetError(create ? "데모 POS 파일을 만들지 못했습니다" : "데모 POS 파일을 열지 못했습니다");
        return false;
    }
    sqlite3_busy_timeout(FDb, 5000);
    return true;
}

bool TDemoDb::Exec(const std::string& sql) {
    char* msg = nullptr;
    if (sqlite3_exec(FDb, sql.c_str(), nullptr, nullptr, &msg) != SQLITE_OK) {
        FError = Fmt("SQL 실행 실패: %s", msg ? msg : "알 수 없는 오류");
        sqlite3_free(msg);
        return false;
    }
    return true;
}

void TDemoDb::Rollback() {
    if (FDb && !sqlite3_get_autocommit(FDb)) sqlite3_exec(FDb, "ROLLBACK", nullptr, nullptr, nullptr);
}

std::int64_t TDemoDb::MaxOf(const char* table, const char* column) {
    sqlite3_stmt* raw = nullptr;
    const std::string sql = Fmt("SELECT COALESCE(MAX(%s), 0) FROM %s", column, table);
    const int prepared = sqlite3_prepare_v2(FDb, sql.c_str(), -1, &raw, nullptr);
    const std::unique_ptr<sqlite3_stmt, TFinalize> st(raw);
    if (prepared != SQLITE_OK) {
        SetError("번호를 읽지 못했습니다");
        return -1;
    }
    std::int64_t v = -1;
    if (sqlite3_step(st.get()) == SQLITE_ROW)
        v = sqlite3_column_int64(st.get(), 0);
    else
        SetError("번호를 읽지 못했습니다");
    return v;
}

bool TDemoDb::Prepare(sqlite3_stmt*& st, const char* sql) {
    if (st) {
        sqlite3_reset(st);
        sqlite3_clear_bindings(st);
        return true;
    }
    if (sqlite3_prepare_v2(FDb, sql, -1, &st, nullptr) != SQLITE_OK) {
        SetError("문장을 준비하지 못했습니다");
        return false;
    }
    return true;
}

bool TDemoDb::Step(sqlite3_stmt* st) {
    const int rc = sqlite3_step(st);
    sqlite3_reset(st);
    if (rc != SQLITE_DONE) {
        SetError("행을 쓰지 못했습니다");
        return false;
    }
    return true;
}

namespace {

void BindNullable(sqlite3_stmt* st, int i, std::int64_t v) {
    if (v == 0)
        sqlite3_bind_null(st, i);
    else
        sqlite3_bind_int64(st, i, v);
}

void BindText(sqlite3_stmt* st, int i, const std::string& s) {
    sqlite3_bind_text(st, i, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

} // namespace

bool TDemoDb::InsertReceipt(const TDemoReceipt& r) {
    if (!Prepare(FOrd,
                 "INSERT INTO Ord (ord_code, ord_date, ord_ccode, ord_regtype, ord_memcode, ord_origin) "
                 "VALUES (?, ?, ?, ?, ?, ?)"))
        return false;
    sqlite3_bind_int64(FOrd, 1, r.OrdCode);
    BindText(FOrd, 2, PosStamp(r.At));
    sqlite3_bind_int64(FOrd, 3, r.Register);
    BindNullable(FOrd, 4, r.RegType);
    BindNullable(FOrd, 5, r.MemberCode);
    BindNullable(FOrd, 6, r.Origin);
    if (!Step(FOrd)) return false;
    int pos = 0;
    for (const TDemoLine& l : r.Lines) {
        ++pos;
        if (!Prepare(FOrdd,
                     "INSERT INTO Ordd (ordd_code, ordd_seq, ordd_kind, ordd_goods, ordd_coupon, ordd_qty, "
                     "ordd_price, ordd_dc, ordd_stype, ordd_unitqty) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"))
            return false;
        sqlite3_bind_int64(FOrdd, 1, r.OrdCode);
        sqlite3_bind_int(FOrdd, 2, l.Seq != 0 ? l.Seq : pos);
        sqlite3_bind_int(FOrdd, 3, l.Kind);
        sqlite3_bind_int64(FOrdd, 4, l.Goods);
        sqlite3_bind_int64(FOrdd, 5, l.Coupon);
        sqlite3_bind_int64(FOrdd, 6, l.Qty);
        sqlite3_bind_int64(FOrdd, 7, l.Price);
        sqlite3_bind_int64(FOrdd, 8, l.Dc);
        sqlite3_bind_int(FOrdd, 9, l.Stype);
        sqlite3_bind_int64(FOrdd, 10, l.UnitQty);
        if (!Step(FOrdd)) return false;
    }
    return true;
}

bool TDemoDb::InsertCancel(const TDemoCancel& c) {
    if (!Prepare(FCancel,
                 "INSERT INTO ordcancel (ordc_code, ordc_ord, ordc_date, ordc_ccode) VALUES (?, ?, ?, ?)"))
        return false;
    sqlite3_bind_int64(FCancel, 1, c.CancelCode);
    sqlite3_bind_int64(FCancel, 2, c.OrdCode);
    BindText(FCancel, 3, PosStamp(c.At));
    sqlite3_bind_int64(FCancel, 4, c.Register);
    if (!Step(FCancel)) return false;
    int pos = 0;
    for (const TDemoLine& l : c.Lines) {
        ++pos;
        if (!Prepare(FCancelLine, "INSERT INTO orddcancel (orddc_code, orddc_seq, orddc_kind, orddc_goods, "
                                  "orddc_coupon, orddc_qty, orddc_price) VALUES (?, ?, ?, ?, ?, ?, ?)"))
            return false;
        sqlite3_bind_int64(FCancelLine, 1, c.CancelCode);
        sqlite3_bind_int(FCancelLine, 2, l.Seq != 0 ? l.Seq : pos);
        sqlite3_bind_int(FCancelLine, 3, l.Kind);
        sqlite3_bind_int64(FCancelLine, 4, l.Goods);
        sqlite3_bind_int64(FCancelLine, 5, l.Coupon);
        sqlite3_bind_int64(FCancelLine, 6, l.Qty);
        sqlite3_bind_int64(FCancelLine, 7, l.Price);
        if (!Step(FCancelLine)) return false;
    }
    return true;
}

bool TDemoDb::InsertGoods(const TDemoGoods& g) {
    if (!Prepare(FGoods, "INSERT INTO goods (goods_code, goods_name, goods_bcode, goods_sspec, goods_status) "
                         "VALUES (?, ?, ?, ?, ?)"))
        return false;
    sqlite3_bind_int64(FGoods, 1, g.Code);
    BindText(FGoods, 2, PadChar(g.Name, 50));
    BindText(FGoods, 3, PadChar(g.Barcode, 20));
    BindText(FGoods, 4, PadChar(g.Spec, 20));
    // On-sale goods carry NULL (older rows) or 1; stopped goods 2.
    if (!g.Active)
        sqlite3_bind_int(FGoods, 5, 2);
    else if (g.Code % 2 == 0)
        sqlite3_bind_null(FGoods, 5);
    else
        sqlite3_bind_int(FGoods, 5, 1);
    return Step(FGoods);
}

bool TDemoDb::InsertCoupon(const TDemoCoupon& c) {
    if (!Prepare(FCoupon, "INSERT INTO coupon (cp_code, cp_title, cp_type, cp_option, cp_limitamt, "
                          "cp_limitcycletype, cp_limitcycle, cp_sponsor, cp_goods, cp_target, cp_group, "
                          "cp_dctype, cp_dc, cp_end) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"))
        return false;
    sqlite3_bind_int64(FCoupon, 1, c.Code);
    BindText(FCoupon, 2, c.Title);
    sqlite3_bind_int(FCoupon, 3, c.Target == 1 ? 1 : 2); // 1 = product coupon, 2 = receipt coupon
    sqlite3_bind_int(FCoupon, 4, c.Designated ? 1 : 0);  // option bit 1: needs a scan at the till
    sqlite3_bind_int64(FCoupon, 5, c.Limit);
    sqlite3_bind_int(FCoupon, 6, c.Limit > 0 ? 1 : 0); // 1 = limit per day
    sqlite3_bind_int(FCoupon, 7, c.Limit > 0 ? 1 : 0);
    sqlite3_bind_int64(FCoupon, 8, c.Sponsor);
    sqlite3_bind_int64(FCoupon, 9, c.Goods);
    sqlite3_bind_int(FCoupon, 10, c.Target);
    sqlite3_bind_int(FCoupon, 11, c.Group);
    sqlite3_bind_int(FCoupon, 12, c.DcType);
    sqlite3_bind_int64(FCoupon, 13, c.Dc);
    if (c.EndsOn == 0)
        sqlite3_bind_null(FCoupon, 14);
    else
        BindText(FCoupon, 14, PosStamp(c.EndsOn));
    return Step(FCoupon);
}

bool TDemoDb::InsertSponsor(std::int64_t code, const std::string& name) {
    if (!Prepare(FSponsor, "INSERT INTO couponsponsor (cps_code, cps_name) VALUES (?, ?)")) return false;
    sqlite3_bind_int64(FSponsor, 1, code);
    BindText(FSponsor, 2, name);
    return Step(FSponsor);
}

bool TDemoDb::InsertGroupMember(int group, std::int64_t goods) {
    if (!Prepare(FGroup, "INSERT INTO promotiongoods (pg_group, pg_goods) VALUES (?, ?)")) return false;
    sqlite3_bind_int(FGroup, 1, group);
    sqlite3_bind_int64(FGroup, 2, goods);
    return Step(FGroup);
}

} // namespace pavona::demopos
