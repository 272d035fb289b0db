// The target goods read over the SQLite3 ODBC driver: the goods and links of the items, a coupon
// link table that cannot be read (the goods still come), goods that cannot be read, no POS.
#include "pos/TargetGoods.h"

#include "tests/support/TestSupport.h"
#include "tools/demopos/DemoPos.h"

#include <gtest/gtest.h>

namespace pavona::test {
namespace {

class TargetGoodsTest : public TempDataTest {
  protected:
    void SetUp() override {
        FPos = FRoot.File("pos.db");
        std::string error;
        ASSERT_TRUE(demopos::CreateEmpty(FPos, error)) << error;
        ASSERT_TRUE(demopos::RunSql(FPos, R"SQL(
INSERT INTO goods VALUES (512,'국산 대파 1단      ','8801  ','1단',1), (600,'양파 1망','','',0), (999,'수입 바나나','','',NULL);
INSERT INTO coupon(cp_code, cp_title, cp_type, cp_goods, cp_target, cp_dctype, cp_dc, cp_limitamt)
  VALUES (7001,'농할 대파',1,512,1,2,500,0);
INSERT INTO coupon(cp_code, cp_title, cp_type, cp_group, cp_dctype, cp_dc, cp_limitamt)
  VALUES (7002,'농할 묶음',1,11,1,20,2000);
INSERT INTO promotiongoods VALUES (11,999);
)SQL",
                                    error))
            << error;
    }
    TTargetGoodsRead Read() {
        return ReadTargetGoods("Driver=SQLite3;Database=" + FPos, {7001, 7002}, {"512", "600", "404"}, {"512", "777"});
    }
    std::string FPos;
};

TEST_F(TargetGoodsTest, ReadsTheItemsGoodsAndTheLinkedGoods) {
    const TTargetGoodsRead r = Read();
    ASSERT_TRUE(r.Ok) << r.Note;
    EXPECT_EQ(r.LinksNote, "");
    ASSERT_EQ(r.Links.size(), 2u);
    EXPECT_EQ(r.Links[0].CouponCode, 7001);
    EXPECT_EQ(r.Links[0].Rate, -1); // an amount coupon
    EXPECT_EQ(r.Links[1].GoodsCode, "999");
    EXPECT_EQ(r.Links[1].Rate, 20);
    ASSERT_EQ(r.Goods.size(), 3u);
    for (const TStoreGoods& g : r.Goods) {
        SCOPED_TRACE(g.Code);
        if (g.Code == "512") {
            EXPECT_EQ(g.Name, "국산 대파 1단");
            EXPECT_EQ(g.Barcode, "8801");
        }
        EXPECT_EQ(g.Active, g.Code != "600");
    }
}

TEST_F(TargetGoodsTest, LinksThatCannotBeReadLeaveTheGoods) {
    std::string error;
    ASSERT_TRUE(demopos::RunSql(FPos, "DROP TABLE promotiongoods;", error)) << error;
    const TTargetGoodsRead r = Read();
    ASSERT_TRUE(r.Ok) << r.Note;
    EXPECT_TRUE(r.Links.empty());
    EXPECT_EQ(r.LinksNote.rfind("지금 걸려 있는 쿠폰을 읽지 못했습니다 — ", 0), 0u) << r.LinksNote;
    EXPECT_EQ(r.Goods.size(), 2u); // 999 was only known from a link
}

TEST_F(TargetGoodsTest, WhatCannotBeReadIsNamed) {
    std::string error;
    ASSERT_TRUE(demopos::RunSql(FPos, "DROP TABLE goods;", error)) << error;
    const TTargetGoodsRead noGoods = Read();
    EXPECT_FALSE(noGoods.Ok);
    EXPECT_EQ(noGoods.Note.rfind("상품을 읽지 못했습니다 — ", 0), 0u) << noGoods.Note;
    EXPECT_TRUE(noGoods.Goods.empty());

    const TTargetGoodsRead noPos = ReadTargetGoods(" ", {7001}, {"512"}, {});
    EXPECT_FALSE(noPos.Ok);
    EXPECT_EQ(noPos.Note, "POS 접속 정보가 없습니다 — 「설정」 탭에서 넣어 주세요.");

    const TTargetGoodsRead noFile = ReadTargetGoods("Driver=SQLite3;Database=" + FRoot.File("none.db"), {7001}, {"512"}, {});
    EXPECT_EQ(noFile.Note.rfind("POS 에 연결하지 못했습니다 — ", 0), 0u) << noFile.Note;
}

TEST(TargetGoodsCodes, ItemsThenLinkedGoodsThenRoundItemsEachOnce) {
    const std::vector<TCurrentLink> links = {{7001, "999", 20, 0, 0}, {7002, "512", 20, 0, 0}};
    EXPECT_EQ(TargetGoodsCodes({"512", "600", "512"}, links, {"777", "600", "888"}),
              (std::vector<std::string>{"512", "600", "999", "777", "888"}));
}

} // namespace
} // namespace pavona::test
