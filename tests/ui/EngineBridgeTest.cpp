// The window's side of the engine thread: its event loop keeps running while a cycle waits for a
// slow server, and every value comes back on the window's thread.
#include "ui/EngineBridge.h"

#include "tests/engine/EngineFixture.h"

#include "store/AgentSendLog.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <algorithm>

namespace pavona::test {
namespace {

class EngineBridgeTest : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(AddStore()) << FServer->LastError();
        SaveAgentSettings(false); // no POS: the cycle sends what the spool holds
    }
    static void Shorten(TAgentEngine& e) { e.SetHttpTimeouts({3000, 15000}); }

    int FArgc = 1;
    char FName[16] = "test_ui_bridge";
    char* FArgv[2] = {FName, nullptr};
    QCoreApplication FApp{FArgc, FArgv};
};

TEST_F(EngineBridgeTest, TheWindowsLoopRunsOnWhileACycleWaitsForASlowServer) {
    for (int i = 1; i <= 3; ++i) {
        const std::string key = "R:" + std::to_string(i);
        ASSERT_TRUE(Spool().Append("2026-10-05", key, SaleLinePayload(key)));
    }
    RefFault slow;
    slow.DelayMs = 2500;
    ASSERT_TRUE(FServer->Fault("/api/agent/sales", slow)) << FServer->LastError();

    TEngineBridge bridge(nullptr, Shorten);
    QThread* const windowThread = QThread::currentThread();
    int offThread = 0, statuses = 0;
    TNotice done;
    QEventLoop loop;
    QObject::connect(&bridge, &TEngineBridge::statusChanged, [&](const TAgentSnapshot&) {
        ++statuses;
        if (QThread::currentThread() != windowThread) ++offThread;
    });
    QObject::connect(&bridge, &TEngineBridge::sendNowDone, [&](const TNotice& notice) {
        if (QThread::currentThread() != windowThread) ++offThread;
        done = notice;
        loop.quit();
    });

    // A 10 ms probe of the window's event loop: the longest gap between two of its beats.
    QElapsedTimer beat, total;
    qint64 longest = 0;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] { longest = std::max(longest, beat.restart()); });
    beat.start();
    total.start();
    probe.start(10);
    // The flush the timer would run, then the button: it waits for the flush and runs after it.
    bridge.Post([](TAgentEngine& e) { e.FlushSpool(); });
    bridge.SendNow();
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    loop.exec();
    probe.stop();

    EXPECT_GE(total.elapsed(), 2400) << "the slow answer was waited for";
    EXPECT_EQ(done.Text, "지금 확인했습니다 (00:30) — 새로 보낼 실적이 없습니다.");
    // Frozen, the loop would have missed its beats for the whole 2.5 s answer.
    EXPECT_LT(longest, 2000);
    EXPECT_GE(statuses, 1);
    EXPECT_EQ(offThread, 0);
    EXPECT_EQ(bridge.Snapshot().SentToday, 3);
}

TEST_F(EngineBridgeTest, PagesGetTheirRecordsOnTheWindowsThread) {
    TSendRecord rec;
    rec.At = FClock.Now();
    rec.Kind = "실적";
    rec.FileDay = "2026-10-05";
    rec.Lines = 7;
    rec.Ok = true;
    AppendSendRecord(rec);

    TEngineBridge bridge(nullptr, Shorten);
    QThread* const windowThread = QThread::currentThread();
    QEventLoop loop;
    bool onWindowThread = false;
    std::vector<TSendRecord> got;
    bridge.AskSendLog(5, [&](std::vector<TSendRecord> records) {
        onWindowThread = QThread::currentThread() == windowThread;
        got = std::move(records);
        loop.quit();
    });
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_TRUE(onWindowThread);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].Lines, 7);
}

} // namespace
} // namespace pavona::test
