// The reference association server through its harness and plain HTTPS requests: sessions,
// report endpoints, budget arithmetic, enrolment, mapping requests, faults and restarts.
#include "tests/support/RefServerHarness.h"

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <map>
#include <thread>

namespace pavona::test {
namespace {

using Json = nlohmann::json;

const char kStore[] = "1234567890";
const char kOther[] = "9876543210";
const char kKey[] = "key-solbit-1";

const char kPolicy[] = R"({"enabled":true,
  "program":{"code":"NH-2026-10","name":"10월 농할","starts_on":"2026-10-01","ends_on":"2026-10-31"},
  "budget":{"allocated":10000,"offset_outstanding":1000},
  "items":[{"vendor_item_code":"512","standard_item_code":"V001","item_name":"대파",
            "discount_rate":20,"discount_cap":2000,"review":"confirmed"}],
  "subsidy_coupon_codes":[101,"202"],
  "schema_fingerprint":{"approved":"abc"},
  "rounds":[{"round_no":1,"phase":"current","designated":[{"standard_item_code":"V003","name":"감자"}]}],
  "decisions":[{"vendor_item_code":"530","product_name":"깐양파","item_name":"양파",
                "standard_item_code":"V002","verdict":"rejected","reason":"품목이 다릅니다"}],
  "catalog":[{"standard_item_code":"V002","item_name":"양파","discount_rate":20,"discount_cap":2000}]})";

struct Reply {
    int Status = 0; // 0: no answer
    std::string Body;
    std::string SetCookie;
    std::string Location;
    Json Parsed() const { return Json::parse(Body, nullptr, false); }
};

// A minimal agent: HTTPS verified against the harness CA, the session cookie kept by hand.
class Agent {
  public:
    Agent(RefServer& server, int readTimeoutSec = 10) : FServer(server), FTimeout(readTimeoutSec) {}

    Reply Login(const std::string& key) {
        Reply r = Send("POST", "/api/auth/agent", "key=" + key, "application/x-www-form-urlencoded");
        if (r.Status == 200) FCookie = r.SetCookie.substr(0, r.SetCookie.find(';'));
        return r;
    }
    Reply Enroll(const std::string& code) {
        return Send("POST", "/api/auth/agent/enroll", "code=" + code, "application/x-www-form-urlencoded");
    }
    Reply Post(const std::string& path, const std::string& json) {
        return Send("POST", path, json, "application/json; charset=utf-8");
    }
    Reply Get(const std::string& path) { return Send("GET", path, "", ""); }
    // A report envelope around one content member.
    Reply Report(const std::string& path, const std::string& member, const Json& content,
                 const std::string& store = kStore, const std::string& schema = "pavona.agent.v1") {
        Json body{{"schema", schema}, {"store", store}, {"agent_time", "2026-10-06T00:40:00Z"}};
        body[member] = content;
        return Post(path, body.dump());
    }
    std::string FCookie;

  private:
    Reply Send(const std::string& method, const std::string& path, const std::string& body,
               const std::string& type) {
        httplib::SSLClient cli("127.0.0.1", FServer.Port());
        cli.set_ca_cert_path(FServer.CaFile().c_str());
        cli.enable_server_certificate_verification(true);
        cli.set_read_timeout(FTimeout);
        httplib::Headers headers;
        if (!FCookie.empty()) headers.emplace("Cookie", FCookie);
        auto res = method == "GET" ? cli.Get(path.c_str(), headers)
                                   : cli.Post(path.c_str(), headers, body, type.c_str());
        Reply r;
        if (!res) return r;
        r.Status = res->status;
        r.Body = res->body;
        r.SetCookie = res->get_header_value("Set-Cookie");
        r.Location = res->get_header_value("Location");
        return r;
    }
    RefServer& FServer;
    int FTimeout;
};

Json Line(const std::string& key, int64_t amount, int64_t subsidy, const std::string& goods = "512") {
    return Json{{"tx_key", key},
                {"sold_at", "2026-10-06T00:30:15Z"},
                {"vendor_item_code", goods},
                {"vendor_item_name", "대파"},
                {"barcode", "880"},
                {"quantity", 1},
                {"unit_price", amount},
                {"amount", amount},
                {"discount_amount", subsidy},
                {"pos_no", "2"},
                {"receipt_no", key.substr(0, key.find(':'))},
                {"own_discount", 0}};
}

Json Cancel(const std::string& key, const std::string& kind, int64_t corrected, const std::string& at) {
    Json c{{"tx_key", key}, {"kind", kind}, {"reason", "POS 취소 #77"}, {"occurred_at", at}};
    if (kind == "amend") c["corrected_discount_amount"] = corrected;
    return c;
}

class RefServerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(FServer.Running()) << FServer.StartError();
        ASSERT_TRUE(FServer.AddStore(kStore, kKey, "M01 솔빛마트", "P-17", kPolicy)) << FServer.LastError();
        ASSERT_TRUE(FServer.AddStore(kOther, "key-other", "M02 다른마트", "P-18", "{}"))
            << FServer.LastError();
    }
    Json Budget(Agent& a) {
        Reply r = a.Get(std::string("/api/agent/policy?store=") + kStore);
        EXPECT_EQ(r.Status, 200) << r.Body;
        return r.Parsed()["budget"];
    }
    RefServer FServer;
};

TEST_F(RefServerTest, LoginSessionsAndStoreChecks) {
    Agent a(FServer);
    Reply bad = a.Login("no-such-key");
    EXPECT_EQ(bad.Status, 401);
    EXPECT_TRUE(bad.SetCookie.empty());
    EXPECT_EQ(a.Get(std::string("/api/agent/policy?store=") + kStore).Status, 401);

    Reply ok = a.Login(kKey);
    ASSERT_EQ(ok.Status, 200) << ok.Body;
    EXPECT_EQ(ok.SetCookie.rfind("pavona_sid=", 0), 0u) << ok.SetCookie;
    EXPECT_EQ(a.Get(std::string("/api/agent/policy?store=") + kStore).Status, 200);

    struct Case {
        const char* Name;
        std::string Store, Schema;
        int Status;
        const char* Error;
    } cases[] = {
        {"own store", kStore, "pavona.agent.v1", 200, ""},
        {"another store", kOther, "pavona.agent.v1", 403, "store_not_yours"},
        {"unknown schema", kStore, "pavona.agent.v0", 409, "schema_unsupported"},
    };
    for (const Case& c : cases) {
        Reply r = a.Report("/api/agent/sales", "lines", Json::array(), c.Store, c.Schema);
        EXPECT_EQ(r.Status, c.Status) << c.Name << ": " << r.Body;
        if (c.Status != 200) {
            EXPECT_EQ(r.Parsed().value("error", ""), c.Error) << c.Name;
        }
    }
    Reply other = a.Get(std::string("/api/agent/policy?store=") + kOther);
    EXPECT_EQ(other.Status, 403);
    EXPECT_EQ(other.Parsed().value("error", ""), "store_not_yours");
    Reply notJson = a.Post("/api/agent/sales", "lines=1");
    EXPECT_EQ(notJson.Status, 400);

    // A short session ends on the server: 401, and a new login works again.
    // Logged in at the very end of a wall-clock second, the session still lasts its whole second.
    ASSERT_TRUE(FServer.SetSessionSeconds(1));
    const auto msOfSecond = [] {
        using namespace std::chrono;
        return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count() % 1000;
    };
    while (msOfSecond() < 985)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(a.Login(kKey).Status, 200);
    while (msOfSecond() >= 985)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(a.Report("/api/agent/status", "registers", Json::array()).Status, 200);
    std::this_thread::sleep_for(std::chrono::milliseconds(1300));
    Reply expired = a.Report("/api/agent/status", "registers", Json::array());
    EXPECT_EQ(expired.Status, 401);
    EXPECT_EQ(expired.Parsed().value("error", ""), "session_expired");
    ASSERT_TRUE(FServer.SetSessionSeconds(3600));
    ASSERT_EQ(a.Login(kKey).Status, 200);
    EXPECT_EQ(a.Report("/api/agent/status", "registers", Json::array()).Status, 200);
    ASSERT_TRUE(FServer.ExpireSessions());
    EXPECT_EQ(a.Report("/api/agent/status", "registers", Json::array()).Status, 401);
    EXPECT_EQ(FServer.Summary(kStore).Heartbeats, 2);
}

