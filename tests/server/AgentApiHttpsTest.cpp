// The server client over real HTTPS against the reference association server on 127.0.0.1:
// session handling, failures, time-outs, certificate checks and every endpoint's answers.
#include "server/AgentApi.h"
#include "server/ApiJson.h"

#include "common/JsonText.h"
#include "common/Text.h"
#include "common/Version.h"
#include "platform/HttpSession.h"
#include "tests/support/RefServerHarness.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

namespace pavona {
namespace {

using test::RefFault;
using test::RefServer;
using test::ScopedEnv;

const char* const kStore = "1234567890";
const char* const kKey = "agent-key-1";
const char* const kTime = "2026-10-06T00:40:00Z";
const char* const kPolicy = R"({"enabled":true,"program":{"code":"P26","name":"가을 농할",
  "starts_on":"2026-09-01","ends_on":"2026-12-31"},"budget":{"allocated":5000000},
  "subsidy_coupon_codes":[101,"202"],
  "items":[{"vendor_item_code":"512","standard_item_code":"S-01","item_name":"대파","discount_rate":20,
            "discount_cap":10000}]})";
const std::string kStatusFields =
    "\"agent_version\":\"" + std::string(kAgentVersion) + "\",\"pending_days\":0";

const char* const kNoConnection = "협회 서버에 연결하지 못했습니다. 인터넷 연결을 확인해 주세요.";
const char* const kBadKey = "인증키가 맞지 않습니다. 협회에서 받은 키를 다시 확인해 주세요.";

std::string LineJson(const std::string& txKey, int discount) {
    return Fmt(R"({"tx_key":"%s","sold_at":"2026-10-06T00:30:15Z","vendor_item_code":"512",)"
               R"("vendor_item_name":"대파","barcode":"880","quantity":1,"unit_price":3000,"amount":3000,)"
               R"("discount_amount":%d,"pos_no":"2","receipt_no":"731","own_discount":0})",
               txKey.c_str(), discount);
}

// The client's tests run on both transports, each with its own words for a failure.
const THttpTransportFacts& Transport() {
    return THttpSession::TransportFacts();
}

class AgentApiHttpsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (std::string why; !RefServer::CanRun(&why)) GTEST_SKIP() << why;
        FServer = std::make_unique<RefServer>();
        ASSERT_TRUE(FServer->Running()) << FServer->StartError();
        FCa = std::make_unique<ScopedEnv>("SSL_CERT_FILE", FServer->CaFile());
        ASSERT_TRUE(FServer->AddStore(kStore, kKey, "M7 솔빛마트", "pt-9", kPolicy)) << FServer->LastError();
        ASSERT_TRUE(FServer->ClearReceived());
    }

    // The requests the server saw on one path, oldest first.
    TJsonNode Seen(const std::string& path) {
        const TJsonNode list = TJsonNode::Parse(FServer->Received(path));
        EXPECT_TRUE(list.IsArray()) << FServer->LastError();
        return list;
    }

    std::unique_ptr<RefServer> FServer;
    std::unique_ptr<ScopedEnv> FCa;
};

TEST_F(AgentApiHttpsTest, FirstRequestLogsInAndTheSecondReusesTheSession) {
    TAgentClient client(FServer->BaseUrl() + "//", kKey);
    const TReportResult first = client.SendStatus(kStore, kTime, kStatusFields);
    ASSERT_TRUE(first.Ok) << first.Error;
    EXPECT_EQ(first.Status, 0);
    const TReportResult second = client.SendStatus(kStore, kTime, kStatusFields);
    ASSERT_TRUE(second.Ok) << second.Error;

    const TJsonNode logins = Seen("/api/auth/agent");
    ASSERT_EQ(logins.Size(), 1u);
    EXPECT_EQ(ReadJsonString(logins.At(0), "method"), "POST");
    EXPECT_EQ(ReadJsonString(logins.At(0), "body"), "key=agent-key-1");
    EXPECT_TRUE(
        StartsWith(ReadJsonString(logins.At(0), "content_type"), "application/x-www-form-urlencoded"));

    const TJsonNode status = Seen("/api/agent/status");
    ASSERT_EQ(status.Size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        const TJsonNode r = status.At(i);
        EXPECT_EQ(ReadJsonString(r, "path"), "/api/agent/status"); // one "/" before "api"
        EXPECT_EQ(ReadJsonString(r, "content_type"), "application/json; charset=utf-8");
        EXPECT_FALSE(ReadJsonString(r, "cookie").empty());
        EXPECT_EQ(ReadJsonString(r, "store"), kStore);
        EXPECT_EQ(ReadJsonString(r, "body"),
                  std::string(R"({"schema":"pavona.agent.v1","store":"1234567890","agent_time":")") + kTime +
                      "\"," + kStatusFields + "}");
    }
    // Every request of this client went to the one path set: the login and the two heartbeats.
    EXPECT_EQ(Seen("").Size(), 3u);
}

