// The query page ("쿼리 보기"): every statement the agent runs on the POS with its last run in this
// process, and the statement as it was sent, with its values, for the selected one.
#pragma once

#include "ui/DiagText.h"
#include "ui/PageParts.h"

#include <QWidget>

#include <memory>

class QPlainTextEdit;
class QTableView;

namespace pavona {

class TQueryPage : public QWidget {
    Q_OBJECT
  public:
    // Shows the catalogue (`catalogue`, PosQueries() when empty) beside the runs of reads.QueryRuns.
    TQueryPage(int cardWidth, TPageReads reads, QWidget* parent = nullptr,
               std::vector<TPosQuery> catalogue = {});

    // Reads the runs again and keeps the selected query selected (the window calls it whenever the
    // page comes to the front).
    void Reload();
    bool Busy() const { return FWaiting; }
    // The query of the selected row, empty when none is.
    std::string SelectedName() const;

  signals:
    void settled();

  private:
    void Show(std::vector<TQueryRun> runs);
    void ShowDetail();

    TPageReads FReads;
    std::vector<TPosQuery> FCatalogue;
    std::shared_ptr<const std::vector<TQueryRow>> FRows;
    int FTicket = 0;
    bool FWaiting = false;
    QTableView* FList = nullptr;
    QPlainTextEdit* FMemo = nullptr;
};

} // namespace pavona
