// The sales history page ("실적 내역"): one day of the lines this PC spooled, with day stepping, the
// subsidy filter, a search, the sums over what is shown, and the receipt of a line on double-click.
#pragma once

#include "ui/PageParts.h"
#include "ui/PageText.h"

#include <QWidget>

#include <memory>

class QLabel;
class QLineEdit;
class QTableView;

namespace pavona {

class TUiButton;

class TSalesPage : public QWidget {
    Q_OBJECT
  public:
    // `cardWidth` is the design width of the page's content (the window's CardWidth()); only
    // reads.LedgerDay is used.
    TSalesPage(int cardWidth, TPageReads reads, QWidget* parent = nullptr);

    // Reads the shown day again (the window calls it whenever the page comes to the front).
    void Reload();
    // One day back or forward and reload; forward never passes today.
    void StepDay(int days);
    void ShowToday();
    void SetOnlySubsidy(bool on);
    void OpenReceipt(int row);

    TDateTime Day() const { return FDay; }
    bool OnlySubsidy() const { return FOnlySubsidy; }
    // A read or a filter is on its way: what the list shows is about to change.
    bool Busy() const;
    // The line on row `row` of the list as it stands, or nothing.
    const TLedgerLine* RowLine(int row) const;

  signals:
    // The list shows the answer to the last read and filter asked for.
    void settled();

  private:
    // What the list shows: rows of one prepared day and the sums over them.
    struct TView {
        std::shared_ptr<const TSalesDay> Day;
        std::vector<int> Rows;
        TSalesSums Sums;
    };

    void BuildTop(int w);
    void Loaded(int ticket, TDateTime day, std::vector<TLedgerLine> lines);
    void ApplyFilter();
    void Show(const std::shared_ptr<const TView>& view);

    TPageReads FReads;
    TDateTime FDay = 0;
    bool FOnlySubsidy = false;
    TOffThread* FOffThread;                 // the day's preparing and filtering
    std::shared_ptr<const TSalesDay> FData; // the last day read, prepared for the filter
    std::shared_ptr<const TView> FView;     // what the list shows
    int FLoadTicket = 0;                    // the latest read asked for
    bool FLoading = false;
    int FFilterTicket = 0; // the latest filter asked for
    int FShownTicket = 0;  // the filter the list shows

    QLabel* FDayLabel = nullptr;
    TFitLabel* FSum = nullptr;
    QLineEdit* FSearch = nullptr;
    TUiButton* FFilterBtn = nullptr;
    QTableView* FList = nullptr;
};

} // namespace pavona