TEST_F(AgentApiHttpsTest, ExpiredSessionLogsInOnceAndRepeatsOnce) {
    TAgentClient client(FServer->BaseUrl(), kKey);
    ASSERT_TRUE(client.SendStatus(kStore, kTime, kStatusFields).Ok);
    ASSERT_TRUE(FServer->ExpireSessions());
    const TReportResult r = client.SendStatus(kStore, kTime, kStatusFields);
    EXPECT_TRUE(r.Ok) << r.Error;
    EXPECT_EQ(Seen("/api/auth/agent").Size(), 2u);
    const TJsonNode status = Seen("/api/agent/status");
    ASSERT_EQ(status.Size(), 3u);
    EXPECT_EQ(ReadJsonInt(status.At(1), "status"), 401);
    EXPECT_EQ(ReadJsonInt(status.At(2), "status"), 200);
}

TEST_F(AgentApiHttpsTest, SecondUnauthorisedAnswerIsTheFailure) {
    // Sessions that end the moment they start: every data request is answered 401.
    ASSERT_TRUE(FServer->SetSessionSeconds(0));
    TAgentClient client(FServer->BaseUrl(), kKey);
    const TReportResult r = client.SendSales(kStore, kTime, JsonArray({LineJson("731:3", 600)}));
    EXPECT_FALSE(r.Ok);
    EXPECT_EQ(r.Status, 401);
    EXPECT_TRUE(StartsWith(r.Error, std::string(kBadKey) + " [{")) << r.Error;
    EXPECT_EQ(Seen("/api/auth/agent").Size(), 2u);
    const TJsonNode sales = Seen("/api/agent/sales");
    ASSERT_EQ(sales.Size(), 2u); // one repetition, no more
    EXPECT_EQ(ReadJsonString(sales.At(0), "body"), ReadJsonString(sales.At(1), "body"));
    EXPECT_NE(ReadJsonString(sales.At(0), "cookie"), ReadJsonString(sales.At(1), "cookie"));
}

TEST_F(AgentApiHttpsTest, WrongKeyStopsAtTheLogin) {
    TAgentClient client(FServer->BaseUrl(), "not-the-key");
    const TPolicy p = client.FetchPolicy(kStore);
    EXPECT_FALSE(p.Ok);
    EXPECT_TRUE(StartsWith(p.Error, kBadKey)) << p.Error;
    EXPECT_EQ(client.LoginStatus(), 401);
    EXPECT_EQ(Seen("/api/agent/policy").Size(), 0u);
}

TEST_F(AgentApiHttpsTest, LoginAnswered200WithoutCookieSendsNoData) {
    TAgentClient client(FServer->BaseUrl(), kKey);
    ASSERT_TRUE(FServer->Fault("/api/auth/agent", 200));
    const TReportResult r = client.SendStatus(kStore, kTime, kStatusFields);
    EXPECT_FALSE(r.Ok);
    EXPECT_EQ(r.Status, 200);
    EXPECT_EQ(
        r.Error,
        "협회 서버가 예상하지 못한 답을 했습니다 (200). [서버가 200 을 줬는데 세션 쿠키가 오지 않았다]");
    EXPECT_EQ(Seen("/api/agent/status").Size(), 0u);
}

