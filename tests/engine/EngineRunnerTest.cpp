// The engine on its own thread: operations one at a time in the order asked, never blocking the
// asking thread, the view told with values on the engine thread, and the pages' reads answered
// while a cycle still runs.
#include "engine/EngineRunner.h"

#include "tests/engine/EngineFixture.h"

#include "store/AgentLog.h"
#include "store/AgentSendLog.h"

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <thread>

namespace pavona::test {
namespace {

using namespace std::chrono_literals;

// Records on which thread the engine talked to the view, and the snapshots it handed over.
class TThreadView : public TRecordingView {
  public:
    void RefreshStatus(const TAgentSnapshot& snapshot) override {
        std::lock_guard lock(FLock);
        Threads.push_back(std::this_thread::get_id());
        Seen.push_back(snapshot);
    }
    void ShowNotice(const TNotice& notice) override {
        std::lock_guard lock(FLock);
        Threads.push_back(std::this_thread::get_id());
        Shown.push_back(notice);
    }
    std::mutex FLock;
    std::vector<std::thread::id> Threads;
    std::vector<TAgentSnapshot> Seen;
    std::vector<TNotice> Shown;
};

class EngineRunnerTest : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(AddStore()) << FServer->LastError();
        SaveAgentSettings(false); // no POS: the cycles here only send what the spool holds
    }
    void AddLines(const std::string& day, int count) {
        for (int i = 1; i <= count; ++i) {
            const std::string key = "R:" + std::to_string(i);
            ASSERT_TRUE(Spool().Append(day, key, SaleLinePayload(key)));
        }
    }
    static void Shorten(TAgentEngine& e) { e.SetHttpTimeouts({3000, 15000}); }
};

TEST_F(EngineRunnerTest, OperationsRunOneAtATimeInTheOrderAskedWhoeverAsks) {
    TThreadView view;
    TEngineRunner runner(view, Shorten);
    std::mutex lock;
    std::vector<std::string> trace;
    std::atomic<int> running{0}, overlaps{0};
    const std::thread::id asker = std::this_thread::get_id();
    std::atomic<bool> onAsker{false};

    std::vector<std::thread> askers;
    for (int t = 0; t < 4; ++t) {
        askers.emplace_back([&, t] {
            for (int i = 0; i < 25; ++i) {
                runner.Post([&, t, i](TAgentEngine&) {
                    if (running.fetch_add(1) != 0) ++overlaps;
                    if (std::this_thread::get_id() == asker) onAsker = true;
                    std::this_thread::sleep_for(100us);
                    {
                        std::lock_guard g(lock);
                        trace.push_back(std::to_string(t) + ":" + std::to_string(i));
                    }
                    running.fetch_sub(1);
                });
            }
        });
    }
    for (std::thread& a : askers)
        a.join();
    runner.Drain();

    EXPECT_EQ(overlaps.load(), 0);
    EXPECT_FALSE(onAsker.load());
    ASSERT_EQ(trace.size(), 100u);
    // Each asker's operations ran in the order that asker gave them.
    for (int t = 0; t < 4; ++t) {
        int next = 0;
        for (const std::string& step : trace) {
            if (step.rfind(std::to_string(t) + ":", 0) == 0) {
                EXPECT_EQ(step, std::to_string(t) + ":" + std::to_string(next++));
            }
        }
        EXPECT_EQ(next, 25);
    }
}

