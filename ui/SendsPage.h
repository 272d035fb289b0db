// The send history page ("전송 내역"): the spool's day files with how much of each was sent, and the
// send log, one row per batch handed to the association, newest first, with today's summary.
#pragma once

#include "ui/PageParts.h"

#include <QWidget>

#include <memory>

class QLabel;
class QTableView;

namespace pavona {

class TSendsPage : public QWidget {
    Q_OBJECT
  public:
    // Reads the files (reads.Files) and the newest 2,000 send records (reads.SendLog).
    TSendsPage(int cardWidth, TPageReads reads, QWidget* parent = nullptr);

    // Reads both again (the window calls it whenever the page comes to the front).
    void Reload();
    // A read is on its way.
    bool Busy() const { return FWaiting > 0; }

  signals:
    // Both lists show the answers to the last reads asked for.
    void settled();

  private:
    void ShowFiles(std::vector<TFileSummary> files);
    void ShowSends(std::vector<TSendRecord> records);
    void Answered();

    TPageReads FReads;
    int FTicket = 0;  // the latest reload asked for
    int FWaiting = 0; // its reads not answered yet
    TFitLabel* FSum = nullptr;
    QTableView* FFilesList = nullptr;
    QTableView* FSendsList = nullptr;
};

} // namespace pavona
