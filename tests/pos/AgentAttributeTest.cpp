// Attribution of receipt lines to goods lines and the per-line figures derived from them.
#include "pos/AgentAttribute.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace pavona {
namespace {

using CouponMap = std::map<std::int64_t, std::int64_t>;

TRawLine Goods(int seq, const std::string& goods, std::int64_t price, std::int64_t dc = 0,
               std::int64_t qty = 1, int stype = 0, std::int64_t unitQty = 1) {
    TRawLine r;
    r.OrdCode = "202610060010001";
    r.Seq = seq;
    r.Kind = 0;
    r.Goods = goods;
    r.Qty = qty;
    r.Price = price;
    r.Dc = dc;
    r.Stype = stype;
    r.UnitQty = unitQty;
    return r;
}

TRawLine Disc(int seq, std::int64_t coupon, std::int64_t price, int kind = 1) {
    TRawLine r;
    r.OrdCode = "202610060010001";
    r.Seq = seq;
    r.Kind = kind;
    r.Goods = "0";
    r.Coupon = coupon;
    r.Price = price;
    return r;
}

struct TExpectLine {
    int Seq;
    std::string Goods;
    std::int64_t Amount;
    std::int64_t Discount;
    CouponMap Coupons;
};

struct TAttributeCase {
    const char* Name;
    std::vector<TRawLine> Raw;
    std::vector<TExpectLine> Expect;
};

TEST(AttributeTest, ReceiptsGiveOneSaleLinePerGoodsLine) {
    const std::vector<TAttributeCase> cases = {
        {"coupon and coupon-less discount on one line",
         {Goods(1, "A", 10000), Disc(2, 501, -2000), Disc(3, 0, -500, 2)},
         {{1, "A", 10000, 2500, {{501, 2000}}}}},
        {"each coupon line stays with the goods line before it",
         {Goods(1, "A", 5000), Disc(2, 501, -1000), Goods(3, "B", 3000), Disc(4, 502, -300)},
         {{1, "A", 5000, 1000, {{501, 1000}}}, {3, "B", 3000, 300, {{502, 300}}}}},
        {"discount before the first goods line is ignored",
         {Disc(1, 501, -700, 3), Goods(2, "A", 4000), Disc(3, 0, -100, 2)},
         {{2, "A", 4000, 100, {}}}},
        {"same coupon twice adds up in one entry",
         {Goods(1, "A", 4000), Disc(2, 501, -300), Disc(3, 501, -200)},
         {{1, "A", 4000, 500, {{501, 500}}}}},
        {"surcharge lowers the discount",
         {Goods(1, "A", 4000), Disc(2, 0, -400, 2), Disc(3, 0, 100, 2)},
         {{1, "A", 4000, 300, {}}}},
        {"the goods line's own discount starts the total",
         {Goods(1, "A", 9000, 900), Disc(2, 501, -1000), Disc(3, 777, -500)},
         {{1, "A", 9000, 2400, {{501, 1000}, {777, 500}}}}},
        {"goods lines without discounts keep no coupon map",
         {Goods(1, "A", 1000), Goods(2, "B", 2000, 200)},
         {{1, "A", 1000, 0, {}}, {2, "B", 2000, 200, {}}}},
        {"only discount lines", {Disc(1, 501, -100), Disc(2, 0, -50, 2)}, {}},
        {"nothing", {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::vector<TSaleLine> got = Attribute(c.Raw);
        ASSERT_EQ(got.size(), c.Expect.size());
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].OrdCode, "202610060010001");
            EXPECT_EQ(got[i].Seq, c.Expect[i].Seq);
            EXPECT_EQ(got[i].Goods, c.Expect[i].Goods);
            EXPECT_EQ(got[i].Amount, c.Expect[i].Amount);
            EXPECT_EQ(got[i].Discount, c.Expect[i].Discount);
            EXPECT_EQ(got[i].Coupons, c.Expect[i].Coupons);
        }
    }
}

