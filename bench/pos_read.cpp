// Reading a busy POS day: a 50,000-line day through TPosReader::SalesLines (the SQLite3 ODBC
// driver, the SQLite form of SQL_SALES), next to the sqlite3 command-line tool running the same
// rewritten statement on the same file.
#include "bench/SqliteTool.h"
#include "common/Text.h"
#include "platform/Platform.h"
#include "pos/AgentPos.h"
#include "tools/demopos/DemoPos.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace pavona {
namespace {

constexpr std::int64_t kTargetLines = 50000;

struct TBenchDay {
    std::string Path;
    TDateTime Day = 0;
    std::int64_t Lines = 0;
    std::string Error;
};

// Generated once: a sample day tells the lines per receipt, then the day is made with enough
// receipts for about 50,000 lines. The agent's logs go to the same temporary folder.
const TBenchDay& Day() {
    static const TBenchDay day = [] {
        TBenchDay d;
        char dir[] = "/tmp/pavona-bench-XXXXXX";
        if (mkdtemp(dir) == nullptr) {
            d.Error = "mkdtemp";
            return d;
        }
        setenv("LOCALAPPDATA", dir, 1);
        setenv("XDG_DATA_HOME", dir, 1);
        d.Path = platform::JoinPath(dir, "pos.db");
        d.Day = EncodeDate(2026, 10, 6);
        demopos::TDemoOptions o;
        o.Seed = 50000;
        o.FirstDay = d.Day;
        const demopos::TDemoResult full = demopos::GenerateDayOfLines(d.Path, o, kTargetLines);
        if (!full.Ok) {
            d.Error = full.Error;
            return d;
        }
        d.Lines = full.Summary.Days.front().GoodsLines + full.Summary.Days.front().DiscountLines;
        return d;
    }();
    return day;
}

void BM_SalesLinesThroughTheReader(benchmark::State& state) {
    const TBenchDay& d = Day();
    if (!d.Error.empty()) return state.SkipWithError(d.Error.c_str());
    TPosReader reader;
    if (const Result<> connected = reader.Connect("Driver=SQLite3;Database=" + d.Path); !connected)
        return state.SkipWithError(connected.Error().c_str());
    std::vector<TSalesRow> rows;
    for (auto _ : state) {
        Result<std::vector<TSalesRow>> read = reader.SalesLines(d.Day, IncDay(d.Day, 1));
        if (!read) return state.SkipWithError(read.Error().c_str());
        rows = std::move(read).Value();
        benchmark::DoNotOptimize(rows.data());
    }
    if (static_cast<std::int64_t>(rows.size()) != d.Lines) return state.SkipWithError("row count differs");
    state.counters["lines"] = static_cast<double>(rows.size());
    state.counters["lines_per_s"] =
        benchmark::Counter(static_cast<double>(rows.size()), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_SalesLinesThroughTheReader)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same rewritten statement with the window written in as the text the driver binds.
void BM_SalesLinesThroughTheSqliteTool(benchmark::State& state) {
    const TBenchDay& d = Day();
    if (!d.Error.empty()) return state.SkipWithError(d.Error.c_str());
    const std::string command = bench::SqliteToolCommand(d.Path, d.Day, IncDay(d.Day, 1));
    if (command.empty()) return state.SkipWithError("cannot write the statement file");
    std::int64_t lines = 0;
    for (auto _ : state) {
        lines = bench::SqliteToolLines(command);
        if (lines < 0) return state.SkipWithError("sqlite3 failed");
    }
    if (lines != d.Lines) return state.SkipWithError("row count differs");
    state.counters["lines"] = static_cast<double>(lines);
    state.counters["lines_per_s"] =
        benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_SalesLinesThroughTheSqliteTool)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
} // namespace pavona
