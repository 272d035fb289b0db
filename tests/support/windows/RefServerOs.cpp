// The Windows side of the reference server harness, for the tests under wine: the server is the
// host's Linux program, started through wine on certificates the run's trust store already holds.
// Wine gives no handle to such a program and ties only its standard input and output to Windows
// handles (standard error stays the test's own, which the test runner waits on), so the server
// writes its "listening" line into a file, its log into another, and is stopped through the test
// API; the test API goes over the platform's own HTTPS session.
#include "tests/support/RefServerHarness.h"

#include "platform/HttpSession.h"
#include "platform/windows/WinText.h"
#include "tests/support/windows/WineHost.h"

#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

namespace pavona::test {

using platform::Wide;

struct RefServer::TProcess {
    bool Started = false; // a server was started and has not been stopped since
};

namespace {

std::string EnvText(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

} // namespace

std::string RefServerBinary() {
    return EnvText("PAVONA_REFSERVER_BIN");
}

bool RefServer::CanRun(std::string* why) {
    if (!RefServerBinary().empty() && !EnvText("PAVONA_TEST_CERTS").empty()) return true;
    if (why)
        *why = "PAVONA_REFSERVER_BIN and PAVONA_TEST_CERTS are not set: under wine the reference server "
               "runs only on certificates the run's trust store holds (tools/windows-tests.sh, as root)";
    return false;
}

RefServer::RefServer(int sessionSeconds) : FSessionSeconds(sessionSeconds), FProc(std::make_unique<TProcess>()) {
    if (!CanRun(&FStartError)) return;
    Start(0);
}

RefServer::~RefServer() {
    Stop();
}

bool RefServer::Running() const {
    return FProc->Started && FPort > 0;
}

// Wine matches a certificate's DNS names only, so the server is reached as "localhost".
std::string RefServer::BaseUrl() const {
    return "https://localhost:" + std::to_string(FPort);
}

std::string RefServer::CaFile() const {
    return DosPath(EnvText("PAVONA_TEST_CERTS") + "/ca.pem");
}

bool RefServer::Start(int port) {
    FStartError.clear();
    const std::string certs = EnvText("PAVONA_TEST_CERTS");
    const std::string outPath = FDir.File("server.out");
    DeleteFileW(Wide(outPath).c_str());
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE out = CreateFileW(Wide(outPath).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) {
        FStartError = "cannot make " + outPath;
        return false;
    }
    const std::vector<std::string> args = {"--state",           HostPath(StateFile()),
                                           "--cert",            certs + "/server.pem",
                                           "--key",             certs + "/server.key",
                                           "--port",            std::to_string(port),
                                           "--session-seconds", std::to_string(FSessionSeconds),
                                           "--log",             HostPath(FDir.File("server.log")),
                                           "--test-api"};
    const std::wstring app = Wide(DosPath(RefServerBinary()));
    std::wstring line = platform::CommandLine(app, args);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = nullptr;
    si.hStdOutput = out;
    si.hStdError = out;
    PROCESS_INFORMATION pi{};
    const BOOL started =
        CreateProcessW(app.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    const DWORD startError = GetLastError();
    CloseHandle(out);
    if (pi.hProcess) CloseHandle(pi.hProcess);
    if (pi.hThread) CloseHandle(pi.hThread);
    if (!started) {
        FStartError = "CreateProcessW: " + platform::ErrorText(startError);
        return false;
    }
    FProc->Started = true;
    // Waits for the one "listening on https://127.0.0.1:<port>" line.
    const std::string prefix = "listening on https://127.0.0.1:";
    std::string first;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        first = ReadFile(outPath);
        const std::size_t at = first.find(prefix);
        if (at != std::string::npos && first.find('\n', at) != std::string::npos) {
            FPort = std::atoi(first.c_str() + at + prefix.size());
            if (FPort > 0) return true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    FProc->Started = false;
    FStartError = "the server did not report listening (its output: " + first + ")";
    return false;
}

void RefServer::Stop() {
    if (Running()) RequestStop();
    FProc->Started = false;
}

namespace {

int Answer(const THttpAnswer& a, const std::string& path, std::string* body, std::string& lastError) {
    if (!a.Answered) {
        lastError = "test API " + path + ": " + a.Description();
        return 0;
    }
    if (body) *body = a.Body;
    if (a.Status != 200) lastError = "test API " + path + ": " + std::to_string(a.Status) + " " + a.Body;
    return a.Status;
}

THttpTimeouts HarnessTimeouts() {
    THttpTimeouts t;
    t.ConnectMs = 5000;
    t.ResponseMs = 15000;
    return t;
}

} // namespace

int RefServer::Post(const std::string& path, const std::string& json, std::string* body) {
    if (!Running()) {
        FLastError = "the server is not running";
        return 0;
    }
    THttpSession http;
    http.SetTimeouts(HarnessTimeouts());
    return Answer(http.Post(BaseUrl() + path, "application/json", json), path, body, FLastError);
}

int RefServer::Get(const std::string& path, std::string* body) {
    if (!Running()) {
        FLastError = "the server is not running";
        return 0;
    }
    THttpSession http;
    http.SetTimeouts(HarnessTimeouts());
    return Answer(http.Get(BaseUrl() + path), path, body, FLastError);
}

} // namespace pavona::test