TEST_F(AgentApiHttpsTest, RedirectIsAnAnswerNotFollowed) {
    TAgentClient client(FServer->BaseUrl(), kKey);
    RefFault redirect;
    redirect.Redirect = true;
    ASSERT_TRUE(FServer->Fault("/api/agent/sales", redirect));
    const TReportResult r = client.SendSales(kStore, kTime, "[]");
    EXPECT_FALSE(r.Ok);
    EXPECT_EQ(r.Status, 302);
    EXPECT_TRUE(StartsWith(r.Error, "협회 서버가 예상하지 못한 답을 했습니다 (302).")) << r.Error;
    EXPECT_EQ(Seen("").Size(), 2u) << FServer->Received(""); // the login and the one redirected request
}

TEST_F(AgentApiHttpsTest, LongAnswersAreCutByCharacters) {
    std::string body;
    for (int i = 0; i < 200; ++i)
        body += (i % 3) ? "가" : "z";
    // A refused login keeps 160 characters as its note; the operator's text shows 120 of them.
    {
        TAgentClient client(FServer->BaseUrl(), kKey);
        RefFault refuse;
        refuse.Status = 403;
        refuse.Body = body;
        ASSERT_TRUE(FServer->Fault("/api/auth/agent", refuse));
        const TReportResult r = client.SendStatus(kStore, kTime, kStatusFields);
        EXPECT_EQ(r.Status, 403);
        EXPECT_EQ(client.LoginNote(), Utf8Left(body, 160));
        EXPECT_EQ(r.Error, "이 사업자번호로는 보고할 수 없습니다. 협회에 문의해 주세요. [" +
                               Utf8Left(body, 120) + "]");
    }
    {
        TAgentClient client(FServer->BaseUrl(), kKey);
        RefFault broken;
        broken.Status = 502;
        broken.Body = body;
        ASSERT_TRUE(FServer->Fault("/api/agent/coupons", broken));
        const TReportResult r = client.SendCoupons(kStore, kTime, "[]");
        EXPECT_EQ(r.Status, 502);
        EXPECT_EQ(r.Error,
                  "협회 서버에 문제가 있습니다. 잠시 뒤 다시 시도합니다. [" + Utf8Left(body, 120) + "]");
    }
}

TEST_F(AgentApiHttpsTest, NoAnswerInTimeIsNoAnswer) {
    using Clock = std::chrono::steady_clock;
    TAgentClient client(FServer->BaseUrl(), kKey);
    client.SetTimeouts({5000, 1000});
    ASSERT_TRUE(client.SendStatus(kStore, kTime, kStatusFields).Ok);

    RefFault slow;
    slow.DelayMs = 4000;
    ASSERT_TRUE(FServer->Fault("/api/agent/status", slow));
    auto start = Clock::now();
    const TReportResult r = client.SendStatus(kStore, kTime, kStatusFields);
    auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    EXPECT_FALSE(r.Ok);
    EXPECT_EQ(r.Status, 0);
    EXPECT_EQ(r.Error, kNoConnection);
    EXPECT_LT(waited, 3500);

    // A slow login says why in brackets.
    TAgentClient fresh(FServer->BaseUrl(), kKey);
    fresh.SetTimeouts({5000, 1000});
    ASSERT_TRUE(FServer->Fault("/api/auth/agent", slow));
    start = Clock::now();
    const TReportResult l = fresh.SendStatus(kStore, kTime, kStatusFields);
    waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    EXPECT_EQ(l.Status, 0);
    EXPECT_TRUE(StartsWith(l.Error, std::string(kNoConnection) + " [" + Transport().TimedOut + ": ")) << l.Error;
    EXPECT_LT(waited, 3500);

    // A dropped connection is no answer either.
    RefFault drop;
    drop.Drop = true;
    ASSERT_TRUE(FServer->Fault("/api/agent/status", drop));
    const TReportResult d = client.SendStatus(kStore, kTime, kStatusFields);
    EXPECT_EQ(d.Status, 0);
    EXPECT_EQ(d.Error, kNoConnection);
}

