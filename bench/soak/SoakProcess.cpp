// Starting, reading and measuring the soaked agent (Linux: fork, pipes and /proc).
#include "bench/soak/SoakProcess.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace pavona::soak {

bool TChild::Start(const std::vector<std::string>& argv, const std::vector<std::string>& env, std::string& error) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        error = std::strerror(errno);
        return false;
    }
    FPid = fork();
    if (FPid < 0) {
        error = std::strerror(errno);
        return false;
    }
    if (FPid == 0) {
        dup2(pipeFds[1], STDERR_FILENO);
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0) dup2(null, STDOUT_FILENO);
        close(pipeFds[0]);
        close(pipeFds[1]);
        for (const std::string& e : env)
            putenv(strdup(e.c_str()));
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(pipeFds[1]);
    FErr = pipeFds[0];
    return true;
}

TChild::~TChild() {
    if (FPid > 0) Stop(2000);
    if (FErr >= 0) close(FErr);
}

bool TChild::ReadLine(std::string& line, int timeoutMs) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const size_t lf = FBuffer.find('\n');
        if (lf != std::string::npos) {
            line = FBuffer.substr(0, lf);
            FBuffer.erase(0, lf + 1);
            return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        if (left.count() <= 0 || FErr < 0) return false;
        pollfd p{FErr, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
        char buf[4096];
        const ssize_t n = read(FErr, buf, sizeof buf);
        if (n <= 0) return false;
        FBuffer.append(buf, static_cast<size_t>(n));
    }
}

TProcessSample TChild::Sample() const {
    TProcessSample s;
    const std::string proc = "/proc/" + std::to_string(FPid);
    std::ifstream status(proc + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) s.RssKb = std::atol(line.c_str() + 6);
        if (line.rfind("Threads:", 0) == 0) s.Threads = std::atoi(line.c_str() + 8);
    }
    if (DIR* d = opendir((proc + "/fd").c_str())) {
        while (const dirent* e = readdir(d))
            if (e->d_name[0] != '.') ++s.Fds;
        closedir(d);
    }
    return s;
}

int TChild::Stop(int graceMs) {
    if (FPid <= 0) return -1;
    kill(FPid, SIGTERM);
    int status = 0;
    for (int waited = 0; waited < graceMs; waited += 50) {
        // Its last words are read meanwhile: a full pipe would hold its exit up.
        pollfd p{FErr, POLLIN, 0};
        char buf[4096];
        while (FErr >= 0 && poll(&p, 1, 0) > 0) {
            const ssize_t n = read(FErr, buf, sizeof buf);
            if (n <= 0) break;
            FBuffer.append(buf, static_cast<size_t>(n));
        }
        if (waitpid(FPid, &status, WNOHANG) == FPid) {
            FPid = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(FPid, SIGKILL);
    waitpid(FPid, &status, 0);
    FPid = -1;
    return -1;
}

} // namespace pavona::soak
