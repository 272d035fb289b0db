// Folders and files on Linux: POSIX calls so that appends are single writes and flushes reach disk.
#include "platform/Platform.h"

#include "platform/linux/UniqueFd.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pavona::platform {
namespace {

struct TDirClose {
    void operator()(DIR* d) const { ::closedir(d); }
};
using TDirPtr = std::unique_ptr<DIR, TDirClose>;

std::string HomeDir() {
    std::string home = Env("HOME");
    if (!home.empty()) return home;
    if (const passwd* pw = getpwuid(getuid())) return pw->pw_dir ? pw->pw_dir : "";
    return {};
}

bool WriteAll(int fd, const char* data, size_t size, size_t* written = nullptr) {
    if (written) *written = 0;
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
        if (written) *written += static_cast<size_t>(n);
    }
    return true;
}

bool SyncDir(const std::string& dir) {
    const TUniqueFd fd(::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.Valid()) return false;
    return ::fsync(fd.Get()) == 0;
}

} // namespace

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

std::string AgentDataDir() {
    std::string base = Env("LOCALAPPDATA");
    if (base.empty()) base = Env("XDG_DATA_HOME");
    if (base.empty()) base = JoinPath(HomeDir(), ".local/share");
    return JoinPath(base, "Pavona");
}

std::string UserProgramsRoot() {
    const std::string base = Env("LOCALAPPDATA");
    return base.empty() ? JoinPath(HomeDir(), ".local") : base;
}

std::string ExecutablePath() {
    char buf[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    return std::string(buf, static_cast<size_t>(n));
}

std::string JoinPath(const std::string& a, const std::string& b) {
    if (a.empty()) return b;
    std::string out = a;
    while (out.size() > 1 && out.back() == kPathSep)
        out.pop_back();
    size_t start = 0;
    while (start < b.size() && b[start] == kPathSep)
        ++start;
    if (out != "/") out.push_back(kPathSep);
    return out + b.substr(start);
}

std::string ParentDir(const std::string& path) {
    std::string p = path;
    while (p.size() > 1 && p.back() == kPathSep)
        p.pop_back();
    const size_t slash = p.rfind(kPathSep);
    if (slash == std::string::npos) return {};
    if (slash == 0) return "/";
    return p.substr(0, slash);
}

bool FileExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool MakeDirs(const std::string& path) {
    if (path.empty()) return false;
    if (DirExists(path)) return true;
    const std::string parent = ParentDir(path);
    if (!parent.empty() && parent != path && !DirExists(parent) && !MakeDirs(parent)) return false;
    return ::mkdir(path.c_str(), 0700) == 0 || (errno == EEXIST && DirExists(path));
}

bool ReadWholeFile(const std::string& path, std::string& out) {
    out.clear();
    const TUniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.Valid()) return false;
    char buf[65536];
    bool ok = true;
    for (;;) {
        const ssize_t n = ::read(fd.Get(), buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            ok = false;
            break;
        }
        if (n == 0) break;
        out.append(buf, static_cast<size_t>(n));
    }
    return ok;
}

bool AppendToFile(const std::string& path, const std::string& bytes, bool durable) {
    const bool existed = FileExists(path);
    TUniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600));
    if (!fd.Valid()) return false;
    struct stat before;
    const bool sized = ::fstat(fd.Get(), &before) == 0;
    size_t written = 0;
    bool ok = WriteAll(fd.Get(), bytes.data(), bytes.size(), &written);
    if (ok && durable) ok = ::fsync(fd.Get()) == 0;
    if (!ok && written > 0 && sized) {
        // A full disk may take half a line. Left there it would later read as a damaged line,
        // although the caller writes the whole line again: the file goes back to what it was.
        // Our bytes are the last ones in the file unless another writer appended after them.
        struct stat after;
        if (::fstat(fd.Get(), &after) == 0 && after.st_size >= before.st_size + static_cast<off_t>(written)) {
            const off_t start = after.st_size - static_cast<off_t>(written);
            if (start >= before.st_size && ::ftruncate(fd.Get(), start) == 0 && durable) ::fsync(fd.Get());
        }
    }
    // A close that fails after writing may have lost the bytes: it fails the append.
    ok = fd.Close() && ok;
    if (ok && durable && !existed) ok = SyncDir(ParentDir(path));
    return ok;
}

bool ReplaceFileAtomic(const std::string& path, const std::string& bytes) {
    // A name per process, so two processes replacing the same file never share a temporary.
    const std::string temp = path + ".tmp" + std::to_string(::getpid());
    TUniqueFd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (!fd.Valid()) return false;
    bool ok = WriteAll(fd.Get(), bytes.data(), bytes.size()) && ::fsync(fd.Get()) == 0;
    // Closed before the rename, and a failed close keeps the old file.
    ok = fd.Close() && ok;
    if (ok) ok = ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    return SyncDir(ParentDir(path));
}

bool RemoveFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

bool ListFiles(const std::string& dir, std::vector<std::string>& names) {
    names.clear();
    const TDirPtr d(::opendir(dir.c_str()));
    if (!d) return false;
    while (const dirent* e = ::readdir(d.get())) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        if (FileExists(JoinPath(dir, name))) names.push_back(name);
    }
    return true;
}

std::int64_t FileSize(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return -1;
    return static_cast<std::int64_t>(st.st_size);
}

std::string PackagedProgramPath() {
    return "/usr/bin/pavona-agent";
}

bool SamePathText(const std::string& a, const std::string& b) {
    // Two paths that differ in letter case name two different files here.
    return a == b;
}

bool InstallProgramFile(const std::string& source, const std::string& target, std::string& error) {
    // A running installed copy must be quit first, so the store never keeps running the old one
    // while the new one only waits for the next restart.
    {
        // Opened for writing only to ask; closed again at once so the old copy is not held open.
        const TUniqueFd busy(::open(target.c_str(), O_WRONLY | O_CLOEXEC));
        if (!busy.Valid() && errno == ETXTBSY) {
            error = std::strerror(errno);
            return false;
        }
    }
    std::string bytes;
    errno = 0;
    if (!ReadWholeFile(source, bytes)) {
        error = std::strerror(errno ? errno : EIO);
        return false;
    }
    // Written beside the target and renamed over it: a full disk or a crash leaves the old
    // program (or none), never a torn one that autostart would then run.
    const std::string temp = target + ".new";
    TUniqueFd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0755));
    if (!fd.Valid()) {
        error = std::strerror(errno);
        return false;
    }
    bool ok = WriteAll(fd.Get(), bytes.data(), bytes.size()) && ::fchmod(fd.Get(), 0755) == 0 &&
              ::fsync(fd.Get()) == 0;
    int code = ok ? 0 : errno;
    if (!fd.Close() && ok) {
        ok = false;
        code = errno;
    }
    if (ok && ::rename(temp.c_str(), target.c_str()) != 0) {
        ok = false;
        code = errno;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        error = std::strerror(code ? code : EIO);
        return false;
    }
    const TUniqueFd dir(::open(ParentDir(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Valid()) ::fsync(dir.Get());
    return true;
}

} // namespace pavona::platform
