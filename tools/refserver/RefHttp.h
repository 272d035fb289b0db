// The reference association's HTTPS front: agent login with session cookies, the report, policy,
// enrolment and mapping endpoints, and (for tests only) fault injection and inspection.
#pragma once

#include "tools/refserver/RefState.h"

#include <httplib.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>

namespace pavona::refserver {

struct RefOptions {
    std::string State, Cert, Key;
    int Port = 0;              // 0: any free port
    int SessionSeconds = 3600; // lifetime of a login session
    bool TestApi = false;      // fault injection and inspection under /test/
};

// Serves until SIGTERM or SIGINT; prints "listening on https://127.0.0.1:<port>" once ready.
// Returns the process exit code.
int RunServer(const RefOptions& options);

struct RefFaultPlan {
    int Status = 0;
    std::string Body;
    std::int64_t BodyBytes = 0; // the body padded with blanks to this length (a huge answer)
    int DelayMs = 0;
    bool NonJson = false, Redirect = false, Drop = false;
    int Remaining = 0;
    int Skip = 0; // requests answered normally before the fault starts
};

class RefHttp {
  public:
    RefHttp(RefState& state, const RefOptions& options);
    bool Valid() { return FServer.is_valid(); }
    httplib::SSLServer& Server() { return FServer; }
    void SetPort(int port) { FPort = port; }
    // Ends delays in progress so that the server can stop at once.
    void Stopping();

  private:
    struct Session {
        std::string Store;
        int64_t ExpiresAtMs = 0;
    };

    void Routes();
    void TestRoutes();
    // Answers with the injected fault for the request's path, if one is due; true when it did.
    bool ApplyFault(const httplib::Request& req, httplib::Response& res);
    // Registers an API route whose injected faults are answered after the request body was read,
    // so that a kept-alive connection stays in step.
    void Post(const std::string& path, httplib::Server::Handler handler);
    void Get(const std::string& path, httplib::Server::Handler handler);
    void Record(const httplib::Request& req, httplib::Response& res);

    // The store of the request's session; empty (with a 401 answer set) when there is none.
    std::string Authenticate(const httplib::Request& req, httplib::Response& res);
    // Reads a report envelope into `body`; false (with the answer set) when it is not acceptable.
    bool Envelope(const httplib::Request& req, httplib::Response& res, const std::string& store,
                  const char* member, Json& body);
    void Report(const httplib::Request& req, httplib::Response& res, const char* member);

    RefState& FState;
    RefOptions FOptions;
    httplib::SSLServer FServer;
    int FPort = 0;
    std::atomic<int> FSessionSeconds;

    std::mutex FSessionLock;
    std::map<std::string, Session> FSessions;

    std::mutex FFaultLock;
    std::map<std::string, RefFaultPlan> FFaults;
    std::condition_variable FWake;
    bool FStopping = false;

    std::mutex FReceivedLock;
    std::deque<Json> FReceived;
};

// Helpers shared by the endpoint files.
std::string FormValue(const std::string& body, const std::string& name);
void Answer(httplib::Response& res, int status, const std::string& jsonBody);
void AnswerError(httplib::Response& res, int status, const std::string& code, const std::string& reason);

} // namespace pavona::refserver
