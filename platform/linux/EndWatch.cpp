// SIGTERM and SIGINT turned into a call on a thread of our own: the handler only writes one byte to
// a pipe (all a signal handler may safely do), and the watching thread does the rest.
#include "platform/Platform.h"

#include "platform/linux/UniqueFd.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace pavona::platform {
namespace {

std::atomic<int> gWakeFd{-1};

void OnSignal(int) {
    const int saved = errno;
    const int fd = gWakeFd.load();
    if (fd >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);
    }
    errno = saved;
}

class LinuxEndWatch : public EndWatch {
  public:
    LinuxEndWatch(TUniqueFd readEnd, TUniqueFd writeEnd, std::function<void()> onRequest)
        : FRead(std::move(readEnd)), FWrite(std::move(writeEnd)) {
        gWakeFd = FWrite.Get();
        struct sigaction sa {};
        sa.sa_handler = OnSignal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART;
        ::sigaction(SIGTERM, &sa, &FOldTerm);
        ::sigaction(SIGINT, &sa, &FOldInt);
        FThread = std::thread([this, onRequest = std::move(onRequest)] {
            while (!FStop) {
                pollfd p{FRead.Get(), POLLIN, 0};
                if (::poll(&p, 1, 200) <= 0) continue;
                char buf[16];
                if (::read(FRead.Get(), buf, sizeof buf) > 0 && onRequest) onRequest();
            }
        });
    }
    // The old dispositions come back before the pipe closes, so no signal writes to a closed pipe.
    ~LinuxEndWatch() override {
        ::sigaction(SIGTERM, &FOldTerm, nullptr);
        ::sigaction(SIGINT, &FOldInt, nullptr);
        gWakeFd = -1;
        FStop = true;
        if (FThread.joinable()) FThread.join();
    }

  private:
    TUniqueFd FRead, FWrite;
    struct sigaction FOldTerm {};
    struct sigaction FOldInt {};
    std::atomic<bool> FStop{false};
    std::thread FThread;
};

} // namespace

std::unique_ptr<EndWatch> WatchEndRequests(std::function<void()> onRequest) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return nullptr;
    return std::make_unique<LinuxEndWatch>(TUniqueFd(fds[0]), TUniqueFd(fds[1]), std::move(onRequest));
}

} // namespace pavona::platform
