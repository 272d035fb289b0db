// Power loss: an hour of cycles is recorded change by change (appends with or without a flush,
// replacements, removals) and replayed onto a model of the disk that keeps only what was flushed.
// Every change is a crash point. At each, the writes not yet flushed are dropped or kept, and an
// append under way is torn at line boundaries and inside lines: cut short, or its tail left as
// zeros (a disk that grew the file but lost its data). The agent starts on every such disk: the
// start succeeds, and every line the POS holds ends up in the day files and marked sent; a torn
// line, never made durable, is read again from the POS.
#include "tests/faults/FaultHarness.h"

#include "common/Text.h"
#include "platform/Platform.h"
#include "store/SpoolFiles.h"

#include <algorithm>
#include <cstdio>
#include <map>

namespace pavona::test {
namespace {

struct TChange {
    enum TKind { Append, Replace, Remove } Kind = Append;
    std::string Name; // file name in the spool folder
    std::string Bytes;
    bool Durable = false;
};

// The platform's files, with every change the spool makes written down in order.
class RecordingFiles : public TCountingSpoolFiles {
  public:
    std::vector<TChange> Changes;

    bool Append(const std::string& path, const std::string& bytes, bool durable) override {
        Changes.push_back({TChange::Append, NameOf(path), bytes, durable});
        return TCountingSpoolFiles::Append(path, bytes, durable);
    }
    bool Replace(const std::string& path, const std::string& bytes) override {
        Changes.push_back({TChange::Replace, NameOf(path), bytes, true});
        return TCountingSpoolFiles::Replace(path, bytes);
    }
    bool Remove(const std::string& path) override {
        Changes.push_back({TChange::Remove, NameOf(path), "", true});
        return TCountingSpoolFiles::Remove(path);
    }

  private:
    static std::string NameOf(const std::string& path) { return path.substr(path.rfind('/') + 1); }
};

// One file of the model: what stable storage holds, and what the process has written.
struct TFileModel {
    bool Stored = false;
    std::string StoredBytes;
    bool Exists = false;
    std::string Bytes;
};
using TDiskModel = std::map<std::string, TFileModel>;

void Apply(TDiskModel& disk, const TChange& c) {
    TFileModel& f = disk[c.Name];
    switch (c.Kind) {
    case TChange::Append:
        f.Exists = true;
        f.Bytes += c.Bytes;
        // A flush makes everything written to the file so far durable, not only this append.
        if (c.Durable) {
            f.Stored = true;
            f.StoredBytes = f.Bytes;
        }
        break;
    case TChange::Replace: // written, flushed, renamed and the folder flushed
        f = {true, c.Bytes, true, c.Bytes};
        break;
    case TChange::Remove:
        f = {};
        break;
    }
}

// A crash under change `At` (At == changes: after the last one).
struct TCrashState {
    std::size_t At = 0;
    bool KeepUnflushed = false; // the writes not yet flushed reached the disk after all
    std::size_t Torn = 0;       // bytes of the append under way that reached the disk
    bool Zeros = false;         // they read back as zeros
};

// Where an append may be torn: nowhere, the first byte, the middle of each line, inside and after
// each line break, all but the last byte, and all of it.
std::vector<std::size_t> TearPoints(const std::string& bytes) {
    std::vector<std::size_t> at = {0};
    if (bytes.empty()) return at;
    at.push_back(1);
    std::size_t start = 0;
    for (std::size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2) {
        at.push_back(start + (end - start) / 2);
        at.push_back(end + 1);
        at.push_back(end + 2);
    }
    at.push_back(bytes.size() - 1);
    at.push_back(bytes.size());
    std::sort(at.begin(), at.end());
    at.erase(std::unique(at.begin(), at.end()), at.end());
    return at;
}

std::vector<TCrashState> CrashStates(const std::vector<TChange>& changes) {
    std::vector<TCrashState> states;
    for (std::size_t i = 0; i <= changes.size(); ++i) {
        const bool append = i < changes.size() && changes[i].Kind == TChange::Append;
        for (const bool keep : {false, true}) {
            if (!append) {
                states.push_back({i, keep, 0, false});
                continue;
            }
            for (const std::size_t torn : TearPoints(changes[i].Bytes)) {
                states.push_back({i, keep, torn, false});
                if (torn > 0 && torn < changes[i].Bytes.size()) states.push_back({i, keep, torn, true});
            }
        }
    }
    return states;
}

// The spool folder's files as the disk shows them after that crash.
std::map<std::string, std::string> DiskAfter(const TDiskModel& start, const std::vector<TChange>& changes,
                                             const TCrashState& s) {
    TDiskModel disk = start;
    for (std::size_t i = 0; i < s.At; ++i)
        Apply(disk, changes[i]);
    std::map<std::string, std::string> files;
    for (const auto& [name, f] : disk) {
        if (s.KeepUnflushed ? f.Exists : f.Stored) files[name] = s.KeepUnflushed ? f.Bytes : f.StoredBytes;
    }
    if (s.At < changes.size() && changes[s.At].Kind == TChange::Append && s.Torn > 0) {
        const TChange& c = changes[s.At];
        files[c.Name] += s.Zeros ? std::string(s.Torn, '\0') : c.Bytes.substr(0, s.Torn);
    }
    return files;
}

class PowerLossTest : public FaultHarnessTest {
  protected:
    static std::size_t StatesWanted(std::size_t fallback) {
        const char* v = std::getenv("PAVONA_FAULT_STATES");
        const long long n = v != nullptr ? std::atoll(v) : 0;
        return n > 0 ? static_cast<std::size_t>(n) : fallback;
    }
    // PAVONA_FAULT_SHARD "k/n": this process runs every nth state from the kth, so that a long
    // sweep can run in n processes side by side.
    static void Shard(std::size_t& first, std::size_t& step) {
        first = 0;
        step = 1;
        const char* v = std::getenv("PAVONA_FAULT_SHARD");
        unsigned k = 0, n = 0;
        if (v != nullptr && std::sscanf(v, "%u/%u", &k, &n) == 2 && n > 0 && k < n) {
            first = k;
            step = n;
        }
    }

