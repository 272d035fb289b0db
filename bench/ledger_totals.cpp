// What the goods totals of a whole programme cost: the first call parses 60 day files, a repeated
// call is served from the per-file cache and must read no day file again.
#include "store/AgentLedger.h"

#include "common/DateTime.h"
#include "common/Text.h"
#include "pos/AgentReport.h"
#include "store/AgentSpool.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>

namespace pavona {
namespace {

constexpr int kDays = 60;
constexpr int kLinesPerDay = 1000;

const TDateTime kFirstDay = EncodeDate(2026, 8, 1);

// 60 day files of 1,000 lines over 300 goods, with the overlap re-spooling of every 20th line and
// a correction file of voids and amendments on every tenth day. Made once, removed at exit.
class Programme {
  public:
    Programme() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "pavona-ledger-XXXXXX").string();
        if (!::mkdtemp(tmpl.data())) std::abort();
        FDir = tmpl;
        TSpool spool(FDir, 0);
        for (int d = 0; d < kDays; ++d) {
            const TDateTime day = IncDay(kFirstDay, d);
            const std::string name = FormatDay(day);
            spool.BeginBatch();
            for (int n = 0; n < kLinesPerDay; ++n) {
                TReportLine r;
                r.TxKey = MakeTxKey(Fmt("%d%04d", d, n / 3), n % 3 + 1);
                r.SoldAtLocal = IncMinute(day, 480 + n * 840 / kLinesPerDay);
                r.VendorItemCode = std::to_string(500 + n % 300);
                r.VendorItemName = "국산 대파 1단";
                r.Barcode = Fmt("8801234%06d", n);
                r.Quantity = 1;
                r.UnitPrice = r.Amount = 3000;
                r.DiscountAmount = 600;
                r.PosNo = std::string("2"); // a literal: GCC 12 warns of an overlapping copy that is none
                r.ReceiptNo = Fmt("%d%04d", d, n / 3);
                r.HasOwnDiscount = true;
                r.OwnDiscount = 300;
                const std::string json = LineJson(r);
                spool.Append(name, r.TxKey, json);
                if (n % 20 == 0) spool.Append(name, r.TxKey, json);
                if (d % 10 == 0 && n % 50 == 0) {
                    TCancelOut o;
                    o.TxKey = r.TxKey;
                    o.Kind = n % 100 == 0 ? "void" : "amend";
                    o.HasCorrected = o.Kind == "amend";
                    o.Corrected = 300;
                    o.Reason = "POS 취소 #1";
                    o.OccurredAtLocal = IncMinute(day, 1200);
                    spool.Append(name + "-cancel", o.TxKey, CancelJson(o));
                }
            }
            if (spool.EndBatch() != 0) std::abort();
        }
    }
    ~Programme() { std::filesystem::remove_all(FDir); }
    const std::string& Dir() const { return FDir; }

  private:
    std::string FDir;
};

const Programme& Data() {
    static Programme data;
    return data;
}

const TDateTime kLastDay = IncDay(kFirstDay, kDays - 1);

void BM_TotalsFirstCall(benchmark::State& state) {
    const std::string dir = Data().Dir();
    std::size_t goods = 0;
    for (auto _ : state) {
        TLedger ledger(dir);
        const auto totals = ledger.Totals(kFirstDay, kLastDay);
        goods = totals.size();
        benchmark::DoNotOptimize(goods);
        if (ledger.Aggregations() != kDays) state.SkipWithError("not every day file was parsed");
    }
    state.counters["goods"] = static_cast<double>(goods);
    state.counters["lines"] = benchmark::Counter(
        static_cast<double>(kDays) * kLinesPerDay * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TotalsFirstCall)->Unit(benchmark::kMillisecond);

void BM_TotalsRepeatedCall(benchmark::State& state) {
    auto files = std::make_shared<TCountingSpoolFiles>();
    TLedger ledger(Data().Dir(), files);
    ledger.Totals(kFirstDay, kLastDay);
    const int parsed = ledger.Aggregations();
    const std::int64_t reads = files->Reads;
    for (auto _ : state) {
        const auto totals = ledger.Totals(kFirstDay, kLastDay);
        benchmark::DoNotOptimize(totals.size());
    }
    // A repeated call must serve every unchanged day file from the cache.
    if (ledger.Aggregations() != parsed || files->Reads != reads)
        state.SkipWithError("a repeated call read unchanged files again");
    state.counters["files_read_per_call"] =
        static_cast<double>(files->Reads - reads) /
        static_cast<double>(std::max<std::int64_t>(1, state.iterations()));
}
BENCHMARK(BM_TotalsRepeatedCall)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace pavona
