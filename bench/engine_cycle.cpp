// One report cycle over a busy POS day (about 50,000 POS lines): reading the window, attributing
// and encoding every receipt into the spool, next to the bare SalesLines read of the same window
// and the sqlite3 command-line tool running the same statement: one run gives both ratios.
// The association server answers every report with 503, so the cycle's sending costs one quick
// refused request each and the time is that of collecting into the spool.
#include "bench/SqliteTool.h"
#include "common/Text.h"
#include "engine/AgentEngine.h"
#include "platform/Clock.h"
#include "platform/Platform.h"
#include "pos/AgentPos.h"
#include "store/AgentSpool.h"
#include "tests/support/RefServerHarness.h"
#include "tools/demopos/DemoPos.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <unistd.h>

namespace pavona {
namespace {

constexpr std::int64_t kTargetLines = 50000;
const char* const kStore = "1234567890";
const char* const kKey = "bench-key";

struct TBenchWorld {
    std::string Dir;
    std::string PosPath;
    TDateTime Day = 0;
    std::int64_t PosLines = 0;
    std::int64_t Reportable = 0;
    std::unique_ptr<test::RefServer> Server;
    std::string Error;
};

// Made once: the POS day, the data folder, the server with the store and its faults, agent.ini.
TBenchWorld& World() {
    static TBenchWorld w = [] {
        TBenchWorld d;
        char dir[] = "/tmp/pavona-bench-cycle-XXXXXX";
        if (mkdtemp(dir) == nullptr) {
            d.Error = "mkdtemp";
            return d;
        }
        d.Dir = dir;
        setenv("LOCALAPPDATA", dir, 1);
        setenv("XDG_DATA_HOME", dir, 1);
        setenv("XDG_CONFIG_HOME", dir, 1);
        setenv("HOME", dir, 1);
        d.PosPath = platform::JoinPath(dir, "pos.db");
        d.Day = EncodeDate(2026, 10, 6);
        demopos::TDemoOptions o;
        o.Seed = 50000;
        o.FirstDay = d.Day;
        const demopos::TDemoResult full = demopos::GenerateDayOfLines(d.PosPath, o, kTargetLines);
        if (!full.Ok) {
            d.Error = full.Error;
            return d;
        }
        d.PosLines = full.Summary.Days.front().GoodsLines + full.Summary.Days.front().DiscountLines;
        d.Reportable = full.Summary.Days.front().ReportableLines;

        d.Server = std::make_unique<test::RefServer>();
        if (!d.Server->Running()) {
            d.Error = d.Server->StartError();
            return d;
        }
        setenv("SSL_CERT_FILE", d.Server->CaFile().c_str(), 1);
        const std::string policy =
            R"({"enabled":true,"program":{"code":"B","name":"벤치","starts_on":"2026-10-01",)"
            R"("ends_on":"2026-10-31"},"budget":{"allocated":1000000},)"
            R"("subsidy_coupon_codes":[7001,7002,7003,7004]})";
        if (!d.Server->AddStore(kStore, kKey, "B1 벤치마트", "pt-bench", policy)) {
            d.Error = d.Server->LastError();
            return d;
        }
        for (const char* path :
             {"/api/agent/sales", "/api/agent/coupons", "/api/agent/cancels", "/api/agent/status"})
            d.Server->Fault(path, 503, 0, false, false, false, 1000000);
        TAgentSettings st;
        DefaultSettings(st);
        st.BaseUrl = d.Server->BaseUrl();
        st.Store = kStore;
        st.Key = kKey;
        st.PosConnStr = "Driver=SQLite3;Database=" + d.PosPath;
        st.AutoStart = false;
        if (const Result<> saved = SaveSettings(st); !saved) d.Error = saved.Error();
        return d;
    }();
    return w;
}

// Removes the spool folder's files so every iteration collects the whole day afresh.
void EmptySpool() {
    std::vector<std::string> names;
    if (!platform::ListFiles(SpoolDir(), names)) return;
    for (const std::string& n : names)
        platform::RemoveFile(platform::JoinPath(SpoolDir(), n));
}

void BM_CycleIntoSpool(benchmark::State& state) {
    TBenchWorld& w = World();
    if (!w.Error.empty()) return state.SkipWithError(w.Error.c_str());
    // 00:30 the next morning: the first window covers the whole sales day.
    FixedClock clock(IncMinute(IncDay(w.Day, 1), 30));
    ScopedClock scoped(clock);
    TNullAgentView view;
    // Untimed first run (as in each benchmark here): the ratios compare warm runs, not the
    // process's first touch of the POS file, the driver and fresh memory with another's later runs.
    {
        EmptySpool();
        TAgentEngine warm(view);
        warm.RefreshPolicy();
        warm.CollectIfIdle();
    }
    std::int64_t spooled = 0;
    for (auto _ : state) {
        state.PauseTiming();
        EmptySpool();
        auto engine = std::make_unique<TAgentEngine>(view);
        engine->RefreshPolicy();
        const std::string policyError = engine->Snapshot().PolicyError;
        if (!policyError.empty()) return state.SkipWithError(policyError.c_str());
        state.ResumeTiming();

        engine->CollectIfIdle();

        state.PauseTiming();
        std::vector<TSpoolEntry> entries;
        if (!TSpool(SpoolDir(), 0).Pending(FormatDay(w.Day), entries))
            return state.SkipWithError("spool unreadable");
        spooled = static_cast<std::int64_t>(entries.size());
        // A resident engine lives on after its cycle: its teardown is no part of the cycle's cost.
        engine.reset();
        state.ResumeTiming();
    }
    if (spooled != w.Reportable)
        return state.SkipWithError("spooled lines differ from the day's reportable lines");
    state.counters["pos_lines"] = static_cast<double>(w.PosLines);
    state.counters["spooled"] = static_cast<double>(spooled);
    state.counters["pos_lines_per_s"] =
        benchmark::Counter(static_cast<double>(w.PosLines), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_CycleIntoSpool)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The read alone, over the window the cycle reads.
void BM_BareSalesLinesOfTheWindow(benchmark::State& state) {
    TBenchWorld& w = World();
    if (!w.Error.empty()) return state.SkipWithError(w.Error.c_str());
    const TDateTime now = IncMinute(IncDay(w.Day, 1), 30);
    const Result<TCollectWindow> next = CollectWindow(TCollectParams{}, now, 0);
    if (!next) return state.SkipWithError("no window");
    const TCollectWindow window = next.Value();
    TPosReader reader;
    if (const Result<> connected = reader.Connect("Driver=SQLite3;Database=" + w.PosPath); !connected)
        return state.SkipWithError(connected.Error().c_str());
    std::vector<TSalesRow> rows;
    if (!reader.SalesLines(window.FromT, window.ToT)) return state.SkipWithError("the first read failed");
    for (auto _ : state) {
        Result<std::vector<TSalesRow>> read = reader.SalesLines(window.FromT, window.ToT);
        if (!read) return state.SkipWithError(read.Error().c_str());
        rows = std::move(read).Value();
        benchmark::DoNotOptimize(rows.data());
    }
    if (static_cast<std::int64_t>(rows.size()) != w.PosLines) return state.SkipWithError("row count differs");
    state.counters["pos_lines"] = static_cast<double>(rows.size());
    state.counters["pos_lines_per_s"] =
        benchmark::Counter(static_cast<double>(rows.size()), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_BareSalesLinesOfTheWindow)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The sqlite3 command-line tool on the same statement and window: the floor of the read.
void BM_SqliteToolOnTheWindow(benchmark::State& state) {
    TBenchWorld& w = World();
    if (!w.Error.empty()) return state.SkipWithError(w.Error.c_str());
    const Result<TCollectWindow> next = CollectWindow(TCollectParams{}, IncMinute(IncDay(w.Day, 1), 30), 0);
    if (!next) return state.SkipWithError("no window");
    const std::string command = bench::SqliteToolCommand(w.PosPath, next.Value().FromT, next.Value().ToT);
    if (command.empty()) return state.SkipWithError("cannot write the statement file");
    std::int64_t lines = bench::SqliteToolLines(command);
    for (auto _ : state) {
        lines = bench::SqliteToolLines(command);
        if (lines < 0) return state.SkipWithError("sqlite3 failed");
    }
    if (lines != w.PosLines) return state.SkipWithError("row count differs");
    state.counters["pos_lines"] = static_cast<double>(lines);
}
BENCHMARK(BM_SqliteToolOnTheWindow)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace
} // namespace pavona