TEST_F(RefServerTest, SalesAreDeduplicatedAndBadLinesRejectedWithReasons) {
    Agent a(FServer);
    ASSERT_EQ(a.Login(kKey).Status, 200);
    Json noKey = Line("", 1000, 0);
    noKey.erase("tx_key");
    Json blankKey = Line("  ", 1000, 0);
    Json badTime = Line("1:2", 1000, 0);
    badTime["sold_at"] = "2026-10-06 00:30:15";
    Json qtyText = Line("1:3", 1000, 0);
    qtyText["quantity"] = "1";
    Json amountFraction = Line("1:4", 1000, 0);
    amountFraction["amount"] = 1000.5;
    Json overSubsidy = Line("1:5", 1000, 1001);
    Json noGoods = Line("1:6", 1000, 0);
    noGoods["vendor_item_code"] = "";
    Json lines =
        Json::array({Line("1:1", 3000, 600), noKey, blankKey, badTime, qtyText, amountFraction, overSubsidy,
                     noGoods, "not an object", Line("1:1", 3000, 600), Line("1:7", 2000, 400)});
    Reply r = a.Report("/api/agent/sales", "lines", lines);
    ASSERT_EQ(r.Status, 200) << r.Body;
    Json j = r.Parsed();
    EXPECT_EQ(j["accepted"], 2);
    EXPECT_EQ(j["duplicated"], 1);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"", "missing_tx_key"},
        {"", "missing_tx_key"},
        {"1:2", "invalid_field:sold_at"},
        {"1:3", "invalid_field:quantity"},
        {"1:4", "invalid_field:amount"},
        {"1:5", "invalid_field:discount_amount"},
        {"1:6", "invalid_field:vendor_item_code"},
        {"", "not_an_object"}};
    ASSERT_EQ(j["rejected"].size(), expected.size()) << r.Body;
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(j["rejected"][i]["tx_key"], expected[i].first) << i;
        EXPECT_EQ(j["rejected"][i]["reason"], expected[i].second) << i;
    }

    // A later batch repeating a key is a duplicate; a changed repeat does not replace the first.
    Reply again = a.Report("/api/agent/sales", "lines", Json::array({Line("1:7", 2000, 1999)}));
    EXPECT_EQ(again.Parsed()["accepted"], 0);
    EXPECT_EQ(again.Parsed()["duplicated"], 1);
    EXPECT_EQ(again.Parsed()["rejected"], Json::array());
    RefSummary s = FServer.Summary(kStore);
    EXPECT_EQ(s.Accepted, 2);
    EXPECT_EQ(s.Duplicated, 2);
    EXPECT_EQ(s.Rejected, 8);
    EXPECT_EQ(s.ReportedExecuted, 1000);

    // Sales of one store are not duplicates of another's.
    Agent other(FServer);
    ASSERT_EQ(other.Login("key-other").Status, 200);
    Reply theirs = other.Report("/api/agent/sales", "lines", Json::array({Line("1:1", 3000, 600)}), kOther);
    EXPECT_EQ(theirs.Parsed()["accepted"], 1) << theirs.Body;
}

TEST_F(RefServerTest, BudgetFollowsAcceptedLinesAndCorrections) {
    Agent a(FServer);
    ASSERT_EQ(a.Login(kKey).Status, 200);
    Json b = Budget(a);
    EXPECT_EQ(b["allocated"], 10000);
    EXPECT_EQ(b["offset_outstanding"], 1000);
    EXPECT_EQ(b["reported_executed"], 0);
    EXPECT_EQ(b["remaining"], 9000);

    Json bad = Line("9:9", 100, 50);
    bad["quantity"] = nullptr;
    ASSERT_EQ(a.Report("/api/agent/sales", "lines",
                       Json::array({Line("731:3", 3000, 600), Line("731:4", 2000, 400), bad}))
                  .Status,
              200);
    b = Budget(a);
    EXPECT_EQ(b["reported_executed"], 1000);
    EXPECT_EQ(b["remaining"], 8000);

    struct Step {
        const char* Name;
        Json Correction;
        int Applied;
        const char* Skip; // expected skip reason, empty when applied
        int64_t Executed;
    } steps[] = {
        {"void removes the line's subsidy", Cancel("731:3", "void", 0, "2026-10-06T03:12:00Z"), 1, "", 400},
        {"amend sets it", Cancel("731:4", "amend", 100, "2026-10-06T03:13:00Z"), 1, "", 100},
        {"unknown sale", Cancel("999:1", "void", 0, "2026-10-06T03:14:00Z"), 0, "record_unknown", 100},
        {"amend above the reported subsidy", Cancel("731:4", "amend", 401, "2026-10-06T03:15:00Z"), 0,
         "invalid_field:corrected_discount_amount", 100},
        {"unknown kind", Cancel("731:4", "delete", 0, "2026-10-06T03:15:00Z"), 0, "invalid_field:kind", 100},
        {"an older amend sent again does not undo the void",
         Cancel("731:3", "amend", 300, "2026-10-06T03:00:00Z"), 1, "", 100},
        {"a newer amend counts", Cancel("731:4", "amend", 250, "2026-10-06T04:00:00Z"), 1, "", 250},
    };
    for (const Step& s : steps) {
        Reply r = a.Report("/api/agent/cancels", "cancels", Json::array({s.Correction}));
        ASSERT_EQ(r.Status, 200) << s.Name << ": " << r.Body;
        Json j = r.Parsed();
        EXPECT_EQ(j["applied"], s.Applied) << s.Name;
        if (*s.Skip) {
            ASSERT_EQ(j["skipped"].size(), 1u) << s.Name;
            EXPECT_EQ(j["skipped"][0]["reason"], s.Skip) << s.Name;
        } else {
            EXPECT_EQ(j["skipped"], Json::array()) << s.Name;
        }
        Json budget = Budget(a);
        EXPECT_EQ(budget["reported_executed"], s.Executed) << s.Name;
        EXPECT_EQ(budget["remaining"], 9000 - s.Executed) << s.Name;
    }
    RefSummary sum = FServer.Summary(kStore);
    EXPECT_EQ(sum.CorrectionsApplied, 4);
    EXPECT_EQ(sum.CorrectionsSkipped, 3);
    EXPECT_EQ(sum.ReportedExecuted, 250);
    EXPECT_EQ(sum.Remaining, 8750);
}

