// The console modes that act without the window: enrolment, the self check with its POS probe and
// the round-trip test with the server. Every line goes to the stream the caller gives.
#pragma once

#include "common/DateTime.h"
#include "config/AgentSettings.h"

#include <cstdint>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace pavona {

// Closing advice and one line read from `in`, only when the program opened its own console
// (a console it borrowed from a shell stays open anyway).
void ConsoleWait(bool ownConsole, std::ostream& out, std::istream& in);

// "12, 0, word, 34" → 12, 34: pieces trimmed, read as decimal, zeros and non-numbers left out.
std::vector<std::int64_t> ParseCodeList(const std::string& text);
// A probe window bound: exactly "yyyy-mm-dd", a real date from the year 2000 on; 0 otherwise.
TDateTime ParseProbeDate(const std::string& text);

// /enroll: turns a one-time code into the store's key and number and saves them. Returns the exit
// code (1 when the enrolment or the saving failed; the settings are then as they were).
int EnrollConsole(const std::string& code, const std::string& baseUrl, std::ostream& out);

// /selfcheck: prints the settings, asks the server for the policy and probes the POS. Changes
// nothing anywhere. False (exit code 1) when the settings are invalid, the server refused or could
// not be asked, or the probe window's dates cannot be read.
bool SelfCheck(const std::string& fromText, const std::string& toText, const std::string& codesText,
               std::ostream& out);
// The POS probe, step by step; stops at the first step that leaves nothing to go on with.
void ProbePos(const TAgentSettings& settings, const std::vector<std::int64_t>& designated,
              const std::vector<std::int64_t>& linkCodes, const std::string& fromText,
              const std::string& toText, std::ostream& out);

// /report: sample lines through the spool to the server and one sample void back. Returns the
// exit code (2 on any failure). An empty `spoolDir` means the agent's own spool; the day's other
// pending lines go with the samples in requests of the cycle's size.
int ReportRoundTrip(int count, const std::string& spoolDir, std::ostream& out);

// The reason the sample void carries.
extern const char* const kSampleVoidReason;

} // namespace pavona
