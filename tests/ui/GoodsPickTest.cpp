// The mapping dialogs' decisions as plain functions: the items to choose from, the search list's lines
// and note, and the search over the goods read earlier when the POS cannot be asked.
#include "ui/GoodsPick.h"

#include <gtest/gtest.h>

namespace pavona {
namespace {

TEST(GoodsPick, ItemChoicesListEachItemOnceInTextOrderOfNameThenCode) {
    TRoundInfo first, second;
    first.Designated = {{"V2", "사과"}, {"V9", "배"}, {"V1", "사과"}};
    second.Designated = {{"V9", "배"}, {"V3", "감자"}, {"V1", "사과"}};
    EXPECT_EQ(ItemChoices({first, second}),
              (std::vector<TItemChoice>{{"감자", "V3"}, {"배", "V9"}, {"사과", "V1"}, {"사과", "V2"}}));
    EXPECT_TRUE(ItemChoices({}).empty());
    EXPECT_EQ(ItemChoiceEntry({"사과", "V1"}), "사과   (V1)");
    EXPECT_EQ(GoodsLineOf({"512", "국산 대파"}), "국산 대파 (상품번호 512)");
    EXPECT_EQ(GoodsLineOf({"512", ""}), "512 (상품번호 512)");
}

TEST(GoodsPick, ListLinesShowWhatTheGoodsHasAndWhatItIsAssignedToNow) {
    const std::vector<TPolicyItem> items = {{"512", "V1", "대파", 20, 2000, ""},
                                            {"700", "V3", "감자", 20, 0, ""}};
    const struct Case {
        TStoreGoods Goods;
        std::string Line;
    } cases[] = {
        {{"800", "깐마늘", "", "  ", true}, "800  ·  깐마늘"},
        {{"801", "깐마늘", " 8802 ", " 200g ", true}, "801  ·  깐마늘  ·  200g  ·  바코드 8802"},
        {{"700", "감자 1kg", "", "", false}, "700  ·  감자 1kg  (판매 중지)   [지금: 감자]"},
        {{"512", "대파", "8801", "", true}, "512  ·  대파  ·  바코드 8801   [지금: 대파]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Line);
        EXPECT_EQ(PickLine(c.Goods, items), c.Line);
    }
}

TEST(GoodsPick, WithoutThePosTheSearchLooksInTheGoodsReadAndSaysSo) {
    const std::vector<TStoreGoods> read = {{"512", "국산 대파", "8801", "", true},
                                           {"513", "Green Onion", "8803", "", true},
                                           {"600", "양파", "512", "", true}};
    const TGoodsSearch noPos{{}, "POS 접속 정보가 없어 읽어 둔 상품 안에서만 찾았습니다."};
    const TGoodsSearch posAnswered{{{"900", "대파 묶음", "", "", true}}, ""};
    const TGoodsSearch posFoundNothing{{}, ""};
    const struct Case {
        const char* Name;
        TGoodsSearch Search;
        std::string Query;
        std::vector<std::string> Codes;
        std::string Note;
    } cases[] = {
        // A name part, letter case ignored; a code; a barcode (trimmed) — each in the order read.
        {"name", noPos, "대파", {"512"}, noPos.Note},
        {"letter case", noPos, "green", {"513"}, noPos.Note},
        {"code or barcode", noPos, " 512 ", {"512", "600"}, noPos.Note},
        {"nothing read matches", noPos, "배추", {}, noPos.Note},
        // The POS's answer stands alone, also when it is empty.
        {"pos answered", posAnswered, "대파", {"900"}, "1개를 찾았습니다 — 고른 뒤 「다음」 을 누르세요."},
        {"pos found nothing", posFoundNothing, "대파", {}, "찾는 상품이 없습니다 — 이름을 짧게 넣어 보세요."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        std::vector<std::string> codes;
        for (const TStoreGoods& g : PickRows(c.Search, read, c.Query))
            codes.push_back(g.Code);
        EXPECT_EQ(codes, c.Codes);
        EXPECT_EQ(PickNote(c.Search, static_cast<int>(codes.size())), c.Note);
    }
    EXPECT_EQ(PickNote(posFoundNothing, 100),
              "100개를 찾았습니다(이름으로는 앞 100개까지) — 고른 뒤 「다음」 을 누르세요.");
}

} // namespace
} // namespace pavona