TEST_F(RefServerTest, PolicyDocumentCarriesThePointAndRisesInRevision) {
    Agent a(FServer);
    ASSERT_EQ(a.Login(kKey).Status, 200);
    Json p = a.Get(std::string("/api/agent/policy?store=") + kStore).Parsed();
    EXPECT_EQ(p["enabled"], true);
    EXPECT_EQ(p["program"]["name"], "10월 농할");
    EXPECT_EQ(p["subsidy_coupon_codes"], Json::parse(R"([101,"202"])"));
    EXPECT_EQ(p["schema_fingerprint"]["approved"], "abc");
    EXPECT_EQ(p["point"], Json::parse(R"({"id":"P-17","member_code":"M01","sign_name":"솔빛마트"})"));
    EXPECT_FALSE(p.contains("catalog"));
    const int64_t revision = p["revision"];
    ASSERT_TRUE(FServer.SetPolicy(kStore, R"({"enabled":false})"));
    Json q = a.Get(std::string("/api/agent/policy?store=") + kStore).Parsed();
    EXPECT_EQ(q["enabled"], false);
    EXPECT_EQ(q["revision"], revision + 1);
    EXPECT_FALSE(FServer.SetPolicy(kStore, "[1]"));
}

TEST_F(RefServerTest, EnrolmentCodesAreOneTimeAndExpire) {
    Agent a(FServer);
    const std::string code = FServer.IssueCode(kStore);
    ASSERT_FALSE(code.empty()) << FServer.LastError();
    Reply r = a.Enroll("  " + code + " ");
    ASSERT_EQ(r.Status, 200) << r.Body;
    Json j = r.Parsed();
    EXPECT_EQ(j["store"], kStore);
    EXPECT_EQ(j["point"]["member_code"], "M01");
    EXPECT_EQ(j["point"]["sign_name"], "솔빛마트");
    const std::string issued = j["key"];
    ASSERT_FALSE(issued.empty());
    EXPECT_EQ(a.Login(issued).Status, 200);
    EXPECT_EQ(a.Enroll(code).Status, 410); // used

    const std::string stale = FServer.IssueCode(kStore, -1);
    const std::string lowerCase = FServer.IssueCode(kStore, 72, "solbit-0001");
    const std::string dayLeft = FServer.IssueCode(kStore, 72);
    EXPECT_EQ(lowerCase, "SOLBIT-0001");
    EXPECT_EQ(a.Enroll("NO-SUCH").Status, 404);
    EXPECT_EQ(a.Enroll("").Status, 404);
    EXPECT_EQ(a.Enroll(stale).Status, 410);
    EXPECT_EQ(a.Enroll(stale).Parsed()["error"], "code_expired");
    ASSERT_TRUE(FServer.SetClockOffset(73 * 3600));
    EXPECT_EQ(a.Enroll(dayLeft).Status, 410);
    ASSERT_TRUE(FServer.SetClockOffset(0));
    EXPECT_EQ(a.Enroll("solbit-0001").Status, 200);
    EXPECT_EQ(a.Enroll(dayLeft).Status, 200);
    EXPECT_TRUE(FServer.IssueCode("0000000000").empty()); // unknown store
}

