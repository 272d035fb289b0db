// Shared ground of the engine tests (see the header).
#include "tests/engine/EngineFixture.h"

#include "common/Text.h"
#include "config/AgentSettings.h"
#include "store/AgentLog.h"
#include "tools/demopos/DemoPos.h"

namespace pavona::test {

const char* const kStore = "1234567890";
const char* const kKey = "agent-key-e1";

void TRecordingView::Render(const TAgentSnapshot& snapshot) {
    LastInput = snapshot.Input;
    LastState = snapshot.State;
    ++Renders;
}

void TRecordingView::ShowNotice(const TNotice& notice) {
    Notices.push_back(notice.Text);
    Levels.push_back(notice.Level);
}

void TRecordingView::RefreshStatus(const TAgentSnapshot& snapshot) {
    ++StatusRefreshes;
    if (OnRefresh) OnRefresh(snapshot);
}

EngineTest::EngineTest() : FClock(EncodeDateTime(2026, 10, 6, 0, 30, 0)), FScopedClock(FClock) {}

void EngineTest::SetUp() {
    if (std::string why; !RefServer::CanRun(&why)) GTEST_SKIP() << why;
    FServer = std::make_unique<RefServer>();
    ASSERT_TRUE(FServer->Running()) << FServer->StartError();
    FCa = std::make_unique<ScopedEnv>("SSL_CERT_FILE", FServer->CaFile());
    // The SQLite3 driver opens the path as given; under wine it is the host's own.
    FPosPath = HostPath(FRoot.File("pos.db"));
    ClearQueryRunsForTests();
}

std::string EngineTest::PolicyJson(const std::string& approvedFp, const std::string& codes,
                                   const std::string& programCode, std::int64_t allocated) {
    std::string s =
        R"({"enabled":true,"program":{"code":")" + programCode +
        R"(","name":"10월 농할","starts_on":"2026-10-01","ends_on":"2026-10-31"},)" +
        Fmt(R"("budget":{"allocated":%lld,"offset_outstanding":0},)", static_cast<long long>(allocated)) +
        R"("items":[{"vendor_item_code":"512","standard_item_code":"V001","item_name":"대파",)"
        R"("discount_rate":20,"discount_cap":2000,"review":"confirmed"}],)"
        R"("subsidy_coupon_codes":)" +
        codes + ",";
    if (!approvedFp.empty()) s += R"("schema_fingerprint":{"approved":")" + approvedFp + R"("},)";
    s += R"("rounds":[{"round_no":1,"starts_on":"2026-10-01","ends_on":"2026-10-15","phase":"current"}]})";
    return s;
}

bool EngineTest::AddStore(const std::string& pointId, const std::string& policy) {
    return FServer->AddStore(kStore, kKey, "M7 솔빛마트", pointId, policy);
}

void EngineTest::SaveAgentSettings(bool withPos, int collectMinutes, int policyMinutes) {
    TAgentSettings s;
    DefaultSettings(s);
    s.BaseUrl = FServer->BaseUrl();
    s.Store = kStore;
    s.Key = kKey;
    s.PosConnStr = withPos ? PosConn() : "";
    s.CollectMinutes = collectMinutes;
    s.PolicyMinutes = policyMinutes;
    s.AutoStart = false;
    const Result<> saved = SaveSettings(s);
    ASSERT_TRUE(saved) << saved.Error();
}

std::unique_ptr<TAgentEngine> EngineTest::MakeEngine() {
    auto e = std::make_unique<TAgentEngine>(FView);
    THttpTimeouts t;
    t.ConnectMs = 3000;
    t.ResponseMs = 15000;
    e->SetHttpTimeouts(t);
    e->SetPosTimeouts(5, 60);
    return e;
}

TJsonNode EngineTest::Seen(const std::string& path) {
    const TJsonNode list = TJsonNode::Parse(FServer->Received(path));
    EXPECT_TRUE(list.IsArray()) << FServer->LastError();
    return list;
}

