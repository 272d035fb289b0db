// The process-wide clock pointer; null means the system clock.
#include "platform/Clock.h"

#include "platform/Platform.h"

#include <atomic>

namespace pavona {
namespace {
std::atomic<const Clock*> gClock{nullptr};
}

TDateTime Now() {
    const Clock* c = gClock.load();
    return c ? c->Now() : platform::SystemNowLocal();
}

TDateTime Today() {
    return DateOf(Now());
}

TDateTime FixedClock::Now() const {
    std::lock_guard<std::mutex> lock(FLock);
    return FTime;
}

void FixedClock::Set(TDateTime t) {
    std::lock_guard<std::mutex> lock(FLock);
    FTime = t;
}

void FixedClock::AdvanceMs(std::int64_t ms) {
    std::lock_guard<std::mutex> lock(FLock);
    FTime = FromMSecs(ToMSecs(FTime) + ms);
}

ScopedClock::ScopedClock(const Clock& clock) : FPrevious(gClock.exchange(&clock)) {}
ScopedClock::~ScopedClock() {
    gClock.store(FPrevious);
}

} // namespace pavona
