// soak_resident [cycles] [period-ms]: starts the resident agent (offscreen, in the tray or
// minimised) against a demo POS and the reference server with both timers at one short period, adds
// a sale to the POS every cycle, and prints what a store PC would feel over a long day: the start
// time, the resident memory after start, after 50 cycles and at the end, and the open descriptors
// and threads. Exits 1 when a figure is outside its target or the agent fails.
#include "bench/soak/SoakProcess.h"
#include "common/DateTime.h"
#include "config/AgentSettings.h"
#include "platform/Clock.h"
#include "platform/Platform.h"
#include "tests/support/RefServerHarness.h"
#include "tools/demopos/DemoPos.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <string>
#include <unistd.h>

namespace pavona::soak {
namespace {

const char* const kStore = "1234567890";
const char* const kKey = "soak-key";
constexpr int kSettle = 50; // cycles before the reference sample: caches and pools have grown by then

int Fail(const std::string& what) {
    std::fprintf(stderr, "soak: %s\n", what.c_str());
    return 1;
}

void Keep(std::deque<std::string>& lines, const std::string& line) {
    lines.push_back(line);
    if (lines.size() > 80) lines.pop_front();
}

double Mb(long kb) {
    return static_cast<double>(kb) / 1024.0;
}

int Run(int cycles, int periodMs) {
    char dir[] = "/tmp/pavona-soak-XXXXXX";
    if (mkdtemp(dir) == nullptr) return Fail("no temporary folder");
    for (const char* name : {"LOCALAPPDATA", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "HOME"})
        setenv(name, dir, 1);
    const std::string posPath = platform::JoinPath(dir, "pos.db");

    // Two days of sales up to today, and a sale more every cycle while the agent runs.
    demopos::TDemoOptions o;
    o.Seed = 1000;
    o.Days = 2;
    o.FirstDay = IncDay(DateOf(Now()), -1);
    const demopos::TDemoResult made = demopos::Generate(posPath, o);
    if (!made.Ok) return Fail(made.Error);

    test::RefServer server;
    if (!server.Running()) return Fail(server.StartError());
    const std::string policy =
        R"({"enabled":true,"program":{"code":"S","name":"소크","starts_on":")" + FormatDay(IncDay(Now(), -30)) +
        R"(","ends_on":")" + FormatDay(IncDay(Now(), 30)) +
        R"("},"budget":{"allocated":100000000},"subsidy_coupon_codes":[7001,7002,7003,7004]})";
    if (!server.AddStore(kStore, kKey, "S1 소크마트", "pt-soak", policy)) return Fail(server.LastError());

    TAgentSettings st;
    DefaultSettings(st);
    st.BaseUrl = server.BaseUrl();
    st.Store = kStore;
    st.Key = kKey;
    st.PosConnStr = "Driver=SQLite3;Database=" + posPath;
    st.AutoStart = false;
    if (const Result<> saved = SaveSettings(st); !saved) return Fail(saved.Error());

    TChild agent;
    std::string error;
    const auto started = std::chrono::steady_clock::now();
    if (!agent.Start({SOAK_AGENT_BIN, "/tray"},
                     {"QT_QPA_PLATFORM=offscreen", "PAVONA_SOAK_PERIOD_MS=" + std::to_string(periodMs),
                      "SSL_CERT_FILE=" + server.CaFile()},
                     error))
        return Fail("the agent did not start: " + error);

    std::string line;
    std::deque<std::string> other; // the agent's own last words, shown when it fails
    long startMs = -1;
    TProcessSample atStart, settled, last;
    int cycle = 0;
    const int waitMs = periodMs * 10 + 60000;
    while (cycle < cycles) {
        if (!agent.ReadLine(line, waitMs)) return Fail("the agent stopped answering after " + std::to_string(cycle) + " cycles");
        if (line == "soak: ready") {
            startMs = static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                            std::chrono::steady_clock::now() - started)
                                            .count());
            atStart = agent.Sample();
            continue;
        }
        if (line.rfind("soak: cycle ", 0) != 0) {
            Keep(other, line);
            continue;
        }
        cycle = std::atoi(line.c_str() + 12);
        if (cycle == kSettle) settled = agent.Sample();
        if (cycle % 100 == 0) {
            const TProcessSample now = agent.Sample();
            std::printf("  cycle %5d  RSS %6.1f MB  fds %3d  threads %2d\n", cycle, Mb(now.RssKb), now.Fds,
                        now.Threads);
            std::fflush(stdout);
        }
        std::string addError;
        demopos::AddReceiptAt(posPath, IncSecond(Now(), -1), 1001 + cycle % 50, 1000 + cycle, cycle % 3 ? 0 : 7001,
                              cycle % 3 ? 0 : 100, addError);
    }
    last = agent.Sample();
    const int code = agent.Stop(30000);
    while (agent.ReadLine(line, 1000))
        Keep(other, line);
    if (code != 0) {
        std::printf("the agent's last words on standard error:\n");
        for (const std::string& l : other)
            std::printf("  %s\n", l.c_str());
    }
    const test::RefSummary summary = server.Summary(kStore);

    const double growth = settled.RssKb > 0 ? 100.0 * static_cast<double>(last.RssKb - settled.RssKb) /
                                                  static_cast<double>(settled.RssKb)
                                            : 0;
    std::printf("\n%-44s %12s %12s\n", "figure", "value", "target");
    std::printf("%-44s %9ld ms %12s\n", "start (exec to timers armed, window built)", startMs, "<= 1000 ms");
    std::printf("%-44s %9.1f MB %12s\n", "RSS after start", Mb(atStart.RssKb), "<= 60 MB");
    std::printf("%-44s %9.1f MB\n", ("RSS after " + std::to_string(kSettle) + " cycles").c_str(), Mb(settled.RssKb));
    std::printf("%-44s %9.1f MB\n", ("RSS after " + std::to_string(cycles) + " cycles").c_str(), Mb(last.RssKb));
    std::printf("%-44s %10.1f %% %12s\n", "RSS growth over the settled value", growth, "<= 5 %");
    std::printf("%-44s %6d -> %-4d %12s\n", "open descriptors (settled -> end)", settled.Fds, last.Fds, "equal");
    std::printf("%-44s %6d -> %-4d %12s\n", "threads (settled -> end)", settled.Threads, last.Threads, "equal");
    std::printf("%-44s %12d %12s\n", "exit code after SIGTERM", code, "0");
    std::printf("%-44s %12lld\n", "lines the server accepted", static_cast<long long>(summary.Accepted));

    // Under a sanitizer memory is no measure (freed blocks wait in its quarantine, every block has
    // red zones): that run is judged by its clean exit, which a leak or a fault would have spoiled.
    const bool sanitized = std::getenv("SOAK_SANITIZED") != nullptr;
    if (sanitized) std::printf("(sanitized build: the memory figures are not judged)\n");
    const bool memoryOk = sanitized || (atStart.RssKb <= 60 * 1024 && growth <= 5.0);
    const bool ok = startMs >= 0 && startMs <= 1000 && memoryOk && settled.Fds == last.Fds &&
                    settled.Threads == last.Threads && code == 0 && summary.Accepted > 0;
    std::printf("%s\n", ok ? "ok every figure is within its target" : "FAILED a figure is outside its target");
    return ok ? 0 : 1;
}

} // namespace
} // namespace pavona::soak

int main(int argc, char** argv) {
    const int cycles = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int periodMs = argc > 2 ? std::atoi(argv[2]) : 1000;
    if (cycles <= pavona::soak::kSettle || periodMs < 200) {
        std::fprintf(stderr, "usage: soak_resident [cycles > 50] [period-ms >= 200]\n");
        return 2;
    }
    return pavona::soak::Run(cycles, periodMs);
}
