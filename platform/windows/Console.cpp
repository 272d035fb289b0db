// The console and detached starts on Windows. A console mode writes UTF-8 to the console of whoever
// started it; a program without one (the window program) attaches to its caller's or opens its own.
#include "platform/Platform.h"

#include "platform/windows/WinText.h"

#include <windows.h>

#include <cstdio>

namespace pavona::platform {

bool AttachConsoleOutput() {
    bool opened = false;
    DWORD ids[2];
    const DWORD clients = GetConsoleProcessList(ids, 2);
    if (clients == 0) {
        if (!AttachConsole(ATTACH_PARENT_PROCESS)) {
            if (!AllocConsole()) return false;
            opened = true;
        }
    } else if (clients == 1) {
        // The console program has a console already. Shared with its caller (cmd, PowerShell) it
        // stays open after the run; one Windows opened for it alone (a double click) closes with
        // it, so the end-of-run wait keeps it readable, where someone can see it and answer.
        const auto isConsole = [](DWORD which) { return GetFileType(GetStdHandle(which)) == FILE_TYPE_CHAR; };
        opened = isConsole(STD_INPUT_HANDLE) && isConsole(STD_OUTPUT_HANDLE);
    }
    SetConsoleOutputCP(CP_UTF8);
    // A window program starts without standard streams: they are tied to the console now, unless
    // they were redirected to a file or a pipe by the caller.
    if (GetFileType(GetStdHandle(STD_OUTPUT_HANDLE)) == FILE_TYPE_UNKNOWN) freopen("CONOUT$", "w", stdout);
    if (GetFileType(GetStdHandle(STD_ERROR_HANDLE)) == FILE_TYPE_UNKNOWN) freopen("CONOUT$", "w", stderr);
    std::fflush(stdout);
    return opened;
}

bool StartDetached(const std::string& program, const std::vector<std::string>& args, const std::string& workDir) {
    std::wstring command = CommandLine(Wide(program), args);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    const std::wstring dir = Wide(workDir);
    if (!CreateProcessW(Wide(program).c_str(), command.data(), nullptr, nullptr, FALSE,
                        DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP | CREATE_UNICODE_ENVIRONMENT, nullptr,
                        workDir.empty() ? nullptr : dir.c_str(), &si, &pi))
        return false;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return true;
}

} // namespace pavona::platform