    void ClearSpoolFolder() {
        std::vector<std::string> names;
        platform::ListFiles(SpoolDir(), names);
        for (const std::string& name : names)
            platform::RemoveFile(platform::JoinPath(SpoolDir(), name));
    }
    TDiskModel ReadSpoolFolder() {
        TDiskModel disk;
        std::vector<std::string> names;
        platform::ListFiles(SpoolDir(), names);
        for (const std::string& name : names) {
            std::string bytes;
            platform::ReadWholeFile(platform::JoinPath(SpoolDir(), name), bytes);
            disk[name] = {true, bytes, true, bytes};
        }
        return disk;
    }
};

TEST_F(PowerLossTest, EveryCrashStateOfAnHourOfCyclesRestartsAndLosesNoLine) {
    const std::int64_t posLines = MakePos(LinesWanted(1000));
    ASSERT_GT(posLines, 0);
    FClock.Set(EncodeDateTime(2026, 10, 5, 9, 0, 0));
    const TDiskModel start = ReadSpoolFolder();

    // The recorded hour: a start, then a cycle every ten minutes.
    auto recorder = std::make_shared<RecordingFiles>();
    {
        auto engine = MakeEngine();
        engine->UseSpoolFiles(recorder);
        engine->RefreshPolicy();
        for (int cycle = 0; cycle < 6; ++cycle) {
            Later(10);
            engine->CollectIfIdle();
        }
    }
    const TDateTime end = FClock.Now();
    const std::set<std::string> reference = SpooledKeys();
    ASSERT_EQ(reference, PosKeysBefore(TSpool(SpoolDir(), 0).Watermark()));
    ASSERT_GT(reference.size(), 20u);
    ASSERT_EQ(SentKeys(), reference);

    const std::vector<TCrashState> all = CrashStates(recorder->Changes);
    std::size_t first = 0, shards = 1;
    Shard(first, shards);
    const std::size_t wanted = std::min(all.size() / shards, StatesWanted(40));
    // An even spread over the sweep when only some states are run.
    const std::size_t stride = std::max<std::size_t>(1, all.size() / std::max<std::size_t>(wanted, 1) / shards) * shards;
    std::int64_t runs = 0, tornLines = 0;
    for (std::size_t k = 0; k < all.size() && !HasFailure(); ++k) {
        const TCrashState& s = all[k];
        // Besides the spread, a crash just before each change (in the first shard), so that a short
        // sweep still meets every change once.
        const bool beforeChange = first == 0 && (k == 0 || all[k - 1].At != s.At);
        if (k % stride != first && !beforeChange) continue;
        const std::string what = Fmt("crash at change %zu of %zu (%s), %zu bytes of it%s, unflushed writes %s",
                                     s.At, recorder->Changes.size(),
                                     s.At < recorder->Changes.size() ? recorder->Changes[s.At].Name.c_str() : "-",
                                     s.Torn, s.Zeros ? " as zeros" : "", s.KeepUnflushed ? "kept" : "lost");
        ClearSpoolFolder();
        for (const auto& [name, bytes] : DiskAfter(start, recorder->Changes, s))
            WriteFile(platform::JoinPath(SpoolDir(), name), bytes);
        FClock.Set(end);
        auto engine = MakeEngine();
        engine->RefreshPolicy();
        // A crash before the first watermark leaves reading to start at the first window's start
        // again, a day's window at a time: the start reads on until it stands where it stood.
        TAgentSnapshot snap;
        for (int cycle = 0; cycle < 4; ++cycle) {
            engine->CollectIfIdle();
            snap = engine->Snapshot();
            if (TSpool(SpoolDir(), 0).Watermark() >= IncMinute(end, -10) && snap.PendingDays.empty()) break;
        }
        ++runs;
        EXPECT_EQ(snap.PosState, TPosState::Read) << what;
        EXPECT_EQ(snap.Report.Text.find("보관하지 못했습니다"), std::string::npos) << what << ": " << snap.Report.Text;
        EXPECT_TRUE(snap.PendingDays.empty()) << what << ": lines left unsent";

        const std::set<std::string> spooled = SpooledKeys(), sent = SentKeys();
        std::size_t lost = 0, unsent = 0;
        for (const std::string& key : reference) {
            lost += spooled.count(key) == 0 ? 1 : 0;
            unsent += sent.count(key) == 0 ? 1 : 0;
        }
        EXPECT_EQ(lost, 0u) << what << ": lines missing from the day files";
        EXPECT_EQ(unsent, 0u) << what << ": lines never marked sent";
        tornLines += UnreadableLines();
    }
    EXPECT_GE(runs, static_cast<std::int64_t>(wanted));

    FClock.Set(EncodeDateTime(2026, 10, 6, 0, 30, 0));
    auto engine = MakeEngine();
    engine->RefreshPolicy();
    Drain(*engine);
    const FaultFigures f = Figures(
        "power loss: crash states of an hour of cycles", posLines,
        Fmt("%lld of %zu states over %zu changes; torn lines left: %lld", static_cast<long long>(runs), all.size(),
            recorder->Changes.size(), static_cast<long long>(tornLines)));
    Record(f);
    EXPECT_EQ(f.Missing, 0);
}

} // namespace
} // namespace pavona::test
