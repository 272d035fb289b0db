// The autostart entry: where it lives, that it runs exactly the command given, and its removal.
#include "platform/Platform.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace pavona::platform {
namespace {

class AutoStartTest : public test::TempDataTest {};

TEST_F(AutoStartTest, EntryPathFollowsTheConfigFolder) {
    EXPECT_EQ(AutoStartEntryPath(), FRoot.File("config") + "/autostart/PavonaAgent.desktop");
    test::ScopedEnv noConfig("XDG_CONFIG_HOME", "");
    EXPECT_EQ(AutoStartEntryPath(), FRoot.File("home") + "/.config/autostart/PavonaAgent.desktop");
}

TEST_F(AutoStartTest, WriteReadAndRemove) {
    EXPECT_FALSE(AutoStartEntryExists());
    EXPECT_EQ(ReadAutoStartEntry(), "");
    EXPECT_TRUE(RemoveAutoStartEntry()) << "removing what is not there succeeds";

    for (const std::string command :
         {"\"/opt/pavona/pavona-agent\" /tray", "\"/home/점주/파보나 에이전트/agent\" /tray"}) {
        SCOPED_TRACE(command);
        ASSERT_TRUE(WriteAutoStartEntry(command));
        EXPECT_TRUE(AutoStartEntryExists());
        EXPECT_EQ(ReadAutoStartEntry(), command);
        const std::string text = test::ReadFile(AutoStartEntryPath());
        EXPECT_NE(text.find("[Desktop Entry]\n"), std::string::npos);
        EXPECT_NE(text.find("\nExec=" + command + "\n"), std::string::npos);
    }
    ASSERT_TRUE(RemoveAutoStartEntry());
    EXPECT_FALSE(AutoStartEntryExists());
    EXPECT_EQ(ReadAutoStartEntry(), "");
}

TEST_F(AutoStartTest, OnlyTheDesktopEntryExecCounts) {
    test::WriteFile(AutoStartEntryPath(), "[Desktop Action other]\nExec=/bin/false\n"
                                          "[Desktop Entry]\r\nName=x\r\nExec=\"/opt/a\" /tray\r\n");
    EXPECT_EQ(ReadAutoStartEntry(), "\"/opt/a\" /tray");
}

TEST_F(AutoStartTest, WriteFailsWhenTheFolderCannotBeMade) {
    test::WriteFile(FRoot.File("blocker"), "file");
    test::ScopedEnv config("XDG_CONFIG_HOME", FRoot.File("blocker"));
    EXPECT_FALSE(WriteAutoStartEntry("\"/opt/a\" /tray"));
    EXPECT_FALSE(AutoStartEntryExists());
    EXPECT_EQ(ReadAutoStartEntry(), "");
}

} // namespace
} // namespace pavona::platform
