// The test-only API of the reference server (--test-api): seeding, the association's decisions,
// fault injection, session and clock control, and what the server received.
#include "tools/refserver/RefHttp.h"

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace pavona::refserver {
namespace {

// The policy may come as a JSON object or as JSON text in a string.
std::string PolicyText(const Json& body) {
    auto it = body.find("policy");
    if (it == body.end()) return "{}";
    return it->is_string() ? it->get<std::string>() : it->dump();
}

std::string Text(const Json& body, const char* name) {
    auto it = body.find(name);
    return it != body.end() && it->is_string() ? it->get<std::string>() : std::string();
}

} // namespace

void RefHttp::TestRoutes() {
    using Req = httplib::Request;
    using Res = httplib::Response;
    // Every test call takes a JSON object; a wrong one is answered 400 with the reason.
    auto withBody = [](const Req& req, Res& res, Json& body) {
        body = Json::parse(req.body.empty() ? "{}" : req.body, nullptr, false);
        if (body.is_object()) return true;
        AnswerError(res, 400, "bad_request", "test API bodies are JSON objects");
        return false;
    };
    auto ok = [](Res& res) { Answer(res, 200, R"({"ok":true})"); };

    FServer.Post("/test/stores", [=, this](const Req& req, Res& res) {
        Json b;
        if (!withBody(req, res, b)) return;
        std::string error;
        if (FState.AddStore(Text(b, "business_no"), Text(b, "agent_key"), Text(b, "point_label"),
                            Text(b, "point_id"), PolicyText(b), error))
            ok(res);
        else
            AnswerError(res, 400, "bad_store", error);
    });
    FServer.Post("/test/policy", [=, this](const Req& req, Res& res) {
        Json b;
        if (!withBody(req, res, b)) return;
        std::string error;
        if (FState.SetPolicy(Text(b, "business_no"), PolicyText(b), error))
            ok(res);
        else
            AnswerError(res, 400, "bad_policy", error);
    });
    FServer.Post("/test/decide", [=, this](const Req& req, Res& res) {
        Json b;
        if (!withBody(req, res, b)) return;
        std::string error;
        if (FState.Decide(Text(b, "business_no"), Text(b, "vendor_item_code"), Text(b, "verdict"),
                          Text(b, "reason"), error))
            ok(res);
        else
            AnswerError(res, 400, "bad_decision", error);
    });
    FServer.Post("/test/codes", [=, this](const Req& req, Res& res) {
        Json b;
        if (!withBody(req, res, b)) return;
        double hours = b.value("hours", 72.0);
        std::string error;
        std::string code = FState.IssueCode(Text(b, "business_no"), hours, Text(b, "code"), error);
        if (code.empty())
            AnswerError(res, 400, "bad_code", error);
        else
            Answer(res, 200, Json{{"code", code}}.dump());
    });
    FServer.Post("/test/faults", [=, this](const Req& req, Res& res) {
        Json b;
        if (!withBody(req, res, b)) return;
        const std::string path = Text(b, "path");
        if (path.empty() || path[0] != '/') {
            AnswerError(res, 400, "bad_fault", "a fault needs a path beginning with /");
            return;
        }
        RefFaultPlan plan;
        plan.Status = b.value("status", 0);
        plan.Body = Text(b, "body");
        plan.BodyBytes = b.value("body_bytes", static_cast<std::int64_t>(0));
        plan.DelayMs = b.value("delay_ms", 0);
        plan.NonJson = b.value("non_json", false);
        plan.Redirect = b.value("redirect", false);
        plan.Drop = b.value("drop", false);
        plan.Remaining = b.value("times", 1);
        plan.Skip = b.value("skip", 0);
        std::lock_guard lock(FFaultLock);
        if (plan.Remaining <= 0)
            FFaults.erase(path);
        else
            FFaults[path] = plan;
        ok(res);
    });
    FServer.Post("/test/faults/clear", [=, this](const Req&, Res& res) {
        std::lock_guard lock(FFaultLock);
        FFaults.clear();
        ok(res);
    });
    FServer.Post("/test/session", [=, this](const Req& req, Res& res) {
        Json b;
        if (!withBody(req, res, b)) return;
        FSessionSeconds = b.value("seconds", FOptions.SessionSeconds);
        ok(res);
    });
    // A starter that cannot send signals (a Windows test under wine, which starts this program
    // without a handle to it) asks for the stop; the answer goes out before the stop begins.
    FServer.Post("/test/stop", [=](const Req&, Res& res) {
        ok(res);
        std::thread([] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            ::kill(::getpid(), SIGTERM);
        }).detach();
    });
    FServer.Post("/test/sessions/expire", [=, this](const Req&, Res& res) {
        std::lock_guard lock(FSessionLock);
        FSessions.clear();
        ok(res);
    });
    FServer.Post("/test/clock", [=, this](const Req& req, Res& res) {
        Json b;
        if (!withBody(req, res, b)) return;
        FState.SetClockOffset(b.value("offset_seconds", int64_t{0}));
        ok(res);
    });
    FServer.Get("/test/received", [this](const Req& req, Res& res) {
        const std::string path = req.get_param_value("path");
        Json out = Json::array();
        std::lock_guard lock(FReceivedLock);
        for (const Json& e : FReceived)
            if (path.empty() || e["path"] == path) out.push_back(e);
        Answer(res, 200, out.dump());
    });
    FServer.Post("/test/received/clear", [=, this](const Req&, Res& res) {
        std::lock_guard lock(FReceivedLock);
        FReceived.clear();
        ok(res);
    });
    FServer.Get("/test/summary", [this](const Req& req, Res& res) {
        RefStoreSummary s = FState.Summary(req.get_param_value("business_no"));
        if (!s.Found) {
            AnswerError(res, 404, "store_unknown", "no such store");
            return;
        }
        Answer(res, 200,
               Json{{"accepted", s.Accepted},
                    {"duplicated", s.Duplicated},
                    {"rejected", s.Rejected},
                    {"coupons", s.Coupons},
                    {"corrections_applied", s.CorrectionsApplied},
                    {"corrections_skipped", s.CorrectionsSkipped},
                    {"heartbeats", s.Heartbeats},
                    {"mapping_requests", s.Mappings},
                    {"allocated", s.Allocated},
                    {"offset_outstanding", s.OffsetOutstanding},
                    {"reported_executed", s.ReportedExecuted},
                    {"remaining", s.Remaining}}
                   .dump());
    });
}

} // namespace pavona::refserver
