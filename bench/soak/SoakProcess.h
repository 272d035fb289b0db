// The soaked agent as a child process: started with its standard error on a pipe, read line by
// line, and measured through /proc (resident memory, open descriptors, threads).
#pragma once

#include <sys/types.h>

#include <cstdio>
#include <string>
#include <vector>

namespace pavona::soak {

struct TProcessSample {
    long RssKb = 0;
    int Fds = 0;
    int Threads = 0;
};

class TChild {
  public:
    // Starts `argv` with `env` added to this process's environment; standard output is dropped.
    bool Start(const std::vector<std::string>& argv, const std::vector<std::string>& env, std::string& error);
    ~TChild();

    // The next line of the child's standard error, waiting at most `timeoutMs`; false at its end
    // or when the time is up.
    bool ReadLine(std::string& line, int timeoutMs);
    TProcessSample Sample() const;
    // Asks the child to end (SIGTERM) and waits for it; the exit code, or -1 when it had to be
    // killed or died of a signal.
    int Stop(int graceMs);
    pid_t Pid() const { return FPid; }

  private:
    pid_t FPid = -1;
    int FErr = -1;
    std::string FBuffer;
};

} // namespace pavona::soak
