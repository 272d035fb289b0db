// The tray entry of the resident agent. On Linux the icon reaches the desktop as a
// StatusNotifierItem or through an XEmbed tray; some desktops have neither, and the agent must then
// stay reachable through its window and tell the balloon's news some other way.
#include "ui/AgentTray.h"

#include "common/Text.h"
#include "engine/AgentMonitor.h"
#include "store/AgentLog.h"
#include "ui/ProgramBalloon.h"
#include "ui/TrayIcon.h"

#include <QAction>
#include <QFont>
#include <QMenu>

namespace pavona {

const char* const kTrayHint = "Pavona 농할 에이전트";
const char* const kTrayBalloonTitle = "Pavona 농할";

namespace {

// The only balloon the agent shows announces a programme the policy refresh found, so its text
// belongs with the policy's lines in the log.
const char* const kBalloonLogCategory = "정책";

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace

TCloseAction CloseActionFor(bool trayAvailable, bool reallyClose) {
    if (reallyClose) return TCloseAction::Quit;
    return trayAvailable ? TCloseAction::Hide : TCloseAction::Minimise;
}

TStartAction StartActionFor(bool trayAvailable, bool trayMode) {
    if (!trayMode) return TStartAction::Shown;
    return trayAvailable ? TStartAction::Hidden : TStartAction::Minimised;
}

std::string TrayHintFor(const TAgentSnapshot& snapshot) {
    if (!snapshot.Input.HasPolicy) return "농할 에이전트 — 확인 중";
    return "농할 에이전트 — " + LevelText(snapshot.State.Level) + " · 남음 " +
           FormatWon(snapshot.State.Remaining);
}

bool RevealsWindow(QSystemTrayIcon::ActivationReason reason) {
    // A StatusNotifierItem host (KDE, the GNOME extension) turns every left click into one
    // activation and never sends a double click, so waiting for one would leave the icon dead
    // there. An XEmbed tray sends a click before its double click; revealing twice is harmless.
    return reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick;
}

std::string BalloonLine(const std::string& text) {
    std::string line;
    std::string rest = text;
    for (char& c : rest)
        if (c == '\r') c = '\n';
    for (const std::string& part : Split(rest, '\n')) {
        const std::string piece = Trim(part);
        if (piece.empty()) continue;
        if (!line.empty()) line += ' ';
        line += piece;
    }
    return line;
}

TAgentTray::TAgentTray(QObject* parent) : QObject(parent), FMenu(std::make_unique<QMenu>()) {
    FShow = FMenu->addAction(QStringLiteral("보기"));
    // Bold marks the item a click on the icon also runs; the default action is how styles that
    // draw default items know it, the font is for those that do not.
    QFont bold = FShow->font();
    bold.setBold(true);
    FShow->setFont(bold);
    FMenu->setDefaultAction(FShow);
    FMenu->addSeparator();
    FExit = FMenu->addAction(QStringLiteral("종료"));
    connect(FShow, &QAction::triggered, this, &TAgentTray::showRequested);
    // The tray only asks; the window confirms, since ending stops the collection and the watch.
    connect(FExit, &QAction::triggered, this, &TAgentTray::exitRequested);
    connect(&FIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (RevealsWindow(reason)) emit showRequested();
    });

    FIcon.setContextMenu(FMenu.get());
    FIcon.setToolTip(Q(kTrayHint));
    SetLevel(TLimitLevel::Unknown);
    // Shown even without a tray host: Qt installs the icon when a host appears later.
    FIcon.show();
}

TAgentTray::~TAgentTray() = default;

bool TAgentTray::Available() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TAgentTray::SetLevel(TLimitLevel level) {
    FLevel = level;
    FIcon.setIcon(TrayIconFor(level));
}

void TAgentTray::SetHint(const std::string& hint) {
    FIcon.setToolTip(Q(hint));
}

std::string TAgentTray::Hint() const {
    return FIcon.toolTip().toStdString();
}

TNotice TAgentTray::ShowBalloon(const std::string& text, const std::string& title) {
    if (Available()) {
        FIcon.showMessage(Q(title), Q(text), QSystemTrayIcon::Information);
        return {};
    }
    // Nowhere to pop up: the news must not be lost, so it is kept in the log and handed back for
    // the status page, on one line since neither has room for the balloon's blank lines.
    const std::string line = BalloonLine(text);
    LogInfo(kBalloonLogCategory, line);
    return TNotice::Info(line);
}

TNotice TAgentTray::AnnounceProgram(const TProgramNews& news, int unlinked) {
    return ShowBalloon(ProgramBalloonText(news, unlinked), kProgramBalloonTitle);
}

} // namespace pavona
