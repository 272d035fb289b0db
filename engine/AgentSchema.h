// The schema guard: a fingerprint of the POS tables' columns, the decision whether sending may go
// on or is held until the association approves a changed schema, and the heartbeat's time texts.
#pragma once

#include "common/DateTime.h"
#include "common/Version.h"

#include <string>
#include <vector>

namespace pavona {

extern const char* const kHoldNotice;

// SHA-256 (64 lower-case hex characters) of the texts sorted by UTF-16 code units and joined by LF;
// empty for no texts.
std::string SchemaFingerprint(const std::vector<std::string>& texts);

struct THoldDecision {
    bool Ok = false;
    std::string NewHeld;
};
THoldDecision HoldDecision(const std::string& approved, const std::string& current, const std::string& held);

// "yyyy-mm-ddThh:nn:ss+09:00": POS times are Korean local time.
std::string IsoLocalTime(TDateTime t);
// "yyyy-mm-ddThh:nn:ss" and the given UTC offset as "+hh:mm" or "-hh:mm".
std::string IsoWithOffset(TDateTime t, int offsetMinutes);

} // namespace pavona
