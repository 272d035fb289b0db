// Reads what the target-items page compares: the designated coupons' links and the POS goods of
// the items (and of the linked goods), as one value; the POS connection never outlives the read.
#pragma once

#include "pos/CouponPlan.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pavona {

struct TTargetGoodsRead {
    bool Ok = false;       // the goods were read (Goods and Links hold this read)
    std::string Note;      // why they were not: the page's whole note line; empty when Ok
    std::string LinksNote; // the links could not be read; the goods were read without them
    std::vector<TStoreGoods> Goods;
    std::vector<TCurrentLink> Links;
};

// The goods codes to ask for, each once: the items' codes in order, then the linked goods, then
// the codes of every round's items.
std::vector<std::string> TargetGoodsCodes(const std::vector<std::string>& itemCodes,
                                          const std::vector<TCurrentLink>& links,
                                          const std::vector<std::string>& roundCodes);

// Connects with `connStr`, reads the links of `subsidyCodes` and the goods, and logs what it read
// (or why it could not) under "대상 품목". Time-outs in seconds, as TPosReader::SetTimeouts.
TTargetGoodsRead ReadTargetGoods(const std::string& connStr, const std::vector<std::int64_t>& subsidyCodes,
                                 const std::vector<std::string>& itemCodes,
                                 const std::vector<std::string>& roundCodes, int loginSec = 15,
                                 int commandSec = 60);

} // namespace pavona
