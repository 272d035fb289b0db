// The newest sale time the spool holds: where collection starts again when the stored watermark
// cannot be trusted.
#pragma once

#include "common/DateTime.h"

#include <string>

namespace pavona {

// The latest "sold_at" (local time) of the sales day files in `dir` that is not after `notAfter`;
// 0 when the spool holds no such line. Reads day files newest first and stops early.
TDateTime NewestSpooledSale(const std::string& dir, TDateTime notAfter);

} // namespace pavona
