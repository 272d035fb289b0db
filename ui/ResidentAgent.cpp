// Creation in order: scaling and fonts, the start banner and the log pruning, the window with its
// pages, the engine thread, the first policy tick after 2 s and the first cycle after 20 s.
#include "ui/ResidentAgent.h"

#include "common/Version.h"
#include "config/AgentSettings.h"
#include "engine/AgentEngine.h"
#include "store/AgentLog.h"
#include "ui/AgentTray.h"
#include "ui/AgentUi.h"
#include "ui/AgentWindow.h"
#include "ui/EngineBridge.h"
#include "ui/LogPage.h"
#include "ui/PageParts.h"
#include "ui/QueryPage.h"
#include "ui/SalesPage.h"
#include "ui/SendsPage.h"
#include "ui/SettingsPage.h"
#include "ui/StatusPage.h"
#include "ui/TargetPage.h"

#include <QApplication>
#include <QMetaObject>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>

namespace pavona {

struct TRevealHold::TTarget {
    std::mutex Lock;
    TAgentForm* Form = nullptr; // null once the window is on its way out
};

TRevealHold::~TRevealHold() {
    const std::lock_guard<std::mutex> hold(FTarget->Lock);
    FTarget->Form = nullptr;
}

std::unique_ptr<TRevealHold> ListenForReveal(platform::SingleInstance& instance, TAgentForm& form) {
    auto target = std::make_shared<TRevealHold::TTarget>();
    target->Form = &form;
    instance.Listen([target] {
        // Posting is safe from any thread while the window exists, and the lock keeps it existing.
        const std::lock_guard<std::mutex> hold(target->Lock);
        if (TAgentForm* form = target->Form)
            QMetaObject::invokeMethod(
                form, [form] { form->Reveal(); }, Qt::QueuedConnection);
    });
    return std::make_unique<TRevealHold>(target);
}

void RenderWindow(TAgentForm& form, TStatusPage& status, const TAgentSnapshot& s, const std::string& store) {
    status.Render(s);
    form.SetStoreTitle(StoreTitle(s, store));
    const TConnectionLook look = ConnectionLook(s, store);
    form.SetConnection(look.PillText, look.PillDot);
    form.SetBadge(0, NavBadge(s.State.Level));
    form.Tray().SetLevel(s.State.Level);
    form.Tray().SetHint(TrayHintFor(s));
}

TTargetPage* PlugTargetPage(TAgentForm& form, TEngineBridge& bridge,
                            std::function<TAgentSettings()> settings) {
    auto* page =
        new TTargetPage(form.CardWidth(), form.DesignHeight(), TargetHooksFor(bridge, std::move(settings)));
    form.SetPage(1, page);
    page->SetSnapshot(bridge.Snapshot());
    QObject::connect(&bridge, &TEngineBridge::targetsChanged, page, &TTargetPage::SetSnapshot);
    QObject::connect(&form, &TAgentForm::pageShown, page, [page](int index) {
        if (index == 1) page->Shown();
    });
    // Connected before the window brings the page forward again after its relayout.
    QObject::connect(&form, &TAgentForm::relaidOut, page,
                     [&form, page] { page->SetSize(form.CardWidth(), form.DesignHeight()); });
    QObject::connect(&bridge, &TEngineBridge::programAnnounced, &form, [&form] {
        if (form.isVisible()) form.ShowPage(1);
    });
    return page;
}

namespace {

// The pages that read the agent's files: each reads again whenever it comes to the front, and
// follows the window's width through its own layout.
void PlugHistoryPages(TAgentForm& form, TEngineBridge& bridge) {
    const TPageReads reads = PageReadsOf(bridge);
    auto* sales = new TSalesPage(form.CardWidth(), reads);
    auto* sends = new TSendsPage(form.CardWidth(), reads);
    auto* queries = new TQueryPage(form.CardWidth(), reads);
    auto* log = new TLogPage(form.CardWidth(), reads);
    form.SetPage(2, sales);
    form.SetPage(3, sends);
    form.SetPage(4, queries);
    form.SetPage(5, log);
    QObject::connect(&form, &TAgentForm::pageShown, &form, [sales, sends, queries, log](int index) {
        switch (index) {
        case 2:
            sales->Reload();
            break;
        case 3:
            sends->Reload();
            break;
        case 4:
            queries->Reload();
            break;
        case 5:
            log->Reload();
            break;
        default:
            break;
        }
    });
}

// The soak period from PAVONA_SOAK_PERIOD_MS (milliseconds, at least 200), or 0 for a normal run.
int SoakPeriodMs() {
    const char* text = std::getenv("PAVONA_SOAK_PERIOD_MS");
    if (text == nullptr) return 0;
    const long ms = std::strtol(text, nullptr, 10);
    return ms >= 200 && ms <= 3600000 ? static_cast<int>(ms) : 0;
}

} // namespace

int RunResidentWindow(const TCommandLine& cl, platform::SingleInstance& instance) {
    PrepareUiScaling();
    int argc = 1;
    char name[] = "pavona-agent";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    // The agent lives on in the tray when its window is closed.
    app.setQuitOnLastWindowClosed(false);
    // Logout or kill: end as "종료" → "예" does, without asking. Watched from the first moment: a
    // request that comes while the window is being built waits in the queue until it stands.
    TAgentForm* endTarget = nullptr;
    const auto endWatch = platform::WatchEndRequests([&app, &endTarget] {
        QMetaObject::invokeMethod(
            &app, [&endTarget] { if (endTarget != nullptr) endTarget->EndNow(); }, Qt::QueuedConnection);
    });
    LoadUiFonts();
    PruneLogs(14);
    LogInfo("시작", std::string("에이전트 시작 — 판 ") + kAgentVersion);

    const TAgentSettings settings = LoadSettings();
    TAgentForm form;
    endTarget = &form;
    TEngineBridge bridge;
    auto* status = new TStatusPage(form.CardWidth(), [&bridge] { bridge.SendNow(); });
    status->SetSettings(settings.Store, settings.BaseUrl);
    form.SetPage(0, status);
    PlugHistoryPages(form, bridge);

    auto* settingsPage = new TSettingsPage(settings, form.SettingsCardWidth(), SettingsHooksFor(bridge));
    form.SetPage(6, settingsPage);
    PlugTargetPage(form, bridge, [settingsPage] { return settingsPage->Settings(); });

    // The store number is read at each render: enrolment on the settings page changes it.
    QObject::connect(&bridge, &TEngineBridge::rendered, &form, [&form, status, settingsPage](const TAgentSnapshot& s) {
        RenderWindow(form, *status, s, settingsPage->Settings().Store);
    });
    QObject::connect(&bridge, &TEngineBridge::rendered, settingsPage, &TSettingsPage::Render);
    QObject::connect(&bridge, &TEngineBridge::statusChanged, settingsPage, &TSettingsPage::RefreshStatus);
    // The engine has rendered the save already, but with the store number it had; direct, as the
    // settings record travels no queue.
    QObject::connect(settingsPage, &TSettingsPage::settingsSaved, &form,
                     [&form, &bridge, status](const TAgentSettings& saved) {
                         status->SetSettings(saved.Store, saved.BaseUrl);
                         RenderWindow(form, *status, bridge.Snapshot(), saved.Store);
                     }, Qt::DirectConnection);
    // A resize that changed the design width builds the status cards again at the new width; the
    // settings cards keep what is typed in them and only move.
    QObject::connect(&form, &TAgentForm::relaidOut, status, [&form, status, settingsPage] {
        status->SetCardWidth(form.CardWidth());
        settingsPage->SetCardWidth(form.SettingsCardWidth());
    });
    QObject::connect(&bridge, &TEngineBridge::statusChanged, status, &TStatusPage::RefreshStatus);
    QObject::connect(&bridge, &TEngineBridge::noticeShown, status, &TStatusPage::ShowNotice);
    QObject::connect(&bridge, &TEngineBridge::sendNowDone, status,
                     [status](const TNotice&) { status->SendNowDone(); });
    QObject::connect(&bridge, &TEngineBridge::programAnnounced, &form,
                     [&form, status](const TProgramNews& news) {
                         // The engine counted the items without goods on sale when it read the POS goods.
                         const TNotice instead = form.Tray().AnnounceProgram(news, news.Unlinked);
                         if (!instead.Empty()) status->ShowNotice(instead);
                     });

    const auto reveal = ListenForReveal(instance, form);

    switch (StartActionFor(form.Tray().Available(), cl.Tray)) {
    case TStartAction::Hidden:
        break;
    case TStartAction::Minimised:
        form.showMinimized();
        break;
    case TStartAction::Shown:
        form.Reveal();
        break;
    }
    // A soak run (tools/soak.sh) gives one short period for both timers and reads on standard
    // error when the agent stands and when each cycle ends.
    const int soakMs = SoakPeriodMs();
    if (soakMs > 0) {
        bridge.SetFixedPeriod(soakMs);
        bridge.StartTimers(soakMs, soakMs);
        std::fprintf(stderr, "soak: ready\n");
        auto cycles = std::make_shared<long>(0);
        QObject::connect(&bridge, &TEngineBridge::cycleEnded, &form,
                         [cycles] { std::fprintf(stderr, "soak: cycle %ld\n", ++*cycles); });
    } else {
        bridge.StartTimers(kFirstPolicyMs, kFirstCollectMs);
    }
    const int code = app.exec();
    endTarget = nullptr;
    // The bridge goes first: the running operation stops at its next safe point.
    bridge.StopTimers();
    return code;
}

} // namespace pavona