TEST_F(RefServerTest, MappingRequestsAnswerTheirStateOrErrorCodes) {
    Agent a(FServer);
    ASSERT_EQ(a.Login(kKey).Status, 200);
    Json leek = Line("5:2", 1000, 0, "512");
    leek["vendor_item_name"] = "국산 대파 1단";
    ASSERT_EQ(a.Report("/api/agent/sales", "lines", Json::array({Line("5:1", 1000, 0, "530"), leek})).Status,
              200);
    auto req = [&](const std::string& store, const std::string& goods, const std::string& kind,
                   const std::string& item, const std::string& name = "") {
        Json b{{"store", store}, {"vendor_item_code", goods}, {"kind", kind}};
        if (!item.empty()) b["standard_item_code"] = item;
        b["note"] = "";
        if (!name.empty()) b["vendor_item_name"] = name;
        return a.Post("/api/agent/mapping-requests", b.dump());
    };
    struct Case {
        const char* Name;
        Reply Got;
        int Status;
        const char* Error;
        const char* Reason;
    } cases[] = {
        {"another store", req(kOther, "512", "assign", "V001"), 403, "store_not_yours", nullptr},
        {"no item", req(kStore, "512", "assign", ""), 422, "item_required", nullptr},
        {"unknown item", req(kStore, "512", "assign", "V999"), 422, "item_unknown", nullptr},
        {"rejected pair", req(kStore, "530", "assign", "V002"), 409, "rejected_pair", "품목이 다릅니다"},
        {"unknown goods without name", req(kStore, "777", "assign", "V001"), 404, "product_unknown", nullptr},
        {"release of unknown goods", req(kStore, "778", "release", ""), 404, "product_unknown", nullptr},
        {"unknown kind", req(kStore, "512", "include", "V001"), 400, "kind_unknown", nullptr},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.Got.Status, c.Status) << c.Name << ": " << c.Got.Body;
        EXPECT_EQ(c.Got.Parsed().value("error", ""), c.Error) << c.Name;
        if (c.Reason) {
            EXPECT_EQ(c.Got.Parsed().value("reason", ""), c.Reason) << c.Name;
        }
    }

    const auto policyItems = [&] {
        return a.Get(std::string("/api/agent/policy?store=") + kStore).Parsed()["items"];
    };
    const int64_t revision = a.Get(std::string("/api/agent/policy?store=") + kStore).Parsed()["revision"];
    Reply known = req(kStore, "530", "assign", "V003");
    ASSERT_EQ(known.Status, 200) << known.Body;
    EXPECT_EQ(known.Parsed(), Json::parse(R"({"to_status":"approved","review":"pending","created":false})"));
    Reply fresh = req(kStore, "777", "assign", "V002", "햇양파");
    ASSERT_EQ(fresh.Status, 200) << fresh.Body;
    EXPECT_EQ(fresh.Parsed()["created"], true);
    Json items = policyItems();
    ASSERT_EQ(items.size(), 3u) << items.dump();
    EXPECT_EQ(items[1]["vendor_item_code"], "530");
    EXPECT_EQ(items[1]["item_name"], "감자");
    EXPECT_EQ(items[1]["review"], "pending");
    EXPECT_EQ(items[2]["standard_item_code"], "V002");
    EXPECT_EQ(items[2]["discount_cap"], 2000);

    Reply release = req(kStore, "512", "release", "");
    EXPECT_EQ(release.Status, 200);
    EXPECT_EQ(release.Parsed()["to_status"], "released");
    items = policyItems();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0]["vendor_item_code"], "530");
    EXPECT_EQ(a.Get(std::string("/api/agent/policy?store=") + kStore).Parsed()["revision"], revision + 3);

    // Review again: a mapped goods stays as it is; an unmapped one gets a suggestion by name.
    EXPECT_EQ(req(kStore, "530", "remap", "").Parsed()["to_status"], "approved");
    Reply suggest = req(kStore, "512", "remap", "");
    EXPECT_EQ(suggest.Parsed()["to_status"], "suggested") << suggest.Body;
    EXPECT_EQ(suggest.Parsed()["suggested_item_code"], "V001");
    EXPECT_EQ(policyItems().size(), 2u);
    EXPECT_EQ(FServer.Summary(kStore).MappingRequests, 5);
}

