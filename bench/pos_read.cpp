// Reading a busy POS day: a 50,000-line day through TPosReader::SalesLines (the SQLite3 ODBC
// driver, the SQLite form of SQL_SALES), next to the sqlite3 command-line tool running the same
// rewritten statement on the same file.
#include "common/Text.h"
#include "platform/Platform.h"
#include "pos/AgentPos.h"
#include "tools/demopos/DemoPos.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <unistd.h>

namespace pavona {
namespace {

constexpr std::int64_t kTargetLines = 50000;

struct TFileClose {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
struct TPipeClose {
    void operator()(std::FILE* p) const { pclose(p); }
};

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
    std::string sql = DialectSql(TPosDialect::Sqlite, SQL_SALES, PosQuerySql(SQL_SALES));
    sql = ReplaceAll(sql, ":p1", "'" + FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", d.Day) + "'");
    sql = ReplaceAll(sql, ":p2", "'" + FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", IncDay(d.Day, 1)) + "'");
    const std::string sqlPath = d.Path + ".sql";
    {
        const std::unique_ptr<std::FILE, TFileClose> f(std::fopen(sqlPath.c_str(), "wb"));
        if (f == nullptr) return state.SkipWithError("cannot write the statement file");
        std::fputs((ReplaceAll(sql, "\r\n", "\n") + ";\n").c_str(), f.get());
    }
    const std::string command = "sqlite3 -readonly '" + d.Path + "' < '" + sqlPath + "'";
    std::int64_t lines = 0;
    for (auto _ : state) {
        std::unique_ptr<std::FILE, TPipeClose> p(popen(command.c_str(), "r"));
        if (p == nullptr) return state.SkipWithError("cannot start sqlite3");
        lines = 0;
        char buf[65536];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p.get())) > 0)
            for (size_t i = 0; i < n; ++i)
                lines += buf[i] == '\n';
        // Closed here rather than by the owner: the tool's exit status says whether it read the file.
        if (pclose(p.release()) != 0) return state.SkipWithError("sqlite3 failed");
    }
    if (lines != d.Lines) return state.SkipWithError("row count differs");
    state.counters["lines"] = static_cast<double>(lines);
    state.counters["lines_per_s"] =
        benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_SalesLinesThroughTheSqliteTool)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
} // namespace pavona
