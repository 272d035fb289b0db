#include "tools/refserver/RefHttp.h"

#include <openssl/rand.h>
#include <openssl/ssl.h>

#include <pthread.h>
#include <sys/socket.h>

#include <csignal>
#include <cstdio>
#include <iostream>
#include <thread>

namespace pavona::refserver {
namespace {

const char kSchemaName[] = "pavona.agent.v1";
const char kCookieName[] = "pavona_sid";

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string FormDecode(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out += ' ';
        } else if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
                   HexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string NewSessionId() {
    unsigned char raw[24];
    if (RAND_bytes(raw, sizeof raw) != 1) return {};
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    for (unsigned char b : raw) {
        out += kHex[b >> 4];
        out += kHex[b & 15];
    }
    return out;
}

std::string CookieValue(const std::string& header, const std::string& name) {
    size_t pos = 0;
    while (pos < header.size()) {
        size_t end = header.find(';', pos);
        if (end == std::string::npos) end = header.size();
        std::string part = header.substr(pos, end - pos);
        size_t b = part.find_first_not_of(' ');
        if (b != std::string::npos) part = part.substr(b);
        if (part.rfind(name + "=", 0) == 0) return part.substr(name.size() + 1);
        pos = end + 1;
    }
    return {};
}

} // namespace

std::string FormValue(const std::string& body, const std::string& name) {
    size_t pos = 0;
    while (pos <= body.size()) {
        size_t end = body.find('&', pos);
        if (end == std::string::npos) end = body.size();
        std::string pair = body.substr(pos, end - pos);
        size_t eq = pair.find('=');
        if (FormDecode(pair.substr(0, eq)) == name)
            return eq == std::string::npos ? std::string() : FormDecode(pair.substr(eq + 1));
        pos = end + 1;
    }
    return {};
}

void Answer(httplib::Response& res, int status, const std::string& jsonBody) {
    res.status = status;
    res.set_content(jsonBody, "application/json; charset=utf-8");
}

void AnswerError(httplib::Response& res, int status, const std::string& code, const std::string& reason) {
    Answer(res, status, Json{{"error", code}, {"reason", reason}}.dump());
}

RefHttp::RefHttp(RefState& state, const RefOptions& options)
    : FState(state), FOptions(options), FServer(options.Cert.c_str(), options.Key.c_str()),
      FSessionSeconds(options.SessionSeconds) {
    // An answer is written as headers and body; with Nagle's algorithm the body waits for the
    // client's delayed acknowledgement, and every exchange would take some 40 ms longer.
    FServer.set_tcp_nodelay(true);
    FServer.set_post_routing_handler(
        [this](const httplib::Request& req, httplib::Response& res) { Record(req, res); });
    FServer.set_error_handler([](const httplib::Request&, httplib::Response& res) {
        if (res.body.empty() && res.status == 404) AnswerError(res, 404, "not_found", "없는 주소입니다.");
    });
    Routes();
    if (FOptions.TestApi) TestRoutes();
}

void RefHttp::Stopping() {
    std::lock_guard lock(FFaultLock);
    FStopping = true;
    FWake.notify_all();
}

void RefHttp::Post(const std::string& path, httplib::Server::Handler handler) {
    FServer.Post(path, [this, handler](const httplib::Request& req, httplib::Response& res) {
        if (!ApplyFault(req, res)) handler(req, res);
    });
}

void RefHttp::Get(const std::string& path, httplib::Server::Handler handler) {
    FServer.Get(path, [this, handler](const httplib::Request& req, httplib::Response& res) {
        if (!ApplyFault(req, res)) handler(req, res);
    });
}

bool RefHttp::ApplyFault(const httplib::Request& req, httplib::Response& res) {
    RefFaultPlan plan;
    {
        std::unique_lock lock(FFaultLock);
        auto it = FFaults.find(req.path);
        if (it == FFaults.end() || it->second.Remaining <= 0) return false;
        if (it->second.Skip > 0) {
            --it->second.Skip;
            return false;
        }
        plan = it->second;
        if (--it->second.Remaining <= 0) FFaults.erase(it);
        if (plan.DelayMs > 0)
            FWake.wait_for(lock, std::chrono::milliseconds(plan.DelayMs), [this] { return FStopping; });
    }
    res.set_header("X-Pavona-Fault", "1");
    if (plan.Drop) {
        // Close the connection without a byte of answer, as a crashed proxy would.
        if (req.ssl) ::shutdown(SSL_get_fd(req.ssl), SHUT_RDWR);
        res.status = 0;
        return true;
    }
    if (plan.Redirect) {
        res.status = 302;
        res.set_header("Location", "https://127.0.0.1:" + std::to_string(FPort) + "/moved" + req.path);
        res.set_content("moved", "text/plain; charset=utf-8");
        return true;
    }
    if (plan.NonJson) {
        res.status = 200;
        res.set_content("<html><body>점검 중입니다</body></html>", "text/html; charset=utf-8");
        return true;
    }
    if (plan.Status > 0) {
        res.status = plan.Status;
        const bool json = !plan.Body.empty() && plan.Body[0] == '{';
        std::string body = plan.Body;
        if (plan.BodyBytes > static_cast<std::int64_t>(body.size()))
            body.append(static_cast<std::size_t>(plan.BodyBytes) - body.size(), ' ');
        res.set_content(body, json ? "application/json; charset=utf-8" : "text/plain; charset=utf-8");
        return true;
    }
    return false; // only a delay: answer normally afterwards
}

void RefHttp::Record(const httplib::Request& req, httplib::Response& res) {
    if (req.path.rfind("/test/", 0) == 0) return;
    std::string store;
    const std::string sid = CookieValue(req.get_header_value("Cookie"), kCookieName);
    if (!sid.empty()) {
        std::lock_guard lock(FSessionLock);
        auto it = FSessions.find(sid);
        if (it != FSessions.end()) store = it->second.Store;
    }
    size_t q = req.target.find('?');
    Json entry{{"method", req.method},
               {"path", req.path},
               {"query", q == std::string::npos ? std::string() : req.target.substr(q + 1)},
               {"content_type", req.get_header_value("Content-Type")},
               {"cookie", req.get_header_value("Cookie")},
               {"body", req.body},
               {"status", res.status},
               {"store", store},
               {"fault", res.has_header("X-Pavona-Fault")},
               {"at", RefState::UtcText(FState.Now())}};
    std::lock_guard lock(FReceivedLock);
    FReceived.push_back(std::move(entry));
    // Keeps memory bounded when a long demo runs with the test API on.
    while (FReceived.size() > 20000)
        FReceived.pop_front();
}

std::string RefHttp::Authenticate(const httplib::Request& req, httplib::Response& res) {
    const std::string sid = CookieValue(req.get_header_value("Cookie"), kCookieName);
    {
        std::lock_guard lock(FSessionLock);
        auto it = FSessions.find(sid);
        if (!sid.empty() && it != FSessions.end()) {
            if (FState.NowMs() < it->second.ExpiresAtMs) return it->second.Store;
            FSessions.erase(it);
        }
    }
    AnswerError(res, 401, "session_expired", "로그인 세션이 없거나 끝났습니다. 다시 로그인해 주세요.");
    return {};
}

bool RefHttp::Envelope(const httplib::Request& req, httplib::Response& res, const std::string& store,
                       const char* member, Json& body) {
    body = Json::parse(req.body, nullptr, false);
    if (body.is_discarded() || !body.is_object()) {
        AnswerError(res, 400, "bad_request", "요청 본문을 JSON 객체로 읽지 못했습니다.");
        return false;
    }
    if (!body.contains("schema") || !body["schema"].is_string() || body["schema"] != kSchemaName) {
        AnswerError(res, 409, "schema_unsupported",
                    std::string("이 서버는 ") + kSchemaName + " 만 받습니다.");
        return false;
    }
    if (!body.contains("store") || !body["store"].is_string() || body["store"] != store) {
        AnswerError(res, 403, "store_not_yours", "로그인한 가게의 사업자번호가 아닙니다.");
        return false;
    }
    if (member && (!body.contains(member) || !body[member].is_array())) {
        AnswerError(res, 400, "bad_request", std::string("\"") + member + "\" 배열이 없습니다.");
        return false;
    }
    return true;
}

void RefHttp::Report(const httplib::Request& req, httplib::Response& res, const char* member) {
    std::string store = Authenticate(req, res);
    if (store.empty()) return;
    Json body;
    if (!Envelope(req, res, store, member, body)) return;
    RefAnswer a;
    if (std::string(member) == "lines")
        a = FState.AcceptSales(store, body["lines"]);
    else if (std::string(member) == "coupons")
        a = FState.AcceptCoupons(store, body["coupons"]);
    else
        a = FState.ApplyCancels(store, body["cancels"]);
    Answer(res, a.Status, a.Body);
}

void RefHttp::Routes() {
    Post("/api/auth/agent", [this](const httplib::Request& req, httplib::Response& res) {
        const std::string store = FState.StoreOfKey(FormValue(req.body, "key"));
        if (store.empty()) {
            AnswerError(res, 401, "key_unknown", "등록되지 않은 인증키입니다.");
            return;
        }
        const std::string sid = NewSessionId();
        if (sid.empty()) {
            AnswerError(res, 500, "session_error", "세션을 만들지 못했습니다.");
            return;
        }
        const int seconds = FSessionSeconds.load();
        {
            std::lock_guard lock(FSessionLock);
            const int64_t now = FState.NowMs();
            for (auto it = FSessions.begin(); it != FSessions.end();)
                it = it->second.ExpiresAtMs <= now ? FSessions.erase(it) : std::next(it);
            FSessions[sid] = Session{store, now + int64_t{seconds} * 1000};
        }
        // No Max-Age: the session ends on the server, which answers 401 so the agent logs in again.
        res.set_header("Set-Cookie", std::string(kCookieName) + "=" + sid + "; Path=/; Secure; HttpOnly");
        Answer(res, 200, Json{{"store", store}, {"session_seconds", seconds}}.dump());
    });

    Post("/api/auth/agent/enroll", [this](const httplib::Request& req, httplib::Response& res) {
        RefEnrolment e = FState.Enrol(FormValue(req.body, "code"));
        if (e.Ok) {
            Answer(res, 200,
                   Json{{"key", e.Key},
                        {"store", e.Store},
                        {"point", {{"member_code", e.MemberCode}, {"sign_name", e.SignName}}}}
                       .dump());
        } else if (e.Error == "code_unknown") {
            AnswerError(res, 404, e.Error, "없는 등록 코드입니다.");
        } else if (e.Error == "code_used") {
            AnswerError(res, 410, e.Error, "이미 쓰인 등록 코드입니다.");
        } else if (e.Error == "code_expired") {
            AnswerError(res, 410, e.Error, "72시간이 지난 등록 코드입니다.");
        } else {
            AnswerError(res, 500, e.Error, "등록을 저장하지 못했습니다.");
        }
    });

    Post("/api/agent/sales",
         [this](const httplib::Request& req, httplib::Response& res) { Report(req, res, "lines"); });
    Post("/api/agent/coupons",
         [this](const httplib::Request& req, httplib::Response& res) { Report(req, res, "coupons"); });
    Post("/api/agent/cancels",
         [this](const httplib::Request& req, httplib::Response& res) { Report(req, res, "cancels"); });
    Post("/api/agent/status", [this](const httplib::Request& req, httplib::Response& res) {
        std::string store = Authenticate(req, res);
        if (store.empty()) return;
        Json body;
        if (!Envelope(req, res, store, nullptr, body)) return;
        RefAnswer a = FState.KeepHeartbeat(store, req.body);
        Answer(res, a.Status, a.Body);
    });
    Get("/api/agent/policy", [this](const httplib::Request& req, httplib::Response& res) {
        std::string store = Authenticate(req, res);
        if (store.empty()) return;
        if (req.get_param_value("store") != store) {
            AnswerError(res, 403, "store_not_yours", "로그인한 가게의 사업자번호가 아닙니다.");
            return;
        }
        RefAnswer a = FState.PolicyDocument(store);
        Answer(res, a.Status, a.Body);
    });
    Post("/api/agent/mapping-requests", [this](const httplib::Request& req, httplib::Response& res) {
        std::string store = Authenticate(req, res);
        if (store.empty()) return;
        RefAnswer a = FState.Mapping(store, Json::parse(req.body, nullptr, false));
        Answer(res, a.Status, a.Body);
    });
}

int RunServer(const RefOptions& options) {
    // Signals are taken by one thread with sigwait, so they are blocked before any thread starts.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    // A client that hangs up mid-answer must not end the server.
    std::signal(SIGPIPE, SIG_IGN);

    RefState state;
    std::string error;
    if (!state.Open(options.State, error)) {
        std::cerr << error << std::endl;
        return 2;
    }
    RefHttp http(state, options);
    if (!http.Valid()) {
        std::cerr << "cannot load the certificate " << options.Cert << " or key " << options.Key << std::endl;
        return 2;
    }
    int port = options.Port;
    if (port == 0) {
        port = http.Server().bind_to_any_port("127.0.0.1");
    } else if (!http.Server().bind_to_port("127.0.0.1", port)) {
        port = -1;
    }
    if (port <= 0) {
        std::cerr << "cannot listen on 127.0.0.1:" << options.Port << std::endl;
        return 2;
    }
    http.SetPort(port);

    std::atomic<bool> stopped{false};
    std::thread waiter([&] {
        int sig = 0;
        sigwait(&stopSignals, &sig);
        stopped = true;
        http.Stopping();
        http.Server().stop();
    });
    std::cout << "listening on https://127.0.0.1:" << port << std::endl; // endl flushes
    std::cerr << "refserver: serving, state " << options.State << (options.TestApi ? ", test API on" : "")
              << std::endl;
    bool ok = http.Server().listen_after_bind();
    if (!stopped) pthread_kill(waiter.native_handle(), SIGTERM);
    waiter.join();
    std::cerr << "refserver: stopped" << std::endl;
    return ok || stopped ? 0 : 1;
}

} // namespace pavona::refserver
