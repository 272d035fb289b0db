// /maprequest with the whole engine against the reference server and the demo POS: the kinds the
// console accepts, the line it prints and its exit code — 0 only when the association accepted.
#include "tests/app/ConsoleFixture.h"

#include "common/Text.h"
#include "server/ApiJson.h"

#include <algorithm>

namespace pavona::test {
namespace {

class MapRequestTest : public ConsoleTest {
  protected:
    // Kind, goods and item of each mapping request the server received, oldest first.
    std::vector<std::string> Requests() {
        std::vector<std::string> out;
        const TJsonNode seen = TJsonNode::Parse(FServer->Received("/api/agent/mapping-requests"));
        for (std::size_t i = 0; i < seen.Size(); ++i) {
            const TJsonNode body = TJsonNode::Parse(ReadJsonString(seen.At(i), "body"));
            out.push_back(ReadJsonString(body, "kind") + " " + ReadJsonString(body, "vendor_item_code") + " " +
                          ReadJsonString(body, "standard_item_code") + " " +
                          ReadJsonString(body, "vendor_item_name"));
        }
        return out;
    }
};

TEST_F(MapRequestTest, KindsLinesAndExitCodes) {
    StartServer();
    const demopos::TDemoSummary pos = MakePos(1, 10);
    SaveCompleteSettings();
    ASSERT_FALSE(pos.DesignatedTargets.empty());
    // A goods in a designated coupon (read with the links, so its name is known) and one that is not.
    const std::string linked = std::to_string(pos.DesignatedTargets.front());
    std::string linkedName, unlinked;
    for (const demopos::TDemoGoods& g : pos.Goods) {
        if (std::to_string(g.Code) == linked) linkedName = g.Name;
        if (unlinked.empty() && g.Active &&
            !std::binary_search(pos.DesignatedTargets.begin(), pos.DesignatedTargets.end(), g.Code))
            unlinked = std::to_string(g.Code);
    }
    ASSERT_FALSE(linkedName.empty());
    ASSERT_FALSE(unlinked.empty());

    struct Case {
        std::vector<std::string> Args;
        int Exit;
        std::string Line;
        std::string Sent; // the request the server got, empty when none
    };
    const Case cases[] = {
        {{"/maprequest", linked, "include", "S-01", "데모"},
         0,
         "「" + linkedName + "」 을(를) 「S-01」 로 지정했습니다 — 바로 적용됩니다(계산대 할인 · 실적). 협회가 확인하면 "
                             "정산에 들어가고, 그 전에는 정산 보류입니다. (협회 서버에 이 상품을 새로 올렸습니다)",
         "assign " + linked + " S-01 " + linkedName},
        // 512 is an item the POS does not have: the list names it by its code.
        {{"/MapRequest", "512", "wrong"},
         0,
         "「상품번호 512」 의 지정을 풀었습니다 — 이 상품은 바로 대상에서 빠졌습니다.",
         "release 512  "},
        // With an item code "wrong" assigns; the association does not know this goods by name.
        {{"/maprequest", " " + unlinked + " ", " WRONG ", " S-01 "},
         1,
         "품목 지정을 보내지 못했습니다 — 협회 서버가 아직 모르는 상품입니다 — 「POS 상품을 품목에 지정」 으로 이름과 함께 "
         "지정해 주세요.",
         "assign " + unlinked + " S-01 "},
        {{"/maprequest", "", "include", "S-01"},
         1,
         "X  지정할 POS 상품번호를 주세요 — /maprequest <상품번호> <종류> [협회 품목 코드] [메모]",
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Args[1] + " " + (c.Args.size() > 2 ? c.Args[2] : ""));
        ASSERT_TRUE(FServer->ClearReceived());
        const ModeRun r = Run(c.Args);
        EXPECT_EQ(r.ExitCode, c.Exit);
        // One line, and no box or prompt of any kind in the console.
        EXPECT_EQ(r.Out, c.Line + "\n");
        EXPECT_EQ(Requests(), c.Sent.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.Sent});
    }
}

TEST_F(MapRequestTest, MissingSettingsOrAPolicyThatCannotBeReadSendNothing) {
    StartServer();
    const ModeRun empty = Run({"/maprequest", "512", "include", "S-01"});
    EXPECT_EQ(empty.ExitCode, 1);
    EXPECT_EQ(empty.Out, "설정이 비었다 — 사업자번호 · 인증키\n");
    EXPECT_EQ(FServer->Received(""), "[]");

    SaveCompleteSettings(kStore, "wrong-key");
    const ModeRun refused = Run({"/maprequest", "512", "include", "S-01"});
    EXPECT_EQ(refused.ExitCode, 1);
    EXPECT_TRUE(StartsWith(refused.Out, "정책을 받지 못했다 — 인증키가 맞지 않습니다.")) << refused.Out;
    EXPECT_EQ(FServer->Received("/api/agent/mapping-requests"), "[]");
}

} // namespace
} // namespace pavona::test
