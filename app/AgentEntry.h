// The program's command line: which run mode the first argument selects, the arguments each mode
// takes, and running the mode with its console lines and exit code.
#pragma once

#include "platform/Platform.h"

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace pavona {

enum class TRunMode { Icons, Install, Uninstall, Report, Enroll, Once, MapRequest, SelfCheck, Resident };

struct TCommandLine {
    TRunMode Mode = TRunMode::Resident;
    std::vector<std::string> Args; // the arguments after the program name; position 1 is Args[0]
    bool Tray = false;             // resident mode: "/tray" or "-tray" anywhere
    int SampleCount = 0;           // /report: the value after "-sample", 0 when absent or not a number
    std::string SpoolArg;          // /report: the value after "-spool"

    // Argument at a position counted from 1 after the program name; empty when missing.
    std::string Arg(size_t position) const;
};

TCommandLine ParseCommandLine(const std::vector<std::string>& args);

// Exit codes of the program.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitReportFailed = 2;
// A mode whose work is not built yet says so and ends with this code, never with success.
constexpr int kExitNotBuilt = 3;

// Runs the resident agent once the single-instance rule let this process be the one (it listens on
// `instance` for later starts); returns the exit code. The window build passes its own; without
// one the program says the window is missing.
using TResidentRunner = std::function<int(const TCommandLine&, platform::SingleInstance& instance)>;

// Runs the mode the command line selects, printing to `out`; returns the exit code.
int RunAgent(const std::vector<std::string>& args, std::ostream& out,
             const TResidentRunner& resident = nullptr);

} // namespace pavona
