// The command lines given to CreateProcessW: every argument must come back whole and unchanged when
// the started program splits its line the way the system and the C runtime do.
#include "platform/windows/WinText.h"

#include <gtest/gtest.h>

#include <shellapi.h>

namespace pavona::platform {
namespace {

std::vector<std::string> SplitBack(const std::wstring& line) {
    int count = 0;
    wchar_t** argv = CommandLineToArgvW(line.c_str(), &count);
    std::vector<std::string> out;
    for (int i = 0; argv != nullptr && i < count; ++i)
        out.push_back(Narrow(argv[i], wcslen(argv[i])));
    LocalFree(argv);
    return out;
}

TEST(CommandLine, EveryArgumentComesBackAsItWasGiven) {
    const std::vector<std::string> args = {
        "/once",
        "",
        "C:\\Program Files\\Pavona\\",
        "C:\\가게 자료\\agent.ini",
        "say \"hi\"",
        "a\\\\\"b",
        "ends in a backslash\\",
        "\\\\server\\share",
        "tab\there",
    };
    const std::vector<std::string> back = SplitBack(CommandLine(L"C:\\에이전트 폴더\\PavonaAgent.exe", args));
    ASSERT_EQ(back.size(), args.size() + 1);
    EXPECT_EQ(back[0], "C:\\에이전트 폴더\\PavonaAgent.exe");
    for (std::size_t i = 0; i < args.size(); ++i)
        EXPECT_EQ(back[i + 1], args[i]) << "argument " << i;
}

TEST(CommandLine, PlainArgumentsAreLeftUnquoted) {
    EXPECT_EQ(CommandLine(L"agent.exe", {"/selfcheck", "C:\\data"}), L"agent.exe /selfcheck C:\\data");
}

} // namespace
} // namespace pavona::platform
