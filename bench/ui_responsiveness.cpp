// How long the window's event loop can go without a beat while the engine works: a 10 ms timer
// probes the loop during "지금 보내기" against a server that answers everything 10 s late, and
// during a cycle over a POS day of about 50,000 lines. The target is under 100 ms in both.
#include "platform/Clock.h"
#include "platform/Platform.h"
#include "tests/support/RefServerHarness.h"
#include "tools/demopos/DemoPos.h"
#include "ui/EngineBridge.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <unistd.h>

namespace pavona {
namespace {

const char* const kStore = "1234567890";
const char* const kKey = "bench-key";

QCoreApplication& App() {
    static int argc = 1;
    static char name[] = "bench_ui_responsiveness";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

// A fresh data folder, the reference server with the store, and agent.ini naming a POS of
// `posLines` lines (a small day when 0).
struct TScene {
    std::string Error;
    std::unique_ptr<test::RefServer> Server;

    explicit TScene(std::int64_t posLines) {
        char dir[] = "/tmp/pavona-bench-ui-XXXXXX";
        if (mkdtemp(dir) == nullptr) {
            Error = "mkdtemp";
            return;
        }
        for (const char* var : {"LOCALAPPDATA", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "HOME"})
            setenv(var, dir, 1);
        const std::string pos = platform::JoinPath(dir, "pos.db");
        demopos::TDemoOptions o;
        o.FirstDay = EncodeDate(2026, 10, 6);
        o.Days = 1;
        o.ReceiptsPerDay = 20;
        const demopos::TDemoResult made =
            posLines > 0 ? demopos::GenerateDayOfLines(pos, o, posLines) : demopos::Generate(pos, o);
        if (!made.Ok) {
            Error = made.Error;
            return;
        }
        Server = std::make_unique<test::RefServer>();
        if (!Server->Running()) {
            Error = Server->StartError();
            return;
        }
        setenv("SSL_CERT_FILE", Server->CaFile().c_str(), 1);
        const std::string policy =
            R"({"enabled":true,"program":{"code":"B","name":"벤치","starts_on":"2026-10-01",)"
            R"("ends_on":"2026-10-31"},"budget":{"allocated":1000000},)"
            R"("subsidy_coupon_codes":[7001,7002,7003,7004]})";
        if (!Server->AddStore(kStore, kKey, "B1 벤치마트", "pt-bench", policy)) {
            Error = Server->LastError();
            return;
        }
        TAgentSettings st;
        DefaultSettings(st);
        st.BaseUrl = Server->BaseUrl();
        st.Store = kStore;
        st.Key = kKey;
        st.PosConnStr = "Driver=SQLite3;Database=" + pos;
        st.AutoStart = false;
        if (const Result<> saved = SaveSettings(st); !saved) Error = saved.Error();
    }
};

// Runs "지금 보내기" through the bridge and returns the longest gap between two probe beats (ms)
// and the time the whole operation took.
std::pair<qint64, qint64> LongestGapDuringSendNow() {
    App();
    TEngineBridge bridge;
    QEventLoop loop;
    QObject::connect(&bridge, &TEngineBridge::sendNowDone, &loop, &QEventLoop::quit);
    QElapsedTimer beat, total;
    qint64 longest = 0;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] { longest = std::max(longest, beat.restart()); });
    beat.start();
    total.start();
    probe.start(10);
    bridge.SendNow();
    QTimer::singleShot(600000, &loop, &QEventLoop::quit);
    loop.exec();
    return {longest, total.elapsed()};
}

void Report(benchmark::State& state, const std::pair<qint64, qint64>& r) {
    state.counters["longest_gap_ms"] = static_cast<double>(r.first);
    state.counters["operation_ms"] = static_cast<double>(r.second);
}

void BM_LoopDuringSlowServer(benchmark::State& state) {
    TScene scene(0);
    if (!scene.Error.empty()) return state.SkipWithError(scene.Error.c_str());
    // Every answer the agent waits for comes 10 s late (the agent waits up to 20 s).
    for (const char* path : {"/api/auth/agent", "/api/agent/policy", "/api/agent/sales", "/api/agent/coupons",
                             "/api/agent/cancels", "/api/agent/status"}) {
        test::RefFault late;
        late.DelayMs = 10000;
        late.Times = 1000;
        scene.Server->Fault(path, late);
    }
    FixedClock clock(EncodeDateTime(2026, 10, 7, 0, 30, 0));
    ScopedClock scoped(clock);
    std::pair<qint64, qint64> r;
    for (auto _ : state)
        r = LongestGapDuringSendNow();
    Report(state, r);
}
BENCHMARK(BM_LoopDuringSlowServer)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

void BM_LoopDuringBigPosDay(benchmark::State& state) {
    TScene scene(50000);
    if (!scene.Error.empty()) return state.SkipWithError(scene.Error.c_str());
    FixedClock clock(EncodeDateTime(2026, 10, 7, 0, 30, 0));
    ScopedClock scoped(clock);
    std::pair<qint64, qint64> r;
    for (auto _ : state)
        r = LongestGapDuringSendNow();
    Report(state, r);
}
BENCHMARK(BM_LoopDuringBigPosDay)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

} // namespace
} // namespace pavona
