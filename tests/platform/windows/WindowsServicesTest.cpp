// The Windows side of the platform's services, each on its own: the data folder under
// %LOCALAPPDATA%, files under Korean names through the wide API, DPAPI key protection, the HKCU Run
// value, the single-instance mutex, SHA-256 through BCrypt and the local UTC offset.
#include "common/DateTime.h"
#include "platform/Platform.h"
#include "platform/windows/WinText.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

namespace pavona::platform {
namespace {

TEST(WindowsFiles, TheDataFolderIsPavonaUnderLocalAppDataAndKoreanNamesWorkThroughout) {
    test::TempDir root;
    const std::string local = JoinPath(root.Path(), "사용자 로컬");
    test::ScopedEnv env("LOCALAPPDATA", local);
    const std::string data = AgentDataDir();
    EXPECT_EQ(data, local + "\\Pavona");

    const std::string dir = JoinPath(data, "spool/보고");
    EXPECT_EQ(dir, local + "\\Pavona\\spool\\보고");
    ASSERT_TRUE(MakeDirs(dir));
    EXPECT_TRUE(DirExists(dir));
    const std::string file = JoinPath(dir, "매출-2026-12-11.jsonl");
    ASSERT_TRUE(AppendToFile(file, "첫 줄\n", true));
    ASSERT_TRUE(AppendToFile(file, "둘째 줄\n"));
    std::string back;
    ASSERT_TRUE(ReadWholeFile(file, back));
    EXPECT_EQ(back, "첫 줄\n둘째 줄\n");
    EXPECT_EQ(FileSize(file), static_cast<std::int64_t>(back.size()));
    std::vector<std::string> names;
    ASSERT_TRUE(ListFiles(dir, names));
    EXPECT_EQ(names, std::vector<std::string>{"매출-2026-12-11.jsonl"});
    EXPECT_EQ(ParentDir(file), dir);
    EXPECT_TRUE(RemoveFile(file));
    EXPECT_FALSE(FileExists(file));
    EXPECT_EQ(FileSize(file), -1);
    EXPECT_TRUE(RemoveFile(file)) << "removing what is already gone is no failure";
}

TEST(WindowsFiles, AReplaceIsWholeLeavesNoTemporaryAndFailsWhereTheFolderIsMissing) {
    test::TempDir dir;
    const std::string path = dir.File("상태.txt");
    ASSERT_TRUE(ReplaceFileAtomic(path, "old"));
    ASSERT_TRUE(ReplaceFileAtomic(path, std::string(100000, 'n')));
    EXPECT_EQ(test::ReadFile(path), std::string(100000, 'n'));
    EXPECT_FALSE(ReplaceFileAtomic(dir.File("없는 폴더\\상태.txt"), "x"));
    std::vector<std::string> names;
    ASSERT_TRUE(ListFiles(dir.Path(), names));
    EXPECT_EQ(names, std::vector<std::string>{"상태.txt"});
}

TEST(WindowsFiles, PathsCompareWithoutRegardToLetterCase) {
    const struct {
        const char* A;
        const char* B;
        bool Same;
    } cases[] = {
        {"C:\\Users\\Store\\AppData\\Local\\Pavona\\PavonaAgent.exe",
         "c:\\users\\STORE\\appdata\\local\\pavona\\pavonaagent.EXE", true},
        {"C:\\가게\\Agent.exe", "c:\\가게\\AGENT.exe", true},
        {"C:\\가게\\Agent.exe", "C:\\가계\\Agent.exe", false},
        {"C:\\Pavona\\a.exe", "C:\\Pavona\\a.exe ", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SamePathText(c.A, c.B), c.Same) << c.A << " / " << c.B;
}

TEST(WindowsKeyProtection, DpapiRoundTripsInOneLineAndAnythingElseOpensToEmpty) {
    const KeyScope scope = DefaultKeyScope();
    EXPECT_TRUE(scope.SecretPath.empty()) << "DPAPI needs no secret file of the agent's";
    for (const std::string& plain : {std::string("k"), std::string("agent-key-0123456789"),
                                     std::string("인증키 with = and spaces "), std::string(500, 'x')}) {
        SCOPED_TRACE(plain);
        const std::string text = ProtectKey(plain, scope);
        ASSERT_FALSE(text.empty());
        EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos);
        if (plain.size() > 4) EXPECT_EQ(text.find(plain), std::string::npos) << "the key must not be kept readable";
        EXPECT_EQ(UnprotectKey(text, scope), plain);
    }
    const std::string text = ProtectKey("agent-key", scope);
    std::string flipped = text;
    flipped[flipped.size() / 2] = flipped[flipped.size() / 2] == 'A' ? 'B' : 'A';
    for (const std::string& bad : {flipped, text.substr(0, text.size() / 2), std::string("not base64 !"),
                                   std::string(), std::string("AAAA")})
        EXPECT_EQ(UnprotectKey(bad, scope), "") << bad;
    EXPECT_EQ(ProtectKey("", scope), "");
}

// HKCU is redirected to a key of the test's own, so the agent's real Run value and other tests
// that register autostart at the same time are left alone.
class WindowsAutoStart : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::wstring name = L"Software\\PavonaTest\\" + std::to_wstring(GetCurrentProcessId());
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &FKey,
                                  nullptr),
                  ERROR_SUCCESS);
        FName = name;
        if (RegOverridePredefKey(HKEY_CURRENT_USER, FKey) != ERROR_SUCCESS)
            GTEST_SKIP() << "HKEY_CURRENT_USER cannot be redirected here";
        FOverridden = true;
    }
    void TearDown() override {
        if (FOverridden) RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        if (FKey) RegCloseKey(FKey);
        if (!FName.empty()) RegDeleteTreeW(HKEY_CURRENT_USER, FName.c_str());
    }
    // The Run value as found in the redirected key, read without the platform's help.
    std::wstring RunValue() const {
        wchar_t buf[1024];
        DWORD bytes = sizeof buf;
        if (RegGetValueW(FKey, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", L"PavonaAgent", RRF_RT_REG_SZ,
                         nullptr, buf, &bytes) != ERROR_SUCCESS)
            return L"<none>";
        return buf;
    }
    HKEY FKey = nullptr;
    std::wstring FName;
    bool FOverridden = false;
};

