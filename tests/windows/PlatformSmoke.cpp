// A first check of the Windows platform layer, run under wine by tools/windows-smoke.sh until the
// tests are built with googletest for Windows: Korean folder and file names, durable appends,
// atomic replaces, letter case, DPAPI, SHA-256, the Run key and the single-instance mutex.
#include "platform/Platform.h"
#include "common/Text.h"
#include <cstdio>

using namespace pavona;
int fails = 0;
#define CHECK(c)                                                                                         \
    do {                                                                                                 \
        if (!(c)) {                                                                                      \
            std::printf("FAIL %s:%d %s\n", __FILE__, __LINE__, #c);                                      \
            ++fails;                                                                                     \
        } else {                                                                                         \
            std::printf("ok   %s\n", #c);                                                                \
        }                                                                                                \
    } while (0)
int main() {
    platform::AttachConsoleOutput();
    const std::string dir = platform::JoinPath(platform::AgentDataDir(), "시험 폴더");
    std::printf("data dir %s\n", dir.c_str());
    CHECK(platform::MakeDirs(dir));
    CHECK(platform::DirExists(dir));
    const std::string f = platform::JoinPath(dir, "판매.txt");
    platform::RemoveFile(f);
    CHECK(platform::AppendToFile(f, "가나\r\n", true));
    CHECK(platform::AppendToFile(f, "다라\r\n", true));
    std::string text;
    CHECK(platform::ReadWholeFile(f, text) && text == "가나\r\n다라\r\n");
    CHECK(platform::FileSize(f) == 16);
    CHECK(platform::ReplaceFileAtomic(f, "새"));
    CHECK(platform::ReadWholeFile(f, text) && text == "새");
    std::vector<std::string> names;
    CHECK(platform::ListFiles(dir, names) && names.size() == 1 && names[0] == "판매.txt");
    CHECK(platform::SamePathText("C:\\A\\b.TXT", "c:\\a\\B.txt"));
    CHECK(platform::ParentDir("C:\\a\\b") == "C:\\a");
    CHECK(platform::ParentDir("C:\\a") == "C:\\");
    CHECK(platform::JoinPath("C:\\a\\", "b/c") == "C:\\a\\b\\c");
    CHECK(platform::RemoveFile(f) && !platform::FileExists(f));
    const std::string p = platform::ProtectKey("비밀키-123", {});
    std::printf("dpapi %zu chars\n", p.size());
    CHECK(!p.empty() && p.find('\n') == std::string::npos);
    CHECK(platform::UnprotectKey(p, {}) == "비밀키-123");
    CHECK(platform::UnprotectKey("AAAA", {}).empty());
    std::string hex;
    for (char c : platform::Sha256("abc")) hex += Fmt("%02x", static_cast<unsigned char>(c));
    CHECK(hex == "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    CHECK(platform::WriteAutoStartEntry("\"C:\\프로그램\\PavonaAgent.exe\" /tray"));
    CHECK(platform::AutoStartEntryExists());
    CHECK(platform::ReadAutoStartEntry() == "\"C:\\프로그램\\PavonaAgent.exe\" /tray");
    CHECK(platform::RemoveAutoStartEntry() && !platform::AutoStartEntryExists());
    {
        auto first = platform::AcquireSingleInstance();
        CHECK(first != nullptr);
        CHECK(platform::AcquireSingleInstance() == nullptr);
    }
    CHECK(!platform::RequestShowWindow());
    const TDateTime now = platform::SystemNowLocal();
    std::printf("now %s offset %d\n", FormatStamp(now).c_str(), platform::LocalUtcOffsetMinutes(now));
    std::printf("%d failures\n", fails);
    return fails;
}
