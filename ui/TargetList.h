// The target-items list inside the page's scroll box, built a slice at a time between the window's
// other events, so a page of hundreds of items never freezes the window.
#pragma once

#include "engine/TargetView.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

namespace pavona {

class TUiCard;

class TTargetList : public QWidget {
    Q_OBJECT
  public:
    explicit TTargetList(QWidget* parent = nullptr);

    // Shows `view` at design width `width`: the old cards go, the new ones come slice by slice.
    void Show(std::shared_ptr<const TTargetView> view, int width);
    // Cards are still being made or taken down.
    bool Building() const { return FNext < FSteps.size(); }
    // Design height of the whole list.
    int DesignHeight() const { return FHeight; }

  signals:
    // A row's "품목 지정 ▾" was pressed: the goods that row showed, and the button to open the menu at.
    void requestClicked(const pavona::TRequestTarget& target, QWidget* button);
    // The top row's "POS 상품을 품목에 지정".
    void assignClicked();
    // Every card of the last Show is in place.
    void built();

  private:
    using TStep = std::function<void()>;
    struct TOpenCard;
    void RunSlice();
    void Plan(const TTargetView& v, int w);
    void PlanDecisions(const TDecisionsView& d, int w);
    void PlanNotice(const std::vector<std::string>& lines, int w);
    void PlanGroup(const TTargetGroup& g, int w);
    void PlanStray(const TStrayCard& s, int w);
    void OpenRules(TOpenCard& open, bool arrow);
    void CloseCard(TOpenCard& open);
    // One goods block in the right column of `card`, `top` design pixels down; `line` draws the
    // separator above it. Returns its height.
    int MakeRow(TUiCard* card, const TTargetRow& row, int top, int w, bool line);
    // The list reaches down to `bottom` (design pixels) so far.
    void Grow(int bottom);
    void Teardown(QWidget* old);

    std::shared_ptr<const TTargetView> FView; // kept alive while its rows are made
    std::vector<TStep> FSteps;
    size_t FNext = 0;
    QTimer FSlice;
    int FWidth = 0;
    int FY = 0; // where the next card goes, in design pixels
    int FHeight = 0;
};

} // namespace pavona