// The association decides what stores assigned; the decisions come back in the policy document.
TEST_F(RefServerTest, DecisionsOnAssignmentsComeBackInThePolicy) {
    Agent a(FServer);
    ASSERT_EQ(a.Login(kKey).Status, 200);
    auto assign = [&](const std::string& goods, const std::string& item, const std::string& name) {
        return a.Post("/api/agent/mapping-requests",
                      Json{{"store", kStore}, {"vendor_item_code", goods}, {"kind", "assign"},
                           {"standard_item_code", item}, {"note", ""}, {"vendor_item_name", name}}
                          .dump());
    };
    const auto policy = [&] { return a.Get(std::string("/api/agent/policy?store=") + kStore).Parsed(); };
    ASSERT_EQ(assign("777", "V002", "햇양파").Status, 200);
    ASSERT_EQ(assign("778", "V003", "햇감자").Status, 200);
    const Json before = policy();

    EXPECT_FALSE(FServer.Decide(kStore, "779", "confirmed")); // nothing assigned
    EXPECT_FALSE(FServer.Decide(kStore, "777", "maybe"));
    ASSERT_TRUE(FServer.Decide(kStore, "777", "confirmed")) << FServer.LastError();
    ASSERT_TRUE(FServer.Decide(kStore, "778", "rejected", "규격이 다릅니다")) << FServer.LastError();

    const Json after = policy();
    EXPECT_EQ(after["revision"], before["revision"].get<int64_t>() + 2);
    const Json& decisions = after["decisions"];
    ASSERT_EQ(decisions.size(), before["decisions"].size() + 2) << decisions.dump();
    const Json& confirmed = decisions[decisions.size() - 2];
    EXPECT_EQ(confirmed["vendor_item_code"], "777");
    EXPECT_EQ(confirmed["product_name"], "햇양파");
    EXPECT_EQ(confirmed["item_name"], "양파");
    EXPECT_EQ(confirmed["verdict"], "confirmed");
    EXPECT_EQ(decisions.back()["verdict"], "rejected");
    EXPECT_EQ(decisions.back()["reason"], "규격이 다릅니다");
    EXPECT_EQ(decisions.back()["at"].get<std::string>().size(), 20u);
    // The confirmed goods stays with its review settled; the rejected one left the items.
    std::map<std::string, std::string> reviews;
    for (const Json& item : after["items"])
        reviews[item["vendor_item_code"]] = item["review"];
    EXPECT_EQ(reviews["777"], "confirmed");
    EXPECT_EQ(reviews.count("778"), 0u);
    // The rejected pair is refused from now on; another item for the goods is not.
    Reply again = assign("778", "V003", "햇감자");
    EXPECT_EQ(again.Status, 409);
    EXPECT_EQ(again.Parsed()["reason"], "규격이 다릅니다");
    EXPECT_EQ(assign("778", "V001", "햇감자").Status, 200);
}

TEST_F(RefServerTest, CouponMasterKeepsTheLatestOfEachCode) {
    Agent a(FServer);
    ASSERT_EQ(a.Login(kKey).Status, 200);
    Json c1{{"code", 101}, {"title", "농할 20%"}, {"sponsor_name", "협회"}, {"type", 1}};
    Json c2{{"code", 202}, {"title", "자체 할인"}};
    Reply first = a.Report("/api/agent/coupons", "coupons", Json::array({c1, c2, Json{{"title", "x"}}}));
    EXPECT_EQ(
        first.Parsed(),
        Json::parse(
            R"({"accepted":2,"duplicated":0,"rejected":[{"tx_key":"","reason":"invalid_field:code"}]})"));
    c2["title"] = "자체 할인 10%";
    Reply second = a.Report("/api/agent/coupons", "coupons", Json::array({c1, c2}));
    EXPECT_EQ(second.Parsed()["accepted"], 1);
    EXPECT_EQ(second.Parsed()["duplicated"], 1);
    EXPECT_EQ(FServer.Summary(kStore).CouponsKnown, 2);
}

