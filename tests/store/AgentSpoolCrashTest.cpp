// A writer process killed at arbitrary points: whatever the watermark covers is in the spool, and a
// line torn by the kill never takes a later good line with it.
#include "store/AgentSpool.h"

#include "common/DateTime.h"
#include "platform/Platform.h"
#include "tests/support/TestSupport.h"

#include <chrono>
#include <random>
#include <set>
#include <signal.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace pavona {
namespace {

constexpr int kLinesPerWindow = 40;
const std::string kSalesDay = "2026-10-06", kCancelDay = "2026-10-06-cancel";
const TDateTime kBase = EncodeDateTime(2026, 10, 6, 0, 0, 0);

std::string SaleKey(int window, int line) {
    return std::to_string(window) + ":" + std::to_string(line);
}

// The report cycle's write discipline: a window's lines in one batch, the watermark after.
[[noreturn]] void RunWriter(const std::string& dir) {
    TSpool spool(dir, 0);
    const TDateTime wm = spool.Watermark();
    int window = wm == 0 ? 1 : static_cast<int>((ToMSecs(wm) - ToMSecs(kBase)) / 60000) + 1;
    const std::string filler(200, 'x');
    for (int guard = 0; guard < 100000; ++guard, ++window) {
        spool.BeginBatch();
        for (int line = 0; line < kLinesPerWindow; ++line) {
            const std::string key = SaleKey(window, line);
            spool.Append(kSalesDay, key, "{\"tx_key\":\"" + key + "\",\"name\":\"대파 " + filler + "\"}");
        }
        spool.Append(kCancelDay, SaleKey(window, 0),
                     "{\"tx_key\":\"" + SaleKey(window, 0) + "\",\"kind\":\"void\"}");
        if (spool.EndBatch() != 0) _exit(3);
        if (!spool.SetWatermark(IncMinute(kBase, window))) _exit(4);
    }
    _exit(0);
}

TEST(AgentSpoolCrashTest, KilledWriterNeverLosesWhatTheWatermarkCovers) {
    test::TempDir dir;
    std::mt19937 rng(7);
    int kills = 0, covered = 0;
    for (int round = 0; round < 40; ++round) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) RunWriter(dir.Path());
        std::this_thread::sleep_for(std::chrono::microseconds(500 + rng() % 60000));
        ASSERT_EQ(::kill(pid, SIGKILL), 0);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself with " << WEXITSTATUS(status);
        ++kills;
        if (round % 3 == 1) {
            // The writer died inside its write: part of a line of the window it was writing is on
            // disk (a kill rarely lands inside the copy, so this tears one on purpose).
            platform::AppendToFile(platform::JoinPath(dir.Path(), "spool-" + kSalesDay + ".jsonl"),
                                   "99999:0\t123\t{\"tx_key\":\"99");
            ++kills;
        }

        SCOPED_TRACE("round " + std::to_string(round));
        TSpool spool(dir.Path(), 0);
        const TDateTime wm = spool.Watermark();
        covered = wm == 0 ? 0 : static_cast<int>((ToMSecs(wm) - ToMSecs(kBase)) / 60000);
        std::vector<TSpoolEntry> sales, cancels;
        ASSERT_TRUE(spool.Pending(kSalesDay, sales));
        int bad = spool.BadLines();
        ASSERT_TRUE(spool.Pending(kCancelDay, cancels));
        bad += spool.BadLines();
        std::set<std::string> saleKeys, cancelKeys;
        for (const TSpoolEntry& e : sales)
            saleKeys.insert(e.Key);
        for (const TSpoolEntry& e : cancels)
            cancelKeys.insert(e.Key);
        for (int w = 1; w <= covered; ++w) {
            for (int line = 0; line < kLinesPerWindow; ++line)
                ASSERT_TRUE(saleKeys.count(SaleKey(w, line))) << "lost " << SaleKey(w, line);
            ASSERT_TRUE(cancelKeys.count(SaleKey(w, 0))) << "lost correction of window " << w;
        }
        // At most the one line being written when the writer died is torn per kill or tear.
        EXPECT_LE(bad, kills);
    }
    EXPECT_GT(covered, 0) << "the writer never completed a window";
}

} // namespace
} // namespace pavona