// The operator reads one sentence for every answer that did not come; the log needs the
// transport's own reason beside it to tell a slow server from a refused or oversized answer.
TEST_F(AgentApiHttpsTest, AReportWithoutAnswerKeepsTheTransportsReason) {

    RefFault slow;
    slow.DelayMs = 3000;
    RefFault drop;
    drop.Drop = true;
    drop.Times = 2; // libcurl tries a request once more when a kept-alive connection died under it
    RefFault huge;
    huge.Status = 200;
    huge.Body = "{}";
    huge.BodyBytes = static_cast<std::int64_t>(THttpSession::kMaxAnswerBytes) + 1;
    // The oversized answer gets time enough to arrive even on a slow (sanitizer) build: what it
    // tests is the size limit, not the clock.
    const struct {
        const char* Name;
        RefFault Fault;
        long ResponseMs;
        std::string Reason;
    } cases[] = {
        {"time-out", slow, 1000, std::string(Transport().TimedOut) + ": "},
        {"dropped", drop, 1000, Transport().ErrorPrefix},
        {"answer too large", huge, 120000, "answer larger than 67108864 bytes refused"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TAgentClient client(FServer->BaseUrl(), kKey);
        client.SetTimeouts({5000, c.ResponseMs});
        ASSERT_TRUE(client.SendStatus(kStore, kTime, kStatusFields).Ok);
        EXPECT_EQ(client.TransportNote(), "");
        ASSERT_TRUE(FServer->Fault("/api/agent/sales", c.Fault)) << FServer->LastError();
        const TReportResult r = client.SendSales(kStore, kTime, JsonArray({LineJson("7:1", 600)}));
        EXPECT_FALSE(r.Ok);
        EXPECT_EQ(r.Status, 0);
        EXPECT_EQ(r.Error, kNoConnection);
        EXPECT_NE(r.Detail.find(c.Reason), std::string::npos) << r.Detail;
    }
}

TEST_F(AgentApiHttpsTest, CertificateFromAnUnknownAuthorityIsRefused) {
    if (!Transport().ReadsSslCertFile)
        GTEST_SKIP() << Transport().Name << " trusts the system's store alone, and this run's holds the test CA";
    test::TempDir dir;
    const test::ProcessResult made =
        test::RunProcess("/usr/bin/openssl",
                         {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj",
                          "/CN=Other CA", "-keyout", dir.File("other.key"), "-out", dir.File("other.pem")});
    ASSERT_EQ(made.ExitCode, 0) << made.Err;
    for (const std::string& caFile : {dir.File("other.pem"), std::string()}) {
        SCOPED_TRACE(caFile.empty() ? "system store" : caFile);
        ScopedEnv ca("SSL_CERT_FILE", caFile);
        TAgentClient client(FServer->BaseUrl(), kKey);
        const TReportResult r = client.SendStatus(kStore, kTime, kStatusFields);
        EXPECT_FALSE(r.Ok);
        EXPECT_EQ(r.Status, 0);
        EXPECT_TRUE(StartsWith(r.Error, std::string(kNoConnection) + " [" + Transport().ErrorPrefix)) << r.Error;
        EXPECT_EQ(TAgentClient::Enroll(FServer->BaseUrl(), "ANYCODE").Error,
                  "협회 서버에 닿지 않습니다 — 인터넷을 확인해 주세요.");
    }
    // The key never reached the server.
    EXPECT_EQ(Seen("").Size(), 0u);
}

TEST_F(AgentApiHttpsTest, ClosedPortNamesTheConnectionError) {
    const std::string base = FServer->BaseUrl();
    FServer->Stop();
    TAgentClient client(base, kKey);
    const TPolicy p = client.FetchPolicy(kStore);
    EXPECT_FALSE(p.Ok);
    EXPECT_TRUE(StartsWith(p.Error, std::string(kNoConnection) + " [" + Transport().CannotConnect + ": ")) << p.Error;
    const TMappingResult m = client.RequestMapping(kStore, "512", "remap", "", "", "", "", "");
    EXPECT_EQ(m.Message, "협회 서버에 닿지 못했습니다 — 인터넷 연결을 확인해 주세요.");
}

TEST_F(AgentApiHttpsTest, ReportsAreCountedByTheServer) {
    TAgentClient client(FServer->BaseUrl(), kKey);
    const std::string lines = JsonArray({LineJson("731:3", 600), LineJson("731:4", 0)});
    const TReportResult first = client.SendSales(kStore, kTime, lines);
    ASSERT_TRUE(first.Ok) << first.Error;
    EXPECT_EQ(first.Accepted, 2);
    EXPECT_EQ(first.Rejected, 0);
    const TReportResult again = client.SendSales(kStore, kTime, lines);
    ASSERT_TRUE(again.Ok) << again.Error;
    EXPECT_EQ(again.Accepted, 0);
    EXPECT_EQ(again.Duplicated, 2);
    const TJsonNode sales = Seen("/api/agent/sales");
    ASSERT_EQ(sales.Size(), 2u);
    EXPECT_EQ(ReadJsonString(sales.At(0), "body"),
              std::string(R"({"schema":"pavona.agent.v1","store":"1234567890","agent_time":")") + kTime +
                  R"(","lines":)" + lines + "}");

    // A correction of a sale the server has never seen may be offered again later.
    const TReportResult cancels = client.SendCancels(
        kStore, kTime,
        R"([{"tx_key":"999:1","kind":"void","reason":"cancel","occurred_at":"2026-10-06T03:12:00Z"}])");
    ASSERT_TRUE(cancels.Ok) << cancels.Error;
    EXPECT_EQ(cancels.Accepted, 0);
    EXPECT_EQ(cancels.Rejected, 1);
    EXPECT_EQ(cancels.FirstReason, "record_unknown");
    EXPECT_TRUE(cancels.Retryable);

    const test::RefSummary s = FServer->Summary(kStore);
    ASSERT_TRUE(s.Ok) << FServer->LastError();
    EXPECT_EQ(s.Accepted, 2);
    EXPECT_EQ(s.Duplicated, 2);
    EXPECT_EQ(s.CorrectionsSkipped, 1);
}

