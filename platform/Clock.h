// The injectable source of "now": production reads the system clock, tests set the time.
#pragma once

#include "common/DateTime.h"

#include <mutex>

namespace pavona {

class Clock {
  public:
    virtual ~Clock() = default;
    virtual TDateTime Now() const = 0;
};

// Local time now from the current clock.
TDateTime Now();
// Today's midnight from the current clock.
TDateTime Today();

// A clock that stands still until moved.
class FixedClock : public Clock {
  public:
    explicit FixedClock(TDateTime t) : FTime(t) {}
    TDateTime Now() const override;
    void Set(TDateTime t);
    void AdvanceMs(std::int64_t ms);

  private:
    mutable std::mutex FLock;
    TDateTime FTime;
};

// Installs a clock for the life of the object, then restores the previous one.
class ScopedClock {
  public:
    explicit ScopedClock(const Clock& clock);
    ~ScopedClock();
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;

  private:
    const Clock* FPrevious;
};

} // namespace pavona