TEST(AttributeTest, GoodsLineCarriesItsQuantityFields) {
    const auto got = Attribute({Goods(4, "880", 7500, 0, 250, 2, 1), Goods(5, "881", 12000, 0, 30, 0, 30)});
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].Qty, 250);
    EXPECT_EQ(got[0].Stype, 2);
    EXPECT_EQ(got[0].UnitQty, 1);
    EXPECT_EQ(got[1].Qty, 30);
    EXPECT_EQ(got[1].Stype, 0);
    EXPECT_EQ(got[1].UnitQty, 30);
}

TEST(AttributeTest, SubsidyIsTheDesignatedCouponsShare) {
    TSaleLine line;
    line.Amount = 10000;
    line.Discount = 3500;
    line.Coupons = {{501, 2000}, {502, 1000}, {777, 500}};
    TSaleLine negative;
    negative.Coupons = {{501, -300}, {502, 100}};
    struct {
        const char* Name;
        const TSaleLine& Line;
        std::vector<std::int64_t> Codes;
        std::int64_t Want;
    } cases[] = {
        {"one designated", line, {501}, 2000},
        {"two designated", line, {502, 501}, 3000},
        {"not designated", line, {888}, 0},
        {"no codes", line, {}, 0},
        {"no coupon map", TSaleLine{}, {501}, 0},
        {"negative sum gives nothing", negative, {501, 502}, 0},
        {"a code listed twice counts once", line, {501, 501, 502}, 3000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(SubsidyOf(c.Line, c.Codes), c.Want);
    }
}

TEST(AttributeTest, OwnDiscountOnlyWhenTheFiguresAddUp) {
    struct {
        std::int64_t Amount, Subsidy, Discount;
        bool Has;
        std::int64_t Value;
    } cases[] = {
        {10000, 2000, 2500, true, 500}, {10000, 0, 2500, true, 2500}, {3000, 300, 300, true, 0},
        {3000, 300, 200, false, 0},     {3000, 0, 4000, false, 0},    {3000, -100, 200, false, 0},
        {3000, 0, 0, true, 0},          {3000, 3000, 3000, true, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Amount << "/" << c.Subsidy << "/" << c.Discount);
        const TOwnDiscount got = OwnDiscountOf(c.Amount, c.Subsidy, c.Discount);
        EXPECT_EQ(got.Has, c.Has);
        EXPECT_EQ(got.Value, c.Value);
    }
}

TEST(AttributeTest, QuantityFollowsSaleTypeAndUnits) {
    struct {
        int Stype;
        std::int64_t UnitQty, Qty;
        double Want;
    } cases[] = {
        {0, 1000, 1500, 1.5}, {2, 1, 250, 2.5}, {0, 0, 3, 3.0},   {0, 1, 3, 3.0}, {2, 10, 1500, 1.5},
        {0, -5, 4, 4.0},      {1, 30, 30, 1.0}, {0, 1, -2, -2.0}, {2, 0, 0, 0.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Stype << "/" << c.UnitQty << "/" << c.Qty);
        EXPECT_DOUBLE_EQ(LineQuantity(c.Stype, c.UnitQty, c.Qty), c.Want);
    }
}

TEST(AttributeTest, UnitPriceRoundsHalvesToEven) {
    struct {
        double Qty;
        std::int64_t Amount, Want;
    } cases[] = {
        {3, 1000, 333},   {2, -1000, 500},    {2, 1001, 500}, {2, 1003, 502}, {0, 5000, 0}, {-2, 1000, 500},
        {1.5, 1000, 667}, {0.25, 1000, 4000}, {4, 2, 0},      {4, 6, 2},      {1, 0, 0},    {2.5, 7500, 3000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Amount << "/" << c.Qty);
        EXPECT_EQ(UnitPriceOf(c.Qty, c.Amount), c.Want);
    }
}

} // namespace
} // namespace pavona
