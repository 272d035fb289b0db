// The engine thread and the reader thread of the resident agent.
#include "engine/EngineRunner.h"

#include "config/AgentSettings.h"
#include "engine/TargetRounds.h"
#include "platform/Clock.h"
#include "store/AgentLog.h"

namespace pavona {

void TEngineRunner::TRelay::Render(const TAgentSnapshot& s) {
    FRunner.Keep(s);
    FTarget.Render(s);
}

void TEngineRunner::TRelay::RefreshStatus(const TAgentSnapshot& s) {
    FRunner.Keep(s);
    FTarget.RefreshStatus(s);
}

void TEngineRunner::TRelay::TargetsChanged(const TAgentSnapshot& s) {
    FRunner.Keep(s);
    FTarget.TargetsChanged(s);
}

TEngineRunner::TEngineRunner(IAgentView& view, std::function<void(TAgentEngine&)> setup)
    : FRelay(view, *this) {
    FEngineThread.Post([this, setup = std::move(setup)] {
        FEngine = std::make_unique<TAgentEngine>(FRelay);
        FLive = FEngine.get();
        if (setup) setup(*FEngine);
        Keep(FEngine->Snapshot());
    });
}

TEngineRunner::~TEngineRunner() {
    if (TAgentEngine* engine = FLive.load()) engine->RequestStop();
}

void TEngineRunner::Keep(const TAgentSnapshot& s) {
    std::lock_guard lock(FSnapshotLock);
    FSnapshot = s;
}

void TEngineRunner::Post(std::function<void(TAgentEngine&)> operation) {
    FEngineThread.Post([this, operation = std::move(operation)] {
        if (!FEngine) return;
        operation(*FEngine);
        // Whatever the operation changed is seen by the next Snapshot() call.
        Keep(FEngine->Snapshot());
    });
}

TAgentSnapshot TEngineRunner::Snapshot() const {
    std::lock_guard lock(FSnapshotLock);
    return FSnapshot;
}

void TEngineRunner::Drain() {
    FEngineThread.Drain();
    FReader.Drain();
}

void TEngineRunner::AskLedgerDay(TDateTime day, std::function<void(std::vector<TLedgerLine>)> done) {
    FReader.Post([this, day, done = std::move(done)] {
        if (!FLedger) FLedger = std::make_unique<TLedger>(SpoolDir());
        done(FLedger->LinesOn(day));
    });
}

void TEngineRunner::AskSendLog(int maxCount, std::function<void(std::vector<TSendRecord>)> done) {
    FReader.Post([maxCount, done = std::move(done)] { done(ReadSendLog(maxCount)); });
}

void TEngineRunner::AskLogDay(TDateTime day, std::function<void(std::vector<std::string>)> done) {
    FReader.Post([day, done = std::move(done)] { done(ReadLogDay(day)); });
}

void TEngineRunner::AskFiles(std::function<void(std::vector<TFileSummary>)> done) {
    FReader.Post([this, done = std::move(done)] {
        if (!FLedger) FLedger = std::make_unique<TLedger>(SpoolDir());
        done(FLedger->Files());
    });
}

void TEngineRunner::AskRoundTotals(TDateTime programStart, std::function<void(TRoundTotals)> done) {
    FReader.Post([this, programStart, done = std::move(done)] {
        TRoundTotals totals;
        totals.To = Today();
        totals.From = RoundTotalsFrom(programStart, totals.To);
        try {
            if (!FLedger) FLedger = std::make_unique<TLedger>(SpoolDir());
            totals.ByCode = FLedger->Totals(totals.From, totals.To);
            totals.Counted = true;
        } catch (const std::exception& e) {
            totals.ByCode.clear();
            LogError("장부", std::string("누적 실적을 세지 못했습니다 — ") + e.what());
        }
        done(std::move(totals));
    });
}

void TEngineRunner::AskQueryRuns(std::function<void(std::vector<TQueryRun>)> done) {
    FReader.Post([done = std::move(done)] { done(QueryRuns()); });
}

} // namespace pavona
