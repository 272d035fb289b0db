// The coupon link plan: the agent only reads the POS, so it tells the store which goods to put into,
// fix in or take out of the designated coupons by hand, and counts the items that have no goods.
#pragma once

#include "common/DateTime.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pavona {

// One association item of the current round, as the policy gives it.
struct TProgramItem {
    std::string ItemCode; // the vendor item code: the POS goods code the item designates
    std::string ItemName;
    int Rate = 0;          // percent
    std::int64_t Cap = 0;  // won per use; 0 for the items of past and upcoming rounds
    std::string Review;    // "pending", "confirmed" or anything else
};

// A POS goods read for the target items.
struct TStoreGoods {
    std::string Code;
    std::string Name;
    std::string Barcode;
    std::string Spec;
    bool Active = false; // on sale
};

// A coupon link set up in the POS for a designated coupon (single product or promotion group).
struct TCurrentLink {
    std::int64_t CouponCode = 0;
    std::string GoodsCode;
    int Rate = -1; // -1 when the coupon is not a percentage coupon
    std::int64_t Cap = 0;
    TDateTime EndsOn = 0; // 0: the coupon has no end date
};

// The POS goods chosen for one item; GoodsCode is empty when there is none.
struct TChoice {
    std::string ItemCode;
    std::string GoodsCode;
};

enum class TPlanAction : int { Add, Fix, Drop };

struct TPlanRow {
    TPlanAction Action = TPlanAction::Add;
    std::string ItemName; // empty for Drop
    std::string GoodsCode;
    std::string GoodsName; // the goods code when the goods was not read
    std::int64_t CouponCode = 0; // 0 for Add
    std::string Detail;
};

// "연결", "수정" or "내림".
std::string PlanActionLabel(TPlanAction action);

// One choice per item, in order: the goods with exactly the item's code when it was read and is on
// sale, else none.
std::vector<TChoice> CurrentChoices(const std::vector<TProgramItem>& items, const std::vector<TStoreGoods>& goods);

// Item rows in item order (Add or Fix), then Drop rows in link order. `end` is the programme's end
// date (0 when the policy gave none).
std::vector<TPlanRow> BuildPlan(const std::vector<TProgramItem>& items, const std::vector<TChoice>& choices,
                                const std::vector<TStoreGoods>& goods, TDateTime end,
                                const std::vector<TCurrentLink>& links);

// Items for which no choice with the same code names a goods.
int UnlinkedCount(const std::vector<TProgramItem>& items, const std::vector<TChoice>& choices);

// What the plan is made from: the current round's items and the last POS read.
struct TPlanInput {
    std::vector<TProgramItem> Items;
    std::vector<TStoreGoods> Goods;
    std::vector<TCurrentLink> Links;
    TDateTime End = 0;
    bool GoodsRead = false;  // the goods have been read at least once
    std::string ReadNote;    // why the last read failed, empty when it read
    std::string LinksNote;   // the coupon links could not be read with the goods
};

// The plan box before "고칠 내용 보기" is first pressed.
extern const char* const kPlanPlaceholder;
// The plan box's lines, first to last. Before the goods were ever read it says so and how to read
// them: without the goods every comparison would come out empty and look like nothing to fix.
std::vector<std::string> PlanLines(const TPlanInput& in);

} // namespace pavona
