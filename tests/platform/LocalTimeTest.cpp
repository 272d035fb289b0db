// The local offset from UTC follows the zone the system names (TZ on Linux), for a given local time.
#include "common/DateTime.h"
#include "platform/Platform.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <ctime>

namespace pavona {
namespace {

TEST(LocalUtcOffset, FollowsTheTimeZone) {
    const TDateTime t = EncodeDateTime(2025, 10, 6, 9, 20, 0);
    {
        test::ScopedEnv tz("TZ", "Asia/Seoul");
        tzset();
        EXPECT_EQ(platform::LocalUtcOffsetMinutes(t), 540);
    }
    {
        test::ScopedEnv tz("TZ", "<-0330>3:30");
        tzset();
        EXPECT_EQ(platform::LocalUtcOffsetMinutes(t), -210);
    }
    tzset();
}

} // namespace
} // namespace pavona