TEST_F(AgentApiHttpsTest, NonJsonAnswerIsUnreadable) {
    TAgentClient client(FServer->BaseUrl(), kKey);
    RefFault html;
    html.NonJson = true;
    ASSERT_TRUE(FServer->Fault("/api/agent/policy", html));
    const TPolicy p = client.FetchPolicy(kStore);
    EXPECT_FALSE(p.Ok);
    EXPECT_EQ(p.Error, "협회 서버의 답을 읽지 못했습니다.");
    // The heartbeat only needs the 200.
    ASSERT_TRUE(FServer->Fault("/api/agent/status", html));
    EXPECT_TRUE(client.SendStatus(kStore, kTime, kStatusFields).Ok);
}

TEST_F(AgentApiHttpsTest, PolicyOfTheStore) {
    TAgentClient client(FServer->BaseUrl(), kKey);
    const TPolicy p = client.FetchPolicy(kStore);
    ASSERT_TRUE(p.Ok) << p.Error;
    EXPECT_TRUE(p.Enabled);
    EXPECT_EQ(p.ProgramCode, "P26");
    EXPECT_EQ(p.ProgramName, "가을 농할");
    EXPECT_EQ(p.Allocated, 5000000);
    EXPECT_EQ(p.SubsidyCouponCodes, (std::vector<std::int64_t>{101, 202}));
    ASSERT_FALSE(p.Items.empty());
    EXPECT_EQ(p.Items[0].StandardItemCode, "S-01");
    EXPECT_EQ(p.Items[0].DiscountCap, 10000);
    EXPECT_EQ(p.PointId, "pt-9");
    EXPECT_EQ(p.PointMemberCode, "M7");
    EXPECT_EQ(p.PointSignName, "솔빛마트");
    const TJsonNode seen = Seen("/api/agent/policy");
    ASSERT_EQ(seen.Size(), 1u);
    EXPECT_EQ(ReadJsonString(seen.At(0), "method"), "GET");
    EXPECT_EQ(ReadJsonString(seen.At(0), "query"), "store=1234567890");

    // The store number travels percent-encoded, whatever was typed.
    client.FetchPolicy("12 34/5&x=1");
    const TJsonNode odd = Seen("/api/agent/policy");
    ASSERT_EQ(odd.Size(), 2u);
    EXPECT_EQ(ReadJsonString(odd.At(1), "query"), "store=12%2034%2F5%26x%3D1");
}

