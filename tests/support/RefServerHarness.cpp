// The reference server harness's test API calls and what every system shares; starting and
// stopping the server and the transport live in the per-system files beside this one.
#include "tests/support/RefServerHarness.h"

#include "platform/HttpSession.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <thread>
#include <vector>

namespace pavona::test {
namespace {

using Json = nlohmann::json;

std::string UrlEncode(const std::string& text) {
    return THttpSession::UrlEncode(text);
}

} // namespace

std::string RefServer::StateFile() const {
    return FDir.File("state.db");
}
std::string RefServer::ServerLog() const {
    return ReadFile(FDir.File("server.log"));
}

bool RefServer::RequestStop() {
    if (Post("/test/stop", "{}") != 200) return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        std::string body;
        if (Get("/test/received?path=" + UrlEncode("/none"), &body) == 0) return true; // no answer any more
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    FLastError = "the server still answers after /test/stop";
    return false;
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
