// The resident agent's tray entry: the level image, the hint, the "보기" / "종료" menu and the balloon,
// and what the window does instead when the desktop has no tray host to show them.
#pragma once

#include "common/Notice.h"
#include "engine/AgentSnapshot.h"
#include "engine/LimitLevel.h"

#include <QObject>
#include <QSystemTrayIcon>

#include <memory>
#include <string>

class QAction;
class QMenu;

namespace pavona {

// The hint the icon has before the first render, and the title of a balloon that has none of its own.
extern const char* const kTrayHint;
extern const char* const kTrayBalloonTitle;

// What closing the window does.
enum class TCloseAction { Hide, Minimise, Quit };
// How the resident agent's window comes up.
enum class TStartAction { Hidden, Minimised, Shown };

// Closing only ends the agent after the exit was confirmed; otherwise it hides to the tray, or,
// without a tray host, minimises, because a hidden window there could only be found again by
// starting the program a second time.
TCloseAction CloseActionFor(bool trayAvailable, bool reallyClose);
// "/tray" starts hidden in the tray, or minimised when there is no tray to hold the agent.
TStartAction StartActionFor(bool trayAvailable, bool trayMode);

// "농할 에이전트 — <level> · 남음 <won>" once a policy is known, "농할 에이전트 — 확인 중" before.
std::string TrayHintFor(const TAgentSnapshot& snapshot);
// A single click (all a StatusNotifierItem host sends) and a double click both reveal the window.
bool RevealsWindow(QSystemTrayIcon::ActivationReason reason);
// A balloon's lines on one line, blank lines dropped: the form the log and the status notice take.
std::string BalloonLine(const std::string& text);

class TAgentTray : public QObject {
    Q_OBJECT

  public:
    // Builds the menu and shows the icon with the unknown level's image; needs a QApplication.
    explicit TAgentTray(QObject* parent = nullptr);
    ~TAgentTray() override;

    // Whether the desktop has a tray host now; asked each time, since a panel can come and go.
    bool Available() const;

    void SetLevel(TLimitLevel level);
    TLimitLevel Level() const { return FLevel; }
    void SetHint(const std::string& hint);
    std::string Hint() const;

    // Shows a balloon. Without a tray host the text goes to the agent log under "정책" instead and
    // comes back as an information notice for the status page; with one the notice is empty.
    TNotice ShowBalloon(const std::string& text, const std::string& title = kTrayBalloonTitle);
    // The new-programme balloon, under its own title.
    TNotice AnnounceProgram(const TProgramNews& news, int unlinked);

    QMenu* Menu() const { return FMenu.get(); }
    QSystemTrayIcon* Icon() { return &FIcon; }

  signals:
    void showRequested();
    void exitRequested();

  private:
    std::unique_ptr<QMenu> FMenu; // before the icon, which points at it until it is gone
    QAction* FShow = nullptr;     // owned by the menu
    QAction* FExit = nullptr;
    QSystemTrayIcon FIcon;
    TLimitLevel FLevel = TLimitLevel::Unknown;
};

} // namespace pavona
