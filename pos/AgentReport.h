// What the agent reports, as records and as the exact JSON text of each: sale lines, coupons of the
// coupon master, corrections; the transaction key; the self-test lines of the round trip.
#pragma once

#include "common/DateTime.h"
#include "common/JsonText.h"
#include "pos/PosRows.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace pavona {

class TSpool;
struct TSalesRow;

struct TReportLine {
    std::string TxKey;
    TDateTime SoldAtLocal = 0;
    std::string VendorItemCode;
    std::string VendorItemName;
    std::string Barcode;
    double Quantity = 0;
    std::int64_t UnitPrice = 0;
    std::int64_t Amount = 0;
    std::int64_t DiscountAmount = 0;
    std::string MemberNo;
    std::string PosNo;
    std::string ReceiptNo;
    bool HasOwnDiscount = false;
    std::int64_t OwnDiscount = 0;
};

// A coupon as uploaded: the row read from the coupon master as it is, and the two counters the
// upload carries besides (the agent does not count them, so they stay 0).
struct TReportCoupon {
    TCouponRow Coupon;
    std::int64_t SeenLines = 0;
    std::int64_t SeenAmount = 0;
};

// The receipt number trimmed, ":" and the line number: one key for a sale line everywhere.
std::string MakeTxKey(const std::string& receipt, int seq);
// Korean local time written as UTC ("yyyy-mm-ddThh:nn:ssZ", whole seconds); empty for 0.
std::string UtcStamp(TDateTime localTime);
// An integer when there is no fraction, else the shortest text with at most 15 significant digits.
std::string JsonQty(double x);
std::string LineJson(const TReportLine& line);
std::string CouponJson(const TReportCoupon& coupon);
std::string CancelJson(const TCancelOut& correction);

// Name and barcode of one goods code, as the window's rows first gave them.
struct TGoodsName {
    std::string Name;
    std::string Barcode;
};
using TGoodsNames = std::map<std::string, TGoodsName>;
// Goods code → the first non-empty item name among the rows, with that row's barcode.
TGoodsNames GoodsNamesOf(const std::vector<TSalesRow>& rows);

struct TReceiptResult {
    int Stored = 0;  // report lines the spool took
    int Refused = 0; // report lines the spool did not take
    bool IsReturn = false;
};
// One receipt, rows [first, last) with one receipt number: a return receipt goes to the return
// rows; otherwise every goods line with a positive amount and quantity is appended to the spool
// under `day` with its transaction key.
TReceiptResult ReportReceipt(const std::vector<TSalesRow>& rows, std::size_t first, std::size_t last,
                             const TGoodsNames& names, const std::vector<std::int64_t>& codes,
                             const std::string& day, TSpool& spool, std::vector<TReturnRow>& returns);

std::vector<std::string> SelfTestLines(int count, const std::string& code, const std::string& name,
                                       TDateTime t);

} // namespace pavona
