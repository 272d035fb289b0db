// Error texts, request envelopes and report answers of the server client, without a network.
#include "server/AgentApi.h"
#include "server/ApiJson.h"

#include "common/Text.h"
#include "common/Version.h"

#include <gtest/gtest.h>

namespace pavona {
namespace {

TEST(AgentApiTest, ServerErrorTextByStatus) {
    const struct {
        int Status;
        const char* Text;
    } cases[] = {
        {0, "협회 서버에 연결하지 못했습니다. 인터넷 연결을 확인해 주세요."},
        {401, "인증키가 맞지 않습니다. 협회에서 받은 키를 다시 확인해 주세요."},
        {403, "이 사업자번호로는 보고할 수 없습니다. 협회에 문의해 주세요."},
        {404, "협회 서버 주소가 맞지 않습니다. 설정을 확인해 주세요."},
        {409, "에이전트 판이 서버와 다릅니다. 최신 판으로 올려 주세요."},
        {500, "협회 서버에 문제가 있습니다. 잠시 뒤 다시 시도합니다."},
        {599, "협회 서버에 문제가 있습니다. 잠시 뒤 다시 시도합니다."},
        {499, "협회 서버가 예상하지 못한 답을 했습니다 (499)."},
        {600, "협회 서버가 예상하지 못한 답을 했습니다 (600)."},
        {302, "협회 서버가 예상하지 못한 답을 했습니다 (302)."},
        {200, "협회 서버가 예상하지 못한 답을 했습니다 (200)."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Status);
        EXPECT_EQ(ServerErrorText(c.Status, ""), c.Text);
        EXPECT_EQ(ServerErrorText(c.Status, "busy"), std::string(c.Text) + " [busy]");
    }
}

TEST(AgentApiTest, ServerErrorTextCutsTheAnswerAt120Characters) {
    std::string longAnswer;
    for (int i = 0; i < 130; ++i)
        longAnswer += (i % 2) ? "가" : "x";
    const std::string text = ServerErrorText(503, longAnswer);
    const std::string prefix = "협회 서버에 문제가 있습니다. 잠시 뒤 다시 시도합니다. [";
    ASSERT_TRUE(StartsWith(text, prefix));
    ASSERT_TRUE(EndsWith(text, "]"));
    const std::string inside = text.substr(prefix.size(), text.size() - prefix.size() - 1);
    EXPECT_EQ(Utf8Length(inside), 120u);
    EXPECT_TRUE(Utf8Valid(inside));
    EXPECT_EQ(inside, Utf8Left(longAnswer, 120));
    // Exactly 120 characters stay whole.
    const std::string exact = Utf8Left(longAnswer, 120);
    EXPECT_EQ(ServerErrorText(0, exact),
              "협회 서버에 연결하지 못했습니다. 인터넷 연결을 확인해 주세요. [" + exact + "]");
}

TEST(AgentApiTest, EnvelopeBytes) {
    const std::string line =
        R"({"tx_key":"731:3","sold_at":"2026-10-06T00:30:15Z","vendor_item_code":"512",)"
        R"("vendor_item_name":"대파","barcode":"880","quantity":1,"unit_price":3000,)"
        R"("amount":3000,"discount_amount":600,"pos_no":"2","receipt_no":"731","own_discount":300})";
    EXPECT_EQ(
        ReportEnvelope("1234567890", "2026-10-06T00:40:00Z", "\"lines\":[" + line + "]"),
        R"({"schema":"pavona.agent.v1","store":"1234567890","agent_time":"2026-10-06T00:40:00Z","lines":[)" +
            line + "]}");
    EXPECT_EQ(ReportEnvelope("1234567890", "2026-10-06T00:40:00Z",
                             "\"agent_version\":\"" + std::string(kAgentVersion) + "\",\"pending_days\":0"),
              R"({"schema":"pavona.agent.v1","store":"1234567890","agent_time":"2026-10-06T00:40:00Z",)"
              "\"agent_version\":\"" +
                  std::string(kAgentVersion) + "\",\"pending_days\":0}");
}

TEST(AgentApiTest, EnvelopeStaysValidJsonForAnyStoreText) {
    for (const std::string& store : {std::string("12\"34"), std::string("a\\b"), std::string("x\ny"),
                                     std::string("\x01"), std::string("\xff\xfe")}) {
        const std::string body = ReportEnvelope(store, "2026-10-06T00:40:00Z", "\"cancels\":[]");
        const TJsonNode doc = TJsonNode::Parse(body);
        ASSERT_TRUE(doc.IsObject()) << body;
        EXPECT_EQ(ReadJsonString(doc, "store"), Utf8Sanitize(store));
        EXPECT_TRUE(doc.Member("cancels").IsArray());
    }
}

TEST(AgentApiTest, ReportAnswers) {
    const struct {
        TReportKind Kind;
        const char* Answer;
        bool Ok;
        int Accepted, Duplicated, Rejected;
        std::vector<std::string> Keys;
        const char* FirstReason;
        bool Retryable;
    } cases[] = {
        {TReportKind::Sales, R"({"accepted":3,"duplicated":1,"rejected":[]})", true, 3, 1, 0, {}, "", false},
        {TReportKind::Sales,
         R"({"accepted":1,"rejected":[{"tx_key":"7:1","reason":"bad_qty"},{"reason":"x"}]})",
         true,
         1,
         0,
         2,
         {"7:1", ""},
         "bad_qty",
         false},
        {TReportKind::Coupons, R"({"duplicated":2})", true, 0, 2, 0, {}, "", false},
        {TReportKind::Sales, R"({})", true, 0, 0, 0, {}, "", false},
        {TReportKind::Cancels,
         R"({"applied":2,"skipped":[{"tx_key":"9:1","reason":"record_unknown"}]})",
         true,
         2,
         0,
         1,
         {"9:1"},
         "record_unknown",
         true},
        {TReportKind::Cancels,
         R"({"applied":1,"skipped":[{"reason":"already_void"},{"reason":"record_unknown"}]})",
         true,
         1,
         0,
         2,
         {"", ""},
         "already_void",
         true},
        {TReportKind::Cancels,
         R"({"applied":1,"skipped":[{"reason":"record_unknown "}]})",
         true,
         1,
         0,
         1,
         {""},
         "record_unknown ",
         false},
        {TReportKind::Cancels, R"({"accepted":5,"duplicated":1})", true, 0, 0, 0, {}, "", false},
        // Not a JSON object, or a list of the wrong shape: nothing can be marked sent.
        {TReportKind::Sales, "", false, 0, 0, 0, {}, "", false},
        {TReportKind::Sales, "ok", false, 0, 0, 0, {}, "", false},
        {TReportKind::Sales, "[]", false, 0, 0, 0, {}, "", false},
        {TReportKind::Coupons, "null", false, 0, 0, 0, {}, "", false},
        {TReportKind::Sales, R"({"accepted":1,"rejected":"7:1"})", false, 0, 0, 0, {}, "", false},
        {TReportKind::Sales, R"({"accepted":1,"rejected":["7:1"]})", false, 0, 0, 0, {}, "", false},
        // A member of another type than the protocol's cannot be counted on either.
        {TReportKind::Sales, R"({"accepted":"4","rejected":[]})", false, 0, 0, 0, {}, "", false},
        {TReportKind::Sales, R"({"accepted":"lots"})", false, 0, 0, 0, {}, "", false},
        {TReportKind::Sales, R"({"accepted":4,"rejected":null})", false, 0, 0, 0, {}, "", false},
        {TReportKind::Sales, R"({"accepted":-1,"duplicated":5})", false, 0, 0, 0, {}, "", false},
        {TReportKind::Coupons, R"({"accepted":1.5})", false, 0, 0, 0, {}, "", false},
        {TReportKind::Sales, R"({"duplicated":null})", false, 0, 0, 0, {}, "", false},
        {TReportKind::Sales, R"({"rejected":[{"tx_key":7,"reason":"x"}]})", false, 0, 0, 0, {}, "", false},
        {TReportKind::Cancels, R"({"applied":true})", false, 0, 0, 0, {}, "", false},
        {TReportKind::Cancels,
         R"({"applied":1,"skipped":{"reason":"record_unknown"}})",
         false,
         0,
         0,
         0,
         {},
         "",
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Answer);
        TReportResult r;
        ReadReportAnswer(c.Kind, c.Answer, r);
        EXPECT_EQ(r.Ok, c.Ok);
        EXPECT_EQ(r.Error, c.Ok ? "" : "협회 서버의 답을 읽지 못했습니다.");
        EXPECT_EQ(r.Accepted, c.Accepted);
        EXPECT_EQ(r.Duplicated, c.Duplicated);
        EXPECT_EQ(r.Rejected, c.Rejected);
        EXPECT_EQ(r.RejectedKeys, c.Keys);
        EXPECT_EQ(r.FirstReason, c.FirstReason);
        EXPECT_EQ(r.Retryable, c.Retryable);
    }
}

TEST(AgentApiTest, OnlyAnAnswerThatAccountsForTheWholeBatchMarksAnything) {
    const std::vector<std::string> batch = {"7:1", "7:2", "7:3"};
    const struct {
        const char* Name;
        TReportKind Kind;
        const char* Answer;
        bool Accounts;
    } cases[] = {
        {"all taken", TReportKind::Sales, R"({"accepted":2,"duplicated":1,"rejected":[]})", true},
        {"zero members left out", TReportKind::Sales, R"({"accepted":3})", true},
        {"one named refusal", TReportKind::Sales,
         R"({"accepted":2,"rejected":[{"tx_key":"7:2","reason":"bad_qty"}]})", true},
        {"empty answer", TReportKind::Sales, R"({})", false},
        {"fewer than sent", TReportKind::Sales, R"({"accepted":2})", false},
        {"more than sent", TReportKind::Sales, R"({"accepted":3,"duplicated":1})", false},
        {"refusal of a line not sent", TReportKind::Sales,
         R"({"accepted":2,"rejected":[{"tx_key":"8:1","reason":"x"}]})", false},
        {"refusal without its key", TReportKind::Sales, R"({"accepted":2,"rejected":[{"reason":"x"}]})",
         false},
        {"one line refused twice", TReportKind::Sales,
         R"({"accepted":1,"rejected":[{"tx_key":"7:1","reason":"x"},{"tx_key":"7:1","reason":"x"}]})", false},
        {"corrections all answered", TReportKind::Cancels,
         R"({"applied":2,"skipped":[{"reason":"record_unknown"}]})", true},
        {"corrections short", TReportKind::Cancels, R"({"applied":2})", false},
        {"correction skipped that was not sent", TReportKind::Cancels,
         R"({"applied":2,"skipped":[{"tx_key":"9:9","reason":"already_void"}]})", false},
        {"coupons by count", TReportKind::Coupons, R"({"accepted":1,"duplicated":2})", true},
        {"coupons short", TReportKind::Coupons, R"({"accepted":1})", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TReportResult r;
        ReadReportAnswer(c.Kind, c.Answer, r);
        ASSERT_TRUE(r.Ok);
        const std::vector<std::string> keys =
            c.Kind == TReportKind::Coupons ? std::vector<std::string>{} : batch;
        CheckAnswerAccounts(c.Kind, batch.size(), keys, r);
        EXPECT_EQ(r.Ok, c.Accounts);
        if (c.Accounts) {
            EXPECT_EQ(r.Error, "");
        } else {
            EXPECT_EQ(r.Error, kAnswerMismatch);
            // The log learns the counts.
            EXPECT_NE(r.Detail.find("보낸 3줄"), std::string::npos) << r.Detail;
        }
    }
}

// A retryable corrections answer that names its skipped keys lets the applied corrections be
// told apart from those still waiting for their sale.
TEST(AgentApiTest, SkippedCorrectionsNameTheKeysStillWaiting) {
    TReportResult named;
    ReadReportAnswer(TReportKind::Cancels,
                     R"({"applied":1,"skipped":[{"tx_key":"9:1","reason":"record_unknown"},)"
                     R"({"tx_key":"9:2","reason":"amend_above_reported"}]})",
                     named);
    EXPECT_TRUE(named.Retryable);
    EXPECT_TRUE(named.SkippedKeysNamed);
    EXPECT_EQ(named.UnknownKeys, std::vector<std::string>{"9:1"});

    TReportResult anonymous;
    ReadReportAnswer(TReportKind::Cancels, R"({"applied":1,"skipped":[{"reason":"record_unknown"}]})",
                     anonymous);
    EXPECT_TRUE(anonymous.Retryable);
    EXPECT_FALSE(anonymous.SkippedKeysNamed);
}

TEST(AgentApiTest, UrlEncodingKeepsOnlyUnreservedCharacters) {
    EXPECT_EQ(THttpSession::UrlEncode("1234567890"), "1234567890");
    EXPECT_EQ(THttpSession::UrlEncode("aZ-._~"), "aZ-._~");
    EXPECT_EQ(THttpSession::UrlEncode("a b/+&=?%"), "a%20b%2F%2B%26%3D%3F%25");
    EXPECT_EQ(THttpSession::UrlEncode("가"), "%EA%B0%80");
}

TEST(AgentApiTest, PlainHttpBaseIsRefusedBeforeAnyRequest) {
    // Port 9 on this machine answers nothing; the refusal must come before any attempt anyway.
    for (const std::string base :
         {"http://127.0.0.1:9", "ftp://127.0.0.1:9/", "127.0.0.1:9", "https://", ""}) {
        SCOPED_TRACE(base);
        TAgentClient client(base, "key");
        const TReportResult s = client.SendSales("1234567890", "2026-10-06T00:40:00Z", "[]");
        EXPECT_FALSE(s.Ok);
        EXPECT_EQ(s.Status, 0);
        EXPECT_EQ(s.Error, "서버 주소는 https 로 시작해야 합니다.");
        EXPECT_EQ(client.SendStatus("1", "t", "\"a\":1").Error, "서버 주소는 https 로 시작해야 합니다.");
        EXPECT_EQ(client.FetchPolicy("1").Error, "서버 주소는 https 로 시작해야 합니다.");
        EXPECT_EQ(client.RequestMapping("1", "2", "assign", "", "", "", "", "").Message,
                  "서버 주소는 https 로 시작해야 합니다.");
    }
    EXPECT_EQ(TAgentClient::Enroll("http://127.0.0.1:9", "CODE").Error,
              "서버 주소는 https 로 시작해야 합니다.");
    EXPECT_EQ(TAgentClient::Enroll("  ", "CODE").Error, "협회 서버 주소와 등록 코드를 넣어 주세요.");
    EXPECT_EQ(TAgentClient::Enroll("https://127.0.0.1:9", " \t").Error,
              "협회 서버 주소와 등록 코드를 넣어 주세요.");
}

TEST(AgentApiTest, BaseLosesEveryTrailingSlashAndNothingElse) {
    EXPECT_EQ(TAgentClient("https://h.example//", "k").Base(), "https://h.example");
    EXPECT_EQ(TAgentClient(" https://h.example/x/ ", "k").Base(), " https://h.example/x/ ");
    EXPECT_EQ(TAgentClient("https://h.example/x/", "k").Base(), "https://h.example/x");
}

} // namespace
} // namespace pavona
