// Reading the send history from a damaged send log: 32 MiB that lost their line breaks between
// records at both ends, next to a sound log of 20,000 records, both read for the history page's
// newest 2,000.
#include "store/AgentSendLog.h"

#include "common/DateTime.h"
#include "platform/Platform.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace pavona {
namespace {

constexpr int kPageRecords = 2000;
constexpr std::size_t kDamageBytes = 32u << 20;

std::string Records(int first, int count) {
    std::string text;
    for (int n = first; n < first + count; ++n) {
        TSendRecord r;
        r.At = IncSecond(EncodeDateTime(2026, 10, 6, 9, 0, 0), n);
        r.Kind = n % 3 ? "실적" : "취소";
        r.FileDay = n % 3 ? "2026-10-06" : "2026-10-06-cancel";
        r.Lines = 200;
        r.Accepted = 198;
        r.Duplicated = 2;
        r.Ok = n % 50 != 0;
        r.Note = r.Ok ? "" : "서버 응답 없음";
        text += SendRecordLine(r);
    }
    return text;
}

// The two logs, made once and removed at exit.
class Logs {
  public:
    Logs() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "pavona-sendlog-XXXXXX").string();
        if (!::mkdtemp(tmpl.data())) std::abort();
        FDir = tmpl;
        std::string damaged = Records(0, 100);
        damaged.append(kDamageBytes, 'x');
        damaged += "\r\n" + Records(100, 100);
        if (!platform::AppendToFile(Damaged(), damaged, false)) std::abort();
        if (!platform::AppendToFile(Sound(), Records(0, 20000), false)) std::abort();
    }
    ~Logs() { std::filesystem::remove_all(FDir); }
    std::string Damaged() const { return platform::JoinPath(FDir, "damaged.tsv"); }
    std::string Sound() const { return platform::JoinPath(FDir, "sendlog.tsv"); }

  private:
    std::string FDir;
};

const Logs& Data() {
    static Logs logs;
    return logs;
}

void ReadPage(benchmark::State& state, const std::string& path, std::size_t want) {
    const std::int64_t bytes = platform::FileSize(path);
    for (auto _ : state) {
        const std::vector<TSendRecord> page = ReadSendLogFile(path, kPageRecords);
        if (page.size() != want) state.SkipWithError("the history page lost records");
        benchmark::DoNotOptimize(page.data());
    }
    state.counters["file_MiB"] = static_cast<double>(bytes) / (1 << 20);
}

void BM_ReadDamagedLog(benchmark::State& state) {
    ReadPage(state, Data().Damaged(), 200);
}
BENCHMARK(BM_ReadDamagedLog)->Unit(benchmark::kMillisecond);

void BM_ReadSoundLog(benchmark::State& state) {
    ReadPage(state, Data().Sound(), kPageRecords);
}
BENCHMARK(BM_ReadSoundLog)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace pavona