TEST_F(RefServerTest, InjectedFaultsApplyToTheNextRequestsOfOnePath) {
    Agent a(FServer, 1);
    ASSERT_EQ(a.Login(kKey).Status, 200);
    const std::string policy = std::string("/api/agent/policy?store=") + kStore;

    RefFault err;
    err.Status = 503;
    err.Body = "점검 중";
    err.Times = 2;
    ASSERT_TRUE(FServer.Fault("/api/agent/policy", err));
    for (int i = 0; i < 2; ++i) {
        Reply r = a.Get(policy);
        EXPECT_EQ(r.Status, 503);
        EXPECT_EQ(r.Body, "점검 중");
    }
    EXPECT_EQ(a.Get(policy).Status, 200);

    ASSERT_TRUE(FServer.Fault("/api/agent/policy", 0, 0, true));
    Reply html = a.Get(policy);
    EXPECT_EQ(html.Status, 200);
    EXPECT_TRUE(html.Parsed().is_discarded());

    ASSERT_TRUE(FServer.Fault("/api/agent/policy", 0, 0, false, true));
    Reply moved = a.Get(policy);
    EXPECT_EQ(moved.Status, 302);
    EXPECT_EQ(moved.Location, FServer.BaseUrl() + "/moved/api/agent/policy");

    ASSERT_TRUE(FServer.Fault("/api/agent/policy", 0, 0, false, false, true));
    EXPECT_EQ(a.Get(policy).Status, 0);

    // A delay past the client's time-out: the client gives up, the server still takes the lines.
    ASSERT_TRUE(FServer.Fault("/api/agent/sales", 0, 2500));
    EXPECT_EQ(a.Report("/api/agent/sales", "lines", Json::array({Line("8:1", 100, 10)})).Status, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(2000));
    Reply resent = a.Report("/api/agent/sales", "lines", Json::array({Line("8:1", 100, 10)}));
    EXPECT_EQ(resent.Parsed()["duplicated"], 1) << resent.Body;

    // Faults on login too, and clearing them.
    ASSERT_TRUE(FServer.Fault("/api/auth/agent", 500, 0, false, false, false, 5));
    EXPECT_EQ(a.Login(kKey).Status, 500);
    ASSERT_TRUE(FServer.ClearFaults());
    EXPECT_EQ(a.Login(kKey).Status, 200);

    Json seen = Json::parse(FServer.Received("/api/agent/policy"));
    ASSERT_EQ(seen.size(), 6u) << seen.dump();
    int faulted = 0;
    for (const Json& e : seen)
        faulted += e["fault"].get<bool>() ? 1 : 0;
    EXPECT_EQ(faulted, 5);
    EXPECT_EQ(seen[2]["query"], std::string("store=") + kStore);
    EXPECT_EQ(seen[2]["store"], kStore);
    Json sales = Json::parse(FServer.Received("/api/agent/sales"));
    ASSERT_EQ(sales.size(), 2u);
    EXPECT_EQ(Json::parse(sales[1]["body"].get<std::string>())["lines"][0]["tx_key"], "8:1");
    EXPECT_EQ(sales[1]["content_type"], "application/json; charset=utf-8");
    ASSERT_TRUE(FServer.ClearReceived());
    EXPECT_EQ(FServer.Received(), "[]");
}

// The agent's client keeps its connection open between requests: a fault answered before the
// request body was read must not leave that body to be taken as the next request.
TEST_F(RefServerTest, AFaultedPostLeavesAKeptAliveConnectionUsable) {
    httplib::SSLClient cli("127.0.0.1", FServer.Port());
    cli.set_ca_cert_path(FServer.CaFile().c_str());
    cli.enable_server_certificate_verification(true);
    cli.set_keep_alive(true);
    const std::string body = "key=" + std::string(kKey);
    ASSERT_TRUE(FServer.Fault("/api/auth/agent", 500));
    auto first = cli.Post("/api/auth/agent", body, "application/x-www-form-urlencoded");
    ASSERT_TRUE(first);
    EXPECT_EQ(first->status, 500);
    auto second = cli.Post("/api/auth/agent", body, "application/x-www-form-urlencoded");
    ASSERT_TRUE(second);
    EXPECT_EQ(second->status, 200) << second->body;
    Json seen = Json::parse(FServer.Received("/api/auth/agent"));
    ASSERT_EQ(seen.size(), 2u) << seen.dump();
    EXPECT_EQ(seen[1]["method"], "POST");
}

