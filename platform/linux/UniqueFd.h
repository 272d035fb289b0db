// Ownership of one POSIX file descriptor: closed when the owner goes out of scope, so no early
// return or exception leaks it.
#pragma once

#include <unistd.h>

#include <utility>

namespace pavona::platform {

class TUniqueFd {
  public:
    TUniqueFd() = default;
    // Takes over `fd`; a negative value (a failed open) owns nothing.
    explicit TUniqueFd(int fd) : FFd(fd) {}
    ~TUniqueFd() { Reset(); }
    TUniqueFd(TUniqueFd&& other) noexcept : FFd(std::exchange(other.FFd, -1)) {}
    TUniqueFd& operator=(TUniqueFd&& other) noexcept {
        if (this != &other) {
            Reset();
            FFd = std::exchange(other.FFd, -1);
        }
        return *this;
    }
    TUniqueFd(const TUniqueFd&) = delete;
    TUniqueFd& operator=(const TUniqueFd&) = delete;

    int Get() const { return FFd; }
    bool Valid() const { return FFd >= 0; }

    // Closes now and tells whether close() succeeded: after writes a failed close can mean lost
    // bytes, so writers close explicitly and check (errno then holds the reason). The descriptor
    // is released either way and never closed twice.
    bool Close() {
        if (FFd < 0) return true;
        return ::close(std::exchange(FFd, -1)) == 0;
    }
    // Closes now without looking at the result: for descriptors that were only read or polled.
    void Reset() { static_cast<void>(Close()); }

  private:
    int FFd = -1;
};

} // namespace pavona::platform
