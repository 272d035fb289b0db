// Folders and files on Windows: the wide functions throughout (Korean folder names), appends as one
// write, FlushFileBuffers for durability and MoveFileExW with write-through for atomic replaces.
#include "platform/Platform.h"

#include "platform/windows/WinText.h"

#include <windows.h>

#include <mutex>

namespace pavona::platform {
namespace {

bool IsSep(char c) {
    return c == '\\' || c == '/';
}

// "C:\" or "\\server\share\": the part of a path that has no parent.
size_t RootLength(const std::string& p) {
    if (p.size() >= 2 && p[1] == ':') return p.size() >= 3 && IsSep(p[2]) ? 3 : 2;
    if (p.size() >= 2 && IsSep(p[0]) && IsSep(p[1])) {
        size_t seps = 0;
        for (size_t i = 2; i < p.size(); ++i)
            if (IsSep(p[i]) && ++seps == 2) return i + 1;
        return p.size();
    }
    return p.size() >= 1 && IsSep(p[0]) ? 1 : 0;
}

bool WriteAll(HANDLE h, const char* data, size_t size, size_t& written) {
    written = 0;
    while (size > 0) {
        const DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
        DWORD n = 0;
        if (!WriteFile(h, data, chunk, &n, nullptr) || n == 0) return false;
        data += n;
        size -= n;
        written += n;
    }
    return true;
}

std::int64_t SizeOf(HANDLE h) {
    LARGE_INTEGER size;
    return GetFileSizeEx(h, &size) ? size.QuadPart : -1;
}

DWORD Attributes(const std::string& path) {
    return GetFileAttributesW(Wide(path).c_str());
}

} // namespace

std::string Env(const char* name) {
    const std::wstring key = Wide(name);
    const DWORD need = GetEnvironmentVariableW(key.c_str(), nullptr, 0);
    if (need == 0) return {};
    std::wstring value(need, L'\0');
    const DWORD got = GetEnvironmentVariableW(key.c_str(), value.data(), need);
    value.resize(got);
    return Narrow(value);
}

std::string AgentDataDir() {
    std::string base = Env("LOCALAPPDATA");
    if (base.empty()) base = JoinPath(Env("USERPROFILE"), "AppData\\Local");
    return JoinPath(base, "Pavona");
}

std::string UserProgramsRoot() {
    std::string base = Env("LOCALAPPDATA");
    return base.empty() ? JoinPath(Env("USERPROFILE"), "AppData\\Local") : base;
}

std::string ExecutablePath() {
    std::wstring buf(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) return {};
        if (n < buf.size()) return Narrow(buf.data(), n);
        buf.resize(buf.size() * 2);
    }
}

std::string JoinPath(const std::string& a, const std::string& b) {
    if (a.empty()) return b;
    std::string out = a;
    while (out.size() > RootLength(out) && IsSep(out.back()))
        out.pop_back();
    size_t start = 0;
    while (start < b.size() && IsSep(b[start]))
        ++start;
    if (!IsSep(out.back())) out.push_back(kPathSep);
    std::string rest = b.substr(start);
    for (char& c : rest)
        if (c == '/') c = kPathSep;
    return out + rest;
}

std::string ParentDir(const std::string& path) {
    std::string p = path;
    const size_t root = RootLength(p);
    while (p.size() > root && IsSep(p.back()))
        p.pop_back();
    size_t sep = std::string::npos;
    for (size_t i = p.size(); i > root; --i)
        if (IsSep(p[i - 1])) {
            sep = i - 1;
            break;
        }
    if (sep == std::string::npos) return root > 0 && p.size() > root ? p.substr(0, root) : std::string();
    return sep < root ? p.substr(0, root) : p.substr(0, sep == 0 ? 1 : sep);
}

bool FileExists(const std::string& path) {
    const DWORD a = Attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool DirExists(const std::string& path) {
    const DWORD a = Attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool MakeDirs(const std::string& path) {
    if (path.empty()) return false;
    if (DirExists(path)) return true;
    const std::string parent = ParentDir(path);
    if (!parent.empty() && parent != path && !DirExists(parent) && !MakeDirs(parent)) return false;
    return CreateDirectoryW(Wide(path).c_str(), nullptr) != 0 || DirExists(path);
}

bool ReadWholeFile(const std::string& path, std::string& out) {
    out.clear();
    TWinHandle h(CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.Valid()) return false;
    char buf[65536];
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(h.Get(), buf, sizeof buf, &n, nullptr)) return false;
        if (n == 0) return true;
        out.append(buf, n);
    }
}