// A starter without signals (a Windows test under wine) stops the server through the test API: the
// request is answered, then the server stops as on SIGTERM and no longer answers.
TEST_F(RefServerTest, StopsWhenTheTestApiAsks) {
    ASSERT_TRUE(FServer.Summary(kStore).Ok) << FServer.LastError();
    ASSERT_TRUE(FServer.RequestStop()) << FServer.LastError();
    EXPECT_FALSE(FServer.Summary(kStore).Ok);
    for (int i = 0; i < 100 && FServer.ServerLog().find("refserver: stopped") == std::string::npos; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_NE(FServer.ServerLog().find("refserver: stopped"), std::string::npos) << FServer.ServerLog();
    // The same port and state serve again after such a stop.
    ASSERT_TRUE(FServer.Restart()) << FServer.StartError();
    EXPECT_TRUE(FServer.Summary(kStore).Ok) << FServer.LastError();
}

TEST_F(RefServerTest, StateSurvivesARestartButSessionsDoNot) {
    Agent a(FServer);
    ASSERT_EQ(a.Login(kKey).Status, 200);
    ASSERT_EQ(a.Report("/api/agent/sales", "lines", Json::array({Line("3:1", 5000, 1000)})).Status, 200);
    ASSERT_EQ(a.Report("/api/agent/cancels", "cancels",
                       Json::array({Cancel("3:1", "amend", 700, "2026-10-06T05:00:00Z")}))
                  .Status,
              200);
    const int port = FServer.Port();
    ASSERT_TRUE(FServer.Restart()) << FServer.StartError();
    EXPECT_EQ(FServer.Port(), port);
    EXPECT_EQ(a.Get(std::string("/api/agent/policy?store=") + kStore).Status, 401);
    ASSERT_EQ(a.Login(kKey).Status, 200);
    Reply again = a.Report("/api/agent/sales", "lines", Json::array({Line("3:1", 5000, 1000)}));
    EXPECT_EQ(again.Parsed()["duplicated"], 1);
    EXPECT_EQ(Budget(a)["reported_executed"], 700);

    const std::string report = FServer.ReportText(kStore);
    EXPECT_NE(report.find("가게 1234567890 (M01 솔빛마트, 점 P-17)"), std::string::npos) << report;
    EXPECT_NE(report.find("실적 받음    1줄 (중복 1 · 거절 0)"), std::string::npos) << report;
    EXPECT_NE(report.find("취소 반영    1건 (건너뜀 0)"), std::string::npos) << report;
    EXPECT_NE(report.find("보고됨 700원 / 배정 10,000원 · 상계 1,000원 · 남음 8,300원"), std::string::npos)
        << report;
}

TEST(RefServerCommandLine, SeedingWithoutServingAndUsageErrors) {
    TempDir dir;
    const std::string bin = RefServerBinary();
    const std::string db = dir.File("s.db");
    WriteFile(dir.File("p.json"), R"({"enabled":true,"budget":{"allocated":5000}})");
    WriteFile(dir.File("bad.json"), R"(["not an object"])");

    ProcessResult help = RunProcess(bin, {"--help"});
    EXPECT_EQ(help.ExitCode, 0);
    for (const char* option : {"--state", "--cert", "--key", "--port", "--session-seconds", "--test-api",
                               "--make-certs", "--add-store", "--business-no", "--agent-key", "--point-label",
                               "--point-id", "--policy", "--issue-code", "--code", "--hours", "--report",
                               "--decide", "--vendor-item-code", "--verdict", "--reason", "--log"})
        EXPECT_NE(help.Out.find(option), std::string::npos) << option;

    const std::vector<std::string> add = {"--add-store",
                                          "--state",
                                          db,
                                          "--business-no",
                                          kStore,
                                          "--agent-key",
                                          "k",
                                          "--point-label",
                                          "M9 시장마트",
                                          "--point-id",
                                          "P9",
                                          "--policy",
                                          dir.File("p.json")};
    EXPECT_EQ(RunProcess(bin, add).ExitCode, 0);
    std::vector<std::string> addBad = add;
    addBad.back() = dir.File("bad.json");
    EXPECT_EQ(RunProcess(bin, addBad).ExitCode, 1);
    ProcessResult code = RunProcess(
        bin, {"--issue-code", "--state", db, "--business-no", kStore, "--code", "abc-123", "--hours", "1.5"});
    EXPECT_EQ(code.ExitCode, 0);
    EXPECT_EQ(code.Out, "ABC-123\n");
    EXPECT_EQ(RunProcess(bin, {"--issue-code", "--state", db, "--business-no", "1"}).ExitCode, 1);
    // Nothing was assigned, so there is nothing to decide.
    EXPECT_EQ(RunProcess(bin, {"--decide", "--state", db, "--business-no", kStore, "--vendor-item-code", "512",
                               "--verdict", "confirmed"})
                  .ExitCode,
              1);
    ProcessResult report = RunProcess(bin, {"--report", "--state", db});
    EXPECT_EQ(report.ExitCode, 0);
    EXPECT_NE(report.Out.find("가게 1234567890 (M9 시장마트, 점 P9)"), std::string::npos) << report.Out;
    EXPECT_NE(report.Out.find("남음 5,000원"), std::string::npos) << report.Out;

    struct Bad {
        std::vector<std::string> Args;
    } bad[] = {{{"--state", db}},
               {{"--state", db, "--cert", "c", "--key", "k", "--port", "70000"}},
               {{"--frobnicate"}},
               {{"--report"}},
               {{"--decide", "--state", db, "--business-no", kStore, "--verdict", "confirmed"}},
               {{"--report", "--state", dir.File("missing.db")}},
               {{"--state", db, "--cert", dir.File("none.pem"), "--key", dir.File("none.key")}}};
    for (const Bad& b : bad)
        EXPECT_EQ(RunProcess(bin, b.Args).ExitCode, 2) << b.Args[0];
}

} // namespace
} // namespace pavona::test
