// The pavona-agent executable run as a store's PC would run it.
#include "app/AgentEntry.h"
#include "config/AgentInstall.h"
#include "config/AgentSettings.h"
#include "platform/Platform.h"
#include "tests/support/TestSupport.h"

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace pavona {
namespace {

class ProgramTest : public test::TempDataTest {
  protected:
    test::ProcessResult Run(const std::vector<std::string>& args) {
        return test::RunProcess(test::AgentBinary(), args, {}, 20000);
    }
};

TEST_F(ProgramTest, OnceWithIncompleteSettingsPrintsWhatIsMissing) {
    test::WriteFile(platform::JoinPath(DataDir(), "agent.ini"),
                    "[server]\r\nstore=1234567890\r\n[pos]\r\nconn=\r\n");
    for (const char* mode : {"/once", "/ONCE", "/Once"}) {
        const auto r = Run({mode});
        // No cycle ran: an installer's script must not take it for a report.
        EXPECT_EQ(r.ExitCode, 1) << mode;
        EXPECT_EQ(r.Out, "설정이 비었다 — 사업자번호 있음 · 인증키 없음 · POS 접속 없음\n") << mode;
    }
}

TEST_F(ProgramTest, ReportWithoutASampleCountEndsWithCodeTwo) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"/report"}, {"/report", "-sample"}, {"/report", "-sample", "x"}}) {
        const auto r = Run(args);
        EXPECT_EQ(r.ExitCode, 2);
        EXPECT_EQ(r.Out, "X  -sample <줄 수> 를 주세요 (표본만 보냅니다 — POS 는 읽지 않습니다)\n");
    }
}

// An installer's script learns from the exit code that no request was made.
TEST_F(ProgramTest, MapRequestWithoutAGoodsCodeOrSettingsEndsWithCodeOne) {
    const auto noCode = Run({"/maprequest"});
    EXPECT_EQ(noCode.ExitCode, 1);
    EXPECT_EQ(noCode.Out, "X  지정할 POS 상품번호를 주세요 — /maprequest <상품번호> <종류> [협회 품목 코드] [메모]\n");
    const auto noSettings = Run({"/MAPREQUEST", "512", "include", "S-01"});
    EXPECT_EQ(noSettings.ExitCode, 1);
    EXPECT_EQ(noSettings.Out, "설정이 비었다 — 사업자번호 · 인증키\n");
}

// An installer's script learns of a failed copy from the exit code, not only from the printed X.
TEST_F(ProgramTest, InstallThatCannotCopyEndsWithCodeOne) {
    // A folder that is not empty stands where the program should go: nothing can replace it.
    ASSERT_TRUE(platform::MakeDirs(InstalledExe()));
    test::WriteFile(platform::JoinPath(InstalledExe(), "keep.txt"), "x");
    const auto r = Run({"/install"});
    EXPECT_EQ(r.ExitCode, 1) << r.Out;
    EXPECT_NE(r.Out.find("  X   복사하지 못했습니다 — "), std::string::npos) << r.Out;
    EXPECT_FALSE(platform::AutoStartEntryExists());
}

// The console modes run as a store's installer would run them, in a temporary home.
TEST_F(ProgramTest, UninstallTwiceAndASelfCheckWithoutSettings) {
    for (int round = 0; round < 2; ++round) {
        const auto r = Run({"-uninstall"});
        EXPECT_EQ(r.ExitCode, 0);
        EXPECT_NE(r.Out.find("Pavona 농할 에이전트 — 자동 실행 해제\n\n  ok  자동 실행을 껐습니다\n"),
                  std::string::npos)
            << r.Out;
    }
    const auto check = Run({"/selfcheck"});
    EXPECT_EQ(check.ExitCode, 1); // settings that cannot work
    EXPECT_NE(check.Out.find("  인증키    0자 (비었다 — 설정에서 넣거나 복호화가 실패했다)\n"),
              std::string::npos)
        << check.Out;
    EXPECT_TRUE(check.Out.size() > 0 &&
                check.Out.find("POS DB   설정이 비어 있습니다 (설정 탭에서 넣어 주세요)\n") !=
                    std::string::npos)
        << check.Out;
    const auto enroll = Run({"/enroll", "CODE", "http://127.0.0.1:9"});
    EXPECT_EQ(enroll.ExitCode, 1);
    EXPECT_EQ(enroll.Out.rfind("X  ", 0), 0u) << enroll.Out;
    EXPECT_FALSE(platform::FileExists(platform::JoinPath(DataDir(), "agent.ini")));
}

