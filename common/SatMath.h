// Money sums that saturate at the ends of the 64-bit range instead of wrapping: amounts come from
// POS columns and spooled texts, and a wrapped sum would show a huge total as a negative one.
#pragma once

#include <cstdint>
#include <limits>

namespace pavona {

inline std::int64_t SatAdd(std::int64_t a, std::int64_t b) {
    std::int64_t r;
    if (__builtin_add_overflow(a, b, &r))
        return b > 0 ? std::numeric_limits<std::int64_t>::max() : std::numeric_limits<std::int64_t>::min();
    return r;
}

inline std::int64_t SatSub(std::int64_t a, std::int64_t b) {
    std::int64_t r;
    if (__builtin_sub_overflow(a, b, &r))
        return b < 0 ? std::numeric_limits<std::int64_t>::max() : std::numeric_limits<std::int64_t>::min();
    return r;
}

} // namespace pavona
