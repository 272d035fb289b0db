// The sales part of the demo POS: master rows, then receipts, cancels and returns day by day,
// tallied into the summary as they are written.
#pragma once

#include "tools/demopos/DemoDb.h"
#include "tools/demopos/DemoPos.h"

namespace pavona::demopos {

// Writes everything inside the caller's transaction; false with db.Error() set on a failed write.
bool GenerateSales(TDemoDb& db, const TDemoOptions& options, TDateTime firstDay, TDemoSummary& summary);

} // namespace pavona::demopos
