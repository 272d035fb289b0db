// Queued hand-over between the engine thread and the window's thread.
#include "ui/EngineBridge.h"

#include "store/AgentLog.h"

#include <QCoreApplication>
#include <QEvent>

#include <exception>
#include <string>

namespace pavona {

void TEngineBridge::TRelay::Render(const TAgentSnapshot& s) {
    FBridge.OnWindowThread([b = &FBridge, s] { emit b->rendered(s); });
}

void TEngineBridge::TRelay::ShowNotice(const TNotice& n) {
    FBridge.OnWindowThread([b = &FBridge, n] { emit b->noticeShown(n); });
}

void TEngineBridge::TRelay::RefreshStatus(const TAgentSnapshot& s) {
    FBridge.OnWindowThread([b = &FBridge, s] { emit b->statusChanged(s); });
}

void TEngineBridge::TRelay::AnnounceProgram(const TProgramNews& news) {
    FBridge.OnWindowThread([b = &FBridge, news] { emit b->programAnnounced(news); });
}

void TEngineBridge::TRelay::TargetsChanged(const TAgentSnapshot& s) {
    FBridge.OnWindowThread([b = &FBridge, s] { emit b->targetsChanged(s); });
}

TEngineBridge::TEngineBridge(QObject* parent, std::function<void(TAgentEngine&)> setup)
    : QObject(parent), FRelay(*this), FCollectTimer(this), FPolicyTimer(this),
      FRunner(std::make_unique<TEngineRunner>(FRelay, std::move(setup))) {
    FCollectTimer.setSingleShot(true);
    FPolicyTimer.setSingleShot(true);
    connect(&FCollectTimer, &QTimer::timeout, this, &TEngineBridge::CollectTick);
    connect(&FPolicyTimer, &QTimer::timeout, this, &TEngineBridge::PolicyTick);
}

TEngineBridge::~TEngineBridge() {
    StopTimers();
    FRunner.reset();
}

namespace {

// A call handed to the window's thread. The posted event owns it outright: the engine thread never
// touches it again, so nothing is shared but the event queue's own lock. (A queued functor would be
// shared through a reference count instead, which thread checkers cannot see into.)
const QEvent::Type kCallEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

class TCallEvent : public QEvent {
  public:
    explicit TCallEvent(std::function<void()> f) : QEvent(kCallEvent), Call(std::move(f)) {}
    std::function<void()> Call;
};

} // namespace

void TEngineBridge::OnWindowThread(std::function<void()> f) {
    // Posted to this object: Qt drops the event when the bridge is destroyed before it runs.
    QCoreApplication::postEvent(this, new TCallEvent(std::move(f)));
}

bool TEngineBridge::event(QEvent* e) {
    if (e->type() != kCallEvent) return QObject::event(e);
    static_cast<TCallEvent*>(e)->Call();
    return true;
}

void TEngineBridge::StartTimers(int firstPolicyMs, int firstCollectMs) {
    FPolicyTimer.start(firstPolicyMs);
    FCollectTimer.start(firstCollectMs);
}

void TEngineBridge::StopTimers() {
    FPolicyTimer.stop();
    FCollectTimer.stop();
}

void TEngineBridge::CollectTick() {
    // The next tick is armed only when this one has run: ticks never pile up behind a long cycle.
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    auto interval = std::make_shared<int>(0);
    Post([interval](TAgentEngine& e) { *interval = e.ReportTimerTick(); },
         [this, started, interval] {
             const qint64 left = (FFixedPeriodMs > 0 ? FFixedPeriodMs : *interval) - started->elapsed();
             FCollectTimer.start(static_cast<int>(left > 0 ? left : 0));
             emit cycleEnded();
         });
}

void TEngineBridge::PolicyTick() {
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    auto interval = std::make_shared<int>(0);
    Post([interval](TAgentEngine& e) { *interval = e.PolicyTimerTick(); },
         [this, started, interval] {
             const qint64 left = (FFixedPeriodMs > 0 ? FFixedPeriodMs : *interval) - started->elapsed();
             FPolicyTimer.start(static_cast<int>(left > 0 ? left : 0));
         });
}

void TEngineBridge::SendNow() {
    auto notice = std::make_shared<TNotice>();
    Post([notice](TAgentEngine& e) { *notice = e.SendNow(); }, [this, notice] { emit sendNowDone(*notice); });
}

void TEngineBridge::ApplySettings(const TAgentSettings& settings) {
    Post([settings](TAgentEngine& e) { e.ApplySettings(settings); });
}

void TEngineBridge::Post(std::function<void(TAgentEngine&)> operation, std::function<void()> done) {
    FRunner->Post([this, operation = std::move(operation), done = std::move(done)](TAgentEngine& e) {
        // Whatever happens, the window hears the end: a "지금 보내기" button must come back.
        try {
            operation(e);
        } catch (const std::exception& error) {
            LogError("수집", std::string("작업을 마치지 못했습니다 — ") + error.what());
        } catch (...) {
            LogError("수집", "작업을 마치지 못했습니다 — 알 수 없는 오류");
        }
        if (done) OnWindowThread(done);
    });
}

TAgentSnapshot TEngineBridge::Snapshot() const {
    return FRunner->Snapshot();
}

void TEngineBridge::AskLedgerDay(TDateTime day, std::function<void(std::vector<TLedgerLine>)> answer) {
    FRunner->AskLedgerDay(day, [this, answer = std::move(answer)](std::vector<TLedgerLine> lines) {
        OnWindowThread([answer, lines = std::move(lines)]() mutable { answer(std::move(lines)); });
    });
}

void TEngineBridge::AskSendLog(int maxCount, std::function<void(std::vector<TSendRecord>)> answer) {
    FRunner->AskSendLog(maxCount, [this, answer = std::move(answer)](std::vector<TSendRecord> records) {
        OnWindowThread([answer, records = std::move(records)]() mutable { answer(std::move(records)); });
    });
}

void TEngineBridge::AskLogDay(TDateTime day, std::function<void(std::vector<std::string>)> answer) {
    FRunner->AskLogDay(day, [this, answer = std::move(answer)](std::vector<std::string> lines) {
        OnWindowThread([answer, lines = std::move(lines)]() mutable { answer(std::move(lines)); });
    });
}

void TEngineBridge::AskFiles(std::function<void(std::vector<TFileSummary>)> answer) {
    FRunner->AskFiles([this, answer = std::move(answer)](std::vector<TFileSummary> files) {
        OnWindowThread([answer, files = std::move(files)]() mutable { answer(std::move(files)); });
    });
}

void TEngineBridge::AskQueryRuns(std::function<void(std::vector<TQueryRun>)> answer) {
    FRunner->AskQueryRuns([this, answer = std::move(answer)](std::vector<TQueryRun> runs) {
        OnWindowThread([answer, runs = std::move(runs)]() mutable { answer(std::move(runs)); });
    });
}

void TEngineBridge::AskRoundTotals(TDateTime programStart, std::function<void(TRoundTotals)> answer) {
    FRunner->AskRoundTotals(programStart, [this, answer = std::move(answer)](TRoundTotals totals) {
        OnWindowThread([answer, totals = std::move(totals)]() mutable { answer(std::move(totals)); });
    });
}

void TEngineBridge::RearmPolicyTimer(int ms) {
    // A tick already waiting for the engine re-arms the timer itself when it is done.
    if (FFixedPeriodMs > 0) ms = FFixedPeriodMs;
    if (FPolicyTimer.isActive()) FPolicyTimer.start(ms > 0 ? ms : 0);
}

} // namespace pavona
