// The POSIX side of the test support: environment variables, temporary folders, running a program.
#include "tests/support/TestSupport.h"

#include "platform/linux/UniqueFd.h"

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <signal.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace pavona::test {

ScopedEnv::ScopedEnv(const std::string& name, const std::string& value) : FName(name) {
    if (const char* old = std::getenv(name.c_str())) {
        FHad = true;
        FOld = old;
    }
    ::setenv(name.c_str(), value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
    if (FHad) {
        ::setenv(FName.c_str(), FOld.c_str(), 1);
    } else {
        ::unsetenv(FName.c_str());
    }
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(FPath, ec);
}

TempDir::TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "pavona-test-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    FPath = tmpl;
}

namespace {
void Drain(int fd, std::string& into) {
    char buf[4096];
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n > 0) into.append(buf, static_cast<size_t>(n));
}
} // namespace

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env, int timeoutMs) {
    ProcessResult result;
    int out[2], err[2];
    if (::pipe(out) != 0) return result;
    platform::TUniqueFd outRead(out[0]), outWrite(out[1]);
    if (::pipe(err) != 0) return result;
    platform::TUniqueFd errRead(err[0]), errWrite(err[1]);
    // The child never returns here (it runs the program or exits), so only this process closes.
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        const int devnull = ::open("/dev/null", O_RDONLY);
        ::dup2(devnull, 0);
        ::close(out[0]);
        ::close(err[0]);
        for (const auto& [k, v] : env)
            ::setenv(k.c_str(), v.c_str(), 1);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    outWrite.Reset();
    errWrite.Reset();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    bool outOpen = true, errOpen = true;
    while (outOpen || errOpen) {
        pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            ::kill(pid, SIGKILL);
            break;
        }
        if (::poll(fds, 2, static_cast<int>(left.count())) <= 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP))) continue;
            std::string& into = i == 0 ? result.Out : result.Err;
            const size_t before = into.size();
            Drain(fds[i].fd, into);
            if (into.size() == before) (i == 0 ? outOpen : errOpen) = false;
        }
    }
    outRead.Reset();
    errRead.Reset();
    int status = 0;
    ::waitpid(pid, &status, 0);
    result.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string HostPath(const std::string& path) {
    return path;
}

} // namespace pavona::test
