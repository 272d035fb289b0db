// The resident agent's engine on a thread of its own. The window asks for operations and they run
// one at a time in the order asked, so a "send now" during a timer's flush runs after it; the pages
// ask for the records they show and get them on a reader thread that never waits for a cycle.
// Every callback runs on one of those two threads: a window hands the values to its own thread.
#pragma once

#include "engine/AgentEngine.h"
#include "engine/AgentView.h"
#include "engine/Worker.h"
#include "store/AgentLedger.h"
#include "store/AgentLog.h"
#include "store/AgentSendLog.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace pavona {

class TEngineRunner {
  public:
    // Creates the engine on the engine thread (it reads agent.ini and the spool folder there).
    // `setup` runs right after, before any operation (tests shorten time-outs with it).
    explicit TEngineRunner(IAgentView& view, std::function<void(TAgentEngine&)> setup = nullptr);
    // The running operation is asked to stop at its next safe point (no line is half-written or
    // lost: what was not sent stays pending); operations still waiting are dropped.
    ~TEngineRunner();
    TEngineRunner(const TEngineRunner&) = delete;
    TEngineRunner& operator=(const TEngineRunner&) = delete;

    // Queues an operation on the engine thread.
    void Post(std::function<void(TAgentEngine&)> operation);
    // The latest snapshot the engine published (empty until the engine exists). Any thread.
    TAgentSnapshot Snapshot() const;
    // Returns once every operation and read asked for before this call has run.
    void Drain();

    // ---- reads for the pages (reader thread) --------------------------------------------------
    // The lines sold on one calendar day, as the sales history shows them.
    void AskLedgerDay(TDateTime day, std::function<void(std::vector<TLedgerLine>)> done);
    // The newest send-log records, newest first.
    void AskSendLog(int maxCount, std::function<void(std::vector<TSendRecord>)> done);
    // One day of the agent log, line by line.
    void AskLogDay(TDateTime day, std::function<void(std::vector<std::string>)> done);
    // One summary per spool day file (lines, sent lines, size), newest day first.
    void AskFiles(std::function<void(std::vector<TFileSummary>)> done);
    // The last run of every POS query this process made, one record per query name.
    void AskQueryRuns(std::function<void(std::vector<TQueryRun>)> done);
    // The target-items page's round totals per goods, from the programme's start (21 days back
    // without one) to today; not Counted when counting failed (logged).
    void AskRoundTotals(TDateTime programStart, std::function<void(TRoundTotals)> done);

  private:
    // Passes every call on to the window's view and keeps the last snapshot for Snapshot().
    class TRelay : public IAgentView {
      public:
        TRelay(IAgentView& view, TEngineRunner& runner) : FTarget(view), FRunner(runner) {}
        void Render(const TAgentSnapshot& s) override;
        void ShowNotice(const TNotice& n) override { FTarget.ShowNotice(n); }
        void RefreshStatus(const TAgentSnapshot& s) override;
        void AnnounceProgram(const TProgramNews& news) override { FTarget.AnnounceProgram(news); }
        void TargetsChanged(const TAgentSnapshot& s) override;

      private:
        IAgentView& FTarget;
        TEngineRunner& FRunner;
    };
    void Keep(const TAgentSnapshot& s);

    TRelay FRelay;
    mutable std::mutex FSnapshotLock;
    TAgentSnapshot FSnapshot;
    std::unique_ptr<TAgentEngine> FEngine;     // touched only on the engine thread
    std::atomic<TAgentEngine*> FLive{nullptr}; // the same engine, for RequestStop from the ending thread
    std::unique_ptr<TLedger> FLedger;          // touched only on the reader thread
    // Declared last, so they are joined before the engine and the ledger go.
    TWorker FReader;
    TWorker FEngineThread;
};

} // namespace pavona
