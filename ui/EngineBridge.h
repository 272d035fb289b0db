// The engine as the window's thread sees it: operations are asked for here and return at once;
// they run one at a time on the engine's own thread. Everything the engine tells comes back as
// signals on the window's thread, carrying values. The window never waits for the POS, the network
// or a big file.
#pragma once

#include "engine/EngineRunner.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace pavona {

class TEngineBridge : public QObject {
    Q_OBJECT

  public:
    // Creates the engine on its own thread; `setup` runs there first (tests shorten time-outs).
    explicit TEngineBridge(QObject* parent = nullptr, std::function<void(TAgentEngine&)> setup = nullptr);
    // Lets the running operation finish and drops the waiting ones.
    ~TEngineBridge() override;

    // Starts both timers: the policy after `firstPolicyMs`, the first cycle after
    // `firstCollectMs`. Each is re-armed with the interval its tick returns, counted from the
    // moment the tick started, so a long cycle does not push the period back.
    void StartTimers(int firstPolicyMs, int firstCollectMs);
    void StopTimers();
    // Both timers re-armed after this many milliseconds instead of the engine's intervals (a soak
    // run shortens the day to many cycles); 0 keeps the engine's.
    void SetFixedPeriod(int ms) { FFixedPeriodMs = ms; }
    // "지금 보내기": a refresh and a cycle, after whatever runs now; sendNowDone says how it ended.
    void SendNow();
    void ApplySettings(const TAgentSettings& settings);
    // Any other operation; `done` (optional) runs on the window's thread afterwards.
    void Post(std::function<void(TAgentEngine&)> operation, std::function<void()> done = nullptr);
    // The latest state the engine published; never waits.
    TAgentSnapshot Snapshot() const;

    // The pages' reads; the answer comes back on the window's thread.
    void AskLedgerDay(TDateTime day, std::function<void(std::vector<TLedgerLine>)> answer);
    void AskSendLog(int maxCount, std::function<void(std::vector<TSendRecord>)> answer);
    void AskLogDay(TDateTime day, std::function<void(std::vector<std::string>)> answer);
    void AskFiles(std::function<void(std::vector<TFileSummary>)> answer);
    void AskQueryRuns(std::function<void(std::vector<TQueryRun>)> answer);
    void AskRoundTotals(TDateTime programStart, std::function<void(TRoundTotals)> answer);
    // An operation ran the policy tick's work itself (an accepted mapping request refreshes the
    // policy): the next tick comes `ms` from now instead of when it was due.
    void RearmPolicyTimer(int ms);

  signals:
    void rendered(const pavona::TAgentSnapshot& snapshot);
    void noticeShown(const pavona::TNotice& notice);
    void statusChanged(const pavona::TAgentSnapshot& snapshot);
    void programAnnounced(const pavona::TProgramNews& news);
    void targetsChanged(const pavona::TAgentSnapshot& snapshot);
    void sendNowDone(const pavona::TNotice& notice);
    // A timer's report cycle has ended.
    void cycleEnded();

  private:
    // The engine's view: called on the engine thread, hands each value to the window's thread.
    class TRelay : public IAgentView {
      public:
        explicit TRelay(TEngineBridge& bridge) : FBridge(bridge) {}
        void Render(const TAgentSnapshot& s) override;
        void ShowNotice(const TNotice& n) override;
        void RefreshStatus(const TAgentSnapshot& s) override;
        void AnnounceProgram(const TProgramNews& news) override;
        void TargetsChanged(const TAgentSnapshot& s) override;

      private:
        TEngineBridge& FBridge;
    };
    // Runs `f` on the window's thread (dropped when the bridge is gone by then).
    void OnWindowThread(std::function<void()> f);
    bool event(QEvent* e) override;
    void CollectTick();
    void PolicyTick();

    TRelay FRelay;
    QTimer FCollectTimer;
    QTimer FPolicyTimer;
    int FFixedPeriodMs = 0;
    std::unique_ptr<TEngineRunner> FRunner; // last: its threads stop before the rest goes
};

} // namespace pavona
