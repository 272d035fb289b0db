// The installed location, the judgement of the autostart entry and the install and uninstall
// flows, on real files in a temporary home and data folder.
#include "config/AgentInstall.h"

#include "config/AgentSettings.h"
#include "platform/Platform.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace pavona {
namespace {

TEST(AgentInstallTest, CommandExeNamesTheProgramOfACommandLine) {
    const struct {
        const char* Command;
        const char* Exe;
    } cases[] = {
        {"\"/home/a b/pavona-agent\" /tray", "/home/a b/pavona-agent"},
        {"/home/a b/pavona-agent /tray", "/home/a"},
        {"  /opt/pavona-agent  ", "/opt/pavona-agent"},
        {"\"/opt/x y/pavona-agent", "/opt/x y/pavona-agent"}, // no closing quote: the rest
        {"\"\" /tray", ""},
        {"   ", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CommandExe(c.Command), c.Exe) << c.Command;
}

TEST(AgentInstallTest, AutoStartStatesAndTheirTexts) {
    const std::string installed = "/home/s/.local/bin/pavona-agent";
    const struct {
        std::string Command;
        bool Exists;
        TAutoStartState State;
        const char* Text;
    } cases[] = {
        {"", true, TAutoStartState::Off, "꺼짐"},
        {"\"\" /tray", true, TAutoStartState::Off, "꺼짐"},
        {"\"" + installed + "\" /tray", true, TAutoStartState::Installed, "켜짐"},
        // Paths are compared trimmed.
        {" \"" + installed + " \" /tray", true, TAutoStartState::Installed, "켜짐"},
        {"\"/home/s/Downloads/pavona-agent\" /tray", true, TAutoStartState::Elsewhere,
         "켜짐 (설치되지 않은 자리)"},
        // Letter case names another file on this file system.
        {"\"/home/s/.local/bin/Pavona-Agent\" /tray", true, TAutoStartState::Elsewhere,
         "켜짐 (설치되지 않은 자리)"},
        {"\"" + installed + "\" /tray", false, TAutoStartState::Broken, "고장 — 프로그램을 찾지 못합니다"},
    };
    for (const auto& c : cases) {
        const TAutoStartState state = AutoStartState(c.Command, installed, c.Exists);
        EXPECT_EQ(state, c.State) << c.Command;
        EXPECT_EQ(AutoStartStateText(state), c.Text) << c.Command;
    }
    EXPECT_EQ(AutoStartAdvice(TAutoStartState::Off),
              "컴퓨터를 켤 때 자동으로 실행되지 않습니다. 아래에서 켜 주세요.");
    EXPECT_EQ(AutoStartAdvice(TAutoStartState::Installed), "");
    EXPECT_EQ(AutoStartAdvice(TAutoStartState::Elsewhere),
              "지금은 돌지만 **이 파일을 옮기거나 지우면 멈춥니다.** 「설치」 를 누르면 "
              "안전한 자리로 옮겨 둡니다.");
    EXPECT_EQ(AutoStartAdvice(TAutoStartState::Broken),
              "자동 실행에 적힌 프로그램이 그 자리에 없습니다 — 이미 멈춰 있습니다. "
              "「설치」 를 눌러 다시 잡아 주세요.");
    EXPECT_FALSE(SamePath("", ""));
    EXPECT_TRUE(SamePath(" /a/b ", "/a/b"));
    EXPECT_TRUE(NotSamePath("/a/b", ""));
}

class InstallFlowTest : public test::TempDataTest {
  protected:
    struct TStart {
        std::string Program;
        std::vector<std::string> Args;
        std::string WorkDir;
    };

    // A small "program" in the download folder, so the copy can be checked byte for byte.
    std::string MakeDownloadedProgram(const std::string& bytes) {
        const std::string path = FRoot.File("home/Downloads/pavona-agent");
        platform::MakeDirs(platform::ParentDir(path));
        test::WriteFile(path, bytes);
        return path;
    }

    TInstallHooks Hooks(const std::string& current, bool startWorks = true) {
        TInstallHooks h;
        h.CurrentExe = current;
        h.Start = [this, startWorks](const std::string& p, const std::vector<std::string>& a,
                                     const std::string& w) {
            FStarts.push_back({p, a, w});
            return startWorks;
        };
        return h;
    }

    std::vector<TStart> FStarts;
};

TEST_F(InstallFlowTest, InstallLocationFollowsLocalAppData) {
    EXPECT_EQ(InstallDir(), FRoot.File("local") + "/Programs/Pavona");
    EXPECT_EQ(InstalledExe(), FRoot.File("local") + "/Programs/Pavona/pavona-agent");
    test::ScopedEnv noLocal("LOCALAPPDATA", "");
    EXPECT_EQ(InstalledExe(), FRoot.File("home") + "/.local/bin/pavona-agent");
}

TEST_F(InstallFlowTest, InstallCopiesRegistersAndStartsInTheTray) {
    const std::string current = MakeDownloadedProgram("#!/bin/sh\nexit 0\n\x01\x02");
    const std::string target = InstalledExe();
    std::ostringstream out;
    EXPECT_TRUE(InstallConsole(out, Hooks(current)));
    EXPECT_EQ(out.str(), "Pavona 농할 에이전트 — 설치\n\n"
                         "  지금 자리  " +
                             current +
                             "\n"
                             "  옮길 자리  " +
                             target +
                             "\n"
                             "  ok  옮겼습니다\n"
                             "  ok  컴퓨터를 켤 때 자동으로 실행됩니다\n\n"
                             "설치가 끝났습니다. 트레이(시계 옆)에 아이콘이 뜹니다.\n");
    EXPECT_EQ(test::ReadFile(target), test::ReadFile(current));
    EXPECT_EQ(::access(target.c_str(), X_OK), 0);
    EXPECT_FALSE(platform::FileExists(target + ".new"));
    EXPECT_EQ(AutoStartCommand(), "\"" + target + "\" /tray");
    EXPECT_EQ(AutoStartState(AutoStartCommand(), target, platform::FileExists(target)),
              TAutoStartState::Installed);
    ASSERT_EQ(FStarts.size(), 1u);
    EXPECT_EQ(FStarts[0].Program, target);
    EXPECT_EQ(FStarts[0].Args, std::vector<std::string>{"/tray"});
    EXPECT_EQ(FStarts[0].WorkDir, InstallDir());
    // The settings file is not touched by installing.
    EXPECT_FALSE(platform::FileExists(SettingsPath()));
}

// A build without the window has no resident mode: registered, it would open and end at every
// login, and no icon would come. The program still gets its fixed place; the lines say what to run.
TEST_F(InstallFlowTest, WithoutTheResidentAgentInstallCopiesButRegistersAndStartsNothing) {
    const std::string current = MakeDownloadedProgram("#!/bin/sh\nexit 0\n");
    const std::string target = InstalledExe();
    TInstallHooks hooks = Hooks(current);
    hooks.ResidentBuilt = false;
    std::ostringstream out;
    EXPECT_TRUE(InstallConsole(out, hooks));
    EXPECT_EQ(out.str(), "Pavona 농할 에이전트 — 설치\n\n"
                         "  지금 자리  " + current + "\n"
                         "  옮길 자리  " + target + "\n"
                         "  ok  옮겼습니다\n"
                         "  --  자동 실행은 등록하지 않았습니다 — 이 판에는 상주 에이전트(트레이 창)가 없습니다\n\n"
                         "설치가 끝났습니다. 보고는 " + target + " /once 로 보냅니다.\n");
    EXPECT_EQ(test::ReadFile(target), test::ReadFile(current));
    EXPECT_EQ(AutoStartCommand(), "");
    EXPECT_TRUE(FStarts.empty());

    std::ostringstream un;
    EXPECT_TRUE(UninstallConsole(un, false));
    EXPECT_NE(un.str().find("\n   완전히 지우시려면 위 폴더를 지워 주세요.\n"), std::string::npos) << un.str();
    EXPECT_EQ(un.str().find("트레이"), std::string::npos) << un.str();
}

TEST_F(InstallFlowTest, InstallFromTheInstalledPlaceCopiesNothing) {
    const std::string target = InstalledExe();
    platform::MakeDirs(InstallDir());
    test::WriteFile(target, "installed");
    SetAutoStart(true, "/elsewhere/pavona-agent"); // an autostart from another place is replaced
    std::ostringstream out;
    EXPECT_TRUE(InstallConsole(out, Hooks(target)));
    EXPECT_EQ(out.str(), "Pavona 농할 에이전트 — 설치\n\n"
                         "  지금 자리  " +
                             target +
                             "\n"
                             "  옮길 자리  " +
                             target +
                             "\n"
                             "  ok  이미 설치된 자리에서 돌고 있습니다\n"
                             "  ok  컴퓨터를 켤 때 자동으로 실행됩니다\n\n"
                             "설치가 끝났습니다. 트레이(시계 옆)에 아이콘이 뜹니다.\n");
    EXPECT_EQ(test::ReadFile(target), "installed");
    EXPECT_EQ(AutoStartCommand(), "\"" + target + "\" /tray");
    EXPECT_EQ(FStarts.size(), 1u);
}

// The system package's program is installed where it is: the package manager puts it there and
// updates it there, so /install copies nothing, and the autostart entry names it and reads as on.
TEST_F(InstallFlowTest, ThePackagedProgramIsRegisteredWhereItIsAndNeverCopied) {
    const std::string packaged = FRoot.File("usr/bin/pavona-agent");
    platform::MakeDirs(platform::ParentDir(packaged));
    test::WriteFile(packaged, "packaged");
    EXPECT_EQ(InstalledExeFor(packaged, packaged), packaged);
    EXPECT_EQ(InstalledExeFor(FRoot.File("home/Downloads/pavona-agent"), packaged), InstalledExe());
    EXPECT_EQ(InstalledExeFor(packaged, ""), InstalledExe());

    SetAutoStart(true, "/elsewhere/pavona-agent");
    TInstallHooks hooks = Hooks(packaged);
    hooks.PackagedExe = packaged;
    std::ostringstream out;
    EXPECT_TRUE(InstallConsole(out, hooks));
    EXPECT_EQ(out.str(), "Pavona 농할 에이전트 — 설치\n\n"
                         "  지금 자리  " +
                             packaged +
                             "\n"
                             "  ok  시스템 패키지로 이미 설치되어 있습니다 — 복사하지 않습니다\n"
                             "  ok  컴퓨터를 켤 때 자동으로 실행됩니다\n\n"
                             "설치가 끝났습니다. 트레이(시계 옆)에 아이콘이 뜹니다.\n");
    EXPECT_FALSE(platform::FileExists(InstalledExe()));
    EXPECT_EQ(AutoStartCommand(), "\"" + packaged + "\" /tray");
    EXPECT_EQ(AutoStartState(AutoStartCommand(), InstalledExeFor(packaged, packaged), true),
              TAutoStartState::Installed);
    ASSERT_EQ(FStarts.size(), 1u);
    EXPECT_EQ(FStarts[0].Program, packaged);
}

// A copy of a real program runs from the installed place: installing over it must fail at the
// copy, keep the running program whole and leave the autostart entry as it was.
TEST_F(InstallFlowTest, InstallWhileTheInstalledCopyRunsFailsAtTheCopy) {
    const std::string target = InstalledExe();
    std::string sleepBytes;
    ASSERT_TRUE(platform::ReadWholeFile("/bin/sleep", sleepBytes));
    platform::MakeDirs(InstallDir());
    std::string error;
    ASSERT_TRUE(platform::InstallProgramFile("/bin/sleep", target, error)) << error;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::execl(target.c_str(), target.c_str(), "30", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::usleep(300 * 1000);
    SetAutoStart(true, "/elsewhere/pavona-agent");
    const std::string before = AutoStartCommand();

    const std::string current = MakeDownloadedProgram("new program");
    std::ostringstream out;
    EXPECT_FALSE(InstallConsole(out, Hooks(current)));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);

    const std::string text = out.str();
    EXPECT_NE(
        text.find("  X   복사하지 못했습니다 — Text file busy\n"
                  "      이미 돌고 있는 에이전트가 있으면 트레이에서 **종료**한 뒤 다시 실행해 주세요.\n"),
        std::string::npos)
        << text;
    EXPECT_EQ(text.find("  ok  "), std::string::npos) << text;
    EXPECT_EQ(test::ReadFile(target), sleepBytes);
    EXPECT_EQ(AutoStartCommand(), before);
    EXPECT_TRUE(FStarts.empty());
}

TEST_F(InstallFlowTest, InstallFailuresAreReportedAndStopTheFlow) {
    // The installed folder cannot be made: a file stands where a folder is needed.
    test::WriteFile(FRoot.File("local/Programs"), "not a folder");
    const std::string current = MakeDownloadedProgram("program");
    std::ostringstream out;
    EXPECT_FALSE(InstallConsole(out, Hooks(current)));
    EXPECT_NE(out.str().find("  X   폴더를 만들지 못했습니다 — " + InstallDir() + "\n"), std::string::npos)
        << out.str();
    EXPECT_EQ(AutoStartCommand(), "");
    EXPECT_TRUE(FStarts.empty());

    // The autostart entry cannot be written: its folder is a file.
    platform::RemoveFile(FRoot.File("local/Programs"));
    platform::MakeDirs(FRoot.File("config"));
    test::WriteFile(FRoot.File("config/autostart"), "not a folder");
    std::ostringstream second;
    EXPECT_FALSE(InstallConsole(second, Hooks(current)));
    EXPECT_NE(second.str().find("  ok  옮겼습니다\n  X   자동 실행을 등록하지 못했습니다 (지금 값: )\n"),
              std::string::npos)
        << second.str();
    EXPECT_TRUE(FStarts.empty());

    // Installed and registered, but today's start failed: said so, not hidden behind "done".
    platform::RemoveFile(FRoot.File("config/autostart"));
    std::ostringstream third;
    EXPECT_FALSE(InstallConsole(third, Hooks(current, false)));
    EXPECT_NE(third.str().find("  X   지금 띄우지는 못했습니다 — " + InstalledExe()), std::string::npos)
        << third.str();
}

TEST_F(InstallFlowTest, UninstallTwiceSaysOffBothTimesAndDeletesNothing) {
    const std::string target = InstalledExe();
    platform::MakeDirs(InstallDir());
    test::WriteFile(target, "installed");
    SetAutoStart(true, target);
    ASSERT_TRUE(AutoStartEnabled());
    const std::string expected = "Pavona 농할 에이전트 — 자동 실행 해제\n\n"
                                 "  ok  자동 실행을 껐습니다\n\n"
                                 "  프로그램 파일   " +
                                 target +
                                 "\n"
                                 "  설정·보관함     " +
                                 DataDir() +
                                 "\n\n"
                                 "※ 설정과 보관함은 지우지 않습니다 — 보고 이력이 거기 있습니다.\n"
                                 "   완전히 지우시려면 트레이에서 종료한 뒤 위 폴더를 지워 주세요.\n";
    for (int round = 0; round < 2; ++round) {
        std::ostringstream out;
        EXPECT_TRUE(UninstallConsole(out));
        EXPECT_EQ(out.str(), expected) << round;
        EXPECT_FALSE(AutoStartEnabled());
    }
    EXPECT_EQ(test::ReadFile(target), "installed");
}

TEST_F(InstallFlowTest, UninstallSaysSoWhenTheEntryStays) {
    // An entry whose folder refuses removal stays; the flow must not claim it is off.
    SetAutoStart(true, "/opt/pavona-agent");
    const std::string folder = platform::ParentDir(platform::AutoStartEntryPath());
    ASSERT_EQ(::chmod(folder.c_str(), 0500), 0);
    std::ostringstream out;
    const bool removed = UninstallConsole(out);
    ::chmod(folder.c_str(), 0700);
    if (::geteuid() == 0) GTEST_SKIP() << "root removes files from read-only folders";
    EXPECT_FALSE(removed);
    EXPECT_NE(out.str().find("  X   아직 남아 있습니다 — \"/opt/pavona-agent\" /tray\n"), std::string::npos)
        << out.str();
}

} // namespace
} // namespace pavona
