// The budget levels, in the order every table and image export uses.
#pragma once

namespace pavona {

enum TLimitLevel : int { llUnknown, llNormal, llCaution, llImminent, llExhausted, llDisabled };

} // namespace pavona
