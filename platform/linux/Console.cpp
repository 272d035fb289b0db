// Console and process services on Linux: output is already UTF-8 on the caller's terminal, and
// a program never opens a console of its own.
#include "platform/Platform.h"

#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace pavona::platform {

bool AttachConsoleOutput() {
    std::fflush(stdout);
    return false;
}

bool StartDetached(const std::string& program, const std::vector<std::string>& args,
                   const std::string& workDir) {
    // Double fork: the grandchild is re-parented to init and outlives this process without a zombie.
    const pid_t child = ::fork();
    if (child < 0) return false;
    if (child == 0) {
        ::setsid();
        if (::fork() != 0) ::_exit(0);
        if (!workDir.empty() && ::chdir(workDir.c_str()) != 0) ::_exit(127);
        const int devnull = ::open("/dev/null", O_RDWR);
        if (devnull >= 0) {
            ::dup2(devnull, 0);
            ::dup2(devnull, 1);
            ::dup2(devnull, 2);
        }
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 && ::access(program.c_str(), X_OK) == 0;
}

} // namespace pavona::platform
