// Subsidy attribution over the raw lines of one receipt.
#include "pos/AgentAttribute.h"

#include <algorithm>
#include <cmath>

namespace pavona {

std::vector<TSaleLine> Attribute(const std::vector<TRawLine>& raw) {
    std::vector<TSaleLine> out;
    out.reserve(raw.size());
    bool haveCurrent = false;
    for (const TRawLine& r : raw) {
        if (r.Kind == 0) {
            TSaleLine s;
            s.OrdCode = r.OrdCode;
            s.Seq = r.Seq;
            s.Goods = r.Goods;
            s.Qty = r.Qty;
            s.Stype = r.Stype;
            s.UnitQty = r.UnitQty;
            s.Amount = r.Price;
            s.Discount = r.Dc;
            out.push_back(std::move(s));
            haveCurrent = true;
            continue;
        }
        // A receipt-level discount written before any goods line has no line to belong to.
        if (!haveCurrent) continue;
        TSaleLine& cur = out.back();
        const std::int64_t d = -r.Price;
        cur.Discount += d;
        if (r.Coupon != 0) cur.Coupons[r.Coupon] += d;
    }
    return out;
}

std::int64_t SubsidyOf(const TSaleLine& line, const std::vector<std::int64_t>& codes) {
    if (codes.empty() || line.Coupons.empty()) return 0;
    // Each coupon counts once, however often the policy lists it: walking the line's own coupons
    // (a map, so each code once) and asking whether the policy names it gives exactly that.
    std::int64_t sum = 0;
    for (const auto& [code, discount] : line.Coupons)
        if (std::find(codes.begin(), codes.end(), code) != codes.end()) sum += discount;
    return sum < 0 ? 0 : sum;
}

TOwnDiscount OwnDiscountOf(std::int64_t amount, std::int64_t subsidy, std::int64_t discount) {
    const std::int64_t own = discount - subsidy;
    if (own >= 0 && subsidy >= 0 && discount <= amount) return {true, own};
    return {false, 0};
}

double LineQuantity(int stype, std::int64_t unitQty, std::int64_t qty) {
    double x = static_cast<double>(qty);
    if (unitQty > 1) x = x / static_cast<double>(unitQty);
    if (stype == 2) x = x / 100.0;
    return x;
}

std::int64_t UnitPriceOf(double quantity, std::int64_t amount) {
    if (quantity == 0) return 0;
    const double q = std::fabs(quantity);
    const double a = std::fabs(static_cast<double>(amount));
    const double x = a / q;
    // Halves go to the even neighbour, decided here rather than by the floating-point rounding mode.
    const double lower = std::floor(x);
    const double frac = x - lower;
    double r = lower;
    if (frac > 0.5 || (frac == 0.5 && std::fmod(lower, 2.0) != 0.0)) r = lower + 1.0;
    return static_cast<std::int64_t>(r);
}

} // namespace pavona