// "지금 보내기" pressed while the timer's flush is still sending: the button's operation waits its
// turn, and the window's thread is never held up by either.
TEST_F(EngineRunnerTest, ASendNowDuringATimersFlushRunsAfterItAndNeverBlocksTheAsker) {
    AddLines("2026-10-05", 450);
    RefFault slow;
    slow.DelayMs = 400;
    slow.Times = 3;
    ASSERT_TRUE(FServer->Fault("/api/agent/sales", slow)) << FServer->LastError();

    TThreadView view;
    TEngineRunner runner(view, Shorten);
    runner.Drain(); // the engine exists
    std::mutex lock;
    std::vector<std::string> order;
    std::promise<void> flushed;

    const auto before = std::chrono::steady_clock::now();
    runner.Post([&](TAgentEngine& e) {
        e.FlushSpool();
        std::lock_guard g(lock);
        order.push_back("flush done");
        flushed.set_value();
    });
    runner.Post([&](TAgentEngine& e) {
        {
            std::lock_guard g(lock);
            order.push_back("send now starts");
        }
        e.SendNow();
    });
    const auto asked = std::chrono::steady_clock::now() - before;
    // Three delayed batches take more than a second; asking took no part of it.
    EXPECT_LT(asked, 300ms);
    EXPECT_EQ(flushed.get_future().wait_for(0s), std::future_status::timeout);

    // Between two batches the published state says a flush is under way.
    bool sawFlushing = false;
    for (int i = 0; i < 400 && !sawFlushing; ++i) {
        sawFlushing = runner.Snapshot().Flushing;
        std::this_thread::sleep_for(5ms);
    }
    runner.Drain();
    EXPECT_TRUE(sawFlushing);
    EXPECT_EQ(order, (std::vector<std::string>{"flush done", "send now starts"}));
    EXPECT_EQ(FServer->Summary(kStore).Accepted, 450);
    EXPECT_EQ(runner.Snapshot().SentToday, 450);
    EXPECT_FALSE(runner.Snapshot().Flushing);

    // The view heard everything on the engine thread, never on the asker's.
    std::lock_guard g(view.FLock);
    ASSERT_FALSE(view.Threads.empty());
    for (const std::thread::id& id : view.Threads)
        EXPECT_NE(id, std::this_thread::get_id());
    ASSERT_FALSE(view.Shown.empty());
    EXPECT_EQ(view.Shown.back(), TNotice::Info("지금 확인했습니다 (00:30) — 새로 보낼 실적이 없습니다."));
}

// A page's records arrive while a long operation still holds the engine thread.
TEST_F(EngineRunnerTest, PagesReadWhileACycleRuns) {
    AddLines("2026-10-05", 3);
    TSendRecord rec;
    rec.At = FClock.Now();
    rec.Kind = "실적";
    rec.FileDay = "2026-10-05";
    rec.Lines = 3;
    rec.Ok = true;
    AppendSendRecord(rec);

    TNullAgentView view;
    TEngineRunner runner(view, Shorten);
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    runner.Post([released](TAgentEngine&) { released.wait(); });

    std::promise<std::vector<TSendRecord>> sendLog;
    std::promise<std::vector<TLedgerLine>> ledger;
    std::promise<std::vector<std::string>> logDay;
    runner.AskSendLog(10, [&](std::vector<TSendRecord> r) { sendLog.set_value(std::move(r)); });
    runner.AskLedgerDay(EncodeDate(2026, 10, 5),
                        [&](std::vector<TLedgerLine> l) { ledger.set_value(std::move(l)); });
    runner.AskLogDay(FClock.Now(), [&](std::vector<std::string> l) { logDay.set_value(std::move(l)); });

    auto sent = sendLog.get_future();
    auto lines = ledger.get_future();
    auto log = logDay.get_future();
    ASSERT_EQ(sent.wait_for(10s), std::future_status::ready);
    ASSERT_EQ(lines.wait_for(10s), std::future_status::ready);
    ASSERT_EQ(log.wait_for(10s), std::future_status::ready);
    const std::vector<TSendRecord> records = sent.get();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Lines, 3);
    EXPECT_EQ(lines.get().size(), 3u);
    const std::vector<std::string> logLines = log.get();
    ASSERT_FALSE(logLines.empty());
    EXPECT_NE(logLines.back().find("전송"), std::string::npos) << logLines.back();
    release.set_value();
    runner.Drain();
}

// Quitting while a long flush sends: the batch on the way finishes, the rest stays pending for the
// next start, and the agent does not sit through the remaining batches.
TEST_F(EngineRunnerTest, EndingStopsARunningFlushAtTheNextBatchAndLosesNothing) {
    AddLines("2026-10-05", 450);
    RefFault slow;
    slow.DelayMs = 1500;
    slow.Times = 3;
    ASSERT_TRUE(FServer->Fault("/api/agent/sales", slow)) << FServer->LastError();
    TNullAgentView view;
    auto runner = std::make_unique<TEngineRunner>(view, Shorten);
    runner->Post([](TAgentEngine& e) { e.FlushSpool(); });
    std::this_thread::sleep_for(500ms); // the first batch is on its way
    const auto before = std::chrono::steady_clock::now();
    runner.reset();
    const auto ending = std::chrono::steady_clock::now() - before;
    // Three batches would take 4.5 s; only the one on its way was waited for.
    EXPECT_LT(ending, 2500ms);
    EXPECT_EQ(FServer->Summary(kStore).Accepted, 200);
    std::vector<TSpoolEntry> left;
    ASSERT_TRUE(Spool().Pending("2026-10-05", left));
    EXPECT_EQ(left.size(), 250u);
}

} // namespace
} // namespace pavona::test
