// What a spool flush costs: bytes read by 30 send batches over 60 day files (with and without the
// pending cache), and the time the durable writes add to a collection window and a watermark.
#include "store/AgentSpool.h"

#include "common/Text.h"
#include "platform/Platform.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>

namespace pavona {
namespace {

// Counts what is read; without `durable`, writes skip the flushes (to measure what they cost).
class CountingFiles : public TCountingSpoolFiles {
  public:
    explicit CountingFiles(bool durable = true) : FDurable(durable) {}
    bool Append(const std::string& path, const std::string& bytes, bool durable) override {
        return TCountingSpoolFiles::Append(path, bytes, durable && FDurable);
    }
    bool Replace(const std::string& path, const std::string& bytes) override {
        if (FDurable) return TCountingSpoolFiles::Replace(path, bytes);
        std::filesystem::remove(path);
        return platform::AppendToFile(path, bytes, false);
    }

  private:
    bool FDurable;
};

std::string TempFolder() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "pavona-bench-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) std::abort();
    return tmpl;
}

// A report line of realistic size.
std::string Payload(const std::string& key, int n) {
    return Fmt("{\"tx_key\":\"%s\",\"sold_at\":\"2026-10-06T00:30:15Z\",\"vendor_item_code\":\"%d\","
               "\"vendor_item_name\":\"국산 대파 1단\",\"barcode\":\"8801234%06d\",\"quantity\":1,"
               "\"unit_price\":3000,\"amount\":3000,\"discount_amount\":600,\"pos_no\":\"2\","
               "\"receipt_no\":\"%d\",\"own_discount\":300}",
               key.c_str(), 500 + n % 300, n, n / 4);
}

std::string Day(int i) {
    return FormatDay(IncDay(EncodeDate(2026, 8, 1), i));
}

// 60 day files: the oldest 30 hold 1,000 lines each, all sent; the newest 30 hold 200 pending
// lines each, so one flush of 30 batches of 200 sends 6,000 lines.
struct TFolder {
    std::string Dir = TempFolder();
    TFolder() {
        TSpool spool(Dir, 0, std::make_shared<CountingFiles>(false));
        for (int d = 0; d < 60; ++d) {
            const int lines = d < 30 ? 1000 : 200;
            std::vector<std::string> keys;
            spool.BeginBatch();
            for (int i = 0; i < lines; ++i) {
                keys.push_back(Fmt("%d:%d", d * 10000 + i / 4, i % 4 + 1));
                spool.Append(Day(d), keys.back(), Payload(keys.back(), i));
            }
            spool.EndBatch();
            if (d < 30) spool.MarkSent(Day(d), keys);
        }
    }
    ~TFolder() { std::filesystem::remove_all(Dir); }
    void Unsend() const {
        for (int d = 30; d < 60; ++d)
            std::filesystem::remove(platform::JoinPath(Dir, "sent-" + Day(d) + ".txt"));
    }
};

// One flush as the report cycle runs it; `fresh` re-creates the spool for every batch, which is
// what reading without the cache costs.
int Flush(std::unique_ptr<TSpool>& spool, const std::function<std::unique_ptr<TSpool>()>& make, bool fresh) {
    int sent = 0;
    for (int batch = 0; batch < 30; ++batch) {
        if (fresh) {
            spool.reset();
            spool = make();
        }
        const std::vector<std::string> days = spool->PendingDays();
        if (days.empty()) break;
        std::vector<TSpoolEntry> entries;
        if (!spool->Pending(days.front(), entries) || entries.empty()) break;
        std::vector<std::string> keys;
        for (size_t i = 0; i < entries.size() && i < 200; ++i)
            keys.push_back(entries[i].Key);
        spool->MarkSent(days.front(), keys);
        sent += static_cast<int>(keys.size());
    }
    return sent;
}

void BM_FlushBytesRead(benchmark::State& state) {
    // 0: cache filled by an earlier flush (the running agent); 1: first flush after start; 2: no cache.
    const int mode = static_cast<int>(state.range(0));
    static const TFolder folder;
    auto files = std::make_shared<CountingFiles>();
    auto make = [&]() { return std::make_unique<TSpool>(folder.Dir, 0, files); };
    std::int64_t read = 0, folderBytes = 0;
    int sent = 0;
    for (auto _ : state) {
        state.PauseTiming();
        folder.Unsend();
        std::unique_ptr<TSpool> spool = make();
        if (mode == 0) spool->PendingDays();
        folderBytes = spool->Bytes();
        const std::int64_t before = files->BytesRead;
        state.ResumeTiming();
        sent = Flush(spool, make, mode == 2);
        state.PauseTiming();
        read = files->BytesRead - before;
        spool.reset();
        state.ResumeTiming();
    }
    state.counters["lines_sent"] = sent;
    state.counters["bytes_read"] = static_cast<double>(read);
    state.counters["folder_bytes"] = static_cast<double>(folderBytes);
    state.counters["read_per_folder"] = static_cast<double>(read) / static_cast<double>(folderBytes);
}
BENCHMARK(BM_FlushBytesRead)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(3);

// One collection window of 200 lines and 5 corrections into the spool, with or without flushing
// the files to disk before EndBatch returns.
void BM_EndBatch(benchmark::State& state) {
    const bool durable = state.range(0) != 0;
    const std::string dir = TempFolder();
    TSpool spool(dir, 0, std::make_shared<CountingFiles>(durable));
    int n = 0;
    for (auto _ : state) {
        spool.BeginBatch();
        for (int i = 0; i < 200; ++i, ++n) {
            const std::string key = Fmt("%d:%d", n / 4, n % 4 + 1);
            spool.Append("2026-10-06", key, Payload(key, n));
        }
        for (int i = 0; i < 5; ++i)
            spool.Append("2026-10-06-cancel", Fmt("%d:1", n + i), "{\"kind\":\"void\"}");
        if (spool.EndBatch() != 0) state.SkipWithError("write failed");
    }
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_EndBatch)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_SetWatermark(benchmark::State& state) {
    const bool durable = state.range(0) != 0;
    const std::string dir = TempFolder();
    TSpool spool(dir, 0, std::make_shared<CountingFiles>(durable));
    TDateTime t = EncodeDateTime(2026, 10, 6, 9, 0, 0);
    for (auto _ : state) {
        t = IncMinute(t, 10);
        if (!spool.SetWatermark(t)) state.SkipWithError("write failed");
    }
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_SetWatermark)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace pavona
