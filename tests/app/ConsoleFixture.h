// Shared ground of the console mode tests: a temporary data folder, the reference association
// server over HTTPS on 127.0.0.1 with one store, a generated demo POS reached through the SQLite3
// ODBC driver, and running a mode with its printed lines captured.
#pragma once

#include "config/AgentSettings.h"
#include "tests/support/RefServerHarness.h"
#include "tests/support/TestSupport.h"
#include "tools/demopos/DemoPos.h"

#include <memory>
#include <string>
#include <vector>

namespace pavona::test {

inline constexpr char kStore[] = "1234567890";
inline constexpr char kKey[] = "agent-key-77";
inline constexpr char kPointLabel[] = "M7 솔빛마트";
// The designated coupons of the policy are the demo POS's designated coupons.
inline constexpr char kPolicy[] = R"({"enabled":true,"program":{"code":"P25","name":"가을 농할",
  "starts_on":"2025-09-01","ends_on":"2025-12-31"},"budget":{"allocated":5000000},
  "subsidy_coupon_codes":[7001,7002,7003,7004],
  "items":[{"vendor_item_code":"512","standard_item_code":"S-01","item_name":"대파","discount_rate":20,
            "discount_cap":10000}]})";

struct ModeRun {
    int ExitCode = -1;
    std::string Out;
};

class ConsoleTest : public TempDataTest {
  protected:
    void SetUp() override;

    // Starts the server with the store (first call only); false with the reason in the failure.
    void StartServer();
    // Makes the demo POS (seed 7, seven days from 2025-10-01 unless changed) and returns its path.
    demopos::TDemoSummary MakePos(int days = 7, int receiptsPerDay = 40);
    std::string PosConnStr() const;
    // Saves complete settings: the server's URL, the store, its key and the demo POS.
    void SaveCompleteSettings(const std::string& store = kStore, const std::string& key = kKey);
    ModeRun Run(const std::vector<std::string>& args);

    std::unique_ptr<RefServer> FServer;
    std::unique_ptr<ScopedEnv> FCa;
    std::string FPos;
};

} // namespace pavona::test
