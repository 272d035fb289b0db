// The Linux side of the reference server harness: the server as a child process, the test API
// over cpp-httplib's TLS client.
#include "tests/support/RefServerHarness.h"

#include <httplib.h>

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

struct RefServer::TProcess {
    pid_t Pid = -1;
    int OutFd = -1;
};

namespace {

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

bool RefServer::CanRun(std::string*) {
    return true;
}

RefServer::RefServer(int sessionSeconds) : FSessionSeconds(sessionSeconds), FProc(std::make_unique<TProcess>()) {
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
    return FProc->Pid > 0 && FPort > 0;
}

std::string RefServer::BaseUrl() const {
    return "https://127.0.0.1:" + std::to_string(FPort);
}
std::string RefServer::CaFile() const {
    return FDir.File("certs/ca.pem");
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
    FProc->Pid = pid;
    FProc->OutFd = out[0];

    // Reads the one "listening on https://127.0.0.1:<port>" line.
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (line.find('\n') == std::string::npos) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
                .count();
        if (left <= 0) break;
        pollfd p{FProc->OutFd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left)) <= 0) break;
        char buf[256];
        ssize_t n = ::read(FProc->OutFd, buf, sizeof buf);
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
    if (FProc->Pid > 0) {
        ::kill(FProc->Pid, SIGTERM);
        if (!WaitChild(FProc->Pid, 10000)) {
            ::kill(FProc->Pid, SIGKILL);
            WaitChild(FProc->Pid, 5000);
        }
        FProc->Pid = -1;
    }
    if (FProc->OutFd >= 0) {
        ::close(FProc->OutFd);
        FProc->OutFd = -1;
    }
}

namespace {

// One call of the test API over HTTPS, trusting the run's own CA; 0 when no answer came.
int Call(int port, const std::string& ca, const std::string& path, const std::string* json, std::string* body,
         std::string& lastError) {
    httplib::SSLClient cli("127.0.0.1", port);
    cli.set_ca_cert_path(ca.c_str());
    cli.enable_server_certificate_verification(true);
    cli.set_connection_timeout(5);
    cli.set_read_timeout(15);
    auto res = json ? cli.Post(path.c_str(), *json, "application/json") : cli.Get(path.c_str());
    if (!res) {
        lastError = "test API " + path + ": " + httplib::to_string(res.error());
        return 0;
    }
    if (body) *body = res->body;
    if (res->status != 200) lastError = "test API " + path + ": " + std::to_string(res->status) + " " + res->body;
    return res->status;
}

} // namespace

int RefServer::Post(const std::string& path, const std::string& json, std::string* body) {
    if (!Running()) {
        FLastError = "the server is not running";
        return 0;
    }
    return Call(FPort, CaFile(), path, &json, body, FLastError);
}

int RefServer::Get(const std::string& path, std::string* body) {
    if (!Running()) {
        FLastError = "the server is not running";
        return 0;
    }
    return Call(FPort, CaFile(), path, nullptr, body, FLastError);
}

} // namespace pavona::test
