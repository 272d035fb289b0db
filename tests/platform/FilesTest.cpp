// Files and folders: the data folder's precedence, single-write appends, atomic replacement and
// folder creation.
#include "common/Text.h"
#include "platform/Platform.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

namespace pavona::platform {
namespace {

TEST(FilesTest, DataFolderPrecedence) {
    struct Case {
        const char* Local;
        const char* XdgData;
        const char* Home;
        const char* Expected;
    };
    const Case cases[] = {
        {"/l", "/x", "/h", "/l/Pavona"}, {"/l/", "/x", "/h", "/l/Pavona"},
        {"", "/x", "/h", "/x/Pavona"},   {"", "", "/h", "/h/.local/share/Pavona"},
        {"/l", "", "", "/l/Pavona"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.Local) + "|" + c.XdgData + "|" + c.Home);
        test::ScopedEnv local("LOCALAPPDATA", c.Local), data("XDG_DATA_HOME", c.XdgData),
            home("HOME", c.Home);
        EXPECT_EQ(AgentDataDir(), c.Expected);
    }
}

TEST(FilesTest, MakeDirs) {
    test::TempDir dir;
    const std::string deep = dir.File("a/b/c");
    EXPECT_TRUE(MakeDirs(deep));
    EXPECT_TRUE(DirExists(deep));
    EXPECT_TRUE(MakeDirs(deep)) << "an existing folder is fine";
    test::WriteFile(dir.File("file"), "x");
    EXPECT_FALSE(MakeDirs(dir.File("file")));
    EXPECT_FALSE(MakeDirs(dir.File("file/sub")));
    EXPECT_FALSE(MakeDirs(""));
}

TEST(FilesTest, AppendsAreWholeAndInOrder) {
    test::TempDir dir;
    const std::string path = dir.File("day.jsonl");
    EXPECT_EQ(FileSize(path), -1);
    ASSERT_TRUE(AppendToFile(path, "first\r\n", true));
    ASSERT_TRUE(AppendToFile(path, "", false));
    ASSERT_TRUE(AppendToFile(path, "둘째\r\n"));
    EXPECT_EQ(test::ReadFile(path), "first\r\n둘째\r\n");
    EXPECT_EQ(FileSize(path), 15);
    EXPECT_FALSE(AppendToFile(dir.File("missing/day.jsonl"), "x"));

    // Several writers at once: every line arrives whole, none mixed into another.
    const std::string shared = dir.File("shared.jsonl");
    constexpr int kWriters = 4, kLines = 300;
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w) {
        writers.emplace_back([&, w] {
            for (int i = 0; i < kLines; ++i)
                AppendToFile(shared, std::string(1000 + 37 * i, static_cast<char>('a' + w)) + "\n");
        });
    }
    for (std::thread& t : writers)
        t.join();
    std::vector<std::string> lines = Split(test::ReadFile(shared), '\n');
    ASSERT_EQ(lines.size(), static_cast<size_t>(kWriters * kLines + 1));
    EXPECT_EQ(lines.back(), "");
    lines.pop_back();
    for (const std::string& line : lines) {
        ASSERT_FALSE(line.empty());
        ASSERT_EQ(std::count(line.begin(), line.end(), line[0]), static_cast<long>(line.size()));
        ASSERT_EQ((line.size() - 1000) % 37, 0u);
    }
}

TEST(FilesTest, ReplaceIsWholeAndLeavesNoTemporary) {
    test::TempDir dir;
    const std::string path = dir.File("state.txt");
    ASSERT_TRUE(ReplaceFileAtomic(path, "old\r\n"));
    ASSERT_TRUE(ReplaceFileAtomic(path, "새 내용\r\n"));
    EXPECT_EQ(test::ReadFile(path), "새 내용\r\n");
    ASSERT_TRUE(ReplaceFileAtomic(path, ""));
    EXPECT_EQ(FileSize(path), 0);

    // A folder in the way: the replacement fails and cleans up after itself.
    ASSERT_TRUE(MakeDirs(dir.File("taken")));
    EXPECT_FALSE(ReplaceFileAtomic(dir.File("taken"), "x"));
    EXPECT_FALSE(ReplaceFileAtomic(dir.File("missing/state.txt"), "x"));
    std::vector<std::string> names;
    ASSERT_TRUE(ListFiles(dir.Path(), names));
    EXPECT_EQ(names, std::vector<std::string>{"state.txt"});
}

} // namespace
} // namespace pavona::platform