TEST_F(WindowsAutoStart, TheRunValueIsWrittenReadAndRemoved) {
    EXPECT_EQ(AutoStartEntryPath(), "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\PavonaAgent");
    EXPECT_FALSE(AutoStartEntryExists());
    EXPECT_EQ(ReadAutoStartEntry(), "");
    EXPECT_TRUE(RemoveAutoStartEntry()) << "nothing to remove is no failure";

    const std::string command = "\"C:\\Users\\가게\\AppData\\Local\\Pavona\\PavonaAgent.exe\" /tray";
    ASSERT_TRUE(WriteAutoStartEntry(command));
    EXPECT_TRUE(AutoStartEntryExists());
    EXPECT_EQ(ReadAutoStartEntry(), command);
    EXPECT_EQ(RunValue(), Wide(command));
    ASSERT_TRUE(WriteAutoStartEntry("\"D:\\Agent.exe\" /tray"));
    EXPECT_EQ(ReadAutoStartEntry(), "\"D:\\Agent.exe\" /tray");

    ASSERT_TRUE(RemoveAutoStartEntry());
    EXPECT_FALSE(AutoStartEntryExists());
    EXPECT_EQ(RunValue(), L"<none>");
}

TEST(WindowsSingleInstance, OneHolderAtATimeAndTheMutexIsFreedWithIt) {
    EXPECT_FALSE(RequestShowWindow()) << "with no agent running nobody would hear the request";
    std::unique_ptr<SingleInstance> first = AcquireSingleInstance();
    ASSERT_NE(first, nullptr);
    // Another thread stands for a second start: the mutex is the machine's, not this thread's.
    std::unique_ptr<SingleInstance> second;
    std::thread([&] { second = AcquireSingleInstance(); }).join();
    EXPECT_EQ(second, nullptr);
    first.reset();
    std::unique_ptr<SingleInstance> again = AcquireSingleInstance();
    EXPECT_NE(again, nullptr);
}

