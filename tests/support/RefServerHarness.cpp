#include "tests/support/RefServerHarness.h"

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

namespace pavona::test {
namespace {

using Json = nlohmann::json;

std::string UrlEncode(const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~' || c == '/') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

// Waits up to `timeoutMs` for the child to end; true when it has (and was reaped).
bool WaitChild(pid_t pid, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        int status = 0;
        pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid || (r < 0 && errno == ECHILD)) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

} // namespace

std::string RefServerBinary() {
    return PAVONA_REFSERVER_BIN;
}

RefServer::RefServer(int sessionSeconds) : FSessionSeconds(sessionSeconds) {
    // A dropped-connection fault makes the test's own client write into a closed socket; that
    // must fail the request, not end the test process.
    ::signal(SIGPIPE, SIG_IGN);
    ProcessResult certs = RunProcess(RefServerBinary(), {"--make-certs", FDir.File("certs")});
    if (certs.ExitCode != 0) {
        FStartError = "--make-certs failed: " + certs.Err;
        return;
    }
    Start(0);
}

RefServer::~RefServer() {
    Stop();
}

bool RefServer::Running() const {
    return FPid > 0 && FPort > 0;
}

std::string RefServer::BaseUrl() const {
    return "https://127.0.0.1:" + std::to_string(FPort);
}
std::string RefServer::CaFile() const {
    return FDir.File("certs/ca.pem");
}
std::string RefServer::StateFile() const {
    return FDir.File("state.db");
}
std::string RefServer::ServerLog() const {
    return ReadFile(FDir.File("server.log"));
}

bool RefServer::Start(int port) {
    FStartError.clear();
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) {
        FStartError = "pipe failed";
        return false;
    }
    const std::string logPath = FDir.File("server.log");
    std::vector<std::string> args = {RefServerBinary(),
                                     "--state",
                                     StateFile(),
                                     "--cert",
                                     FDir.File("certs/server.pem"),
                                     "--key",
                                     FDir.File("certs/server.key"),
                                     "--port",
                                     std::to_string(port),
                                     "--session-seconds",
                                     std::to_string(FSessionSeconds),
                                     "--test-api"};
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = ::fork();
    if (pid < 0) {
        ::close(out[0]);
        ::close(out[1]);
        FStartError = "fork failed";
        return false;
    }
    if (pid == 0) {
        int log = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        ::dup2(out[1], 1);
        if (log >= 0) ::dup2(log, 2);
        // The test process may block signals; the server must start with a clean mask.
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    FPid = pid;
    FOutFd = out[0];

    // Reads the one "listening on https://127.0.0.1:<port>" line.
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (line.find('\n') == std::string::npos) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
                .count();
        if (left <= 0) break;
        pollfd p{FOutFd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left)) <= 0) break;
        char buf[256];
        ssize_t n = ::read(FOutFd, buf, sizeof buf);
        if (n <= 0) break;
        line.append(buf, static_cast<size_t>(n));
    }
    const std::string prefix = "listening on https://127.0.0.1:";
    if (line.rfind(prefix, 0) == 0 && line.find('\n') != std::string::npos) {
        FPort = std::atoi(line.c_str() + prefix.size());
        if (FPort > 0) return true;
    }
    FStartError = "the server did not report listening (stdout: " + line + "; log: " + ServerLog() + ")";
    Stop();
    return false;
}

void RefServer::Stop() {
    if (FPid > 0) {
        ::kill(FPid, SIGTERM);
        if (!WaitChild(FPid, 10000)) {
            ::kill(FPid, SIGKILL);
            WaitChild(FPid, 5000);
        }
        FPid = -1;
    }
    if (FOutFd >= 0) {
        ::close(FOutFd);
        FOutFd = -1;
    }
}

