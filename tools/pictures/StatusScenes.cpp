// The status page in the states a store meets: before enrolment, within the budget, at the caution
// level, over the budget, and with a warning and a stop in the notice card.
#include "engine/AgentMonitor.h"
#include "engine/AgentSchema.h"
#include "engine/AgentSnapshot.h"
#include "tools/pictures/Scenes.h"
#include "ui/AgentWindow.h"
#include "ui/ResidentAgent.h"
#include "ui/StatusPage.h"

#include <QEventLoop>
#include <QTimer>
#include <QUrl>

namespace pavona::pictures {
namespace {

const char* const kStore = "1234567890";

TDateTime At(int hour, int minute) {
    return SceneNow() - 14.5 / 24 + (hour * 60 + minute) / 1440.0;
}

// A store three weeks into its programme: its lines read at 14:20 and sent, the policy read at 14:05.
TAgentSnapshot Running(std::int64_t allocated, std::int64_t executed, std::int64_t unreported) {
    TAgentSnapshot s;
    s.Input.HasPolicy = true;
    s.Input.Enabled = true;
    s.Input.Allocated = allocated;
    s.Input.ReportedExecuted = executed;
    s.Input.UnreportedLocal = unreported;
    s.State = EvaluateLimit(s.Input);
    s.PolicyAt = At(14, 5);
    s.ProgramName = "겨울 농할";
    s.ProgramStart = EncodeDate(2026, 11, 20);
    s.ProgramEnd = EncodeDate(2026, 12, 31);
    s.PointLabel = "솔빛마트 본점";
    s.LastCollectAt = At(14, 20);
    s.LastSendAt = At(14, 20);
    s.SentDay = SceneNow();
    s.SentToday = 1063;
    s.PosState = TPosState::Read;
    s.CollectMinutes = 10;
    s.NextCollectAt = At(14, 30);
    s.NextPolicyAt = At(15, 5);
    return s;
}

std::unique_ptr<QWidget> Window(const TAgentSnapshot& s, const std::string& store, const TNotice& notice) {
    TAgentFormHooks hooks;
    hooks.AskExit = [](QWidget*) { return false; };
    hooks.TrayAvailable = [] { return false; };
    hooks.Quit = [] {};
    auto form = std::make_unique<TAgentForm>(hooks);
    auto* status = new TStatusPage(form->CardWidth(), [] {}, nullptr, [](const QUrl&) { return false; });
    status->SetSettings(store, store.empty() ? "" : "https://nonghal.example");
    form->SetPage(0, status);
    RenderWindow(*form, *status, s, store);
    if (!notice.Empty()) status->ShowNotice(notice);
    return form;
}

const TNotice kCounted = TNotice::Info("POS 집계까지 반영했습니다. 한도는 매장에서 방금 센 지원액까지 포함한 값입니다.");

} // namespace

std::unique_ptr<TAgentForm> RunningWindow() {
    std::unique_ptr<QWidget> window = Window(Running(3'000'000, 1'020'000, 38'400), kStore, kCounted);
    return std::unique_ptr<TAgentForm>(static_cast<TAgentForm*>(window.release()));
}

void Settle(QObject* page, const std::function<void()>& ask) {
    QEventLoop loop;
    QObject::connect(page, SIGNAL(settled()), &loop, SLOT(quit()));
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    ask();
    loop.exec();
}

TDateTime SceneNow() {
    return EncodeDateTime(2026, 12, 10, 14, 30, 0);
}

std::vector<TScene> StatusScenes() {
    return {
        {"status-before-enrolment", false, [] { return Window(TAgentSnapshot{}, "", {}); }},
        {"status-normal", true, [] { return Window(Running(3'000'000, 1'020'000, 38'400), kStore, kCounted); }},
        {"status-caution", false,
         [] { return Window(Running(3'000'000, 2'480'000, 52'000), kStore, kCounted); }},
        {"status-over-budget", false,
         [] { return Window(Running(3'000'000, 3'126'500, 61'700), kStore, kCounted); }},
        {"status-warning", false,
         [] {
             TAgentSnapshot s = Running(3'000'000, 1'020'000, 0);
             s.PendingDays = {"2026-12-09", "2026-12-10"};
             s.PolicyError = "협회 서버에 연결하지 못했습니다 (시간 초과)";
             s.LastSendAt = At(11, 40);
             s.SentToday = 412;
             return Window(s, kStore,
                           TNotice::Error("⚠ 협회 서버에 닿지 않았습니다 — 보낼 실적은 이 PC 에 보관했다가 "
                                          "다음 주기에 다시 보냅니다."));
         }},
        {"status-stop", false,
         [] {
             TAgentSnapshot s = Running(3'000'000, 1'020'000, 0);
             s.PendingDays = {"2026-12-10"};
             return Window(s, kStore, TNotice::Stop(kHoldNotice));
         }},
    };
}

} // namespace pavona::pictures