TEST_F(ProgramTest, IconsWritesSixImagesAndAloneStartsTheResidentAgent) {
    const std::string dir = FRoot.File("out/icons");
    const auto r = Run({"/icons", dir});
    EXPECT_EQ(r.ExitCode, 0);
    EXPECT_EQ(r.Out, "");
    for (const char* name : {"unknown", "normal", "caution", "imminent", "exhausted", "disabled"})
        EXPECT_TRUE(platform::FileExists(dir + "/tray-" + name + ".png")) << name;
}

// A second start while the agent runs ends at once and the running agent is asked to show its
// window; with the tray switch (an autostart) it ends silently.
TEST_F(ProgramTest, SecondStartAsksTheRunningAgentToShowItself) {
    auto instance = platform::AcquireSingleInstance();
    ASSERT_TRUE(instance) << "another agent already runs on this machine";
    std::mutex lock;
    std::condition_variable changed;
    int shown = 0;
    instance->Listen([&] {
        std::lock_guard<std::mutex> g(lock);
        ++shown;
        changed.notify_all();
    });

    const auto start = std::chrono::steady_clock::now();
    const auto r = Run({});
    EXPECT_EQ(r.ExitCode, 0);
    EXPECT_EQ(r.Out, "");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    {
        std::unique_lock<std::mutex> g(lock);
        EXPECT_TRUE(changed.wait_for(g, std::chrono::seconds(5), [&] { return shown == 1; }));
    }

    const auto silent = Run({"/tray"});
    EXPECT_EQ(silent.ExitCode, 0);
    EXPECT_EQ(silent.Out, "");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    std::lock_guard<std::mutex> g(lock);
    EXPECT_EQ(shown, 1);
}

// A program built without the window says so at a first start and never claims to run.
TEST_F(ProgramTest, FirstStartWithoutTheWindowSaysTheWindowIsNotBuilt) {
    std::ostringstream out;
    EXPECT_EQ(RunAgent({"/icons"}, out), kExitNotBuilt);
    EXPECT_NE(out.str().find("상주 에이전트"), std::string::npos) << out.str();
}

// The resident agent as a store's PC runs it: it starts in the tray, a second start asks it for
// its window and ends, and the system's request to end (logout, kill) ends it cleanly: exit 0,
// its window placement written.
TEST_F(ProgramTest, TheResidentAgentRunsAndEndsCleanlyWhenTheSystemAsks) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        const std::string bin = test::AgentBinary();
        ::execl(bin.c_str(), bin.c_str(), "/tray", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    const std::string log = platform::JoinPath(DataDir(), "logs");
    bool started = false;
    for (int i = 0; i < 300 && !started; ++i) {
        std::vector<std::string> names;
        if (platform::ListFiles(log, names) && !names.empty())
            started = test::ReadFile(platform::JoinPath(log, names[0])).find("에이전트 시작 — 판 ") !=
                      std::string::npos;
        if (!started) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_TRUE(started) << "no start banner in the agent log";

    const auto second = Run({});
    EXPECT_EQ(second.ExitCode, 0);
    EXPECT_EQ(second.Out, "");

    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    int status = 0;
    pid_t done = 0;
    for (int i = 0; i < 400 && done == 0; ++i) {
        done = ::waitpid(pid, &status, WNOHANG);
        if (done == 0) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (done == 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        FAIL() << "the agent did not end within 20 s of SIGTERM";
    }
    ASSERT_TRUE(WIFEXITED(status)) << "ended by a signal, not by itself";
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_NE(test::ReadFile(SettingsPath()).find("[window]"), std::string::npos) << "placement not written";
}

} // namespace
} // namespace pavona
