// A full disk: the window's lines cannot be spooled (the file size limit of the process, as a full
// disk answers a write), or the marks of what was sent cannot be written. Nothing moves ahead of a
// failed write, and once space returns every line reaches the server.
#include "tests/faults/FaultHarness.h"

#include "common/Text.h"
#include "platform/Platform.h"
#include "tests/store/SpoolTestFiles.h"

#include <csignal>
#include <sys/resource.h>

namespace pavona::test {
namespace {

// While it lives, no file of this process may grow beyond `bytes`: a write past that is cut short
// and the next one fails, as on a full disk. The reference server runs in its own process.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &FOld);
        FOldSignal = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lim = FOld;
        lim.rlim_cur = bytes;
        FSet = setrlimit(RLIMIT_FSIZE, &lim) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &FOld);
        std::signal(SIGXFSZ, FOldSignal);
    }
    bool Set() const { return FSet; }

  private:
    rlimit FOld{};
    void (*FOldSignal)(int) = nullptr;
    bool FSet = false;
};

class DiskFullTest : public FaultHarnessTest {};

TEST_F(DiskFullTest, NothingMovesAheadOfAFailedSpoolWriteAndNothingIsLostAfterwards) {
    const std::int64_t posLines = MakePos(LinesWanted());
    ASSERT_GT(posLines, 0);
    auto engine = MakeEngine();
    engine->RefreshPolicy();
    const std::string dayFile = Spool().SpoolPath("2026-10-05");
    {
        // Far below one window of lines, far above a log or state line.
        FileSizeLimit limit(48 * 1024);
        ASSERT_TRUE(limit.Set());
        for (int cycle = 0; cycle < 3; ++cycle) {
            SCOPED_TRACE(cycle);
            engine->CollectIfIdle();
            EXPECT_NE(engine->Snapshot().Report.Text.find("줄을 보관하지 못했습니다"), std::string::npos)
                << engine->Snapshot().Report.Text;
            // The watermark stays where the spool is complete, and no torn line is left behind.
            EXPECT_EQ(Spool().Watermark(), 0);
            EXPECT_LE(platform::FileExists(dayFile) ? platform::FileSize(dayFile) : 0, 0);
            Later(10);
        }
    }
    EXPECT_EQ(FServer->Summary(kStore).Accepted, 0);
    EXPECT_NE(AllLogs().find("줄을 보관하지 못했습니다 — 다시 시도합니다."), std::string::npos) << AllLogs();

    const int cycles = 3 + Drain(*engine);
    EXPECT_TRUE(CaughtUp());
    const FaultFigures f = Figures("disk full: the day file cannot grow", posLines, Fmt("%d cycles", cycles));
    Record(f);
    EXPECT_EQ(f.Missing, 0);
    EXPECT_EQ(f.Accepted, posLines);
    EXPECT_EQ(f.Duplicated, 0);
    EXPECT_EQ(f.Unreadable, 0);
}

// The server took a batch but its marks could not be written: the lines go out again once space
// returns (the server answers them as duplicates), but a flush must not send the same batch again
// and again while it cannot record it, and must not report it as done.
TEST_F(DiskFullTest, MarksThatCannotBeWrittenStopTheFlush) {
    const std::int64_t posLines = MakePos(LinesWanted());
    ASSERT_GT(posLines, 0);
    auto engine = MakeEngine();
    engine->RefreshPolicy();
    auto files = std::make_shared<FaultyFiles>();
    files->FailWrite = "sent-";
    engine->UseSpoolFiles(files);
    engine->CollectIfIdle();
    EXPECT_EQ(FServer->Summary(kStore).Duplicated, 0) << "the same batch went out again";
    EXPECT_EQ(FServer->Summary(kStore).Accepted, kBatchLines);
    EXPECT_NE(engine->Snapshot().Report.Text.find("보낸 줄로 기록하지 못했습니다"), std::string::npos)
        << engine->Snapshot().Report.Text;
    EXPECT_NE(AllLogs().find("보낸 줄로 기록하지 못했습니다"), std::string::npos) << AllLogs();

    engine->UseSpoolFiles(nullptr);
    const int cycles = 1 + Drain(*engine);
    EXPECT_TRUE(CaughtUp());
    const FaultFigures f =
        Figures("disk full: sent marks cannot be written", posLines, Fmt("%d cycles, one batch sent again", cycles));
    Record(f);
    EXPECT_EQ(f.Missing, 0);
    EXPECT_EQ(f.Accepted, posLines);
    EXPECT_EQ(f.Duplicated, kBatchLines);
}

} // namespace
} // namespace pavona::test
