// The Windows side of the test support: environment variables, temporary folders, running a program
// (a Windows one, or under wine a program of the host system), and host paths under wine.
#include "tests/support/TestSupport.h"

#include "platform/windows/WinText.h"
#include "tests/support/windows/WineHost.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <stdexcept>
#include <thread>

namespace pavona::test {

using platform::Narrow;
using platform::Wide;

namespace {

// _wputenv_s changes the C runtime's copy and the process environment together, so getenv and
// GetEnvironmentVariableW (which the platform reads) agree.
void SetEnv(const std::string& name, const std::string* value) {
    _wputenv_s(Wide(name).c_str(), value ? Wide(*value).c_str() : L"");
}

// Reads a pipe to its end into `into`.
void Drain(HANDLE pipe, std::string* into) {
    char buf[4096];
    DWORD n = 0;
    while (::ReadFile(pipe, buf, sizeof buf, &n, nullptr) && n > 0)
        into->append(buf, n);
}

} // namespace

ScopedEnv::ScopedEnv(const std::string& name, const std::string& value) : FName(name) {
    const std::wstring key = Wide(name);
    const DWORD need = GetEnvironmentVariableW(key.c_str(), nullptr, 0);
    if (need > 0) {
        std::wstring old(need, L'\0');
        const DWORD got = GetEnvironmentVariableW(key.c_str(), old.data(), need);
        old.resize(got);
        FHad = true;
        FOld = Narrow(old);
    }
    SetEnv(name, &value);
}

ScopedEnv::~ScopedEnv() {
    SetEnv(FName, FHad ? &FOld : nullptr);
}

namespace {

// Deletes a folder's files and folders, each folder listed once. std::filesystem::remove_all of
// mingw's libstdc++ was seen to spin for good under wine on a database's -shm file while the
// reference server, a host program, was still closing it.
void RemoveTree(const std::wstring& dir) {
    WIN32_FIND_DATAW found;
    const HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &found);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = dir + L"\\" + name;
            const DWORD a = found.dwFileAttributes;
            if ((a & FILE_ATTRIBUTE_DIRECTORY) && !(a & FILE_ATTRIBUTE_REPARSE_POINT)) {
                RemoveTree(path);
            } else if (a & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveDirectoryW(path.c_str());
            } else {
                if (a & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(h, &found));
        FindClose(h);
    }
    RemoveDirectoryW(dir.c_str());
}

} // namespace

TempDir::~TempDir() {
    // A few rounds, bounded, for what another process was still writing a moment ago.
    const std::wstring dir = Wide(FPath);
    for (int round = 0; round < 5 && GetFileAttributesW(dir.c_str()) != INVALID_FILE_ATTRIBUTES; ++round) {
        if (round > 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        RemoveTree(dir);
    }
    if (GetFileAttributesW(dir.c_str()) != INVALID_FILE_ATTRIBUTES)
        std::fprintf(stderr, "note: the temporary folder %s could not be removed whole\n", FPath.c_str());
}

TempDir::TempDir() {
    wchar_t base[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, base);
    if (n == 0 || n > MAX_PATH) throw std::runtime_error("GetTempPathW failed");
    std::random_device seed;
    std::mt19937_64 random(seed() ^ (static_cast<std::uint64_t>(GetCurrentProcessId()) << 32) ^
                           static_cast<std::uint64_t>(GetTickCount64()));
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::wstring name = std::wstring(base) + L"pavona-test-" + std::to_wstring(random() % 1000000000);
        if (CreateDirectoryW(name.c_str(), nullptr)) {
            FPath = Narrow(name);
            return;
        }
    }
    throw std::runtime_error("CreateDirectoryW failed");
}

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env, int timeoutMs) {
    ProcessResult result;
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE outRead = nullptr, outWrite = nullptr, errRead = nullptr, errWrite = nullptr;
    if (!CreatePipe(&outRead, &outWrite, &inherit, 0)) return result;
    if (!CreatePipe(&errRead, &errWrite, &inherit, 0)) {
        CloseHandle(outRead);
        CloseHandle(outWrite);
        return result;
    }
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    HANDLE nul = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0,
                             nullptr);

    const std::wstring app = Wide(DosPath(program));
    std::wstring line = platform::CommandLine(app, args);
    // The child gets this process's environment with the extra values; they are set here for the
    // moment of the start and put back after.
    std::vector<std::unique_ptr<ScopedEnv>> extra;
    for (const auto& [k, v] : env)
        extra.push_back(std::make_unique<ScopedEnv>(k, v));
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = nul;
    si.hStdOutput = outWrite;
    si.hStdError = errWrite;
    PROCESS_INFORMATION pi{};
    const BOOL started =
        CreateProcessW(app.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    extra.clear();
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
    if (!started) {
        result.Err = "CreateProcessW: " + platform::ErrorText(GetLastError());
        CloseHandle(outRead);
        CloseHandle(errRead);
        return result;
    }
    // Both pipes are read to their ends on their own threads, so a full pipe never stalls the child.
    std::thread errThread(Drain, errRead, &result.Err);
    std::thread outThread(Drain, outRead, &result.Out);
    if (pi.hProcess) {
        if (WaitForSingleObject(pi.hProcess, static_cast<DWORD>(timeoutMs)) == WAIT_TIMEOUT)
            TerminateProcess(pi.hProcess, 1);
        WaitForSingleObject(pi.hProcess, INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(pi.hProcess, &code);
        result.ExitCode = static_cast<int>(code);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
    } else {
        // Wine starts a host program without a process handle: its end is its pipes' end.
        result.ExitCode = kExitUnknown;
    }
    outThread.join();
    errThread.join();
    CloseHandle(outRead);
    CloseHandle(errRead);
    return result;
}

std::string DosPath(const std::string& path) {
    using Fn = WCHAR* (*)(const char*);
    static const Fn toDos = reinterpret_cast<Fn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
    if (!toDos || path.empty() || path[0] != '/') return path;
    WCHAR* dos = toDos(path.c_str());
    if (!dos) return path;
    std::string out = Narrow(dos, wcslen(dos));
    HeapFree(GetProcessHeap(), 0, dos);
    return out;
}

std::string HostPath(const std::string& path) {
    using Fn = char* (*)(LPCWSTR);
    static const Fn toUnix = reinterpret_cast<Fn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!toUnix) return path;
    char* unix = toUnix(Wide(path).c_str());
    if (!unix) return path;
    std::string out = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return out;
}

} // namespace pavona::test