// A later start's request reaches the running agent's hidden window through the broadcast.
TEST(WindowsSingleInstance, ALaterStartsRequestReachesTheListeningAgent) {
    std::unique_ptr<SingleInstance> agent = AcquireSingleInstance();
    ASSERT_NE(agent, nullptr);
    std::promise<void> shown;
    std::atomic<bool> once{false};
    agent->Listen([&] {
        if (!once.exchange(true)) shown.set_value();
    });
    if (FindWindowW(L"PavonaAgent.Instance", nullptr) == nullptr)
        GTEST_SKIP() << "no window could be made here (wine without a display)";
    ASSERT_TRUE(RequestShowWindow());
    EXPECT_EQ(shown.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
}

// Logout and shutdown come as session-end messages: the query is agreed to, the end itself becomes
// one request (answered only after the agent's grace), a cancelled end none.
TEST(WindowsEndWatch, TheSessionsEndBecomesOneRequestAndACancelledEndNone) {
    std::atomic<int> heard{0};
    std::unique_ptr<EndWatch> watch = WatchEndRequests([&] { ++heard; });
    const HWND window = FindWindowW(L"PavonaAgent.EndWatch", nullptr);
    if (window == nullptr) GTEST_SKIP() << "no window could be made here (wine without a display)";
    DWORD_PTR answer = 0;
    ASSERT_NE(SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, 0, SMTO_BLOCK, 10000, &answer), 0);
    EXPECT_EQ(answer, static_cast<DWORD_PTR>(TRUE));
    EXPECT_EQ(heard.load(), 0) << "a query is no request yet";
    ASSERT_NE(SendMessageTimeoutW(window, WM_ENDSESSION, FALSE, 0, SMTO_BLOCK, 10000, &answer), 0);
    EXPECT_EQ(heard.load(), 0) << "the end was cancelled";
    const auto sent = std::chrono::steady_clock::now();
    ASSERT_NE(SendMessageTimeoutW(window, WM_ENDSESSION, TRUE, 0, SMTO_BLOCK, 20000, &answer), 0);
    EXPECT_EQ(heard.load(), 1);
    EXPECT_GE(std::chrono::steady_clock::now() - sent, std::chrono::seconds(3)) << "the answer waits for the agent";
    watch.reset();
    EXPECT_EQ(FindWindowW(L"PavonaAgent.EndWatch", nullptr), nullptr);
}

TEST(WindowsDigest, Sha256ThroughBCryptMatchesKnownValues) {
    const auto hex = [](const std::string& digest) {
        static const char* const kDigits = "0123456789abcdef";
        std::string out;
        for (const unsigned char c : digest) {
            out += kDigits[c >> 4];
            out += kDigits[c & 15];
        }
        return out;
    };
    EXPECT_EQ(hex(Sha256("")), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(hex(Sha256("abc")), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(hex(Sha256(std::string(1000000, 'a'))),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(WindowsLocalTime, TheOffsetAgreesWithTheSystemsOwnConversion) {
    const TDateTime now = SystemNowLocal();
    const int offset = LocalUtcOffsetMinutes(now);
    EXPECT_GE(offset, -12 * 60);
    EXPECT_LE(offset, 14 * 60);
    SYSTEMTIME utc;
    GetSystemTime(&utc);
    const TDateTime utcNow =
        EncodeDateTime(utc.wYear, utc.wMonth, utc.wDay, utc.wHour, utc.wMinute, utc.wSecond, utc.wMilliseconds);
    // The local clock read a moment earlier, less the offset, is the UTC clock within a few seconds.
    EXPECT_NEAR(static_cast<double>(ToMSecs(now) - offset * 60000LL), static_cast<double>(ToMSecs(utcNow)), 5000.0);
}

} // namespace
} // namespace pavona::platform