TEST_F(AgentApiHttpsTest, EnrolmentTurnsACodeIntoKeyAndStore) {
    const std::string code = FServer->IssueCode(kStore, 72);
    ASSERT_FALSE(code.empty()) << FServer->LastError();
    const TEnrollResult r = TAgentClient::Enroll(" " + FServer->BaseUrl() + "// ", "  " + code + " ");
    ASSERT_TRUE(r.Ok) << r.Error;
    EXPECT_FALSE(r.Key.empty());
    EXPECT_EQ(r.Store, kStore);
    EXPECT_EQ(r.PointLabel, "M7 솔빛마트");
    const TJsonNode seen = Seen("/api/auth/agent/enroll");
    ASSERT_EQ(seen.Size(), 1u);
    EXPECT_EQ(ReadJsonString(seen.At(0), "path"), "/api/auth/agent/enroll");
    EXPECT_EQ(ReadJsonString(seen.At(0), "body"), "code=" + code);

    // The issued key works for reporting.
    TAgentClient client(FServer->BaseUrl(), r.Key);
    EXPECT_TRUE(client.SendStatus(kStore, kTime, kStatusFields).Ok);

    const char* const refused =
        "등록 코드가 맞지 않거나 이미 쓰였거나 72시간이 지났습니다. 협회에 새 코드를 요청해 주세요.";
    EXPECT_EQ(TAgentClient::Enroll(FServer->BaseUrl(), code).Error, refused); // used
    const std::string expired = FServer->IssueCode(kStore, -1);
    ASSERT_FALSE(expired.empty()) << FServer->LastError();
    EXPECT_EQ(TAgentClient::Enroll(FServer->BaseUrl(), expired).Error, refused);
    EXPECT_EQ(TAgentClient::Enroll(FServer->BaseUrl(), "NO-SUCH-CODE").Error, refused);
}

TEST_F(AgentApiHttpsTest, MappingRequestsAndTheirRefusals) {
    TAgentClient client(FServer->BaseUrl(), kKey);
    const TMappingResult ok =
        client.RequestMapping(kStore, "512", "assign", "S-01", "", "대파 1단", "", "880");
    ASSERT_TRUE(ok.Ok) << ok.Message;
    EXPECT_EQ(ok.Message, "");
    EXPECT_FALSE(ok.ToStatus.empty());
    const TJsonNode seen = Seen("/api/agent/mapping-requests");
    ASSERT_EQ(seen.Size(), 1u);
    EXPECT_EQ(ReadJsonString(seen.At(0), "body"),
              R"({"store":"1234567890","vendor_item_code":"512","kind":"assign","standard_item_code":"S-01",)"
              R"("note":"","vendor_item_name":"대파 1단","barcode":"880"})");

    // An item the association does not have is refused with its own code and text.
    const TMappingResult unknown = client.RequestMapping(kStore, "512", "assign", "NOPE", "", "대파", "", "");
    EXPECT_FALSE(unknown.Ok);
    EXPECT_EQ(unknown.Error, "item_unknown");
    EXPECT_EQ(unknown.Message, "협회 품목 목록에 없는 품목입니다 — 정책을 다시 받은 뒤 골라 주세요.");

    ASSERT_TRUE(FServer->Fault("/api/agent/mapping-requests", 500));
    const TMappingResult failed = client.RequestMapping(kStore, "512", "remap", "", "", "", "", "");
    EXPECT_FALSE(failed.Ok);
    EXPECT_EQ(failed.Message, "협회 서버에 문제가 있습니다. 잠시 뒤 다시 시도합니다.");
}

} // namespace
} // namespace pavona
