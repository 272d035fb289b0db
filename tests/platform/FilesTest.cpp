// Files and folders: the data folder's precedence, single-write appends, atomic replacement and
// folder creation.
#include "common/Text.h"
#include "platform/Platform.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <sys/resource.h>
#include <thread>

namespace pavona::platform {
namespace {

// While it lives, no file of this process may grow beyond `bytes`: a write past that is cut short
// and the next one fails, as on a full disk.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &FOld);
        FOldSignal = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lim = FOld;
        lim.rlim_cur = bytes;
        FSet = setrlimit(RLIMIT_FSIZE, &lim) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &FOld);
        std::signal(SIGXFSZ, FOldSignal);
    }
    bool Set() const { return FSet; }

  private:
    rlimit FOld{};
    void (*FOldSignal)(int) = nullptr;
    bool FSet = false;
};

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

TEST(FilesTest, AnAppendCutShortLeavesTheFileAsItWas) {
    for (const bool durable : {true, false}) {
        SCOPED_TRACE(durable ? "durable" : "not durable");
        test::TempDir dir;
        const std::string path = dir.File("spool-2026-10-06.jsonl");
        ASSERT_TRUE(AppendToFile(path, "731:1\t1\t{}\r\n", durable));
        {
            // Room for five more bytes only: the line would be torn after "731:2".
            FileSizeLimit limit(static_cast<rlim_t>(FileSize(path)) + 5);
            ASSERT_TRUE(limit.Set());
            EXPECT_FALSE(AppendToFile(path, "731:2\t2\t{}\r\n", durable));
            EXPECT_FALSE(
                AppendToFile(dir.File("new.jsonl"), "731:3\t3\t{\"name\":\"a longer line\"}\r\n", durable));
        }
        EXPECT_EQ(test::ReadFile(path), "731:1\t1\t{}\r\n");
        EXPECT_EQ(test::ReadFile(dir.File("new.jsonl")), "");
        // Once there is room again the same line is written whole, right after the first.
        ASSERT_TRUE(AppendToFile(path, "731:2\t2\t{}\r\n", durable));
        EXPECT_EQ(test::ReadFile(path), "731:1\t1\t{}\r\n731:2\t2\t{}\r\n");
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
