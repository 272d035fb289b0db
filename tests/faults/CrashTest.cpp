// Crashes: the agent killed (SIGKILL) before, in the middle of and after each change a cycle makes
// to the spool, and at random moments while a large backlog is read and sent. After each kill the
// files are examined as the killed agent left them, and the agent starts again on them. Nothing the
// POS holds may be lost, the watermark may never stand ahead of what the day files hold, and no
// spool line may be unreadable.
#include "tests/faults/FaultHarness.h"

#include "common/Text.h"
#include "platform/Platform.h"
#include "store/SpoolFiles.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <functional>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace pavona::test {
namespace {

// Where in a change the process dies: before it, with its bytes written but not flushed (an append)
// or its temporary file written but not renamed (a replacement), or right after it.
enum class TKillPhase { Before, Written, After };
constexpr int kPhases = 3;
const char* PhaseName(TKillPhase p) {
    switch (p) {
    case TKillPhase::Before: return "before";
    case TKillPhase::Written: return "written";
    case TKillPhase::After: return "after";
    }
    return "?";
}

// The platform's files, except that the process kills itself at the Nth change (append,
// replacement or removal) in the given phase.
class KillingFiles : public TCountingSpoolFiles {
  public:
    KillingFiles(int at, TKillPhase phase) : FAt(at), FPhase(phase) {}

    bool Append(const std::string& path, const std::string& bytes, bool durable) override {
        const bool hit = ++FSteps == FAt;
        if (hit && FPhase == TKillPhase::Before) Die();
        if (hit && FPhase == TKillPhase::Written) {
            TCountingSpoolFiles::Append(path, bytes, false);
            Die();
        }
        const bool ok = TCountingSpoolFiles::Append(path, bytes, durable);
        if (hit) Die();
        return ok;
    }
    bool Replace(const std::string& path, const std::string& bytes) override {
        const bool hit = ++FSteps == FAt;
        if (hit && FPhase == TKillPhase::Before) Die();
        if (hit && FPhase == TKillPhase::Written) {
            // The temporary file under the name the platform gives it, never renamed.
            platform::AppendToFile(path + ".tmp" + std::to_string(::getpid()), bytes, true);
            Die();
        }
        const bool ok = TCountingSpoolFiles::Replace(path, bytes);
        if (hit) Die();
        return ok;
    }
    bool Remove(const std::string& path) override {
        const bool hit = ++FSteps == FAt;
        if (hit && FPhase != TKillPhase::After) Die();
        const bool ok = TCountingSpoolFiles::Remove(path);
        if (hit) Die();
        return ok;
    }

  private:
    [[noreturn]] static void Die() {
        ::kill(::getpid(), SIGKILL);
        ::_exit(99);
    }
    int FAt;
    TKillPhase FPhase;
    int FSteps = 0;
};

// How a child agent ended.
enum class TChildEnd { Killed, CycleOk, CycleFailed, Other };

class CrashTest : public FaultHarnessTest {
  protected:
    static int KillsWanted(int fallback) {
        const char* v = std::getenv("PAVONA_FAULT_KILLS");
        const int n = v != nullptr ? std::atoi(v) : 0;
        return n > 0 ? n : fallback;
    }

    // What a started agent's cycles must show: the POS read and every line of the window kept.
    static bool CycleOk(const TAgentSnapshot& s) {
        return s.PosState == TPosState::Read && s.Report.Level < TNoticeLevel::Error &&
               s.Report.Text.find("보관하지 못했습니다") == std::string::npos;
    }

