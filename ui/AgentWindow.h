// The agent's main window, TAgentForm: the header, the navigation column with its seven pages, the
// tray entry it owns, closing to the tray, revealing on request and the saved placement.
#pragma once

#include "ui/AgentTray.h"

#include <QString>
#include <QTimer>
#include <QWidget>

#include <array>
#include <functional>

class QLabel;
class QScrollArea;
class QStackedWidget;

namespace pavona {

class TUiNavItem;
class TUiPill;

inline constexpr int kPageCount = 7;
// The navigation captions, index for index with the pages.
extern const char* const kPageCaptions[kPageCount];
// The window's caption and the exit question, as the operator reads them.
extern const char* const kWindowCaption;
extern const char* const kExitQuestion;
// What a page slot shows until its page is plugged in.
extern const char* const kPagePending;

// What the window asks of its surroundings; each empty one takes the real thing.
struct TAgentFormHooks {
    // The exit confirmation; true = end the agent. Default: a question box with "예" and "아니요".
    std::function<bool(QWidget* window)> AskExit;
    // Whether a tray host holds the agent. Default: the tray entry's own answer.
    std::function<bool()> TrayAvailable;
    // Ends the program. Default: QCoreApplication::quit.
    std::function<void()> Quit;
};

// The shell only: each page is a QWidget plugged into its slot (SetPage), so a page can be built
// and tested on its own. The window never touches the engine; the pages get it through
// TEngineBridge. Design sizes: DesignWidth/Height are the client size ÷ UiScaleFactor, rounded.
class TAgentForm : public QWidget {
    Q_OBJECT

  public:
    // Builds the window from the saved placement without showing it, and shows the tray icon.
    explicit TAgentForm(TAgentFormHooks hooks = {}, QWidget* parent = nullptr);
    ~TAgentForm() override;

    // Puts `page` into slot index (0..6), replacing what was there; the slot owns it from then on.
    // Pages taller than the window scroll with the wheel.
    void SetPage(int index, QWidget* page);
    QWidget* Page(int index) const;
    // Shows page index and selects its navigation item; emits pageShown so the page can refresh.
    void ShowPage(int index);
    int CurrentPage() const { return FCurrent; }
    // A short text on a navigation item (the status page's level); empty removes it.
    void SetBadge(int index, const QString& badge);

    void SetStoreTitle(const QString& title);
    // The connection pill: its caption and dot; the fill stays.
    void SetConnection(const QString& text, const QColor& dot);

    // Shows the window in its normal state in front of the others and draws the eye to it.
    void Reveal();
    // The tray menu's "종료": asks, and on yes closes the window for good and ends the program.
    void ConfirmExit();
    // Ends the agent like "종료" → "예", without the question (the system asked: logout, kill).
    void EndNow();

    int DesignWidth() const { return FLW; }
    int DesignHeight() const { return FLH; }
    // The width of the cards on the pages, and on the settings page (which sits in a scroll box).
    int CardWidth() const { return FLW - 257; }
    int SettingsCardWidth() const { return FLW - 275; }
    TAgentTray& Tray() { return FTray; }
    bool ReallyClose() const { return FReallyClose; }

  signals:
    // A page came to the front (after the window is built): its data should be read again.
    void pageShown(int index);
    // The design size changed after a resize settled; the pages that follow the width rebuild.
    void relaidOut(int designWidth, int designHeight);

  protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildHeader();
    void BuildNavigation();
    void BuildContent();
    void PlaceAnchored();
    void Relayout();
    void Save() const;
    bool ScrollPageByWheel(QWidget* target, int delta);
    void MeasureDesignSize(int& width, int& height) const;

    TAgentFormHooks FHooks;
    TAgentTray FTray;
    QWidget* FHeader = nullptr;
    QLabel* FStoreTitle = nullptr;
    TUiPill* FConnPill = nullptr;
    QLabel* FVerLabel = nullptr;
    QWidget* FNavColumn = nullptr;
    QLabel* FNavFooter[2] = {nullptr, nullptr};
    std::array<TUiNavItem*, kPageCount> FNav{};
    std::array<QScrollArea*, kPageCount> FPagesP{};
    QStackedWidget* FContent = nullptr;
    // Restarted by every resize, so a drag ends in one relayout 150 ms after its last step.
    QTimer FRelayout{this};
    bool FBuilt = false;
    bool FReallyClose = false;
    bool FEnded = false; // the program was told to end
    int FCurrent = -1;
    int FLW = 0;
    int FLH = 0;
};

} // namespace pavona