bool AppendToFile(const std::string& path, const std::string& bytes, bool durable) {
    // FILE_APPEND_DATA without FILE_WRITE_DATA: every write lands at the end, as O_APPEND does.
    // Wine emulates that by seeking to the end and writing, so two threads could write over each
    // other; within this process appends therefore take turns, whatever the system does.
    static std::mutex appending;
    const std::lock_guard<std::mutex> turn(appending);
    TWinHandle h(CreateFileW(Wide(path).c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | GENERIC_READ,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.Valid()) return false;
    const std::int64_t before = SizeOf(h.Get());
    size_t written = 0;
    bool ok = WriteAll(h.Get(), bytes.data(), bytes.size(), written);
    if (ok && durable) ok = FlushFileBuffers(h.Get()) != 0;
    if (!ok && written > 0 && before >= 0) {
        // A full disk may take half a line; the file goes back to what it was, as on Linux, unless
        // another writer appended after our bytes.
        const std::int64_t after = SizeOf(h.Get());
        if (after == before + static_cast<std::int64_t>(written)) {
            TWinHandle w(CreateFileW(Wide(path).c_str(), GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
            LARGE_INTEGER at;
            at.QuadPart = before;
            if (w.Valid() && SetFilePointerEx(w.Get(), at, nullptr, FILE_BEGIN) && SetEndOfFile(w.Get()) && durable)
                FlushFileBuffers(w.Get());
        }
    }
    return h.Close() && ok;
}

bool ReplaceFileAtomic(const std::string& path, const std::string& bytes) {
    // A name per process, so two processes replacing the same file never share a temporary.
    const std::string temp = path + ".tmp" + std::to_string(GetCurrentProcessId());
    const std::wstring wideTemp = Wide(temp);
    TWinHandle h(CreateFileW(wideTemp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.Valid()) return false;
    size_t written = 0;
    bool ok = WriteAll(h.Get(), bytes.data(), bytes.size(), written) && FlushFileBuffers(h.Get()) != 0;
    ok = h.Close() && ok;
    if (ok)
        ok = MoveFileExW(wideTemp.c_str(), Wide(path).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (!ok) DeleteFileW(wideTemp.c_str());
    return ok;
}

bool RemoveFile(const std::string& path) {
    if (DeleteFileW(Wide(path).c_str())) return true;
    const DWORD e = GetLastError();
    return e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND;
}

bool ListFiles(const std::string& dir, std::vector<std::string>& names) {
    names.clear();
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW(Wide(JoinPath(dir, "*")).c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND && DirExists(dir);
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) names.push_back(Narrow(found.cFileName));
    } while (FindNextFileW(h, &found));
    FindClose(h);
    return true;
}

std::int64_t FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data)) return -1;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return -1;
    return (static_cast<std::int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::string PackagedProgramPath() {
    return {}; // no system package manager installs the agent on Windows
}

bool SamePathText(const std::string& a, const std::string& b) {
    // Windows file names ignore letter case (as its own file system compares them).
    const std::wstring wa = Wide(a), wb = Wide(b);
    return CompareStringOrdinal(wa.c_str(), static_cast<int>(wa.size()), wb.c_str(), static_cast<int>(wb.size()),
                                TRUE) == CSTR_EQUAL;
}

bool InstallProgramFile(const std::string& source, const std::string& target, std::string& error) {
    const std::wstring wideTarget = Wide(target);
    {
        // A running program cannot be opened for writing: the store must quit the installed copy.
        TWinHandle busy(CreateFileW(wideTarget.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!busy.Valid() && GetLastError() == ERROR_SHARING_VIOLATION) {
            error = ErrorText(ERROR_SHARING_VIOLATION);
            return false;
        }
    }
    // Copied beside the target and moved over it: a full disk or a crash leaves the old program.
    const std::string temp = target + ".new";
    const std::wstring wideTemp = Wide(temp);
    if (!CopyFileW(Wide(source).c_str(), wideTemp.c_str(), FALSE)) {
        error = ErrorText(GetLastError());
        return false;
    }
    {
        TWinHandle h(CreateFileW(wideTemp.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                 nullptr));
        if (h.Valid()) FlushFileBuffers(h.Get());
    }
    if (!MoveFileExW(wideTemp.c_str(), wideTarget.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = ErrorText(GetLastError());
        DeleteFileW(wideTemp.c_str());
        return false;
    }
    return true;
}

} // namespace pavona::platform