    // Starts an agent in a child process, as a restart after a crash starts it: a policy check,
    // then `cycles` collections at the clock's time. `files` (made in the child) may kill it;
    // `killAfterMs` >= 0 has this process kill it that long after it started.
    TChildEnd RunChild(const std::function<std::shared_ptr<TSpoolFiles>()>& files, int cycles, int killAfterMs = -1) {
        std::fflush(nullptr);
        const pid_t pid = ::fork();
        if (pid < 0) return TChildEnd::Other;
        if (pid == 0) {
            auto engine = MakeEngine();
            if (files) engine->UseSpoolFiles(files());
            engine->RefreshPolicy();
            bool ok = true;
            for (int i = 0; i < cycles; ++i) {
                engine->CollectIfIdle();
                ok = ok && CycleOk(engine->Snapshot());
            }
            ::_exit(ok ? 0 : 2);
        }
        if (killAfterMs >= 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(killAfterMs));
            ::kill(pid, SIGKILL);
        }
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) return TChildEnd::Killed;
        if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return TChildEnd::CycleOk;
        if (WIFEXITED(status) && WEXITSTATUS(status) == 2) return TChildEnd::CycleFailed;
        return TChildEnd::Other;
    }

    // The files as a killed agent left them: every spool line readable, and every POS line sold
    // before the watermark already in a day file (the next start reads only from the watermark on).
    void CheckLeftFiles(const std::string& what) {
        EXPECT_EQ(UnreadableLines(), 0) << what;
        const TDateTime wm = TSpool(SpoolDir(), 0).Watermark();
        if (wm <= 0) return;
        const std::set<std::string> spooled = SpooledKeys();
        int ahead = 0;
        for (const std::string& key : PosKeysBefore(wm))
            ahead += spooled.count(key) == 0 ? 1 : 0;
        EXPECT_EQ(ahead, 0) << what << ": the watermark " << FormatStamp(wm)
                            << " stands ahead of lines the day files do not hold";
    }

    // The agent started again on those files, in this process: its cycle reads and keeps its window.
    void Restart(const std::string& what) {
        auto engine = MakeEngine();
        engine->RefreshPolicy();
        engine->CollectIfIdle();
        const TAgentSnapshot s = engine->Snapshot();
        EXPECT_TRUE(CycleOk(s)) << what << ": " << s.Report.Text;
        EXPECT_EQ(UnreadableLines(), 0) << what;
    }

    // The next time of a store's opening hours, ten minutes on.
    void NextCycleTime() {
        Later(10);
        if (DecodeDateTime(FClock.Now()).Hour >= 22) FClock.Set(IncMinute(IncDay(DateOf(FClock.Now()), 1), 9 * 60));
    }
};

// Every change a cycle makes to the spool (day file appends, marks of what was sent, the stamps)
// is a kill point, in each phase: kill N of a cycle, then N + 1 of the next one, until a cycle
// ends before its Nth change; then the next phase.
TEST_F(CrashTest, KilledAtEveryChangeOfACycleTheAgentLosesNoLine) {
    const int wanted = KillsWanted(12);
    const int days = std::max(1, wanted / 60);
    const std::int64_t posLines = MakePos(LinesWanted(1000), days);
    ASSERT_GT(posLines, 0);
    FClock.Set(IncMinute(IncDay(EncodeDate(2026, 10, 5), -(days - 1)), 9 * 60));

    int kills = 0, runs = 0, at = 1, phase = 0, sweeps = 0;
    std::vector<int> stepsOfCycle;
    while (kills < wanted && runs < wanted * 4) {
        NextCycleTime();
        ++runs;
        const TKillPhase ph = static_cast<TKillPhase>(phase);
        const std::string what = Fmt("kill at change %d, %s, %s", at, PhaseName(ph), FormatStamp(FClock.Now()).c_str());
        const TChildEnd end = RunChild([&] { return std::make_shared<KillingFiles>(at, ph); }, 1);
        if (end == TChildEnd::Killed) {
            ++kills;
            CheckLeftFiles(what);
            Restart(what);
            ++at;
            continue;
        }
        ASSERT_EQ(end, TChildEnd::CycleOk) << what << ": a cycle without a kill failed";
        // This cycle had fewer changes than `at`: every change was a kill point in this phase.
        stepsOfCycle.push_back(at - 1);
        at = 1;
        phase = (phase + 1) % kPhases;
        sweeps += phase == 0 ? 1 : 0;
        if (HasFailure()) break;
    }
    EXPECT_GE(kills, wanted);
    EXPECT_GE(stepsOfCycle.size(), 1u) << "no cycle had all its changes killed";

    FClock.Set(EncodeDateTime(2026, 10, 6, 0, 30, 0));
    auto engine = MakeEngine();
    engine->RefreshPolicy();
    const int cycles = Drain(*engine);
    EXPECT_TRUE(CaughtUp());
    const FaultFigures f = Figures("crash: a kill at every change of a cycle", posLines,
                                   Fmt("%d kills in %d cycles, %d cycles drained after", kills, runs, cycles));
    Record(f);
    EXPECT_EQ(f.Missing, 0);
    EXPECT_EQ(f.Unreadable, 0);
    // A kill between the server's answer and the marks sends at most that batch again.
    EXPECT_LE(f.Duplicated, static_cast<std::int64_t>(kills) * kBatchLines);
}

