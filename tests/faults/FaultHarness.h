// Shared ground of the fault harness: a demo POS of a given size, an engine driven cycle by cycle
// until it has nothing left to do, and the figures every scenario ends with.
#pragma once

#include "tests/engine/EngineFixture.h"

#include <cstdint>
#include <set>
#include <string>

namespace pavona::test {

// The outcome of one scenario, as the POS and the server count it.
struct FaultFigures {
    std::string Scenario;
    std::int64_t PosLines = 0;   // reportable lines the POS holds
    std::int64_t Accepted = 0;   // lines the server took as new
    std::int64_t Duplicated = 0; // lines the server answered as already had
    std::int64_t Missing = 0;    // POS lines the server never got
    std::int64_t Unreadable = 0; // damaged spool lines the agent counted (and logged)
    std::string Notes;
};

class FaultHarnessTest : public EngineTest {
  protected:
    void SetUp() override;

    // POS lines of a scenario: PAVONA_FAULT_LINES, or `fallback` (the short run's size).
    static std::int64_t LinesWanted(std::int64_t fallback = 1000);
    // Demo sales without corrections on `days` days ending 2026-10-05, holding at least `lines`
    // reportable lines in all; returns how many it holds.
    std::int64_t MakePos(std::int64_t lines, int days = 1);
    // Cycles ten minutes apart until nothing is pending and the watermark is within a window of
    // now, at most `maxCycles`; returns the cycles run.
    int Drain(TAgentEngine& engine, int maxCycles = 80);
    bool CaughtUp();
    // Damaged lines of every sales day file, as the spool counts them.
    std::int64_t UnreadableLines();
    // Keys of the reportable sale lines the POS holds, sold before `to` (read through the POS reader,
    // as the agent reads them).
    std::set<std::string> PosKeysBefore(TDateTime to);
    // Keys of every line the sales day files hold (sent or not) and of every line marked sent.
    std::set<std::string> SpooledKeys();
    std::set<std::string> SentKeys();
    // The agent log of every day the scenarios touch.
    std::string AllLogs();
    void Later(int minutes) { FClock.Set(IncMinute(FClock.Now(), minutes)); }
    FaultFigures Figures(const std::string& scenario, std::int64_t posLines, const std::string& notes = "");
    // Prints the row and appends it to the file PAVONA_FAULT_TABLE names (the tool's table).
    static void Record(const FaultFigures& f);
};

} // namespace pavona::test
