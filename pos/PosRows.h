// Plain row records of POS data: a receipt line before and after attribution, the lines of cancel
// documents, read-back receipts and return receipts that corrections are made from, and a coupon of
// the coupon master.
#pragma once

#include "common/DateTime.h"

#include <cstdint>
#include <map>
#include <string>

namespace pavona {

struct TRawLine {
    std::string OrdCode;
    int Seq = 0;
    int Kind = 0; // 0 = goods line, other = discount line
    std::string Goods;
    std::int64_t Coupon = 0; // 0 = no coupon
    std::int64_t Qty = 0;
    std::int64_t Price = 0; // negative on discount lines
    std::int64_t Dc = 0;
    int Stype = 0; // 2 = quantity in hundredths
    std::int64_t UnitQty = 0;

    bool IsItem() const { return Kind == 0; }
};

struct TSaleLine {
    std::string OrdCode;
    int Seq = 0;
    std::string Goods;
    std::int64_t Qty = 0;
    int Stype = 0;
    std::int64_t UnitQty = 0;
    std::int64_t Amount = 0;
    std::int64_t Discount = 0;
    // Coupon code → discount given through it on this line; empty when none was attributed.
    std::map<std::int64_t, std::int64_t> Coupons;
};

struct TCancelRow {
    std::int64_t CancelCode = 0;
    std::int64_t OrdCode = 0;
    TDateTime CanceledAtLocal = 0;
    std::int64_t RegisterCode = 0;
    TRawLine Raw;
};

struct TOriginRow {
    TRawLine Raw;
    bool IsRefund = false;
};

struct TReturnRow {
    std::string OrdCode;
    std::int64_t Origin = 0;
    TDateTime ReturnedAtLocal = 0;
    TRawLine Raw;
};

struct TCouponRow {
    std::int64_t Code = 0;
    std::string Title;
    int CouponType = 0;
    int Options = 0;
    std::int64_t LimitAmount = 0;
    int LimitCycleType = 0;
    int LimitCycle = 0;
    std::string SponsorName;
};

struct TCancelOut {
    std::string TxKey;
    std::string Kind; // "void" or "amend"
    bool HasCorrected = false;
    std::int64_t Corrected = 0;
    std::string Reason;
    TDateTime OccurredAtLocal = 0;
};

} // namespace pavona
