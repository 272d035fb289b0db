// The status page ("현황"): the budget level, the budget figures, sending and the last notice, drawn
// from the snapshots the engine hands over; the texts the header and tray share with it are here too.
#pragma once

#include "engine/AgentSnapshot.h"

#include <QColor>
#include <QString>
#include <QUrl>
#include <QWidget>

#include <array>
#include <functional>
#include <optional>
#include <string>

class QLabel;

namespace pavona {

class TUiButton;
class TUiCard;
class TUiMeter;

// The colour of a level's text, the hero's stripe and the meter's bar.
QColor LevelColour(TLimitLevel level);

// The server line of the send card and the header pill (whose fill never changes).
struct TConnectionLook {
    QString Line;
    QString PillText;
    QColor PillDot;
};
// `store` is the settings' business number: empty means the agent is not enrolled yet.
TConnectionLook ConnectionLook(const TAgentSnapshot& s, const std::string& store);
// The header's store title.
QString StoreTitle(const TAgentSnapshot& s, const std::string& store);
// The badge of the "현황" navigation item: the level's text from caution on, else empty.
QString NavBadge(TLimitLevel level);
// "다음 수집 … · 다음 정책 확인 … · 지금 주기 …" for the settings page.
QString NextRunLine(const TAgentSnapshot& s);
// The programme line, or empty when the programme's end or name is not known (the label then
// keeps what it showed).
QString ProgramLine(const TAgentSnapshot& s, TDateTime today);
// The association's page for a base address, or empty when there is none.
QString AssociationPageUrl(const std::string& baseUrl);

// A notice card's colours.
struct TNoticeLook {
    QColor Fill, Border, Ink;
};
TNoticeLook NoticeLook(TNoticeLevel level);

// The page. It only draws what it is given and asks for "지금 보내기"; it never waits for anything.
class TStatusPage : public QWidget {
    Q_OBJECT
  public:
    using TOpener = std::function<bool(const QUrl&)>;

    // `cardWidth` is the design width of the cards; `askSend` starts "지금 보내기" (the bridge's
    // SendNow); `opener` opens a web page (QDesktopServices when empty).
    TStatusPage(int cardWidth, std::function<void()> askSend, QWidget* parent = nullptr,
                TOpener opener = nullptr);

    // The settings the page reads: the business number and the association's address.
    void SetSettings(const std::string& store, const std::string& baseUrl);
    // The window's width changed: the cards are built again at the new width and show what they
    // showed before (figures, tiles, notice, a send under way).
    void SetCardWidth(int cardWidth);
    int CardWidth() const { return FCardWidth; }
    void Render(const TAgentSnapshot& s);
    void RefreshStatus(const TAgentSnapshot& s);
    void ShowNotice(const TNotice& notice);
    // The engine finished "지금 보내기": the button comes back.
    void SendNowDone();
    // Opens the association's page; nothing happens without an address.
    void OpenAssociationPage();

    bool Sending() const { return FSending; }
    const TNotice& LastNotice() const { return FLastNotice; }

  private:
    void Build();
    void BuildHero(int w);
    void BuildBudget(int w);
    void BuildSend(int w);
    void BuildNotice(int w);
    void SendNowClick();

    std::function<void()> FAskSend;
    TOpener FOpener;
    std::string FStore;
    std::string FBaseUrl;
    int FCardWidth = 0;
    bool FSending = false;
    TNotice FLastNotice;
    bool FNoticeShown = false;
    // What a rebuilt page shows again: the newest snapshot and the programme line, which keeps its
    // text while a snapshot has none to give.
    std::optional<TAgentSnapshot> FLast;
    QString FProgramText;

    TUiCard* FHero = nullptr;
    QLabel* FLevelLabel = nullptr;
    QLabel* FAdviceLabel = nullptr;
    QLabel* FRemainLabel = nullptr;
    QLabel* FBudgetLabel = nullptr;
    QLabel* FUsedLabel = nullptr;
    QLabel* FPercentLabel = nullptr;
    TUiMeter* FBar = nullptr;
    QLabel* FProgramLabel = nullptr;
    QLabel* FBudgetNote = nullptr;
    QLabel* FConnLabel = nullptr;
    TUiButton* FSendBtn = nullptr;
    std::array<QLabel*, 4> FTileValue{};
    std::array<QLabel*, 4> FTileSub{};
    TUiCard* FNotice = nullptr;
    QLabel* FLastLabel = nullptr;
    TUiButton* FLinkBtn = nullptr;
};

} // namespace pavona
