// What both demo POS writers share: the schema, the stored form of dates and padded names, and
// which value each inserted row stores in which column.
#include "tools/demopos/DemoDb.h"

#include "common/Text.h"

namespace pavona::demopos {

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

std::vector<std::string> SplitStatements(const std::string& sql) {
    std::vector<std::string> out;
    std::string current;
    char quote = 0;
    for (size_t i = 0; i < sql.size(); ++i) {
        const char c = sql[i];
        if (quote != 0) {
            // A doubled quote inside a literal closes and reopens it, which this toggling keeps.
            if (c == quote) quote = 0;
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
            const size_t eol = sql.find('\n', i);
            i = eol == std::string::npos ? sql.size() : eol;
            current += '\n';
            continue;
        } else if (c == ';') {
            std::string one = Trim(current);
            if (!one.empty()) out.push_back(std::move(one));
            current.clear();
            continue;
        }
        current += c;
    }
    std::string last = Trim(current);
    if (!last.empty()) out.push_back(std::move(last));
    return out;
}

const char* TDemoDb::InsertSql(TTable table) {
    switch (table) {
    case TTable::Ord:
        return "INSERT INTO Ord (ord_code, ord_date, ord_ccode, ord_regtype, ord_memcode, ord_origin) "
               "VALUES (?, ?, ?, ?, ?, ?)";
    case TTable::Ordd:
        return "INSERT INTO Ordd (ordd_code, ordd_seq, ordd_kind, ordd_goods, ordd_coupon, ordd_qty, "
               "ordd_price, ordd_dc, ordd_stype, ordd_unitqty) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";
    case TTable::Cancel:
        return "INSERT INTO ordcancel (ordc_code, ordc_ord, ordc_date, ordc_ccode) VALUES (?, ?, ?, ?)";
    case TTable::CancelLine:
        return "INSERT INTO orddcancel (orddc_code, orddc_seq, orddc_kind, orddc_goods, orddc_coupon, "
               "orddc_qty, orddc_price) VALUES (?, ?, ?, ?, ?, ?, ?)";
    case TTable::Goods:
        return "INSERT INTO goods (goods_code, goods_name, goods_bcode, goods_sspec, goods_status) "
               "VALUES (?, ?, ?, ?, ?)";
    case TTable::Coupon:
        return "INSERT INTO coupon (cp_code, cp_title, cp_type, cp_option, cp_limitamt, cp_limitcycletype, "
               "cp_limitcycle, cp_sponsor, cp_goods, cp_target, cp_group, cp_dctype, cp_dc, cp_end) "
               "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";
    case TTable::Sponsor:
        return "INSERT INTO couponsponsor (cps_code, cps_name) VALUES (?, ?)";
    case TTable::Group:
        return "INSERT INTO promotiongoods (pg_group, pg_goods) VALUES (?, ?)";
    }
    return "";
}

namespace {

// 0 stands for "not given" in the demo's records and is stored as NULL, as older tills left it.
std::variant<std::monostate, std::int64_t, std::string> Nullable(std::int64_t v) {
    if (v == 0) return std::monostate{};
    return v;
}

} // namespace

bool TDemoDb::InsertReceipt(const TDemoReceipt& r) {
    if (!InsertRow(TTable::Ord, {r.OrdCode, PosStamp(r.At), r.Register, Nullable(r.RegType),
                                 Nullable(r.MemberCode), Nullable(r.Origin)}))
        return false;
    int pos = 0;
    for (const TDemoLine& l : r.Lines) {
        ++pos;
        if (!InsertRow(TTable::Ordd,
                       {r.OrdCode, std::int64_t{l.Seq != 0 ? l.Seq : pos}, std::int64_t{l.Kind}, l.Goods,
                        l.Coupon, l.Qty, l.Price, l.Dc, std::int64_t{l.Stype}, l.UnitQty}))
            return false;
    }
    return true;
}

bool TDemoDb::InsertCancel(const TDemoCancel& c) {
    if (!InsertRow(TTable::Cancel, {c.CancelCode, c.OrdCode, PosStamp(c.At), c.Register})) return false;
    int pos = 0;
    for (const TDemoLine& l : c.Lines) {
        ++pos;
        if (!InsertRow(TTable::CancelLine, {c.CancelCode, std::int64_t{l.Seq != 0 ? l.Seq : pos},
                                            std::int64_t{l.Kind}, l.Goods, l.Coupon, l.Qty, l.Price}))
            return false;
    }
    return true;
}

bool TDemoDb::InsertGoods(const TDemoGoods& g) {
    // On-sale goods carry NULL (older rows) or 1; stopped goods 2.
    TValue status = std::int64_t{1};
    if (!g.Active)
        status = std::int64_t{2};
    else if (g.Code % 2 == 0)
        status = std::monostate{};
    return InsertRow(TTable::Goods,
                     {g.Code, PadChar(g.Name, 50), PadChar(g.Barcode, 20), PadChar(g.Spec, 20), status});
}

bool TDemoDb::InsertCoupon(const TDemoCoupon& c) {
    const std::int64_t perDay = c.Limit > 0 ? 1 : 0; // cycle type 1 = limit per day
    TValue ends;
    if (c.EndsOn != 0) ends = PosStamp(c.EndsOn);
    return InsertRow(TTable::Coupon,
                     {c.Code, c.Title,
                      std::int64_t{c.Target == 1 ? 1 : 2}, // 1 = product coupon, 2 = receipt coupon
                      std::int64_t{c.Designated ? 1 : 0},  // option bit 1: needs a scan at the till
                      c.Limit, perDay, perDay, c.Sponsor, c.Goods, std::int64_t{c.Target},
                      std::int64_t{c.Group}, std::int64_t{c.DcType}, c.Dc, ends});
}

bool TDemoDb::InsertSponsor(std::int64_t code, const std::string& name) {
    return InsertRow(TTable::Sponsor, {code, name});
}

bool TDemoDb::InsertGroupMember(int group, std::int64_t goods) {
    return InsertRow(TTable::Group, {std::int64_t{group}, goods});
}

} // namespace pavona::demopos
