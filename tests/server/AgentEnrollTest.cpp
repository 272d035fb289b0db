// Enrolment answers, mapping request bodies, mapping answers and their operator texts.
#include "server/AgentEnroll.h"

#include <gtest/gtest.h>

namespace pavona {
namespace {

TEST(AgentEnrollTest, EnrollAnswers) {
    const struct {
        const char* Answer;
        bool Ok;
        const char* Error;
        const char* Key;
        const char* Store;
        const char* Label;
    } cases[] = {
        {R"({"key":"K-1","store":"1234567890","point":{"member_code":"M7","sign_name":"솔빛마트"}})", true,
         "", "K-1", "1234567890", "M7 솔빛마트"},
        {R"({"key":"K-1","store":"1234567890"})", true, "", "K-1", "1234567890", ""},
        {R"({"key":"K-1","store":"1234567890","point":null})", true, "", "K-1", "1234567890", ""},
        {R"({"key":"K-1","store":"1234567890","point":"M7"})", true, "", "K-1", "1234567890", ""},
        {R"({"key":"K-1","store":"1234567890","point":{"sign_name":"솔빛마트"}})", true, "", "K-1",
         "1234567890", "솔빛마트"},
        {R"({"key":"K-1","store":1234567890})", true, "", "K-1", "1234567890", ""},
        {R"({"key":"K-1","store":""})", false, "협회 서버의 답에 키가 없습니다.", "K-1", "", ""},
        {R"({"store":"1234567890"})", false, "협회 서버의 답에 키가 없습니다.", "", "1234567890", ""},
        {"[]", false, "협회 서버의 답을 읽지 못했습니다.", "", "", ""},
        {"", false, "협회 서버의 답을 읽지 못했습니다.", "", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Answer);
        TEnrollResult r;
        ReadEnrollAnswer(c.Answer, r);
        EXPECT_EQ(r.Ok, c.Ok);
        EXPECT_EQ(r.Error, c.Error);
        EXPECT_EQ(r.Key, c.Key);
        EXPECT_EQ(r.Store, c.Store);
        EXPECT_EQ(r.PointLabel, c.Label);
    }
}

TEST(AgentEnrollTest, MappingBodies) {
    EXPECT_EQ(MappingBody("1234567890", "512", "assign", "S-01", "맞음", " 대파 1단 ", " 1kg", "880 "),
              R"({"store":"1234567890","vendor_item_code":"512","kind":"assign","standard_item_code":"S-01",)"
              R"("note":"맞음","vendor_item_name":"대파 1단","spec":"1kg","barcode":"880"})");
    // Empty item code, blank name, spec and barcode: those members are left out; the note stays.
    EXPECT_EQ(MappingBody("1234567890", "512", "release", "", "", "   ", "\t", ""),
              R"({"store":"1234567890","vendor_item_code":"512","kind":"release","note":""})");
    EXPECT_EQ(MappingBody("1", "a\"b", "remap", "", "줄\n바꿈\\", "", "", ""),
              R"({"store":"1","vendor_item_code":"a\"b","kind":"remap","note":"줄\n바꿈\\"})");
}

TEST(AgentEnrollTest, MappingErrorTexts) {
    const struct {
        const char* Error;
        const char* Reason;
        int Status;
        const char* Text;
    } cases[] = {
        {"rejected_pair", " 규격 다름 ", 409,
         "협회가 거부한 지정입니다 — 사유: 규격 다름. 같은 품목으로 다시 지정하려면 협회에 문의해 주세요."},
        {"rejected_pair", "  ", 409,
         "협회가 거부한 지정입니다. 같은 품목으로 다시 지정하려면 협회에 문의해 주세요."},
        {"item_required", "x", 400, "지정할 협회 품목을 골라 주세요."},
        {"item_unknown", "", 400, "협회 품목 목록에 없는 품목입니다 — 정책을 다시 받은 뒤 골라 주세요."},
        {"product_unknown", "", 404,
         "협회 서버가 아직 모르는 상품입니다 — 「POS 상품을 품목에 지정」 으로 이름과 함께 지정해 주세요."},
        {"store_not_yours", "", 403, "이 사업자번호의 상품을 바꿀 권한이 없습니다. 협회에 문의해 주세요."},
        {"too_many", "x", 429, "협회 서버가 받아들이지 않았습니다 (too_many · x)."},
        {"too_many", " ", 429, "협회 서버가 받아들이지 않았습니다 (too_many)."},
        {"Item_Required", "", 400, "협회 서버가 받아들이지 않았습니다 (Item_Required)."},
        {"", "why", 500, "협회 서버에 문제가 있습니다. 잠시 뒤 다시 시도합니다."},
        {"", "", 401, "인증키가 맞지 않습니다. 협회에서 받은 키를 다시 확인해 주세요."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Error);
        EXPECT_EQ(MappingErrorText(c.Error, c.Reason, c.Status), c.Text);
    }
}

TEST(AgentEnrollTest, MappingAnswers) {
    const struct {
        int Status;
        const char* Answer;
        bool Ok;
        const char* ToStatus;
        const char* Review;
        bool Created;
        const char* Error;
        const char* Reason;
        const char* Message;
    } cases[] = {
        {200, R"({"to_status":"approved","review":"confirmed","created":true})", true, "approved",
         "confirmed", true, "", "", ""},
        {200, R"({"to_status":"suggested"})", true, "suggested", "", false, "", "", ""},
        {200, "ok", false, "", "", false, "", "", "협회 서버가 예상하지 못한 답을 했습니다 (200)."},
        {200, "", false, "", "", false, "", "", "협회 서버가 예상하지 못한 답을 했습니다 (200)."},
        {409, R"({"error":"rejected_pair","reason":"다른 품목"})", false, "", "", false, "rejected_pair",
         "다른 품목",
         "협회가 거부한 지정입니다 — 사유: 다른 품목. 같은 품목으로 다시 지정하려면 협회에 문의해 주세요."},
        {422, R"({"error":"q","reason":"r"})", false, "", "", false, "q", "r",
         "협회 서버가 받아들이지 않았습니다 (q · r)."},
        {500, "Internal Server Error", false, "", "", false, "", "",
         "협회 서버에 문제가 있습니다. 잠시 뒤 다시 시도합니다."},
        {401, "", false, "", "", false, "", "",
         "인증키가 맞지 않습니다. 협회에서 받은 키를 다시 확인해 주세요."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Answer);
        TMappingResult r;
        ReadMappingAnswer(c.Status, c.Answer, r);
        EXPECT_EQ(r.Ok, c.Ok);
        EXPECT_EQ(r.ToStatus, c.ToStatus);
        EXPECT_EQ(r.Review, c.Review);
        EXPECT_EQ(r.Created, c.Created);
        EXPECT_EQ(r.Error, c.Error);
        EXPECT_EQ(r.Reason, c.Reason);
        EXPECT_EQ(r.Message, c.Message);
    }
}

} // namespace
} // namespace pavona