bool RefServer::Restart() {
    const int port = FPort;
    Stop();
    FPort = 0;
    // The old socket may linger a moment; a few tries ride that out.
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (Start(port)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
    return false;
}

int RefServer::Post(const std::string& path, const std::string& json, std::string* body) {
    if (!Running()) {
        FLastError = "the server is not running";
        return 0;
    }
    httplib::SSLClient cli("127.0.0.1", FPort);
    cli.set_ca_cert_path(CaFile().c_str());
    cli.enable_server_certificate_verification(true);
    cli.set_connection_timeout(5);
    cli.set_read_timeout(15);
    auto res = cli.Post(path.c_str(), json, "application/json");
    if (!res) {
        FLastError = "test API " + path + ": " + httplib::to_string(res.error());
        return 0;
    }
    if (body) *body = res->body;
    if (res->status != 200)
        FLastError = "test API " + path + ": " + std::to_string(res->status) + " " + res->body;
    return res->status;
}

int RefServer::Get(const std::string& path, std::string* body) {
    if (!Running()) {
        FLastError = "the server is not running";
        return 0;
    }
    httplib::SSLClient cli("127.0.0.1", FPort);
    cli.set_ca_cert_path(CaFile().c_str());
    cli.enable_server_certificate_verification(true);
    cli.set_connection_timeout(5);
    cli.set_read_timeout(15);
    auto res = cli.Get(path.c_str());
    if (!res) {
        FLastError = "test API " + path + ": " + httplib::to_string(res.error());
        return 0;
    }
    if (body) *body = res->body;
    if (res->status != 200)
        FLastError = "test API " + path + ": " + std::to_string(res->status) + " " + res->body;
    return res->status;
}

bool RefServer::AddStore(const std::string& businessNo, const std::string& agentKey,
                         const std::string& pointLabel, const std::string& pointId,
                         const std::string& policyJsonText) {
    Json b{{"business_no", businessNo},
           {"agent_key", agentKey},
           {"point_label", pointLabel},
           {"point_id", pointId},
           {"policy", policyJsonText}};
    return Post("/test/stores", b.dump()) == 200;
}

bool RefServer::SetPolicy(const std::string& businessNo, const std::string& policyJsonText) {
    return Post("/test/policy", Json{{"business_no", businessNo}, {"policy", policyJsonText}}.dump()) == 200;
}

bool RefServer::Decide(const std::string& businessNo, const std::string& vendorCode, const std::string& verdict,
                       const std::string& reason) {
    return Post("/test/decide", Json{{"business_no", businessNo},
                                     {"vendor_item_code", vendorCode},
                                     {"verdict", verdict},
                                     {"reason", reason}}
                                    .dump()) == 200;
}

std::string RefServer::IssueCode(const std::string& businessNo, double hours, const std::string& code) {
    std::string body;
    if (Post("/test/codes", Json{{"business_no", businessNo}, {"hours", hours}, {"code", code}}.dump(),
             &body) != 200)
        return {};
    Json j = Json::parse(body, nullptr, false);
    return j.is_object() && j.contains("code") && j["code"].is_string() ? j["code"].get<std::string>()
                                                                        : std::string();
}

bool RefServer::Fault(const std::string& path, const RefFault& f) {
    Json b{{"path", path},          {"status", f.Status},       {"body", f.Body}, {"delay_ms", f.DelayMs},
           {"non_json", f.NonJson}, {"redirect", f.Redirect},   {"drop", f.Drop}, {"times", f.Times},
           {"skip", f.Skip},        {"body_bytes", f.BodyBytes}};
    return Post("/test/faults", b.dump()) == 200;
}

bool RefServer::Fault(const std::string& path, int status, int delayMs, bool nonJson, bool redirect,
                      bool drop, int times) {
    RefFault f;
    f.Status = status;
    f.DelayMs = delayMs;
    f.NonJson = nonJson;
    f.Redirect = redirect;
    f.Drop = drop;
    f.Times = times;
    return Fault(path, f);
}

bool RefServer::ClearFaults() {
    return Post("/test/faults/clear", "{}") == 200;
}

bool RefServer::SetSessionSeconds(int seconds) {
    return Post("/test/session", Json{{"seconds", seconds}}.dump()) == 200;
}

bool RefServer::ExpireSessions() {
    return Post("/test/sessions/expire", "{}") == 200;
}

bool RefServer::SetClockOffset(int64_t seconds) {
    return Post("/test/clock", Json{{"offset_seconds", seconds}}.dump()) == 200;
}

std::string RefServer::Received(const std::string& path) {
    std::string body;
    if (Get("/test/received?path=" + UrlEncode(path), &body) != 200) return "[]";
    return body;
}

bool RefServer::ClearReceived() {
    return Post("/test/received/clear", "{}") == 200;
}

RefSummary RefServer::Summary(const std::string& businessNo) {
    RefSummary s;
    std::string body;
    if (Get("/test/summary?business_no=" + UrlEncode(businessNo), &body) != 200) return s;
    Json j = Json::parse(body, nullptr, false);
    if (!j.is_object()) {
        FLastError = "summary is not JSON: " + body;
        return s;
    }
    auto num = [&](const char* name) { return j.value(name, int64_t{0}); };
    s.Accepted = num("accepted");
    s.Duplicated = num("duplicated");
    s.Rejected = num("rejected");
    s.CouponsKnown = num("coupons");
    s.CorrectionsApplied = num("corrections_applied");
    s.CorrectionsSkipped = num("corrections_skipped");
    s.Heartbeats = num("heartbeats");
    s.MappingRequests = num("mapping_requests");
    s.Allocated = num("allocated");
    s.OffsetOutstanding = num("offset_outstanding");
    s.ReportedExecuted = num("reported_executed");
    s.Remaining = num("remaining");
    s.Ok = true;
    return s;
}

std::string RefServer::ReportText(const std::string& businessNo) {
    std::vector<std::string> args = {"--report", "--state", StateFile()};
    if (!businessNo.empty()) {
        args.push_back("--business-no");
        args.push_back(businessNo);
    }
    ProcessResult r = RunProcess(RefServerBinary(), args);
    if (r.ExitCode != 0) FLastError = "--report failed: " + r.Err;
    return r.Out;
}

} // namespace pavona::test
