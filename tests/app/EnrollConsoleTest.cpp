// /enroll against the reference server: the saved key and store, the base URL kept or replaced,
// refused codes, and a key this PC cannot keep reported as the failure it is.
#include "tests/app/ConsoleFixture.h"

#include "common/Text.h"
#include "config/AgentInstall.h"
#include "platform/Platform.h"
#include "server/AgentApi.h"

namespace pavona::test {
namespace {

const char* const kRefused =
    "X  등록 코드가 맞지 않거나 이미 쓰였거나 72시간이 지났습니다. 협회에 새 코드를 요청해 주세요.\n";

class EnrollConsoleTest : public ConsoleTest {
  protected:
    void SetUp() override {
        ConsoleTest::SetUp();
        StartServer();
    }
    void WriteIni(const std::string& baseUrl) {
        platform::MakeDirs(DataDir());
        WriteFile(SettingsPath(),
                  "[server]\r\nbase_url=" + baseUrl + "\r\n[pos]\r\nconn=" + PosConnStr() + "\r\n");
    }
};

TEST_F(EnrollConsoleTest, AValidCodeSavesKeyAndStoreWithTheStoredOrTheGivenUrl) {
    const struct {
        const char* Name;
        bool GiveUrl;
    } cases[] = {{"stored url kept", false}, {"given url replaces it", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        WriteIni(c.GiveUrl ? "https://old.example.org" : FServer->BaseUrl());
        const std::string code = FServer->IssueCode(kStore, 72);
        ASSERT_FALSE(code.empty()) << FServer->LastError();
        std::vector<std::string> args{"/enroll", code};
        if (c.GiveUrl) args.push_back(FServer->BaseUrl());
        const ModeRun r = Run(args);
        const TAgentSettings s = LoadSettings();
        EXPECT_EQ(r.ExitCode, 0);
        ASSERT_FALSE(s.Key.empty());
        EXPECT_EQ(r.Out, std::string("ok 등록했다 — ") + kPointLabel + " · 키 " + Utf8Left(s.Key, 6) + "…\n");
        EXPECT_EQ(s.Store, kStore);
        EXPECT_EQ(s.BaseUrl, FServer->BaseUrl());
        EXPECT_EQ(s.PosConnStr, PosConnStr()); // the rest of the settings stays
        // The key in agent.ini is only the protected form, and the saved key works at the server.
        EXPECT_EQ(ReadFile(SettingsPath()).find(s.Key), std::string::npos);
        TAgentClient client(s.BaseUrl, s.Key);
        EXPECT_TRUE(client.FetchPolicy(kStore).Ok);
    }
}

TEST_F(EnrollConsoleTest, RefusedCodesLeaveTheSettingsUntouched) {
    const std::string used = FServer->IssueCode(kStore, 72);
    ASSERT_FALSE(used.empty());
    ASSERT_TRUE(TAgentClient::Enroll(FServer->BaseUrl(), used).Ok);
    const struct {
        const char* Name;
        std::string Code;
        bool GiveUrl;
    } cases[] = {
        {"expired", FServer->IssueCode(kStore, -1), false},
        {"wrong", "NO-SUCH-CODE", false},
        {"already used, with a url", used, true},
    };
    WriteIni(FServer->BaseUrl() + "/");
    const std::string before = ReadFile(SettingsPath());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        std::vector<std::string> args{"/enroll", c.Code};
        if (c.GiveUrl) args.push_back(FServer->BaseUrl());
        const ModeRun r = Run(args);
        EXPECT_EQ(r.ExitCode, 1);
        EXPECT_EQ(r.Out, kRefused);
        EXPECT_EQ(ReadFile(SettingsPath()), before);
    }
    // No server at the address: the transport's text, exit code 1.
    const ModeRun none = Run({"/enroll", "CODE", "https://127.0.0.1:9"});
    EXPECT_EQ(none.ExitCode, 1);
    EXPECT_TRUE(StartsWith(none.Out, "X  ")) << none.Out;
    EXPECT_EQ(ReadFile(SettingsPath()), before);
}

// Enrolling from a downloaded copy keeps autostart on the installed program it names.
TEST_F(EnrollConsoleTest, AnInstalledAutostartStaysWhereItWas) {
    WriteIni(FServer->BaseUrl());
    const std::string installed = InstalledExe();
    platform::MakeDirs(InstallDir());
    WriteFile(installed, "installed");
    SetAutoStart(true, installed);
    const ModeRun r = Run({"/enroll", FServer->IssueCode(kStore, 72)});
    ASSERT_EQ(r.ExitCode, 0) << r.Out;
    EXPECT_EQ(AutoStartCommand(), "\"" + installed + "\" /tray");

    // Without any entry the first save registers this program, as every save does.
    SetAutoStart(false, "");
    platform::RemoveFile(SettingsPath());
    const ModeRun first = Run({"/enroll", FServer->IssueCode(kStore, 72), FServer->BaseUrl()});
    ASSERT_EQ(first.ExitCode, 0) << first.Out;
    EXPECT_EQ(CommandExe(AutoStartCommand()), platform::ExecutablePath());
}

// The server has handed out the key, but this PC cannot protect it (its secret cannot be made):
// that is a failure, never "ok", and the stored settings stay as they were.
TEST_F(EnrollConsoleTest, AKeyThatCannotBeKeptIsAFailure) {
    if (platform::DefaultKeyScope().SecretPath.empty())
        GTEST_SKIP() << "this system protects the key without a secret file of the agent's (DPAPI)";
    WriteIni(FServer->BaseUrl());
    platform::MakeDirs(platform::JoinPath(DataDir(), "key.secret")); // a folder where the secret goes
    const std::string before = ReadFile(SettingsPath());
    const std::string code = FServer->IssueCode(kStore, 72);
    const ModeRun r = Run({"/enroll", code});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_EQ(r.Out, "X  인증키를 이 컴퓨터에 안전하게 저장하지 못했습니다.\n");
    EXPECT_EQ(ReadFile(SettingsPath()), before);
}

} // namespace
} // namespace pavona::test
