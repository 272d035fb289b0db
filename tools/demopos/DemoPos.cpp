// The demo POS generator's public operations: validation, the file's life, row-by-row additions.
#include "tools/demopos/DemoPos.h"

#include "platform/Clock.h"
#include "platform/Platform.h"
#include "tools/demopos/DemoDb.h"
#include "tools/demopos/DemoSales.h"

#include <algorithm>
#include <set>

namespace pavona::demopos {
namespace {

bool ValidOptions(const TDemoOptions& o, std::string& error) {
    if (o.Days < 1 || o.Days > 3660)
        error = "날짜 수는 1에서 3660 사이여야 합니다.";
    else if (o.ReceiptsPerDay < 0 || o.ReceiptsPerDay > 900000)
        error = "하루 전표 수는 0에서 900000 사이여야 합니다.";
    else if (o.Registers < 1 || o.Registers > 99)
        error = "계산대 수는 1에서 99 사이여야 합니다.";
    else if (o.MaxGoodsLines < 1 || o.MaxGoodsLines > 200)
        error = "전표당 상품 줄 수는 1에서 200 사이여야 합니다.";
    else if (o.GoodsCount < 4 || o.GoodsCount > 800000)
        error = "상품 수는 4에서 800000 사이여야 합니다.";
    else if (o.OpenHour < 0 || o.CloseHour > 24 || o.OpenHour >= o.CloseHour)
        error = "영업 시간이 올바르지 않습니다.";
    else if (std::set<std::int64_t>(o.DesignatedCoupons.begin(), o.DesignatedCoupons.end()).size() !=
                 o.DesignatedCoupons.size() ||
             std::any_of(o.DesignatedCoupons.begin(), o.DesignatedCoupons.end(),
                         [](std::int64_t c) { return c <= 0; }))
        error = "지정 쿠폰 번호는 서로 다른 양수여야 합니다.";
    else
        return true;
    return false;
}

void RemoveDb(const std::string& path) {
    platform::RemoveFile(path);
    platform::RemoveFile(path + "-journal");
}

} // namespace

TDemoResult Generate(const std::string& path, const TDemoOptions& options) {
    TDemoResult res;
    if (!ValidOptions(options, res.Error)) return res;
    if (platform::FileExists(path)) {
        if (!options.Overwrite) {
            res.Error = "파일이 이미 있습니다: " + path;
            return res;
        }
        RemoveDb(path);
        if (platform::FileExists(path)) {
            res.Error = "기존 파일을 지우지 못했습니다: " + path;
            return res;
        }
    }
    const TDateTime first =
        options.FirstDay != 0 ? DateOf(options.FirstDay) : IncDay(Today(), 1 - options.Days);
    bool ok = false;
    {
        TDemoDb db;
        ok = db.Open(path, true) && db.Exec("PRAGMA journal_mode=MEMORY; PRAGMA synchronous=OFF") &&
             db.Exec(kSchemaSql) && db.Begin();
        if (ok) {
            ok = GenerateSales(db, options, first, res.Summary) && db.Exec(kIndexSql) && db.Commit();
        }
        if (!ok) {
            res.Error = db.Error();
            db.Rollback();
        }
    }
    if (!ok) {
        // A half-written database would only mislead whoever reads it next.
        RemoveDb(path);
        res.Summary = TDemoSummary{};
        return res;
    }
    res.Ok = true;
    return res;
}

bool CreateEmpty(const std::string& path, std::string& error) {
    RemoveDb(path);
    TDemoDb db;
    if (!db.Open(path, true) || !db.Exec(kSchemaSql) || !db.Exec(kIndexSql)) {
        error = db.Error();
        return false;
    }
    return true;
}

bool AddReceipt(const std::string& path, const TDemoReceipt& receipt, std::string& error,
                std::int64_t* assigned) {
    TDemoDb db;
    TDemoReceipt r = receipt;
    bool ok = db.Open(path, false) && db.Begin();
    if (ok && r.OrdCode == 0) {
        const std::int64_t max = db.MaxOf("Ord", "ord_code");
        ok = max >= 0;
        r.OrdCode = max + 1;
    }
    ok = ok && db.InsertReceipt(r) && db.Commit();
    if (!ok) {
        error = db.Error();
        db.Rollback();
        return false;
    }
    if (assigned) *assigned = r.OrdCode;
    return true;
}

bool AddCancel(const std::string& path, const TDemoCancel& cancel, std::string& error,
               std::int64_t* assigned) {
    TDemoDb db;
    TDemoCancel c = cancel;
    bool ok = db.Open(path, false) && db.Begin();
    if (ok && c.CancelCode == 0) {
        const std::int64_t max = db.MaxOf("ordcancel", "ordc_code");
        ok = max >= 0;
        c.CancelCode = max + 1;
    }
    ok = ok && db.InsertCancel(c) && db.Commit();
    if (!ok) {
        error = db.Error();
        db.Rollback();
        return false;
    }
    if (assigned) *assigned = c.CancelCode;
    return true;
}

bool AddReceiptAt(const std::string& path, TDateTime at, std::int64_t goods, std::int64_t price,
                  std::int64_t coupon, std::int64_t couponDiscount, std::string& error,
                  std::int64_t* assigned) {
    TDemoReceipt r;
    r.At = at;
    TDemoLine g;
    g.Goods = goods;
    g.Price = price;
    r.Lines.push_back(g);
    if (coupon != 0 && couponDiscount != 0) {
        TDemoLine d;
        d.Kind = 1;
        d.Goods = goods;
        d.Coupon = coupon;
        d.Price = -couponDiscount;
        r.Lines.push_back(d);
    }
    return AddReceipt(path, r, error, assigned);
}

bool RunSql(const std::string& path, const std::string& sql, std::string& error) {
    TDemoDb db;
    if (!db.Open(path, false) || !db.Exec(sql)) {
        error = db.Error();
        return false;
    }
    return true;
}

TDemoResult GenerateDayOfLines(const std::string& path, TDemoOptions options, std::int64_t lines) {
    options.Days = 1;
    options.ReceiptsPerDay = 400;
    options.Overwrite = true;
    const TDemoResult sample = Generate(path, options);
    if (!sample.Ok || sample.Summary.Days.empty()) return sample;
    const TDemoDay& s = sample.Summary.Days.front();
    const std::int64_t perDay = s.GoodsLines + s.DiscountLines;
    if (perDay <= 0) return sample;
    options.ReceiptsPerDay = static_cast<int>(lines * s.Receipts / perDay);
    return Generate(path, options);
}

} // namespace pavona::demopos