std::vector<std::size_t> EngineTest::ElementsPerRequest(const std::string& path, const std::string& member) {
    std::vector<std::size_t> out;
    const TJsonNode list = Seen(path);
    for (std::size_t i = 0; i < list.Size(); ++i) {
        const TJsonNode body = TJsonNode::Parse(ReadJsonString(list.At(i), "body"));
        out.push_back(body.Member(member).Size());
    }
    return out;
}

std::string EngineTest::LogText() {
    std::string all;
    for (const std::string& line : ReadLogDay(Today()))
        all += line + "\n";
    return all;
}

TSpool& EngineTest::Spool() {
    if (!FSpool) FSpool = std::make_unique<TSpool>(SpoolDir(), kSpoolMaxBytes);
    return *FSpool;
}

std::string SaleLinePayload(const std::string& key, std::int64_t amount, std::int64_t discount) {
    return Fmt(R"({"tx_key":"%s","sold_at":"2026-10-05T01:30:15Z","vendor_item_code":"512",)"
               R"("vendor_item_name":"대파","barcode":"880","quantity":1,"unit_price":%lld,"amount":%lld,)"
               R"("discount_amount":%lld,"pos_no":"2","receipt_no":"731","own_discount":0})",
               key.c_str(), static_cast<long long>(amount), static_cast<long long>(amount),
               static_cast<long long>(discount));
}

const char* const EngineTest::kTargetsPolicy = R"({"enabled":true,
 "program":{"code":"NH-2026-10","name":"10월 농할","starts_on":"2026-10-01","ends_on":"2026-10-31"},
 "budget":{"allocated":1000000,"offset_outstanding":0},
 "items":[
  {"vendor_item_code":"512","standard_item_code":"V001","item_name":"대파","discount_rate":20,"discount_cap":2000,"review":"confirmed"},
  {"vendor_item_code":"600","standard_item_code":"V002","item_name":"양파","discount_rate":20,"discount_cap":2000,"review":"confirmed"},
  {"vendor_item_code":"700","standard_item_code":"V003","item_name":"감자","discount_rate":20,"discount_cap":2000},
  {"vendor_item_code":"404","standard_item_code":"V004","item_name":"마늘","discount_rate":20,"discount_cap":2000}],
 "subsidy_coupon_codes":[7001,7002],
 "rounds":[{"round_no":1,"starts_on":"2026-10-01","ends_on":"2026-10-15","phase":"current",
  "designated":[{"standard_item_code":"V001","name":"대파"},{"standard_item_code":"V002","name":"양파"},
                {"standard_item_code":"V003","name":"감자"},{"standard_item_code":"V004","name":"마늘"},
                {"standard_item_code":"V005","name":"배추"}]}]})";

void EngineTest::MakeTargetsPos() {
    std::string error;
    ASSERT_TRUE(demopos::CreateEmpty(FPosPath, error)) << error;
    ASSERT_TRUE(demopos::RunSql(FPosPath, R"SQL(
INSERT INTO goods VALUES (512,'국산 대파 1단','8801','1단',1), (600,'양파 1망','','',1),
  (700,'감자 1kg','','',0), (999,'수입 바나나','','',NULL), (800,'깐마늘','8802','200g',1);
INSERT INTO coupon(cp_code, cp_title, cp_type, cp_goods, cp_target, cp_dctype, cp_dc, cp_limitamt, cp_end)
  VALUES (7001,'농할 대파',1,512,1,1,20,2000,'2026-10-31 00:00:00.000');
INSERT INTO coupon(cp_code, cp_title, cp_type, cp_group, cp_dctype, cp_dc, cp_limitamt)
  VALUES (7002,'농할 묶음',1,11,1,20,2000);
INSERT INTO promotiongoods VALUES (11,999);
)SQL",
                                error))
        << error;
}

} // namespace pavona::test
