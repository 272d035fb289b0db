// The target-items page ("대상 품목"): headline and note, legend, round navigation, the viewed round's
// list, the fix plan and the mapping requests; drawn from the engine's target data, every read on its thread.
#pragma once

#include "config/AgentSettings.h"
#include "engine/AgentSnapshot.h"
#include "engine/TargetView.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>

class QLabel;
class QPlainTextEdit;
class QScrollArea;

namespace pavona {

class TAgentEngine;
class TEngineBridge;
class TTargetList;
class TUiButton;

// What the page asks of its surroundings.
struct TTargetHooks {
    // Runs `operation` on the engine thread and `done` on the window's thread afterwards
    // (TEngineBridge::Post).
    std::function<void(std::function<void(TAgentEngine&)> operation, std::function<void()> done)> Post;
    // The round totals from `programStart`, answered on the window's thread.
    std::function<void(TDateTime programStart, std::function<void(TRoundTotals)> answer)> AskRoundTotals;
    // The settings in force: the registration and the POS connection of the goods search.
    std::function<TAgentSettings()> Settings;
    // A request the association accepted refreshed the policy: its timer counts again from now.
    std::function<void(int ms)> RearmPolicy;
};
// The resident agent's hooks over the bridge. Both must outlive the page.
TTargetHooks TargetHooksFor(TEngineBridge& bridge, std::function<TAgentSettings()> settings);

class TTargetPage : public QWidget {
    Q_OBJECT
  public:
    // `cardWidth` and `designHeight` are the window's CardWidth() and DesignHeight().
    TTargetPage(int cardWidth, int designHeight, TTargetHooks hooks, QWidget* parent = nullptr);
    ~TTargetPage() override;

    // The engine published new target data (targetsChanged): the list is drawn again.
    void SetSnapshot(const TAgentSnapshot& s);
    // The page came to the front: the round totals are counted again, then the list is drawn.
    void Shown();
    // The window's size changed: the frame is built again at the new size, and the headline, the
    // note line and the plan keep what they showed.
    void SetSize(int cardWidth, int designHeight);
    // "<" (-1) and ">" (+1).
    void StepRound(int delta);
    // "POS 다시 읽기": the engine reads the goods again; the totals are counted again after it.
    void ReadGoodsClick();
    // "고칠 내용 보기".
    void PlanClick();
    // The list's "POS 상품을 품목에 지정": the goods search, then the item choice.
    void AssignPosGoodsClick();
    // A row's "품목 지정 ▾": the menu of requests for exactly that goods, at `at`'s bottom left.
    void ShowRequestMenu(const TRequestTarget& target, QWidget* at);

    int ViewRound() const { return FViewRound; }
    const TTargetView* View() const { return FView.get(); }
    int CardWidth() const { return FW; }
    // Something asked of the engine has not answered, or the list is still being built.
    bool Busy() const;

  signals:
    // Nothing is pending any more: what the page shows is complete.
    void settled();

  private:
    void Build();
    void BuildHead();
    void BuildTools();
    void BuildPlan();
    // Builds the view of the data held for the viewed round and shows it.
    void Render();
    void SetNote(const QString& text);
    void Answered();
    // Runs `operation` on the engine thread and `done` here, unless the page is gone by then.
    void Ask(std::function<void(TAgentEngine&)> operation, std::function<void()> done);
    void CountTotals();

    // The mapping requests (ui/TargetMapping.cpp).
    void Confirm(const TRequestTarget& target, const QString& caption, const QString& question,
                 std::function<void()> onOk);
    void ChooseItem(const TRequestTarget& target, const QString& caption,
                    std::function<void(const std::string& itemCode, const std::string& note)> chosen);
    void SendMapping(const TRequestTarget& target, const std::string& kind, const std::string& itemCode,
                     const std::string& note, const std::string& goodsName = "", const std::string& spec = "",
                     const std::string& barcode = "");
    void MappingAnswered(const TMappingOutcome& outcome);
    void Inform(const QString& text);

    TTargetHooks FHooks;
    int FW = 0;
    int FH = 0;
    TTargetData FData;
    TDateTime FProgramStart = 0;
    TRoundTotals FTotals;
    int FViewRound = -1;
    std::shared_ptr<const TTargetView> FView;
    int FPending = 0;
    bool FReading = false;
    // What a rebuilt frame shows again.
    QString FHeadText;
    QString FNoteText;
    QString FPlanText;
    // The last note the list wrote: a render that would write the same again leaves a mapping
    // request's result or error standing.
    std::string FListNote;

    QLabel* FMapHead = nullptr;
    QLabel* FMapNote = nullptr;
    QLabel* FRoundLabel = nullptr;
    TUiButton* FReadBtn = nullptr;
    TUiButton* FPrevBtn = nullptr;
    TUiButton* FNextBtn = nullptr;
    QScrollArea* FMapBox = nullptr;
    TTargetList* FList = nullptr;
    QPlainTextEdit* FPlanMemo = nullptr;
};

} // namespace pavona
