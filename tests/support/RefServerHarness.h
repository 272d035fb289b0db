// Test harness for the reference association server: runs pavona-refserver as a child process
// on a free 127.0.0.1 port with its own certificates, state file and test API.
#pragma once

#include "tests/support/TestSupport.h"

#include <cstdint>
#include <memory>
#include <string>

namespace pavona::test {

// One injected misbehaviour for the next `Times` requests to one path (query left out, for example
// "/api/agent/sales" or "/api/auth/agent"). Fields combine: a delay is served first, then a drop,
// a redirect, a non-JSON body or a status; with only a delay the request is then answered normally.
struct RefFault {
    int Status = 0;             // answer with this status and `Body` (0: no status fault)
    std::string Body;           // body of the status answer (may be empty)
    std::int64_t BodyBytes = 0; // pad that body with blanks to this many bytes (an oversized answer)
    int DelayMs = 0;            // wait this long before answering (beyond the client's time-outs if wanted)
    bool NonJson = false;       // answer 200 with an HTML body that is not JSON
    bool Redirect = false;      // answer 302 with a Location on the same server
    bool Drop = false;          // close the connection without any answer
    int Times = 1;              // how many of the next requests to that path it applies to; <= 0 clears
    int Skip = 0;               // requests to that path answered normally before the fault starts
};

// The server's bookkeeping for one store, as the test API reports it.
struct RefSummary {
    bool Ok = false;          // the summary could be read
    int64_t Accepted = 0;     // sale lines taken as new
    int64_t Duplicated = 0;   // sale lines answered "duplicated"
    int64_t Rejected = 0;     // sale lines rejected with a reason
    int64_t CouponsKnown = 0; // coupons in the store's coupon master
    int64_t CorrectionsApplied = 0;
    int64_t CorrectionsSkipped = 0;
    int64_t Heartbeats = 0;      // status heartbeats kept
    int64_t MappingRequests = 0; // mapping requests answered 200
    int64_t Allocated = 0;
    int64_t OffsetOutstanding = 0;
    int64_t ReportedExecuted = 0; // subsidy of the accepted lines after corrections
    int64_t Remaining = 0;        // allocated - offsets - reported_executed, not below 0
};

class RefServer {
  public:
    // Makes certificates and a state file in a fresh temporary folder and starts the server with
    // --test-api on a free port. Check Running() / StartError() before use.
    explicit RefServer(int sessionSeconds = 3600);
    // Whether this system can run the server for tests at all, and if not why (a Windows test run
    // without the trusted certificates its runner sets up); such tests skip.
    static bool CanRun(std::string* why);
    ~RefServer(); // Stop()
    RefServer(const RefServer&) = delete;
    RefServer& operator=(const RefServer&) = delete;

    bool Running() const;
    const std::string& StartError() const { return FStartError; }
    // Text of the last failed harness call (test API answer or transport error).
    const std::string& LastError() const { return FLastError; }

    std::string BaseUrl() const; // "https://127.0.0.1:PORT" ("https://localhost:PORT" under wine)
    int Port() const { return FPort; }
    std::string CaFile() const;    // the CA certificate the server's certificate is signed with
    std::string StateFile() const; // the server's SQLite state
    std::string Folder() const { return FDir.Path(); }
    std::string ServerLog() const; // everything the server wrote to stderr so far

    // Adds (or replaces) a store: its business number, an agent key, the point label ("member_code
    // sign_name", split at the first blank), the point id and the policy JSON (see --help).
    bool AddStore(const std::string& businessNo, const std::string& agentKey, const std::string& pointLabel,
                  const std::string& pointId, const std::string& policyJsonText);
    // Replaces a known store's policy JSON; the policy's revision goes up by one.
    bool SetPolicy(const std::string& businessNo, const std::string& policyJsonText);
    // The association decides the store's current assignment of a goods ("confirmed" or
    // "rejected"); the decision comes back in the store's next policy document.
    bool Decide(const std::string& businessNo, const std::string& vendorCode, const std::string& verdict,
                const std::string& reason = "");
    // Issues a one-time enrolment code valid for `hours` from the server's clock (negative: already
    // expired). Returns the code, empty on failure.
    std::string IssueCode(const std::string& businessNo, double hours = 72, const std::string& code = "");

    bool Fault(const std::string& path, const RefFault& fault);
    bool Fault(const std::string& path, int status, int delayMs = 0, bool nonJson = false,
               bool redirect = false, bool drop = false, int times = 1);
    bool ClearFaults();

    // Lifetime of sessions created from now on.
    bool SetSessionSeconds(int seconds);
    // Ends every current session: the next authenticated request gets 401.
    bool ExpireSessions();
    // Moves the server's clock by this many seconds from the real time (enrolment expiry).
    bool SetClockOffset(int64_t seconds);

    // What the server received on one path ("" for every path), oldest first, as a JSON array of
    // objects {"method","path","query","content_type","cookie","body","status","store","fault","at"}:
    // "body" is the exact request body text, "status" the status answered, "store" the session's
    // store (empty without session), "fault" true when an injected fault answered it.
    std::string Received(const std::string& path = "");
    bool ClearReceived();

    RefSummary Summary(const std::string& businessNo);
    // The --report text of the state file (runs the server binary on it).
    std::string ReportText(const std::string& businessNo = "");

    // Asks the server to stop through the test API, as a starter without signals must; true once
    // it no longer answers.
    bool RequestStop();
    // Stops and starts the server again on the same port and state file (sessions are lost).
    bool Restart();
    void Stop();

  private:
    bool Start(int port);
    // POSTs JSON to the test API; returns the status (0 when no answer) and the body.
    int Post(const std::string& path, const std::string& json, std::string* body = nullptr);
    int Get(const std::string& path, std::string* body);

    TempDir FDir;
    int FSessionSeconds = 3600;
    int FPort = 0;
    // The running server as each system knows it (tests/support/<os>/RefServerOs.cpp).
    struct TProcess;
    std::unique_ptr<TProcess> FProc;
    std::string FStartError;
    std::string FLastError;
};

// Path of the server binary the harness starts.
std::string RefServerBinary();

} // namespace pavona::test
