// Folders and files on Linux: POSIX calls so that appends are single writes and flushes reach disk.
#include "platform/Platform.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pavona::platform {
namespace {

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
    const int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
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
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char buf[65536];
    bool ok = true;
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            ok = false;
            break;
        }
        if (n == 0) break;
        out.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return ok;
}

bool AppendToFile(const std::string& path, const std::string& bytes, bool durable) {
    const bool existed = FileExists(path);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    struct stat before;
    const bool sized = ::fstat(fd, &before) == 0;
    size_t written = 0;
    bool ok = WriteAll(fd, bytes.data(), bytes.size(), &written);
    if (ok && durable) ok = ::fsync(fd) == 0;
    if (!ok && written > 0 && sized) {
        // A full disk may take half a line. Left there it would later read as a damaged line,
        // although the caller writes the whole line again: the file goes back to what it was.
        // Our bytes are the last ones in the file unless another writer appended after them.
        struct stat after;
        if (::fstat(fd, &after) == 0 && after.st_size >= before.st_size + static_cast<off_t>(written)) {
            const off_t start = after.st_size - static_cast<off_t>(written);
            if (start >= before.st_size && ::ftruncate(fd, start) == 0 && durable) ::fsync(fd);
        }
    }
    ok = ::close(fd) == 0 && ok;
    if (ok && durable && !existed) ok = SyncDir(ParentDir(path));
    return ok;
}

bool ReplaceFileAtomic(const std::string& path, const std::string& bytes) {
    // A name per process, so two processes replacing the same file never share a temporary.
    const std::string temp = path + ".tmp" + std::to_string(::getpid());
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    bool ok = WriteAll(fd, bytes.data(), bytes.size()) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
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
    DIR* d = ::opendir(dir.c_str());
    if (!d) return false;
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        if (FileExists(JoinPath(dir, name))) names.push_back(name);
    }
    ::closedir(d);
    return true;
}

std::int64_t FileSize(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return -1;
    return static_cast<std::int64_t>(st.st_size);
}

bool SamePathText(const std::string& a, const std::string& b) {
    // Two paths that differ in letter case name two different files here.
    return a == b;
}

bool InstallProgramFile(const std::string& source, const std::string& target, std::string& error) {
    // A running installed copy must be quit first, so the store never keeps running the old one
    // while the new one only waits for the next restart.
    const int busy = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
    if (busy >= 0) {
        ::close(busy);
    } else if (errno == ETXTBSY) {
        error = std::strerror(errno);
        return false;
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
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0755);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    bool ok = WriteAll(fd, bytes.data(), bytes.size()) && ::fchmod(fd, 0755) == 0 && ::fsync(fd) == 0;
    int code = ok ? 0 : errno;
    if (::close(fd) != 0 && ok) {
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
    const int dir = ::open(ParentDir(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

} // namespace pavona::platform
