// The system's request to end (SIGTERM, SIGINT) reaches the agent as a call instead of ending the
// process on the spot, and the old behaviour comes back when the watch ends.
#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <future>
#include <unistd.h>

namespace pavona::platform {
namespace {

TEST(EndWatch, TermAndIntBecomeACallAndTheProcessLivesOn) {
    for (const int sig : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(sig);
        struct sigaction before {};
        ASSERT_EQ(::sigaction(sig, nullptr, &before), 0);
        {
            std::promise<void> asked;
            std::future<void> heard = asked.get_future();
            std::atomic<int> calls{0};
            const auto watch = WatchEndRequests([&] {
                if (calls++ == 0) asked.set_value();
            });
            ASSERT_NE(watch, nullptr);
            ASSERT_EQ(::kill(::getpid(), sig), 0);
            EXPECT_EQ(heard.wait_for(std::chrono::seconds(5)), std::future_status::ready);
            EXPECT_EQ(calls.load(), 1);
        }
        // The watch is gone: the signal's handling is what it was before.
        struct sigaction after {};
        ASSERT_EQ(::sigaction(sig, nullptr, &after), 0);
        EXPECT_EQ(after.sa_handler, before.sa_handler);
    }
}

} // namespace
} // namespace pavona::platform
