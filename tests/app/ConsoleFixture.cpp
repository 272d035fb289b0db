// The console mode tests' shared ground (see ConsoleFixture.h).
#include "tests/app/ConsoleFixture.h"

#include "app/AgentEntry.h"
#include "common/DateTime.h"
#include "platform/Platform.h"

#include <sstream>

namespace pavona::test {

void ConsoleTest::SetUp() {
    if (std::string why; !RefServer::CanRun(&why)) GTEST_SKIP() << why;
    // The SQLite3 driver opens the path as given; under wine it is the host's own.
    FPos = HostPath(FRoot.File("pos/demo.db"));
}

void ConsoleTest::StartServer() {
    if (FServer) return;
    FServer = std::make_unique<RefServer>();
    ASSERT_TRUE(FServer->Running()) << FServer->StartError();
    FCa = std::make_unique<ScopedEnv>("SSL_CERT_FILE", FServer->CaFile());
    ASSERT_TRUE(FServer->AddStore(kStore, kKey, kPointLabel, "pt-9", kPolicy)) << FServer->LastError();
    ASSERT_TRUE(FServer->ClearReceived());
}

demopos::TDemoSummary ConsoleTest::MakePos(int days, int receiptsPerDay) {
    platform::MakeDirs(platform::ParentDir(FPos));
    demopos::TDemoOptions o;
    o.Seed = 7;
    o.FirstDay = EncodeDate(2025, 10, 1);
    o.Days = days;
    o.ReceiptsPerDay = receiptsPerDay;
    o.GoodsCount = 120;
    const demopos::TDemoResult r = demopos::Generate(FPos, o);
    EXPECT_TRUE(r.Ok) << r.Error;
    return r.Summary;
}

std::string ConsoleTest::PosConnStr() const {
    return "Driver=SQLite3;Database=" + FPos;
}

void ConsoleTest::SaveCompleteSettings(const std::string& store, const std::string& key) {
    TAgentSettings s;
    DefaultSettings(s);
    s.BaseUrl = FServer ? FServer->BaseUrl() : "https://127.0.0.1:9";
    s.Store = store;
    s.Key = key;
    s.PosConnStr = PosConnStr();
    s.AutoStart = false;
    const Result<> saved = SaveSettings(s);
    ASSERT_TRUE(saved.Ok()) << saved.Error();
}

ModeRun ConsoleTest::Run(const std::vector<std::string>& args) {
    std::ostringstream out;
    ModeRun r;
    r.ExitCode = RunAgent(args, out);
    r.Out = out.str();
    return r;
}

} // namespace pavona::test
