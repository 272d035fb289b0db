// The budget levels, in the order every table and image export uses.
#pragma once

namespace pavona {

// A fixed underlying int: a value outside the list (one converted from a number) must still be
// representable, so that it draws and reads as unknown instead of being undefined.
enum class TLimitLevel : int { Unknown, Normal, Caution, Imminent, Exhausted, Disabled };

} // namespace pavona