// Days of backlog read and sent by agents killed at random moments; each start takes over what the
// killed one left, and the clock moves a day on once a start ends with nothing left to read. The
// moments are drawn from a seed the figures name, so a failure repeats.
TEST_F(CrashTest, KilledAtRandomMomentsOfABacklogTheAgentLosesNoLine) {
    const int wanted = KillsWanted(6);
    const int days = std::max(2, wanted / 6);
    const std::int64_t posLines = MakePos(LinesWanted(2000), days);
    ASSERT_GT(posLines, 0);
    const TDateTime last = EncodeDateTime(2026, 10, 6, 0, 30, 0);
    FClock.Set(IncDay(last, -(days - 1)));
    const char* seedText = std::getenv("PAVONA_FAULT_SEED");
    const unsigned seed = seedText != nullptr ? static_cast<unsigned>(std::atoll(seedText)) : 20261210u;
    std::mt19937 rng(seed);

    // The longest a start may run before it is killed: grows while starts make no progress, so
    // that a slow machine still gets through a day's window between two kills, and shrinks when a
    // start ends before it, so that a fast one is still killed.
    int spanMs = 400;
    int kills = 0, starts = 0;
    std::size_t spooledBefore = 0;
    while (kills < wanted && starts < wanted * 6) {
        ++starts;
        const int delay = std::uniform_int_distribution<int>(0, spanMs)(rng);
        const TChildEnd end = RunChild(nullptr, 4, delay);
        const std::string what = Fmt("start %d killed after %d ms (seed %u)", starts, delay, seed);
        if (end != TChildEnd::Killed) {
            ASSERT_EQ(end, TChildEnd::CycleOk) << what;
            // A start ends sooner than that here: the next ones are killed sooner.
            spanMs = std::max(20, delay / 2);
            if (!CaughtUp()) continue;
            if (FClock.Now() >= last) break;
            FClock.Set(IncDay(FClock.Now(), 1));
            continue;
        }
        ++kills;
        CheckLeftFiles(what);
        if (HasFailure()) break;
        const std::size_t spooled = SpooledKeys().size();
        spanMs = spooled > spooledBefore ? spanMs : spanMs * 3 / 2;
        spooledBefore = spooled;
    }
    FClock.Set(last);
    EXPECT_GE(kills, std::min(wanted, 1));

    Restart("the last start");
    auto engine = MakeEngine();
    engine->RefreshPolicy();
    const int cycles = Drain(*engine);
    EXPECT_TRUE(CaughtUp());
    const FaultFigures f = Figures("crash: kills at random moments of a backlog", posLines,
                                   Fmt("%d kills in %d starts, seed %u, %d cycles after", kills, starts, seed, cycles));
    Record(f);
    EXPECT_EQ(f.Missing, 0);
    EXPECT_EQ(f.Unreadable, 0);
}

} // namespace
} // namespace pavona::test
