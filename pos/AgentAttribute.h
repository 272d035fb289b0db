// Subsidy attribution: turns the raw lines of one receipt into sale lines and derives the figures
// reported per line (subsidised discount, the store's own discount, quantity, unit price).
#pragma once

#include "pos/PosRows.h"

#include <cstdint>
#include <vector>

namespace pavona {

// One sale line per goods line, in input order; each discount line belongs to the nearest goods
// line before it, and discount lines before the first goods line are ignored.
std::vector<TSaleLine> Attribute(const std::vector<TRawLine>& raw);

// The part of the line's discount given through the designated coupons (never negative); a code
// listed more than once counts once.
std::int64_t SubsidyOf(const TSaleLine& line, const std::vector<std::int64_t>& codes);

struct TOwnDiscount {
    bool Has = false;
    std::int64_t Value = 0;
};
// The store's own, unsubsidised discount; absent when the figures do not add up.
TOwnDiscount OwnDiscountOf(std::int64_t amount, std::int64_t subsidy, std::int64_t discount);

// Reported quantity from the POS quantity, its sale type and units per reported unit.
double LineQuantity(int stype, std::int64_t unitQty, std::int64_t qty);

// |amount| / |quantity| rounded to whole won, halves to the even neighbour; 0 for quantity 0.
std::int64_t UnitPriceOf(double quantity, std::int64_t amount);

} // namespace pavona
