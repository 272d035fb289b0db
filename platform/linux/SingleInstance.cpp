// One resident agent per machine: an abstract Unix socket that the kernel frees when the process
// ends (so a crash never leaves a stale lock), which later starts connect to ask for the window.
#include "platform/Platform.h"

#include "platform/linux/UniqueFd.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace pavona::platform {
namespace {

socklen_t InstanceAddress(sockaddr_un& addr) {
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    const size_t n = std::strlen(kInstanceName);
    std::memcpy(addr.sun_path + 1, kInstanceName, n); // leading NUL: the abstract namespace
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + n);
}

class LinuxSingleInstance : public SingleInstance {
  public:
    explicit LinuxSingleInstance(TUniqueFd fd) : FFd(std::move(fd)) {}
    // The socket closes after the thread that polls it has ended (members go after the body).
    ~LinuxSingleInstance() override {
        FStop = true;
        if (FThread.joinable()) FThread.join();
    }

    void Listen(std::function<void()> onShow) override {
        if (FThread.joinable()) return;
        FThread = std::thread([this, onShow = std::move(onShow)] {
            while (!FStop) {
                pollfd p{FFd.Get(), POLLIN, 0};
                if (::poll(&p, 1, 200) <= 0) continue;
                char buf[64] = {};
                ssize_t n = 0;
                {
                    // The caller's connection is closed before the window is asked to show.
                    const TUniqueFd client(::accept4(FFd.Get(), nullptr, nullptr, SOCK_CLOEXEC));
                    if (!client.Valid()) continue;
                    pollfd c{client.Get(), POLLIN, 0};
                    if (::poll(&c, 1, 1000) > 0) n = ::read(client.Get(), buf, sizeof buf - 1);
                }
                if (n > 0 && std::strncmp(buf, kShowWindowMessage, std::strlen(kShowWindowMessage)) == 0 &&
                    onShow)
                    onShow();
            }
        });
    }

  private:
    TUniqueFd FFd;
    std::atomic<bool> FStop{false};
    std::thread FThread;
};

} // namespace

std::unique_ptr<SingleInstance> AcquireSingleInstance() {
    TUniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.Valid()) return nullptr; // counts as another instance running, as a failed lock must
    sockaddr_un addr;
    const socklen_t len = InstanceAddress(addr);
    if (::bind(fd.Get(), reinterpret_cast<sockaddr*>(&addr), len) != 0 || ::listen(fd.Get(), 8) != 0)
        return nullptr;
    return std::make_unique<LinuxSingleInstance>(std::move(fd));
}

bool RequestShowWindow() {
    const TUniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.Valid()) return false;
    sockaddr_un addr;
    const socklen_t len = InstanceAddress(addr);
    bool ok = ::connect(fd.Get(), reinterpret_cast<sockaddr*>(&addr), len) == 0;
    if (ok) {
        const std::string msg = std::string(kShowWindowMessage) + "\n";
        ok = ::send(fd.Get(), msg.data(), msg.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(msg.size());
    }
    return ok;
}

} // namespace pavona::platform
