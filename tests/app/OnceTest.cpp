// /once with the whole engine against the reference server and the demo POS: the one line it
// prints with complete settings, with a key the server refuses, and with settings missing.
#include "tests/app/ConsoleFixture.h"

#include "common/Text.h"
#include "common/Version.h"
#include "store/AgentSpool.h"

namespace pavona::test {
namespace {

class OnceTest : public ConsoleTest {};

TEST_F(OnceTest, TheOneLineOfACycle) {
    StartServer();
    MakePos(1, 10);
    SaveCompleteSettings();
    const ModeRun ok = Run({"/once"});
    EXPECT_EQ(ok.ExitCode, 0);
    EXPECT_TRUE(StartsWith(ok.Out, std::string("판 ") + kAgentVersion + " · 점포 " + kPointLabel + " · "))
        << ok.Out;
    EXPECT_EQ(Split(ok.Out, '\n').size(), 2u) << ok.Out; // exactly one line
    EXPECT_NE(FServer->Received("/api/agent/policy"), "[]");

    ASSERT_TRUE(FServer->ClearReceived());
    SaveCompleteSettings(kStore, "wrong-key");
    const ModeRun refused = Run({"/ONCE"});
    EXPECT_EQ(refused.ExitCode, 1);
    EXPECT_TRUE(StartsWith(refused.Out, "정책을 받지 못했다 — 인증키가 맞지 않습니다.")) << refused.Out;
    EXPECT_EQ(FServer->Received("/api/agent/sales"), "[]"); // no cycle after a failed refresh
}

// Lines that could not be sent are a failed run for whoever called /once.
TEST_F(OnceTest, ACycleThatCouldNotSendEndsWithCodeOne) {
    StartServer();
    MakePos(1, 10);
    SaveCompleteSettings();
    {
        TSpool spool(SpoolDir(), 0);
        ASSERT_TRUE(spool.Append("2025-10-01", "9:1", R"({"tx_key":"9:1"})"));
    }
    ASSERT_TRUE(FServer->Fault("/api/agent/sales", 500, 0, false, false, false, 30));
    const ModeRun r = Run({"/once"});
    EXPECT_EQ(r.ExitCode, 1) << r.Out;
    EXPECT_NE(r.Out.find("실적을 보내지 못했습니다 — 협회 서버에 문제가 있습니다."), std::string::npos)
        << r.Out;
}

TEST_F(OnceTest, MissingSettingsAreNamedWithoutAnyRequest) {
    StartServer();
    TAgentSettings s;
    DefaultSettings(s);
    s.BaseUrl = FServer->BaseUrl();
    s.Store = kStore;
    s.Key = kKey;
    s.AutoStart = false;
    ASSERT_TRUE(SaveSettings(s));
    const ModeRun r = Run({"/Once"});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_EQ(r.Out, "설정이 비었다 — 사업자번호 있음 · 인증키 있음 · POS 접속 없음\n");
    EXPECT_EQ(FServer->Received(""), "[]");
}

} // namespace
} // namespace pavona::test
