// The console helpers without server or POS: the coupon list argument, the probe dates and the
// closing wait.
#include "app/AgentConsole.h"

#include <gtest/gtest.h>

#include <sstream>

namespace pavona {
namespace {

TEST(AgentConsoleTest, CouponListKeepsTheNumbersOtherThanZero) {
    const struct {
        const char* Text;
        std::vector<std::int64_t> Codes;
    } cases[] = {
        {"12, 0, word, 34", {12, 34}},
        {"  7001,7002 ", {7001, 7002}},
        {"", {}},
        {",,", {}},
        {"-5, 9223372036854775807, 9223372036854775808", {-5, 9223372036854775807LL}},
        {"12 34, 5", {5}}, // a piece with a blank inside is not a number
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseCodeList(c.Text), c.Codes) << c.Text;
}

TEST(AgentConsoleTest, ProbeDatesAreTenCharacterRealDatesFrom2000) {
    const struct {
        const char* Text;
        TDateTime Day;
    } cases[] = {
        {"2025-10-01", EncodeDate(2025, 10, 1)},
        {"2000-01-01", EncodeDate(2000, 1, 1)},
        {"2024-02-29", EncodeDate(2024, 2, 29)},
        {"1999-12-31", 0},
        {"2025-1-01", 0},
        {"2025-02-29", 0},
        {"2025-13-01", 0},
        {"2025/10/01", 0},
        {" 2025-10-01", 0},
        {"", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseProbeDate(c.Text), c.Day) << c.Text;
}

TEST(AgentConsoleTest, OnlyAConsoleOfItsOwnWaitsForEnter) {
    std::istringstream in("\nrest\n");
    std::ostringstream borrowed;
    ConsoleWait(false, borrowed, in);
    EXPECT_EQ(borrowed.str(), "");
    std::ostringstream own;
    ConsoleWait(true, own, in);
    EXPECT_EQ(own.str(), "\n아무 키나 누르면 닫힙니다...");
    std::string left;
    std::getline(in, left);
    EXPECT_EQ(left, "rest"); // exactly one line was read
}

} // namespace
} // namespace pavona
